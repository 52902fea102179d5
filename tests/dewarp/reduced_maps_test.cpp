// Maps for pictures decoded at a reduction: the density they measure, the positions they
// store, and what the view shows from a reduced decode against the whole picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "dewarp_fixture.h"
#include "platform/jpeg_codec.h"

namespace {

using dwtest::Dib;
using orbtools::SceneLens;

constexpr int kFullW = 1280, kFullH = 960;

SceneLens BigFisheye() {
    SceneLens l;
    l.width = kFullW;
    l.height = kFullH;
    l.centerX = kFullW / 2;
    l.centerY = kFullH / 2;
    l.firstRadius = kFullH / 2 - 8;
    return l;
}

// The scene through the fisheye, and the camera record of its lens.
HDIB Scene(CameraRecord& record) {
    HDIB picture = orbtools::RenderScene(BigFisheye(), &record);
    orb::FillDefaultPresets(record);
    record.effectiveAngle = 60.0;
    record.tiltMin = -90.0;
    orb::ValidateLensFields(record);
    record.sourceWidth = kFullW;
    record.sourceHeight = kFullH;
    return picture;
}

// A view of the camera of `record`, w x h, in the demo's layout: two windows over the strip.
std::unique_ptr<PanoView> View(const CameraRecord& record, int w, int h) {
    auto v = std::make_unique<PanoView>();
    v->record = record;
    v->record.showMode360 = orb::kShow360TwoWindowsStrip;
    orb::SetViewSize(*v, w, h);
    return v;
}

// Updates the view from a source picture standing for 1/scale of the full camera picture.
void Show(PanoView& v, HDIB source, HDIB out, int scale) {
    orb::AttachScaledPicture(v, source, out, scale, kFullW, kFullH);
    orb::RebuildPanorama(v);
    ASSERT_EQ(orb::UpdatePanorama(v), 1);
}

// The picture averaged over scale x scale blocks: what a reduced decode stands for.
HDIB BoxAverage(HDIB full, int scale) {
    orb::DibLock f(full);
    const int w = f.width() / scale, h = f.height() / scale;
    HDIB out = orb::CreateDIB(w, h, 24);
    orb::DibLock o(out);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < scale; ++j)
                    for (int i = 0; i < scale; ++i) sum += f.rowFromTop(y * scale + j)[(x * scale + i) * 3 + c];
                o.rowFromTop(y)[x * 3 + c] = uint8_t((sum + scale * scale / 2) / (scale * scale));
            }
    return out;
}

double MeanDifference(HDIB a, HDIB b) {
    orb::DibLock la(a), lb(b);
    const int bpp = la.bitCount() / 8;
    double sum = 0;
    for (int y = 0; y < la.height(); ++y)
        for (int x = 0; x < la.width(); ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(la.rowFromTop(y)[x * bpp + c]) - int(lb.rowFromTop(y)[x * bpp + c]));
    return sum / (3.0 * la.width() * la.height());
}

}  // namespace

// The density of a plain resized picture is its step, which is known: a 2592-wide picture
// in a 324-wide view covers 8 source pixels a view pixel, and so on.
TEST(ReducedMaps, DensityOfTheResizedPictureIsItsStep) {
    struct Case {
        int pictureW, pictureH, viewW, viewH, density, scale;
    };
    // density = 100 * sqrt(xStep * yStep) with xStep = (pictureW - 1) / (viewW - 1).
    const Case cases[] = {{2592, 1944, 324, 243, 803, 8}, {2592, 1944, 640, 480, 406, 4}, {640, 480, 320, 240, 200, 2},
                          {640, 480, 300, 200, 227, 2},   {640, 480, 400, 300, 160, 1}, {640, 480, 1280, 960, 50, 1}};
    for (const Case& c : cases) {
        PanoView v;
        v.record.lensType = orb::kLensNormal;
        Dib src(orb::CreateDIB(c.pictureW, c.pictureH, 24)), out(orb::CreateDIB(c.viewW, c.viewH, 24));
        orb::SetViewSize(v, c.viewW, c.viewH);
        orb::AttachPictures(v, src.h, out.h);
        orb::RebuildPanorama(v);
        ASSERT_EQ(orb::UpdatePanorama(v), 1);
        const double step = std::sqrt((c.pictureW - 1.0) / (c.viewW - 1) * (c.pictureH - 1.0) / (c.viewH - 1));
        EXPECT_NEAR(v.dewarp.density[orb::kResizeSlot], step * 100, 1.5) << c.pictureW << " -> " << c.viewW;
        EXPECT_NEAR(orb::MapDensity(v), c.density, 1.5);
        EXPECT_EQ(orb::MapDecodeScale(v), c.scale) << c.pictureW << " -> " << c.viewW;
    }
}

// Maps stored for a 1/4 picture are the maps of a camera that sends that picture with its
// alignment resampled by the same factor (whole numbers here), but for where the reduced
// pixels' centres lie: pixel i of the reduced picture is the mean of full pixels 4i..4i+3,
// centred on full position 4i + 1.5, so the resampled camera's position p is p - 3/8 there.
TEST(ReducedMaps, MatchTheMapsOfTheResampledCamera) {
    CameraRecord full{};
    Dib picture(Scene(full));
    constexpr int s = 4;
    Dib small(BoxAverage(picture.h, s)), out(orb::CreateDIB(480, 360, 24)), out2(orb::CreateDIB(480, 360, 24));

    auto reduced = View(full, 480, 360);
    Show(*reduced, small.h, out.h, s);
    ASSERT_EQ(reduced->dewarp.mapScale, s);
    EXPECT_EQ(reduced->dewarp.srcW, kFullW);  // worked out on the camera's picture

    CameraRecord resampled = full;
    resampled.centerX /= s, resampled.centerY /= s, resampled.firstRadius /= s, resampled.secondRadius /= s;
    resampled.ovalH /= s, resampled.ovalV /= s, resampled.sourceWidth /= s, resampled.sourceHeight /= s;
    auto camera = View(resampled, 480, 360);
    orb::AttachPictures(*camera, small.h, out2.h);
    orb::RebuildPanorama(*camera);
    ASSERT_EQ(orb::UpdatePanorama(*camera), 1);
    ASSERT_EQ(camera->dewarp.mapScale, 1);

    const auto& a = reduced->dewarp;
    const auto& b = camera->dewarp;
    double sum = 0, most = 0;
    int n = 0;
    for (size_t i = 0; i < a.coordMap.size(); ++i) {
        const double ax = a.coordMap[i].x + a.fracMap[i].fx / 256.0, ay = a.coordMap[i].y + a.fracMap[i].fy / 256.0;
        const double bx = b.coordMap[i].x + b.fracMap[i].fx / 256.0, by = b.coordMap[i].y + b.fracMap[i].fy / 256.0;
        if (bx < 1 || by < 1 || bx > kFullW / s - 2 || by > kFullH / s - 2) continue;
        const double d = std::hypot(ax - (bx - 0.375), ay - (by - 0.375));
        sum += d, most = std::max(most, d), ++n;
    }
    ASSERT_GT(n, 480 * 360 / 2);
    EXPECT_LT(sum / n, 0.05);
    EXPECT_LT(most, 0.4);
    // The densities are the same lens's: those of the resampled camera, times the factor.
    for (int slot : {0, 4, orb::kStripSlot})
        EXPECT_NEAR(a.density[size_t(slot)], b.density[size_t(slot)] * s, a.density[size_t(slot)] * 0.05) << slot;
}

// What a view shows from a 1/4 decode equals what it shows from the whole decode averaged
// over 4 x 4 blocks, within a level, and what it shows from the whole picture within a few
// (sampled from the whole picture, a view this small picks single pixels out of the edges).
TEST(ReducedMaps, ReducedDecodeShowsWhatTheWholePictureShows) {
    CameraRecord record{};
    Dib scene(Scene(record));
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(orb::JpegEncodeMemory(scene.h, 90, jpeg));
    const orb::ScaledPicture quarter = orb::JpegDecodeScaled(jpeg.data(), jpeg.size(), orb::PictureBudget(), 4);
    Dib reducedPicture(quarter.picture);
    ASSERT_EQ(quarter.scale, 4);
    ASSERT_EQ(quarter.width, kFullW);
    Dib whole(orb::JpegDecodeBuffer(jpeg.data(), jpeg.size())), averaged(BoxAverage(whole.h, 4));
    {
        orb::DibLock l(reducedPicture.h);
        ASSERT_EQ(l.width(), kFullW / 4);
        ASSERT_EQ(l.height(), kFullH / 4);
    }

    // A 256 x 192 view of a 1280 x 960 camera can take a quarter of it.
    Dib fromReduced(orb::CreateDIB(256, 192, 32)), fromAveraged(orb::CreateDIB(256, 192, 32)),
        fromWhole(orb::CreateDIB(256, 192, 32));
    auto v = View(record, 256, 192);
    Show(*v, whole.h, fromWhole.h, 1);
    EXPECT_EQ(orb::MapDecodeScale(*v), 4);
    Show(*v, reducedPicture.h, fromReduced.h, 4);
    Show(*v, averaged.h, fromAveraged.h, 4);
    EXPECT_LT(MeanDifference(fromReduced.h, fromAveraged.h), 1.0);
    EXPECT_LT(MeanDifference(fromReduced.h, fromWhole.h), 6.0);
    // The wall bands are where they were: the reduced picture is not shifted.
    int same = 0, bands = 0;
    for (int y = 3; y < 192; y += 6)
        for (int x = 3; x < 256; x += 6) {
            orb::DibLock a(fromReduced.h), b(fromWhole.h);
            const uint8_t* p = a.rowFromTop(y) + x * 4;
            const uint8_t* q = b.rowFromTop(y) + x * 4;
            const int ba = orbtools::BandOfColour({p[0], p[1], p[2]}, 20), bb = orbtools::BandOfColour({q[0], q[1], q[2]}, 20);
            if (bb < 0) continue;
            ++bands;
            same += ba == bb;
        }
    ASSERT_GT(bands, 100);
    EXPECT_GE(same, bands * 97 / 100);
}

// Zooming a window in needs more of the picture: the reduction it allows falls, and rises
// again when it zooms out; a larger view needs the whole picture.
TEST(ReducedMaps, ZoomAndSizeDecideTheScale) {
    CameraRecord record{};
    Dib scene(Scene(record));
    Dib out(orb::CreateDIB(160, 120, 24));
    auto v = View(record, 160, 120);
    Show(*v, scene.h, out.h, 1);
    const int small = orb::MapDecodeScale(*v);
    EXPECT_EQ(small, 4);
    EXPECT_EQ(v->dewarp.wantedScale.load(), small);
    for (int i = 0; i < 40; ++i) v->record.presets360[4].zoom = std::max(5.0, v->record.presets360[4].zoom - 3);
    orb::RebuildWindow(*v, 4);
    EXPECT_LT(orb::MapDecodeScale(*v), small);
    EXPECT_EQ(v->dewarp.wantedScale.load(), orb::MapDecodeScale(*v));
    Dib big(orb::CreateDIB(1280, 960, 24));
    auto large = View(record, 1280, 960);
    Show(*large, scene.h, big.h, 1);
    EXPECT_EQ(orb::MapDecodeScale(*large), 1);
}
