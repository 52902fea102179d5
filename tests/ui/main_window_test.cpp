// The main window and its views, driven headless through the exports a host calls.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "ui/run_orbiscope.h"
#include "host/startup.h"
#include "platform/accelerators.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "support/test_support.h"
#include "ui/main_window.h"

using namespace orb;

namespace {

struct Calls {
    std::vector<int> started;  // view index per capture start
    std::vector<CaptureRoutine> routines;
    int stopped = 0, cancelled = 0;
    std::vector<int> ptz;
    std::vector<std::pair<int, bool>> zooms;
    std::vector<int> moves;
    std::vector<int> commands;
};
Calls g_calls;

std::vector<Message> g_hostMessages;
LRESULT HostProc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND) g_hostMessages.push_back({h, m, w, l});
    return DefWindowProc(h, m, w, l);
}

void WriteConfig(const std::string& path, const std::vector<std::pair<int32_t, int32_t>>& idsAndModels) {
    std::vector<uint8_t> bytes(idsAndModels.size() * kSlotSize);
    for (size_t i = 0; i < idsAndModels.size(); ++i) {
        CameraRecord r{};
        r.cameraId = idsAndModels[i].first;
        r.modelIndex = idsAndModels[i].second;
        std::snprintf(r.location, sizeof r.location, "Camera %d", r.cameraId);
        std::memcpy(bytes.data() + i * kSlotSize, &r, sizeof r);
    }
    orbtest::WriteFile(path, bytes);
}

struct Desk : ::testing::Test {
    orbtest::TempHome home;
    ManualClock clock;
    HWND host = nullptr;

    void SetUp() override {
        SetBackend(Backend::Headless);
        ResetWindowing();
        g_ui = {};
        g_calls = {};
        g_hostMessages.clear();
        g_lib = LibraryState{};
        gfMotionBlock = 1;
        Hooks() = {};
        Hooks().sleepMs = [](int) {};
        Hooks().startCapture = [](PanoView* v) {
            g_calls.started.push_back(v->viewIndex);
            g_calls.routines.push_back(v->ui.routine);
            return true;
        };
        Hooks().stopCapture = [](PanoView*) { ++g_calls.stopped; };
        Hooks().cancelBlocking = [](PanoView*) { ++g_calls.cancelled; };
        Hooks().ptz = [](PanoView*, int c) { g_calls.ptz.push_back(c); };
        Hooks().zoom = [](PanoView*, int pane, bool in) { g_calls.zooms.push_back({pane, in}); };
        Hooks().move = [](PanoView*, int, int c) { g_calls.moves.push_back(c); };
        Hooks().command = [](PanoView*, HWND, int c) {
            g_calls.commands.push_back(c);
            return true;
        };
        SetTimerClock(&clock);
        SetHeadlessScreen(1920, 1080);
        orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
        std::vector<std::pair<int32_t, int32_t>> cams;
        for (int i = 0; i < 32; ++i) cams.push_back({100 + i, i == 1 ? 17 : i == 2 ? 50 : i == 3 ? 131 : 0});
        WriteConfig(home.path("Config.ure"), cams);
        Initialise();
        RegisterWindowClass({"Test Host", HostProc});
        host = CreateWindow("Test Host", "host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, 0, nullptr);
    }
    void TearDown() override {
        ResetWindowing();
        UnloadLanguage();
        g_ui = {};
    }
    HWND Run(int n, int caller, const int32_t* rects = nullptr) {
        void* out = reinterpret_cast<void*>(1);
        void* main = RunOrbiscope(host, 0, n, &out, caller, nullptr, 0, rects);
        EXPECT_EQ(out, main);
        PumpMessages();
        return static_cast<HWND>(main);
    }
    static int ViewWindows() {
        int n = 0;
        for (HWND v : g_ui.views) n += v != nullptr;
        return n;
    }
    void Seconds(int s) {
        for (int i = 0; i < s; ++i) {
            clock.now += 1000;
            PumpMessages();
        }
    }
};

}  // namespace

TEST_F(Desk, ClassesAndTheMissingLanguage) {
    const auto classes = RegisteredClasses();
    const std::vector<std::string> lib(classes.begin(), classes.begin() + 16);
    EXPECT_EQ(lib, LibraryClassNames());
    EXPECT_EQ(lib[5], "Quill Orbiscope Classic");
    EXPECT_EQ(lib[7], "Quill Orbiscope PanoTop");

    // Without the language module nothing is registered and no window opens.
    DestroyWindow(host);
    ResetWindowing();
    std::remove(home.path(kLanguageFile).c_str());
    Initialise();
    EXPECT_FALSE(LanguageLoaded());
    EXPECT_TRUE(RegisteredClasses().empty());
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(RunOrbiscope(nullptr, 0, 4, &out, 4, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(UnloadLanguageResource(), 0);
}

TEST_F(Desk, EightViewsBecomeNineTiledAndStarted) {
    HWND main = Run(8, 4);
    ASSERT_TRUE(main);
    EXPECT_EQ(g_lib.numViews, 9);
    EXPECT_EQ(GetWindowText(main), "Orbiscope");
    EXPECT_EQ(GetWindowRect(main), (Rect{0, 0, 1920, 1080}));
    EXPECT_TRUE(GetWindowStyle(main) & WS_POPUP);
    EXPECT_EQ(ViewWindows(), 9);
    for (int i = 0; i < 9; ++i) {
        PanoView* v = ViewOf(g_ui.views[i]);
        ASSERT_TRUE(v) << i;
        EXPECT_EQ(v->viewIndex, i);
        EXPECT_EQ(v->record.cameraId, 100 + i);  // slot i without a view key
        EXPECT_EQ(v->record.ownerLink, v->id);
        EXPECT_STREQ(v->record.tag, "ORBISCOPE");
        EXPECT_EQ(v->ui.placement, (ViewPlacement{0, (i % 3) * 640, (i / 3) * 360, 640, 360}));
        EXPECT_EQ(GetWindowRect(g_ui.views[i]), (Rect{(i % 3) * 640, (i / 3) * 360, (i % 3) * 640 + 640, (i / 3) * 360 + 360}));
        EXPECT_TRUE(HasTimer(g_ui.views[i], kWatchdogTimer));
        EXPECT_EQ(ViewAt(i), v);
    }
    EXPECT_EQ(g_calls.started, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    // Models 17, 50 and 131: the second and third loops; 131 is a mechanical PTZ camera.
    EXPECT_EQ(g_calls.routines[0], CaptureRoutine::Main);
    EXPECT_EQ(g_calls.routines[1], CaptureRoutine::Second);
    EXPECT_EQ(g_calls.routines[2], CaptureRoutine::Third);
    EXPECT_EQ(ViewOf(g_ui.views[3])->record.lensType, kImageMechanicalPtz);
    // Several views: the main window lets the views take the mouse.
    EXPECT_EQ(SendMessage(main, WM_NCHITTEST), HTTRANSPARENT);

    // Destroying the main window by other means stops every view and gives the host back.
    EnableWindow(host, false);
    ShowWindow(host, SW_HIDE);
    DestroyWindow(main);
    EXPECT_EQ(g_calls.stopped, 9);
    EXPECT_EQ(ViewWindows(), 0);
    EXPECT_EQ(g_ui.main, nullptr);
    EXPECT_TRUE(IsWindowEnabled(host));
    EXPECT_TRUE(IsWindowVisible(host));
    EXPECT_EQ(ViewAt(0), nullptr);
}

TEST_F(Desk, RoutinesByModel) {
    bool ptz;
    for (int m : {16, 21, 61, 90, 92, 280}) EXPECT_EQ(RoutineForModel(m, ptz), CaptureRoutine::Second) << m;
    for (int m : {49, 54, 72, 79, 85, 87}) EXPECT_EQ(RoutineForModel(m, ptz), CaptureRoutine::Third) << m;
    for (int m : {0, 15, 22, 55, 88, 93, 279}) {
        EXPECT_EQ(RoutineForModel(m, ptz), CaptureRoutine::Main) << m;
        EXPECT_FALSE(ptz);
    }
    for (int m : {131, 198, 199}) {
        EXPECT_EQ(RoutineForModel(m, ptz), CaptureRoutine::Main);
        EXPECT_TRUE(ptz);
    }
}

TEST_F(Desk, ViewKeysMapAndDisableViews) {
    WriteSetting("SCCTV", "CCTV0", "105");
    // The view-enabled test reads section "CCTV" whatever the caller: the mark there
    // disables view 1; the same mark in the caller's own section leaves view 2 enabled.
    WriteSetting("CCTV", "CCTV1", EmptyViewMark());
    WriteSetting("SCCTV", "CCTV2", EmptyViewMark());
    ASSERT_TRUE(Run(4, 4));
    EXPECT_EQ(ViewOf(g_ui.views[0])->record.cameraId, 105);
    PanoView* disabled = ViewOf(g_ui.views[1]);
    ASSERT_TRUE(disabled);
    EXPECT_TRUE(disabled->ui.disabled);
    ASSERT_TRUE(ViewOf(g_ui.views[2]));
    EXPECT_FALSE(ViewOf(g_ui.views[2])->ui.disabled);
    EXPECT_EQ(g_calls.started, (std::vector<int>{0, 2, 3}));
    // The disabled view's watchdog rests.
    Seconds(40);
    EXPECT_EQ(disabled->ui.watchdogA, 0);
}

TEST_F(Desk, RecordsThatCannotLoadLeaveTheViewEmpty) {
    std::remove(home.path("Config.ure").c_str());
    int sleeps = 0;
    static int* counter = &sleeps;
    Hooks().sleepMs = [](int ms) { *counter += ms == 500; };
    ASSERT_TRUE(Run(2, 4));
    EXPECT_TRUE(g_calls.started.empty());
    EXPECT_EQ(sleeps, 2 * 10);  // eleven attempts each, 500 ms apart
}

TEST_F(Desk, WatchdogCancelsThenRestarts) {
    ASSERT_TRUE(Run(2, 4));
    HWND w = g_ui.views[1];
    PanoView* before = ViewOf(w);
    const ViewPlacement placement = before->ui.placement;
    before->record.cruiseSpeed = 9;  // carried into the rebuilt view
    Seconds(14);
    EXPECT_EQ(g_calls.cancelled, 0);
    EXPECT_EQ(before->ui.watchdogA, 14);
    Seconds(1);
    EXPECT_EQ(g_calls.cancelled, 2);  // one per view at 15 seconds
    // View 0 makes progress: its counters are cleared by its capture thread.
    ViewOf(g_ui.views[0])->ui.watchdogA = 0;
    ViewOf(g_ui.views[0])->ui.watchdogB = 0;
    Seconds(15);
    EXPECT_EQ(g_calls.stopped, 0);
    Seconds(1);  // 31 seconds without progress: view 1 restarts
    EXPECT_EQ(g_calls.stopped, 1);
    PanoView* after = ViewOf(w);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->record.cruiseSpeed, 9);
    EXPECT_EQ(after->ui.placement, placement);
    EXPECT_EQ(after->ui.watchdogA, 0);
    EXPECT_EQ(g_chosenRecord.cameraId, 101);
    EXPECT_EQ(g_calls.started.back(), 1);
    EXPECT_EQ(g_calls.started.size(), 3u);
    // A paused view's watchdog rests.
    SendMessage(w, WM_COMMAND, kCmdPause);
    Seconds(40);
    EXPECT_EQ(g_calls.stopped, 1 + 1);  // only view 0 restarted meanwhile
    EXPECT_EQ(ViewOf(w)->ui.watchdogA, 0);
}

TEST_F(Desk, PauseResumeAndSettingsCommands) {
    HWND main = Run(4, 4);
    HWND v0 = g_ui.views[0], v2 = g_ui.views[2];
    SendMessage(v2, WM_COMMAND, kCmdPause);
    EXPECT_TRUE(ViewOf(v2)->ui.paused);
    EXPECT_FALSE(ViewOf(v0)->ui.paused);
    SendMessage(v2, WM_COMMAND, kCmdResume);
    EXPECT_FALSE(ViewOf(v2)->ui.paused);
    // Commands of the main window go to the first view.
    SendMessage(main, WM_COMMAND, kCmdPauseAll);
    for (HWND v : g_ui.views)
        if (v) EXPECT_TRUE(ViewOf(v)->ui.paused);
    SendMessage(main, WM_COMMAND, kCmdResumeAll);
    for (HWND v : g_ui.views)
        if (v) EXPECT_FALSE(ViewOf(v)->ui.paused);

    const int shown = g_lib.showLocation;
    SendMessage(v0, WM_COMMAND, kCmdShowLocation);
    EXPECT_NE(g_lib.showLocation, shown);
    EXPECT_EQ(ReadSettingInt("SCCTV", "ShowLocation", "9"), g_lib.showLocation);
    SendMessage(v2, WM_COMMAND, kCmdEmptyView);
    EXPECT_EQ(ReadSetting("SCCTV", "CCTV2", ""), "-1, -1");
    SendMessage(v0, WM_COMMAND, kCmdMotionBlocks);
    EXPECT_EQ(gfMotionBlock, 0);
    EXPECT_EQ(ReadSettingInt("SCCTV", "MotionBlock", "9"), 0);
    SendMessage(v0, WM_COMMAND, kCmdLockOn);
    EXPECT_EQ(g_lib.lockScreen, 1);
    // Protected: a refused password keeps the lock.
    g_lib.protect = 1;
    Hooks().checkPassword = [](HWND) { return false; };
    SendMessage(v0, WM_COMMAND, kCmdLockOff);
    EXPECT_EQ(g_lib.lockScreen, 1);
    // Other subsystems' commands reach their hook.
    SendMessage(v0, WM_COMMAND, kCmdSnapshot);
    SendMessage(v0, WM_COMMAND, 3210);
    EXPECT_EQ(g_calls.commands, (std::vector<int>{kCmdSnapshot, 3210}));
}

TEST_F(Desk, CruiseDialogStoresAtOnceAndCancelRestores) {
    ASSERT_TRUE(Run(1, 4));
    HWND v = g_ui.views[0];
    PanoView* view = ViewOf(v);
    view->record.cruiseSpeed = 3;
    ScriptDialog("Cruise", {{DialogStep::SetValue, 1220, "", 7}, {DialogStep::Press, IDOK}});
    SendMessage(v, WM_COMMAND, kCmdCruise);
    EXPECT_EQ(view->record.cruiseSpeed, 7);
    EXPECT_FALSE(view->ui.paused);
    static int seen = -1;
    static HWND dialogSeen = nullptr;
    (void)dialogSeen;
    ScriptDialog("Cruise", {{DialogStep::SetValue, 1220, "", 12}, {DialogStep::Press, IDCANCEL}});
    SendMessage(v, WM_COMMAND, kCmdCruise);
    EXPECT_EQ(view->record.cruiseSpeed, 7);
    (void)seen;
    EXPECT_EQ(TakeShownDialogs(), (std::vector<std::string>{"Cruise", "Cruise"}));
}

TEST_F(Desk, WheelAndKeysSteerByImageType) {
    HWND main = Run(4, 4);
    HWND v1 = g_ui.views[1];  // at x 960..1920, y 0..540
    PanoView* view = ViewOf(v1);
    view->record.lensType = kImageNormal;
    InjectMouse(main, WM_MOUSEWHEEL, 1000, 100, 0, kWheelDelta);
    EXPECT_TRUE(g_calls.zooms.empty());  // no picture yet
    view->ui.hasPicture = 1;
    InjectMouse(main, WM_MOUSEWHEEL, 1000, 100, 0, kWheelDelta);
    EXPECT_TRUE(g_calls.zooms.empty());  // a normal camera does not zoom
    view->record.lensType = 2;
    Hooks().paneAt = [](PanoView*, int x, int y) { return x == 40 && y == 100 ? 3 : 0; };
    InjectMouse(main, WM_MOUSEWHEEL, 1000, 100, 0, kWheelDelta);
    InjectMouse(main, WM_MOUSEWHEEL, 1000, 100, 0, -kWheelDelta);
    EXPECT_EQ(g_calls.zooms, (std::vector<std::pair<int, bool>>{{3, true}, {3, false}}));
    EXPECT_EQ(g_ui.current, view);
    view->record.lensType = kImageMechanicalPtz;
    InjectMouse(main, WM_MOUSEWHEEL, 1000, 100, 0, kWheelDelta);
    InjectMouse(main, WM_MOUSEWHEEL, 1000, 100, 0, -kWheelDelta);
    EXPECT_EQ(g_calls.ptz, (std::vector<int>{kPtzZoomIn, kPtzZoomOut}));

    // Keys act on the current view.
    g_calls = {};
    SetFocus(v1);
    for (uint32_t k : {37u, 38u, 39u, 40u, 107u, 109u, 65u, 90u, 12u}) InjectKey(WM_KEYDOWN, k);
    EXPECT_EQ(g_calls.ptz, (std::vector<int>{kPtzLeft, kPtzUp, kPtzRight, kPtzDown, kPtzZoomIn, kPtzZoomOut, kPtzZoomIn,
                                             kPtzZoomOut}));
    view->record.lensType = 2;
    for (uint32_t k : {37u, 38u, 39u, 40u, 187u, 189u}) InjectKey(WM_KEYDOWN, k);
    EXPECT_EQ(g_calls.moves, (std::vector<int>{kCmdPanLeft, kCmdTiltUp, kCmdPanRight, kCmdTiltDown}));
    EXPECT_EQ(g_calls.zooms.size(), 2u);
    // Locked (caller ID 0 with the screen lock): nothing, but a PTZ camera still tilts down.
    g_calls = {};
    g_lib.callerId = 0;
    g_lib.lockScreen = 1;
    InjectKey(WM_KEYDOWN, 37);
    InjectMouse(main, WM_MOUSEWHEEL, 1000, 100, 0, kWheelDelta);
    EXPECT_TRUE(g_calls.moves.empty());
    EXPECT_TRUE(g_calls.zooms.empty());
    view->record.lensType = kImageMechanicalPtz;
    InjectKey(WM_KEYDOWN, 38);
    InjectKey(WM_KEYDOWN, 40);
    EXPECT_EQ(g_calls.ptz, std::vector<int>{kPtzDown});
    // The main window's move commands act on the current view too.
    g_lib.lockScreen = 0;
    SendMessage(main, WM_COMMAND, kCmdPanRight);
    EXPECT_EQ(g_calls.ptz.back(), kPtzRight);
}

namespace {
std::vector<int> Ids(const std::vector<MenuItem>& items) {
    std::vector<int> out;
    for (const auto& i : items)
        if (i.id) out.push_back(i.id);
    return out;
}
bool Checked(const std::vector<MenuItem>& items, int id) {
    for (const auto& i : items)
        if (i.id == id) return i.flags & MF_CHECKED;
    return false;
}
}  // namespace

TEST_F(Desk, ContextMenuFollowsCallerAndState) {
    HWND main = Run(4, 0);
    HWND v = g_ui.views[1];
    ViewOf(v)->ui.hasPicture = 1;
    InjectMouse(main, WM_RBUTTONUP, 1000, 100);
    auto shown = TakeShownMenus();
    ASSERT_EQ(shown.size(), 1u);
    // Then the showing modes of a fisheye in mode 0, its own item checked and greyed, and
    // what steers the windows.
    const std::vector<int> modes{2657, 2658, 2659, 2661, 2662, 2671, 2672, 2673, 2656, 931, 2668, 2660, 2663};
    auto with = [&](std::vector<int> ids) {
        ids.insert(ids.end(), modes.begin(), modes.end());
        return ids;
    };
    ASSERT_EQ(ViewOf(v)->record.showMode360, 0);
    EXPECT_EQ(Ids(shown[0]), with({903, 1901, 914, 913, 916, 3021, 1311, 900, 901, 920}));
    EXPECT_EQ(Checked(shown[0], 1901), g_lib.showLocation != 0);
    EXPECT_TRUE(Checked(shown[0], 2657));
    EXPECT_FALSE(Checked(shown[0], 2658));

    // The scripted choice runs as a command; a paused view offers resume.
    ScriptMenuChoices({900});
    InjectMouse(main, WM_RBUTTONUP, 1000, 100);
    EXPECT_TRUE(ViewOf(v)->ui.paused);
    TakeShownMenus();
    g_lib.lockScreen = 1;
    g_lib.fullScreen = 1;
    InjectMouse(main, WM_RBUTTONUP, 1000, 100);
    shown = TakeShownMenus();
    EXPECT_EQ(Ids(shown[0]), with({903, 1901, 914, 913, 917, 3022, 1311, 905, 908, 901, 920}));

    // Caller ID 4: no chooser, no background, and no window items.
    g_lib.callerId = 4;
    InjectMouse(main, WM_RBUTTONUP, 10, 10);
    shown = TakeShownMenus();
    EXPECT_EQ(Ids(shown[0]), with({1901, 1311, 900, 908, 901}));
}

// The keys of the views' menu reach every view, also with several views and no menu bar: the
// view under the pointer takes them, whichever window has the keyboard focus.
TEST_F(Desk, MenuKeysRunTheCommandsOfAView) {
    static std::vector<std::pair<int, int>> got;  // view index, command
    got.clear();
    Hooks().command = [](PanoView* v, HWND, int c) {
        got.push_back({v ? v->viewIndex : -1, c});
        return true;
    };
    HWND main = Run(4, 3);
    // The desktop gives the key to the frame, or to the focus window (a view) below it.
    InjectMouse(main, WM_MOUSEMOVE, 1000, 100);  // over view 1
    DeliverKey(main, WM_KEYDOWN, 'B', kKeyCtrl);
    DeliverKey(main, WM_KEYDOWN, 'M', kKeyCtrl);
    InjectMouse(main, WM_MOUSEMOVE, 100, 600);  // view 2
    SetFocus(g_ui.views[0]);
    InjectKey(WM_KEYDOWN, 'Z', kKeyCtrl);
    InjectKey(WM_KEYDOWN, 'S', kKeyCtrl);
    InjectMouse(main, WM_LBUTTONDOWN, 1000, 600);  // view 3, clicked
    InjectMouse(main, WM_LBUTTONUP, 1000, 600);
    InjectKey(WM_KEYDOWN, 'L', kKeyCtrl);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{1, 935}, {1, 2600}, {2, 3020}, {2, 920}, {3, 938}}));

    // Ctrl+P pauses and resumes the view; F11 switches full screen on and off.
    PanoView* v3 = ViewOf(g_ui.views[3]);
    InjectKey(WM_KEYDOWN, 'P', kKeyCtrl);
    EXPECT_EQ(v3->ui.paused, 1);
    InjectKey(WM_KEYDOWN, 'P', kKeyCtrl);
    EXPECT_EQ(v3->ui.paused, 0);
    InjectKey(WM_KEYDOWN, 0xFFC8);
    EXPECT_EQ(g_lib.fullScreen, 1);
    InjectKey(WM_KEYDOWN, 0xFFC8);
    EXPECT_EQ(g_lib.fullScreen, 0);

    // The view's own keys still steer: Z without Ctrl zooms out a PTZ camera.
    v3->ui.hasPicture = 1;
    v3->record.lensType = kImageMechanicalPtz;
    got.clear();
    InjectKey(WM_KEYDOWN, 'Z');
    InjectKey(WM_KEYDOWN, 37);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(g_calls.ptz, (std::vector<int>{kPtzZoomOut, kPtzLeft}));
}

// The single view's menu bar shows each item's key after a tab.
TEST_F(Desk, MenuBarShowsTheKeys) {
    HWND main = Run(1, 4);
    std::map<int, std::string> texts;
    std::vector<HMENU> menus{GetMenu(main)};
    while (!menus.empty()) {
        HMENU m = menus.back();
        menus.pop_back();
        for (const MenuItem& item : GetMenuItems(m)) {
            if (item.submenu) menus.push_back(item.submenu);
            else if (item.id) texts[item.id] = item.text;
        }
    }
    EXPECT_EQ(texts[935], Text(935) + "\tCtrl+B");
    EXPECT_EQ(texts[938], Text(938) + "\tCtrl+L");
    EXPECT_EQ(texts[3020], Text(3020) + "\tCtrl+Z");
    EXPECT_EQ(texts[2600], Text(2600) + "\tCtrl+M");
    EXPECT_EQ(texts[920], Text(920) + "\tCtrl+S");
    EXPECT_EQ(texts[900], Text(900) + "\tCtrl+P");
    EXPECT_EQ(texts[903], Text(903));  // no key
    // With one view the keys act on it as well.
    static int command = 0;
    Hooks().command = [](PanoView*, HWND, int c) { return command = c, true; };
    DeliverKey(main, WM_KEYDOWN, 'B', kKeyCtrl);
    EXPECT_EQ(command, 935);
}

TEST_F(Desk, SingleWindowedViewMenuAndPlacement) {
    WriteWindowPos("WinPos", {10, 20, 801, 601, 0});
    HWND main = Run(1, 4);
    ASSERT_TRUE(main);
    EXPECT_FALSE(GetWindowStyle(main) & WS_POPUP);
    EXPECT_EQ(GetWindowRect(main), (Rect{10, 20, 811, 621}));
    PanoView* view = ViewOf(g_ui.views[0]);
    EXPECT_EQ(view->ui.placement, (ViewPlacement{0, 0, 0, 802, 602}));
    HMENU menu = GetMenu(main);
    ASSERT_TRUE(menu);

    // Menu state: recording off greys the motion items; paused state greys its opposite.
    g_lib.recording = 0;
    SendMessage(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu));
    EXPECT_TRUE(GetMenuState(menu, 2602) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, 1805) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, 905) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, 900) & MF_GRAYED);
    g_lib.recording = 1;
    view->record.motionOn = 1;
    view->ui.paused = 1;
    SendMessage(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu));
    EXPECT_TRUE(GetMenuState(menu, 2602) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, 2601) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, 2600) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, 1805) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, 1805) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(menu, 900) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, 910) & MF_GRAYED);

    // Resizing resizes the single view and remembers the position.
    MoveWindow(main, 30, 40, 700, 500, true);
    EXPECT_EQ(GetClientRect(g_ui.views[0]), (Rect{0, 0, 700, 500}));
    WindowPos pos;
    ASSERT_TRUE(ReadWindowPos("WinPos", pos, 1920, 1080));
    EXPECT_EQ(pos.left, 30);
    EXPECT_EQ(pos.width, 700);
    MinMaxInfo mm;
    SendMessage(main, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
    EXPECT_EQ(mm.minTrackWidth, 400);
    EXPECT_EQ(mm.minTrackHeight, 300);
}

TEST_F(Desk, DefaultPlacementWithoutWinPos) {
    HWND main = Run(1, 4);
    // Two thirds of the screen, a fifth of what is left from the corner.
    EXPECT_EQ(GetWindowRect(main), (Rect{128, 72, 128 + 1280, 72 + 720}));
}

TEST_F(Desk, TwoScreensWithHostRectangles) {
    WriteSetting("Panorama", "MultiScreen", "1");
    const int32_t rects[8] = {0, 0, 1920, 1080, 1920, 0, 3840, 1080};
    HWND main = Run(16, 4, rects);
    ASSERT_TRUE(main);
    EXPECT_EQ(g_lib.numViews, 18);
    EXPECT_EQ(GetWindowRect(main), (Rect{0, 0, 3840, 1080}));
    EXPECT_EQ(ViewWindows(), 18);
    EXPECT_EQ(ViewOf(g_ui.views[9])->ui.placement, (ViewPlacement{1, 1920, 0, 640, 360}));
}

TEST_F(Desk, CloseCommandTellsTheHostAndEndsTheLoop) {
    HWND main = Run(4, 0);
    EXPECT_FALSE(IsWindowVisible(host));  // caller ID 0 hides the host
    EXPECT_FALSE(IsWindowEnabled(host));
    SendMessage(main, WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(g_calls.stopped, 4);
    ASSERT_EQ(g_hostMessages.size(), 1u);
    EXPECT_EQ(g_hostMessages[0].wParam, 999u);
    EXPECT_EQ(g_hostMessages[0].lParam, 2);
    Message m;
    bool quit = false;
    while (PeekMessage(m))
        if (m.message == WM_QUIT) {
            quit = true;
            EXPECT_EQ(m.wParam, 1u);
            break;
        } else {
            DispatchMessage(m);
        }
    EXPECT_TRUE(quit);
}

TEST_F(Desk, ProtectedCloseNeedsThePassword) {
    HWND main = Run(2, 4);
    g_lib.protect = 1;
    Hooks().checkPassword = [](HWND) { return false; };
    SendMessage(main, WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_TRUE(IsWindow(main));
    EXPECT_EQ(g_calls.stopped, 0);
}

TEST_F(Desk, PackagedViewerLivesInTheHostWindow) {
    HWND main = Run(1, 1);
    EXPECT_EQ(main, host);
    ASSERT_TRUE(g_ui.views[0]);
    EXPECT_EQ(GetParent(g_ui.views[0]), host);
    EXPECT_EQ(GetClientRect(g_ui.views[0]), (Rect{0, 0, 640, 480}));
    MoveWindow(host, 0, 0, 320, 240, true);
    EXPECT_EQ(GetClientRect(g_ui.views[0]), (Rect{0, 0, 320, 240}));
    EXPECT_EQ(SendMessage(host, WM_COMMAND, 1000), 1);  // re-creates the view
    EXPECT_TRUE(g_ui.views[0]);
    // Other messages still reach the host's own procedure.
    SendMessage(host, WM_COMMAND, 4321);
    ASSERT_FALSE(g_hostMessages.empty());
    EXPECT_EQ(g_hostMessages.back().wParam, 4321u);
}

TEST_F(Desk, ChooseAndAssignACamera) {
    ASSERT_TRUE(Run(2, 4));
    ScriptDialog("Source", {{DialogStep::Select, 1000, "", 5}, {DialogStep::Press, IDOK}});
    SendMessage(g_ui.views[1], WM_COMMAND, kCmdChooseCamera);
    EXPECT_EQ(g_chosenRecord.cameraId, 105);
    EXPECT_EQ(ReadSetting("SCCTV", "CCTV1", ""), "105");
    EXPECT_EQ(ViewOf(g_ui.views[1])->record.cameraId, 105);
    // Cancelled: nothing chosen.
    EXPECT_EQ(SelectCamera(nullptr), nullptr);

    // ChangeCamera needs a record that a view owns.
    PanoView* view = ViewOf(g_ui.views[0]);
    CameraRecord loose{};
    EXPECT_EQ(ChangeCamera(view, &loose), 0);
    EXPECT_EQ(ChangeCamera(view, nullptr), 0);
    CameraRecord owned = ViewOf(g_ui.views[1])->record;
    EXPECT_EQ(ChangeCamera(view, &owned), 1);
    EXPECT_EQ(view->record.cameraId, 105);
    EXPECT_EQ(view->record.ownerLink, view->id);
}

TEST_F(Desk, HostFedViewNeedsARecord) {
    RegisterWindowClass({"Host Fed", [](HWND h, uint32_t m, WPARAM w, LPARAM l) -> LRESULT {
                             return OrbiscopeNewWndProc(h, m, w, l);
                         }});
    EXPECT_EQ(CreateWindow("Host Fed", "", WS_CHILD, 0, 0, 100, 100, host, 0, nullptr), nullptr);
    CameraRecord r{};
    r.cameraId = 77;
    HWND v = CreateWindow("Host Fed", "", WS_CHILD, 0, 0, 101, 99, host, 0, &r);
    ASSERT_TRUE(v);
    EXPECT_EQ(g_lib.callerId, 2);
    PanoView* view = ViewOf(v);
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->ui.hostFed);
    EXPECT_EQ(view->ui.clientWidth, 102);
    EXPECT_EQ(view->record.cameraId, 77);
    RestartView(v);
    EXPECT_EQ(ViewOf(v)->record.cameraId, 77);
    EXPECT_TRUE(g_calls.started.empty());  // the host feeds it: no thread
    DestroyWindow(v);
}

TEST(MacAddress, FromTheArpTable) {
    orbtest::TempHome home;
    orbtest::WriteText(home.path("arp"),
                       "IP address       HW type     Flags       HW address            Mask     Device\n"
                       "127.0.0.1        0x1         0x2         0a:1b:2c:3d:4e:5f     *        lo\n"
                       "127.0.0.2        0x1         0x0         00:00:00:00:00:00     *        lo\n"
                       "127.0.0.3        0x1         0x2         zz:1b                 *        lo\n");
    SetArpTablePath(home.path("arp"));
    char out[18] = "x";
    EXPECT_EQ(GetMacAddress(0, "127.0.0.1", out), 1);
    EXPECT_STREQ(out, "0A:1B:2C:3D:4E:5F");
    EXPECT_EQ(GetMacAddress(0, "127.0.0.2", out), 0);  // incomplete
    EXPECT_EQ(GetMacAddress(0, "127.0.0.3", out), 0);
    EXPECT_EQ(GetMacAddress(0, "127.0.0.9", out), 0);  // absent
    EXPECT_EQ(GetMacAddress(0, "not an address", out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GetMacAddress(0, "127.0.0.1.5", out), 0);
    EXPECT_EQ(GetMacAddress(0, nullptr, out), 0);
    SetArpTablePath(home.path("none"));
    EXPECT_EQ(GetMacAddress(0, "127.0.0.1", out), 0);
    SetArpTablePath("/proc/net/arp");

    SetNameResolver([](const char*) { return 1; });
    EXPECT_EQ(OrbiscopeCheckNewwork(), 1);
    SetNameResolver([](const char*) { return 0; });
    EXPECT_EQ(OrbiscopeCheckNewwork(), 0);
    SetNameResolver(nullptr);
}
