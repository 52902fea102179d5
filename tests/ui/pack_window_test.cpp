// Packing as a person does it, on a virtual X server: in the host's recordings dialog a
// recording is chosen and packed through the save chooser; the message box reports text
// 2054; the package, moved elsewhere, unpacks and plays every frame on its own.
// Screenshots: desktop-shots/pack-*.png.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"
#include "ui/desktop_session.h"

using namespace desktop;

TEST(DesktopInput, ARecordingPackedThroughTheDialogPlaysElsewhere) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import")) GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    if (!Have("zip") || !Have("unzip")) GTEST_SKIP() << "zip and unzip are not installed; no package can be built";
    ASSERT_EQ(RunScript("pack_desktop.sh", "pack"), 0);
    const std::string log = orbtest::ReadText(kShots + "/pack.log");
    ASSERT_TRUE(Says(log, "recordings dialog")) << log;
    EXPECT_TRUE(Says(log, "save chooser")) << log;
    EXPECT_TRUE(Says(log, "message answered")) << log;
    EXPECT_TRUE(Says(log, "clip.exe")) << log;  // the default extension was added
    // The recording the demo made has frames; all of them played from the package.
    const size_t at = log.find("played ");
    ASSERT_NE(at, std::string::npos) << log;
    int played = 0, of = 0;
    ASSERT_EQ(std::sscanf(log.c_str() + at, "played %d of %d frames", &played, &of), 2) << log;
    EXPECT_GT(of, 0) << log;
    EXPECT_EQ(played, of) << log;
    const std::string message = orbtest::ReadText(kShots + "/pack-host.log");
    EXPECT_EQ(message.find("could not"), std::string::npos) << message;
}
