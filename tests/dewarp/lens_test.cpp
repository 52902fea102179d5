#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dewarp/dewarp.h"

namespace {

CameraRecord Ring(int32_t type) {
    CameraRecord r{};
    r.lensType = type;
    r.firstRadius = 200;
    r.secondRadius = 200;
    r.halfFov = 100.0;
    r.effectiveAngle = 60.0;
    r.perspectiveDistance = 10.0;
    for (auto& p : r.presets360) p.zoom = 90.0;
    return r;
}

TEST(LensFields, ValidationFallBacks) {
    CameraRecord r = Ring(orb::kLensPal);
    orb::ValidateLensFields(r);
    EXPECT_EQ(r.secondRadius, 50);  // equal radii: a quarter of the outer one
    EXPECT_EQ(r.halfFov, 100.0);

    r.halfFov = 59.9;
    r.lensType = orb::kLensFisheye;
    r.presets360[2].zoom = 136.0;
    r.presets360[3].zoom = 4.0;
    r.panoramaStartAngle = 7.0f;
    r.perspectiveDistance = 1.0;
    orb::ValidateLensFields(r);
    EXPECT_EQ(r.halfFov, 90.0);
    EXPECT_EQ(r.presets360[2].zoom, 130.0);
    EXPECT_EQ(r.presets360[3].zoom, 130.0);
    EXPECT_EQ(r.presets360[0].zoom, 90.0);
    EXPECT_EQ(r.panoramaStartAngle, 0.0f);
    EXPECT_EQ(r.perspectiveDistance, 30.0);
    r.halfFov = 150.0;
    orb::ValidateLensFields(r);
    EXPECT_EQ(r.halfFov, 150.0);
    r.halfFov = std::numeric_limits<double>::quiet_NaN();
    orb::ValidateLensFields(r);
    EXPECT_EQ(r.halfFov, 90.0);

    // Normal cameras are left alone.
    CameraRecord n = Ring(orb::kLensNormal);
    n.halfFov = 1.0;
    orb::ValidateLensFields(n);
    EXPECT_EQ(n.halfFov, 1.0);
    EXPECT_EQ(n.secondRadius, 200);

    CameraRecord h{};
    h.lensType = orb::kLens90;
    h.halfFov = 130.0;
    h.verticalSpan90 = 30;
    h.lensSpan90 = std::numeric_limits<double>::quiet_NaN();
    orb::ValidateLensFields(h);
    EXPECT_EQ(h.halfFov, 90.0);
    EXPECT_EQ(h.verticalSpan90, 120.0);
    EXPECT_EQ(h.lensSpan90, 120.0);
    h.lensType = orb::kLens180;
    h.verticalSpan180 = 200;
    h.verticalCenter180 = 31;
    h.lensSpan180 = 100;
    orb::ValidateLensFields(h);
    EXPECT_EQ(h.verticalSpan180, 125.0);
    EXPECT_EQ(h.verticalCenter180, 0.0);
    EXPECT_EQ(h.lensSpan180, 100.0);
}

TEST(LensFields, DerivedConstants) {
    orb::DewarpEngine e;
    CameraRecord f{};
    f.lensType = orb::kLensFisheye;
    f.firstRadius = 240;
    f.halfFov = 90.0;
    ASSERT_TRUE(orb::DeriveConstants(f, e));
    EXPECT_EQ(f.tiltMax, 0.0);
    EXPECT_EQ(f.tiltMin, -90.0);
    EXPECT_EQ(e.pixelsPer180, 240 * 46080 / 90);
    EXPECT_EQ(e.pixelsPer360, 2 * e.pixelsPer180);
    f.halfFov = -1;
    ASSERT_TRUE(orb::DeriveConstants(f, e));
    EXPECT_EQ(f.halfFov, 90.0);

    CameraRecord r = Ring(orb::kLensConcaveMirror);
    r.secondRadius = 50;
    ASSERT_TRUE(orb::DeriveConstants(r, e));
    EXPECT_EQ(r.tiltMax, 10.0);
    EXPECT_EQ(r.tiltMin, -50.0);
    EXPECT_EQ(e.pixelsPer180, 150 * 46080 / 60);
    r.effectiveAngle = 0;
    r.halfFov = 0;
    ASSERT_TRUE(orb::DeriveConstants(r, e));
    EXPECT_EQ(r.effectiveAngle, 70.0);
    EXPECT_EQ(r.halfFov, 100.0);
    r.lensType = orb::kLensAnnularFisheye;
    r.halfFov = 0;
    orb::DeriveConstants(r, e);
    EXPECT_EQ(r.halfFov, 90.0);

    CameraRecord z{};  // radius 0: no model
    z.lensType = orb::kLensFisheye;
    EXPECT_FALSE(orb::DeriveConstants(z, e));
    EXPECT_EQ(e.pixelsPer360, 0);
    z.lensType = 12;
    EXPECT_FALSE(orb::DeriveConstants(z, e));
    z.lensType = orb::kLens180;
    z.firstRadius = 240;
    z.ovalV = 480;
    z.halfFov = 5;
    orb::DeriveConstants(z, e);
    EXPECT_EQ(z.halfFov, 90.0);
    EXPECT_EQ(e.pixelsPer180, 240 * 256);
    EXPECT_EQ(e.pixelsPer360, e.pixelsPer180);
}

TEST(LensFields, RayCurveCheckAndTables) {
    CameraRecord r{};
    r.curve[0] = 1;
    EXPECT_TRUE(orb::CheckRayCurve(r));
    r.curve[0] = 0.5f, r.curve[1] = 0.5f;
    EXPECT_TRUE(orb::CheckRayCurve(r));
    r.curve[0] = 1, r.curve[1] = 0.5f;
    EXPECT_FALSE(orb::CheckRayCurve(r));
    EXPECT_EQ(r.curve[0], 1.0f);
    EXPECT_EQ(r.curve[1], 0.0f);
    r.curve[0] = 21, r.curve[3] = -20;  // sums to 1 but a4 is out of range
    EXPECT_FALSE(orb::CheckRayCurve(r));

    r.curve[0] = 1, r.curve[1] = r.curve[2] = r.curve[3] = 0;
    auto t = orb::BuildCurveTable(r, 10);
    ASSERT_EQ(t.size(), 11u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(t[i].value, 64 * i);
    EXPECT_EQ(t[3].step, 64);
    EXPECT_EQ(t[10].value, 640);
    EXPECT_EQ(t[10].step, 0);
    r.curve[0] = 0.5f, r.curve[1] = 0.5f;  // f(t) = t(0.5 + 0.5t)
    t = orb::BuildCurveTable(r, 4);
    EXPECT_EQ(t[1].value, static_cast<int>(0.25 * (0.5 + 0.125) * 256));
    EXPECT_EQ(t[0].step, t[1].value);
    EXPECT_TRUE(orb::BuildCurveTable(r, 0).empty());
    EXPECT_TRUE(orb::BuildCurveTable(r, -5).empty());
}

TEST(LensFields, FlipRules) {
    struct Row {
        int type, stripH, stripV, viewH, viewV;
    } rows[] = {{3, 0, 1, 0, 0}, {4, 1, 0, 1, 1}, {5, 1, 1, 1, 0}, {6, 0, 0, 0, 1}, {2, 0, 0, 0, 0}, {7, 0, 0, 0, 0}};
    for (const auto& row : rows) {
        int32_t h = 0, v = 0;
        orb::StripFlips(row.type, h, v);
        EXPECT_EQ(h, row.stripH) << row.type;
        EXPECT_EQ(v, row.stripV) << row.type;
        h = 1, v = 1;  // the inversions act on the user flips
        orb::ViewFlips(row.type, h, v);
        EXPECT_EQ(h, 1 - row.viewH) << row.type;
        EXPECT_EQ(v, 1 - row.viewV) << row.type;
    }
}

}  // namespace
