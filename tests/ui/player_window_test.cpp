// The player as a person uses it, on a virtual X server: the demo records, the floating tool
// bar's player button opens the player on that recording, and pause, the position bar, the
// next-frame button and play change the view's picture as they should (pictures compared).
// Screenshots stay in the build folder (desktop-shots/player-*.png).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/test_support.h"
#include "ui/desktop_session.h"

using namespace desktop;

TEST(DesktopInput, PlayerToolBarOpensThePlayerAndItsControlsMoveThePicture) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import") || !Have("compare"))
        GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    ASSERT_EQ(RunScript("player_desktop.sh", "player", std::string(ORB_SOURCE_DIR)), 0);
    const std::string log = orbtest::ReadText(kShots + "/player.log");
    ASSERT_NE(log.find("player window\n"), std::string::npos) << log;
    // Paused, the picture holds still.
    const double paused = Measured(log, "paused");
    EXPECT_GE(paused, 0.0) << log;
    EXPECT_LT(paused, 0.01) << log;
    // The thumb dragged to the start and one frame on: an early frame, another picture.
    // (The room changes only where its shoppers walk: other frames differ by a little more
    // than a paused one.)
    EXPECT_GT(Measured(log, "dragged"), 0.012) << log;
    // Five single steps move the recorded shoppers on.
    EXPECT_GT(Measured(log, "stepped"), 0.012) << log;
    // Playing moves on again.
    EXPECT_GT(Measured(log, "played"), 0.012) << log;
    // The menu bar's File > Recordings... opens the recordings dialog; Escape closes it.
    EXPECT_NE(log.find("dvr menu recordings\n"), std::string::npos) << log;
    EXPECT_NE(log.find("recordings closed\n"), std::string::npos) << log;
    // The bar's stop button closes the player and leaves the live views open.
    EXPECT_NE(log.find("player closed\n"), std::string::npos) << log;
    EXPECT_NE(log.find("demo still open\n"), std::string::npos) << log;
    // The desktop entry's command opens the player on a file outside the storage folders;
    // it plays (a picture, not an empty field) and ends when its window is closed.
    EXPECT_NE(log.find("entry takes one file\n"), std::string::npos) << log;
    EXPECT_NE(log.find("entry opened the player\n"), std::string::npos) << log;
    EXPECT_GT(Measured(log, "entry spread"), 0.1) << log;
    EXPECT_NE(log.find("entry player ended\n"), std::string::npos) << log;
}
