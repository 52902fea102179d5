#include "ui/mask_window.h"

#include <mutex>

#include "analysis/mask_editor.h"
#include "analysis/motion_view.h"
#include "camera/frame_pipeline.h"
#include "host/panoview.h"
#include "host/run_orbiscope.h"
#include "host/wiring.h"
#include "platform/dib.h"
#include "ui/main_window.h"

namespace orb {

namespace {

constexpr const char* kMaskClass = "Orbiscope Motion Mask";

// One editor at a time: the mask of one camera is painted over the whole screen.
struct MaskWindowState {
    MaskEditor editor;
    HWND window = nullptr;
    uint32_t viewId = 0;
    int32_t wasPaused = 0;
};
MaskWindowState g_mask;

PanoView* EditedView() { return g_mask.viewId ? FindView(g_mask.viewId) : nullptr; }

void Close(bool keep) {
    PanoView* view = EditedView();
    if (view && keep) MaskEditorOk(g_mask.editor, *view);
    CloseMaskEditor(g_mask.editor);
    if (view) view->ui.paused = g_mask.wasPaused;  // capture goes on as before
    HWND w = g_mask.window;
    g_mask.window = nullptr;
    g_mask.viewId = 0;
    if (w) DestroyWindow(w);
}

LRESULT MaskProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
    MaskEditor& e = g_mask.editor;
    switch (msg) {
    case WM_PAINT: {
        Canvas c = BeginPaint(hwnd);
        if (e.preview) StretchPicture(c, Rect{0, 0, c.width, c.height}, e.preview);
        if (e.band.active) {
            const Rect r{std::min(e.band.x1, e.band.x2), std::min(e.band.y1, e.band.y2),
                         std::max(e.band.x1, e.band.x2) + 1, std::max(e.band.y1, e.band.y2) + 1};
            FrameRect(c, r, e.band.colour());
        }
        EndPaint(hwnd);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        SetCapture(hwnd);
        MaskEditorButtonDown(e, PointX(l), PointY(l), msg == WM_LBUTTONDOWN);
        InvalidateRect(hwnd);
        return 0;
    case WM_MOUSEMOVE:
        if (MaskEditorMouseMove(e, PointX(l), PointY(l))) InvalidateRect(hwnd);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        ReleaseCapture();
        MaskEditorButtonUp(e, PointX(l), PointY(l));
        InvalidateRect(hwnd);
        return 0;
    case WM_KEYDOWN:
        // Enter keeps the mask, Escape leaves it as it was; C clears and I inverts.
        if (w == 0x0D) Close(true);
        else if (w == 0x1B) Close(false);
        else if (w == 'C') ClearMask(e), InvalidateRect(hwnd);
        else if (w == 'I') InvertMask(e), InvalidateRect(hwnd);
        return 0;
    case WM_CLOSE:
        Close(false);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, w, l);
    }
}

bool MotionCommand(PanoView* view, HWND, int command) {
    if (!view) return false;
    switch (command) {
    case kCmdMotionOn:
    case kCmdMotionOff:
        SetMotionDetection(*view, command == kCmdMotionOn);
        return true;
    case kCmdMotionMask:
        OpenMaskEditorWindow(view);
        return true;
    default:
        return false;
    }
}

}  // namespace

HWND MaskEditorWindow() { return g_mask.window; }

bool OpenMaskEditorWindow(PanoView* view) {
    if (!view || g_mask.window) return false;
    const int32_t wasPaused = view->ui.paused.exchange(1);
    const Rect screen = ScreenRect();
    bool opened;
    {
        std::lock_guard lock(view->ui.viewMutex);
        opened = OpenMaskEditor(g_mask.editor, *view, view->frames.current, screen.width(), screen.height());
    }
    if (!opened) {
        view->ui.paused = wasPaused;
        return false;
    }
    g_mask.viewId = view->id;
    g_mask.wasPaused = wasPaused;
    g_mask.window = CreateWindow(kMaskClass, "", WS_POPUP | WS_VISIBLE | WS_EX_TOPMOST, screen.left, screen.top,
                                 screen.width(), screen.height(), nullptr, 0, nullptr);
    if (!g_mask.window) {
        CloseMaskEditor(g_mask.editor);
        g_mask.viewId = 0;
        view->ui.paused = wasPaused;
        return false;
    }
    InvalidateRect(g_mask.window);
    return true;
}

void InstallMaskEditorWindow() {
    SetLibraryClassProc(kMaskClass, MaskProc);
    AddViewCommandHandler(MotionCommand);
}

}  // namespace orb
