#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "dewarp_fixture.h"

namespace {

using dwtest::Dib;

// A picture filled with one colour, or with a pattern by position (x, y from the top).
template <typename F>
HDIB Paint(int w, int h, int bits, F colour) {
    HDIB p = orb::CreateDIB(w, h, bits);
    orb::DibLock l(p);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const orbtools::Bgr c = colour(x, y);
            uint8_t* q = l.rowFromTop(y) + x * (bits / 8);
            q[0] = c.b, q[1] = c.g, q[2] = c.r;
            if (bits == 32) q[3] = 0x5A;
        }
    return p;
}

// Samples a one-row map over a picture into a fresh destination; returns its pixels.
std::vector<uint8_t> SampleOne(HDIB src, std::vector<orb::MapCoord> coords, std::vector<orb::MapFrac> fracs, int dstBits,
                               const orb::ColourTables* ct = nullptr) {
    orb::DibLock s(src);
    const int w = static_cast<int>(coords.size());
    Dib dst(orb::CreateDIB(w, 1, dstBits));
    orb::DibLock d(dst.h);
    std::memset(d.bits(), 0x77, d.rowBytes());
    orb::SampleTarget t{s.bits(), s.rowBytes(), s.width(), s.height(), s.bitCount() / 8, d.bits(), d.rowBytes(), dstBits / 8, ct};
    orb::SampleRows(t, coords.data(), fracs.data(), w, 0, 0, w, 1);
    return std::vector<uint8_t>(d.bits(), d.bits() + w * dstBits / 8);
}

TEST(Sampler, FixedPointLevelsAndBorders) {
    Dib white(Paint(8, 8, 24, [](int, int) { return orbtools::Bgr{255, 255, 255}; }));
    auto out = SampleOne(white.h, {{3, 3}, {3, 3}, {0, 0}}, {{0, 0}, {200, 17}, {255, 255}}, 24);
    for (uint8_t v : out) EXPECT_EQ(v, 253);  // weights sum to 255, result over 65536

    for (int level : {1, 100, 128, 254}) {
        Dib flat(Paint(4, 4, 24, [&](int, int) { return orbtools::Bgr{uint8_t(level), uint8_t(level), uint8_t(level)}; }));
        auto o = SampleOne(flat.h, {{1, 1}}, {{99, 201}}, 24);
        EXPECT_EQ(o[0], (level * 65025) >> 16) << level;
    }

    // x = -1: the block's left column is outside, so it counts as black.
    auto b = SampleOne(white.h, {{-1, 2}, {-2, 2}, {7, 7}, {8, 2}, {2, -1}, {2, -2}, {2, 8}, {-32768, -32768}},
                       {{128, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 128}, {0, 0}, {0, 0}, {0, 0}}, 24);
    EXPECT_EQ(b[0], (255 * (128 * 255)) >> 16);  // half of the right column
    EXPECT_EQ(b[3], 0);                          // x = -2: black
    EXPECT_EQ(b[6], 253);                        // last pixel, fraction 0: only it counts
    EXPECT_EQ(b[9], 0);                          // beyond the right edge
    EXPECT_EQ(b[12], (255 * (128 * 255)) >> 16);
    EXPECT_EQ(b[15], 0);
    EXPECT_EQ(b[18], 0);
    EXPECT_EQ(b[21], 0);
}

TEST(Sampler, InterpolatesBetweenNeighbours) {
    // Blue grows with x, red with y.
    Dib ramp(Paint(16, 16, 24, [](int x, int y) { return orbtools::Bgr{uint8_t(x * 10), 0, uint8_t(y * 10)}; }));
    auto o = SampleOne(ramp.h, {{4, 6}}, {{128, 64}}, 24);
    const int top = 127 * 40 + 128 * 50;  // same in both rows for blue
    EXPECT_EQ(o[0], (255 * top) >> 16);
    EXPECT_EQ(o[2], ((255 - 64) * (255 * 60) + 64 * (255 * 70)) >> 16);
    EXPECT_EQ(o[1], 0);
}

TEST(Sampler, FourByteDestinationsAndColourTables) {
    Dib grey(Paint(4, 4, 32, [](int, int) { return orbtools::Bgr{100, 150, 200}; }));
    auto o = SampleOne(grey.h, {{1, 1}, {-5, 0}}, {{0, 0}, {0, 0}}, 32);
    EXPECT_EQ(o[0], (100 * 65025) >> 16);
    EXPECT_EQ(o[1], (150 * 65025) >> 16);
    EXPECT_EQ(o[2], (200 * 65025) >> 16);
    EXPECT_EQ(o[3], 0x77);  // the fourth byte is left alone
    EXPECT_EQ(o[4], 0);
    EXPECT_EQ(o[7], 0x77);

    orb::ColourTables ct;
    orb::BuildColourTables(0, 0, 0, 0, 0, ct);
    for (int i = 0; i < 256; ++i) ct.blue[i] = 1, ct.green[i] = uint8_t(255 - i), ct.red[i] = uint8_t(i / 2);
    ct.on = 1;
    auto c = SampleOne(grey.h, {{1, 1}}, {{0, 0}}, 24, &ct);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 255 - ((150 * 65025) >> 16));
    EXPECT_EQ(c[2], ((200 * 65025) >> 16) / 2);
    ct.on = 0;
    auto off = SampleOne(grey.h, {{1, 1}}, {{0, 0}}, 24, &ct);
    EXPECT_EQ(off[0], (100 * 65025) >> 16);
}

TEST(ResizeMap, NormalCameraAndFlips) {
    // Distinct columns and rows so that mirrors show.
    Dib src(Paint(64, 48, 24, [](int x, int y) { return orbtools::Bgr{uint8_t(x * 4), uint8_t(y * 5), 9}; }));
    auto view = std::make_unique<PanoView>();
    view->record.lensType = orb::kLensNormal;
    Dib dst(orb::CreateDIB(64, 48, 24));
    orb::SetViewSize(*view, 64, 48);
    orb::AttachPictures(*view, src.h, dst.h);
    orb::RebuildPanorama(*view);
    ASSERT_EQ(orb::UpdatePanorama(*view), 1);
    auto pixel = [&](int x, int y) {
        orb::DibLock l(dst.h);
        const uint8_t* p = l.rowFromTop(y) + 3 * x;
        return orbtools::Bgr{p[0], p[1], p[2]};
    };
    // Same size: the step is exactly one pixel.
    EXPECT_EQ(pixel(10, 20), (orbtools::Bgr{uint8_t((40 * 65025) >> 16), uint8_t((100 * 65025) >> 16), uint8_t((9 * 65025) >> 16)}));
    EXPECT_EQ(pixel(63, 47).b, (252 * 65025) >> 16);  // the last pixel is read, not black

    view->record.flipHorizontal = view->record.flipVertical = 1;
    orb::RebuildPanorama(*view);
    ASSERT_EQ(orb::UpdatePanorama(*view), 1);
    EXPECT_EQ(pixel(10, 20).b, (53 * 4 * 65025) >> 16);  // mirrored across
    EXPECT_EQ(pixel(10, 20).g, (100 * 65025) >> 16);     // not upside down

    // A mirror lens flips by default; its user switch undoes it.
    view->record.lensType = orb::kLensConcaveMirror;
    view->record.showMode360 = 5;
    view->record.flipHorizontal = 0;
    orb::RebuildPanorama(*view);
    ASSERT_EQ(orb::UpdatePanorama(*view), 1);
    EXPECT_EQ(pixel(10, 20).b, (53 * 4 * 65025) >> 16);
    view->record.flipHorizontal = 1;
    orb::RebuildPanorama(*view);
    ASSERT_EQ(orb::UpdatePanorama(*view), 1);
    EXPECT_EQ(pixel(10, 20).b, (40 * 65025) >> 16);
    EXPECT_EQ(pixel(10, 20).g, (27 * 5 * 65025) >> 16);  // vertical mirror now applies

    // Scaling down: the corners map onto the source corners.
    Dib small(orb::CreateDIB(16, 12, 24));
    orb::SetViewSize(*view, 16, 12);
    orb::AttachPictures(*view, src.h, small.h);
    view->record.lensType = orb::kLensNormal;
    view->record.flipHorizontal = view->record.flipVertical = 0;
    orb::RebuildPanorama(*view);
    ASSERT_EQ(orb::UpdatePanorama(*view), 1);
    EXPECT_EQ(view->dewarp.coordMap[0].x, 0);
    EXPECT_NEAR(view->dewarp.coordMap[0].y, 47, 1);  // bottom row of the view: last source row
    EXPECT_NEAR(view->dewarp.coordMap[15].x, 63, 1);
}

TEST(Update, MissingPicturesBusyAndColour) {
    auto view = std::make_unique<PanoView>();
    EXPECT_EQ(orb::UpdatePanorama(*view), 0);
    Dib src(orbtools::RenderScene(orbtools::SceneLens{}, &view->record));
    view->record.showMode360 = 2;
    orb::SetViewSize(*view, 64, 48);
    orb::AttachPictures(*view, src.h, nullptr);
    EXPECT_EQ(orb::UpdatePanorama(*view), 0);
    Dib dst(orb::CreateDIB(64, 48, 24));
    orb::AttachPictures(*view, src.h, dst.h);
    view->dewarp.busy = 5;
    EXPECT_EQ(orb::UpdatePanorama(*view), 5);
    view->dewarp.busy = 0;
    // The first picture builds the tables itself when the host never asked.
    EXPECT_EQ(orb::UpdatePanorama(*view), 1);
    ASSERT_TRUE(view->dewarp.engine);

    // Colour balance on: every pixel goes through the tables (brightness +127 lifts black).
    view->record.colourBalanceOn = 1;
    view->record.colourShift[3] = 127;
    orb::RebuildPanorama(*view);
    ASSERT_EQ(orb::UpdatePanorama(*view), 1);
    orb::DibLock l(dst.h);
    EXPECT_EQ(l.rowFromTop(0)[0], 127);  // a corner outside the lens circle
}

TEST(Golden, SmallFisheyeViewIsByteExact) {
    orbtools::SceneLens lens;
    lens.width = 160, lens.height = 120, lens.centerX = 80, lens.centerY = 60, lens.firstRadius = 58;
    // The reference path is pinned by the picture; the vector paths must match it.
    for (orb::SamplerPath path : {orb::SamplerPath::kScalar, orb::SamplerPath::kSse41, orb::SamplerPath::kAvx2}) {
        if (!orb::SamplerPathRuns(path)) continue;
        orb::SetSamplerPath(path);
        dwtest::SceneView v(lens, 48, 36, 8);
        ASSERT_EQ(v.update(), 1);
        orb::DibLock l(v.dst.h);
        uint64_t hash = 1469598103934665603ull;
        for (int i = 0; i < l.rowBytes() * 36; ++i) hash = (hash ^ l.bits()[i]) * 1099511628211ull;
        EXPECT_EQ(hash, 17467374855996631043ull) << std::hex << hash << " path " << int(path);
    }
    orb::SetSamplerPath(orb::BestSamplerPath());
}

TEST(BadInput, NothingCrashesOrReadsOutside) {
    orbtools::SceneLens lens;
    lens.width = 120, lens.height = 100, lens.centerX = 60, lens.centerY = 50, lens.firstRadius = 45;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int type = -3; type <= 14; ++type)
        for (int mode : {0, 2, 3, 5, 6, 7, 9, 10, 77, -1}) {
            for (int variant = 0; variant < 7; ++variant) {
                dwtest::SceneView v(lens, variant == 3 ? 1 : 37, variant == 3 ? 1 : 29, mode, variant == 6 ? 32 : 24);
                CameraRecord& r = v.view->record;
                r.lensType = type;
                r.showMode180 = mode;
                switch (variant) {
                    case 0: r.ovalH = 0; r.ovalV = -4; break;
                    case 1: r.firstRadius = 0; r.secondRadius = 0; break;
                    case 2: r.halfFov = nan; r.effectiveAngle = nan; r.panoramaStartAngle = NAN;
                            for (auto& p : r.presets360) p = {{}, nan, nan, nan};
                            break;
                    case 3: break;  // one-pixel view
                    case 4: r.firstRadius = 2000000000; r.centerX = -2000000000; r.centerY = 2000000000;
                            r.secondRadius = -7; r.sourceWidth = 1; r.sourceHeight = 100000; break;
                    case 5: r.curveEnabled = 1; r.curve[0] = 1e30f; r.firstRadius = 1 << 24; break;
                    case 6: for (auto& p : r.presets360) p = {{}, 1e300, -1e300, 1e300}; break;
                }
                v.update();
                orb::UpdatePanorama(*v.view);
            }
        }
    // Maps with extreme entries stay inside the picture.
    dwtest::SceneView v(lens, 40, 30, 7);
    ASSERT_EQ(v.update(), 1);
    int16_t extremes[] = {-32768, -2, -1, 0, 1, 118, 119, 120, 32767};
    size_t i = 0;
    for (auto& c : v.d().coordMap) {
        c = {extremes[i % 9], extremes[(i / 9) % 9]};
        v.d().fracMap[i] = {uint8_t(i * 37), uint8_t(i * 91)};
        ++i;
    }
    orb::RenderCell(*v.view, orb::Cell{-5, -5, 100, 100});
    // A destination smaller than the view is filled where it overlaps only.
    dwtest::Dib tiny(orb::CreateDIB(5, 4, 24));
    orb::AttachPictures(*v.view, v.src.h, tiny.h);
    EXPECT_EQ(orb::UpdatePanorama(*v.view), 1);
    // A broken picture header is refused.
    dwtest::Dib broken(orb::CreateDIB(8, 8, 24));
    {
        orb::DibLock l(broken.h);
        int32_t huge = 100000;
        std::memcpy(l.packed + 8, &huge, 4);
    }
    orb::AttachPictures(*v.view, broken.h, v.dst.h);
    EXPECT_EQ(orb::UpdatePanorama(*v.view), 0);
}

}  // namespace
