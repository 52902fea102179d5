// Real input on a virtual X server: xdotool right-clicks, types, ticks, slides, picks list
// items and presses keys in the desktop probe and the demo; the logs say what the window
// layer and the dialog procedures received. Screenshots stay in the build folder
// (desktop-shots/) for a person to look at. Skipped where Xvfb, xdotool or ImageMagick is
// missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "config/camera_record.h"

#include "support/test_support.h"

namespace {

bool Have(const char* program) { return orbtest::Run(std::string("command -v ") + program + " >/dev/null 2>&1") == 0; }

const std::string kShots = std::string(ORB_BINARY_DIR) + "/desktop-shots";

// Runs the script's cases on a fresh virtual screen of 1280 x 1024. One virtual X server at a
// time (the lock): two `xvfb-run -a` started together can take the same display and end
// each other's programs.
void RunCases(const std::string& cases) {
    const std::string cmd = "flock /tmp/orbiscope-xvfb.lock timeout 280 xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' " + orbtest::SourcePath("tests/ui/desktop_input.sh") +
                            " " + ORB_BINARY_DIR + " " + kShots + " " + cases + " >" + kShots + "/script-" + cases.substr(0, 8) +
                            ".txt 2>&1";
    orbtest::Run("mkdir -p " + kShots);
    ASSERT_EQ(orbtest::Run(cmd), 0) << cmd;
}

std::string Log(const std::string& name) { return orbtest::ReadText(kShots + "/" + name + ".log"); }

bool Says(const std::string& log, const std::string& line) { return log.find(line + "\n") != std::string::npos; }

#define SKIP_WITHOUT_DESKTOP()                                                                   \
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import"))                                 \
        GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here: the desktop input tests are skipped"

}  // namespace

TEST(DesktopInput, MenusDialogsChooserAndMessageBoxAnswerThePerson) {
    SKIP_WITHOUT_DESKTOP();
    RunCases("menu root dvr balance lists event open message web");
    // The context menu: a new window on the screen, keys walk into the first submenu.
    const std::string menu = Log("menu");
    EXPECT_TRUE(Says(menu, "chosen 918")) << menu;
    // Typed passwords, a ticked box and Enter: the first root password is stored.
    const std::string root = Log("root");
    EXPECT_TRUE(Says(root, "password \"Secret\"")) << root;
    EXPECT_TRUE(Says(root, "result 0")) << root;
    // A radio button and a check box clicked, Enter: the recording settings are written.
    EXPECT_TRUE(Says(Log("dvr"), "result 1")) << Log("dvr");
    const std::string ini = orbtest::ReadText(kShots + "/dvr.sys/orbiscfg.ini");
    EXPECT_NE(ini.find("DVR=0"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SkipSystemDisk=1"), std::string::npos) << ini;
    // A box ticked and a slider moved: the procedure heard both; Enter is OK.
    const std::string balance = Log("balance");
    EXPECT_TRUE(Says(balance, "command 1315 code 0")) << balance;
    EXPECT_NE(balance.find("slider 350 pos "), std::string::npos) << balance;
    EXPECT_NE(balance.find("control 1315 text=\"Colour correction on\" checked=1"), std::string::npos) << balance;
    EXPECT_TRUE(Says(balance, "result 1")) << balance;
    // Two items of a list of several choices, the second with Ctrl; Escape cancels.
    const std::string lists = Log("lists");
    EXPECT_TRUE(Says(lists, "command 100 code 1")) << lists;
    EXPECT_NE(lists.find("control 100 text=\"\" checked=0 value=0 selected=1,3"), std::string::npos) << lists;
    EXPECT_TRUE(Says(lists, "result 2")) << lists;
    // Typing into an edit field sends a change for every letter; OK clicked.
    const std::string event = Log("event");
    EXPECT_TRUE(Says(event, "command 1814 code 768")) << event;
    EXPECT_NE(event.find("control 1814 text=\"libhook.so\""), std::string::npos) << event;
    EXPECT_NE(event.find("control 1812 text=\"Call a user function when motion is seen\" checked=1"), std::string::npos);
    EXPECT_TRUE(Says(event, "result 1")) << event;
    // The open-file chooser: a name typed, Enter.
    EXPECT_NE(Log("open").find("chosen \"" + kShots + "/pick/lobby.360\""), std::string::npos) << Log("open");
    // The web page dialog's Browse opens the save chooser; Escape ends the dialog with -1.
    const std::string web = Log("web");
    EXPECT_TRUE(Says(web, "chooser Create HTML Web Page")) << web;
    EXPECT_TRUE(Says(web, "result -1")) << web;
    // The message box answered Yes with its mnemonic.
    EXPECT_TRUE(Says(Log("message"), "answer 6")) << Log("message");
}

TEST(DesktopInput, EveryDialogTemplateOpensOnTheDesktopAndEscapeCancels) {
    SKIP_WITHOUT_DESKTOP();
    RunCases("templates");
    for (const char* t : {"Source", "Cruise", "Blank", "hOrz", "hOrz2", "hOrz21", "hOrz3", "Backup", "Playback", "Stop",
                          "Root", "Check", "Advance", "DVR", "DVRFile", "Mask", "MaskZone", "Balance", "Event", "Web",
                          "ExportCamera"}) {
        const std::string log = Log(std::string("template-") + t);
        EXPECT_TRUE(Says(log, "init")) << t << ": " << log;
        EXPECT_TRUE(Says(log, "result 2")) << t << ": " << log;
        EXPECT_EQ(log.find("missing"), std::string::npos) << t << ": " << log;
    }
}

TEST(DesktopInput, DemoViewContextMenuAndCameraChooser) {
    SKIP_WITHOUT_DESKTOP();
    RunCases("demo");
    // The right click opened a new window (the menu) over the demo's.
    const std::string before = orbtest::ReadText(kShots + "/demo.before"), after = orbtest::ReadText(kShots + "/demo.windows");
    ASSERT_FALSE(before.empty());
    EXPECT_GT(after.size(), before.size());
    // Display > Show location switched the location text off and stored it.
    EXPECT_NE(orbtest::ReadText(kShots + "/demo-location.ini").find("ShowLocation=0"), std::string::npos);
    // Choose camera... opened the camera chooser; the second camera went into view 0.
    EXPECT_NE(orbtest::ReadText(kShots + "/demo.source").find("Choose a camera"), std::string::npos);
    EXPECT_NE(orbtest::ReadText(kShots + "/demo-camera.ini").find("CCTV0="), std::string::npos);
    // Ctrl+Shift and a click opened the view's motion-event dialog.
    EXPECT_NE(orbtest::ReadText(kShots + "/demo.event").find("Motion event"), std::string::npos);
}

// A camera that never answers and one that answers a byte a second, steered all the while:
// the window thread waits for neither, so the healthy view's context menu is on the screen
// within 100 ms of the click (a wait on one of those cameras would take seconds, their
// connection limits). The figures are in hang.log.
TEST(DesktopInput, MenusOpenAtOnceBesideCamerasThatHang) {
    SKIP_WITHOUT_DESKTOP();
    RunCases("hang");
    const std::string log = Log("hang");
    std::vector<int> ms;
    for (size_t at = log.find("menu "); at != std::string::npos; at = log.find("menu ", at + 1))
        ms.push_back(std::atoi(log.c_str() + at + 5));
    ASSERT_EQ(ms.size(), 10u) << log;
    EXPECT_EQ(log.find("menu none"), std::string::npos) << log;
    std::sort(ms.begin(), ms.end());
    EXPECT_LT(ms[ms.size() / 2], 100) << log;
    EXPECT_LT(ms.back(), 1000) << log;
    EXPECT_TRUE(Says(log, "alive")) << log;
}

TEST(DesktopInput, MouseSteersADemoViewAndTheCloseButtonSavesIt) {
    SKIP_WITHOUT_DESKTOP();
    RunCases("steer");
    const std::string log = Log("steer");
    // The drag right by 120 pixels panned the window above the strip (window 4 in the
    // camera's mode 4) by 0.1 degree a pixel, as far as the drag went.
    const size_t drag = log.find("watch: window 4 pan ");
    ASSERT_NE(drag, std::string::npos) << log;
    EXPECT_EQ(log.find("no drag seen"), std::string::npos) << log;
    // The click three quarters across the strip turned it to look there (180 degrees).
    EXPECT_EQ(log.find("no click seen"), std::string::npos) << log;
    // The close button ended the demo through Exit: the view's record, where the person
    // left the window, is in Config.ure.
    const auto file = orbtest::ReadFile(kShots + "/steer-Config.ure");
    ASSERT_GE(file.size(), 3000u) << log;
    double pan = 0;
    std::memcpy(&pan, file.data() + offsetof(CameraRecord, presets360) + 4 * sizeof(ViewPreset) + offsetof(ViewPreset, pan),
                sizeof pan);
    EXPECT_GT(std::abs(pan), 170.0) << pan;
}
