#include "ui/view_mouse.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "camera/frame_pipeline.h"
#include "dewarp/dewarp.h"
#include "dewarp/navigation.h"
#include "ui/panoview.h"

namespace orb {

namespace {

// A press that moves less than this is a click.
constexpr int kDragSlop = 3;

bool HalfSphere(const PanoView& v) { return v.record.lensType == 8 || v.record.lensType == 9; }

// Client position -> position in the view's picture (the picture is stretched to the window).
void ToPicture(HWND window, const PanoView& v, int& x, int& y) {
    const Rect c = GetClientRect(window);
    if (c.width() > 0 && v.dewarp.W > 0) x = x * v.dewarp.W / c.width();
    if (c.height() > 0 && v.dewarp.H > 0) y = y * v.dewarp.H / c.height();
}

bool InModeWindows(const PanoView& v, int k) {
    const std::vector<int> windows = WindowsOfMode(v);
    return std::find(windows.begin(), windows.end(), k) != windows.end();
}

// The window a click on a panorama centres: the current one when the mode shows it.
int TargetWindow(const PanoView& v, int panoramaWindow) {
    if (InModeWindows(v, v.ui.currentPane) && v.ui.currentPane != panoramaWindow) return v.ui.currentPane;
    for (int k : WindowsOfMode(v))
        if (k != panoramaWindow) return k;
    return -1;
}

// Where a press landed: a panorama that takes clicks, or a window that takes drags.
ViewPress::Kind PressKind(const PanoView& v, int x, int y, int& pane) {
    const DewarpState& d = v.dewarp;
    pane = -1;
    if (HalfSphere(v)) {
        if (v.record.showMode180 == kShow180Quad) {  // window 3 of the quad shows the whole panorama
            const Cell c = WindowCell(v, 3);
            if (x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h) return pane = 3, ViewPress::Panorama;
        }
    } else {
        const int mode = v.record.showMode360;
        const bool strip = mode == kShow360WindowStrip || mode == kShow360TwoWindowsStrip ||
                           mode == kShow360FourWindowsStrip || mode == kShow360SixWindowsStrip;
        if (strip && d.H > 0 && y >= d.H - d.H / 3) return ViewPress::Panorama;
    }
    const std::vector<int> windows = WindowsOfMode(v);
    for (int k : windows) {
        const Cell c = WindowCell(v, k);
        if (x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h) return pane = k, ViewPress::Window;
    }
    return ViewPress::None;
}

// The windows follow at once, also while no new picture comes (a paused camera).
void ShowAgain(PanoView& v) {
    if (v.frames.current) ShowPicture(v, v.frames.current);
}

}  // namespace

void ViewMouseDown(HWND window, PanoView& v, int x, int y) {
    ToPicture(window, v, x, y);
    std::lock_guard lock(v.ui.viewMutex);
    ViewPress& p = v.ui.press;
    p = {};
    p.x = x;
    p.y = y;
    p.kind = PressKind(v, x, y, p.pane);
    p.down = true;
    v.dewarp.mouseX = v.dewarp.prevMouseX = x;
    v.dewarp.mouseY = v.dewarp.prevMouseY = y;
    SetCapture(window);
}

void ViewMouseMove(HWND window, PanoView& v, int x, int y, WPARAM keys) {
    if (!v.ui.press.down) return;
    if (!(keys & MK_LBUTTON)) return ViewMouseUp(window, v, x, y);
    ToPicture(window, v, x, y);
    std::lock_guard lock(v.ui.viewMutex);
    ViewPress& p = v.ui.press;
    if (!p.dragged && std::abs(x - p.x) < kDragSlop && std::abs(y - p.y) < kDragSlop) return;
    if (p.kind != ViewPress::Window) return;
    if (!p.dragged) {
        p.dragged = true;
        v.ui.dragging = 1;  // no automatic panning while the user steers
        v.ui.currentPane = p.pane;
    }
    v.dewarp.prevMouseX = v.dewarp.mouseX;
    v.dewarp.prevMouseY = v.dewarp.mouseY;
    v.dewarp.mouseX = x;
    v.dewarp.mouseY = y;
    DragWindow(v, p.pane);
    ShowAgain(v);
}

void ViewMouseUp(HWND window, PanoView& v, int x, int y) {
    ToPicture(window, v, x, y);
    ReleaseCapture();
    std::lock_guard lock(v.ui.viewMutex);
    ViewPress p = v.ui.press;
    v.ui.press = {};
    v.ui.dragging = 0;
    if (!p.down || p.dragged) return;
    if (p.kind == ViewPress::Window) {
        v.ui.currentPane = p.pane;
        return;
    }
    if (p.kind != ViewPress::Panorama) return;
    const int target = TargetWindow(v, p.pane);
    if (target < 0) return;
    if (HalfSphere(v)) {
        const Cell c = WindowCell(v, p.pane);
        CenterOnClick(v, x - c.x, y - c.y, target);
    } else {
        CenterOnClick(v, x, y, target);
    }
    ShowAgain(v);
}

}  // namespace orb
