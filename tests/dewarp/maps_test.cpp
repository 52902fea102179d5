#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dewarp_fixture.h"

namespace {

using dwtest::SceneView;
using orbtools::BandAt;
using orbtools::SceneLens;

SceneLens Fisheye() { return SceneLens{}; }
SceneLens RingLens(int type) {
    SceneLens l;
    l.lensType = type;
    l.firstRadius = 230;
    l.secondRadius = 70;
    l.halfFov = 100.0;
    l.effectiveAngle = 60.0;
    return l;
}

// Strip rows from the top of the view: row s of the strip band (0 = its top row).
int StripRow(const SceneView& v, int s) { return v.view->dewarp.H - v.view->dewarp.stripH + s; }

TEST(StripMap, ColumnForAzimuthShowsItsBand) {
    SceneView v(Fisheye(), 720, 360, 2);
    ASSERT_EQ(v.update(), 1);
    const auto& d = v.view->dewarp;
    ASSERT_EQ(d.stripH, 120);
    int checked = 0;
    for (int band = 0; band < 12; ++band) {
        const int x = (band * 30 + 15) * d.W / 360;  // band centre
        for (int s : {5, 20, 40}) {  // wall rows near the rim
            EXPECT_EQ(v.bandAt(x, StripRow(v, s)), band) << "band " << band << " row " << s;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 36);
    // The bottom strip row sits at a tenth of the outer radius: the floor mark around the axis.
    const auto c = v.coord(100, d.H - 1);
    const double rad = std::hypot(c.x - 320, c.y - 240);
    EXPECT_NEAR(rad, 23.0, 1.5);
    // The top row lies on the rim.
    const auto t = v.coord(100, StripRow(v, 0));
    EXPECT_NEAR(std::hypot(t.x - 320, t.y - 240), 230.0, 1.5);
}

TEST(StripMap, RingLensesAndTheirFlips) {
    // Reverse shot: no strip inversion, so the strip reads like the fisheye one.
    SceneView pal6(RingLens(6), 720, 360, 2);
    ASSERT_EQ(pal6.update(), 1);
    const auto& d = pal6.view->dewarp;
    for (int band = 0; band < 12; ++band) {
        const int x = (band * 30 + 15) * d.W / 360;
        EXPECT_EQ(pal6.bandAt(x, StripRow(pal6, 60)), band) << band;
    }
    // Inner radius is the second radius for the ring family.
    const auto c = pal6.coord(0, d.H - 1);
    EXPECT_NEAR(std::hypot(c.x - 320, c.y - 240), 70.0, 1.5);

    // PAL: both inverted, so the map is the reverse shot's turned by a half turn in the
    // view: columns and rows mirrored.
    SceneView pal5(RingLens(5), 720, 360, 2);
    ASSERT_EQ(pal5.update(), 1);
    for (int y = 0; y < d.stripH; ++y)
        for (int x = 0; x < d.W; x += 7) {
            const auto a = pal5.coord(x, StripRow(pal5, y)), b = pal6.coord(d.W - 1 - x, StripRow(pal6, d.stripH - 1 - y));
            ASSERT_EQ(a.x, b.x) << x << "," << y;
            ASSERT_EQ(a.y, b.y) << x << "," << y;
        }
    for (int band = 0; band < 12; ++band) {
        const int x = (band * 30 + 15) * d.W / 360;
        EXPECT_EQ(pal5.bandAt(d.W - 1 - x, StripRow(pal5, d.stripH - 1 - 60)), band) << band;
    }
}

TEST(StripMap, UserFlipsMirrorTheStrip) {
    SceneView plain(Fisheye(), 400, 300, 2);
    ASSERT_EQ(plain.update(), 1);
    SceneView flipped(Fisheye(), 400, 300, 2);
    flipped.view->record.flipHorizontal = 1;
    flipped.view->record.flipVertical = 1;
    ASSERT_EQ(flipped.update(), 1);
    const auto& d = plain.view->dewarp;
    for (int y = 0; y < d.stripH; ++y)
        for (int x = 0; x < d.W; ++x) {
            const auto a = plain.coord(x, StripRow(plain, y));
            const auto b = flipped.coord(d.W - 1 - x, StripRow(flipped, d.stripH - 1 - y));
            ASSERT_TRUE(a.x == b.x && a.y == b.y) << x << "," << y;
        }
}

TEST(StripMap, TwoHalfTurns) {
    SceneView v(Fisheye(), 360, 200, 6);
    ASSERT_EQ(v.update(), 1);
    // Lower strip: first half turn (azimuths 0..180), upper strip: second half turn.
    for (int band = 0; band < 6; ++band) {
        const int x = (band * 30 + 15) * 360 / 180;
        EXPECT_EQ(v.bandAt(x, 100 + 10), band) << band;
        EXPECT_EQ(v.bandAt(x, 10), band + 6) << band;
    }
    // A start angle of a quarter turn (pi/2 radians) moves the strips by 90 degrees.
    v.view->record.panoramaStartAngle = static_cast<float>(M_PI / 2);
    ASSERT_EQ(v.update(), 1);
    EXPECT_EQ(v.bandAt((15) * 2, 110), 3);
}

TEST(VirtualWindow, AimedAtABandShowsItCentred) {
    SceneLens l = Fisheye();
    l.halfFov = 100.0;  // tilt range up to +10 so that a level view fits
    for (int band : {0, 3, 7, 10}) {
        SceneView v(l, 320, 240, 7);
        const double azimuth = band * 30 + 15;
        v.view->record.presets360[3] = {{}, 60.0, azimuth - 90.0, -20.0};
        ASSERT_EQ(v.update(), 1);
        EXPECT_EQ(v.bandAt(160, 120), band);
        // The band's edges lie at the same distance left and right of the centre.
        int left = 160, right = 160;
        while (left > 0 && v.bandAt(left - 1, 120) == band) --left;
        while (right < 319 && v.bandAt(right + 1, 120) == band) ++right;
        EXPECT_GT(right - left, 40);
        EXPECT_LT(right - left, 300);
        EXPECT_NEAR(160 - left, right - 160, 3) << band;
        EXPECT_EQ(v.bandAt(left - 3, 120), (band + 11) % 12);
        EXPECT_EQ(v.bandAt(right + 3, 120), (band + 1) % 12);
        EXPECT_DOUBLE_EQ(v.view->record.presets360[3].pan, azimuth - 90.0);
    }
}

TEST(VirtualWindow, VerticalEdgesStayStraight) {
    SceneLens l = Fisheye();
    l.width = 1280, l.height = 960, l.centerX = 640, l.centerY = 480, l.firstRadius = 470, l.halfFov = 100.0;
    SceneView v(l, 320, 240, 7);
    // Look at the edge between bands 2 and 3 (azimuth 90), slightly down.
    v.view->record.presets360[3] = {{}, 70.0, 0.0, -15.0};
    ASSERT_EQ(v.update(), 1);
    std::vector<double> xs, ys;
    for (int y = 20; y < 220; y += 10) {
        int x = 0;
        while (x < 319 && v.bandAt(x, y) != 3) ++x;
        if (x == 319 || v.bandAt(x - 1, y) != 2) continue;  // rows on the floor
        xs.push_back(x);
        ys.push_back(y);
    }
    ASSERT_GE(xs.size(), 8u);
    // Least-squares line x = a + b y; every edge point within a pixel of it.
    double sy = 0, sx = 0, syy = 0, sxy = 0;
    const double n = xs.size();
    for (size_t i = 0; i < xs.size(); ++i) sy += ys[i], sx += xs[i], syy += ys[i] * ys[i], sxy += xs[i] * ys[i];
    const double b = (n * sxy - sx * sy) / (n * syy - sy * sy), a = (sx - b * sy) / n;
    for (size_t i = 0; i < xs.size(); ++i) EXPECT_NEAR(xs[i], a + b * ys[i], 1.01) << ys[i];
    // Looking down, a vertical edge at the view centre stays upright.
    EXPECT_NEAR(b, 0.0, 0.02);
    EXPECT_NEAR(a, 160, 2);
}

TEST(VirtualWindow, FlipsMirrorTheCell) {
    SceneView plain(Fisheye(), 200, 160, 7);
    plain.view->record.presets360[3] = {{}, 80.0, 30.0, -40.0};
    ASSERT_EQ(plain.update(), 1);
    SceneView flipped(Fisheye(), 200, 160, 7);
    flipped.view->record.presets360[3] = {{}, 80.0, 30.0, -40.0};
    flipped.view->record.flipHorizontal = 1;
    ASSERT_EQ(flipped.update(), 1);
    for (int y = 0; y < 160; y += 3)
        for (int x = 0; x < 200; ++x) {
            const auto a = plain.coord(x, y), b = flipped.coord(199 - x, y);
            ASSERT_TRUE(a.x == b.x && a.y == b.y) << x << "," << y;
        }
    // A convex mirror inverts both directions of its views; a user flip on top cancels one.
    SceneView m(RingLens(4), 200, 160, 7);
    m.view->record.presets360[3] = {{}, 60.0, 30.0, -20.0};
    ASSERT_EQ(m.update(), 1);
    SceneView r(RingLens(6), 200, 160, 7);  // reverse shot: vertical inversion only
    r.view->record.presets360[3] = {{}, 60.0, 30.0, -20.0};
    r.view->record.flipHorizontal = 1;
    ASSERT_EQ(r.update(), 1);
    for (int y = 0; y < 160; y += 5)
        for (int x = 0; x < 200; x += 3) {
            const auto a = m.coord(x, y), b = r.coord(x, y);
            ASSERT_TRUE(a.x == b.x && a.y == b.y) << x << "," << y;
        }
}

TEST(VirtualWindow, TiltAtTheAxisMapsToTheCentre) {
    SceneView v(Fisheye(), 320, 240, 7);
    v.view->record.presets360[3] = {{}, 90.0, 0.0, -90.0};
    ASSERT_EQ(v.update(), 1);
    const auto c = v.coord(159, 120);
    EXPECT_NEAR(c.x, 320, 1);
    EXPECT_NEAR(c.y, 240, 1);
    EXPECT_EQ(v.at(159, 120), (orbtools::Bgr{253, 253, 253}));  // the white axis mark
}

TEST(VirtualWindow, LimitsFitAndRefuse) {
    SceneView v(RingLens(5), 320, 240, 7);
    v.view->record.presets360[3] = {{}, 100.0, 0.0, -20.0};
    ASSERT_EQ(v.update(), 1);
    // Range 60 degrees on the PAL: the view angle shrinks by 3.5-degree steps until it fits.
    const double z = v.view->record.presets360[3].zoom;
    EXPECT_LT(z, 100.0);
    EXPECT_DOUBLE_EQ(std::fmod(100.0 - z, 3.5), 0.0);
    const double vh = std::atan(std::tan(z * M_PI / 360) * 240 / 320) * 180 / M_PI;
    EXPECT_LE(2 * vh, 60.0);
    EXPECT_GT(2 * std::atan(std::tan((z + 3.5) * M_PI / 360) * 0.75) * 180 / M_PI, 60.0);
    // The tilt is held inside the band the ring covers.
    EXPECT_LE(v.view->record.presets360[3].tilt, 10.0 - vh + 1e-9);

    // A view angle above 140 is refused: the window keeps its working values.
    const auto before = v.view->record.presets360[3];
    v.view->record.presets360[3].zoom = 150.0;
    SceneView wide(Fisheye(), 320, 240, 7);
    wide.view->record.presets360[3] = {{}, 150.0, 10.0, -50.0};
    wide.update();
    const double fitted = wide.view->record.presets360[3].zoom;
    EXPECT_GT(fitted, 140.0);  // the wide fisheye range leaves it above the refusal
    EXPECT_EQ(wide.coord(100, 100).x, orb::kBlackEntry.x);  // refused with nothing to fall back on
    v.view->dewarp.dirty[3] = 1;
    v.view->dewarp.pendingRebuild = 0;
    orb::RebuildWindow(*v.view, 3);
    EXPECT_EQ(v.view->record.presets360[3].tilt, before.tilt);
    // A refused first request leaves the cell black instead of guessing.
    SceneView fresh(Fisheye(), 320, 240, 7);
    fresh.view->record.presets360[3] = {{}, 90.0, std::numeric_limits<double>::quiet_NaN(), -30.0};
    ASSERT_EQ(fresh.update(), 1);
    EXPECT_EQ(fresh.coord(100, 100).x, orb::kBlackEntry.x);
    EXPECT_EQ(fresh.at(100, 100), (orbtools::Bgr{0, 0, 0}));
}

TEST(Layout, ModesBuildTheirWindowsOnly) {
    SceneView v(Fisheye(), 640, 480, 2);
    ASSERT_EQ(v.update(), 1);
    const auto& d = v.view->dewarp;
    for (int k = 0; k < 6; ++k) EXPECT_EQ(d.working[k], k == 4 ? 1 : 0) << k;
    EXPECT_EQ(d.cellW, 640);
    EXPECT_EQ(d.cellH, 320);

    struct Want {
        int mode;
        std::vector<int> windows;
    } wants[] = {{0, {3, 0, 1, 2}}, {3, {0, 1, 2}}, {4, {4, 0}}, {5, {}}, {6, {}}, {7, {3}}, {8, {0, 1, 2, 3}},
                 {9, {0, 1, 2, 3, 4, 5}}, {10, {0, 1, 2, 3, 4, 5}}, {42, {3, 0, 1, 2}}};
    for (const auto& w : wants) {
        v.view->record.showMode360 = w.mode;
        EXPECT_EQ(orb::WindowsOfMode(*v.view), w.windows) << w.mode;
    }
    // Cells of mode 9 tile the top two thirds: the right column takes the odd pixels.
    SceneView n(Fisheye(), 301, 200, 9);
    EXPECT_EQ(orb::WindowCell(*n.view, 0).x, 200);
    EXPECT_EQ(orb::WindowCell(*n.view, 0).w, 101);
    EXPECT_EQ(orb::WindowCell(*n.view, 5).h, 200 - 2 * 66);
    EXPECT_EQ(orb::WindowCell(*n.view, 1).y, 200 - 2 * 66);
    // Every pixel of every mode's view gets a map entry that lands on the picture.
    for (int mode = 0; mode <= 10; ++mode) {
        SceneView m(Fisheye(), 161, 121, mode);
        ASSERT_EQ(m.update(), 1);
        int black = 0;
        for (size_t i = 0; i < m.d().coordMap.size(); ++i) black += m.d().coordMap[i].x == orb::kBlackEntry.x;
        EXPECT_EQ(black, 0) << "mode " << mode;
    }
}

TEST(Update, SizeChangeRebuildsAndSameSizeDoesNot) {
    SceneView v(Fisheye(), 320, 240, 2);
    ASSERT_EQ(v.update(), 1);
    auto& d = v.view->dewarp;
    const size_t probe = 5;  // an entry in the strip band
    d.coordMap[probe] = {7, 7};
    ASSERT_EQ(orb::UpdatePanorama(*v.view), 1);
    EXPECT_EQ(d.coordMap[probe].x, 7);  // same size: no rebuild
    SceneLens big = Fisheye();
    big.width = 1280, big.height = 960, big.centerX = 640, big.centerY = 480, big.firstRadius = 460;
    dwtest::Dib bigger(orbtools::RenderScene(big));
    orb::AttachPictures(*v.view, bigger.h, v.dst.h);
    d.coordMap[probe] = {7, 7};
    ASSERT_EQ(orb::UpdatePanorama(*v.view), 1);
    EXPECT_NE(d.coordMap[probe].x, 7);
    EXPECT_EQ(d.lastW, 1280);
    // The alignment was made on a 640 x 480 frame, so the strip still reads correctly.
    EXPECT_EQ(v.bandAt((3 * 30 + 15) * 320 / 360, 240 - 60), 3);
}

TEST(Update, RayCurveIdentityChangesNothing) {
    SceneView plain(Fisheye(), 320, 240, 4);
    ASSERT_EQ(plain.update(), 1);
    SceneView curved(Fisheye(), 320, 240, 4);
    curved.view->record.curveEnabled = 1;
    curved.view->record.curve[0] = 1.0f;
    ASSERT_EQ(curved.update(), 1);
    ASSERT_FALSE(curved.d().engine->curve1.empty());
    EXPECT_EQ(curved.d().engine->curve1.size(), 231u);
    EXPECT_EQ(curved.d().engine->curve2.size(), 231u);
    for (size_t i = 0; i < plain.d().coordMap.size(); ++i) {
        // Float coefficients may cut a table entry one 1/64 step low: within a pixel.
        ASSERT_NEAR(plain.d().coordMap[i].x, curved.d().coordMap[i].x, 1) << i;
        ASSERT_NEAR(plain.d().coordMap[i].y, curved.d().coordMap[i].y, 1) << i;
    }
    // A bent curve moves the radii inwards.
    curved.view->record.curve[0] = 0.5f, curved.view->record.curve[1] = 0.5f;
    ASSERT_EQ(curved.update(), 1);
    const auto a = plain.coord(10, 240 - 40), b = curved.coord(10, 240 - 40);
    EXPECT_LT(std::hypot(b.x - 320, b.y - 240), std::hypot(a.x - 320, a.y - 240) - 5);
}

TEST(Update, LensTypeExport) {
    SceneView v(Fisheye(), 320, 240, 7);
    ASSERT_EQ(v.update(), 1);
    v.view->id = orb::RegisterView(v.view.get());
    v.view->record.ownerLink = v.view->id;
    v.view->record.secondRadius = 0;
    EXPECT_EQ(SetLensType(&v.view->record, orb::kLensPal), 1);
    EXPECT_EQ(v.view->record.lensType, orb::kLensPal);
    EXPECT_EQ(v.view->record.secondRadius, 230 / 4);  // validated
    EXPECT_EQ(v.d().pendingRebuild, 2);                // and rebuilt
    EXPECT_EQ(v.view->record.tiltMax, 10.0 - 0.0 + (v.view->record.halfFov - 100.0));
    CameraRecord loose{};
    EXPECT_EQ(SetLensType(&loose, 3), 1);
    EXPECT_EQ(loose.lensType, 3);
    EXPECT_EQ(SetLensType(nullptr, 3), 1);
    orb::UnregisterView(v.view.get());
    RebuildPanorama(nullptr);
    EXPECT_EQ(UpdatePanorama(nullptr), 0);
}

}  // namespace
