// Views that decode only what they show: through the frame pipeline, a small view of a
// five-megapixel camera decodes a reduced picture and says so in its figures, zooming in
// or enlarging it decodes more; motion events, masks and zones are the same at any
// reduction; a snapshot of a small view holds the camera's whole picture.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "analysis/motion_view.h"
#include "camera/frame_pipeline.h"
#include "camera/picture_scale.h"
#include "common/simulated_cameras.h"
#include "config/library_state.h"
#include "config/presets.h"
#include "config/settings.h"
#include "dewarp/navigation.h"
#include "orbiscope_host.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "ui/panoview.h"
#include "ui/snapshot_viewer.h"
#include "support/test_support.h"

using namespace orb;

namespace {

// A camera picture of w x h that costs little to make: bands and a grid, encoded like a
// camera's.
std::vector<uint8_t> PlainJpeg(int w, int h, uint8_t shade = 0) {
    HDIB pic = CreateDIB(w, h, 24);
    {
        DibLock l(pic);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = l.rowFromTop(y);
            for (int x = 0; x < w; ++x) {
                row[x * 3 + 0] = uint8_t(x * 255 / w);
                row[x * 3 + 1] = uint8_t((x / 64 + y / 64) % 2 ? 180 : 60);
                row[x * 3 + 2] = uint8_t(y * 255 / h + shade);
            }
        }
    }
    std::vector<uint8_t> jpeg;
    JpegEncodeMemory(pic, 80, jpeg);
    DestroyDIB(pic);
    return jpeg;
}

// A fisheye view of a 2592 x 1944 camera in the demo's layout.
std::unique_ptr<PanoView> FisheyeView(int w, int h) {
    auto v = std::make_unique<PanoView>();
    orbtools::SceneLens lens = orbtools::SimulatedLensOf(orbtools::SimulatedLens::Fisheye, 2592, 1944);
    lens.halfFov = 90.0;  // a 180-degree fisheye: the reductions below are worked out for it
    FillDefaultPresets(v->record);
    orbtools::FillLensRecord(lens, v->record);
    v->record.effectiveAngle = 60.0;
    v->record.tiltMin = -90.0;
    ValidateLensFields(v->record);
    v->record.sourceWidth = 2592;
    v->record.sourceHeight = 1944;
    v->record.showMode360 = kShow360TwoWindowsStrip;
    v->record.cruiseSpeed = 0;
    v->ui.clientWidth = w;
    v->ui.clientHeight = h;
    SetViewScaledDecode(*v, true);
    return v;
}

OrbViewFigures Figures(PanoView& v) {
    OrbViewFigures f{};
    EXPECT_EQ(OrbiscopeViewFigures(&v, &f), 1);
    return f;
}

struct Quiet {
    orbtest::TempHome home;
    Quiet() {
        g_lib = LibraryState{};
        g_lib.recording = 0;
    }
    ~Quiet() { g_lib = LibraryState{}; }
};

}  // namespace

TEST(ScaledDecode, SmallViewsDecodeLessAndZoomingInDecodesMore) {
    Quiet world;
    const std::vector<uint8_t> jpeg = PlainJpeg(2592, 1944);
    auto v = FisheyeView(320, 240);
    // The first picture is decoded whole: the maps it builds choose the reduction.
    ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(Figures(*v).decodeScale, 1);
    ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    OrbViewFigures f = Figures(*v);
    EXPECT_EQ(f.decodeScale, 8);
    EXPECT_EQ(f.decodedWidth, 324);
    EXPECT_EQ(f.decodedHeight, 243);
    EXPECT_EQ(f.pictureWidth, 2592);
    EXPECT_EQ(f.pictureHeight, 1944);
    EXPECT_GE(f.density, 800);  // where the lens is densest, at least 8 source pixels a view pixel
    {
        std::lock_guard lock(v->ui.viewMutex);
        DibLock l(v->frames.current);
        EXPECT_EQ(l.width(), 324);
        EXPECT_EQ(v->frames.currentW, 2592);  // the camera's size, for the resolution check
    }

    // Zooming the upper window in needs more of the picture, at once: the current picture is
    // decoded again from its bytes.
    {
        std::lock_guard lock(v->ui.viewMutex);
        for (int i = 0; i < 12; ++i) ZoomView(*v, 1, 4);
        ShowPicture(*v, v->frames.current);
    }
    const int zoomed = Figures(*v).decodeScale;
    EXPECT_LT(zoomed, 8);
    ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(Figures(*v).decodeScale, zoomed);
    // Zoomed out again, the next picture is reduced as before.
    {
        std::lock_guard lock(v->ui.viewMutex);
        for (int i = 0; i < 40; ++i) ZoomView(*v, 2, 4);
    }
    ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(Figures(*v).decodeScale, 8);
    // The same camera full screen takes the whole picture.
    v->ui.clientWidth = 1920;
    v->ui.clientHeight = 1080;
    ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(Figures(*v).decodeScale, 1);
    EXPECT_EQ(Figures(*v).decodedWidth, 2592);

    // A video frame enters whole after the decode; the next JPEG picture is reduced again,
    // the maps following each time.
    v->ui.clientWidth = 320;
    v->ui.clientHeight = 240;
    for (int i = 0; i < 2; ++i) ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    ASSERT_EQ(Figures(*v).decodeScale, 8);
    RunDecodedPicture(*v, JpegDecodeBuffer(jpeg.data(), jpeg.size()));
    f = Figures(*v);
    EXPECT_EQ(f.decodeScale, 1);
    EXPECT_EQ(f.decodedWidth, 2592);
    std::vector<uint8_t> wholeView;
    {
        std::lock_guard lock(v->ui.viewMutex);
        DibLock out(v->frames.output);
        wholeView.assign(out.bits(), out.bits() + size_t(out.rowBytes()) * out.height());
    }
    ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(Figures(*v).decodeScale, 8);
    {
        // The same view either way, but for what the reduction averages away.
        std::lock_guard lock(v->ui.viewMutex);
        DibLock out(v->frames.output);
        ASSERT_EQ(size_t(out.rowBytes()) * out.height(), wholeView.size());
        double diff = 0;
        for (size_t i = 0; i < wholeView.size(); ++i) diff += std::abs(int(out.bits()[i]) - int(wholeView[i]));
        EXPECT_LT(diff / double(wholeView.size()), 6.0);
    }

    // Reduced decoding switched off in the settings: every picture whole.
    WriteSetting(kScaledDecodeSection, kScaledDecodeKey, "0");
    auto whole = FisheyeView(320, 240);
    whole->frames.scaledDecode = -1;  // as a view reads it
    for (int i = 0; i < 2; ++i) ASSERT_EQ(RunFramePipeline(*whole, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(Figures(*whole).decodeScale, 1);
    ReleaseFrames(*v);
    ReleaseFrames(*whole);
}

// One camera, four views that decode it whole, at 1/2, 1/4 and 1/8: a square moves over a
// noisy scene, then leaves; the detector of every view reports the same state for every
// picture, the mask (made on the camera's picture) hides the same moves, and the privacy
// zone blacks out the same part of the picture.
TEST(ScaledDecode, MotionMasksAndZonesAreTheSameAtAnyScale) {
    Quiet world;
    g_lib.callerId = 0;  // the desktop host: zones on the pictures
    constexpr int W = 640, H = 480;
    std::vector<std::vector<uint8_t>> sequence;
    uint32_t noise = 99991;
    for (int n = 0; n < 18; ++n) {
        HDIB pic = CreateDIB(W, H, 24);
        {
            DibLock l(pic);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    noise = noise * 1664525u + 1013904223u;
                    const int grain = int(noise >> 28) - 8;  // every picture its own sensor noise
                    uint8_t* p = l.rowFromTop(y) + x * 3;
                    const int base = 70 + (x / 40) * 5 + (y / 60) * 3 + grain;
                    // Frames 4..13: a bright square of 32 x 32 crossing the picture.
                    const bool square = n >= 4 && n < 14 && x >= 64 + 40 * (n - 4) && x < 96 + 40 * (n - 4) &&
                                        y >= 200 && y < 232;
                    p[0] = p[1] = p[2] = uint8_t(std::clamp(square ? base + 90 : base, 0, 255));
                }
        }
        std::vector<uint8_t> jpeg;
        ASSERT_TRUE(JpegEncodeMemory(pic, 85, jpeg));
        DestroyDIB(pic);
        sequence.push_back(std::move(jpeg));
    }
    // The mask hides the right half of the picture, in blocks of the camera's picture.
    auto mask = std::make_shared<MotionMask>();
    mask->header = {0, W, H, BlockCount(W), BlockCount(H)};
    mask->bytes.assign(size_t(BlockCount(W) + 2) * size_t(BlockCount(H) + 2), 0);
    for (int r = 0; r < BlockCount(H); ++r)
        for (int c = BlockCount(W) / 2; c < BlockCount(W); ++c) mask->bytes[size_t(r) * BlockCount(W) + c] = 1;

    const int sizes[4][2] = {{640, 480}, {320, 240}, {160, 120}, {80, 60}};
    std::vector<std::unique_ptr<PanoView>> views;
    std::vector<std::vector<int>> states(4);
    for (int i = 0; i < 4; ++i) {
        auto v = std::make_unique<PanoView>();
        v->record.lensType = kLensNormal;
        v->record.motionSensitivity = 15;
        // A zone cell: row 2, column 3 of the 32 x 32 grid, blacked out.
        v->record.zoneCells[(2 * 32 + 3) / 8] = uint8_t(1u << ((2 * 32 + 3) % 8));
        v->record.zoneStyle = 1;
        v->ui.clientWidth = sizes[i][0];
        v->ui.clientHeight = sizes[i][1];
        SetViewScaledDecode(*v, true);
        PrepareViewZones(*v);
        ASSERT_TRUE(StartMotionDetector(*v));
        ReplaceMotionMask(*v->motionZones.detector, mask);
        for (const auto& jpeg : sequence) {
            ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
            states[size_t(i)].push_back(MotionStateOf(*v));
        }
        views.push_back(std::move(v));
    }
    const int scales[4] = {1, 2, 4, 8};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Figures(*views[size_t(i)]).decodeScale, scales[i]) << sizes[i][0];
    // Learned, quiet, the square seen in the left half, hidden in the right, then quiet.
    std::vector<int> expected(18, kMotionNone);
    expected[0] = kMotionLearned;
    for (int n = 4; n < 14; ++n) expected[size_t(n)] = 64 + 40 * (n - 4) < W / 2 ? kMotionSeen : kMotionNone;
    EXPECT_EQ(states[0], expected);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(states[size_t(i)], states[0]) << "scale " << scales[i];

    // The zone cell lies over columns 60..79 and rows 30..44 of the picture, at any scale.
    for (int i = 0; i < 4; ++i) {
        PanoView& v = *views[size_t(i)];
        std::lock_guard lock(v.ui.viewMutex);
        const int s = scales[i];
        DibLock shown(v.frames.current);
        ASSERT_EQ(shown.width(), W / s);
        auto at = [&](const DibLock& l, int x, int y) { return l.rowFromTop(y)[x * 3 + 1]; };
        EXPECT_EQ(at(shown, 70 / s, 37 / s), 0) << s;
        EXPECT_GT(at(shown, 100 / s, 37 / s), 20) << s;
        HDIB full = FullCurrentPicture(v);
        {
            DibLock whole(full);  // ends before the picture does
            ASSERT_EQ(whole.width(), W);
            for (int y = 30; y < 45; ++y)
                for (int x = 60; x < 80; ++x) ASSERT_EQ(at(whole, x, y), 0) << x << "," << y;
            EXPECT_GT(at(whole, 81, 37), 20);
            EXPECT_GT(at(whole, 59, 37), 20);
        }
        DestroyDIB(full);
    }
    for (auto& v : views) {
        StopMotionDetector(*v);
        ReleaseFrames(*v);
    }
}

TEST(ScaledDecode, SnapshotOfASmallViewHoldsTheWholePicture) {
    Quiet world;
    SetBackend(Backend::Headless);
    ResetWindowing();
    g_lib.systemDriveRoot = world.home.dir + "/";
    MakeDirs(world.home.dir + "/RECVAULT");
    const std::vector<uint8_t> jpeg = PlainJpeg(2592, 1944, 30);
    auto v = FisheyeView(320, 240);
    std::strcpy(v->record.location, "Atrium");
    for (int i = 0; i < 2; ++i) ASSERT_EQ(RunFramePipeline(*v, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    ASSERT_EQ(Figures(*v).decodeScale, 8);
    ASSERT_NE(Snapshot(nullptr, v.get()), nullptr);
    const std::string path = g_snapViewer.view->snapshot.picturePath;
    ASSERT_FALSE(path.empty());
    HDIB stored = JpegLoadFile(path.c_str());
    ASSERT_NE(stored, nullptr);
    HDIB sent = JpegDecodeBuffer(jpeg.data(), jpeg.size());
    {
        DibLock s(stored), o(sent);
        EXPECT_EQ(s.width(), 2592);
        EXPECT_EQ(s.height(), 1944);
        // The camera's picture, once more through the codec at quality 75.
        double sum = 0;
        for (int y = 0; y < 1944; y += 7)
            for (int x = 0; x < 2592 * 3; x += 11) sum += std::abs(int(s.rowFromTop(y)[x]) - int(o.rowFromTop(y)[x]));
        EXPECT_LT(sum / ((1944 / 7 + 1) * (2592 * 3 / 11 + 1)), 3.0);
    }
    EXPECT_EQ(g_snapViewer.view->frames.currentW, 2592);  // the viewer shows it whole too
    DestroyDIB(stored);
    DestroyDIB(sent);
    CloseSnapshotViewer();
    ResetWindowing();
    ReleaseFrames(*v);
}
