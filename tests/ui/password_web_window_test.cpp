// The root password and the web page as a person handles them, on a virtual X server and
// through the host: the first password set in the "Root" dialog with protection ticked;
// deleting a recording asks for it in the "Check" dialog, refuses a wrong one with a
// message and deletes after the right one; the "Web" dialog writes the page and the camera
// file chosen with its save chooser; the recording settings' "Network storage..." button opens
// the network storage dialog, whose folder is picked with the folder chooser and kept.
// Screenshots: desktop-shots/password-*.png, web-dialog.png, settings-*.png.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "ui/desktop_session.h"

using namespace desktop;

TEST(DesktopInput, RootPasswordWebPageAndRecordingSettingsThroughTheirDialogs) {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built in " << ORB_BINARY_DIR;
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import")) GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    ASSERT_EQ(RunScript("password_web_desktop.sh", "password-web"), 0);
    const std::string log = orbtest::ReadText(kShots + "/password-web.log");
    for (const char* line : {"root dialog", "root dialog closed", "password stored", "protection on", "check dialog",
                             "wrong password refused", "nothing deleted yet", "check dialog closed",
                             "one recording deleted", "web dialog", "web chooser", "web dialog closed", "page written",
                             "camera file written", "settings dialog", "network storage dialog",
                             "network storage dialog closed", "settings dialog closed", "network storage on",
                             "network storage folder kept"})
        EXPECT_TRUE(Says(log, line)) << line << "\n" << log;
}
