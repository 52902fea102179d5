// The virtual-window maps are pinned entry for entry: every lens of the window kernels,
// flips, the ray curve, odd cell sizes, and pan, tilt and zoom from the axis to the rim.
#include <gtest/gtest.h>

#include <cstring>

#include "dewarp_fixture.h"

namespace {

uint64_t Mix(uint64_t hash, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

TEST(WindowMaps, EntriesArePinnedForEveryLensAndAim) {
    uint64_t hash = 1469598103934665603ull;
    int windows = 0;
    for (int type : {orb::kLensFisheye, orb::kLensConcaveMirror, orb::kLensConvexMirror, orb::kLensPal, orb::kLensPalReverse,
                     orb::kLensAnnularFisheye})
        for (int variant = 0; variant < 4; ++variant) {
            orbtools::SceneLens lens;
            lens.lensType = type;
            lens.width = 331, lens.height = 251, lens.centerX = 166, lens.centerY = 124, lens.firstRadius = 120;
            lens.secondRadius = 35;
            dwtest::SceneView v(lens, 157 + variant * 30, 103 + variant * 17, variant % 2 ? 7 : 9);
            CameraRecord& r = v.view->record;
            r.flipHorizontal = variant & 1;
            r.flipVertical = (variant >> 1) & 1;
            if (type == orb::kLensFisheye && variant >= 2) {
                r.curveEnabled = 1;
                r.curve[0] = 0.8f, r.curve[1] = 0.3f, r.curve[2] = -0.1f, r.curve[3] = 0.0f;
            }
            ASSERT_EQ(v.update(), 1);
            const double aims[][3] = {{0, -90, 60}, {37.5, -45, 80}, {-170, -10, 30}, {179.9, -60, 120},
                                      {90, -30, 5},  {-90, -89, 100}, {12, -20, 140}, {-45, -75, 66.6}};
            for (const auto& aim : aims)
                for (int k : orb::WindowsOfMode(*v.view)) {
                    r.presets360[k].pan = aim[0], r.presets360[k].tilt = aim[1], r.presets360[k].zoom = aim[2];
                    orb::RebuildWindow(*v.view, k);
                    const auto& d = v.d();
                    hash = Mix(hash, d.coordMap.data(), d.coordMap.size() * sizeof(orb::MapCoord));
                    hash = Mix(hash, d.fracMap.data(), d.fracMap.size() * sizeof(orb::MapFrac));
                    ++windows;
                }
        }
    // A window large enough to be built on two threads.
    orbtools::SceneLens lens;
    dwtest::SceneView big(lens, 640, 400, 7);
    ASSERT_EQ(big.update(), 1);
    for (double pan : {-120.0, 33.3}) {
        big.view->record.presets360[3].pan = pan;
        orb::RebuildWindow(*big.view, 3);
        hash = Mix(hash, big.d().coordMap.data(), big.d().coordMap.size() * sizeof(orb::MapCoord));
        hash = Mix(hash, big.d().fracMap.data(), big.d().fracMap.size() * sizeof(orb::MapFrac));
    }
    EXPECT_GT(windows, 300);
    EXPECT_EQ(hash, 10195182833178657355ull) << hash;
}

}  // namespace
