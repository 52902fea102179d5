// The ray-curve window.
#include "ui/curve_window.h"

#include <cstring>

#include "ui/alignment.h"
#include "ui/panoview.h"
#include "platform/dib.h"

namespace orb {

CurveWindowState g_curve;

HDIB MakeCurveBackground() {
    HDIB h = CreateDIB(kCurveSize, kCurveSize, 24);
    if (!h) return nullptr;
    DibLock l(h);
    for (int y = 0; y < kCurveSize; ++y) {
        uint8_t* row = l.rowFromTop(y);
        for (int x = 0; x < kCurveSize; ++x) {
            // Dark, so that the curve's blue marks stand out.
            const uint8_t v = (x % 32 == 0 || y % 32 == 0) ? 64 : 0;
            row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = v;
        }
    }
    return h;
}

namespace {

void MarkBlue(DibLock& l, int rowFromBottom, int column) {
    l.bits()[static_cast<size_t>(rowFromBottom) * l.rowBytes() + column * 3] = 255;
}

}  // namespace

void RedrawCurve(PanoView* view) {
    if (!view || !g_curve.window || !g_curve.picture || view->record.lensType != 2 || !AlignmentActive()) return;
    {
        DibLock dst(g_curve.picture);
        if (g_curve.background) {
            DibLock src(g_curve.background);
            std::memcpy(dst.bits(), src.bits(), static_cast<size_t>(dst.rowBytes()) * kCurveSize);
        } else {
            std::memset(dst.bits(), 0, static_cast<size_t>(dst.rowBytes()) * kCurveSize);
        }
        const CameraRecord& r = view->record;
        if (!r.curveEnabled) {
            for (int k = 0; k < kCurveSize; ++k) MarkBlue(dst, k, k);
        } else {
            const double a0 = r.curve[0], a1 = r.curve[1], a2 = r.curve[2], a3 = r.curve[3];
            for (int k = 1; k <= 318; ++k) {
                const double x = k * 0.003125;
                const double v = ((((a3 * x + a2) * x + a1) * x + a0) * x) * 320.0;
                if (!(v > -1.0 && v < kCurveSize)) continue;  // also drops NaN before the cast
                const int c = static_cast<int>(v);
                if (c >= 0 && c < kCurveSize) MarkBlue(dst, k, c);
            }
        }
    }
    InvalidateRect(g_curve.window);
}

LRESULT CurveWndProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CreateStruct*>(l);
        MoveWindow(h, cs->x, cs->y, kCurveSize, kCurveSize, false);
        DestroyDIB(g_curve.background);
        DestroyDIB(g_curve.picture);
        g_curve.background = MakeCurveBackground();
        g_curve.picture = CreateDIB(kCurveSize, kCurveSize, 24);
        g_curve.window = h;
        return 0;
    }
    case WM_PAINT: {
        Canvas c = BeginPaint(h);
        if (g_curve.picture) StretchPicture(c, {0, 0, kCurveSize, kCurveSize}, g_curve.picture);
        EndPaint(h);
        return 0;
    }
    case WM_DESTROY:
        if (g_curve.window == h) {
            DestroyDIB(g_curve.picture);
            DestroyDIB(g_curve.background);
            g_curve = {};
        }
        return 0;
    default:
        return DefWindowProc(h, msg, w, l);
    }
}

}  // namespace orb
