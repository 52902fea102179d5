#include <gtest/gtest.h>

#include "config/settings.h"
#include "config/library_state.h"
#include "orbiscope.h"
#include "support/test_support.h"

using namespace orb;

namespace {
struct Settings : ::testing::Test {
    orbtest::TempHome home;
    std::string ini = home.path("orbiscfg.ini");
    void SetUp() override { g_lib = LibraryState{}; }
};
}  // namespace

TEST_F(Settings, CallerSectionsAndDefaults) {
    EXPECT_STREQ(CallerSection(0), "CCTV");
    EXPECT_STREQ(CallerSection(1), "PCCTV");
    EXPECT_STREQ(CallerSection(2), "WCCTV");
    EXPECT_STREQ(CallerSection(3), "CCTV");
    EXPECT_STREQ(CallerSection(4), "SCCTV");
    EXPECT_STREQ(CallerSection(128), "CCTV");
    // No file: every default.
    g_lib.showLocation = g_lib.showTime = 0;
    ReadStartupOptions();
    EXPECT_EQ(g_lib.speed, 0);
    EXPECT_EQ(g_lib.showLocation, 1);
    EXPECT_EQ(g_lib.showTime, 1);
    EXPECT_EQ(g_lib.lockScreen, 0);
    EXPECT_EQ(g_lib.protect, 0);
    EXPECT_EQ(ReadMultiScreen(), 2);
    EXPECT_EQ(ReadRecordingSwitch(), 1);
    EXPECT_EQ(ReadMotionBlock(), 1);
    EXPECT_EQ(ReadBackground(), 0);
}

TEST_F(Settings, RangeFixesAndPerCallerKeys) {
    orbtest::WriteText(ini,
                       "[Panorama]\nMultiScreen=7\nBackground=2\nFullScreen=1\nPackFullScreen=0\n"
                       "[DVR]\nSpeed=9\nProtected=1\n[SCCTV]\nDVR=5\nShowTime=0\nShowLocation=\nLockScreen=1\n"
                       "[CCTV]\nDVR=0\nMotionBlock=0\n");
    EXPECT_EQ(ReadMultiScreen(), 2);
    EXPECT_EQ(ReadBackground(), 0);
    g_lib.callerId = 4;
    ReadStartupOptions();
    EXPECT_EQ(g_lib.speed, 0);
    EXPECT_EQ(g_lib.protect, 1);
    EXPECT_EQ(g_lib.showTime, 0);
    EXPECT_EQ(g_lib.showLocation, 1);  // empty value reads as the default 1
    EXPECT_EQ(g_lib.lockScreen, 1);
    EXPECT_EQ(ReadRecordingSwitch(), 1);  // 5 leaves recording on
    EXPECT_EQ(ReadMotionBlock(), 1);
    EXPECT_EQ(ReadFullScreen(), 1);
    g_lib.callerId = 3;  // "CCTV", read at the moment of access
    EXPECT_EQ(ReadRecordingSwitch(), 0);
    EXPECT_EQ(ReadMotionBlock(), 0);
    g_lib.callerId = 1;
    EXPECT_EQ(ReadFullScreen(), 0);
    // SetCallID re-reads the display flags of the new section.
    EXPECT_EQ(SetCallID(0), 0);  // no ShowTime key in [CCTV]
    EXPECT_EQ(g_lib.showTime, 1);
    EXPECT_EQ(SetCallID(4), 0);  // ShowTime=0 read
    EXPECT_EQ(g_lib.showTime, 0);
}

TEST_F(Settings, WindowPositionFormatAndChecks) {
    WindowPos p{10, 20, 800, 600, 1};
    ASSERT_TRUE(WriteWindowPos("WinPos", p));
    EXPECT_EQ(orbtest::ReadText(ini), "[Panorama]\nWinPos=10 , 20 , 800 , 600 , 1\n");
    WindowPos r;
    ASSERT_TRUE(ReadWindowPos("WinPos", r, 1920, 1080));
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.height, 600);
    EXPECT_EQ(r.maximised, 1);
    struct Case {
        const char* value;
        bool ok;
    } cases[] = {{"1,2,3,4", false},          {"1 , 2 , 0 , 4 , 0", false}, {"1911,2,3,4,0", false},
                 {"1910,2,3,4,0", true},      {"0,1071,3,4,0", false},      {"0,0,2021,4,0", false},
                 {"0,0,2020,1180,0", true},   {"0,0,20,1181,0", false},     {"-5,-5,100,100,0", true}};
    for (const Case& c : cases) {
        orbtest::WriteText(ini, std::string("[Panorama]\nSnapPos=") + c.value + "\n");
        EXPECT_EQ(ReadWindowPos("SnapPos", r, 1920, 1080), c.ok) << c.value;
    }
    EXPECT_EQ(ViewKeyName(3), "CCTV3");
    EXPECT_EQ(EmptyViewMark(), "-1, -1");
}

TEST_F(Settings, GetSettingsHandsOutTheFlagsAndWritesThem) {
    int32_t* time = nullptr;
    int32_t* location = nullptr;
    EXPECT_EQ(GetSettings(&time, &location, 0), 1);
    ASSERT_EQ(time, &g_lib.showTime);
    ASSERT_EQ(location, &g_lib.showLocation);
    *time = 0;
    *location = 1;
    g_lib.callerId = 2;
    EXPECT_EQ(GetSettings(nullptr, nullptr, 1), 1);
    EXPECT_EQ(orbtest::ReadText(ini), "[WCCTV]\nShowLocation=1\nShowTime=0\n");
    // The recording switch export writes section "CCTV" whatever the caller.
    g_lib.recording = 1;
    EXPECT_EQ(OrbiscopeSetDVR(0, 0), 1);
    EXPECT_EQ(g_lib.recording, 1);
    EXPECT_EQ(OrbiscopeSetDVR(1, 0), 1);
    EXPECT_EQ(g_lib.recording, 0);
    EXPECT_NE(orbtest::ReadText(ini).find("[CCTV]\nDVR=0\n"), std::string::npos);
    EXPECT_TRUE(WriteMouseInvert(1));
    EXPECT_EQ(ReadMouseInvert(), 1);
}
