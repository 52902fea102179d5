#include <algorithm>
#include "common/scene_renderer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "platform/dib.h"

namespace orbtools {
namespace {

constexpr Bgr kBands[kSceneBands] = {
    {0, 0, 230},   {0, 140, 255}, {0, 230, 230}, {0, 200, 0},   {160, 230, 0}, {230, 230, 0},
    {230, 120, 0}, {230, 0, 0},   {200, 0, 140}, {230, 0, 230}, {120, 0, 230}, {100, 100, 100},
};

bool IsRing(int32_t t) { return t >= orb::kLensConcaveMirror && t <= orb::kLensPalReverse; }

}  // namespace

Bgr BandColour(int band) { return kBands[((band % kSceneBands) + kSceneBands) % kSceneBands]; }

int BandAt(double a) {
    a = std::fmod(a, 360.0);
    if (a < 0) a += 360.0;
    return static_cast<int>(a / 30.0) % kSceneBands;
}

int BandOfColour(Bgr c, int tol) {
    for (int b = 0; b < kSceneBands; ++b) {
        const Bgr k = kBands[b];
        if (std::abs(c.b - k.b) <= tol && std::abs(c.g - k.g) <= tol && std::abs(c.r - k.r) <= tol) return b;
    }
    return -1;
}

Bgr SceneColour(double a, double e) {
    if (e >= 84.0) return {255, 255, 255};
    if (e >= 60.0) {
        // Floor grid: lines every 30 degrees of azimuth and every 8 degrees of elevation.
        const double fa = std::fmod(std::fmod(a, 30.0) + 30.0, 30.0), fe = std::fmod(e - 60.0, 8.0);
        return (fa < 1.5 || fe < 1.0) ? Bgr{40, 40, 40} : Bgr{190, 190, 190};
    }
    return BandColour(BandAt(a));
}

Bgr HalfSphereColour(double lam, double phi) {
    if (phi < -30.0) return {255, 255, 255};
    if (phi > 30.0) return {190, 190, 190};
    return BandColour(BandAt(lam + 90.0));
}

void FillLensRecord(const SceneLens& l, CameraRecord& r) {
    r.lensType = l.lensType;
    r.ovalH = r.sourceWidth = l.width;
    r.ovalV = r.sourceHeight = l.height;
    r.centerX = l.centerX;
    r.centerY = l.centerY;
    r.firstRadius = l.firstRadius;
    r.secondRadius = l.secondRadius;
    r.halfFov = l.halfFov;
    r.effectiveAngle = l.effectiveAngle;
    r.curveEnabled = 0;
    r.flipHorizontal = r.flipVertical = 0;
}

HDIB RenderScene(const SceneLens& l, CameraRecord* record) {
    if (record) FillLensRecord(l, *record);
    HDIB h = orb::CreateDIB(l.width, l.height, 24);
    if (!h) return nullptr;
    orb::DibLock lock(h);
    const double r1 = l.firstRadius, r2 = l.secondRadius;
    // Ring lenses: r(e) = r0 - e (r1 - r2) / effectiveAngle, r0 from the upper tilt limit.
    const double tiltMax = l.halfFov - 90.0;
    const double span = r1 - r2, eff = l.effectiveAngle > 0 ? l.effectiveAngle : 60.0;
    const double r0 = r1 - span * tiltMax / eff;
    for (int y = 0; y < l.height; ++y) {
        uint8_t* row = lock.rowFromTop(y);
        for (int x = 0; x < l.width; ++x) {
            const double dx = x - l.centerX, dy = y - l.centerY;
            const double rad = std::hypot(dx, dy);
            const double a = std::atan2(dx, -dy) * 180.0 / std::numbers::pi;
            double e;
            if (l.lensType == orb::kLensNormal || l.lensType == orb::kLensMotoPtz) {
                // A plain camera looking at the wall: 90 degrees across the picture.
                const Bgr c = SceneColour(90.0 * x / l.width + l.rotation, 30.0 * y / l.height);
                row[3 * x] = c.b, row[3 * x + 1] = c.g, row[3 * x + 2] = c.r;
                continue;
            }
            if (l.lensType == orb::kLens180 || l.lensType == orb::kLens90) {
                if (rad > r1 || r1 <= 0) continue;
                // Equidistant: the angle from the axis grows with the radius.
                const double th = rad * l.halfFov / r1 * std::numbers::pi / 180.0;
                const double X = rad > 0 ? std::sin(th) * dx / rad : 0, Y = rad > 0 ? std::sin(th) * dy / rad : 0;
                const double lam = std::atan2(X, std::cos(th)) * 180.0 / std::numbers::pi;
                const double phi = std::asin(std::clamp(Y, -1.0, 1.0)) * 180.0 / std::numbers::pi;
                const Bgr c = HalfSphereColour(lam + l.rotation, phi);
                row[3 * x] = c.b, row[3 * x + 1] = c.g, row[3 * x + 2] = c.r;
                continue;
            }
            if (IsRing(l.lensType)) {
                if (rad < r2 || rad > r1 || span <= 0) continue;
                e = (r0 - rad) * eff / span;
            } else {
                if (rad > r1 || r1 <= 0) continue;
                if (l.lensType == orb::kLensAnnularFisheye && rad < r2) continue;
                e = 90.0 - rad * l.halfFov / r1;
            }
            const Bgr c = SceneColour(a + l.rotation, e);
            row[3 * x] = c.b, row[3 * x + 1] = c.g, row[3 * x + 2] = c.r;
        }
    }
    return h;
}

bool WriteBmpFile(HDIB picture, const char* path) {
    orb::DibLock lock(picture);
    if (!lock || !path) return false;
    const size_t size = orb::GlobalSize(picture);
    uint8_t fileHeader[14] = {'B', 'M'};
    const uint32_t total = static_cast<uint32_t>(14 + size), offset = 14 + orb::kBitmapHeaderSize;
    std::memcpy(fileHeader + 2, &total, 4);
    std::memcpy(fileHeader + 10, &offset, 4);
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(fileHeader, 1, 14, f) == 14 && std::fwrite(lock.packed, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace orbtools
