// The virtual-window maps are pinned entry for entry: every lens of the window kernels,
// flips, the ray curve, odd cell sizes, and pan, tilt and zoom from the axis to the rim.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "dewarp/window_kernel.h"
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

// Puts the vector kernel back on when a test ends.
struct KernelGuard {
    ~KernelGuard() { orb::UseVectorWindowKernel(true); }
};

struct Maps {
    std::vector<orb::MapCoord> coords;
    std::vector<orb::MapFrac> fracs;
    bool operator==(const Maps& o) const {
        return coords.size() == o.coords.size() &&
               std::memcmp(coords.data(), o.coords.data(), coords.size() * sizeof(orb::MapCoord)) == 0 &&
               std::memcmp(fracs.data(), o.fracs.data(), fracs.size() * sizeof(orb::MapFrac)) == 0;
    }
};

Maps Build(PanoView& view, int k, bool vector) {
    orb::UseVectorWindowKernel(vector);
    std::fill(view.dewarp.coordMap.begin(), view.dewarp.coordMap.end(), orb::MapCoord{1234, -4321});
    std::fill(view.dewarp.fracMap.begin(), view.dewarp.fracMap.end(), orb::MapFrac{7, 9});
    orb::RebuildWindow(view, k);
    return {view.dewarp.coordMap, view.dewarp.fracMap};
}

// The vector kernel gives the integer reference's entries through the whole rebuild: every
// lens, flips, widths that are no multiple of four, views of every size, and aims all over
// the sphere, including straight down where the horizontal ray has no length.
TEST(WindowMaps, VectorKernelGivesTheReferenceEntries) {
    KernelGuard guard;
    std::mt19937 rng(22);
    std::uniform_real_distribution<double> pan(-180, 180), tilt(-90, 0), zoom(5, 140);
    int compared = 0;
    for (int type : {orb::kLensFisheye, orb::kLensConcaveMirror, orb::kLensConvexMirror, orb::kLensPal, orb::kLensPalReverse,
                     orb::kLensAnnularFisheye})
        for (int variant = 0; variant < 4; ++variant) {
            orbtools::SceneLens lens;
            lens.lensType = type;
            lens.width = variant == 3 ? 2592 : 640, lens.height = variant == 3 ? 1944 : 480;
            lens.centerX = lens.width / 2 + variant, lens.centerY = lens.height / 2 - variant;
            lens.firstRadius = lens.height / 2 - 10, lens.secondRadius = lens.height / 8;
            const int sizes[4][2] = {{7, 5}, {133, 77}, {401, 299}, {1920, 1080}};
            dwtest::SceneView v(lens, sizes[variant][0], sizes[variant][1], variant % 2 ? 7 : 0);
            CameraRecord& r = v.view->record;
            r.flipHorizontal = variant & 1;
            r.flipVertical = (variant >> 1) & 1;
            ASSERT_EQ(v.update(), 1);
            for (int aim = 0; aim < (variant == 3 ? 3 : 12); ++aim)
                for (int k : orb::WindowsOfMode(*v.view)) {
                    ViewPreset& p = r.presets360[k];
                    p.pan = aim == 0 ? 0 : pan(rng), p.tilt = aim == 0 ? -90 : tilt(rng), p.zoom = zoom(rng);
                    const ViewPreset asked = p;
                    const Maps reference = Build(*v.view, k, false);
                    p = asked;
                    const Maps vector = Build(*v.view, k, true);
                    ASSERT_TRUE(reference == vector) << "lens " << type << " variant " << variant << " aim " << p.pan << ", "
                                                     << p.tilt << ", " << p.zoom;
                    ++compared;
                }
        }
    EXPECT_GT(compared, 200);
}

// Hand-made rotations reach what real aims seldom hit: rays with Z' = 0 (the quarter turns),
// X = 0 on either side, the ray with X = Z' = 0, behind the lens, and rows with Y = 0.
TEST(WindowMaps, VectorKernelMatchesOnEdgeRays) {
    KernelGuard guard;
    orbtools::SceneLens lens;
    dwtest::SceneView v(lens, 61, 41, 7);
    ASSERT_EQ(v.update(), 1);
    const orb::DewarpEngine& e = *v.d().engine;
    std::mt19937 rng(7);
    auto pick = [&](std::initializer_list<int64_t> values) { return values.begin()[rng() % values.size()]; };
    for (int round = 0; round < 400; ++round) {
        orb::WindowKernel k;
        k.m00 = pick({0, 1, -1, 1000, -1000, 2731, 90000});
        k.m02 = pick({0, 0, 1, -3, 1000, -2000});
        k.m10 = pick({0, 5, -700});
        k.m11 = pick({0, 1, -1, 1500, -1500});
        k.m12 = pick({0, 0, 2, -900});
        k.m20 = pick({0, 0, 3, -5000, 120000});
        k.m21 = pick({0, 0, -1, 1, 40000, -40000});
        k.m22 = pick({0, 0, 1, -1, 131072, -131072});
        k.r0 = pick({0, 3000, 7000});
        k.cx = 320, k.cy = 240;
        k.effH = int32_t(rng() % 2), k.effV = int32_t(rng() % 2);
        k.cell = {int32_t(rng() % 8), int32_t(rng() % 6), 4 + int32_t(rng() % 50), 1 + int32_t(rng() % 35)};
        Maps out[2];
        for (int vector = 0; vector < 2; ++vector) {
            orb::UseVectorWindowKernel(vector != 0);
            orb::DewarpState& d = v.d();
            std::fill(d.coordMap.begin(), d.coordMap.end(), orb::MapCoord{1234, -4321});
            std::fill(d.fracMap.begin(), d.fracMap.end(), orb::MapFrac{7, 9});
            orb::BuildWindowRows(k, e, d, 0, k.cell.h);
            out[vector] = {d.coordMap, d.fracMap};
        }
        ASSERT_TRUE(out[0] == out[1]) << "round " << round;
    }
}

}  // namespace
