// The floating tool bar over the view under the mouse.
#include <algorithm>
#include <cstring>

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/dib.h"
#include "ui/accessories.h"
#include "ui/main_window.h"

namespace orb {

constinit ToolBarState g_toolBar;

namespace {

bool g_pictureMissing = false;
constexpr int kButton = 32;

void Put(DibLock& l, int x, int y, uint32_t c) {
    if (x < 0 || y < 0 || x >= l.width() || y >= l.height()) return;
    uint8_t* p = l.rowFromTop(y) + x * 3;
    p[0] = (c >> 16) & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = c & 0xFF;
}

void Box(DibLock& l, int x0, int y0, int x1, int y1, uint32_t c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Put(l, x, y, c);
}

// The button pictures: a camera (snapshot), a list of cameras, the four views over a strip
// (showing modes), a play triangle (recordings) and the corners of a full screen.
void DrawIcon(DibLock& l, int kind, int ox) {
    const uint32_t ink = Rgb(30, 40, 70), light = Rgb(230, 230, 230);
    switch (kind) {
    case 0:
        Box(l, ox + 6, 11, ox + 26, 25, ink);
        Box(l, ox + 10, 8, ox + 16, 11, ink);
        for (int y = 12; y < 25; ++y)
            for (int x = 10; x < 23; ++x)
                if ((x - 16) * (x - 16) + (y - 18) * (y - 18) <= 16) Put(l, ox + x, y, light);
        for (int y = 15; y < 22; ++y)
            for (int x = 13; x < 20; ++x)
                if ((x - 16) * (x - 16) + (y - 18) * (y - 18) <= 4) Put(l, ox + x, y, Rgb(40, 120, 200));
        break;
    case 1:
        for (int row = 0; row < 3; ++row) {
            Box(l, ox + 6, 8 + row * 6, ox + 10, 12 + row * 6, Rgb(40, 120, 200));
            Box(l, ox + 12, 9 + row * 6, ox + 26, 11 + row * 6, ink);
        }
        break;
    case 2:
        for (int q = 0; q < 4; ++q) Box(l, ox + 6 + (q % 2) * 11, 6 + (q / 2) * 8, ox + 16 + (q % 2) * 11, 13 + (q / 2) * 8, ink);
        Box(l, ox + 6, 23, ox + 27, 26, Rgb(200, 120, 20));
        break;
    case 3:
        for (int y = 8; y < 25; ++y)
            for (int x = 10; x < 10 + (y < 16 ? y - 8 : 24 - y) * 2 + 1 && x < 26; ++x) Put(l, ox + x, y, Rgb(40, 150, 60));
        break;
    default:
        for (int c = 0; c < 4; ++c) {
            const int x = c % 2 ? 26 : 6, y = c / 2 ? 25 : 7, dx = c % 2 ? -1 : 1, dy = c / 2 ? -1 : 1;
            for (int i = 0; i < 7; ++i) {
                Put(l, ox + x + dx * i, y, ink), Put(l, ox + x + dx * i, y + dy, ink);
                Put(l, ox + x, y + dy * i, ink), Put(l, ox + x + dx, y + dy * i, ink);
            }
        }
        Box(l, ox + 12, 12, ox + 21, 21, Rgb(40, 120, 200));
        break;
    }
}

// What each button does, for its tool tip.
std::string ButtonTip(int kind) {
    switch (kind) {
    case 0: return Text(920);
    case 1: return Text(903);
    case 2: return Text(2652);
    case 3: return Text(910);
    default: return Text(g_lib.fullScreen ? 917 : 916);
    }
}

int OpenViews() {
    int n = 0;
    for (HWND v : g_ui.views) n += v != nullptr;
    return n;
}

// A view's rectangle on the screen.
Rect ScreenRectOf(HWND view) {
    const Rect r = GetWindowRect(view);
    HWND parent = GetParent(view);
    if (!parent) return r;
    int x = 0, y = 0;
    ClientToTop(view, x, y);
    HWND top = parent;
    while (GetParent(top)) top = GetParent(top);
    const Rect t = GetWindowRect(top);
    return {t.left + x, t.top + y, t.left + x + r.width(), t.top + y + r.height()};
}

void FocusFirstView() {
    if (g_ui.views[0]) SetFocus(g_ui.views[0]);
}

int Track(HMENU menu, HWND owner) {
    int x = 0, y = 0;
    GetCursorPos(x, y);
    g_toolBar.menuOpen = true;
    const int chosen = TrackPopupMenu(menu, owner, x + 5, y + 5);
    g_toolBar.menuOpen = false;
    return chosen;
}

void CameraMenu() {
    const int count = g_cameraTable.count();
    if (!g_toolBar.target || count < 2) return;
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < count; ++i) {
        const CameraRecord* r = g_cameraTable.record(i);
        AppendMenu(menu, 0, kCameraMenuBase + i, r ? std::string(r->location, strnlen(r->location, sizeof r->location)) : "");
    }
    const int chosen = Track(menu, g_toolBar.window);
    DestroyMenu(menu);
    const int i = chosen - kCameraMenuBase;
    if (chosen && i >= 0 && i < count && g_cameraTable.record(i)) {
        g_chosenRecord = *g_cameraTable.record(i);
        PostMessage(g_toolBar.target, WM_COMMAND, kCmdAssignCamera, 0);
    }
}

void ViewMenu() {
    PanoView* view = ViewOf(g_toolBar.target);
    const int type = ImageTypeOf(view);
    if (!view || type == kImageNormal || type == kImageMechanicalPtz) return;
    HMENU menu = CreatePopupMenu();
    AppendShowModeItems(menu, view, false);
    const int chosen = Track(menu, g_toolBar.window);
    DestroyMenu(menu);
    if (chosen && IsWindow(g_toolBar.target)) SendMessage(g_toolBar.target, WM_COMMAND, static_cast<WPARAM>(chosen), 0);
}

void Click(int index) {
    if (index < 0 || index >= static_cast<int>(g_toolBar.buttons.size())) return;
    HWND target = g_toolBar.target;
    if (target) SetFocus(target);
    switch (g_toolBar.buttons[index]) {
    case 0: if (target) SendMessage(target, WM_COMMAND, kCmdSnapshot, 0); break;
    case 1: CameraMenu(); break;
    case 2: ViewMenu(); break;
    case 3: if (target) SendMessage(target, WM_COMMAND, kCmdPlayer, 0); break;
    case 4:
        if (target) SendMessage(target, WM_COMMAND, g_lib.fullScreen ? kCmdFullScreenOff : kCmdFullScreenOn, 0);
        for (HWND v : g_ui.views)
            if (v) InvalidateRect(v);
        PlaceToolBar(false);
        break;
    default: break;
    }
}

void Paint(HWND h) {
    Canvas c = BeginPaint(h);
    FillRect(c, GetClientRect(h), kToolBarKey);
    if (g_toolBar.picture) {
        DibLock src(g_toolBar.picture);
        DibLock dst(c.picture);
        for (size_t i = 0; i < g_toolBar.buttons.size(); ++i) {
            const int sx = kButton * g_toolBar.buttons[i];
            for (int y = 0; y < std::min(kButton, c.height); ++y)
                for (int x = 0; x < kButton + 1; ++x) {
                    const int dx = kButton * static_cast<int>(i) + x;
                    if (dx >= c.width || sx + x >= src.width()) continue;
                    std::copy_n(src.rowFromTop(y) + (sx + x) * 3, 3, dst.rowFromTop(y) + dx * 3);
                }
        }
    }
    EndPaint(h);
}

void Tick() {
    if (!g_toolBar.target || g_toolBar.frozen) return;
    const int64_t now = TimerNowMs();
    if (g_toolBar.menuOpen) {
        g_toolBar.lastMoveMs = now;
        return;
    }
    // A button held down keeps the bar.
    if (GetCapture() == g_toolBar.window) return;
    if (now - g_toolBar.lastMoveMs > kToolBarHideMs) PlaceToolBar(false);
}

void MouseOverView(HWND view) {
    if (g_toolBar.frozen || !IsWindow(view)) return;
    int x = 0, y = 0;
    GetCursorPos(x, y);
    if (x == g_toolBar.lastX && y == g_toolBar.lastY) return;
    g_toolBar.lastX = x, g_toolBar.lastY = y;
    g_toolBar.lastMoveMs = TimerNowMs();
    if (view != g_toolBar.target) {
        g_toolBar.target = view;
        PlaceToolBar(true);
    } else if (!IsWindowVisible(g_toolBar.window)) {
        PlaceToolBar(true);
    }
    if (!IsWindowVisible(g_toolBar.window)) ShowWindow(g_toolBar.window, SW_SHOW);
}

}  // namespace

// The view menu's commands for a 360-degree showing mode (0 = separator).
std::vector<int> Items360(int mode) {
    if (mode == kShow360WindowStrip) return {2657, 2658, 2659, 0, 2662, 2671, 2672, 0, 2673, 2656, 931, 2668};
    if (mode == kShow360QuadStill) return {2657, 2658, 0, 2661, 2662, 2671, 2672, 0, 2673, 2656, 931};
    // The other modes offer every command; the current one is checked and greyed.
    return {2657, 2658, 2659, 0, 2661, 2662, 2671, 2672, 0, 2673, 2656, 931, 2668};
}

int ShowModeCommand(const PanoView* view) {
    if (!view) return 0;
    const int type = ImageTypeOf(view);
    if (type == 8 || type == 9) {
        static constexpr int kOfMode[] = {2665, 2664, 2666, 2667, 2669, 2670, 2655};
        const int mode = view->record.showMode180;
        return mode >= 0 && mode <= kShow180Last ? kOfMode[mode] : 0;
    }
    static constexpr int kOf360[] = {2657, 2659, 2661, 2656, 2662, 931, 2668, 2658, 2671, 2672, 2673};
    const int mode = view->record.showMode360;
    return mode >= 0 && mode <= kShow360Last ? kOf360[mode] : 0;
}

void AppendShowModeItems(HMENU menu, const PanoView* view, bool extras) {
    const int type = ImageTypeOf(view);
    if (!view || type == kImageNormal || type == kImageMechanicalPtz) return;
    const int current = ShowModeCommand(view);
    const bool half = type == 8 || type == 9;
    const std::vector<int> items = half ? std::vector<int>{2670, 2664, 2665, 2655, 2666, 2667, 2669}
                                        : Items360(view->record.showMode360);
    for (int id : items) {
        if (!id) AppendMenu(menu, MF_SEPARATOR, 0, {});
        else AppendMenu(menu, id == current ? MF_CHECKED | MF_GRAYED : 0, id, Text(id));
    }
    if (!extras) return;
    // The context menu also offers what steers the windows of these modes.
    AppendMenu(menu, MF_SEPARATOR, 0, {});
    if (half) {
        AppendMenu(menu, view->record.perspective180 ? 0 : MF_CHECKED | MF_GRAYED, 2680, Text(2680));
        AppendMenu(menu, view->record.perspective180 ? MF_CHECKED | MF_GRAYED : 0, 2681, Text(2681));
    } else {
        AppendMenu(menu, 0, 2660, Text(2660));
    }
    AppendMenu(menu, 0, 2663, Text(2663));
}


void SetToolBarPictureMissing(bool missing) { g_pictureMissing = missing; }

HDIB MakeToolBarPicture() {
    if (g_pictureMissing) return nullptr;
    HDIB h = CreateDIB(kButton * 5 + 1, kButton, 24);
    if (!h) return nullptr;
    DibLock l(h);
    for (int y = 0; y < kButton; ++y)
        for (int x = 0; x < kButton * 5 + 1; ++x) {
            const int bx = x % kButton;
            const bool frame = bx == 0 || y == 0 || y == kButton - 1;
            Put(l, x, y, frame ? Rgb(80, 80, 80) : Rgb(230, 230, 230));
        }
    for (int k = 0; k < 5; ++k) DrawIcon(l, k, k * kButton);
    return h;
}

std::vector<int> ToolBarButtons() {
    std::vector<int> b{2, 3, 0};
    if (g_cameraTable.count() > 1) b.push_back(1);
    if (OpenViews() > 2) b.push_back(4);
    return b;
}

HWND CreateToolBar(HWND mainWindow) {
    if (IsWindow(g_toolBar.window)) DestroyWindow(g_toolBar.window);
    g_toolBar = {};
    g_toolBar.owner = mainWindow;
    g_toolBar.buttons = ToolBarButtons();
    g_toolBar.width = static_cast<int>(g_toolBar.buttons.size()) * kButton + 1;
    if (!IsClassRegistered(kToolBarClass)) RegisterWindowClass({kToolBarClass, AccessoryProc(kToolBarClass), 0, kWindowDataBytes});
    g_toolBar.window = CreateWindow(kToolBarClass, "", WS_POPUP | WS_EX_TOPMOST, -300, 300, 129, 32, nullptr, 0, nullptr);
    return g_toolBar.window;
}

void PlaceToolBar(bool show) {
    HWND bar = g_toolBar.window;
    if (!bar) return;
    if (show && IsWindow(g_toolBar.target)) {
        const Rect v = ScreenRectOf(g_toolBar.target);
        MoveWindow(bar, v.right - g_toolBar.width, v.bottom - 33, g_toolBar.width, 32, true);
        ShowWindow(bar, SW_SHOW);
    } else {
        MoveWindow(bar, -500, -100, 97, 32, true);
        g_toolBar.target = nullptr;
    }
    FocusFirstView();
}

LRESULT ToolBarProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CREATE:
        g_toolBar.picture = MakeToolBarPicture();
        if (!g_toolBar.picture) return -1;
        // Layered with white as the colour key; where the desktop cannot, the bar is opaque.
        g_toolBar.colourKey = kToolBarKey;
        SetTimer(h, kToolBarTimer, 1000);
        return 0;
    case kMsgMouseOverView: MouseOverView(reinterpret_cast<HWND>(l)); return 0;
    case WM_TIMER:
        if (w == kToolBarTimer) Tick();
        return 0;
    case WM_MOUSEMOVE: {
        // The button under the mouse says what it does (the same tip only waits longer).
        const int index = PointX(l) / kButton;
        if (index < 0 || index >= static_cast<int>(g_toolBar.buttons.size())) return 0;
        const Rect r = GetWindowRect(h);
        const std::string tip = ButtonTip(g_toolBar.buttons[static_cast<size_t>(index)]);
        ShowTip(h, r.left + index * kButton, r.top - 24, std::wstring(tip.begin(), tip.end()), index + 1, 0);
        return 0;
    }
    case WM_LBUTTONDOWN:
        g_toolBar.pressed = PointX(l) / kButton;
        SetCapture(h);
        return 0;
    case WM_LBUTTONUP: {
        const int index = PointX(l) / kButton;
        const int pressed = g_toolBar.pressed;
        g_toolBar.pressed = -1;
        if (GetCapture() == h) ReleaseCapture();
        if (PointX(l) >= 0 && index == pressed) Click(index);
        return 0;
    }
    case WM_PAINT: Paint(h); return 0;
    case WM_DESTROY:
        KillTimer(h, kToolBarTimer);
        if (g_toolBar.window == h) {
            DestroyDIB(g_toolBar.picture);
            g_toolBar = {};
        }
        return 0;
    default: return DefWindowProc(h, msg, w, l);
    }
}

}  // namespace orb
