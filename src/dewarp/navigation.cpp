// Navigation of the virtual windows. Values are changed in the presets; the limits of the
// lens are applied when the window is rebuilt, which writes the clamped values back.
#include "dewarp/navigation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dewarp/dewarp.h"
#include "config/library_state.h"

namespace orb {
namespace {

constexpr double kPi = std::numbers::pi;

enum class Op { Move, Zoom, Drag };

bool HalfSphere(int32_t t) { return t == kLens180 || t == kLens90; }
bool Finite(double v) { return std::isfinite(v); }

// The window an operation acts on, or -1 when the current mode ignores it.
int32_t SelectWindow(const CameraRecord& r, int32_t window, Op op) {
    const int32_t type = EffectiveLensType(r.lensType);
    if (type == kLensNormal || type == kLensMotoPtz) return -1;
    if (HalfSphere(type)) {
        const int32_t m = r.showMode180;
        if (m == kShow180Panorama || m == kShow180Source) return -1;
        if (window == 3 && (m == kShow180Quad || (op == Op::Move && m == kShow180QuadSource))) return -1;
        return window >= 0 && window <= 4 ? window : -1;
    }
    switch (r.showMode360) {
        case kShow360Source: case kShow360TwoStrips: return -1;
        case kShow360WindowStrip: window = 4; break;
        case kShow360OneWindow: window = 3; break;
        case kShow360TwoWindowsStrip: if (window != 4) window = 0; break;
        default: break;
    }
    return window >= 0 && window <= 5 ? window : -1;
}

int32_t MouseInvert() { return g_lib.mouseInvert != 0; }

bool IsPanCode(int32_t c) { return c == 1110 || c == 1112 || c == 2024 || c == 2025; }
bool IsTiltCode(int32_t c) { return c == 1111 || c == 1113 || c == 2022 || c == 2023; }

ViewPreset& NormalisedPreset(CameraRecord& r, int32_t k) {
    return EffectiveLensType(r.lensType) == kLens90 ? r.presets90[k] : r.presets180[k];
}

bool BandWindow(const CameraRecord& r, int32_t k) { return r.showMode180 == kShow180Band && k == 1; }

// Runs the validity test on new perspective values and stores what it accepts.
void StorePerspective(DewarpView& view, int32_t k, double P, double T, double Z) {
    if (!Finite(P) || !Finite(T) || !Finite(Z)) return;
    if (!PerspectiveValid(view, k, P, T, Z)) return;
    ViewPreset& p = view.record.presetsDegrees[k];
    p.pan = P, p.tilt = T, p.zoom = Z;
}

void ClampUnit(ViewPreset& p) {
    p.pan = Finite(p.pan) ? std::clamp(p.pan, 0.0, 1.0) : 0.5;
    p.tilt = Finite(p.tilt) ? std::clamp(p.tilt, 0.0, 1.0) : 0.5;
}

bool InMode(const DewarpView& view, int32_t k) {
    const auto ws = WindowsOfMode(view);
    return std::find(ws.begin(), ws.end(), k) != ws.end();
}

// After a command: dirty flag, view angle fitted to the tilt range, and the at-once
// rebuild when the view asks for it.
void AfterCommand(DewarpView& view, int32_t k) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    d.dirty[k] = 1;
    if (!HalfSphere(EffectiveLensType(r.lensType)))
        r.presets360[k].zoom = FitZoom(r, r.presets360[k].zoom, WindowCell(view, k));
    if (!d.renderNow || !InMode(view, k)) return;
    if (r.showMode360 == kShow360QuadSource && k == 3 && !HalfSphere(EffectiveLensType(r.lensType))) return;
    RebuildWindow(view, k);
    d.dirty[k] = 0;
    if (d.source && d.destination) RenderWindow(view, k);
}

void MoveHalfSphere(DewarpView& view, int32_t code, int32_t k, double step) {
    CameraRecord& r = view.record;
    const bool pan = IsPanCode(code);
    bool sense = MouseInvert();
    if (pan) sense ^= r.flipHorizontal != 0, sense ^= code == 2025 || code == 1112;
    else sense ^= r.flipVertical != 0, sense ^= code == 2022 || code == 1113;
    if (BandWindow(r, k)) {
        if (pan) return;
        const double t = Finite(r.bandTilt) ? r.bandTilt : 0.0;
        r.bandTilt = static_cast<float>(std::clamp(t + (sense ? 1.0 : -1.0), -40.0, 40.0));
        return;
    }
    if (r.perspective180) {
        const ViewPreset& p = r.presetsDegrees[k];
        const double s = step != 0 ? step : (pan ? 6.0 : 4.0);
        double P = p.pan, T = p.tilt;
        if (pan) P = sense ? P + s : P - s;
        else T = sense ? T - s : T + s;
        StorePerspective(view, k, P, T, p.zoom);
        return;
    }
    ViewPreset& p = NormalisedPreset(r, k);
    // The step argument is in degrees and means nothing to a normalised crop.
    constexpr double s = 0.03;
    if (pan) p.pan = sense ? p.pan + s : p.pan - s;
    else p.tilt = sense ? p.tilt - s : p.tilt + s;
    ClampUnit(p);
}

void ZoomHalfSphere(DewarpView& view, int32_t direction, int32_t k) {
    CameraRecord& r = view.record;
    const bool out = direction == 2;
    if (BandWindow(r, k)) {
        const double z = Finite(r.bandZoom) ? r.bandZoom : 100.0;
        r.bandZoom = static_cast<float>(direction == 1 ? std::max(z - 3.0, 15.0) : std::min(z + 3.0, 200.0));
        return;
    }
    if (r.perspective180) {
        const ViewPreset& p = r.presetsDegrees[k];
        const double Z = out ? std::min(p.zoom + 7.0, 150.0) : std::max(p.zoom - 7.0, 5.0);
        StorePerspective(view, k, p.pan, p.tilt, Z);
        return;
    }
    ViewPreset& p = NormalisedPreset(r, k);
    const double z = Finite(p.zoom) ? p.zoom : 0.7;
    p.zoom = out ? std::min(z + 0.03, 1.0) : std::max(z - 0.03, 0.03);
    ClampUnit(p);
}

}  // namespace

void CheckViewRecord(CameraRecord& r) {
    if (!(r.presets360[4].zoom >= 10.0)) r.presets360[4] = r.presets360[0];
    const int32_t type = EffectiveLensType(r.lensType);
    if (type == kLensNormal || type == kLensMotoPtz) return;
    // The reference frame and the circle: a zero frame or radius leaves no lens to unwrap.
    if (r.ovalH <= 0 || r.ovalV <= 0) r.ovalH = 640, r.ovalV = 480;
    if (r.firstRadius <= 0 || r.firstRadius > 4 * std::max(r.ovalH, r.ovalV)) r.firstRadius = r.ovalV / 2;
    if (r.centerX < 0 || r.centerX > r.ovalH) r.centerX = r.ovalH / 2;
    if (r.centerY < 0 || r.centerY > r.ovalV) r.centerY = r.ovalV / 2;
    ValidateLensFields(r);
    for (ViewPreset& p : r.presets360) {
        p.pan = WrapPan(p.pan);
        if (!std::isfinite(p.tilt) || std::fabs(p.tilt) > 90.0) p.tilt = -30.0;
    }
    for (ViewPreset* group : {r.presets180, r.presets90})
        for (int i = 0; i < 5; ++i) {
            ViewPreset& p = group[i];
            if (!(p.zoom > 0.0 && p.zoom <= 1.0)) p.zoom = 0.7;
            if (!(p.pan >= 0.0 && p.pan <= 1.0)) p.pan = 0.5;
            if (!(p.tilt >= 0.0 && p.tilt <= 1.0)) p.tilt = 0.5;
            FitCrop(p, 1.0, 1.0);  // every crop lies inside the panorama
        }
}

double WrapPan(double p) {
    if (!Finite(p)) return 0.0;
    if (p > 540.0 || p < -540.0) p = std::fmod(p, 360.0);
    while (p > 180.0) p -= 360.0;
    while (p < -180.0) p += 360.0;
    return p;
}

void FitCrop(ViewPreset& p, double extentH, double extentV) {
    if (!Finite(p.zoom) || p.zoom <= 0) p.zoom = 0.7;
    if (!Finite(p.pan)) p.pan = 0.5;
    if (!Finite(p.tilt)) p.tilt = 0.5;
    if (p.zoom > 1.0) p.zoom = 1.0;
    const double half = p.zoom / 2;
    if (p.pan + half > extentH) p.pan = extentH - half;
    if (p.pan - half < 0) p.pan = half;
    if (p.tilt + half > extentV) p.tilt = extentV - half;
    if (p.tilt - half < 0) p.tilt = half;
}

bool PerspectiveValid(DewarpView& view, int32_t k, double& P, double& T, double Z) {
    DewarpState& d = view.dewarp;
    const CameraRecord& r = view.record;
    if (k < 0 || k > 5 || !Finite(P) || !Finite(T) || !Finite(Z)) return false;
    const double phiMax = r.panTiltLimits[0], phiMin = r.panTiltLimits[1];
    const double lamMax = r.panTiltLimits[2], lamMin = r.panTiltLimits[3];
    if (!Finite(phiMax) || !Finite(phiMin) || !Finite(lamMax) || !Finite(lamMin)) return false;
    const Cell cell = WindowCell(view, k);
    // Before a layout exists the view is taken as square.
    const double w = cell.w > 0 ? cell.w : 1.0, h = cell.h > 0 ? cell.h : 1.0;
    P = WrapPan(P);
    const double vh = std::atan(std::tan(Z * kPi / 360) * h / w) * 180 / kPi;
    if (T > phiMax - vh) T = phiMax - vh;
    else if (T <= phiMax) {
        if (T < phiMin + vh) T = phiMin + vh;
        else if (T < phiMin) T = phiMin;
    } else T = phiMax;
    // Edge longitudes on the centre row: a tilted view sees a wider band of longitude.
    const double halfWidth = std::atan2(std::tan(Z * kPi / 360), std::cos(T * kPi / 180)) * 180 / kPi;
    if (2 * halfWidth > lamMax - lamMin) return false;
    if (P + halfWidth > lamMax) P -= P + halfWidth - lamMax;
    if (P - halfWidth < lamMin) P += lamMin - (P - halfWidth);
    if (phiMax - phiMin < 2 * vh || Z > 150.0 || Z < 5.0 || Z > lamMax - lamMin) return false;
    if (T < phiMin || T > phiMax || P < lamMin || P > lamMax) return false;
    d.pan[k] = P, d.tilt[k] = T, d.zoom[k] = Z, d.working[k] = 1;
    return true;
}

void MoveViewPosition(DewarpView& view, int32_t code, int32_t window, double step) {
    CameraRecord& r = view.record;
    if (!IsPanCode(code) && !IsTiltCode(code)) return;
    if (!Finite(step)) return;
    const int32_t k = SelectWindow(r, window, Op::Move);
    if (k < 0) return;
    const int32_t type = EffectiveLensType(r.lensType);
    if (HalfSphere(type)) {
        MoveHalfSphere(view, code, k, step);
        AfterCommand(view, k);
        return;
    }
    ViewPreset& p = r.presets360[k];
    if (IsPanCode(code)) {
        bool sense = MouseInvert();
        sense ^= r.flipHorizontal != 0;
        sense ^= code == 2025 || code == 1112;
        sense ^= type == kLensConvexMirror || type == kLensPal;
        const double s = step != 0 ? step : 3.0;
        p.pan = WrapPan(sense ? p.pan + s : p.pan - s);
    } else {
        bool sense = MouseInvert();
        sense ^= r.flipVertical != 0;
        sense ^= code == 2022 || code == 1113;
        sense ^= type == kLensConcaveMirror || type == kLensPal;
        const double s = step != 0 ? step : 6.0;
        const double t = Finite(p.tilt) ? p.tilt : 0.0;
        p.tilt = sense ? t + s : t - s;
    }
    AfterCommand(view, k);
}

void ZoomView(DewarpView& view, int32_t direction, int32_t window) {
    CameraRecord& r = view.record;
    const int32_t k = SelectWindow(r, window, Op::Zoom);
    if (k < 0) return;
    if (HalfSphere(EffectiveLensType(r.lensType))) {
        ZoomHalfSphere(view, direction, k);
        AfterCommand(view, k);
        return;
    }
    ViewPreset& p = r.presets360[k];
    const double z = Finite(p.zoom) ? p.zoom : 90.0;
    p.zoom = direction == 2 ? std::min(z + 3.5, 135.0) : std::max(z - 3.5, 5.0);
    AfterCommand(view, k);
}

void DragWindow(DewarpView& view, int32_t window) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    const int32_t k = SelectWindow(r, window, Op::Drag);
    if (k < 0) return;
    const double dx = double(d.mouseX) - d.prevMouseX, dy = double(d.mouseY) - d.prevMouseY;
    const int32_t type = EffectiveLensType(r.lensType);
    if (HalfSphere(type)) {
        const bool panSense = MouseInvert() ^ (r.flipHorizontal != 0);
        const bool tiltSense = MouseInvert() ^ (r.flipVertical != 0);
        // The family's tilt runs the other way round, as for the move commands.
        if (BandWindow(r, k)) {
            const double t = Finite(r.bandTilt) ? r.bandTilt : 0.0;
            r.bandTilt = static_cast<float>(std::clamp(tiltSense ? t - 0.1 * dy : t + 0.1 * dy, -40.0, 40.0));
        } else if (r.perspective180) {
            const ViewPreset& p = r.presetsDegrees[k];
            StorePerspective(view, k, panSense ? p.pan - 0.1 * dx : p.pan + 0.1 * dx,
                             tiltSense ? p.tilt - 0.1 * dy : p.tilt + 0.1 * dy, p.zoom);
        } else {
            ViewPreset& p = NormalisedPreset(r, k);
            const double ux = d.cellW > 0 ? 0.1 * dx / d.cellW : 0.0, uy = d.cellH > 0 ? 0.1 * dy / d.cellH : 0.0;
            p.pan = panSense ? p.pan - ux : p.pan + ux;
            p.tilt = tiltSense ? p.tilt - uy : p.tilt + uy;
            ClampUnit(p);
        }
        d.dirty[k] = 1;
        return;
    }
    ViewPreset& p = r.presets360[k];
    const bool panSense = MouseInvert() ^ (d.effH != 0);
    const bool tiltSense = MouseInvert() ^ (type >= kLensConcaveMirror && type <= kLensPalReverse) ^ (d.effV != 0);
    p.pan = WrapPan(panSense ? p.pan - 0.1 * dx : p.pan + 0.1 * dx);
    const double t = Finite(p.tilt) ? p.tilt : 0.0;
    p.tilt = tiltSense ? t + 0.1 * dy : t - 0.1 * dy;
    d.dirty[k] = 1;
}

void CenterOnClick(DewarpView& view, int32_t x, int32_t y, int32_t window) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    const int32_t type = EffectiveLensType(r.lensType);
    if (type == kLensNormal || type == kLensMotoPtz) return;
    if (HalfSphere(type)) {
        if (window < 0 || window > 4 || d.cellW <= 0 || d.cellH <= 0) return;
        double cx = x, cy = y;
        if (r.flipHorizontal) cx = d.cellW - cx;
        if (r.flipVertical) cy = d.cellH - cy;
        if (r.perspective180) {
            const double lamMax = r.panTiltLimits[2], lamMin = r.panTiltLimits[3];
            const double phiMax = r.panTiltLimits[0], phiMin = r.panTiltLimits[1];
            StorePerspective(view, window, lamMin + (lamMax - lamMin) * cx / d.cellW,
                             phiMin + (phiMax - phiMin) * cy / d.cellH, r.presetsDegrees[window].zoom);
        } else {
            ViewPreset& p = NormalisedPreset(r, window);
            p.pan = cx / d.cellW;
            p.tilt = cy / d.cellH;
            FitCrop(p, 1.0, 1.0);
        }
        d.dirty[window] = 1;
        return;
    }
    if (r.showMode360 == kShow360Source || r.showMode360 == kShow360TwoStrips || window < 0 || window > 5) return;
    const int32_t S = d.H / 3;
    if (d.W <= 0 || S <= 0 || y < d.H - S || y > d.H || x < 0 || x > d.W) return;
    ViewPreset& p = r.presets360[window];
    p.pan = WrapPan(double(x) * 360.0 / d.W - 90.0);
    const double half = Finite(r.halfFov) ? r.halfFov : 90.0;
    p.tilt = -((double(y) - (d.H - S)) / S) * 0.9 * half;
    d.dirty[window] = 1;
    p.zoom = FitZoom(r, p.zoom, WindowCell(view, window));
}

int32_t PaneAt(const DewarpView& view, int32_t x, int32_t y) {
    for (int k : WindowsOfMode(view)) {
        const Cell c = WindowCell(view, k);
        if (x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h) return k;
    }
    return 0;
}


}  // namespace orb
