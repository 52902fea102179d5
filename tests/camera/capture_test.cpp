#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/base64.h"
#include "camera/capture_thread.h"
#include "common/fake_camera.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/clock.h"
#include "support/test_support.h"
#include "camera_support.h"

using namespace orb;
using namespace orbtest;
using orbtools::FakeAnswer;
using orbtools::FakeCamera;
using orbtools::FakeCameraOptions;
using orbtools::FakeFault;


TEST_F(Capture, EveryLoopReceivesPicturesFromTheFakeCamera) {
    struct Case {
        int model;
        FakeAnswer answer;
    } cases[] = {{2, FakeAnswer::Push}, {35, FakeAnswer::Push}, {16, FakeAnswer::Length}, {49, FakeAnswer::Close}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        FakeCameraOptions o;
        o.answer = c.answer;
        o.account = "admin";
        o.password = "secret";
        o.framesPerSecond = 50;
        FakeCamera cam(o);
        const int port = cam.Start();
        ASSERT_GT(port, 0);
        auto view = MakeCameraView(c.model, port, "admin", "secret");
        ASSERT_TRUE(StartCapture(view.get()));
        EXPECT_TRUE(WaitFor([&] { return view->frames.pictures >= 3; }));
        StopCapture(view.get());
        EXPECT_EQ(view->capture.running, 0);
        {
            std::lock_guard lock(view->ui.viewMutex);
            EXPECT_EQ(view->frames.currentW, 640);
            EXPECT_EQ(view->frames.currentH, 480);
        }
        EXPECT_EQ(cam.Refusals(), 0);
        const auto requests = cam.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_NE(requests[0].find("Basic " + Base64Encode("admin:secret") + "\r\n\r\n"), std::string::npos);
        cam.Stop();
        ReleaseFrames(*view);
    }
}

TEST_F(Capture, FaultsAreSurvivedAndReported) {
    // Wrong password: the camera refuses, nothing is shown, the view keeps trying.
    {
        FakeCameraOptions o;
        o.account = "admin";
        o.password = "right";
        FakeCamera cam(o);
        const int port = cam.Start();
        auto view = MakeCameraView(2, port, "admin", "wrong");
        ASSERT_TRUE(StartCapture(view.get()));
        EXPECT_TRUE(WaitFor([&] { return cam.Refusals() >= 1; }));
        EXPECT_TRUE(WaitFor([&] { return Status(*view) == Text(1010); }));
        StopCapture(view.get());
        EXPECT_EQ(view->frames.pictures, 0);
    }
    // Garbage between parts, one byte per send, a connection closed mid-picture: pictures
    // still come through whole (the half one is dropped) and the view reconnects.
    // A picture larger than the receive buffer: the connection is dropped and made again.
    for (FakeFault f : {FakeFault::Garbage, FakeFault::Drip, FakeFault::CloseMidPicture, FakeFault::HugePicture}) {
        FakeCameraOptions o;
        o.fault = f;
        o.framesPerSecond = 50;
        FakeCamera cam(o);
        const int port = cam.Start();
        auto view = MakeCameraView(2, port);
        ASSERT_TRUE(StartCapture(view.get()));
        const bool cut = f == FakeFault::CloseMidPicture || f == FakeFault::HugePicture;
        const int want = cut ? 2 : 3;
        EXPECT_TRUE(WaitFor([&] { return view->frames.pictures >= want; }, 60)) << static_cast<int>(f);
        if (cut) EXPECT_TRUE(WaitFor([&] { return cam.Connections() >= 2; }));
        StopCapture(view.get());
        ReleaseFrames(*view);
    }
    // A camera that accepts and never sends: a stop ends the wait at once.
    {
        FakeCameraOptions o;
        o.fault = FakeFault::Stall;
        FakeCamera cam(o);
        const int port = cam.Start();
        auto view = MakeCameraView(2, port);
        ASSERT_TRUE(StartCapture(view.get()));
        EXPECT_TRUE(WaitFor([&] { return cam.Connections() >= 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        StopCapture(view.get());  // joins: a hang here fails the test by its time-out
        EXPECT_EQ(view->frames.pictures, 0);
    }
    // Nobody listening: the connection fails, the status line says so, a stop ends it.
    {
        FakeCamera probe(FakeCameraOptions{});
        const int port = probe.Start();
        probe.Stop();
        auto view = MakeCameraView(2, port);
        ASSERT_TRUE(StartCapture(view.get()));
        EXPECT_TRUE(WaitFor([&] { return Status(*view) == Text(1002); }));
        StopCapture(view.get());
    }
    // An HTTP error status: no picture, the polling loop reports unusable answers.
    {
        FakeCameraOptions o;
        o.fault = FakeFault::HttpError;
        o.answer = FakeAnswer::Close;
        FakeCamera cam(o);
        const int port = cam.Start();
        auto view = MakeCameraView(49, port);
        ASSERT_TRUE(StartCapture(view.get()));
        EXPECT_TRUE(WaitFor([&] { return Status(*view) == Text(1011) + " HTTP 500"; }));
        StopCapture(view.get());
        EXPECT_EQ(view->frames.pictures, 0);
    }
}
