#include <gtest/gtest.h>

#include "camera/camera_commands.h"
#include "camera/http.h"
#include "camera_support.h"
#include "common/fake_camera.h"

using namespace orb;
using namespace orbtest;
using orbtools::FakeCamera;
using orbtools::FakeCameraOptions;
using orbtools::FakeFault;

namespace {

struct CameraCommands : Capture {};

const std::string kCredential = "Authorization: Basic YWRtaW46c2VjcmV0\r\n\r\n";  // admin:secret

FakeCameraOptions Guarded(FakeFault fault = FakeFault::None) {
    FakeCameraOptions o;
    o.account = "admin";
    o.password = "secret";
    o.fault = fault;
    return o;
}

}  // namespace

TEST_F(CameraCommands, SetupCommandsReachTheCameraByteForByte) {
    struct Case {
        int model;
        std::string bytes;
    } cases[] = {
        {110, "GET /cgi-bin/cmd/encoder?VIDEO_ENCODER=MJPEG&VIDEO_RESOLUTION=N1280x1024 HTTP/1.1\r\nUser-Agent: "
              "CHTTPConnection_2_018467\r\nHost: LocalHost\r\nCache-Control: no-cache\r\n" + kCredential},
        {111, "GET /cgi-bin/cmd/encoder?VIDEO_ENCODER=MJPEG&VIDEO_RESOLUTION=N1280x960 HTTP/1.1\r\nUser-Agent: "
              "CHTTPConnection_2_018467\r\nHost: LocalHost\r\nCache-Control: no-cache\r\n" + kCredential},
        {153, "GET /vb.htm?resolution=1&quality=1&imageformat=0 HTTP/1.1\r\nUser-Agent: Orbiscope Connection\r\n"
              "Host: LocalHost\r\nCache-Control: no-cache\r\n" + kCredential},
        // Three sends: the header block with the credential and its empty line, the body, CR LF.
        {72, "POST /admin.cgi?image HTTP/1.1\r\nHost: LocalHost\r\nUser-Agent: Orbiscope\r\nConnection: Keep-Alive\r\n"
             "Cache-Control: no-cache\r\n" + kCredential + "resolution=10&quality=80&jpeg_size=0\r\n"},
        {79, "POST /admin.cgi?image HTTP/1.1\r\nHost: LocalHost\r\nUser-Agent: Orbiscope\r\nConnection: Keep-Alive\r\n"
             "Cache-Control: no-cache\r\n" + kCredential + "resolution=10&quality=80&jpeg_size=0\r\n"},
        {370, "GET /vb.htm?videocodec=0&videocodeccombo=2&videocodecres=2&mirctrl=0 HTTP/1.1\r\nHost: LocalHost\r\n"
              "User-Agent: Orbiscope\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\n" + kCredential +
              "resolution=10&quality=80&jpeg_size=0\r\n"},
        {35, "GET /SetMultimedia.cgi?Resolution=sxga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {55, "GET /SetMultimedia.cgi?Video_Input_Size=1600x1200&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {69, "GET /SetMultimedia.cgi?Resolution=d1&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {70, "GET /SetMultimedia.cgi?Resolution=d1&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {71, "GET /SetMultimedia.cgi?Resolution=sxga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {130, "GET /SetMultimedia.cgi?Resolution=vga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {131, "GET /SetMultimedia.cgi?Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {132, "GET /SetMultimedia.cgi?Resolution=qxga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
        {133, "GET /SetMultimedia.cgi?Resolution=qsxga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n" + kCredential},
    };
    FakeCamera cam(Guarded());
    const int port = cam.Start();
    ASSERT_GT(port, 0);
    size_t seen = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        auto view = MakeCameraView(c.model, port, "admin", "secret");
        SendSetupCommands(*view);
        EXPECT_FALSE(view->capture.command.Valid());
        ASSERT_TRUE(WaitFor([&] { return cam.Commands().size() > seen; }));
        const auto commands = cam.Commands();
        EXPECT_EQ(commands.size(), seen + 1);  // answered at the first attempt
        EXPECT_EQ(commands.back(), c.bytes);
        seen = commands.size();
    }
    EXPECT_EQ(cam.Refusals(), 0);

    // Without credentials the authorization line is sent with nothing after it.
    FakeCamera open(FakeCameraOptions{});
    const int openPort = open.Start();
    auto view = MakeCameraView(130, openPort);
    SendSetupCommands(*view);
    ASSERT_TRUE(WaitFor([&] { return open.Commands().size() == 1; }));
    EXPECT_EQ(open.Commands()[0],
              "GET /SetMultimedia.cgi?Resolution=vga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\nAuthorization: Basic \r\n\r\n");

    // A model without a set-up command opens no command connection.
    const int before = open.Connections();
    auto plain = MakeCameraView(36, openPort);
    SendSetupCommands(*plain);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(open.Connections(), before);
}

TEST_F(CameraCommands, FailedSetupIsRetriedAsTheModelAllows) {
    // A reset answer fails the receive: model 151 tries five times, model 370 once.
    for (const auto& [model, attempts] : {std::pair{151, 5}, std::pair{370, 1}}) {
        SCOPED_TRACE(model);
        FakeCamera cam(Guarded(FakeFault::Reset));
        const int port = cam.Start();
        auto view = MakeCameraView(model, port, "admin", "secret");
        SendSetupCommands(*view);
        // The camera keeps each command before it resets the connection.
        EXPECT_EQ(static_cast<int>(cam.Commands().size()), attempts);
        EXPECT_EQ(Status(*view), Text(1002));
        EXPECT_FALSE(view->capture.command.Valid());
    }
    // An answer of no bytes is still an answer.
    FakeCamera quiet(Guarded(FakeFault::Refuse));
    auto view = MakeCameraView(151, quiet.Start(), "admin", "secret");
    EXPECT_EQ(SendSetupCommand(*view, 151), 1);
    // Nobody listening: the connection step's texts, a failure.
    FakeCamera gone(FakeCameraOptions{});
    const int port = gone.Start();
    gone.Stop();
    auto lost = MakeCameraView(151, port);
    EXPECT_EQ(SendSetupCommand(*lost, 151), 0);
    EXPECT_EQ(Status(*lost), "Winsock Not Initiated!   ");
}

TEST_F(CameraCommands, PanTiltZoomCommandsOfTheMotorisedModels) {
    // The texts, independent of any camera.
    const std::string auth = "Authorization: Basic \r\n\r\n";
    const std::string tail = " HTTP/1.1\r\nUser-Agent: Orbiscope\r\nHost: LocalHost\r\nConnection: Keep-Alive\r\n" + auth;
    EXPECT_EQ(PtzRequest(199, 7, 0, auth), "GET /-wvhttp-01-/control.cgi?pan=d+400" + tail);
    EXPECT_EQ(PtzRequest(199, 7, 20, auth), "GET /-wvhttp-01-/control.cgi?pan=d+40" + tail);
    EXPECT_EQ(PtzRequest(199, 7, 5, auth), "GET /-wvhttp-01-/control.cgi?pan=d+-20" + tail);
    EXPECT_EQ(PtzRequest(198, 8, 0, auth), "GET /-wvhttp-01-/control.cgi?pan=d-400" + tail);
    EXPECT_EQ(PtzRequest(198, 9, 0, auth), "GET /-wvhttp-01-/control.cgi?tilt=d-300" + tail);
    EXPECT_EQ(PtzRequest(198, 10, 20, auth), "GET /-wvhttp-01-/control.cgi?tilt=d+30" + tail);
    EXPECT_EQ(PtzRequest(198, 5, 7, auth), "GET /-wvhttp-01-/control.cgi?zoom=v+85" + tail);
    EXPECT_EQ(PtzRequest(199, 6, 7, auth), "GET /-wvhttp-01-/control.cgi?zoom=v+115" + tail);
    EXPECT_EQ(PtzRequest(131, 12, 3, auth), "Get /SetPTZ.cgi?Dir=Preset3 HTTP/1.1\r\n" + auth);
    EXPECT_EQ(PtzRequest(199, 12, 3, auth), "Get /SetPTZ.cgi?Dir=Preset3 HTTP/1.1\r\n" + auth);
    EXPECT_EQ(PtzRequest(131, 7, 9, auth), "Get /SetPTZ.cgi?Dir=Left HTTP/1.1\r\n" + auth);
    EXPECT_EQ(PtzRequest(131, 16, 0, auth), "Get /SetPTZ.cgi?Dir=FocusNesr HTTP/1.1\r\n" + auth);
    EXPECT_EQ(PtzRequest(131, 17, 4, auth), "Get /SetPTZ.cgi?PTZSpeed=4 HTTP/1.1\r\n" + auth);
    EXPECT_EQ(PtzRequest(131, 20, 0, auth), "Get /SetPTZ.cgi?Dir=PatroStart HTTP/1.1\r\n" + auth);
    EXPECT_EQ(PtzRequest(131, 4, 0, auth), "");
    EXPECT_EQ(PtzRequest(131, 22, 0, auth), "");
    EXPECT_EQ(PtzRequest(2, 5, 0, auth), "");

    // Against the camera: every code of both sets arrives as built, and is answered.
    FakeCamera cam(Guarded());
    const int port = cam.Start();
    for (int model : {131, 198}) {
        auto view = MakeCameraView(model, port, "admin", "secret");
        view->ui.kind = kViewKindLive;
        for (int code = 5; code <= 21; ++code) {
            SCOPED_TRACE(model * 100 + code);
            const size_t before = cam.Commands().size();
            EXPECT_EQ(SendPtzCommand(*view, code, 2), 1);
            ASSERT_TRUE(WaitFor([&] { return cam.Commands().size() == before + 1; }));
            EXPECT_EQ(cam.Commands().back(), PtzRequest(model, code, 2, kCredential));
        }
    }
    EXPECT_EQ(cam.Refusals(), 0);

    // A short answer, a wrong password and a stored-picture view.
    FakeCamera shortCam(Guarded(FakeFault::ShortAnswer));
    auto view = MakeCameraView(131, shortCam.Start(), "admin", "secret");
    view->ui.kind = kViewKindLive;
    EXPECT_EQ(SendPtzCommand(*view, 9, 0), 0);
    EXPECT_EQ(Status(*view), "PTZ Command Send Unsuccessful !!");
    auto wrong = MakeCameraView(199, port, "admin", "guess");
    wrong->ui.kind = kViewKindLive;
    EXPECT_EQ(SendPtzCommand(*wrong, 7, 0), 0);
    EXPECT_EQ(cam.Refusals(), 1);
    const int connections = cam.Connections();
    auto stored = MakeCameraView(199, port, "admin", "secret");
    stored->ui.kind = kViewKindPlayback;
    EXPECT_EQ(SendPtzCommand(*stored, 7, 0), 0);
    auto other = MakeCameraView(2, port, "admin", "secret");
    other->ui.kind = kViewKindLive;
    EXPECT_EQ(SendPtzCommand(*other, 7, 0), 0);
    // Only the model check's connection: the camera counts it when it accepts it, which
    // may be after the command has given up.
    EXPECT_TRUE(WaitFor([&] { return cam.Connections() >= connections + 1; }));
    EXPECT_EQ(cam.Connections(), connections + 1);
}
