// The host's top-level windows under a real window manager and a real system tray on a
// virtual X server, driven by real input: the tray icon docks in the tray and its menu brings
// the window back or ends the system; with no tray the main window waits minimised; full
// screen, keep-above, minimise and restore, a dialog transient for its owner, and a placement
// that survives a restart; a dialog read and driven through the accessibility bus.
// Screenshots stay in desktop-shots/ (tray-*.png, wm-*.png, a11y-*.png).
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "support/test_support.h"
#include "ui/desktop_session.h"

using namespace desktop;

namespace {

// Skips with a line that names what is missing.
std::string Missing(std::initializer_list<const char*> programs) {
    if (!ProgramsBuilt()) return std::string("the programs are not built in ") + ORB_BINARY_DIR;
    for (const char* p : programs)
        if (!Have(p)) return std::string("no ") + p + " here (tools/deps.sh installs it)";
    return {};
}

}  // namespace

TEST(DesktopInput, TrayIconDocksInTheTrayAndItsMenuBringsTheWindowBack) {
    const std::string missing = Missing({"xvfb-run", "xdotool", "xprop", "xwininfo", "import", "openbox", "trayer", "python3"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(RunScript("tray_desktop.sh", "tray", "tray"), 0) << orbtest::ReadText(kShots + "/script-tray.txt");
    const std::string log = orbtest::ReadText(kShots + "/tray.log");
    ASSERT_TRUE(Says(log, "tray running")) << log;
    // Display > Run in the background: the icon is a new window inside the tray's window.
    EXPECT_TRUE(Says(log, "icon docked in the tray")) << log;
    EXPECT_TRUE(Says(log, "main window hidden")) << log;
    EXPECT_TRUE(Says(log, "background written")) << log;
    // A right click on the icon opens the tray menu, a window of its own.
    EXPECT_NE(log.find("tray menu window "), std::string::npos) << log;
    // "Show the window": the window is back, the icon gone, the setting cleared.
    EXPECT_TRUE(Says(log, "main window shown again")) << log;
    EXPECT_TRUE(Says(log, "icon left the tray")) << log;
    EXPECT_TRUE(Says(log, "background cleared")) << log;
    // "Exit" from the tray ends the system.
    EXPECT_TRUE(Says(log, "exit ended the demo")) << log;
}

TEST(DesktopInput, TrayWithoutATrayTheWindowWaitsMinimisedAndComesBack) {
    const std::string missing = Missing({"xvfb-run", "xdotool", "xprop", "xwininfo", "import", "openbox"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(RunScript("tray_desktop.sh", "notray", "notray"), 0) << orbtest::ReadText(kShots + "/script-notray.txt");
    const std::string log = orbtest::ReadText(kShots + "/tray.log");
    EXPECT_TRUE(Says(log, "no tray: main window iconic")) << log;
    EXPECT_TRUE(Says(log, "no tray: hidden state")) << log;
    EXPECT_TRUE(Says(log, "no tray: title Orbiscope 360/180 (background)")) << log;
    // Restored from the window manager, the system has left the background.
    EXPECT_TRUE(Says(log, "no tray: restored by the window manager")) << log;
    EXPECT_TRUE(Says(log, "no tray: background cleared")) << log;
    EXPECT_TRUE(Says(log, "no tray: title after Orbiscope")) << log;
}

TEST(DesktopInput, TrayGoneTheWindowTakesTheIconsPlace) {
    const std::string missing = Missing({"xvfb-run", "xdotool", "xprop", "xwininfo", "import", "openbox", "trayer", "python3"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(RunScript("tray_desktop.sh", "traygone", "traygone"), 0) << orbtest::ReadText(kShots + "/script-traygone.txt");
    const std::string log = orbtest::ReadText(kShots + "/tray.log");
    EXPECT_TRUE(Says(log, "gone: icon docked")) << log;
    // The tray ended under the icon: the person still has the window, minimised.
    EXPECT_TRUE(Says(log, "gone: main window iconic")) << log;
    EXPECT_TRUE(Says(log, "gone: title says background")) << log;
    EXPECT_TRUE(Says(log, "gone: restored by the window manager")) << log;
    EXPECT_TRUE(Says(log, "gone: background cleared")) << log;
}

TEST(DesktopInput, TrayStartedInTheBackgroundOnlyTheIconShows) {
    const std::string missing = Missing({"xvfb-run", "xdotool", "xprop", "xwininfo", "import", "openbox", "trayer", "python3"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(RunScript("tray_desktop.sh", "startup", "startup"), 0) << orbtest::ReadText(kShots + "/script-startup.txt");
    const std::string log = orbtest::ReadText(kShots + "/tray.log");
    EXPECT_TRUE(Says(log, "startup: icon docked in the tray")) << log;
    EXPECT_TRUE(Says(log, "startup: no window shown")) << log;
    EXPECT_TRUE(Says(log, "startup: main window shown")) << log;
    EXPECT_TRUE(Says(log, "startup: background cleared")) << log;
}

TEST(DesktopInput, WindowManagerFullScreenKeepAboveMinimiseAndOwnedDialog) {
    const std::string missing = Missing({"xvfb-run", "xdotool", "xprop", "xwininfo", "import", "openbox"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(RunScript("wm_desktop.sh", "wm-views", "views"), 0) << orbtest::ReadText(kShots + "/script-wm-views.txt");
    const std::string log = orbtest::ReadText(kShots + "/wm.log");
    EXPECT_TRUE(Says(log, "views: main window kept above")) << log;
    EXPECT_TRUE(Says(log, "views: full screen state")) << log;
    EXPECT_TRUE(Says(log, "views: covers the screen")) << log;
    EXPECT_TRUE(Says(log, "views: full screen left")) << log;
    EXPECT_TRUE(Says(log, "views: iconic")) << log;
    EXPECT_TRUE(Says(log, "views: hidden state")) << log;
    EXPECT_TRUE(Says(log, "views: restored")) << log;
    EXPECT_TRUE(Says(log, "views: shown state")) << log;
    EXPECT_TRUE(Says(log, "views: chooser transient for the main window")) << log;
    EXPECT_TRUE(Says(log, "views: chooser above the main window")) << log;
    EXPECT_TRUE(Says(log, "views: chooser closed")) << log;
}

TEST(DesktopInput, WindowManagerPlacementMovedByThePersonIsWhereTheWindowReopens) {
    const std::string missing = Missing({"xvfb-run", "xdotool", "xprop", "xwininfo", "import", "openbox"});
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(RunScript("wm_desktop.sh", "wm-placement", "placement"), 0) << orbtest::ReadText(kShots + "/script-wm-placement.txt");
    const std::string log = orbtest::ReadText(kShots + "/wm.log");
    EXPECT_TRUE(Says(log, "placement: saved while moving")) << log;
    EXPECT_TRUE(Says(log, "placement: the window moved")) << log;
    EXPECT_TRUE(Says(log, "placement: closed")) << log;
    EXPECT_TRUE(Says(log, "placement: same place")) << log;
}

TEST(DesktopInput, AccessibilityChooserReadsAsADialogWithNamedControlsAndAnswersItsActions) {
    std::string missing = Missing({"xvfb-run", "xdotool", "xprop", "xwininfo", "import", "dbus-run-session", "dbus-send"});
    if (missing.empty() && orbtest::Run("test -x /usr/libexec/at-spi-bus-launcher || test -x /usr/lib/at-spi2-core/at-spi-bus-launcher") != 0)
        missing = "no accessibility bus launcher here (Debian's at-spi2-core)";
    if (missing.empty() && orbtest::Run("/usr/bin/python3 -c 'import pyatspi' >/dev/null 2>&1") != 0)
        missing = "no pyatspi for /usr/bin/python3 here (Debian's python3-pyatspi)";
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(RunScript("a11y_desktop.sh", "a11y"), 0) << orbtest::ReadText(kShots + "/script-a11y.txt");
    const std::string log = orbtest::ReadText(kShots + "/a11y.log");
    ASSERT_TRUE(Says(log, "accessibility bus up")) << log;
    // Announced as a dialog with its caption; each control with its role and a name.
    EXPECT_TRUE(Says(log, "dialog Choose a camera")) << log;
    EXPECT_TRUE(Says(log, "control table Choose a camera")) << log;
    EXPECT_TRUE(Says(log, "control table cell Simulated Fisheye")) << log;
    EXPECT_TRUE(Says(log, "control table cell Simulated Mirror")) << log;
    EXPECT_TRUE(Says(log, "control push button OK")) << log;
    EXPECT_TRUE(Says(log, "control push button Cancel")) << log;
    EXPECT_EQ(log.find("unnamed "), std::string::npos) << log;
    // Picked and pressed through the accessibility interfaces: the view takes the camera.
    EXPECT_TRUE(Says(log, "picked Simulated Fisheye")) << log;
    EXPECT_TRUE(Says(log, "pressed OK")) << log;
    EXPECT_TRUE(Says(log, "chooser closed")) << log;
    EXPECT_TRUE(Says(log, "view camera CCTV1=1")) << log;
    // The network storage dialog: the edit field is named by the label before it.
    EXPECT_TRUE(Says(log, "dialog Network storage")) << log;
    EXPECT_TRUE(Says(log, "control radio button Do not use network storage")) << log;
    EXPECT_TRUE(Says(log, "control radio button Record to a network storage folder")) << log;
    EXPECT_TRUE(Says(log, "control text Log-in command:")) << log;
    EXPECT_TRUE(Says(log, "control check box Run the command when recording starts")) << log;
    EXPECT_TRUE(Says(log, "control push button Browse...")) << log;
    EXPECT_TRUE(Says(log, "pressed Cancel")) << log;
    EXPECT_TRUE(Says(log, "probe result 0")) << log;
}
