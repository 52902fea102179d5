// The alignment window driven by mouse messages, the curve window against the curve tables,
// the floating tool bar, the shared tool tip, the bitmap button and the tray icon.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "ui/alignment.h"
#include "dewarp/dewarp.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "host/startup.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "support/headless_ui.h"
#include "support/test_support.h"
#include "ui/accessories.h"
#include "ui/curve_window.h"
#include "ui/main_window.h"

using namespace orb;

namespace {

void WriteCameras(const std::string& path, int count, int lensType) {
    std::vector<uint8_t> bytes(count * kSlotSize);
    for (int i = 0; i < count; ++i) {
        CameraRecord r{};
        r.cameraId = 200 + i;
        r.lensType = lensType;
        r.halfFov = 90.0;
        r.effectiveAngle = 60.0;
        r.firstRadius = 200;
        r.centerX = 320;
        r.centerY = 240;
        r.curve[0] = 1.0f;
        std::snprintf(r.location, sizeof r.location, "Gate %d", i);
        std::memcpy(bytes.data() + i * kSlotSize, &r, sizeof r);
    }
    orbtest::WriteFile(path, bytes);
}

struct Accessories : ::testing::Test {
    orbtest::TempHome home;
    ManualClock clock;
    HWND host = nullptr;

    void SetUp() override {
        orbtest::ResetHeadlessUi();
        Hooks().sleepMs = [](int) {};
        Hooks().command = AccessoryCommand;
        SetTimerClock(&clock);
        SetHeadlessScreen(1920, 1080);
        SetToolBarPictureMissing(false);
        SetTipsOn(true);
        orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    }
    void TearDown() override {
        ResetWindowing();
        UnloadLanguage();
        SetTimerClock(nullptr);
        g_ui = {};
    }
    // Opens n views over a table of `cameras` records of one lens type.
    HWND Open(int n, int cameras, int lensType = 2) {
        WriteCameras(home.path("Config.ure"), cameras, lensType);
        Initialise();
        LoadCameraTable();
        RegisterWindowClass({"Test Host", DefWindowProc});
        host = CreateWindow("Test Host", "host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, 0, nullptr);
        void* out = nullptr;
        HWND main = static_cast<HWND>(RunOrbiscope(host, 0, n, &out, 4, nullptr, 0, nullptr));
        PumpMessages();
        return main;
    }
    static void GivePicture(PanoView* v) {
        std::lock_guard lock(v->ui.viewMutex);
        v->frames.current = CreateDIB(640, 480, 24);
        DibLock l(v->frames.current);
        std::memset(l.bits(), 90, static_cast<size_t>(l.rowBytes()) * 480);
    }
    CameraRecord SavedSlot(int slot) {
        const auto bytes = orbtest::ReadFile(home.path("Config.ure"));
        CameraRecord r{};
        std::memcpy(&r, bytes.data() + slot * kSlotSize, sizeof r);
        return r;
    }
};

// The alignment picture window on its own, over a view, as the dialog sets it up.
struct AlignWindow {
    HWND top = nullptr, picture = nullptr;
    explicit AlignWindow(PanoView* view) {
        if (!IsClassRegistered(kAlignmentClass)) RegisterWindowClass({kAlignmentClass, AlignmentPictureProc});
        RegisterWindowClass({"Align Frame", DefWindowProc});
        top = CreateWindow("Align Frame", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, 0, nullptr);
        picture = CreateWindow(kAlignmentClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 640, 480, top, kAlignPictureId, nullptr);
        g_align = {};
        g_align.view = view;
        g_align.picture = picture;
    }
    ~AlignWindow() { g_align = {}; }
    void Move(int x, int y, bool left = false) { InjectMouse(top, WM_MOUSEMOVE, x, y, left ? MK_LBUTTON : 0); }
    void Drag(int x0, int y0, int x1, int y1) {
        Move(x0, y0);
        InjectMouse(top, WM_LBUTTONDOWN, x0, y0, MK_LBUTTON);
        Move((x0 + x1) / 2, (y0 + y1) / 2, true);
        Move(x1, y1, true);
        InjectMouse(top, WM_LBUTTONUP, x1, y1, 0);
    }
};

}  // namespace

TEST_F(Accessories, HoverModesThresholdsAndCursors) {
    PanoView view{};
    view.record.lensType = 2;
    view.record.centerX = 320, view.record.centerY = 240, view.record.firstRadius = 200;
    AlignWindow w(&view);
    w.Move(320 + 205, 240);
    EXPECT_EQ(g_align.mode, kAlignOuter);
    EXPECT_EQ(GetCursor(), IDC_SIZEWE);
    w.Move(320, 240 + 205);
    EXPECT_EQ(GetCursor(), IDC_SIZENS);
    w.Move(320 + 192, 240);  // 200 - 8 still grabs the rim
    EXPECT_EQ(g_align.mode, kAlignOuter);
    w.Move(320 + 208, 240);
    EXPECT_EQ(g_align.mode, kAlignOuter);
    w.Move(320 + 209, 240);
    EXPECT_EQ(g_align.mode, kAlignOutside);
    EXPECT_EQ(GetCursor(), IDC_ARROW);
    w.Move(320 + 90, 240 + 120);  // distance 150
    EXPECT_EQ(g_align.mode, kAlignCentre);
    EXPECT_EQ(GetCursor(), IDC_SIZEALL);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(view.dewarp.dirty[k], 1);

    // A PAL ring: the inner circle within 8 pixels.
    view.record.lensType = 5;
    view.record.secondRadius = 60;
    w.Move(320 + 66, 240);
    EXPECT_EQ(g_align.mode, kAlignInner);
    w.Move(320 + 52, 240);
    EXPECT_EQ(g_align.mode, kAlignInner);
    w.Move(320 + 69, 240);
    EXPECT_EQ(g_align.mode, kAlignCentre);
    // The fisheye has no inner circle.
    view.record.lensType = 2;
    w.Move(320 + 60, 240);
    EXPECT_EQ(g_align.mode, kAlignCentre);
}

TEST_F(Accessories, DragsChangeTheRecordAndReleaseAsksForTheStrips) {
    PanoView view{};
    view.record.lensType = 5;
    view.record.centerX = 320, view.record.centerY = 240, view.record.firstRadius = 200, view.record.secondRadius = 60;
    AlignWindow w(&view);

    // The centre by (+10, -4), measured from the press.
    w.Drag(400, 300, 410, 296);
    EXPECT_EQ(view.record.centerX, 330);
    EXPECT_EQ(view.record.centerY, 236);
    EXPECT_EQ(view.record.firstRadius, 200);
    EXPECT_EQ(view.dewarp.pendingRebuild, 1);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(g_align.outer, (Rect{130, 36, 530, 436}));
    EXPECT_EQ(g_align.inner, (Rect{270, 176, 390, 296}));

    // The rim out to distance trunc(sqrt(220^2 + 30^2)) = 222.
    view.dewarp.pendingRebuild = 0;
    w.Drag(330 + 203, 236, 330 + 220, 236 + 30);
    EXPECT_EQ(view.record.firstRadius, 222);
    EXPECT_EQ(view.record.centerX, 330);
    EXPECT_EQ(view.dewarp.pendingRebuild, 1);

    // The inner circle in to 40.
    w.Drag(330 + 62, 236, 330, 236 - 40);
    EXPECT_EQ(view.record.secondRadius, 40);
    EXPECT_EQ(view.record.firstRadius, 222);

    // A press outside does nothing.
    w.Drag(330 + 300, 236, 330 + 100, 236);
    EXPECT_EQ(view.record.centerX, 330);
    EXPECT_EQ(view.record.firstRadius, 222);
    EXPECT_EQ(view.record.secondRadius, 40);

    // The right button offers one entry.
    ScriptMenuChoices({0});
    InjectMouse(w.top, WM_RBUTTONUP, 10, 10);
    const auto menus = TakeShownMenus();
    ASSERT_EQ(menus.size(), 1u);
    ASSERT_EQ(menus[0].size(), 1u);
    EXPECT_EQ(menus[0][0].text, Text(1));

    // The painting shows the picture and both circles in the window's pen.
    UpdateWindow(w.picture);
    HDIB shot = CaptureWindowPicture(w.top);
    ASSERT_TRUE(shot);
    {
        DibLock l(shot);
        const uint8_t* rim = l.rowFromTop(236) + (330 + 222) * 3;
        EXPECT_EQ(rim[2], 255);
        EXPECT_EQ(rim[1], 0);
        const uint8_t* inner = l.rowFromTop(236 - 40) + 330 * 3;
        EXPECT_EQ(inner[2], 255);
        const uint8_t* between = l.rowFromTop(236) + (330 + 100) * 3;
        EXPECT_EQ(between[2], 0);  // no picture attached: black
    }
    DestroyDIB(shot);
}

TEST_F(Accessories, DoAlignmentSavesOkAndRestoresCancel) {
    HWND main = Open(4, 4, 2);
    ASSERT_TRUE(main);
    PanoView* v = ViewOf(g_ui.views[1]);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->record.cameraId, 201);

    // Without a picture: a beep and nothing opens.
    const int beeps = AlignmentBeeps();
    EXPECT_EQ(DoAlignment(v), 0);
    EXPECT_EQ(AlignmentBeeps(), beeps + 1);
    EXPECT_TRUE(TakeShownDialogs().empty());
    EXPECT_EQ(DoAlignment(nullptr), 0);

    GivePicture(v);
    v->record.curve[0] = 0.5f, v->record.curve[1] = 0.5f;
    ScriptDialog("Blank", {{DialogStep::SetText, 1301, "333"},
                           {DialogStep::SetText, 1305, "190"},
                           {DialogStep::SetValue, 1309, "", 100},
                           {DialogStep::SetCheck, 1320, "", 1},
                           {DialogStep::SetText, 1323, "0"},
                           {DialogStep::Press, IDOK}});
    EXPECT_EQ(DoAlignment(v), 1);
    EXPECT_EQ(TakeShownDialogs(), std::vector<std::string>{"Blank"});
    EXPECT_EQ(v->record.centerX, 333);
    EXPECT_EQ(v->record.firstRadius, 190);
    EXPECT_EQ(v->record.halfFov, 100.0);
    EXPECT_EQ(v->record.ovalH, 640);
    EXPECT_EQ(v->record.ovalV, 480);
    EXPECT_EQ(v->record.curveEnabled, 1);
    // 0.5 + 0.5 is a valid curve and stays.
    EXPECT_FLOAT_EQ(v->record.curve[0], 0.5f);
    EXPECT_FLOAT_EQ(v->record.curve[1], 0.5f);
    for (HWND w : g_ui.views)
        if (w) EXPECT_TRUE(IsWindowVisible(w));
    CameraRecord saved = SavedSlot(1);
    EXPECT_EQ(saved.centerX, 333);
    EXPECT_EQ(saved.firstRadius, 190);
    EXPECT_EQ(saved.curveEnabled, 1);
    EXPECT_FALSE(AlignmentActive());

    // 1 and 0.5 sum to 1.5: the identity.
    ScriptDialog("Blank", {{DialogStep::SetText, 1321, "1.00"}, {DialogStep::Press, IDOK}});
    EXPECT_EQ(DoAlignment(v), 1);
    EXPECT_EQ(v->record.curve[0], 1.0f);
    EXPECT_EQ(v->record.curve[1], 0.0f);
    EXPECT_EQ(SavedSlot(1).curve[0], 1.0f);

    // Cancel gives the values back to the live view and saves nothing.
    ScriptDialog("Blank", {{DialogStep::SetText, 1301, "10"}, {DialogStep::Press, IDCANCEL}});
    EXPECT_EQ(DoAlignment(v), 0);
    EXPECT_EQ(v->record.centerX, 333);
    EXPECT_EQ(SavedSlot(1).centerX, 333);

    // A ring lens uses the plain page, whose inner radius is checked against the outer one.
    v->record.lensType = 3;
    ScriptDialog("Blank", {{DialogStep::SetText, 1307, "500"}, {DialogStep::Press, IDOK}});
    EXPECT_EQ(DoAlignment(v), 1);
    EXPECT_EQ(v->record.secondRadius, 190 / 4);

    // The view command opens it too.
    TakeShownDialogs();
    ScriptDialog("Blank", {{DialogStep::Press, IDOK}});
    SendMessage(g_ui.views[1], WM_COMMAND, kCmdAlign, 0);
    EXPECT_EQ(TakeShownDialogs(), std::vector<std::string>{"Blank"});
}

TEST_F(Accessories, CurveWindowDrawsTheCurveTable) {
    RegisterWindowClass({kCurveClass, CurveWndProc});
    RegisterWindowClass({"Curve Frame", DefWindowProc});
    HWND top = CreateWindow("Curve Frame", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 400, nullptr, 0, nullptr);
    HWND curve = CreateWindow(kCurveClass, "", WS_CHILD | WS_VISIBLE, 5, 5, 100, 100, top, 1330, nullptr);
    ASSERT_TRUE(curve);
    EXPECT_EQ(GetClientRect(curve).width(), 320);
    EXPECT_EQ(GetClientRect(curve).height(), 320);
    {
        HDIB bg = MakeCurveBackground();
        EXPECT_EQ(GlobalSize(bg), 307240u);
        DestroyDIB(bg);
    }

    PanoView view{};
    view.record.lensType = 2;
    view.record.curveEnabled = 1;
    view.record.curve[0] = 0.5f, view.record.curve[1] = 0.5f;
    RedrawCurve(&view);  // no alignment running: untouched
    auto blueMarks = [] {
        std::vector<std::pair<int, int>> marks;  // (row from the bottom, column)
        DibLock l(g_curve.picture);
        for (int row = 0; row < 320; ++row)
            for (int x = 0; x < 320; ++x) {
                const uint8_t* p = l.bits() + static_cast<size_t>(row) * l.rowBytes() + x * 3;
                if (p[0] == 255 && p[1] != 255) marks.push_back({row, x});
            }
        return marks;
    };
    EXPECT_TRUE(blueMarks().empty());

    g_align.view = &view;
    RedrawCurve(&view);
    const auto table = BuildCurveTable(view.record, 320);
    auto marks = blueMarks();
    ASSERT_EQ(marks.size(), 318u);
    for (const auto& [row, x] : marks) {
        ASSERT_GE(row, 1);
        ASSERT_LE(row, 318);
        EXPECT_NEAR(x, table[row].value / 64, 1) << row;
    }
    EXPECT_EQ(marks[159].second, static_cast<int>((0.5 * 0.5 + 0.5 * 0.25) * 320));

    // The curve off: the diagonal.
    view.record.curveEnabled = 0;
    RedrawCurve(&view);
    marks = blueMarks();
    ASSERT_EQ(marks.size(), 320u);
    for (const auto& [row, x] : marks) EXPECT_EQ(row, x);

    // Only the fisheye has a curve.
    view.record.lensType = 3;
    view.record.curveEnabled = 1;
    RedrawCurve(&view);
    EXPECT_EQ(blueMarks().size(), 320u);
    g_align = {};

    // Coefficients 1.2, 0, 0, 0 are replaced by the identity.
    CameraRecord r{};
    r.curve[0] = 1.2f;
    EXPECT_FALSE(CheckRayCurve(r));
    EXPECT_EQ(r.curve[0], 1.0f);
    DestroyWindow(top);
    EXPECT_EQ(g_curve.picture, nullptr);
}

TEST_F(Accessories, ToolBarButtonsAndShowHideRules) {
    HWND main = Open(4, 1);
    ASSERT_TRUE(main);
    ASSERT_TRUE(g_toolBar.window);
    EXPECT_EQ(g_toolBar.buttons, (std::vector<int>{2, 3, 0, 4}));
    EXPECT_EQ(g_toolBar.width, 129);
    EXPECT_EQ(GetWindowRect(g_toolBar.window), (Rect{-300, 300, -171, 332}));
    EXPECT_EQ(g_toolBar.colourKey, 0xFFFFFFu);
    EXPECT_TRUE(HasTimer(g_toolBar.window, kToolBarTimer));

    // The mouse over view 1 brings the bar to that view's bottom-right corner.
    const Rect mainRect = GetWindowRect(main);
    const Rect v1 = GetWindowRect(g_ui.views[1]);
    int ox = 0, oy = 0;
    ClientToTop(g_ui.views[1], ox, oy);
    InjectMouse(main, WM_MOUSEMOVE, ox + 20, oy + 20);
    EXPECT_EQ(g_toolBar.target, g_ui.views[1]);
    EXPECT_TRUE(IsWindowVisible(g_toolBar.window));
    const Rect bar = GetWindowRect(g_toolBar.window);
    EXPECT_EQ(bar.left, mainRect.left + ox + v1.width() - 129);
    EXPECT_EQ(bar.top, mainRect.top + oy + v1.height() - 33);
    EXPECT_EQ(bar.height(), 32);
    EXPECT_EQ(GetFocus(), g_ui.views[0]);

    // A second message without a move changes nothing: not even the time.
    clock.now = 3000;
    SendMessage(g_toolBar.window, kMsgMouseOverView, 0, reinterpret_cast<LPARAM>(g_ui.views[1]));
    EXPECT_EQ(g_toolBar.lastMoveMs, 0);

    // Over view 2 it follows.
    int ox2 = 0, oy2 = 0;
    ClientToTop(g_ui.views[2], ox2, oy2);
    InjectMouse(main, WM_MOUSEMOVE, ox2 + 5, oy2 + 5);
    EXPECT_EQ(g_toolBar.target, g_ui.views[2]);
    EXPECT_EQ(g_toolBar.lastMoveMs, 3000);
    const Rect v2 = GetWindowRect(g_ui.views[2]);
    EXPECT_EQ(GetWindowRect(g_toolBar.window).left, mainRect.left + ox2 + v2.width() - 129);

    // Five seconds still is not enough; more hides it.
    clock.now = 8000;
    PumpMessages();
    EXPECT_EQ(g_toolBar.target, g_ui.views[2]);
    clock.now = 9000;
    PumpMessages();
    EXPECT_EQ(g_toolBar.target, nullptr);
    EXPECT_EQ(GetWindowRect(g_toolBar.window), (Rect{-500, -100, -403, -68}));

    // Frozen while a dialog is open: the mouse brings nothing.
    g_toolBar.frozen = true;
    InjectMouse(main, WM_MOUSEMOVE, ox + 30, oy + 30);
    EXPECT_EQ(g_toolBar.target, nullptr);
    g_toolBar.frozen = false;

    // A menu being open keeps it.
    InjectMouse(main, WM_MOUSEMOVE, ox + 31, oy + 31);
    ASSERT_EQ(g_toolBar.target, g_ui.views[1]);
    g_toolBar.menuOpen = true;
    clock.now = 20000;
    PumpMessages();
    EXPECT_EQ(g_toolBar.target, g_ui.views[1]);
    EXPECT_EQ(g_toolBar.lastMoveMs, 20000);
    g_toolBar.menuOpen = false;

    // The full-screen button (index 3) switches and sends the bar away.
    const Rect b = GetWindowRect(g_toolBar.window);
    InjectMouse(g_toolBar.window, WM_LBUTTONDOWN, 3 * 32 + 4, 10, MK_LBUTTON);
    InjectMouse(g_toolBar.window, WM_LBUTTONUP, 3 * 32 + 6, 10);
    EXPECT_EQ(g_lib.fullScreen, 1);
    EXPECT_EQ(g_toolBar.target, nullptr);
    (void)b;

    // A release on another button than the press does nothing.
    InjectMouse(main, WM_MOUSEMOVE, ox + 40, oy + 40);
    InjectMouse(g_toolBar.window, WM_LBUTTONDOWN, 3 * 32 + 4, 10, MK_LBUTTON);
    InjectMouse(g_toolBar.window, WM_LBUTTONUP, 2 * 32 + 4, 10);
    EXPECT_EQ(g_lib.fullScreen, 1);
    EXPECT_EQ(g_toolBar.target, g_ui.views[1]);

    // The tool bar's picture: button i shows kind buttons[i]; white is the colour key.
    UpdateWindow(g_toolBar.window);
    HDIB shot = CaptureWindowPicture(g_toolBar.window);
    HDIB strip = MakeToolBarPicture();
    {
        DibLock s(shot), t(strip);
        for (int i = 0; i < 4; ++i) {
            const int kind = g_toolBar.buttons[i];
            EXPECT_EQ(std::memcmp(s.rowFromTop(16) + (i * 32 + 16) * 3, t.rowFromTop(16) + (kind * 32 + 16) * 3, 3), 0) << i;
        }
    }
    DestroyDIB(shot);
    DestroyDIB(strip);
}

TEST_F(Accessories, ToolBarMenusAndMissingPicture) {
    HWND main = Open(1, 3, 2);
    ASSERT_TRUE(main);
    EXPECT_EQ(g_toolBar.buttons, (std::vector<int>{2, 3, 0, 1}));
    InjectMouse(main, WM_MOUSEMOVE, 50, 50);
    ASSERT_EQ(g_toolBar.target, g_ui.views[0]);

    // The camera list: one item per camera, the chosen one goes to the view.
    ScriptMenuChoices({kCameraMenuBase + 2});
    InjectMouse(g_toolBar.window, WM_LBUTTONDOWN, 3 * 32 + 1, 5, MK_LBUTTON);
    InjectMouse(g_toolBar.window, WM_LBUTTONUP, 3 * 32 + 1, 5);
    auto menus = TakeShownMenus();
    ASSERT_EQ(menus.size(), 1u);
    ASSERT_EQ(menus[0].size(), 3u);
    EXPECT_EQ(menus[0][2].text, "Gate 2");
    EXPECT_EQ(menus[0][2].id, 28002);
    EXPECT_EQ(g_chosenRecord.cameraId, 202);
    PumpMessages();
    EXPECT_EQ(ViewOf(g_ui.views[0])->record.cameraId, 202);

    // The view menu of a 360-degree lens in mode 1.
    InjectMouse(main, WM_MOUSEMOVE, 60, 60);
    ViewOf(g_ui.views[0])->record.showMode360 = 1;
    ScriptMenuChoices({0});
    InjectMouse(g_toolBar.window, WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    InjectMouse(g_toolBar.window, WM_LBUTTONUP, 5, 5);
    menus = TakeShownMenus();
    ASSERT_EQ(menus.size(), 1u);
    std::vector<int> ids;
    for (const auto& it : menus[0]) ids.push_back(it.id);
    EXPECT_EQ(ids, (std::vector<int>{2657, 2658, 0, 2661, 2662, 2671, 2672, 0, 2673, 2656, 931}));

    // A 180-degree lens in mode 6: its item is checked and greyed.
    ViewOf(g_ui.views[0])->record.lensType = 8;
    ViewOf(g_ui.views[0])->record.showMode180 = 6;
    ScriptMenuChoices({0});
    InjectMouse(g_toolBar.window, WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    InjectMouse(g_toolBar.window, WM_LBUTTONUP, 5, 5);
    menus = TakeShownMenus();
    ASSERT_EQ(menus.size(), 1u);
    ASSERT_EQ(menus[0].size(), 7u);
    EXPECT_EQ(menus[0][3].id, 2655);
    EXPECT_EQ(menus[0][3].flags, MF_CHECKED | MF_GRAYED);
    EXPECT_EQ(menus[0][0].flags, 0u);

    // A normal camera has no view menu.
    ViewOf(g_ui.views[0])->record.lensType = 1;
    InjectMouse(g_toolBar.window, WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    InjectMouse(g_toolBar.window, WM_LBUTTONUP, 5, 5);
    EXPECT_TRUE(TakeShownMenus().empty());

    // Without its picture the tool bar is not made; the views go on.
    SetToolBarPictureMissing(true);
    EXPECT_EQ(CreateToolBar(main), nullptr);
    EXPECT_TRUE(IsWindow(g_ui.views[0]));
    InjectMouse(main, WM_MOUSEMOVE, 70, 70);
}

TEST_F(Accessories, ToolTipTimingSizeAndRules) {
    RegisterWindowClass({"Tip Owner", DefWindowProc});
    HWND owner = CreateWindow("Tip Owner", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, 0, nullptr);
    HWND other = CreateWindow("Tip Owner", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, 0, nullptr);
    SetFocus(owner);

    EXPECT_EQ(ShowTip(owner, 10, 10, std::wstring(120, L'x'), 1, 0), nullptr);
    EXPECT_EQ(ShowTip(owner, 10, 10, std::wstring(100, L'x'), 1, 0), nullptr);
    EXPECT_EQ(ShowTip(owner, 10, 10, L"", 1, 0), nullptr);

    clock.now = 0;
    HWND tip = ShowTip(owner, 10, 20, L"Snapshot", 7, 0);
    ASSERT_TRUE(tip);
    EXPECT_EQ(GetClassName(tip), kTipClass);
    EXPECT_EQ(GetWindowRect(tip), (Rect{10, 20, 10 + 8 * kFontWidth + 2, 20 + kFontHeight + 2}));
    EXPECT_EQ(GetFocus(), owner);
    EXPECT_EQ(SendMessage(tip, WM_NCHITTEST), HTTRANSPARENT);
    const uintptr_t first = g_tip.timer;

    // Same owner and identifier: only a new timer, which starts the five seconds again.
    clock.now = 4000;
    PumpMessages();
    EXPECT_EQ(ShowTip(owner, 500, 500, L"Snapshot", 7, 0), tip);
    EXPECT_GT(g_tip.timer, first);
    EXPECT_EQ(GetWindowRect(tip).left, 10);
    clock.now = 8500;
    PumpMessages();
    EXPECT_TRUE(IsWindow(tip));
    clock.now = 9001;
    PumpMessages();
    EXPECT_FALSE(IsWindow(tip));
    EXPECT_EQ(g_tip.window, nullptr);

    // Same owner, other identifier: moved and resized; kept inside the screen.
    tip = ShowTip(owner, -30, 20, L"Play", 1, 1000);
    EXPECT_EQ(GetWindowRect(tip).left, 0);
    EXPECT_EQ(ShowTip(owner, 1915, 1075, L"Recording", 2, 1000), tip);
    EXPECT_EQ(GetWindowRect(tip), (Rect{1920 - (9 * kFontWidth + 2), 1080 - (kFontHeight + 2), 1920, 1080}));

    // Another owner: a fresh tip; a key ends it.
    HWND tip2 = ShowTip(other, 5, 5, L"Cameras", 1, 0);
    EXPECT_NE(tip2, nullptr);
    EXPECT_FALSE(IsWindow(tip));
    SendMessage(tip2, WM_KEYDOWN, 65, 0);
    EXPECT_FALSE(IsWindow(tip2));

    // The picture: white inside, black frame, grey shadow, black text.
    tip = ShowTip(owner, 100, 100, L"W", 3, 0);
    UpdateWindow(tip);
    HDIB shot = CaptureWindowPicture(tip);
    {
        DibLock l(shot);
        const int w = l.width(), h = l.height();
        EXPECT_EQ(l.rowFromTop(0)[0], 0);
        EXPECT_EQ(l.rowFromTop(h - 1)[(w - 1) * 3], 128);
        int black = 0;
        for (int y = 1; y < h - 2; ++y)
            for (int x = 1; x < w - 2; ++x) black += l.rowFromTop(y)[x * 3] == 0;
        EXPECT_GT(black, 3);
    }
    DestroyDIB(shot);

    // Tips off: the shown one goes and none come.
    SetTipsOn(false);
    EXPECT_FALSE(IsWindow(tip));
    EXPECT_EQ(ShowTip(owner, 1, 1, L"Off", 1, 0), nullptr);
    SetTipsOn(true);
}

TEST_F(Accessories, BitmapButtonPicturesAndCommand) {
    std::vector<Message> got;
    static std::vector<Message>* sink = nullptr;
    sink = &got;
    RegisterWindowClass({kButtonClass, ButtonProc});
    RegisterWindowClass({"Button Dialog", [](HWND h, uint32_t m, WPARAM w, LPARAM l) -> LRESULT {
                             if (m == WM_COMMAND) sink->push_back({h, m, w, l});
                             return DefWindowProc(h, m, w, l);
                         }});
    HWND dlg = CreateWindow("Button Dialog", "", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, 0, nullptr);
    HDIB pics = CreateDIB(40, 4 * 24, 24);
    {
        DibLock l(pics);
        for (int y = 0; y < 96; ++y) std::memset(l.rowFromTop(y), 10 + 40 * (y / 24), 120);
    }
    BitmapButtonDesc desc{nullptr, dlg, 0, 0, 0, pics, 0, 0};
    HWND b = CreateWindow(kButtonClass, "Play", WS_CHILD | WS_VISIBLE, 20, 30, 5, 5, dlg, 1601, &desc);
    ASSERT_TRUE(b);
    EXPECT_EQ(GetClientRect(b), (Rect{0, 0, 40, 24}));
    auto shown = [&] {
        UpdateWindow(b);
        HDIB s = CaptureWindowPicture(b);
        int v = -1;
        {
            DibLock l(s);
            v = l.rowFromTop(5)[5 * 3];
        }
        DestroyDIB(s);
        return v;
    };
    EXPECT_EQ(ButtonPictureIndex(b), 0);
    EXPECT_EQ(shown(), 10);

    // The mouse enters: over, a tip with the button's text below it.
    InjectMouse(dlg, WM_MOUSEMOVE, 25, 35);
    EXPECT_EQ(ButtonState(b)->entered, 1);
    EXPECT_EQ(GetCapture(), b);
    EXPECT_EQ(ButtonPictureIndex(b), 1);
    EXPECT_EQ(shown(), 50);
    ASSERT_TRUE(g_tip.window);
    EXPECT_EQ(g_tip.text, L"Play");
    EXPECT_EQ(GetWindowRect(g_tip.window).left, 120);
    EXPECT_EQ(GetWindowRect(g_tip.window).top, 154);

    // Pressed and over; dragged out while pressed: picture 0; back in and up: the command.
    InjectMouse(dlg, WM_LBUTTONDOWN, 25, 35, MK_LBUTTON);
    EXPECT_EQ(ButtonPictureIndex(b), 2);
    EXPECT_EQ(shown(), 90);
    InjectMouse(dlg, WM_MOUSEMOVE, 200, 150, MK_LBUTTON);
    EXPECT_EQ(ButtonPictureIndex(b), 0);
    EXPECT_EQ(GetCapture(), b);
    InjectMouse(dlg, WM_MOUSEMOVE, 30, 35, MK_LBUTTON);
    InjectMouse(dlg, WM_LBUTTONUP, 30, 35);
    PumpMessages();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(LoWord(got[0].wParam), 1601u);
    EXPECT_EQ(got[0].lParam, reinterpret_cast<LPARAM>(b));
    EXPECT_EQ(GetCapture(), nullptr);

    // Released outside: no command.
    InjectMouse(dlg, WM_MOUSEMOVE, 25, 35);
    InjectMouse(dlg, WM_LBUTTONDOWN, 25, 35, MK_LBUTTON);
    InjectMouse(dlg, WM_MOUSEMOVE, 250, 150, MK_LBUTTON);
    InjectMouse(dlg, WM_LBUTTONUP, 250, 150);
    PumpMessages();
    EXPECT_EQ(got.size(), 1u);

    // Leaving without a press lets the mouse go.
    InjectMouse(dlg, WM_MOUSEMOVE, 25, 35);
    InjectMouse(dlg, WM_MOUSEMOVE, 250, 150);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(ButtonState(b)->entered, 0);

    EnableWindow(b, false);
    EXPECT_EQ(ButtonPictureIndex(b), 3);
    EXPECT_EQ(shown(), 130);
    DestroyWindow(b);
    EXPECT_EQ(ButtonState(b), nullptr);
}

TEST_F(Accessories, TrayIconStateMenuAndCommands) {
    HWND main = Open(1, 1);
    ASSERT_TRUE(main);
    g_lib.callerId = 0;
    EXPECT_EQ(CreateTrayIcon(), 1);
    ASSERT_TRUE(TheTray().owner);
    EXPECT_EQ(GetClassName(TheTray().owner), kTrayClass);
    EXPECT_TRUE(TheTray().added);
    EXPECT_EQ(TheTray().iconId, 1);
    EXPECT_EQ(TheTray().callbackMessage, 1025u);
    EXPECT_EQ(TheTray().tip, "Orbiscope 360/180");
    EXPECT_FALSE(TheTray().desktopIcon);  // headless: state only

    // The right button on the icon: show, player, exit.
    ShowWindow(main, SW_HIDE);
    ScriptMenuChoices({kCmdFromBackground});
    SendMessage(TheTray().owner, kMsgTrayCallback, 1, WM_RBUTTONDOWN);
    const auto menus = TakeShownMenus();
    ASSERT_EQ(menus.size(), 1u);
    std::vector<int> ids;
    for (const auto& it : menus[0]) ids.push_back(it.id);
    EXPECT_EQ(ids, (std::vector<int>{915, 0, 910, 0, 907}));
    EXPECT_EQ(menus[0][2].text, Text(912));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(TheTray().added);
    EXPECT_EQ(ReadSetting("Panorama", "Background", "", 8), "0");

    // Only the desktop program's caller brings the window back.
    CreateTrayIcon();
    g_lib.callerId = 4;
    ShowWindow(main, SW_HIDE);
    SendMessage(TheTray().owner, WM_COMMAND, kCmdFromBackground, 0);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(TheTray().added);

    // The background command of a view makes the icon.
    DestroyWindow(TheTray().owner);
    EXPECT_EQ(TheTray().owner, nullptr);
    g_lib.callerId = 0;
    SendMessage(g_ui.views[0], WM_COMMAND, kCmdToBackground, 0);
    EXPECT_TRUE(TheTray().added);
    EXPECT_FALSE(IsWindowVisible(main));

    // Exit removes the icon and closes the system.
    SendMessage(TheTray().owner, WM_COMMAND, kCmdClose, 0);
    EXPECT_FALSE(TheTray().added);
    EXPECT_EQ(g_ui.closed, 1);
}
