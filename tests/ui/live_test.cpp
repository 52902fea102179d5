// The live system end to end, headless: the library opened as a host opens it, views
// streaming from fake cameras on 127.0.0.1, and what happens when cameras misbehave.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "camera/capture_thread.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "ui/alignment.h"
#include "record/backup.h"
#include "record/recorder.h"
#include "record/recording_file.h"
#include "record/snapshot.h"
#include "ui/snapshot_viewer.h"
#include "common/fake_camera.h"
#include "common/simulated_cameras.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "host/startup.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "support/headless_ui.h"
#include "support/test_support.h"
#include "ui/main_window.h"

using namespace orb;
using orbtest::PumpUntil;
using orbtools::FakeCamera;
using orbtools::FakeCameraOptions;
using orbtools::FakeFault;

namespace {

struct Live : ::testing::Test {
    orbtest::TempHome home;
    ManualClock clock;  // the views' one-second watchdog moves only when a test says so
    std::vector<std::unique_ptr<FakeCamera>> cameras;
    HWND main = nullptr;

    void SetUp() override {
        orbtest::ResetHeadlessUi();
        SetTimerClock(&clock);
        SetHeadlessScreen(640, 480);  // small views: the sanitizer builds run these too
        orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    }
    void TearDown() override {
        if (main && IsWindow(main)) DestroyWindow(main);
        for (auto& c : cameras) c->Stop();
        SetTimerClock(nullptr);
        ResetWindowing();
        UnloadLanguage();
        g_ui = {};
        Hooks() = {};
    }

    // One fake camera per entry (the lenses in turn), Config.ure for them, and the views.
    void Open(const std::vector<FakeFault>& faults, const std::string& password = "secret", bool record = false) {
        std::vector<CameraRecord> records;
        for (size_t i = 0; i < faults.size(); ++i) {
            const auto kind = orbtools::kSimulatedLenses[i % 4];
            auto sim = std::make_shared<orbtools::SimulatedCamera>(orbtools::MakeSimulatedCamera(kind, 320, 240, 8));
            FakeCameraOptions o;
            o.account = "admin";
            o.password = "secret";
            o.fault = faults[i];
            o.framesPerSecond = 15;
            o.picture = [sim](int frame) { return sim->frames[static_cast<size_t>(frame) % sim->frames.size()]; };
            cameras.push_back(std::make_unique<FakeCamera>(o));
            const int port = cameras.back()->Start();
            ASSERT_GT(port, 0);
            CameraRecord r = sim->record;
            orbtools::PointAtFakeCamera(r, port, 500 + static_cast<int32_t>(i), "admin", password);
            records.push_back(r);
        }
        ASSERT_TRUE(orbtools::WriteCameraConfig(home.path("Config.ure"), records));
        OrbiscopeInit();
        if (record) EnableDVRRecording(1);
        void* out = nullptr;
        main = static_cast<HWND>(RunOrbiscope(nullptr, 0, static_cast<int32_t>(faults.size()), &out, 0, nullptr, 0, nullptr));
        ASSERT_TRUE(main);
    }
    PanoView* View(int i) { return ViewOf(g_ui.views[static_cast<size_t>(i)]); }
    void WatchdogSeconds(int s) {
        for (int i = 0; i < s; ++i) {
            clock.now += 1000;
            PumpMessages();
        }
    }
    static std::string StatusOf(PanoView* v) {
        std::lock_guard lock(v->ui.statusMutex);
        return v->ui.status;
    }
};

std::vector<uint8_t> RecordBytes(const CameraRecord& r) {
    const auto* p = reinterpret_cast<const uint8_t*>(&r);
    return {p, p + sizeof r};
}

std::vector<uint8_t> PictureBytes(HDIB pic) {
    DibLock l(pic);
    if (!l) return {};
    return {l.bits(), l.bits() + static_cast<size_t>(l.rowBytes()) * l.height()};
}

// Share of the window's pixels that are not black.
double Lit(HWND w) {
    HDIB pic = CaptureWindowPicture(w);
    long lit = 0;
    int width = 0, height = 0;
    {
        DibLock lock(pic);
        if (!lock) return 0;
        width = lock.width(), height = lock.height();
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = lock.rowFromTop(y);
            for (int x = 0; x < width; ++x) lit += (row[3 * x] | row[3 * x + 1] | row[3 * x + 2]) > 24;
        }
    }
    DestroyDIB(pic);
    return static_cast<double>(lit) / (static_cast<double>(width) * height);
}

}  // namespace

TEST_F(Live, PicturesFlowIntoEveryViewAndClosingIsPrompt) {
    Open({FakeFault::None, FakeFault::None, FakeFault::None, FakeFault::None});
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(View(i));
        EXPECT_TRUE(PumpUntil([&] { return View(i)->frames.pictures >= 5; }));
        EXPECT_EQ(StatusOf(View(i)), "");
        // The dewarped scene fills the view once a picture has been painted; painting runs
        // on this thread, so the wait pumps until it has.
        double lit = 0;
        EXPECT_TRUE(PumpUntil([&] { return (lit = Lit(g_ui.views[static_cast<size_t>(i)])) > 0.6; })) << lit;
        // Every stage of a shown picture is counted, and each picture's latency. A picture is
        // counted as shown before its latency is, which the capture thread adds once the
        // pipeline has returned: the wait is for the latencies themselves.
        const StageFigures& st = View(i)->frames.stages;
        EXPECT_TRUE(PumpUntil([&] { return st.latencyCount >= 5; })) << st.latencyCount;
        for (Stage s : {kStageReceive, kStageDecode, kStageDewarp, kStagePaint}) EXPECT_GT(st.cpu[s], 0) << s;
        EXPECT_GE(st.latencySum, st.latencyMax);
        EXPECT_GT(st.latencyMax, 0);
    }
    // Closing the main window stops every capture thread at once, however busy.
    const auto t0 = std::chrono::steady_clock::now();
    DestroyWindow(main);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(g_ui.main, nullptr);
    for (HWND v : g_ui.views) EXPECT_EQ(v, nullptr);
}

TEST_F(Live, MisbehavingCamerasRecoverOrSaySo) {
    // 0 stalls after its request, 1 closes half-way through its second picture, 2 is fine.
    Open({FakeFault::Stall, FakeFault::CloseMidPicture, FakeFault::None});
    EXPECT_TRUE(PumpUntil([&] { return cameras[0]->Connections() >= 1; }));
    EXPECT_TRUE(PumpUntil([&] { return cameras[1]->Connections() >= 2 && View(1)->frames.pictures >= 2; }));
    EXPECT_TRUE(PumpUntil([&] { return View(2)->frames.pictures >= 5; }));
    EXPECT_EQ(View(0)->frames.pictures, 0);
    // The stalled camera comes to its senses; the watchdog cuts the dead connection after
    // fifteen seconds without progress and the view connects again.
    cameras[0]->SetFault(FakeFault::None);
    WatchdogSeconds(16);
    EXPECT_TRUE(PumpUntil([&] { return View(0) && View(0)->frames.pictures >= 3; }, 30));
    EXPECT_GE(cameras[0]->Connections(), 2);
}

TEST_F(Live, WrongPasswordShowsOnTheView) {
    Open({FakeFault::None}, "guess");
    EXPECT_TRUE(PumpUntil([&] { return cameras[0]->Refusals() >= 1; }));
    EXPECT_TRUE(PumpUntil([&] { return StatusOf(View(0)) == Text(1010); }));
    EXPECT_EQ(View(0)->frames.pictures, 0);
}

// A user snapshots a live view, opens it again with the camera's lens settings, backs the
// view's recording up and plays it from the backup.
TEST_F(Live, SnapshotAndBackupOfALiveCamera) {
    const std::string disk = home.path("disk"), backup = home.path("backup") + "/";
    MakeDirs(disk);
    MakeDirs(backup);
    WriteSetting("DVR", "StorageRoots", disk);
    BuildDriveTable();  // this test's storage root, whatever an earlier one used
    Open({FakeFault::None}, "secret", true);
    PanoView* live = View(0);
    ASSERT_TRUE(live);
    ASSERT_TRUE(PumpUntil([&] { return live->frames.recorded >= 8; })) << g_drives.count << " " << g_drives.entries[0].folder << " rec=" << g_lib.recording << " pics=" << live->frames.pictures << " home=" << home.dir;

    // The snapshot: the live picture as JPEG, the magic, then the view's record.
    HWND viewer = static_cast<HWND>(Snapshot(nullptr, live));
    ASSERT_TRUE(viewer);
    const std::string path = g_snapViewer.view->snapshot.picturePath;
    EXPECT_EQ(path.substr(path.size() - 4), ".360");
    const auto file = orbtest::ReadFile(path);
    ASSERT_GT(file.size(), kTrailerSize + 100);
    EXPECT_EQ(std::string(file.end() - kTrailerSize, file.end() - 2984), "Orbiscope");
    const auto liveRecord = RecordBytes(live->record);
    EXPECT_EQ(std::vector<uint8_t>(file.end() - 2984, file.end()), liveRecord);
    HDIB plain = LoadJpeg(path.c_str());  // the file is a JPEG any viewer opens
    ASSERT_TRUE(plain);
    {
        DibLock l(plain);
        EXPECT_EQ(l.width(), 320);
        EXPECT_EQ(l.height(), 240);
    }
    DestroyDIB(plain);
    ASSERT_TRUE(g_snapViewer.view->frames.output);
    const auto firstView = PictureBytes(g_snapViewer.view->frames.output);
    EXPECT_FALSE(firstView.empty());

    // Opened again, it shows the same dewarped view with the same lens settings.
    CloseSnapshotViewer();
    ASSERT_TRUE(OpenSnapshot(nullptr, path.c_str()));
    // The lens settings are the file's; only the view presets (offsets 128..639) follow the
    // viewer window's size, as a live view's do.
    {
        auto reread = RecordBytes(g_snapViewer.view->record);
        auto expected = liveRecord;
        std::fill(reread.begin() + 128, reread.begin() + 640, 0);
        std::fill(expected.begin() + 128, expected.begin() + 640, 0);
        EXPECT_EQ(reread, expected);
    }
    EXPECT_EQ(g_snapViewer.view->frames.currentW, 320);
    ASSERT_TRUE(g_snapViewer.view->frames.output);
    const auto reopened = PictureBytes(g_snapViewer.view->frames.output);
    ASSERT_EQ(reopened.size(), firstView.size());
    // The file holds the picture JPEG-encoded, so the view matches up to the codec's loss.
    double difference = 0;
    for (size_t i = 0; i < reopened.size(); ++i) difference += std::abs(reopened[i] - firstView[i]);
    EXPECT_LT(difference / static_cast<double>(reopened.size()), 4.0);
    CloseSnapshotViewer();
    ASSERT_TRUE(OpenSnapshot(nullptr, path.c_str()));
    EXPECT_EQ(PictureBytes(g_snapViewer.view->frames.output), reopened);
    CloseSnapshotViewer();

    // Backing the recording up after the views close: identical copies that play.
    const int recorded = live->frames.recorded;
    const int32_t radius = live->record.firstRadius;
    DestroyWindow(main);
    main = nullptr;
    const std::string folder = g_drives.entries.at(0).folder;
    std::vector<std::string> names;
    for (const std::string& n : ListBackupFolder(folder))
        if (n.size() > 5 && n.substr(n.size() - 5) == ".P360") names.push_back(n);
    ASSERT_EQ(names.size(), 1u);
    WriteSetting("Backup", "Dir", backup);
    ScriptDialog("Backup", {{DialogStep::Press, 930}, {DialogStep::Press, IDOK}, {DialogStep::Press, IDCANCEL}});
    EXPECT_EQ(Backup(nullptr), 1);
    ASSERT_EQ(ListBackupFolder(backup), names);
    EXPECT_EQ(orbtest::ReadFile(backup + names[0]), orbtest::ReadFile(folder + names[0]));
    DvrContext reader;
    CameraRecord stored{};
    ASSERT_EQ(OpenRecordingForRead(reader, backup + names[0], &stored), OpenResult::Ok);
    EXPECT_EQ(stored.firstRadius, radius);
    const int32_t frames = ReadFrameCount(reader);
    EXPECT_GE(frames, recorded);
    for (int32_t i = 0; i < frames; ++i) {
        ASSERT_TRUE(ReadFrame(reader, i)) << i;
        HDIB pic = DecodeFromJPEGBuffer(reader.picture.data(), reader.loadedSize);
        ASSERT_TRUE(pic) << i;
        DestroyDIB(pic);
    }
    EXPECT_TRUE(TakeMessages().empty());
}

// A user aligns the lens on the live picture: the dialog's values and a drag of the circle
// reach the streaming view at once, OK saves them into the camera record, cancel restores.
TEST_F(Live, AlignmentOnTheLivePicture) {
    Open({FakeFault::None});
    PanoView* v = View(0);
    ASSERT_TRUE(v);
    ASSERT_TRUE(PumpUntil([&] { return v->frames.pictures >= 3; }));
    const int32_t cx = v->record.centerX, cy = v->record.centerY, radius = v->record.firstRadius;
    ASSERT_GT(radius, 30);

    ScriptDialog("Blank", {{DialogStep::SetText, 1301, std::to_string(cx + 6)}, {DialogStep::Press, IDOK}});
    EXPECT_EQ(DoAlignment(v), 1);
    EXPECT_EQ(v->record.centerX, cx + 6);
    auto slot = [&] {
        const auto bytes = orbtest::ReadFile(home.path("Config.ure"));
        CameraRecord r{};
        if (bytes.size() >= sizeof r) std::memcpy(&r, bytes.data(), sizeof r);
        return r;
    };
    EXPECT_EQ(slot().centerX, cx + 6);
    int seen = v->frames.pictures;
    EXPECT_TRUE(PumpUntil([&] { return v->frames.pictures >= seen + 3; }));

    // Dragging the centre by (+10, -4) on the alignment picture while the camera streams.
    if (!IsClassRegistered(kAlignmentClass)) RegisterWindowClass({kAlignmentClass, AlignmentPictureProc});
    RegisterWindowClass({"Align Frame", DefWindowProc});
    HWND top = CreateWindow("Align Frame", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, 0, nullptr);
    HWND picture = CreateWindow(kAlignmentClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 640, 480, top, kAlignPictureId, nullptr);
    g_align = {};
    g_align.view = v;
    g_align.picture = picture;
    const int x0 = cx + 6 + radius / 3, y0 = cy;
    InjectMouse(top, WM_MOUSEMOVE, x0, y0, 0);
    EXPECT_EQ(g_align.mode, kAlignCentre);
    InjectMouse(top, WM_LBUTTONDOWN, x0, y0, MK_LBUTTON);
    for (int step = 1; step <= 5; ++step) {
        InjectMouse(top, WM_MOUSEMOVE, x0 + 2 * step, y0 - step * 4 / 5, MK_LBUTTON);
        PumpMessages();  // the camera keeps streaming between the mouse moves
    }
    InjectMouse(top, WM_LBUTTONUP, x0 + 10, y0 - 4, 0);
    EXPECT_EQ(v->record.centerX, cx + 16);
    EXPECT_EQ(v->record.centerY, cy - 4);
    EXPECT_EQ(v->record.firstRadius, radius);
    // The next picture rebuilds the maps.
    EXPECT_TRUE(PumpUntil([&] {
        std::lock_guard lock(v->ui.viewMutex);
        return v->dewarp.pendingRebuild == 0;
    }));
    g_align = {};
    DestroyWindow(top);
    seen = v->frames.pictures;
    EXPECT_TRUE(PumpUntil([&] { return v->frames.pictures >= seen + 3; }));

    // Cancel gives the live view its values back and saves nothing.
    ScriptDialog("Blank", {{DialogStep::SetText, 1301, "10"}, {DialogStep::Press, IDCANCEL}});
    EXPECT_EQ(DoAlignment(v), 0);
    EXPECT_EQ(v->record.centerX, cx + 16);
    EXPECT_EQ(slot().centerX, cx + 6);
}
