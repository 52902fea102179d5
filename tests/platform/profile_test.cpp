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

TEST(Profile, TextsThatWouldBreakOutOfTheirLineAreRefused) {
    orbtest::TempHome home;
    const std::string ini = home.path("c.ini");
    const std::string before = "[Backup]\nDir=/media/backup/\n[DVR]\nNAS=0\n";
    WriteText(ini, before);
    // A folder name carrying its own sections and keys.
    const char* hostile = "/media/x\n[DVR]\nNAS=1\nNASLaunch=1\nNASConfig=touch PWNED\n";
    EXPECT_FALSE(WritePrivateProfileString("Backup", "Dir", hostile, ini));
    EXPECT_FALSE(WritePrivateProfileString("Backup", "Dir", "a\rb", ini));
    EXPECT_FALSE(WritePrivateProfileString("Backup", "Dir\n[DVR]\nNAS", "1", ini));
    EXPECT_FALSE(WritePrivateProfileString("Backup]\n[DVR", "NAS", "1", ini));
    EXPECT_FALSE(WritePrivateProfileString("Backup", "NAS=1;x", "1", ini));
    EXPECT_FALSE(WritePrivateProfileString("Backup", "[DVR]", "1", ini));
    EXPECT_FALSE(WritePrivateProfileString("Backup", ";x", "1", ini));
    EXPECT_FALSE(WritePrivateProfileString("Backup", "  ", "1", ini));
    EXPECT_EQ(ReadText(ini), before);  // not a byte changed
    EXPECT_EQ(GetPrivateProfileInt("DVR", "NAS", 9, ini), 0);
    // Everything else a value may hold is kept as it is, on its one line.
    ASSERT_TRUE(WritePrivateProfileString("Backup", "Dir", "/media/a=b;[c] \"d\"/", ini));
    EXPECT_EQ(ProfileString("Backup", "Dir", "", 260, ini), "/media/a=b;[c] \"d\"/");
    EXPECT_EQ(ReadText(ini), "[Backup]\nDir=/media/a=b;[c] \"d\"/\n[DVR]\nNAS=0\n");
}
