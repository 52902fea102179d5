// The live system end to end, headless: the library opened as a host opens it, views
// streaming from fake cameras on 127.0.0.1, and what happens when cameras misbehave.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "camera/capture_thread.h"
#include "common/fake_camera.h"
#include "common/simulated_cameras.h"
#include "host/library_state.h"
#include "host/panoview.h"
#include "host/startup.h"
#include "host/texts.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "platform/window.h"
#include "support/test_support.h"
#include "ui/main_window.h"

using namespace orb;
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
        SetBackend(Backend::Headless);
        ResetWindowing();
        g_ui = {};
        g_lib = LibraryState{};
        Hooks() = {};
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
    void Open(const std::vector<FakeFault>& faults, const std::string& password = "secret") {
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
        void* out = nullptr;
        main = static_cast<HWND>(RunOrbiscope(nullptr, 0, static_cast<int32_t>(faults.size()), &out, 0, nullptr, 0, nullptr));
        ASSERT_TRUE(main);
    }
    PanoView* View(int i) { return ViewOf(g_ui.views[static_cast<size_t>(i)]); }
    // Serves the window thread (real time) until the condition holds; bounded.
    template <typename F>
    bool PumpUntil(F condition, int seconds = 20) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > until) return false;
            PumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    void WatchdogSeconds(int s) {
        for (int i = 0; i < s; ++i) {
            clock.now += 1000;
            PumpMessages();
        }
    }
    static std::string StatusOf(PanoView* v) {
        std::lock_guard lock(v->ui.viewMutex);
        return v->ui.status;
    }
};

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
        // The dewarped scene fills the view.
        PumpMessages();
        EXPECT_GT(Lit(g_ui.views[static_cast<size_t>(i)]), 0.6);
        // Every stage of a shown picture is counted, and each picture's latency.
        const StageFigures& st = View(i)->frames.stages;
        for (Stage s : {kStageReceive, kStageDecode, kStageDewarp, kStagePaint}) EXPECT_GT(st.cpu[s], 0) << s;
        EXPECT_GE(st.latencyCount, 5);
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
