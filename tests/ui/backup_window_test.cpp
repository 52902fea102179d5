// The backup as a person uses it, on a virtual X server: two recordings chosen with a click
// and a Ctrl+click, the folder picked in the chooser that Browse opens, Copy; the copies are
// byte for byte the recordings. Backup play then opens the player with the backup folder's
// list. Screenshots: desktop-shots/backup-*.png.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

bool Have(const char* program) { return orbtest::Run(std::string("command -v ") + program + " >/dev/null 2>&1") == 0; }

// The programs a person runs, built beside the tests (a sanitizer stage may build tests only).
bool ProgramsBuilt() {
    for (const char* p : {"orbiscope", "orbiscope-demo", "orbiscope-player"})
        if (orbtest::Run(std::string("test -x '") + ORB_BINARY_DIR + "/" + p + "'") != 0) return false;
    return true;
}

const std::string kShots = std::string(ORB_BINARY_DIR) + "/desktop-shots";

bool Says(const std::string& log, const std::string& line) { return log.find(line + "\n") != std::string::npos; }

}  // namespace

TEST(DesktopInput, BackupCopiesTwoChosenRecordingsIntoTheBrowsedFolderAndPlaysFromThere) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import")) GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    orbtest::Run("mkdir -p " + kShots);
    const std::string cmd = "flock /tmp/orbiscope-xvfb.lock timeout 280 xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' " +
                            orbtest::SourcePath("tests/ui/backup_desktop.sh") + " " + ORB_BINARY_DIR + " " + kShots +
                            " >" + kShots + "/script-backup.txt 2>&1";
    ASSERT_EQ(orbtest::Run(cmd), 0) << cmd;
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
    EXPECT_TRUE(Says(log, "player opened")) << log;
    EXPECT_TRUE(Says(log, "playback dialog")) << log;
}
