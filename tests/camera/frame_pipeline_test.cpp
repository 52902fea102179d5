#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <memory>
#include <thread>
#include <chrono>

#include "analysis/motion_view.h"
#include "camera/capture_thread.h"
#include "common/fake_camera.h"
#include "common/hostile_picture.h"
#include "camera/frame_pipeline.h"
#include "common/scene_renderer.h"
#include "config/settings.h"
#include "config/presets.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
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
        EXPECT_EQ(out.bitCount(), 32);  // the desktop shows it as it is
        for (int band = 0; band < 12; ++band) {
            const int x = (band * 30 + 15) * 720 / 360;
            const uint8_t* p = out.rowFromTop(360 - 60) + x * (out.bitCount() / 8);
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

    // In the tray without a detector: only probed, then recorded, whatever the recording
    // switch says.
    g_lib.background = 1;
    EXPECT_EQ(RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr), FrameResult::Recorded);
    EXPECT_EQ(view->frames.recorded, 5);
    EXPECT_EQ(RunFramePipeline(*view, cut.data() + 10, cut.size() - 10, nullptr), FrameResult::Dropped);
    g_lib.background = 0;
    g_lib.recording = 1;
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

namespace {

// The process's peak resident memory in kB since the last reset.
long PeakKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace

TEST(FramePipeline, APictureAboveTheBudgetIsRefusedFromItsHeader) {
    World world;
    CameraRecord scene{};
    auto view = MakeView(scene);
    StartRecordingContext(view.get());
    AssignRecordingSlot(view.get(), 0, 1);
    std::vector<std::string> lines;
    std::mutex linesLock;
    SetStatusSink([&](orb::RecordView*, int line, const std::string& text) {
        std::lock_guard lock(linesLock);
        lines.push_back(std::to_string(line) + ":" + text);
    });
    const std::vector<uint8_t> hostile = orbtools::HostileJpeg();
    int w = 0, h = 0;
    ASSERT_TRUE(JpegReadSize(hostile.data(), hostile.size(), &w, &h));
    ASSERT_EQ(w, 16384);
    ASSERT_EQ(h, 16384);
    const int64_t operations = JpegOperationCount();
    EXPECT_EQ(RunFramePipeline(*view, hostile.data(), hostile.size(), nullptr), FrameResult::Dropped);
    EXPECT_EQ(JpegOperationCount(), operations);  // never went inside the library
    EXPECT_EQ(view->frames.overBudget, 1);
    EXPECT_EQ(view->frames.recorded, 0);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "2:Picture of 16384 x 16384 refused: above the picture budget of 64 megapixels");
    // The budget is a setting; a picture within it decodes.
    WriteSetting(kBudgetSection, kBudgetKey, "1");
    auto small = MakeView(scene);
    const std::vector<uint8_t> vga = SceneJpeg(640, 480, nullptr), big = SceneJpeg(1280, 960, nullptr);
    EXPECT_EQ(ViewPictureBudget(*small), 1000000);
    EXPECT_EQ(RunFramePipeline(*small, vga.data(), vga.size(), nullptr), FrameResult::Shown);
    EXPECT_EQ(RunFramePipeline(*small, big.data(), big.size(), nullptr), FrameResult::Dropped);
    EXPECT_EQ(small->frames.overBudget, 1);
    DecodeStatus status = DecodeStatus::Ok;
    EXPECT_EQ(JpegDecodeWithin(big.data(), big.size(), 1000000, &status, &w, &h), nullptr);
    EXPECT_EQ(status, DecodeStatus::OverBudget);
    EXPECT_EQ(w, 1280);
    SetStatusSink({});
    ReleaseFrames(*small);
    ReleaseFrames(*view);
    StopRecordingContext(view.get());
}

TEST(FramePipeline, AHostileCameraNeitherStarvesNorLosesTheOthersPictures) {
    World world;
    SetSleeper({});  // real pauses between reconnects: a stop wakes them
    SetStatusSink({});
    const std::vector<uint8_t> hostile = orbtools::HostileJpeg();

    // The attacker's camera pushes the hostile picture as fast as it can; a normal camera
    // beside it pushes ordinary pictures.
    orbtools::FakeCameraOptions evil;
    evil.framesPerSecond = 50;
    evil.picture = [&](int) { return hostile; };
    orbtools::FakeCamera evilCam(evil);
    orbtools::FakeCameraOptions plain;
    plain.framesPerSecond = 25;
    orbtools::FakeCamera plainCam(plain);
    const int evilPort = evilCam.Start(), plainPort = plainCam.Start();
    ASSERT_GT(evilPort, 0);
    ASSERT_GT(plainPort, 0);

    auto camera = [](int model, int port, const char* location) {
        auto v = std::make_unique<PanoView>();
        SetText(v->record.address, "127.0.0.1");
        v->record.httpPort = port;
        v->record.modelIndex = model;
        v->record.lensType = kLensNormal;
        SetText(v->record.location, location);
        v->ui.clientWidth = 160;
        v->ui.clientHeight = 120;
        return v;
    };
    auto attacked = camera(2, evilPort, "Evil");
    auto normal = camera(2, plainPort, "Hall");
    for (PanoView* v : {normal.get(), attacked.get()}) StartRecordingContext(v);
    AssignRecordingSlot(normal.get(), 0, 2);
    AssignRecordingSlot(attacked.get(), 1, 2);

    ResetPeak();
    const long before = PeakKb();
    ASSERT_TRUE(StartCapture(attacked.get()));
    ASSERT_TRUE(StartCapture(normal.get()));
    const auto wait = [](auto done) {
        for (int i = 0; i < 12000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return done();
    };
    EXPECT_TRUE(wait([&] { return normal->frames.recorded >= 40 && attacked->frames.overBudget >= 20; }))
        << normal->frames.recorded << " " << attacked->frames.overBudget;
    // Every picture the normal camera sent is recorded: stop it, then count. The last one
    // sent is complete only once the next part's boundary arrives, which it never does.
    plainCam.Stop();
    EXPECT_TRUE(wait([&] { return normal->frames.recorded >= plainCam.PicturesSent() - 1; }));
    StopCapture(normal.get());
    StopCapture(attacked.get());
    evilCam.Stop();
    const long peak = PeakKb();

    EXPECT_GE(normal->frames.recorded, plainCam.PicturesSent() - 1);
    EXPECT_LE(normal->frames.recorded, plainCam.PicturesSent());
    EXPECT_EQ(normal->frames.pictures, normal->frames.recorded);
    EXPECT_EQ(attacked->frames.recorded, 0);
    EXPECT_EQ(attacked->frames.pictures, 0);
    // One hostile picture once took 1.8 GB; now none is decoded. The bound leaves room for
    // the sanitizers' own bookkeeping.
    EXPECT_LT(peak - before, 512L * 1024) << "peak grew by " << (peak - before) << " kB";
    std::printf("normal camera: %d sent, %d recorded; hostile pictures refused: %d; peak memory growth %ld kB\n",
                plainCam.PicturesSent(), normal->frames.recorded.load(), attacked->frames.overBudget.load(),
                peak - before);
    for (PanoView* v : {normal.get(), attacked.get()}) {
        StopRecordingContext(v);
        ReleaseFrames(*v);
    }
}
