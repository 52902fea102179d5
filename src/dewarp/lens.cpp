// Lens types: validation of the alignment values, the derived projection constants, the
// ray curve of the fisheye and the flip rules.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "dewarp/dewarp.h"

namespace orb {
namespace {

bool Outside(double v, double lo, double hi) { return !(v >= lo && v <= hi); }  // NaN is outside

bool IsRing(int32_t t) { return t >= kLensConcaveMirror && t <= kLensAnnularFisheye; }

}  // namespace

int32_t EffectiveLensType(int32_t t) { return t < kLensDisabled || t > kLensSpherical ? kLensNormal : t; }

void ValidateLensFields(CameraRecord& r) {
    const int32_t type = EffectiveLensType(r.lensType);
    if (type == kLensNormal || type == kLensMotoPtz) return;
    if (IsRing(type) && (r.secondRadius <= 0 || r.secondRadius >= r.firstRadius)) r.secondRadius = r.firstRadius >> 2;
    if (Outside(r.perspectiveDistance, 2.0, 1000.0)) r.perspectiveDistance = 30.0;
    const double twoPi = 2 * std::numbers::pi;
    if (Outside(r.panoramaStartAngle, -twoPi, twoPi)) r.panoramaStartAngle = 0;
    for (auto& p : r.presets360)
        if (Outside(p.zoom, 5.0, 135.0)) p.zoom = 130.0;
    if (type != kLens180 && type != kLens90) {
        if (Outside(r.halfFov, 60.0, 150.0)) r.halfFov = 90.0;
        return;
    }
    if (Outside(r.halfFov, 40.0, 125.0)) r.halfFov = 90.0;
    if (type == kLens180) {
        if (Outside(r.verticalSpan180, 40, 180)) r.verticalSpan180 = 125.0;
        if (Outside(r.verticalCenter180, -30, 30)) r.verticalCenter180 = 0;
        if (Outside(r.lensSpan180, 40, 250)) r.lensSpan180 = 180.0;
    } else {
        if (Outside(r.verticalSpan90, 40, 250)) r.verticalSpan90 = 120.0;
        if (Outside(r.verticalCenter90, -30, 30)) r.verticalCenter90 = 0;
        if (Outside(r.lensSpan90, 40, 250)) r.lensSpan90 = 120.0;
    }
}

bool CheckRayCurve(CameraRecord& r) {
    const double sum = double(r.curve[0]) + r.curve[1] + r.curve[2] + r.curve[3];
    bool ok = !Outside(sum, 0.999, 1.001);
    for (int i = 1; i < 4; ++i) ok = ok && !Outside(r.curve[i], -10.0, 10.0);
    if (!ok) {
        r.curve[0] = 1.0f;
        r.curve[1] = r.curve[2] = r.curve[3] = 0.0f;
    }
    return ok;
}

std::vector<CurveEntry> BuildCurveTable(const CameraRecord& r, int n) {
    std::vector<CurveEntry> table;
    if (n <= 0 || n > (1 << 20)) return table;
    table.resize(static_cast<size_t>(n) + 1);
    auto f = [&](double t) { return t * (r.curve[0] + t * (r.curve[1] + t * (r.curve[2] + t * r.curve[3]))); };
    for (int i = 0; i <= n; ++i) {
        const double v = i < n ? std::trunc(f(double(i) / n) * 64.0 * n) : 64.0 * n;
        table[i].value = static_cast<int32_t>(std::clamp(v, -1e9, 1e9));
    }
    for (int i = 0; i < n; ++i) table[i].step = table[i + 1].value - table[i].value;
    table[n].step = 0;
    return table;
}

bool DeriveConstants(CameraRecord& r, DewarpEngine& e) {
    const int32_t type = EffectiveLensType(r.lensType);
    int64_t per180 = 0;
    if (type == kLensFisheye) {
        if (!(r.halfFov > 0)) r.halfFov = 90.0;
        per180 = static_cast<int64_t>(std::trunc(r.firstRadius * 46080.0 / r.halfFov));
        r.tiltMin = -90.0;
        r.tiltMax = r.halfFov - 90.0;
    } else if (IsRing(type)) {
        if (!(r.halfFov > 0)) r.halfFov = type == kLensAnnularFisheye ? 90.0 : 100.0;
        if (!(r.effectiveAngle > 0)) r.effectiveAngle = 70.0;
        per180 = static_cast<int64_t>(std::trunc((int64_t(r.firstRadius) - r.secondRadius) * 46080.0 / r.effectiveAngle));
        r.tiltMax = r.halfFov - 90.0;
        r.tiltMin = r.tiltMax - r.effectiveAngle;
    } else if (type == kLens180 || type == kLens90) {
        if (type == kLens180 && Outside(r.halfFov, 10.0, 125.0)) r.halfFov = 90.0;
        if (type == kLens90 && !(r.halfFov > 0)) r.halfFov = 90.0;
        per180 = int64_t(r.firstRadius) * 256 * r.ovalV / 480;
        if (type == kLens90) {
            r.panTiltLimits[4] = r.halfFov;
            r.panTiltLimits[5] = -r.halfFov;
            r.panTiltLimits[6] = std::min(r.halfFov, 90.0);
            r.panTiltLimits[7] = -std::min(r.halfFov, 90.0);
        }
    } else {
        e.pixelsPer180 = e.pixelsPer360 = 0;
        e.constantsStale = 0;
        return false;
    }
    // Radii beyond any picture cannot make a model (and would overflow the fixed point).
    if (per180 <= 0 || per180 > (int64_t(1) << 28)) {
        e.pixelsPer180 = e.pixelsPer360 = 0;
        e.constantsStale = 0;
        return false;
    }
    e.pixelsPer180 = static_cast<int32_t>(per180);
    e.pixelsPer360 = (type == kLens180 || type == kLens90) ? e.pixelsPer180 : 2 * e.pixelsPer180;
    e.constantsStale = 0;
    return std::isfinite(r.tiltMax) && std::isfinite(r.tiltMin);
}

void StripFlips(int32_t type, int32_t& h, int32_t& v) {
    if (type == kLensConcaveMirror) v ^= 1;
    if (type == kLensConvexMirror) h ^= 1;
    if (type == kLensPal) h ^= 1, v ^= 1;
}

void ViewFlips(int32_t type, int32_t& h, int32_t& v) {
    if (type == kLensConvexMirror) h ^= 1, v ^= 1;
    if (type == kLensPal) h ^= 1;
    if (type == kLensPalReverse) v ^= 1;
}

}  // namespace orb
