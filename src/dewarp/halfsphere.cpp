// Half-sphere lenses: models, projections, the projection build and the two kernels that
// fill the maps (crops of the panorama and perspective windows).
#include "dewarp/halfsphere.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "dewarp/dewarp.h"
#include "dewarp/navigation.h"

namespace orb {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

bool Finite(double v) { return std::isfinite(v); }
bool Outside(double v, double lo, double hi) { return !(v >= lo && v <= hi); }

double LensSpan(const CameraRecord& r) { return EffectiveLensType(r.lensType) == kLens90 ? r.lensSpan90 : r.lensSpan180; }
double& LensSpanRef(CameraRecord& r) { return EffectiveLensType(r.lensType) == kLens90 ? r.lensSpan90 : r.lensSpan180; }
double VerticalCenter(const CameraRecord& r) {
    return EffectiveLensType(r.lensType) == kLens90 ? r.verticalCenter90 : r.verticalCenter180;
}
double VerticalSpan(const CameraRecord& r) { return EffectiveLensType(r.lensType) == kLens90 ? r.verticalSpan90 : r.verticalSpan180; }

double Distance(const CameraRecord& r) { return Outside(r.perspectiveDistance, 2.0, 1000.0) ? 100.0 : r.perspectiveDistance; }

// Radial models: the lens-plane radius of a direction theta from the axis.
bool Radius(const HalfSphereModel& m, double theta, double& rad) {
    const double c = std::cos(theta), s = std::sin(theta);
    switch (m.model) {
        case kModelOrthographic:
            if (c < 0) return false;
            rad = s;
            return true;
        case kModelEquisolid:
            if (1 + c <= 1e-12) return false;
            rad = m.K * s * std::sqrt(1 / (1 + c));
            return true;
        case kModelEquidistant: rad = m.K * theta * (2 / kPi); return true;
        case kModelStereographic:
            if (1 + c <= 1e-12) return false;
            rad = m.K * s / (1 + c);
            return true;
        case kModelPerspective:
            if (c < 1 / m.d) return false;  // beyond the horizon of the sphere
            rad = m.K * s * (m.d - 1) / (m.d - c);
            return true;
        default: return false;
    }
}

// theta / sin(theta) as a function of c = cos(theta), 8192 steps over [-1, 1], built once:
// linear interpolation stays within 1e-7 of the exact value for c > -0.9.
constexpr int kArcSteps = 8192;
const std::vector<double>& ArcTable() {
    static const std::vector<double> table = [] {
        std::vector<double> t(kArcSteps + 2);
        for (int i = 0; i <= kArcSteps + 1; ++i) {
            const double c = std::min(1.0, -1.0 + 2.0 * i / kArcSteps), s = std::sqrt(std::max(0.0, 1 - c * c));
            t[i] = s > 1e-12 ? std::acos(c) / s : (c > 0 ? 1.0 : 0.0);
        }
        t[kArcSteps] = 1.0;  // theta = 0
        return t;
    }();
    return table;
}

inline double ThetaOverSine(double c) {
    if (c > -0.9 && c <= 1.0) {
        const double pos = (c + 1) * (kArcSteps / 2);
        const int i = std::min(static_cast<int>(pos), kArcSteps - 1);
        const double f = pos - i;
        const auto& t = ArcTable();
        return t[i] + (t[i + 1] - t[i]) * f;
    }
    const double s = std::sqrt(std::max(0.0, 1 - c * c));
    return s > 1e-12 ? std::acos(std::clamp(c, -1.0, 1.0)) / s : 1.0;
}

// The factor k of the radial models (K included) from cos(theta): the lens-plane point is
// k times the transverse part (sin lam cos phi, sin phi) of the direction.
inline bool RadialFactor(const HalfSphereModel& m, double c, double& k) {
    switch (m.model) {
        case kModelOrthographic:
            if (c < 0) return false;
            k = 1;
            return true;
        case kModelEquisolid:
            if (1 + c <= 1e-12) return false;
            k = m.K * std::sqrt(1 / (1 + c));
            return true;
        case kModelEquidistant: k = m.K * ThetaOverSine(c) * (2 / kPi); return true;
        case kModelStereographic:
            if (1 + c <= 1e-12) return false;
            k = m.K / (1 + c);
            return true;
        case kModelPerspective:
            if (c < 1 / m.d) return false;
            k = m.K * (m.d - 1) / (m.d - c);
            return true;
        default: return false;
    }
}

// The lens model from the sines and cosines of the direction (and lam itself for the
// longitude-proportional model), so that the kernels can take them from tables.
inline bool ForwardTrig(const HalfSphereModel& m, double lam, double sl, double cl, double sp, double cp, double& x,
                        double& y) {
    if (m.model == kModelLongitudeProportional) {
        if (!(m.halfFovRad > 0)) return false;
        x = m.K * cp * (lam / m.halfFovRad), y = m.K * sp;
    } else if (m.model == kModelRectilinear) {
        // x = K tan(lam), y = K tan(phi) cos(lam).
        if (cl <= 1e-9 || cp <= 1e-9) return false;
        x = m.K * sl / cl, y = m.K * (sp / cp) * cl;
    } else {
        double k = 0;
        if (!RadialFactor(m, cl * cp, k)) return false;
        x = sl * cp * k, y = sp * k;
    }
    return Finite(x) && Finite(y);
}

}  // namespace

bool LensModelForward(const HalfSphereModel& m, double lam, double phi, double& x, double& y) {
    if (!Finite(lam) || !Finite(phi)) return false;
    return ForwardTrig(m, lam, std::sin(lam), std::cos(lam), std::sin(phi), std::cos(phi), x, y);
}

bool LensModelInverse(const HalfSphereModel& m, double x, double y, double& lam, double& phi) {
    if (!Finite(x) || !Finite(y)) return false;
    if (m.model == kModelLongitudeProportional) {
        if (!(m.K > 0) || std::fabs(y) > m.K) return false;
        phi = std::asin(y / m.K);
        lam = x * m.halfFovRad / (m.K * std::cos(phi));
        return Finite(lam);
    }
    if (m.model == kModelRectilinear) {
        if (!(m.K > 0)) return false;
        lam = std::atan(x / m.K);
        phi = std::atan(y / (m.K * std::cos(lam)));
        return true;
    }
    const double r = std::hypot(x, y);
    double theta = 0;
    switch (m.model) {
        case kModelOrthographic:
            if (r > 1) return false;
            theta = std::asin(r);
            break;
        case kModelEquisolid: {
            const double c = 1 - (r / m.K) * (r / m.K);  // r = K sqrt(1 - cos theta)
            if (c < -1 || !(m.K > 0)) return false;
            theta = std::acos(c);
            break;
        }
        case kModelEquidistant: theta = r * kPi / (2 * m.K); break;
        case kModelStereographic: theta = 2 * std::atan(r / m.K); break;
        case kModelPerspective: {
            double lo = 0, hi = std::acos(1 / m.d);  // radius grows over [0, horizon]
            for (int i = 0; i < 80; ++i) {
                const double mid = (lo + hi) / 2;
                double rm = 0;
                Radius(m, mid, rm);
                (rm < r ? lo : hi) = mid;
            }
            theta = (lo + hi) / 2;
            break;
        }
        default: return false;
    }
    if (!Finite(theta)) return false;
    const double s = std::sin(theta), X = r > 0 ? s * x / r : 0, Y = r > 0 ? s * y / r : 0, Z = std::cos(theta);
    phi = std::asin(std::clamp(Y, -1.0, 1.0));
    lam = std::atan2(X, Z);
    return true;
}

bool ProjectionForward(int32_t projection, double lam, double phi, double& x, double& y) {
    // The standard parallel is 0, so cos(phi0) = 1.
    switch (projection) {
        case kProjEquirectangular: case kProjStandardParallel: x = lam, y = phi; break;
        case kProjEqualArea: x = lam, y = std::sin(phi); break;
        case kProjMercator: x = lam, y = std::atanh(std::sin(phi)); break;
        case kProjMiller: x = lam, y = 1.25 * std::log(std::tan(kPi / 4 + 0.4 * phi)); break;
        default: return false;
    }
    return Finite(x) && Finite(y);
}

bool ProjectionInverse(int32_t projection, double u, double v, double& lam, double& phi) {
    lam = u;
    switch (projection) {
        case kProjEquirectangular: case kProjStandardParallel: phi = v; break;
        case kProjEqualArea:
            if (v < -1 || v > 1) return false;
            phi = std::asin(v);
            break;
        case kProjMercator: phi = std::atan(std::sinh(v)); break;
        case kProjMiller: phi = 1.25 * std::atan(std::sinh(0.8 * v)); break;
        default: return false;
    }
    return Finite(lam) && Finite(phi);
}

void LoadHalfSphereSelectors(CameraRecord& r, HalfSphereModel& m) {
    if (r.lensModel < 0 || r.lensModel > 6) r.lensModel = 0;
    const int32_t p = r.panoramaProjection;
    if (!(p >= 0 && p <= 4) && p != kProjNone) r.panoramaProjection = 0;
    m.model = r.lensModel;
    m.projection = r.panoramaProjection;
    if (Outside(r.halfFov, 10.0, 250.0)) r.halfFov = 90.0;
    const double s = LensSpan(r) / 2;
    double lam = 90, phi = 90;
    switch (m.model) {
        case kModelOrthographic: lam = phi = std::min(s, 90.0); break;
        case kModelEquisolid:
            if (r.halfFov > 125.0) r.halfFov = 125.0;
            if (LensSpanRef(r) < 2 * r.halfFov) LensSpanRef(r) = 2 * r.halfFov;
            lam = r.halfFov, phi = std::min(r.halfFov, 90.0);
            break;
        case kModelEquidistant: case kModelLongitudeProportional: lam = std::min(s, 90.0), phi = 90; break;
        case kModelStereographic: lam = std::min(s, 250.0), phi = std::min(lam, 90.0); break;
        case kModelRectilinear: lam = phi = 85; break;
        case kModelPerspective: {
            m.d = Distance(r);
            const double a = std::acos(1 / m.d) / kDeg;
            lam = std::min(a, s), phi = std::min(a, VerticalSpan(r) / 2);
            break;
        }
        default: break;
    }
    if (m.projection == kProjMercator) phi = std::min(phi, 88.0);
    if (m.projection == kProjMiller) phi = std::min(phi, 90.0);
    m.lamMax = lam, m.lamMin = -lam, m.phiMax = phi, m.phiMin = -phi;
}

void BuildHalfSphereProjection(DewarpView& view, HalfSphereModel& m) {
    CameraRecord& r = view.record;
    DewarpState& d = view.dewarp;
    m.valid = 0;
    if (m.model == kModelRectilinear && r.halfFov > 85) r.halfFov = 60;
    const double hf = r.halfFov;
    m.halfFovRad = hf * kDeg;
    // 1, 2: limits clamped to the field of view and to the band of latitudes shown.
    m.clampLamMax = std::min(m.lamMax, hf), m.clampLamMin = std::max(m.lamMin, -hf);
    m.clampPhiMax = std::min(m.phiMax, hf), m.clampPhiMin = std::max(m.phiMin, -hf);
    m.clampPhiMax = std::min(m.clampPhiMax, VerticalCenter(r) + VerticalSpan(r) / 2);
    m.clampPhiMin = std::max(m.clampPhiMin, VerticalCenter(r) - VerticalSpan(r) / 2);
    // 3: the scale that puts the rim of the lens span on the lens radius.
    const double s = LensSpan(r) / 2 * kDeg;
    switch (m.model) {
        case kModelEquisolid: m.K = std::sqrt(1 + std::cos(s)) / std::sin(s); break;
        case kModelEquidistant: m.K = 90.0 / hf; break;
        case kModelStereographic: m.K = 1 + std::cos(s); break;
        case kModelLongitudeProportional: m.K = hf * kDeg / s; break;
        case kModelRectilinear: {
            const double b = std::min({hf * kDeg, 160 * kDeg, s});
            m.K = std::cos(b) / std::sin(b);
            break;
        }
        case kModelPerspective: {
            m.d = Distance(r);
            const double l = m.lamMax * kDeg;
            m.K = 1 / (std::sin(l) * (m.d - 1) / (m.d - std::cos(l)));
            break;
        }
        default: m.K = 1 / std::sin(std::min(hf, 90.0) * kDeg);
    }
    if (!Finite(m.K)) m.K = 1;
    // 4, 5: bounds and the limits written back.
    const bool a = ProjectionForward(m.projection, m.clampLamMin * kDeg, m.clampPhiMin * kDeg, m.xmin, m.ymin);
    const bool b = ProjectionForward(m.projection, m.clampLamMax * kDeg, m.clampPhiMax * kDeg, m.xmax, m.ymax);
    r.panTiltLimits[0] = m.clampPhiMax, r.panTiltLimits[1] = m.clampPhiMin;
    r.panTiltLimits[2] = m.clampLamMax, r.panTiltLimits[3] = m.clampLamMin;
    // 6: crops; an empty panorama leaves the previous ones.
    if (!a || !b || !(m.xmax - m.xmin > 0) || !(m.ymax - m.ymin > 0)) return;
    m.valid = 1;
    m.aspect = d.cellW > 0 && d.cellH > 0 ? ((m.xmax - m.xmin) * d.cellH) / (d.cellW * (m.ymax - m.ymin)) : 1.0;
    if (r.perspective180) return;
    ViewPreset* group = EffectiveLensType(r.lensType) == kLens90 ? r.presets90 : r.presets180;
    for (int k = 0; k < 3; ++k) FitCrop(group[k], 1.0, 1.0);
}

void CheckPerspectivePresets(DewarpView& view) {
    CameraRecord& r = view.record;
    for (int i = 0; i < 5; ++i) {
        ViewPreset& p = r.presetsDegrees[i];
        if (Outside(p.zoom, 5.0, 150.0)) p.zoom = 105.0;
        if (Outside(p.pan, -180.0, 180.0)) {
            p.pan = -120.0 + 120.0 * i;
            if (p.pan > 180.0) p.pan -= 180.0;
        }
        if (Outside(p.tilt, -90.0, 90.0)) p.tilt = 0;
        double P = p.pan, T = p.tilt, Z = p.zoom;
        for (int n = 0; n < 50; ++n) {
            P = p.pan, T = p.tilt;
            if (PerspectiveValid(view, i, P, T, Z)) {
                p.pan = P, p.tilt = T, p.zoom = Z;
                break;
            }
            Z -= 3.5;
            if (Z < 5.0) {
                p.zoom = 5.0;
                break;
            }
        }
    }
}

namespace {

struct SourceScale {
    int64_t Rx = 0, Ry = 0, cx = 0, cy = 0;
};

bool MakeScale(const DewarpView& view, SourceScale& s) {
    const CameraRecord& r = view.record;
    const DewarpState& d = view.dewarp;
    if (r.ovalH <= 0 || r.ovalV <= 0 || d.srcW <= 0 || d.srcH <= 0) return false;
    s.Rx = static_cast<int64_t>(std::trunc(double(d.srcW) * r.firstRadius * 256 / r.ovalH));
    s.Ry = static_cast<int64_t>(std::trunc(double(d.srcH) * r.firstRadius * 256 / r.ovalV));
    s.cx = int64_t(r.centerX) * d.srcW * 256 / r.ovalH;
    s.cy = int64_t(r.centerY) * d.srcH * 256 / r.ovalV;
    return true;
}

inline int64_t Scaled(int64_t scale, double v) {
    const double t = double(scale) * v;
    return std::fabs(t) < 1e15 ? static_cast<int64_t>(t) : (t < 0 ? int64_t(-1e15) : int64_t(1e15));
}

inline void StoreEntry(DewarpState& d, size_t index, const SourceScale& s, bool ok, double x, double y) {
    if (!ok) {
        d.coordMap[index] = {0, 0};
        d.fracMap[index] = {0, 0};
        return;
    }
    const int64_t sx = Scaled(s.Rx, x) + s.cx, sy = Scaled(s.Ry, y) + s.cy;
    d.coordMap[index] = {static_cast<int16_t>(std::clamp<int64_t>(sx >> 8, -32768, 32767)),
                         static_cast<int16_t>(std::clamp<int64_t>(sy >> 8, -32768, 32767))};
    d.fracMap[index] = {static_cast<uint8_t>(sx & 255), static_cast<uint8_t>(sy & 255)};
}

size_t Index(const DewarpState& d, const Cell& c, int32_t row, int32_t col) {
    return size_t(d.H - 1 - (c.y + row)) * size_t(d.W) + size_t(c.x + col);
}

// Crop kernel: the panorama rectangle (uS, vS) .. (uE, vE) over the cell. Longitude depends
// on the column and latitude on the row only, so their sines and cosines come from tables.
void CropKernel(DewarpView& view, const Cell& cell, const HalfSphereModel& m, double uS, double vS, double uE, double vE) {
    DewarpState& d = view.dewarp;
    const CameraRecord& r = view.record;
    SourceScale s;
    if (!MakeScale(view, s) || cell.w < 1 || cell.h < 1) {
        ClearCell(view, cell);
        return;
    }
    const double du = cell.w > 1 ? (uE - uS) / (cell.w - 1) : 0, dv = cell.h > 1 ? (vE - vS) / (cell.h - 1) : 0;
    std::vector<double> lam(size_t(cell.w)), sl(size_t(cell.w)), cl(size_t(cell.w)), sp(size_t(cell.h)), cp(size_t(cell.h));
    std::vector<uint8_t> okCol(size_t(cell.w)), okRow(size_t(cell.h));
    for (int32_t c = 0; c < cell.w; ++c) {
        double l = 0, p = 0;
        okCol[c] = ProjectionInverse(m.projection, uS + c * du, vS, l, p) && Finite(l);
        lam[c] = l, sl[c] = std::sin(l), cl[c] = std::cos(l);
    }
    for (int32_t j = 0; j < cell.h; ++j) {
        double l = 0, p = 0;
        okRow[j] = ProjectionInverse(m.projection, uS, vS + j * dv, l, p) && Finite(p);
        sp[j] = std::sin(p), cp[j] = std::cos(p);
    }
    BuildRows(cell.h, int64_t(cell.w) * cell.h, [&](int32_t first, int32_t end) {
        for (int32_t j = first; j < end; ++j) {
            const int32_t row = r.flipVertical ? cell.h - 1 - j : j;
            for (int32_t c = 0; c < cell.w; ++c) {
                const int32_t col = r.flipHorizontal ? cell.w - 1 - c : c;
                double x = 0, y = 0;
                const bool ok = okCol[c] && okRow[j] && ForwardTrig(m, lam[c], sl[c], cl[c], sp[j], cp[j], x, y);
                StoreEntry(d, Index(d, cell, row, col), s, ok, x, y);
            }
        }
    });
}

// Perspective kernel: the pan/tilt rotation of the virtual windows, then the lens model.
void PerspectiveKernel(DewarpView& view, int k, const Cell& cell, const HalfSphereModel& m) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    SourceScale s;
    ViewPreset& preset = r.presetsDegrees[k];
    double P = preset.pan, T = preset.tilt;
    const double Z = preset.zoom;
    if (PerspectiveValid(view, k, P, T, Z)) preset.pan = P, preset.tilt = T, preset.zoom = Z;
    if (!d.working[k] || !MakeScale(view, s) || cell.w < 2 || cell.h < 2) {
        ClearCell(view, cell);
        return;
    }
    const double t = d.tilt[k] * kDeg, p = d.pan[k] * kDeg, zr = d.zoom[k] * kDeg;
    const double ct = std::cos(t), st = std::sin(t), cp = std::cos(p), sp = std::sin(p);
    const double f = cell.w / (2 * std::tan(zr / 2));
    // Rows 0 and 1 over the focal length; j grows upwards so that the view stands upright.
    const double m00 = cp / f, m02 = -sp / f, m10 = st * sp / f, m11 = ct / f, m12 = st * cp / f;
    const double m20 = ct * sp, m21 = -st, m22 = ct * cp;
    const int32_t u0 = -((cell.w - 1) / 2);
    const bool radial = m.model != kModelLongitudeProportional && m.model != kModelRectilinear;
    BuildRows(cell.h, int64_t(cell.w) * cell.h, [&](int32_t first, int32_t end) {
        for (int32_t jj = first; jj < end; ++jj) {
            const double j = cell.h / 2 - jj;
            const int32_t row = r.flipVertical ? cell.h - 1 - jj : jj;
            for (int32_t uu = 0; uu < cell.w; ++uu) {
                const double u = u0 + uu;
                const double X = m00 * u + m10 * j + m20, Y = m11 * j + m21, Zp = m02 * u + m12 * j + m22;
                // lam = atan2(X, Z'), phi = -atan2(Y, rho): their sines and cosines straight from
                // the direction, without the angles themselves.
                const double rr = X * X + Zp * Zp, n2 = rr + Y * Y;
                double x = 0, y = 0;
                bool ok = rr > 0;
                if (ok && radial) {
                    // The transverse part (sin lam cos phi, sin phi) is (X, -Y) / n, cos theta Z' / n.
                    const double inv = 1 / std::sqrt(n2);
                    double k = 0;
                    ok = RadialFactor(m, Zp * inv, k);
                    x = k * X * inv, y = -k * Y * inv;
                    ok = ok && Finite(x) && Finite(y);
                } else if (ok) {
                    const double rho = std::sqrt(rr), n = std::sqrt(n2);
                    const double lam = m.model == kModelLongitudeProportional ? std::atan2(X, Zp) : 0.0;
                    ok = ForwardTrig(m, lam, X / rho, Zp / rho, -Y / n, rho / n, x, y);
                }
                const int32_t col = r.flipHorizontal ? cell.w - 1 - uu : uu;
                StoreEntry(d, Index(d, cell, row, col), s, ok, x, y);
            }
        }
    });
}

}  // namespace

void BuildHalfSphereWindow(DewarpView& view, int k, const Cell& cell) {
    DewarpState& d = view.dewarp;
    CameraRecord& r = view.record;
    if (!d.engine || k < 0 || k > 4) {
        ClearCell(view, cell);
        return;
    }
    HalfSphereModel& m = d.engine->half;
    if (!m.valid || m.projection == kProjNone) {
        ClearCell(view, cell);
        return;
    }
    const int32_t mode = r.showMode180;
    const double w = m.xmax - m.xmin, h = m.ymax - m.ymin;
    // The whole panorama: mode 1, and window 3 of mode 0 (in mode 5 window 3 is a view).
    if (mode == kShow180Panorama || (k == 3 && mode == kShow180Quad)) {
        CropKernel(view, cell, m, m.xmin, m.ymin, m.xmax, m.ymax);
        return;
    }
    if (mode == kShow180Band && k == 1) {
        double z = r.bandZoom, t = r.bandTilt;
        if (Outside(z, 10.0, 200.0)) z = 60.0, t = 0.0;
        if (Outside(t, -40.0, 40.0)) t = 0.0;
        const double zr = z * kDeg;
        double vS = t * kDeg + (m.ymin + m.ymax) / 2 - zr / 2;
        if (vS + zr > m.ymax) vS = m.ymax - zr;
        if (vS < m.ymin) vS = m.ymin;
        CropKernel(view, cell, m, m.xmin, vS, m.xmax, vS + zr);
        return;
    }
    if (r.perspective180) {
        PerspectiveKernel(view, k, cell, m);
        return;
    }
    const ViewPreset& p = EffectiveLensType(r.lensType) == kLens90 ? r.presets90[k] : r.presets180[k];
    if (!Finite(p.pan) || !Finite(p.tilt) || !Finite(p.zoom)) {
        ClearCell(view, cell);
        return;
    }
    CropKernel(view, cell, m, m.xmin + w * (p.pan - p.zoom / 2), m.ymin + h * (p.tilt - p.zoom / 2),
               m.xmin + w * (p.pan + p.zoom / 2), m.ymin + h * (p.tilt + p.zoom / 2));
}

}  // namespace orb
