#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "analysis/motion_view.h"
#include "camera/frame_pipeline.h"
#include "common/scene_renderer.h"
#include "config/settings.h"
#include "dewarp/presets.h"
#include "host/library_state.h"
#include "host/panoview.h"
#include "host/texts.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/paths.h"
#include "record/recorder.h"
#include "record/recording_file.h"
#include "support/test_support.h"

using namespace orb;

namespace {

std::vector<uint8_t> SceneJpeg(int w, int h, CameraRecord* record) {
    orbtools::SceneLens lens;
    lens.width = w;
    lens.height = h;
    lens.centerX = w / 2;
    lens.centerY = h / 2;
    lens.firstRadius = h / 2 - 4;
    HDIB pic = orbtools::RenderScene(lens, record);
    std::vector<uint8_t> out;
    JpegEncodeMemory(pic, 85, out);
    DestroyDIB(pic);
    return out;
}

// Storage inside the temp folder, a fixed clock, a sleeper that returns at once.
struct World {
    orbtest::TempHome home;
    World() {
        const std::string root = home.path("disk");
        MakeDirs(root);
        SetDriveProbe({[] { return std::vector<MountEntry>{}; },
                       [](const std::string&, double& f, double& t) {
                           f = 5e11, t = 1e12;
                           return true;
                       }});
        SetLocalClock([] { return SystemTime{2026, 12, 0, 6, 10, 15, 0, 0}; });
        SetSleeper([](int) {});
        WriteSetting("DVR", "StorageRoots", root + ";");
        BuildDriveTable();
        LoadLanguageResource();
        g_lib.callerId = 0;
        g_lib.background = 0;
        g_lib.recording = 1;
        ClearRecordingSlots();
    }
    ~World() {
        SetDriveProbe({});
        SetLocalClock({});
        SetSleeper({});
        g_lib = LibraryState{};
        g_drives = DriveTable{};
        ClearRecordingSlots();
    }
    std::vector<std::string> Recordings() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::recursive_directory_iterator(home.path("disk")))
            if (e.path().extension() == ".P360") out.push_back(e.path());
        return out;
    }
};

std::unique_ptr<PanoView> MakeView(CameraRecord& scene) {
    auto view = std::make_unique<PanoView>();
    view->record = scene;
    FillDefaultPresets(view->record);
    view->record.effectiveAngle = 60.0;
    view->record.tiltMin = -90.0;
    view->record.perspectiveDistance = 10.0;
    view->record.showMode360 = 2;  // a window over the 360 strip
    SetText(view->record.location, "Hall");
    view->ui.clientWidth = 720;
    view->ui.clientHeight = 360;
    return view;
}

}  // namespace

TEST(FramePipeline, PicturesAreShownDewarpedAndRecordedAsReceived) {
    World world;
    CameraRecord scene{};
    const std::vector<uint8_t> jpeg = SceneJpeg(640, 480, &scene);
    auto view = MakeView(scene);
    StartRecordingContext(view.get());
    AssignRecordingSlot(view.get(), 0, 1);

    for (int i = 0; i < 3; ++i) ASSERT_EQ(RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(view->frames.pictures, 3);
    EXPECT_EQ(view->frames.recorded, 3);
    EXPECT_EQ(view->ui.hasPicture, 1);
    EXPECT_EQ(view->frames.sizeChanged, 0);
    ASSERT_NE(view->frames.output, nullptr);
    {
        // The strip shows the wall bands of the scene, band 0 at its left end.
        DibLock out(view->frames.output);
        EXPECT_EQ(out.width(), 720);
        EXPECT_EQ(out.height(), 360);
        for (int band = 0; band < 12; ++band) {
            const int x = (band * 30 + 15) * 720 / 360;
            const uint8_t* p = out.rowFromTop(360 - 60) + x * 3;
            EXPECT_EQ(orbtools::BandOfColour({p[0], p[1], p[2]}), band) << x;
        }
    }
    // A picture of another size is taken and flagged for the view.
    const std::vector<uint8_t> bigger = SceneJpeg(800, 600, nullptr);
    EXPECT_EQ(RunFramePipeline(*view, bigger.data(), bigger.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(view->frames.sizeChanged, 1);
    EXPECT_EQ(view->frames.currentW, 800);
    EXPECT_EQ(view->frames.previousW, 640);

    // Garbage and truncated pictures are dropped and never recorded.
    std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
    EXPECT_EQ(RunFramePipeline(*view, cut.data(), cut.size(), nullptr), FrameResult::Dropped);
    EXPECT_EQ(RunFramePipeline(*view, nullptr, 0, nullptr), FrameResult::Dropped);
    EXPECT_EQ(view->frames.recorded, 4);

    // A stop that arrives during the decode ends the picture's road.
    std::atomic<int32_t> stop{1};
    EXPECT_EQ(RunFramePipeline(*view, jpeg.data(), jpeg.size(), &stop), FrameResult::Stopped);

    // Recording switched off: shown, not recorded.
    g_lib.recording = 0;
    EXPECT_EQ(RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(view->frames.recorded, 4);

    // In the tray without a detector: only probed, then recorded.
    g_lib.recording = 1;
    g_lib.background = 1;
    EXPECT_EQ(RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr), FrameResult::Recorded);
    EXPECT_EQ(RunFramePipeline(*view, cut.data() + 10, cut.size() - 10, nullptr), FrameResult::Dropped);
    g_lib.background = 0;
    StopRecordingContext(view.get());

    // The recording holds exactly the bytes as received.
    const std::vector<std::string> files = world.Recordings();
    ASSERT_EQ(files.size(), 1u);
    DvrContext reader;
    CameraRecord stored{};
    ASSERT_EQ(OpenRecordingForRead(reader, files[0], &stored), OpenResult::Ok);
    ASSERT_EQ(ReadFrameCount(reader), 5);
    ASSERT_TRUE(ReadFrame(reader, 0));
    ASSERT_EQ(reader.loadedSize, static_cast<int32_t>(jpeg.size()));
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), reader.picture.begin()));
    ASSERT_TRUE(ReadFrame(reader, 3));
    EXPECT_EQ(reader.loadedSize, static_cast<int32_t>(bigger.size()));
    EXPECT_STREQ(stored.location, "Hall");
    ReleaseFrames(*view);
    EXPECT_EQ(view->frames.current, nullptr);
}

TEST(FramePipeline, RecordingFollowsMotionWhenADetectorRuns) {
    World world;
    CameraRecord scene{};
    const std::vector<uint8_t> still = SceneJpeg(640, 480, &scene);
    auto view = MakeView(scene);
    view->record.motionOn = 1;
    view->record.motionSensitivity = 15;
    StartRecordingContext(view.get());
    AssignRecordingSlot(view.get(), 0, 1);
    ASSERT_TRUE(StartMotionDetector(*view));
    for (int i = 0; i < 12; ++i) RunFramePipeline(*view, still.data(), still.size(), nullptr);
    // A still scene: only the first picture (the detector's grids being built) is recorded.
    EXPECT_EQ(view->frames.pictures, 12);
    EXPECT_LE(view->frames.recorded, 1);
    // A very different picture is motion.
    HDIB white = CreateDIB(640, 480, 24);
    {
        DibLock l(white);
        std::memset(l.bits(), 255, size_t(l.rowBytes()) * 480);
    }
    std::vector<uint8_t> moved;
    ASSERT_TRUE(JpegEncodeMemory(white, 80, moved));
    DestroyDIB(white);
    const int before = view->frames.recorded;
    RunFramePipeline(*view, moved.data(), moved.size(), nullptr);
    EXPECT_EQ(view->frames.recorded, before + 1);
    StopMotionDetector(*view);
    StopRecordingContext(view.get());
}
