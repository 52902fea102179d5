// The small window that shows how far a package build has come: the step being done and a
// bar. It opens with the first report and closes with the last.
#include <string>

#include "export/pack_builder.h"
#include "platform/window.h"
#include "ui/pack_progress.h"

namespace orb {

namespace {

constexpr const char* kPackProgressClass = "Orbiscope Pack Progress";
constexpr int kWidth = 420, kHeight = 64;

struct PackProgressState {
    HWND window = nullptr;
    int percent = 0;
    std::string step;
};
PackProgressState g_progress;

LRESULT ProgressProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_PAINT) {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(236, 236, 236));
        FrameRect(c, GetClientRect(h), Rgb(120, 120, 120));
        DrawText(c, 12, 10, g_progress.step, Rgb(0, 0, 0));
        const Rect bar{12, 34, c.width - 12, 50};
        FillRect(c, bar, Rgb(255, 255, 255));
        FillRect(c, {bar.left, bar.top, bar.left + bar.width() * g_progress.percent / 100, bar.bottom}, Rgb(60, 110, 200));
        FrameRect(c, bar, Rgb(120, 120, 120));
        EndPaint(h);
        return 0;
    }
    if (msg == WM_DESTROY && g_progress.window == h) g_progress.window = nullptr;
    return DefWindowProc(h, msg, w, l);
}

}  // namespace

void ShowPackProgress(int percent, const std::string& step) {
    if (percent >= 100) {
        if (g_progress.window) DestroyWindow(g_progress.window);
        g_progress = {};
        return;
    }
    if (!g_progress.window) {
        if (!IsClassRegistered(kPackProgressClass)) RegisterWindowClass({kPackProgressClass, ProgressProc, 0, kWindowDataBytes});
        const Rect s = ScreenRect();
        g_progress.window = CreateWindow(kPackProgressClass, "Packing", WS_POPUP | WS_EX_TOPMOST | WS_VISIBLE,
                                         s.left + (s.width() - kWidth) / 2, s.top + (s.height() - kHeight) / 2, kWidth,
                                         kHeight, nullptr, 0, nullptr);
    }
    g_progress.percent = percent;
    if (!step.empty()) g_progress.step = step;
    if (g_progress.window) {
        InvalidateRect(g_progress.window);
        // The build blocks the window thread: let the desktop draw the new state now.
        PumpMessages();
    }
}

}  // namespace orb
