// Every model's picture request as the camera receives it, against a table written out by
// hand (not derived from the catalogue), with and without credentials.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstring>
#include <vector>

#include "camera/capture_thread.h"
#include "camera/catalogue.h"
#include "camera/http.h"
#include "camera_support.h"
#include "common/fake_camera.h"

using namespace orb;
using namespace orbtest;
using orbtools::FakeAnswer;
using orbtools::FakeCamera;
using orbtools::FakeCameraOptions;

namespace {

struct Golden {
    std::vector<int> models;
    char loop;  // S stream, L length polling, C close polling
    const char* request;
};

#define CAM_TAIL "\r\nUser-Agent: CamClient\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "
#define JAVA_TAIL "\r\nUser-Agent: Java1.3.1_05\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "
#define IMAGE(q) "GET /image?" q " HTTP/1.1\r\nHost: LocalHost\r\nSerial=%d\r\nAuthorization: Basic "

const Golden kGolden[] = {
    {{1}, 'S', "GET /axis-cgi/mjpg/video.cgi?resolution=704x480 HTTP/1.1" CAM_TAIL},
    {{2}, 'S', "GET /axis-cgi/mjpg/video.cgi?resolution=640x480 HTTP/1.1" CAM_TAIL},
    {{3}, 'S', "GET /axis-cgi/mjpg/video.cgi?resolution=1280x720 HTTP/1.1" CAM_TAIL},
    {{4}, 'S', "GET /axis-cgi/mjpg/video.cgi?resolution=1920x1080 HTTP/1.1" CAM_TAIL},
    {{6}, 'S', "GET /axis-cgi/mjpg/video.cgi?resolution=1280x800 HTTP/1.1" CAM_TAIL},
    {{7}, 'S', "GET /axis-cgi/mjpg/video.cgi?resolution=800x600 HTTP/1.1" CAM_TAIL},
    {{10}, 'S', "GET /mjpg/video.mjpg?resolution=640x480 HTTP/1.1" CAM_TAIL},
    {{11}, 'S', "GET /axis-cgi/mjpg/video.cgi?resolution=704x576 HTTP/1.1" CAM_TAIL},
    {{12}, 'S', "GET /mjpg/video.mjpg?resolution=1280x1024 HTTP/1.1" CAM_TAIL},
    {{13}, 'S', "GET /mjpg/video.mjpg?resolution=1600x1200 HTTP/1.1" CAM_TAIL},
    {{16, 17, 19, 20, 61, 90, 91, 92}, 'L',
     "GET /cgi-usr/image?ignore=0.%d HTTP/1.1\r\nHost: %s\r\nConnection: Keep-Alive\r\nAuthorization: Basic "},
    {{21}, 'L',
     "GET /record/current.jpg?rand=%06d HTTP/1.1\r\nUser-Agent: Mozilla/4.0\r\nHost: %s\r\nConnection: "
     "Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "},
    {{22, 26, 67, 68}, 'S',
     "GET /cgi-bin/stream.jpg HTTP/1.1\r\nUser-Agent: Mozilla/4.0\r\nHost: %s\r\nConnection: Keep-Alive\r\n"
     "Cache-Control: no-cache\r\nAuthorization: Basic "},
    {{27, 28, 29, 30}, 'S', "GET /video.mjpg?cam=1&camera=1&size=4&quality=4 HTTP/1.1" CAM_TAIL},
    {{35, 55, 69, 70, 71, 130, 131, 132, 133}, 'S',
     "GET /GetStream.cgi?Video=0 HTTP/1.1\r\nUser-Agent: CamClient\r\nConnection: Keep-Alive\r\nCache-Control: "
     "no-cache\r\nAuthorization:Basic "},
    {{36}, 'S', "GET /now.jpg?snap=spush?ww=1280?wh=1024?wx=0?wy=0 HTTP/1.1" JAVA_TAIL},
    {{37}, 'S', "GET /now.jpg?snap=spush?ww=1600?wh=1200?wx=0?wy=0 HTTP/1.1" JAVA_TAIL},
    {{38}, 'S', "GET /now.jpg?snap=spush?ww=2048?wh=1536?wx=0?wy=0 HTTP/1.1" JAVA_TAIL},
    {{39}, 'S', "GET /now.jpg?snap=spush?ww=2560?wh=1920?wx=0?wy=0 HTTP/1.1" JAVA_TAIL},
    {{41}, 'S', "GET /now.jpg?snap=spush?ww=720?wh=480?wx=0?wy=0 HTTP/1.1" JAVA_TAIL},
    {{49}, 'C', IMAGE("res=full&x0=0&y0=0&x1=2560&y1=1920&quality=15&doublescan=0")},
    {{50}, 'C', IMAGE("res=full&x0=0&y0=0&x1=2048&y1=1536&quality=15&doublescan=0")},
    {{51}, 'C', IMAGE("res=full&x0=0&y0=0&x1=1600&y1=1200&quality=15&doublescan=0")},
    {{52}, 'C', IMAGE("res=full&x0=0&y0=0&x1=1280&y1=1024&quality=15&doublescan=0")},
    {{53}, 'C', IMAGE("res=full&x0=0&y0=0&x1=100%%&y1=100%%&quality=15&doublescan=0")},
    {{54}, 'C', IMAGE("res=full&x0=0&y0=0&x1=3648&y1=2752&quality=15&doublescan=0")},
    {{62}, 'S', "GET /video.cgi?resolution=sxga HTTP/1.1\r\nAuthorization: Basic "},
    {{63}, 'S', "GET /video.cgi?resolution=ntsc HTTP/1.1\r\nAuthorization: Basic "},
    {{64}, 'S', "GET /video.cgi?resolution=pal HTTP/1.1\r\nAuthorization: Basic "},
    {{65}, 'S', "GET /video.cgi?resolution=vga HTTP/1.1\r\nAuthorization: Basic "},
    {{66}, 'S', "GET /video.cgi HTTP/1.1\r\nAuthorization: Basic "},
    {{72, 73, 74, 75, 76, 77, 78, 79}, 'C',
     "GET /jpeg.cgi HTTP/1.0\r\nUser-Agent: Orbiscope\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\n"
     "Authorization: Basic "},
    {{85}, 'C', IMAGE("res=half&x0=0&y0=0&x1=2048&y1=1536&quality=15&doublescan=0")},
    {{86}, 'C', IMAGE("res=half&x0=0&y0=0&x1=2048&y1=1536&quality=7&doublescan=0")},
    {{87}, 'C', IMAGE("res=half&x0=0&y0=0&x1=2048&y1=1536&quality=3&doublescan=0")},
    {{150, 151, 152, 153, 154, 155}, 'S', "GET /ipcam/mjpeg.cgi HTTP/1.1\r\nAuthorization: Basic "},
    {{198}, 'S',
     "GET /-wvhttp-01-/video.cgi?v=jpg:320x240:4:30000 HTTP/1.1\r\nUser-Agent: Orbiscope\r\nHost: LocalHost\r\n"
     "Connection: Keep-Alive\r\nAuthorization: Basic "},
    {{199}, 'S',
     "GET /-wvhttp-01-/video.cgi?v=jpg:640x480:4:30000 HTTP/1.1\r\nUser-Agent: Orbiscope\r\nHost: LocalHost\r\n"
     "Connection: Keep-Alive\r\nAuthorization: Basic "},
    {{220, 221, 222, 223}, 'S',
     "GET /cgi-bin/mjpg?stream=0 HTTP/1.1\r\nUser-Agent: OrbiscopeClient\r\nConnection: Keep-Alive\r\n"
     "Cache-Control: no-cache\r\nAuthorization: Basic "},
    {{250, 253}, 'S',
     "GET / HTTP/1.1\r\nUser-Agent: OrbiscopeClient\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\n"
     "Authorization: Basic "},
    {{280}, 'L',
     "GET /record/current.jpg?rand=727644 HTTP/1.1\r\nUser-Agent: OrbiscopeClient\r\nHost: LocalHost\r\n"
     "Connection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "},
    {{320, 370, 371}, 'S',
     "GET /ipcam/mjpeg.cgi?language=1 HTTP/1.1\r\nUser-Agent: OrbiscopeClient\r\nHost: LocalHost\r\n"
     "Connection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "},
    {{340}, 'C',
     "GET /onvif/snapshot HTTP/1.1\r\nUser-Agent: OrbiscopeClient\r\nHost: LocalHost\r\nConnection: Keep-Alive\r\n"
     "Cache-Control: no-cache\r\nAuthorization: Basic "},
};

// What the camera should receive: the template's placeholders filled (the polling number is
// read back from the request, since the thread seeds it from the clock), then the
// credential, or the authorization line cut away when there is none.
std::string Expected(const Golden& g, const std::string& received, bool credentials) {
    std::string out;
    for (const char* p = g.request; *p; ++p) {
        if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else if (p[0] == '%' && p[1] == 's') {
            out += "127.0.0.1";
            ++p;
        } else if (p[0] == '%') {
            p += p[1] == 'd' ? 1 : 3;  // %d or %06d
            size_t at = out.size(), end = at;
            while (end < received.size() && std::isdigit(static_cast<unsigned char>(received[end]))) ++end;
            const std::string digits = received.substr(at, end - at);
            EXPECT_EQ(digits.size(), 6u) << digits;
            const long n = std::atol(digits.c_str());
            EXPECT_TRUE(n >= 100000 && n <= 132767) << n;
            out += digits;
        } else {
            out += *p;
        }
    }
    if (credentials) return out + "YWRtaW46c2VjcmV0\r\n\r\n";
    return out.substr(0, out.find("Authorization")) + "\r\n";
}

}  // namespace

using CameraRequests = Capture;

TEST_F(CameraRequests, EveryModelSendsItsRequestByteForByte) {
    int models = 0;
    for (bool credentials : {true, false}) {
        for (const Golden& g : kGolden) {
            for (int model : g.models) {
                SCOPED_TRACE(std::to_string(model) + (credentials ? " with credentials" : " without"));
                const CaptureRoutine loop = CaptureLoopFor(model);
                ASSERT_EQ(loop, g.loop == 'S' ? kStreamLoop : g.loop == 'L' ? kLengthPollLoop : kClosePollLoop);
                FakeCameraOptions o;
                o.answer = g.loop == 'S' ? FakeAnswer::Push : g.loop == 'L' ? FakeAnswer::Length : FakeAnswer::Close;
                o.framesPerSecond = 100;
                FakeCamera cam(o);
                const int port = cam.Start();
                ASSERT_GT(port, 0);
                auto view = credentials ? MakeCameraView(model, port, "admin", "secret") : MakeCameraView(model, port);
                ASSERT_TRUE(StartCapture(view.get()));
                EXPECT_TRUE(WaitFor([&] { return !cam.Requests().empty(); }));
                StopCapture(view.get());
                cam.Stop();
                ReleaseFrames(*view);
                const auto requests = cam.Requests();
                ASSERT_FALSE(requests.empty());
                EXPECT_EQ(requests[0], Expected(g, requests[0], credentials));
                ++models;
            }
        }
    }
    EXPECT_EQ(models, 2 * 82);
}

TEST_F(CameraRequests, BinaryLoginModelsSendTheirRecordToPort6002) {
    FakeCameraOptions o;
    o.answer = FakeAnswer::Push;
    FakeCamera cam(o);
    if (cam.Start(6002) != 6002) GTEST_SKIP() << "port 6002 is taken on this machine";
    for (int model : {110, 111}) {
        SCOPED_TRACE(model);
        const size_t before = cam.Requests().size();
        // The set-up command goes to the HTTP port; the login record to 6002.
        auto view = MakeCameraView(model, 6002, "admin", "secret");
        ASSERT_TRUE(StartCapture(view.get()));
        EXPECT_TRUE(WaitFor([&] { return cam.Requests().size() > before; }));
        StopCapture(view.get());
        ReleaseFrames(*view);
        EXPECT_EQ(view->record.secondPort, 6002);
        const std::string login = cam.Requests()[before];
        ASSERT_EQ(login.size(), 128u);
        std::array<char, 128> want{};
        std::memcpy(want.data(), "admin", 5);
        std::memcpy(want.data() + 64, "secret", 6);
        EXPECT_EQ(login, std::string(want.data(), want.size()));
        EXPECT_EQ(cam.Commands().size(), static_cast<size_t>(model - 109));
    }
}
