#include "config/presets.h"

namespace orb {

namespace {
struct Zpt {
    double z, p, t;
};
constexpr Zpt k360[6] = {{90, 0, -30}, {90, -120, -30}, {90, 120, -30}, {90, 90, -30}, {90, 180, -30}, {90, 45, 0}};
constexpr Zpt kNormalised[5] = {{0.7, 0.3, 0}, {0.7, 0.5, 0}, {0.7, 0.7, 0}, {0.7, 0.8, 0}, {0.5, 0.8, 0.3}};
constexpr Zpt kDegrees[5] = {{80, 0, -30}, {80, -120, -30}, {80, 120, -30}, {80, 90, -30}, {80, 0, -30}};

void Set(ViewPreset& p, const Zpt& v) {
    p.zoom = v.z;
    p.pan = v.p;
    p.tilt = v.t;
}
}  // namespace

void FillDefaultPresets(CameraRecord& r) {
    for (int k = 0; k < 6; ++k) Set(r.presets360[k], k360[k]);
    for (int k = 0; k < 5; ++k) {
        Set(r.presets180[k], kNormalised[k]);
        Set(r.presets90[k], kNormalised[k]);
        Set(r.presetsDegrees[k], kDegrees[k]);
    }
}

}  // namespace orb
