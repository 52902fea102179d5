// The alignment window and dialog.
#include "ui/alignment.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "camera/picture_scale.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "dewarp/dewarp.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "ui/accessories.h"
#include "ui/curve_window.h"
#include "ui/main_window.h"

namespace orb {

AlignmentState g_align;

namespace {

int g_beeps = 0;
constexpr uint32_t kCirclePen = Rgb(255, 0, 0);

// Page controls.
enum : int {
    kIdCentreX = 1301, kIdCentreY = 1303, kIdOuter = 1305, kIdInner = 1307, kIdFov = 1309, kIdFovText = 1310,
    kIdAngle = 1312, kIdAngleText = 1313, kIdFlipH = 1314, kIdFlipV = 1315, kIdPerspective = 1316,
    kIdCurveOn = 1320, kIdCurveA0 = 1321, kIdCurveA3 = 1324,
};

bool Ring(int32_t type) { return type >= 3 && type <= 7; }

int Distance(int x, int y) {
    const double dx = x - g_align.view->record.centerX, dy = y - g_align.view->record.centerY;
    return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

void ComputeBoxes() {
    const CameraRecord& r = g_align.view->record;
    g_align.outer = {r.centerX - r.firstRadius, r.centerY - r.firstRadius, r.centerX + r.firstRadius, r.centerY + r.firstRadius};
    if (Ring(r.lensType))
        g_align.inner = {r.centerX - r.secondRadius, r.centerY - r.secondRadius, r.centerX + r.secondRadius,
                         r.centerY + r.secondRadius};
    else
        g_align.inner = {};
}

void LiveChanged() {
    PanoView* v = g_align.view;
    {
        std::lock_guard lock(v->ui.viewMutex);
        for (int k = 0; k < 4; ++k) v->dewarp.dirty[k] = 1;
    }
    if (v->ui.window) InvalidateRect(v->ui.window);
}

// An ellipse outline inside a box of the canvas.
void DrawEllipse(const Canvas& c, const Rect& box, uint32_t colour) {
    if (!c.picture || box.width() <= 0 || box.height() <= 0) return;
    DibLock l(c.picture);
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    const double rx = box.width() / 2.0, ry = box.height() / 2.0;
    const int steps = std::max(64, static_cast<int>(8 * (rx + ry)));
    for (int i = 0; i < steps; ++i) {
        const double a = 2 * M_PI * i / steps;
        const int x = static_cast<int>(std::lround(cx + rx * std::cos(a)));
        const int y = static_cast<int>(std::lround(cy + ry * std::sin(a)));
        if (x < 0 || y < 0 || x >= c.width || y >= c.height) continue;
        uint8_t* p = l.rowFromTop(y) + x * 3;
        p[0] = (colour >> 16) & 0xFF;
        p[1] = (colour >> 8) & 0xFF;
        p[2] = colour & 0xFF;
    }
}

std::string TwoDecimals(double v) {
    char t[32];
    std::snprintf(t, sizeof t, "%.2f", v);
    return t;
}

const char* PageFor(int32_t type) {
    if (type == 8) return "hOrz2";
    if (type == 9) return "hOrz21";
    if (type == 2 && IsClassRegistered(kCurveClass)) return "hOrz3";
    return "hOrz";
}

void FillPage(HWND dlg) {
    const CameraRecord& r = g_align.view->record;
    SetDlgItemInt(dlg, kIdCentreX, r.centerX);
    SetDlgItemInt(dlg, kIdCentreY, r.centerY);
    SetDlgItemInt(dlg, kIdOuter, r.firstRadius);
    SetDlgItemInt(dlg, kIdInner, r.secondRadius);
    const bool half = r.lensType == 8 || r.lensType == 9;
    SpinSetRange(dlg, kIdFov, half ? 40 : 60, half ? 125 : 150);
    SpinSetPos(dlg, kIdFov, static_cast<int>(r.halfFov));
    SetDlgItemText(dlg, kIdFovText, TwoDecimals(r.halfFov * 2));
    SpinSetRange(dlg, kIdAngle, 10, 120);
    SpinSetPos(dlg, kIdAngle, static_cast<int>(r.effectiveAngle));
    SetDlgItemText(dlg, kIdAngleText, TwoDecimals(r.effectiveAngle));
    CheckDlgButton(dlg, kIdFlipH, r.flipHorizontal != 0);
    CheckDlgButton(dlg, kIdFlipV, r.flipVertical != 0);
    CheckDlgButton(dlg, kIdPerspective, r.perspective180 != 0);
    CheckDlgButton(dlg, kIdCurveOn, r.curveEnabled != 0);
    for (int i = 0; i < 4; ++i) {
        SetDlgItemText(dlg, kIdCurveA0 + i, TwoDecimals(r.curve[i]));
        EnableWindow(GetDlgItem(dlg, kIdCurveA0 + i), r.curveEnabled != 0);
    }
}

// A control of the page changed: the value goes into the live record, checked, and the
// view is rebuilt so the user sees the result at once.
bool PageChanged(HWND dlg, int id) {
    PanoView& view = *g_align.view;
    CameraRecord& r = view.record;
    const bool curveField = id >= kIdCurveA0 && id <= kIdCurveA3;
    // The controls are read first: the capture thread's lock is held only over the record.
    const std::string text = GetDlgItemText(dlg, id);
    const int spin = id == kIdFov || id == kIdAngle ? SpinGetPos(dlg, id) : 0;
    const int checked = IsDlgButtonChecked(dlg, id);
    {
        std::lock_guard lock(view.ui.viewMutex);
        switch (id) {
        case kIdCentreX: r.centerX = std::atoi(text.c_str()); break;
        case kIdCentreY: r.centerY = std::atoi(text.c_str()); break;
        case kIdOuter: r.firstRadius = std::atoi(text.c_str()); break;
        case kIdInner: r.secondRadius = std::atoi(text.c_str()); break;
        case kIdFov: r.halfFov = spin; break;
        case kIdAngle: r.effectiveAngle = spin; break;
        case kIdFlipH: r.flipHorizontal = checked; break;
        case kIdFlipV: r.flipVertical = checked; break;
        case kIdPerspective: r.perspective180 = checked; break;
        case kIdCurveOn: r.curveEnabled = checked; break;
        default:
            if (!curveField) return false;
            r.curve[id - kIdCurveA0] = static_cast<float>(std::atof(text.c_str()));
            CheckRayCurve(r);
            break;
        }
        ValidateLensFields(r);
        ComputeBoxes();
        RebuildPanorama(view);
    }
    for (int i = 0; i < 4; ++i) EnableWindow(GetDlgItem(dlg, kIdCurveA0 + i), r.curveEnabled != 0);
    SetDlgItemText(dlg, kIdFovText, TwoDecimals(r.halfFov * 2));
    SetDlgItemText(dlg, kIdAngleText, TwoDecimals(r.effectiveAngle));
    RedrawCurve(g_align.view);
    if (g_align.picture) InvalidateRect(g_align.picture);
    LiveChanged();
    return true;
}

void RestoreStart() {
    {
        std::lock_guard lock(g_align.view->ui.viewMutex);
        CameraRecord& r = g_align.view->record;
        const CameraRecord& b = g_align.before;
        r.centerX = b.centerX, r.centerY = b.centerY, r.firstRadius = b.firstRadius, r.secondRadius = b.secondRadius;
        r.halfFov = b.halfFov, r.effectiveAngle = b.effectiveAngle, r.ovalH = b.ovalH, r.ovalV = b.ovalV;
        r.flipHorizontal = b.flipHorizontal, r.flipVertical = b.flipVertical, r.perspective180 = b.perspective180;
        r.curveEnabled = b.curveEnabled;
        for (int i = 0; i < 4; ++i) r.curve[i] = b.curve[i];
        RebuildPanorama(*g_align.view);
    }
    LiveChanged();
}

// The picture at the window's size; false without one.
bool ZoomPicture(PanoView* view) {
    CameraRecord& r = view->record;
    {
        std::lock_guard lock(view->ui.viewMutex);
        if (r.ovalH == 0) r.ovalH = 640;
        if (r.ovalV == 0) r.ovalV = 480;
    }
    g_align.zoomH = 480;
    g_align.zoomW = static_cast<int32_t>(480LL * r.ovalH / r.ovalV);
    if (g_align.zoomW <= 0 || g_align.zoomW > 4096) return false;
    DestroyDIB(g_align.zoomed);
    g_align.zoomed = CreateDIB(g_align.zoomW, g_align.zoomH, 24);
    if (!g_align.zoomed) return false;
    std::lock_guard lock(view->ui.viewMutex);
    HDIB full = FullCurrentPicture(*view);  // the lens is aligned on the whole picture
    if (!full) return false;
    const bool ok = StretchPicture(Canvas{g_align.zoomed, g_align.zoomW, g_align.zoomH}, {0, 0, g_align.zoomW, g_align.zoomH},
                                   full);
    DestroyDIB(full);
    return ok;
}

LRESULT AlignDialogProc(HWND dlg, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_INITDIALOG) {
        PanoView* view = reinterpret_cast<PanoView*>(l);
        g_align.dialog = dlg;
        DialogTemplate page;
        if (!ZoomPicture(view) || !LoadDialogTemplate(PageFor(view->record.lensType), page)) {
            EndDialog(dlg, -1);
            return -1;
        }
        g_align.picture = CreateWindow(kAlignmentClass, "", WS_CHILD | WS_VISIBLE, 0, 0, g_align.zoomW, g_align.zoomH, dlg,
                                       kAlignPictureId, nullptr);
        if (!g_align.picture) {
            EndDialog(dlg, -1);
            return -1;
        }
        AddDialogControls(dlg, page, g_align.zoomW + 8, 0);
        const Rect wr = GetWindowRect(dlg);
        MoveWindow(dlg, wr.left, wr.top, g_align.zoomW + 8 + page.width, std::max(g_align.zoomH, page.height), true);
        {
            std::lock_guard lock(view->ui.viewMutex);
            if (view->record.lensType == 2) CheckRayCurve(view->record);
            RebuildPanorama(*view);  // tables rebuilt, every map marked for the next picture
        }
        ComputeBoxes();
        FillPage(dlg);
        RedrawCurve(view);
        return 1;
    }
    if (msg != WM_COMMAND || !g_align.view) return 0;
    const int id = static_cast<int>(LoWord(w));
    if (id == IDOK) return EndDialog(dlg, 1), 1;
    if (id == IDCANCEL) {
        RestoreStart();
        return EndDialog(dlg, 0), 1;
    }
    return PageChanged(dlg, id) ? 1 : 0;
}

}  // namespace

bool AlignmentActive() { return g_align.view != nullptr; }
int AlignmentBeeps() { return g_beeps; }

void AlignHover(int x, int y) {
    if (!g_align.view) return;
    const CameraRecord& r = g_align.view->record;
    const int d = Distance(x, y);
    int cursor;
    if (d > r.firstRadius + kAlignHoverSlack) {
        g_align.mode = kAlignOutside;
        cursor = IDC_ARROW;
    } else if (d >= r.firstRadius - kAlignHoverSlack) {
        g_align.mode = kAlignOuter;
        cursor = std::abs(x - r.centerX) > std::abs(y - r.centerY) ? IDC_SIZEWE : IDC_SIZENS;
    } else if (Ring(r.lensType) && std::abs(d - r.secondRadius) <= kAlignHoverSlack) {
        g_align.mode = kAlignInner;
        cursor = std::abs(x - r.centerX) > std::abs(y - r.centerY) ? IDC_SIZEWE : IDC_SIZENS;
    } else {
        g_align.mode = kAlignCentre;
        cursor = IDC_SIZEALL;
    }
    SetCursor(cursor);
    LiveChanged();
}

void AlignPress(int x, int y) {
    if (!g_align.view || g_align.mode == kAlignOutside) return;
    const CameraRecord& r = g_align.view->record;
    g_align.dragging = 1;
    g_align.startX = x, g_align.startY = y;
    g_align.startCX = r.centerX, g_align.startCY = r.centerY;
    g_align.startR1 = r.firstRadius, g_align.startR2 = r.secondRadius;
    if (g_align.picture) SetCapture(g_align.picture);
}

void AlignDrag(int x, int y) {
    if (!g_align.view || !g_align.dragging) return;
    CameraRecord& r = g_align.view->record;
    g_align.mouseX = x, g_align.mouseY = y;
    if (g_align.picture) InvalidateRect(g_align.picture);  // the old box, enlarged by 5
    {
        std::lock_guard lock(g_align.view->ui.viewMutex);  // the capture thread renders from the record
        switch (g_align.mode) {
        case kAlignCentre:
            r.centerX = g_align.startCX + (x - g_align.startX);
            r.centerY = g_align.startCY + (y - g_align.startY);
            break;
        case kAlignOuter: r.firstRadius = Distance(x, y); break;
        case kAlignInner: r.secondRadius = Distance(x, y); break;
        default: break;
        }
        // A changed alignment makes every table stale: the live view is rebuilt from it.
        RebuildPanorama(*g_align.view);
    }
    ComputeBoxes();
    if (g_align.picture) InvalidateRect(g_align.picture);  // the new box
    if (g_align.dialog) {
        SetDlgItemInt(g_align.dialog, kIdCentreX, r.centerX);
        SetDlgItemInt(g_align.dialog, kIdCentreY, r.centerY);
        SetDlgItemInt(g_align.dialog, kIdOuter, r.firstRadius);
        SetDlgItemInt(g_align.dialog, kIdInner, r.secondRadius);
    }
    LiveChanged();
}

void AlignRelease() {
    if (!g_align.view) return;
    g_align.dragging = 0;
    if (GetCapture() == g_align.picture) ReleaseCapture();
    std::lock_guard lock(g_align.view->ui.viewMutex);
    g_align.view->dewarp.pendingRebuild = 1;  // the strip maps follow with the next picture
}

LRESULT AlignmentPictureProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_MOUSEMOVE:
        if (g_align.dragging && (w & MK_LBUTTON)) AlignDrag(PointX(l), PointY(l));
        else AlignHover(PointX(l), PointY(l));
        return 0;
    case WM_LBUTTONDOWN: AlignPress(PointX(l), PointY(l)); return 0;
    case WM_LBUTTONUP: AlignRelease(); return 0;
    case WM_RBUTTONUP: {
        HMENU menu = CreatePopupMenu();
        AppendMenu(menu, 0, 1, Text(1));
        TrackPopupMenu(menu, h, PointX(l), PointY(l));
        DestroyMenu(menu);
        return 0;
    }
    case WM_PAINT: {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(0, 0, 0));
        if (g_align.zoomed) StretchPicture(c, {0, 0, g_align.zoomW, g_align.zoomH}, g_align.zoomed);
        if (g_align.view) {
            DrawEllipse(c, g_align.outer, kCirclePen);
            if (Ring(g_align.view->record.lensType)) DrawEllipse(c, g_align.inner, kCirclePen);
        }
        EndPaint(h);
        return 0;
    }
    case WM_DESTROY:
        if (g_align.picture == h) g_align.picture = nullptr;
        return 0;
    default:
        return DefWindowProc(h, msg, w, l);
    }
}

int32_t RunAlignment(PanoView* view) {
    if (!view || g_align.view) return 0;
    {
        std::lock_guard lock(view->ui.viewMutex);
        if (!view->frames.current) {
            ++g_beeps;
            MessageBeep();
            return 0;
        }
    }
    if (!IsClassRegistered(kAlignmentClass)) RegisterWindowClass({kAlignmentClass, AlignmentPictureProc, 0, kWindowDataBytes});
    std::vector<HWND> hidden;
    for (HWND v : g_ui.views)
        if (v && v != view->ui.window && IsWindowVisible(v)) {
            ShowWindow(v, SW_HIDE);
            hidden.push_back(v);
        }
    g_align = {};
    g_align.view = view;
    g_align.before = view->record;
    const bool wasFrozen = g_toolBar.frozen;
    g_toolBar.frozen = true;  // the tool bar stays away while the dialog is open
    const intptr_t result = DialogBox("Blank", g_ui.main ? g_ui.main : view->ui.window.load(), AlignDialogProc,
                                      reinterpret_cast<LPARAM>(view));
    g_toolBar.frozen = wasFrozen;
    for (HWND v : hidden) ShowWindow(v, SW_SHOW);
    if (result == -1) RestoreStart();
    DestroyDIB(g_align.zoomed);
    g_align = {};
    if (result > 0) {
        SaveRecord(view);
        WriteDisplayOptions();
    }
    return static_cast<int32_t>(result);
}

}  // namespace orb

extern "C" ORB_EXPORT int32_t DoAlignment(PanoView* view) {
    try {
        return orb::RunAlignment(view);
    } catch (...) {
        return 0;
    }
}
