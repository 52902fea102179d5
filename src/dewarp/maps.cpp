// Map building: the engine tables, the panorama strips, the virtual windows and the resize
// map. Floating point only builds the tables; every map entry comes from fixed point.
#include <algorithm>
#include <system_error>
#include <thread>
#include <cmath>
#include <new>
#include <numbers>

#include "dewarp/dewarp.h"
#include "dewarp/window_kernel.h"

namespace orb {
namespace {

constexpr double kPi = std::numbers::pi;

bool IsRing(int32_t t) { return t >= kLensConcaveMirror && t <= kLensAnnularFisheye; }
bool HalfSphere(int32_t t) { return t == kLens180 || t == kLens90; }

// The size of the picture the alignment was made on; a record that never stored it is
// taken as measured on its own reference frame (no oval correction).
int32_t RefWidth(const CameraRecord& r) { return r.sourceWidth > 0 ? r.sourceWidth : r.ovalH; }
int32_t RefHeight(const CameraRecord& r) { return r.sourceHeight > 0 ? r.sourceHeight : r.ovalV; }

int16_t Clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

void Store(DewarpState& d, size_t index, int64_t x, int64_t y, int64_t fx, int64_t fy) {
    d.coordMap[index] = {Clamp16(x), Clamp16(y)};
    d.fracMap[index] = {static_cast<uint8_t>(fx & 255), static_cast<uint8_t>(fy & 255)};
}

bool MapsReady(const DewarpState& d) {
    return d.W > 0 && d.H > 0 && d.coordMap.size() == size_t(d.W) * size_t(d.H) && d.fracMap.size() == d.coordMap.size();
}

bool FrameUsable(const CameraRecord& r) { return r.ovalH > 0 && r.ovalV > 0 && RefWidth(r) > 0 && RefHeight(r) > 0; }

bool CurveInForce(const CameraRecord& r) { return EffectiveLensType(r.lensType) == kLensFisheye && r.curveEnabled; }

// Cell sizes of the current mode, as the window maps are fitted to them.
void SetCellSize(DewarpView& view) {
    DewarpState& d = view.dewarp;
    const CameraRecord& r = view.record;
    if (HalfSphere(EffectiveLensType(r.lensType))) {
        const bool whole = r.showMode180 == kShow180Panorama;
        d.cellW = whole ? d.W : d.W / 2;
        d.cellH = whole ? d.H : d.H / 2;
        return;
    }
    switch (r.showMode360) {
        case kShow360WindowStrip: d.cellW = d.W, d.cellH = d.lowerH; break;
        case kShow360TwoWindowsStrip: d.cellW = d.W / 2, d.cellH = d.lowerH; break;
        case kShow360OneWindow: d.cellW = d.W, d.cellH = d.H; break;
        case kShow360FourWindowsStrip: case kShow360SixWindows: d.cellW = d.W / 2, d.cellH = d.stripH; break;
        case kShow360SixWindowsStrip: d.cellW = d.W / 3, d.cellH = d.stripH; break;
        default: d.cellW = d.W / 2, d.cellH = d.H / 2;
    }
}

void BuildTables(DewarpView& view) {
    CameraRecord& r = view.record;
    DewarpEngine& e = *view.dewarp.engine;
    const DewarpState& d = view.dewarp;
    const int32_t type = EffectiveLensType(r.lensType);
    if (FrameUsable(r)) {
        const double sy = double(RefHeight(r)) * 2048.0 / r.ovalV, sx = double(RefWidth(r)) * 2048.0 / r.ovalH;
        for (int k = 0; k < kTableSize; ++k) {
            const double t = k * kPi / 2048;
            e.sineTable[k] = static_cast<int32_t>(std::clamp(std::trunc(std::sin(t) * sy), -2e9, 2e9));
            e.cosineTable[k] = static_cast<int32_t>(std::clamp(std::trunc(std::cos(t) * sx), -2e9, 2e9));
        }
    }
    e.curve1.clear();
    e.curve2.clear();
    if (CurveInForce(r) && FrameUsable(r)) {
        CheckRayCurve(r);
        e.curve1 = BuildCurveTable(r, r.firstRadius);
        e.curve2 = BuildCurveTable(r, static_cast<int>(int64_t(RefHeight(r)) * r.firstRadius / r.ovalV));
    }
    DeriveConstants(r, e);
    for (int i = 0; i < 4096; ++i) e.hypTable[i] = static_cast<int32_t>(std::sqrt(1.0 + (i / 4096.0) * (i / 4096.0)) * 4096);
    e.hypTable[4096] = static_cast<int32_t>(std::sqrt(2.0) * 4096);
    e.quarterTurn = static_cast<int32_t>((int64_t(e.pixelsPer360) * 64) >> 10);
    e.halfTurn = static_cast<int32_t>((int64_t(e.pixelsPer360) * 128) >> 10);
    const double c = e.pixelsPer360 / (2 * kPi);
    for (int i = 0; i < 4096; ++i)
        e.atanTable[i] = static_cast<int32_t>(int64_t(std::trunc(c * std::atan(double(i) / (4096 - i)) * 256 + 0.5)) >> 10);
    e.atanTable[4096] = static_cast<int32_t>(int64_t(std::trunc(c * (kPi / 2) * 256 + 0.5)) >> 10);
    if (d.W > 0 && d.H > 0) {
        if (!(r.panoramaStartAngle >= -kPi && r.panoramaStartAngle <= kPi)) r.panoramaStartAngle = 0;
        const size_t w = size_t(d.W);
        e.cos1.assign(w + 1, 0);
        e.sin1.assign(w + 1, 0);
        e.cos2.assign(2 * w + 2, 0);
        e.sin2.assign(2 * w + 2, 0);
        for (size_t j = 0; j < w; ++j) {
            const double t = -kPi + double(j) * 2 * kPi / d.W;
            e.cos1[j] = static_cast<int32_t>(1024 * std::cos(t));
            e.sin1[j] = static_cast<int32_t>(1024 * std::sin(t));
        }
        for (size_t j = 0; j < 2 * w; ++j) {
            const double t = r.panoramaStartAngle - kPi + double(j) * kPi / d.W;
            e.cos2[j] = static_cast<int32_t>(1024 * std::cos(t));
            e.sin2[j] = static_cast<int32_t>(1024 * std::sin(t));
        }
    }
    (void)type;
}

// One band of a panorama strip: `rows` map rows from mapRow0 (bottom-up), columns from the
// tables at offset `first`.
void BuildBand(DewarpView& view, int32_t mapRow0, int32_t rows, int32_t divisor, const std::vector<int32_t>& cosT,
               const std::vector<int32_t>& sinT, size_t first, int32_t effH, int32_t effV) {
    DewarpState& d = view.dewarp;
    const CameraRecord& r = view.record;
    const DewarpEngine& e = *d.engine;
    const Cell band{0, d.H - mapRow0 - rows, d.W, rows};
    if (rows <= 0) return;
    if (divisor < 1 || !FrameUsable(r) || d.srcW <= 0 || d.srcH <= 0 || cosT.size() < first + size_t(d.W)) {
        ClearCell(view, band);
        return;
    }
    const int32_t type = EffectiveLensType(r.lensType);
    const int64_t cx = int64_t(d.srcW) * r.centerX / r.ovalH, cy = int64_t(r.centerY) * d.srcH / r.ovalV;
    const int64_t rOut = int64_t(r.firstRadius) * d.srcH * 256 / r.ovalV;
    const int64_t rIn = IsRing(type) ? int64_t(r.secondRadius) * d.srcH * 256 / r.ovalV : rOut / 10;
    const int64_t dr = (rOut - rIn) / divisor;
    const int64_t a = (int64_t(r.ovalV) * 256 * RefWidth(r)) / (int64_t(RefHeight(r)) * r.ovalH);
    const bool curve = CurveInForce(r) && !e.curve2.empty();
    const int64_t n = int64_t(e.curve2.size()) - 1;
    for (int32_t i = 0; i < rows; ++i) {
        int64_t rad = rIn + i * dr;
        if (curve) {
            const int64_t ci = rad >> 8;
            rad = (ci >= 0 && ci <= n) ? 4 * int64_t(e.curve2[ci].value) + (((rad & 255) * e.curve2[ci].step) >> 6) : 0;
        }
        const size_t row = size_t(mapRow0 + (effV ? rows - 1 - i : i)) * size_t(d.W);
        for (int32_t j = 0; j < d.W; ++j) {
            const int64_t py = (cosT[first + j] * rad) >> 10;
            const int64_t px = (((-sinT[first + j] * rad) >> 10) * a) >> 8;
            Store(d, row + size_t(effH ? d.W - 1 - j : j), (px >> 8) + cx, (py >> 8) + cy, px, py);
        }
    }
}

}  // namespace

const int32_t* MultiplyTable() {
    static const std::vector<int32_t> table = [] {
        std::vector<int32_t> t(65536);
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) t[a * 256 + b] = a * b;
        return t;
    }();
    return table.data();
}

double FitZoom(const CameraRecord& r, double zoom, const Cell& cell) {
    if (cell.w <= 1 || cell.h <= 1 || !std::isfinite(zoom)) return zoom;
    const double range = r.tiltMax - r.tiltMin + (EffectiveLensType(r.lensType) == kLensFisheye ? 45.0 : 0.0);
    for (int n = 0; n < 100 && zoom > 5.0; ++n) {
        const double vh = std::atan(std::tan(zoom * kPi / 360) * cell.h / cell.w) * 180 / kPi;
        if (!(2 * vh > range)) break;
        zoom = std::max(5.0, zoom - 3.5);
    }
    return zoom;
}

void BuildStripMap(DewarpView& view, int32_t effH, int32_t effV) {
    DewarpState& d = view.dewarp;
    if (!MapsReady(d) || !d.engine) return;
    BuildBand(view, 0, d.stripH, d.stripH - 1, d.engine->cos1, d.engine->sin1, 0, effH, effV);
    FinishMapCell(view, Cell{0, d.H - d.stripH, d.W, d.stripH}, kStripSlot);
}

void BuildHalfStrips(DewarpView& view, int32_t effH, int32_t effV) {
    DewarpState& d = view.dewarp;
    if (!MapsReady(d) || !d.engine) return;
    const int32_t lower = d.H / 2;
    BuildBand(view, 0, lower, lower - 1, d.engine->cos2, d.engine->sin2, 0, effH, effV);
    BuildBand(view, lower, d.H - lower, lower - 1, d.engine->cos2, d.engine->sin2, size_t(d.W), effH, effV);
    FinishMapCell(view, Cell{0, 0, d.W, d.H}, kStripSlot);
}

void BuildResizeMap(DewarpView& view, const Cell& cell) {
    DewarpState& d = view.dewarp;
    const CameraRecord& r = view.record;
    if (!MapsReady(d) || cell.w <= 0 || cell.h <= 0) return;
    if (d.srcW <= 0 || d.srcH <= 0) {
        ClearCell(view, cell);
        FinishMapCell(view, cell, kResizeSlot);
        return;
    }
    const int64_t xStep = cell.w > 1 ? ((int64_t(d.srcW) << 16) - 65536) / (cell.w - 1) : 0;
    const int64_t yStep = cell.h > 1 ? ((int64_t(d.srcH) << 16) - 65536) / (cell.h - 1) : 0;
    const int32_t type = EffectiveLensType(r.lensType);
    const bool mirrorH = (type == kLensConcaveMirror || type == kLensConvexMirror) ? r.flipHorizontal == 0 : r.flipHorizontal != 0;
    const bool mirrorV = r.flipVertical != 0 && !mirrorH;
    for (int32_t yy = 0; yy < cell.h; ++yy) {
        const int64_t ay = int64_t(mirrorV ? cell.h - 1 - yy : yy) * yStep;
        const size_t row = size_t(d.H - 1 - (cell.y + yy)) * size_t(d.W) + size_t(cell.x);
        for (int32_t xx = 0; xx < cell.w; ++xx) {
            const int64_t ax = int64_t(mirrorH ? cell.w - 1 - xx : xx) * xStep;
            Store(d, row + size_t(xx), ax >> 16, ay >> 16, ax >> 8, ay >> 8);
        }
    }
    FinishMapCell(view, cell, kResizeSlot);
}

void BuildRows(int32_t rows, int64_t pixels, const std::function<void(int32_t, int32_t)>& body) {
    if (rows >= 2 && pixels >= 200000) {
        try {
            std::thread lower(body, rows / 2, rows);
            body(0, rows / 2);
            lower.join();
            return;
        } catch (const std::system_error&) {
            // No second thread to be had: build on this one.
        }
    }
    body(0, rows);
}

namespace {

// Limits: fits the view angle, clamps the tilt and refuses what cannot be shown. The
// accepted pan, tilt and zoom of window k go into the dewarp state (a refusal keeps the
// last accepted ones) and back into the preset; false when there is nothing to show.
bool FitWindowAngles(DewarpView& view, int k, const Cell& cell, int32_t type) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    ViewPreset& preset = r.presets360[k];
    double Z = FitZoom(r, preset.zoom, cell), P = preset.pan, T = preset.tilt;
    const double vh = std::atan(std::tan(Z * kPi / 360) * cell.h / cell.w) * 180 / kPi;
    if (T > r.tiltMax - vh && r.tiltMax != 90.0) T = r.tiltMax - vh;
    else if (T <= r.tiltMax) {
        if (T < r.tiltMin + vh && r.tiltMin != -90.0) T = r.tiltMin + vh;
        else if (T < r.tiltMin) T = r.tiltMin;
    } else T = r.tiltMax;
    const double m = type == kLensFisheye ? 45.0 : 0.0;
    const bool refused = !std::isfinite(Z) || !std::isfinite(P) || !std::isfinite(T) || r.tiltMax - r.tiltMin + m < 2 * vh ||
                         Z > 140.0 || Z < 1.0 || T < r.tiltMin || T > r.tiltMax;
    if (!refused) {
        d.pan[k] = P, d.tilt[k] = T, d.zoom[k] = Z, d.working[k] = 1;
    } else if (!d.working[k]) {
        return false;  // nothing accepted yet to fall back on
    }
    preset.pan = d.pan[k], preset.tilt = d.tilt[k], preset.zoom = d.zoom[k];
    return true;
}

// Rotation: Tilt * Pan, rows 0 and 1 over the focal length, then fixed point.
void SetWindowRotation(DewarpEngine& e, const DewarpState& d, int k, const Cell& cell, WindowKernel& kernel) {
    const double t = d.tilt[k] * kPi / 180, p = d.pan[k] * kPi / 180, zr = d.zoom[k] * kPi / 180;
    const double ct = std::cos(t), st = std::sin(t), cp = std::cos(p), sp = std::sin(p);
    double* M = e.rotation;
    const double rot[9] = {cp, 0, -sp, st * sp, ct, st * cp, ct * sp, -st, ct * cp};
    const double f = cell.w / (2 * std::tan(zr / 2));
    for (int i = 0; i < 9; ++i) M[i] = i < 6 ? rot[i] / f : rot[i];
    const double s = zr < 0.3 ? 436906.666667 : 131072 / zr;
    for (int i = 0; i < 9; ++i) e.rotationFixed[i] = static_cast<int32_t>(std::trunc(s * M[i] + 0.5));
    const int32_t* F = e.rotationFixed;
    kernel.m00 = F[0], kernel.m02 = F[2], kernel.m10 = F[3], kernel.m11 = F[4], kernel.m12 = F[5];
    kernel.m20 = F[6], kernel.m21 = F[7], kernel.m22 = F[8];
}

// The radius of the horizon (tilt 0) in 1/64 pixel, one rule a lens family: the fisheye
// lenses measure the tilt over the half field of view from the outer circle; the mirror
// and ring lenses over the effective angle between the two circles.
double FisheyeHorizon(const CameraRecord& r) {
    return 64.0 * (r.firstRadius - r.firstRadius * r.tiltMax / r.halfFov);
}
double MirrorHorizon(const CameraRecord& r) {
    return 64.0 * (r.firstRadius - (r.firstRadius - r.secondRadius) * r.tiltMax / r.effectiveAngle);
}

}  // namespace

void RebuildWindow(DewarpView& view, int k) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    if (k < 0 || k > 5 || !MapsReady(d)) return;
    if (d.rebuildGuard >= 1 && d.rebuildGuard <= 2) return;  // a build is under way
    d.rebuildGuard = 1;
    const Cell cell = WindowCell(view, k);
    const int32_t type = EffectiveLensType(r.lensType);
    DewarpEngine* e = d.engine.get();
    if (cell.w <= 0 || cell.h <= 0) {
        d.rebuildGuard = 0;
        return;
    }
    if (HalfSphere(type)) {
        BuildHalfSphereWindow(view, k, cell);
        FinishMapCell(view, cell, k);
        d.rebuildGuard = 0;
        return;
    }
    const bool hasModel = type >= kLensFisheye && type <= kLensAnnularFisheye;
    if (!hasModel || !e || e->pixelsPer360 <= 0 || cell.w <= 1 || cell.h <= 1 || !FrameUsable(r) || d.srcW <= 0 ||
        d.srcH <= 0 || !FitWindowAngles(view, k, cell, type)) {
        ClearCell(view, cell);
        FinishMapCell(view, cell, k);
        d.rebuildGuard = 0;
        return;
    }
    WindowKernel kernel;
    SetWindowRotation(*e, d, k, cell, kernel);
    int32_t effH = r.flipHorizontal != 0, effV = r.flipVertical != 0;
    ViewFlips(type, effH, effV);
    const bool fisheyeFamily = type == kLensFisheye || type == kLensAnnularFisheye;
    const double r0d = fisheyeFamily ? FisheyeHorizon(r) : MirrorHorizon(r);
    kernel.r0 = static_cast<int64_t>(std::clamp(std::trunc(r0d), -1e12, 1e12));
    kernel.cx = int64_t(d.srcW) * r.centerX / r.ovalH;
    kernel.cy = int64_t(d.srcH) * r.centerY / r.ovalV;
    kernel.curve = CurveInForce(r) && !e->curve1.empty();
    kernel.effH = effH, kernel.effV = effV;
    kernel.cell = cell;
    auto rows = [&](int32_t jBegin, int32_t jEnd) { BuildWindowRows(kernel, *e, d, jBegin, jEnd); };
    BuildRows(cell.h, int64_t(cell.w) * cell.h, rows);
    FinishMapCell(view, cell, k);
    d.rebuildGuard = 0;
}

void RebuildPanorama(DewarpView& view) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    SetCellSize(view);
    d.pendingRebuild = 2;
    if (d.engine) d.engine->constantsStale = 1;
    if (!d.engine) {
        d.engine.reset(new (std::nothrow) DewarpEngine());
        if (!d.engine) return;
        MultiplyTable();
    }
    d.engine->srcW128 = d.srcW * 128;
    d.engine->srcH128 = d.srcH * 128;
    BuildTables(view);
    LoadColourTables(r, d.colour);
    if (MapsReady(d)) ClearCell(view, Cell{0, 0, d.W, d.H});
    const int32_t type = EffectiveLensType(r.lensType);
    if (type == kLensNormal || type == kLensMotoPtz) return;
    if (HalfSphere(type)) {
        LoadHalfSphereSelectors(r, d.engine->half);
        BuildHalfSphereProjection(view, d.engine->half);
        CheckPerspectivePresets(view);
        for (int k : WindowsOfMode(view)) d.dirty[k] = 1;
        return;
    }
    if (r.showMode360 == kShow360Source || r.showMode360 == kShow360TwoStrips) return;
    for (int k : WindowsOfMode(view)) r.presets360[k].zoom = FitZoom(r, r.presets360[k].zoom, WindowCell(view, k));
}

}  // namespace orb
