#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/test_support.h"

using namespace orb;
using orbtest::ReadText;
using orbtest::WriteText;

TEST(Profile, LookupIsCaseBlindTrimmedAndCut) {
    orbtest::TempHome home;
    const std::string ini = home.path("a.ini");
    WriteText(ini,
              "; comment\r\n[Panorama]\r\n  WinPos =  1 , 2 , 3 , 4 , 0  \r\n;Background=1\r\nQuoted=\"  x  \"\r\n"
              "[DVR]\nSpeed=3abc\nEmpty=\n");
    char buf[8];
    EXPECT_EQ(GetPrivateProfileString("panorama", "WINPOS", "", buf, sizeof buf, ini), 7u);
    EXPECT_STREQ(buf, "1 , 2 ,");  // cut to the buffer
    EXPECT_EQ(ProfileString("PANORAMA", "winpos", "", 256, ini), "1 , 2 , 3 , 4 , 0");
    EXPECT_EQ(ProfileString("Panorama", "Quoted", "", 20, ini), "  x  ");
    EXPECT_EQ(ProfileString("Panorama", "Background", "dflt  ", 20, ini), "dflt");  // comments are not keys
    EXPECT_EQ(GetPrivateProfileInt("dvr", "speed", 9, ini), 3);
    EXPECT_EQ(GetPrivateProfileInt("DVR", "Empty", 9, ini), 0);
    EXPECT_EQ(GetPrivateProfileInt("DVR", "Missing", 9, ini), 9);
    EXPECT_EQ(ProfileString("DVR", "Speed", "", 20, home.path("missing.ini")), "");
}

TEST(Profile, WritesKeepEveryOtherLine) {
    orbtest::TempHome home;
    const std::string ini = home.path("b.ini");
    const std::string before = "; keep me\r\n[CCTV]\r\nCCTV0=12\r\nOther = x\r\n\r\n[DVR]\r\nSpeed=1\r\n";
    WriteText(ini, before);
    ASSERT_TRUE(WritePrivateProfileString("cctv", "cctv0", "13", ini));
    ASSERT_TRUE(WritePrivateProfileString("CCTV", "ShowTime", "0", ini));
    ASSERT_TRUE(WritePrivateProfileString("New", "Key", "v", ini));
    EXPECT_EQ(ReadText(ini),
              "; keep me\r\n[CCTV]\r\nCCTV0=13\nOther = x\r\nShowTime=0\n\r\n[DVR]\r\nSpeed=1\r\n[New]\nKey=v\n");
    ASSERT_TRUE(WritePrivateProfileString("CCTV", "Other", nullptr, ini));
    ASSERT_TRUE(WritePrivateProfileString("DVR", nullptr, nullptr, ini));
    EXPECT_EQ(ReadText(ini), "; keep me\r\n[CCTV]\r\nCCTV0=13\nShowTime=0\n\r\n[New]\nKey=v\n");
    // A missing file and folder are created.
    const std::string fresh = home.path("sub/dir/c.ini");
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "1", fresh));
    EXPECT_EQ(ReadText(fresh), "[S]\nK=1\n");
    // An unwritable place fails without a crash.
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "1", "/proc/nope/x.ini"));
}
