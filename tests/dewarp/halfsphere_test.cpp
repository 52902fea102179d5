#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

#include "dewarp/halfsphere.h"
#include "dewarp/navigation.h"
#include "dewarp_fixture.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

// Sampled colours within the rounding of the fixed-point sampler.
bool Like(orbtools::Bgr a, orbtools::Bgr b) {
    return std::abs(a.b - b.b) <= 6 && std::abs(a.g - b.g) <= 6 && std::abs(a.r - b.r) <= 6;
}
const orbtools::Bgr kSky{255, 255, 255}, kFloor{190, 190, 190};

CameraRecord HalfRecord(int lens, int model, int projection) {
    CameraRecord r{};
    r.lensType = lens;
    r.lensModel = model;
    r.panoramaProjection = projection;
    r.halfFov = 90.0;
    r.lensSpan180 = 180.0, r.verticalCenter180 = 0, r.verticalSpan180 = 125.0;
    r.lensSpan90 = 120.0, r.verticalCenter90 = 0, r.verticalSpan90 = 120.0;
    r.perspectiveDistance = 10.0;
    return r;
}

// Selector load and the build on a view without a layout.
orb::HalfSphereModel Build(CameraRecord& r) {
    PanoView v;
    v.record = r;
    orb::HalfSphereModel m;
    orb::LoadHalfSphereSelectors(v.record, m);
    orb::BuildHalfSphereProjection(v, m);
    r = v.record;
    return m;
}

TEST(HalfSphere, ModelsRoundTripAxisAndSymmetry) {
    for (int model = 0; model <= 6; ++model) {
        SCOPED_TRACE(testing::Message() << "model " << model);
        CameraRecord r = HalfRecord(orb::kLens180, model, 0);
        if (model == orb::kModelRectilinear) r.halfFov = 60.0;
        const orb::HalfSphereModel m = Build(r);
        double x = 1, y = 1;
        ASSERT_TRUE(orb::LensModelForward(m, 0, 0, x, y));
        EXPECT_NEAR(x, 0.0, 1e-12);
        EXPECT_NEAR(y, 0.0, 1e-12);
        int checked = 0;
        const double lim = 0.9 * std::min(m.lamMax, 80.0), plim = 0.9 * std::min(m.phiMax, 80.0);
        for (double l = -lim; l <= lim; l += lim / 4)
            for (double p = -plim; p <= plim; p += plim / 4) {
                double fx, fy, lam, phi;
                if (!orb::LensModelForward(m, l * kDeg, p * kDeg, fx, fy)) continue;
                ASSERT_TRUE(orb::LensModelInverse(m, fx, fy, lam, phi)) << l << " " << p;
                EXPECT_NEAR(lam / kDeg, l, 1e-6) << p;
                EXPECT_NEAR(phi / kDeg, p, 1e-6) << l;
                double mx, my;
                ASSERT_TRUE(orb::LensModelForward(m, -l * kDeg, -p * kDeg, mx, my));
                EXPECT_NEAR(mx, -fx, 1e-12);
                EXPECT_NEAR(my, -fy, 1e-12);
                ASSERT_TRUE(orb::LensModelForward(m, l * kDeg, -p * kDeg, mx, my));
                EXPECT_NEAR(mx, fx, 1e-12);
                EXPECT_NEAR(my, -fy, 1e-12);
                ++checked;
            }
        EXPECT_GE(checked, 60);
        // Further from the axis lands further out on the lens plane.
        double x1, y1, x2, y2;
        ASSERT_TRUE(orb::LensModelForward(m, 10 * kDeg, 0, x1, y1));
        ASSERT_TRUE(orb::LensModelForward(m, 40 * kDeg, 0, x2, y2));
        EXPECT_GT(x2, x1);
        EXPECT_GT(x1, 0);
    }
}

TEST(HalfSphere, ScalesPutTheRimOnTheLensRadius) {
    CameraRecord r = HalfRecord(orb::kLens180, orb::kModelEquidistant, 0);
    orb::HalfSphereModel m = Build(r);
    EXPECT_DOUBLE_EQ(m.K, 1.0);  // equidistant with halfFov 90
    double x, y;
    ASSERT_TRUE(orb::LensModelForward(m, 90 * kDeg, 0, x, y));
    EXPECT_NEAR(x, 1.0, 1e-12);
    for (int model : {1, 5}) {
        CameraRecord q = HalfRecord(orb::kLens180, model, 0);
        q.halfFov = 80.0, q.lensSpan180 = 160.0;
        const orb::HalfSphereModel mm = Build(q);
        ASSERT_TRUE(orb::LensModelForward(mm, 80 * kDeg, 0, x, y)) << model;
        EXPECT_NEAR(x, 1.0, 1e-9) << model;
    }
    // Stereographic: K = 1 + cos(s), so the rim of a 160-degree span lands at sin(80).
    CameraRecord st = HalfRecord(orb::kLens180, orb::kModelStereographic, 0);
    st.halfFov = 80.0, st.lensSpan180 = 160.0;
    const orb::HalfSphereModel sm = Build(st);
    EXPECT_DOUBLE_EQ(sm.K, 1 + std::cos(80 * kDeg));
    ASSERT_TRUE(orb::LensModelForward(sm, 80 * kDeg, 0, x, y));
    EXPECT_NEAR(x, std::sin(80 * kDeg), 1e-12);
    // Rectilinear: x = K tan(lam), y = K tan(phi) cos(lam), and back.
    CameraRecord rl = HalfRecord(orb::kLens180, orb::kModelRectilinear, 0);
    rl.halfFov = 60.0;
    const orb::HalfSphereModel rm = Build(rl);
    ASSERT_TRUE(orb::LensModelForward(rm, 30 * kDeg, 20 * kDeg, x, y));
    EXPECT_NEAR(x, rm.K * std::tan(30 * kDeg), 1e-12);
    EXPECT_NEAR(y, rm.K * std::tan(20 * kDeg) * std::cos(30 * kDeg), 1e-12);
    double lam = 0, phi = 0;
    ASSERT_TRUE(orb::LensModelInverse(rm, x, y, lam, phi));
    EXPECT_NEAR(lam, 30 * kDeg, 1e-12);
    EXPECT_NEAR(phi, 20 * kDeg, 1e-12);
    // Rectilinear with halfFov 100 stores 60.
    CameraRecord rect = HalfRecord(orb::kLens180, orb::kModelRectilinear, 0);
    rect.halfFov = 100.0;
    Build(rect);
    EXPECT_EQ(rect.halfFov, 60.0);
}

TEST(HalfSphere, SelectorFallBacksAndLimits) {
    CameraRecord r = HalfRecord(orb::kLens180, 9, 5);
    Build(r);
    EXPECT_EQ(r.lensModel, 0);
    EXPECT_EQ(r.panoramaProjection, 0);
    r = HalfRecord(orb::kLens180, -1, 7);
    const orb::HalfSphereModel none = Build(r);
    EXPECT_EQ(r.lensModel, 0);
    EXPECT_EQ(r.panoramaProjection, 7);  // "none" is a known selector
    EXPECT_EQ(none.valid, 0);
    // Equisolid caps the field of view at 125 and widens the lens span to match.
    r = HalfRecord(orb::kLens180, orb::kModelEquisolid, 0);
    r.halfFov = 130.0, r.lensSpan180 = 200.0;
    Build(r);
    EXPECT_EQ(r.halfFov, 125.0);
    EXPECT_EQ(r.lensSpan180, 250.0);
    // Equidistant, 180 lens: longitude +-90, latitude cut to the band of 125 degrees.
    r = HalfRecord(orb::kLens180, orb::kModelEquidistant, 0);
    orb::HalfSphereModel m = Build(r);
    EXPECT_EQ(r.panTiltLimits[0], 62.5);
    EXPECT_EQ(r.panTiltLimits[1], -62.5);
    EXPECT_EQ(r.panTiltLimits[2], 90.0);
    EXPECT_EQ(r.panTiltLimits[3], -90.0);
    EXPECT_NEAR(m.xmax, std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(m.ymin, -62.5 * kDeg, 1e-12);
    // A vertical centre moves the band.
    r.verticalCenter180 = 10.0;
    Build(r);
    EXPECT_EQ(r.panTiltLimits[0], 72.5);
    EXPECT_EQ(r.panTiltLimits[1], -52.5);
    // The general perspective model: limits at the horizon of the sphere, acos(1/d).
    r = HalfRecord(orb::kLens180, orb::kModelPerspective, 0);
    m = Build(r);
    EXPECT_NEAR(m.lamMax, std::acos(0.1) / kDeg, 1e-9);
    EXPECT_NEAR(r.panTiltLimits[0], 62.5, 1e-12);
    // Mercator bounds for +-60 degrees.
    r = HalfRecord(orb::kLens180, orb::kModelEquidistant, orb::kProjMercator);
    r.verticalSpan180 = 120.0;
    m = Build(r);
    EXPECT_NEAR(m.ymax, 1.3170, 5e-5);
    EXPECT_NEAR(m.ymin, -1.3170, 5e-5);
}

TEST(HalfSphere, ProjectionsRoundTrip) {
    for (int p : {0, 1, 2, 3, 4}) {
        for (double l = -80; l <= 80; l += 20)
            for (double f = -80; f <= 80; f += 10) {
                double x, y, lam, phi;
                ASSERT_TRUE(orb::ProjectionForward(p, l * kDeg, f * kDeg, x, y)) << p;
                ASSERT_TRUE(orb::ProjectionInverse(p, x, y, lam, phi)) << p;
                EXPECT_NEAR(lam / kDeg, l, 1e-9) << p;
                EXPECT_NEAR(phi / kDeg, f, 1e-9) << p;
                if (f > 0) {
                    EXPECT_GT(y, 0) << p;  // latitude keeps its sign
                }
            }
    }
    double x, y;
    EXPECT_FALSE(orb::ProjectionForward(7, 0, 0, x, y));
    EXPECT_FALSE(orb::ProjectionInverse(7, 0, 0, x, y));
    EXPECT_FALSE(orb::ProjectionInverse(2, 0, 1.5, x, y));
}

TEST(HalfSphere, CropFit) {
    ViewPreset p{{}, 0.5, 0.9, 0.5};
    orb::FitCrop(p, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(p.pan, 0.75);
    p.pan = 0.1;
    orb::FitCrop(p, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(p.pan, 0.25);
    p.zoom = 3.0;
    orb::FitCrop(p, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(p.zoom, 1.0);
    EXPECT_DOUBLE_EQ(p.pan, 0.5);
    EXPECT_DOUBLE_EQ(p.tilt, 0.5);
}

orbtools::SceneLens HalfLens(int type) {
    orbtools::SceneLens l;
    l.lensType = type;
    l.firstRadius = 230;
    l.halfFov = 90.0;
    return l;
}

struct HalfView : dwtest::SceneView {
    HalfView(int type, int mode180, int perspective, int w = 480, int h = 360) : SceneView(HalfLens(type), w, h, 0) {
        CameraRecord& r = view->record;
        r.showMode180 = mode180;
        r.perspective180 = perspective;
        r.lensModel = orb::kModelEquidistant;
        r.panoramaProjection = orb::kProjEquirectangular;
        r.lensSpan180 = 180.0, r.verticalSpan180 = 125.0;
        r.lensSpan90 = 180.0, r.verticalSpan90 = 125.0;
        orb::ValidateLensFields(r);
    }
};

TEST(HalfSphere, PanoramaStandsUprightAndFollowsTheScene) {
    for (int flip = 0; flip < 2; ++flip) {
        HalfView v(orb::kLens180, 1, 0, 720, 360);
        v.view->record.flipHorizontal = flip;
        ASSERT_EQ(v.update(), 1);
        EXPECT_TRUE(Like(v.at(360, 5), kSky));      // sky on top
        EXPECT_TRUE(Like(v.at(360, 354), kFloor));  // floor below
        // Equirectangular: column c shows longitude -90 + 180 c / (W - 1).
        int checked = 0;
        for (int band = 0; band < 6; ++band) {
            const double lam = band * 30.0 + 15.0 - 90.0;
            int x = static_cast<int>(std::lround((lam + 90.0) / 180.0 * 719));
            if (flip) x = 719 - x;
            EXPECT_EQ(v.bandAt(x, 180), band) << "flip " << flip;
            ++checked;
        }
        EXPECT_EQ(checked, 6);
    }
}

TEST(HalfSphere, EveryShowingModeFillsItsWindows) {
    for (int type : {orb::kLens180, orb::kLens90})
        for (int persp = 0; persp < 2; ++persp)
            for (int mode = 0; mode <= 6; ++mode) {
                SCOPED_TRACE(testing::Message() << "type " << type << " perspective " << persp << " mode " << mode);
                HalfView v(type, mode, persp);
                ASSERT_EQ(v.update(), 1);
                for (int k : orb::WindowsOfMode(*v.view)) {
                    const orb::Cell c = orb::WindowCell(*v.view, k);
                    const orbtools::Bgr px = v.at(c.x + c.w / 2, c.y + c.h / 2);
                    EXPECT_GT(int(px.b) + px.g + px.r, 0) << "window " << k;
                }
            }
}

TEST(HalfSphere, PerspectiveWindowLooksWhereItPoints) {
    HalfView v(orb::kLens180, 4, 1);  // window 4 over the whole view
    auto& p = v.view->record.presetsDegrees[4];
    int checked = 0;
    for (double pan : {-45.0, -15.0, 15.0, 45.0}) {
        p.pan = pan, p.tilt = 0.0, p.zoom = 40.0;
        ASSERT_EQ(v.update(), 1);
        EXPECT_NEAR(p.pan, pan, 1e-9);
        EXPECT_EQ(v.bandAt(240, 180), orbtools::BandAt(pan + 90.0)) << pan;
        ++checked;
    }
    EXPECT_EQ(checked, 4);
    // Tilt 45 looks down at the floor; tilt -45 up at the sky.
    p.pan = 0, p.tilt = 45.0;
    ASSERT_EQ(v.update(), 1);
    EXPECT_TRUE(Like(v.at(240, 180), kFloor));
    p.tilt = -45.0;
    ASSERT_EQ(v.update(), 1);
    EXPECT_TRUE(Like(v.at(240, 180), kSky));
    // Top of the window is higher in the scene than its bottom.
    p.tilt = -30.0;
    ASSERT_EQ(v.update(), 1);
    EXPECT_TRUE(Like(v.at(240, 2), kSky));
    EXPECT_FALSE(Like(v.at(240, 357), kSky));
}

// In mode 5, window 3 is a view of its own preset, not the whole panorama: with
// perspective views on it is built like window 3 of mode 2.
TEST(HalfSphere, ModeFiveWindowThreeIsAView) {
    auto cellOf = [](HalfView& v, int k) {
        const orb::Cell c = orb::WindowCell(*v.view, k);
        std::vector<orb::MapCoord> out;
        for (int y = c.y; y < c.y + c.h; ++y)
            for (int x = c.x; x < c.x + c.w; ++x) out.push_back(v.coord(x, y));
        return out;
    };
    auto same = [](const std::vector<orb::MapCoord>& a, const std::vector<orb::MapCoord>& b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
        return true;
    };
    HalfView five(orb::kLens180, 5, 1), two(orb::kLens180, 2, 1), whole(orb::kLens180, 0, 1);
    ASSERT_EQ(five.update(), 1);
    ASSERT_EQ(two.update(), 1);
    ASSERT_EQ(whole.update(), 1);
    const orb::Cell c5 = orb::WindowCell(*five.view, 3), c2 = orb::WindowCell(*two.view, 3);
    ASSERT_TRUE(c5.w == c2.w && c5.h == c2.h) << c5.w << "x" << c5.h << " " << c2.w << "x" << c2.h;
    EXPECT_TRUE(same(cellOf(five, 3), cellOf(two, 3)));
    EXPECT_FALSE(same(cellOf(five, 3), cellOf(whole, 3)));
}

TEST(HalfSphere, BadInput) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    HalfView v(orb::kLens180, 0, 0);
    v.view->record.presets180[0].pan = nan;
    v.view->record.presetsDegrees[1].zoom = nan;
    EXPECT_EQ(v.update(), 1);
    v.view->record.perspective180 = 1;
    EXPECT_EQ(v.update(), 1);
    v.view->record.ovalH = 0;
    v.update();
    v.view->record.ovalH = 640;
    v.view->record.bandZoom = float(nan);
    v.view->record.showMode180 = 5;
    v.update();
    v.view->record.lensModel = 6;
    v.view->record.perspectiveDistance = nan;
    v.update();
    orb::HalfSphereModel m;
    double x, y;
    EXPECT_FALSE(orb::LensModelForward(m, nan, 0, x, y));
    EXPECT_FALSE(orb::LensModelInverse(m, nan, 0, x, y));
    orb::SetViewSize(*v.view, 0, 0);
    v.update();
}

}  // namespace
