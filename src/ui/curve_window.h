// The window that shows the fisheye lens's ray curve during alignment: a 320 x 320 graph over
// a background picture.
#pragma once
#include "platform/window.h"

struct PanoView;

namespace orb {

constexpr const char* kCurveClass = "Quill Ray Curve";
constexpr int kCurveSize = 320;

struct CurveWindowState {
    HWND window = nullptr;
    HDIB picture = nullptr;     // 320 x 320, 24-bit, what painting shows
    HDIB background = nullptr;  // null when the background cannot be made
};
extern CurveWindowState g_curve;

LRESULT CurveWndProc(HWND, uint32_t, WPARAM, LPARAM);
// Draws the view's curve (fisheye only, while an alignment runs) and repaints.
void RedrawCurve(PanoView* view);
// The graph's background: a black field with a grey grid (the "Curve" picture).
HDIB MakeCurveBackground();

}  // namespace orb
