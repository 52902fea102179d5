#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "dewarp/navigation.h"
#include "ui/composition.h"
#include "dewarp_fixture.h"
#include "config/library_state.h"
#include "orbiscope.h"
#include "ui/ui_state.h"

namespace {

struct Invert {  // sets MouseInvert for one case
    explicit Invert(int on) : before(orb::g_lib.mouseInvert) { orb::g_lib.mouseInvert = on; }
    ~Invert() { orb::g_lib.mouseInvert = before; }
    int before;
};

std::unique_ptr<PanoView> NewView(int lens, int mode360 = 0, int mode180 = 0) {
    auto v = std::make_unique<PanoView>();
    orb::FillDefaultPresets(v->record);
    v->record.lensType = lens;
    v->record.showMode360 = mode360;
    v->record.showMode180 = mode180;
    v->record.tiltMax = 0.0;
    v->record.tiltMin = -90.0;
    v->record.halfFov = 90.0;
    const double limits[8] = {125.0, -125.0, 90.0, -90.0, 90.0, -90.0, 125.0, -125.0};
    std::memcpy(v->record.panTiltLimits, limits, sizeof limits);
    return v;
}

// Everything but the named preset must stay as it was.
void ExpectOnlyPresetChanged(const CameraRecord& before, const CameraRecord& after, const ViewPreset* changed) {
    CameraRecord a = before, b = after;
    if (changed) {
        const size_t off = reinterpret_cast<const uint8_t*>(changed) - reinterpret_cast<const uint8_t*>(&after);
        std::memset(reinterpret_cast<uint8_t*>(&a) + off, 0, sizeof(ViewPreset));
        std::memset(reinterpret_cast<uint8_t*>(&b) + off, 0, sizeof(ViewPreset));
    }
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

struct Case360 {
    int lens, mode, invert, flipH, flipV, code, window;
    double step;
    int target;  // preset that must change, -1: none
    double p0, t0, p, t;
};

TEST(Navigation, MoveCommandsOf360Lenses) {
    const Case360 cases[] = {
        {2, 0, 0, 0, 0, 1110, 0, 5, 0, 10, -30, 5, -30},       // fisheye: 1110 decreases the pan
        {2, 0, 0, 0, 0, 1112, 0, 5, 0, 10, -30, 15, -30},      // and 1112 increases it
        {2, 0, 0, 0, 0, 2024, 1, 5, 1, 10, -30, 5, -30},
        {2, 0, 0, 0, 0, 2025, 1, 5, 1, 10, -30, 15, -30},
        {2, 0, 0, 0, 0, 1112, 0, 5, 0, 178, -30, -177, -30},   // wraps at +180
        {2, 0, 0, 0, 0, 1110, 0, 0, 0, -180, -30, 177, -30},   // default step 3 and wrap at -180
        {4, 0, 0, 0, 0, 1110, 0, 5, 0, 10, -30, 15, -30},      // convex mirror reverses the pan
        {5, 0, 0, 0, 0, 1110, 0, 5, 0, 10, -30, 15, -30},      // so does the ring lens 5
        {3, 0, 0, 0, 0, 1110, 0, 5, 0, 10, -30, 5, -30},       // but not the concave mirror
        {2, 0, 1, 0, 0, 1110, 0, 5, 0, 10, -30, 15, -30},      // MouseInvert
        {2, 0, 0, 1, 0, 1110, 0, 5, 0, 10, -30, 15, -30},      // horizontal flip
        {2, 0, 1, 1, 0, 1110, 0, 5, 0, 10, -30, 5, -30},       // both cancel
        {2, 0, 0, 0, 1, 1110, 0, 5, 0, 10, -30, 5, -30},       // vertical flip leaves the pan
        {2, 0, 0, 0, 0, 1111, 0, 0, 0, 10, -30, 10, -36},      // tilt: default step 6
        {2, 0, 0, 0, 0, 1113, 0, 0, 0, 10, -30, 10, -24},
        {2, 0, 0, 0, 0, 2022, 2, 2, 2, 10, -30, 10, -28},
        {2, 0, 0, 0, 0, 2023, 2, 2, 2, 10, -30, 10, -32},
        {3, 0, 0, 0, 0, 1111, 0, 0, 0, 10, -30, 10, -24},      // concave mirror reverses the tilt
        {5, 0, 0, 0, 0, 1111, 0, 0, 0, 10, -30, 10, -24},
        {4, 0, 0, 0, 0, 1111, 0, 0, 0, 10, -30, 10, -36},      // convex mirror does not
        {2, 0, 0, 0, 1, 1111, 0, 0, 0, 10, -30, 10, -24},      // vertical flip
        {2, 0, 1, 0, 1, 1111, 0, 0, 0, 10, -30, 10, -36},
        {2, 0, 0, 0, 0, 1111, 0, 50, 0, 10, -30, 10, -80},     // no clamp in the command
        {2, 2, 0, 0, 0, 1110, 2, 5, 4, 10, -30, 5, -30},       // mode 2: window 4
        {2, 7, 0, 0, 0, 1110, 0, 5, 3, 10, -30, 5, -30},       // mode 7: window 3
        {2, 4, 0, 0, 0, 1110, 2, 5, 0, 10, -30, 5, -30},       // mode 4: not 4 becomes 0
        {2, 4, 0, 0, 0, 1110, 4, 5, 4, 10, -30, 5, -30},
        {11, 9, 0, 0, 0, 1110, 5, 5, 5, 10, -30, 5, -30},
        {2, 5, 0, 0, 0, 1110, 0, 5, -1, 10, -30, 0, 0},        // modes 5 and 6 ignore it
        {2, 6, 0, 0, 0, 1110, 0, 5, -1, 10, -30, 0, 0},
        {1, 0, 0, 0, 0, 1110, 0, 5, -1, 10, -30, 0, 0},        // normal camera
        {10, 0, 0, 0, 0, 1110, 0, 5, -1, 10, -30, 0, 0},       // mechanical PTZ
        {2, 0, 0, 0, 0, 1114, 0, 5, -1, 10, -30, 0, 0},        // unknown code
        {2, 0, 0, 0, 0, 1100, 0, 5, -1, 10, -30, 0, 0},
        {2, 0, 0, 0, 0, 1110, 6, 5, -1, 10, -30, 0, 0},        // window out of range
        {2, 0, 0, 0, 0, 1110, -1, 5, -1, 10, -30, 0, 0},
    };
    int n = 0;
    for (const Case360& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << n++);
        Invert inv(c.invert);
        auto v = NewView(c.lens, c.mode);
        v->record.flipHorizontal = c.flipH;
        v->record.flipVertical = c.flipV;
        const int k = c.target >= 0 ? c.target : 0;
        for (auto& p : v->record.presets360) p.pan = c.p0, p.tilt = c.t0;
        const CameraRecord before = v->record;
        ORBPANOMoveViewPosition(v.get(), c.code, c.window, c.step);
        if (c.target < 0) {
            ExpectOnlyPresetChanged(before, v->record, nullptr);
            EXPECT_EQ(v->dewarp.dirty[k], 0);
            continue;
        }
        EXPECT_NEAR(v->record.presets360[k].pan, c.p, 1e-9);
        EXPECT_NEAR(v->record.presets360[k].tilt, c.t, 1e-9);
        EXPECT_EQ(v->record.presets360[k].zoom, before.presets360[k].zoom);
        EXPECT_EQ(v->dewarp.dirty[k], 1);
        ExpectOnlyPresetChanged(before, v->record, &v->record.presets360[k]);
    }
}

TEST(Navigation, ZoomOf360Lenses) {
    struct Case {
        int lens, mode, direction, window, target;
        double z0, z;
    };
    const Case cases[] = {
        {2, 0, 1, 0, 0, 7.0, 5.0},     {2, 0, 2, 0, 0, 134.0, 135.0}, {2, 0, 1, 1, 1, 90.0, 86.5},
        {2, 0, 2, 1, 1, 90.0, 93.5},   {2, 0, 0, 1, 1, 90.0, 86.5},   {2, 0, 7, 3, 3, 5.0, 5.0},
        {2, 0, 2, 3, 3, 135.0, 135.0}, {2, 2, 1, 2, 4, 90.0, 86.5},   {2, 7, 1, 0, 3, 90.0, 86.5},
        {2, 4, 1, 5, 0, 90.0, 86.5},   {2, 5, 1, 0, -1, 90.0, 0},     {1, 0, 1, 0, -1, 90.0, 0},
        {2, 0, 1, 6, -1, 90.0, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << n++);
        auto v = NewView(c.lens, c.mode);
        for (auto& p : v->record.presets360) p.zoom = c.z0;
        const CameraRecord before = v->record;
        ORBPANOZoom(v.get(), c.direction, 12345, c.window);
        if (c.target < 0) {
            ExpectOnlyPresetChanged(before, v->record, nullptr);
            continue;
        }
        EXPECT_NEAR(v->record.presets360[c.target].zoom, c.z, 1e-9);
        ExpectOnlyPresetChanged(before, v->record, &v->record.presets360[c.target]);
    }
}

TEST(Navigation, HalfSphereFamily) {
    // Normalised presets: the tilt runs the other way round, values stay in [0, 1].
    struct Case {
        int lens, mode, invert, code, window;
        double p0, t0, p, t;
        bool acts;
    };
    const Case moves[] = {
        {8, 0, 0, 1110, 0, 0.3, 0.5, 0.27, 0.5, true},  {8, 0, 0, 1112, 0, 0.3, 0.5, 0.33, 0.5, true},
        {8, 0, 0, 1111, 1, 0.3, 0.5, 0.3, 0.53, true},  {8, 0, 0, 1113, 1, 0.3, 0.5, 0.3, 0.47, true},
        {8, 0, 1, 1111, 1, 0.3, 0.5, 0.3, 0.47, true},  {8, 0, 0, 1113, 2, 0.3, 0.01, 0.3, 0.0, true},
        {8, 0, 0, 1112, 2, 0.99, 0.5, 1.0, 0.5, true},  {9, 0, 0, 1110, 0, 0.3, 0.5, 0.27, 0.5, true},
        {8, 0, 0, 1110, 3, 0.3, 0.5, 0, 0, false},      {8, 6, 0, 1110, 3, 0.3, 0.5, 0, 0, false},
        {8, 2, 0, 1110, 3, 0.3, 0.5, 0.27, 0.5, true},  {8, 1, 0, 1110, 0, 0.3, 0.5, 0, 0, false},
        {9, 3, 0, 1110, 0, 0.3, 0.5, 0, 0, false},      {8, 0, 0, 1110, 5, 0.3, 0.5, 0, 0, false},
    };
    int n = 0;
    for (const Case& c : moves) {
        SCOPED_TRACE(testing::Message() << "move " << n++);
        Invert inv(c.invert);
        auto v = NewView(c.lens, 0, c.mode);
        auto& group = c.lens == 8 ? v->record.presets180 : v->record.presets90;
        for (auto& p : group) p.pan = c.p0, p.tilt = c.t0;
        const CameraRecord before = v->record;
        ORBPANOMoveViewPosition(v.get(), c.code, c.window, 25.0);  // the step is not used here
        if (!c.acts) {
            ExpectOnlyPresetChanged(before, v->record, nullptr);
            continue;
        }
        EXPECT_NEAR(group[c.window].pan, c.p, 1e-12);
        EXPECT_NEAR(group[c.window].tilt, c.t, 1e-12);
        ExpectOnlyPresetChanged(before, v->record, &group[c.window]);
    }
    // Normalised zoom: 0.03 steps within [0.03, 1.0]; in mode 6 window 3 zooms but does not move.
    const double zooms[][3] = {{1, 0.7, 0.67}, {2, 0.7, 0.73}, {2, 0.99, 1.0}, {1, 0.04, 0.03}};
    for (const auto& z : zooms) {
        auto v = NewView(8, 0, 6);
        v->record.presets180[3].zoom = z[1];
        ORBPANOZoom(v.get(), int(z[0]), 0, 3);
        EXPECT_NEAR(v->record.presets180[3].zoom, z[2], 1e-12);
    }
    // Mode 5 window 1 steers the band tilt and zoom of the record.
    {
        auto v = NewView(8, 0, 5);
        v->record.bandTilt = 10.0f, v->record.bandZoom = 100.0f;
        ORBPANOMoveViewPosition(v.get(), 1111, 1, 0);
        EXPECT_FLOAT_EQ(v->record.bandTilt, 9.0f);
        ORBPANOMoveViewPosition(v.get(), 1113, 1, 0);
        ORBPANOMoveViewPosition(v.get(), 1113, 1, 0);
        EXPECT_FLOAT_EQ(v->record.bandTilt, 11.0f);
        v->record.bandTilt = 39.5f;
        ORBPANOMoveViewPosition(v.get(), 1113, 1, 0);
        EXPECT_FLOAT_EQ(v->record.bandTilt, 40.0f);
        const CameraRecord before = v->record;
        ORBPANOMoveViewPosition(v.get(), 1110, 1, 0);  // no pan on the band
        ExpectOnlyPresetChanged(before, v->record, nullptr);
        ORBPANOZoom(v.get(), 1, 0, 1);
        EXPECT_FLOAT_EQ(v->record.bandZoom, 97.0f);
        ORBPANOZoom(v.get(), 2, 0, 1);
        ORBPANOZoom(v.get(), 0, 0, 1);
        EXPECT_FLOAT_EQ(v->record.bandZoom, 103.0f);
        v->record.bandZoom = 16.0f;
        ORBPANOZoom(v.get(), 1, 0, 1);
        EXPECT_FLOAT_EQ(v->record.bandZoom, 15.0f);
        v->record.bandZoom = 199.0f;
        ORBPANOZoom(v.get(), 2, 0, 1);
        EXPECT_FLOAT_EQ(v->record.bandZoom, 200.0f);
    }
}

TEST(Navigation, PerspectivePresetsPassTheValidityTest) {
    auto v = NewView(8, 0, 0);
    v->record.perspective180 = 1;
    auto& p = v->record.presetsDegrees[0];  // 80, 0, -30
    ORBPANOMoveViewPosition(v.get(), 1110, 0, 0);
    EXPECT_NEAR(p.pan, -6.0, 1e-12);
    ORBPANOMoveViewPosition(v.get(), 1111, 0, 0);
    EXPECT_NEAR(p.tilt, -26.0, 1e-12);
    ORBPANOMoveViewPosition(v.get(), 1113, 0, 3);
    EXPECT_NEAR(p.tilt, -29.0, 1e-12);
    EXPECT_EQ(v->dewarp.working[0], 1);
    EXPECT_NEAR(v->dewarp.pan[0], -6.0, 1e-12);
    ORBPANOZoom(v.get(), 1, 0, 0);
    EXPECT_NEAR(p.zoom, 73.0, 1e-12);
    ORBPANOZoom(v.get(), 2, 0, 0);
    ORBPANOZoom(v.get(), 2, 0, 0);
    EXPECT_NEAR(p.zoom, 87.0, 1e-12);
    // An edge beyond the longitude limit shifts the pan back by the overshoot.
    p.zoom = 80.0, p.tilt = 0.0, p.pan = 40.0;
    ORBPANOMoveViewPosition(v.get(), 1112, 0, 20.0);
    EXPECT_NEAR(p.pan, 50.0, 1e-9);  // half width 40 at the horizon
    // A view wider than the longitude range is refused and nothing is stored.
    p.zoom = 150.0, p.tilt = 60.0, p.pan = 0.0;
    v->record.panTiltLimits[2] = 60.0, v->record.panTiltLimits[3] = -60.0;
    const CameraRecord before = v->record;
    ORBPANOMoveViewPosition(v.get(), 1112, 0, 1.0);
    ExpectOnlyPresetChanged(before, v->record, nullptr);
    v->record.panTiltLimits[2] = 90.0, v->record.panTiltLimits[3] = -90.0;
    // The tilt is pulled inside the latitude limits by half the vertical view angle.
    p.zoom = 80.0, p.tilt = 100.0, p.pan = 0.0;
    ORBPANOMoveViewPosition(v.get(), 1110, 0, 1.0);
    EXPECT_NEAR(p.tilt, 125.0 - 40.0, 1e-9);  // square cell before a layout: vh = Z/2
    // Bad numbers are refused.
    double P = std::numeric_limits<double>::quiet_NaN(), T = 0;
    EXPECT_FALSE(orb::PerspectiveValid(*v, 0, P, T, 80.0));
    P = 0;
    EXPECT_FALSE(orb::PerspectiveValid(*v, 0, P, T, 4.0));
    EXPECT_FALSE(orb::PerspectiveValid(*v, 9, P, T, 80.0));
}

TEST(Navigation, DragAndClick) {
    Invert inv(0);
    auto v = NewView(2, 2);
    orb::SetViewSize(*v, 720, 360);
    auto& d = v->dewarp;
    d.prevMouseX = 100, d.prevMouseY = 100, d.mouseX = 120, d.mouseY = 90;
    auto& p = v->record.presets360[4];
    p.pan = 175.0, p.tilt = -30.0;
    orb::DragWindow(*v, 0);  // mode 2: window 4
    EXPECT_NEAR(p.pan, 177.0, 1e-9);
    EXPECT_NEAR(p.tilt, -29.0, 1e-9);
    EXPECT_EQ(d.dirty[4], 1);
    d.effH = 1;  // effective flip reverses the pan
    orb::DragWindow(*v, 4);
    EXPECT_NEAR(p.pan, 175.0, 1e-9);
    v->record.lensType = orb::kLensConcaveMirror;
    d.effH = 0;
    p.tilt = -30.0;
    orb::DragWindow(*v, 4);
    EXPECT_NEAR(p.tilt, -31.0, 1e-9);
    // Click on the strip (the bottom third, 120 rows): top edge tilt 0, bottom -0.9 halfFov.
    orb::CenterOnClick(*v, 360, 240, 4);
    EXPECT_NEAR(p.pan, 90.0, 1e-9);
    EXPECT_NEAR(p.tilt, 0.0, 1e-9);
    orb::CenterOnClick(*v, 0, 360, 4);
    EXPECT_NEAR(p.pan, -90.0, 1e-9);
    EXPECT_NEAR(p.tilt, -81.0, 1e-9);
    orb::CenterOnClick(*v, 630, 300, 4);
    EXPECT_NEAR(p.pan, -135.0, 1e-9);  // 225 wrapped
    const CameraRecord before = v->record;
    orb::CenterOnClick(*v, 100, 100, 4);  // above the strip
    ExpectOnlyPresetChanged(before, v->record, nullptr);

    // 180 family: the click inside a cell is mirrored by the flips, then the crop is fitted.
    auto h = NewView(8, 0, 0);
    orb::SetViewSize(*h, 400, 300);
    orb::RebuildPanorama(*h);
    ASSERT_EQ(h->dewarp.cellW, 200);
    auto& c = h->record.presets180[1];
    orb::CenterOnClick(*h, 100, 75, 1);
    EXPECT_NEAR(c.pan, 0.5, 1e-12);
    EXPECT_NEAR(c.tilt, 0.5, 1e-12);
    orb::CenterOnClick(*h, 50, 75, 1);
    EXPECT_NEAR(c.pan, 0.35, 1e-12);  // half of the 0.7 crop
    h->record.flipHorizontal = 1;
    orb::CenterOnClick(*h, 50, 75, 1);
    EXPECT_NEAR(c.pan, 0.65, 1e-12);
    // Normalised drag: 0.1 dx / cellW.
    h->record.flipHorizontal = 0;
    h->dewarp.prevMouseX = 0, h->dewarp.mouseX = 200, h->dewarp.prevMouseY = 0, h->dewarp.mouseY = 0;
    orb::DragWindow(*h, 1);
    EXPECT_NEAR(c.pan, 0.75, 1e-12);
}

TEST(Navigation, DraggedWindowFollowsTheScene) {
    // Pan P looks at azimuth P + 90, like a click at strip column (P + 90) / 360.
    dwtest::SceneView v(orbtools::SceneLens{}, 480, 360, 0);
    auto& d = v.d();
    v.view->record.presets360[0].tilt = -30.0;
    v.view->record.presets360[0].zoom = 40.0;
    ASSERT_EQ(v.update(), 1);
    const orb::Cell cell = orb::WindowCell(*v.view, 0);
    const int cx = cell.x + cell.w / 2, cy = cell.y + cell.h / 2;
    int checked = 0;
    for (int step = 0; step < 12; ++step) {
        const double pan = v.view->record.presets360[0].pan;
        const double az = pan + 90.0;
        EXPECT_EQ(v.bandAt(cx, cy), orbtools::BandAt(az + 15.0 - std::fmod(std::fmod(az, 30.0) + 30.0, 30.0)))
            << "pan " << pan;
        ++checked;
        d.prevMouseX = 0, d.mouseX = 300, d.prevMouseY = d.mouseY = 0;  // +30 degrees
        orb::DragWindow(*v.view, 0);
        ASSERT_EQ(d.dirty[0], 1);
        ASSERT_EQ(orb::UpdatePanorama(*v.view), 1);
    }
    EXPECT_EQ(checked, 12);
}

TEST(Navigation, RenderNowAndHooks) {
    dwtest::SceneView v(orbtools::SceneLens{}, 480, 360, 0);
    ASSERT_EQ(v.update(), 1);
    v.d().renderNow = 1;
    v.d().dirty.fill(0);
    ORBPANOMoveViewPosition(v.view.get(), 1112, 0, 10.0);
    EXPECT_EQ(v.d().dirty[0], 0);  // rebuilt and rendered at once
    EXPECT_NEAR(v.d().pan[0], 10.0, 1e-9);
    auto& hooks = orb::Hooks();
    const orb::ViewHooks saved = hooks;
    hooks.zoom = nullptr, hooks.move = nullptr, hooks.paneAt = nullptr;
    orb::InstallNavigationHooks();
    ASSERT_TRUE(hooks.zoom && hooks.move && hooks.paneAt);
    const orb::Cell c2 = orb::WindowCell(*v.view, 2);
    EXPECT_EQ(hooks.paneAt(v.view.get(), c2.x + 1, c2.y + 1), 2);
    const double z = v.view->record.presets360[2].zoom;
    hooks.zoom(v.view.get(), 2, false);
    EXPECT_GT(v.view->record.presets360[2].zoom, z);
    hooks.move(v.view.get(), 2, 1110);
    EXPECT_EQ(hooks.paneAt(nullptr, 0, 0), 0);
    hooks.zoom(nullptr, 0, true);
    // Hooks plugged in before stay.
    auto mine = [](PanoView*, int, int) { return 7; };
    hooks.paneAt = mine;
    orb::InstallNavigationHooks();
    EXPECT_EQ(hooks.paneAt(nullptr, 0, 0), 7);
    hooks = saved;
}

TEST(Navigation, BadInput) {
    ORBPANOMoveViewPosition(nullptr, 1110, 0, 1.0);
    ORBPANOZoom(nullptr, 1, 0, 0);
    auto v = NewView(2, 0);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const CameraRecord before = v->record;
    ORBPANOMoveViewPosition(v.get(), 1110, 0, nan);
    ORBPANOMoveViewPosition(v.get(), 1110, 0, inf);
    ExpectOnlyPresetChanged(before, v->record, nullptr);
    v->record.presets360[0].pan = 1e300;
    ORBPANOMoveViewPosition(v.get(), 1110, 0, 1.0);  // wraps without looping for ever
    EXPECT_LE(std::fabs(v->record.presets360[0].pan), 180.0);
    v->record.presets360[0].pan = nan;
    ORBPANOMoveViewPosition(v.get(), 1112, 0, 1.0);
    EXPECT_EQ(v->record.presets360[0].pan, 0.0);
    v->record.presets360[0].zoom = nan;
    ORBPANOZoom(v.get(), 1, 0, 0);
    EXPECT_NEAR(v->record.presets360[0].zoom, 86.5, 1e-12);
    EXPECT_EQ(orb::WrapPan(-inf), 0.0);
    // Drags and clicks on a view without a layout.
    orb::DragWindow(*v, 0);
    orb::CenterOnClick(*v, 10, 10, 0);
    auto h = NewView(9, 0, 0);
    orb::CenterOnClick(*h, 10, 10, 0);
    h->record.perspective180 = 1;
    h->record.panTiltLimits[0] = nan;
    ORBPANOMoveViewPosition(h.get(), 1110, 0, 1.0);
    EXPECT_EQ(h->record.presetsDegrees[0].pan, 0.0);
    ViewPreset crop{{}, nan, nan, nan};
    orb::FitCrop(crop, 1.0, 1.0);
    EXPECT_TRUE(std::isfinite(crop.pan) && std::isfinite(crop.tilt) && std::isfinite(crop.zoom));
}

}  // namespace
