// The backup as a person uses it, on a virtual X server: two recordings chosen with a click
// and a Ctrl+click, the folder picked in the chooser that Browse opens, Copy; the copies are
// byte for byte the recordings. Backup play then opens the player with the backup folder's
// list. A copy of thousands of recordings is stopped with its Stop dialog. Screenshots:
// desktop-shots/backup-*.png and command-Stop.png.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"
#include "ui/desktop_session.h"

using namespace desktop;

TEST(DesktopInput, BackupCopiesTwoChosenRecordingsIntoTheBrowsedFolderAndPlaysFromThere) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import")) GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    ASSERT_EQ(RunScript("backup_desktop.sh", "backup"), 0);
    const std::string log = orbtest::ReadText(kShots + "/backup.log");
    ASSERT_TRUE(Says(log, "backup dialog")) << log;
    EXPECT_TRUE(Says(log, "folder chooser")) << log;
    EXPECT_TRUE(Says(log, "copied 2")) << log;
    size_t same = 0;
    for (size_t at = log.find("same as its recording: "); at != std::string::npos; at = log.find("same as its recording: ", at + 1))
        ++same;
    EXPECT_EQ(same, 2u) << log;
    EXPECT_TRUE(Says(log, "folder kept")) << log;
    EXPECT_TRUE(Says(log, "dialog closed")) << log;
    // The Stop dialog of the running copy takes the click above the modal backup dialog:
    // the copy ends early.
    EXPECT_TRUE(Says(log, "stop dialog")) << log;
    EXPECT_TRUE(Says(log, "stop dialog closed")) << log;
    int copied = -1, total = -1;
    const size_t at = log.find("stopped after ");
    ASSERT_NE(at, std::string::npos) << log;
    ASSERT_EQ(std::sscanf(log.c_str() + at, "stopped after %d of %d", &copied, &total), 2) << log;
    EXPECT_GT(total, 4000) << log;
    EXPECT_LT(copied, total) << log;
    EXPECT_TRUE(Says(log, "player opened")) << log;
    EXPECT_TRUE(Says(log, "playback dialog")) << log;
}
