#include "camera/camera_commands.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "camera/http.h"
#include "camera/camera_view.h"
#include "platform/texts.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace orb {

namespace {

// The command socket has no time-out of its own in the cameras' protocol; ours is bounded
// so a camera that never answers cannot hold the capture start or the command worker.
constexpr int kCommandAnswerMs = 5000;
constexpr size_t kCommandBuffer = 2000;

constexpr const char* kAdminBody = "resolution=10&quality=80&jpeg_size=0";

constexpr SetupCommand kResolution1280x1024{
    "GET /cgi-bin/cmd/encoder?VIDEO_ENCODER=MJPEG&VIDEO_RESOLUTION=N1280x1024 HTTP/1.1\r\nUser-Agent: "
    "CHTTPConnection_2_018467\r\nHost: LocalHost\r\nCache-Control: no-cache\r\n%s",
    nullptr, 5};
constexpr SetupCommand kResolution1280x960{
    "GET /cgi-bin/cmd/encoder?VIDEO_ENCODER=MJPEG&VIDEO_RESOLUTION=N1280x960 HTTP/1.1\r\nUser-Agent: "
    "CHTTPConnection_2_018467\r\nHost: LocalHost\r\nCache-Control: no-cache\r\n%s",
    nullptr, 5};
constexpr SetupCommand kVbQuality{
    "GET /vb.htm?resolution=1&quality=1&imageformat=0 HTTP/1.1\r\nUser-Agent: Orbiscope Connection\r\nHost: "
    "LocalHost\r\nCache-Control: no-cache\r\n%s",
    nullptr, 5};
constexpr SetupCommand kAdminImage{
    "POST /admin.cgi?image HTTP/1.1\r\nHost: LocalHost\r\nUser-Agent: Orbiscope\r\nConnection: "
    "Keep-Alive\r\nCache-Control: no-cache\r\n%s",
    kAdminBody, 5};
constexpr SetupCommand kVbCodec{
    "GET /vb.htm?videocodec=0&videocodeccombo=2&videocodecres=2&mirctrl=0 HTTP/1.1\r\nHost: "
    "LocalHost\r\nUser-Agent: Orbiscope\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\n%s",
    kAdminBody, 1};
constexpr SetupCommand kMultimediaSxga{
    "GET /SetMultimedia.cgi?Resolution=sxga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n%s", nullptr, 5};
constexpr SetupCommand kMultimedia1600{
    "GET /SetMultimedia.cgi?Video_Input_Size=1600x1200&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n%s", nullptr, 5};
constexpr SetupCommand kMultimediaD1{
    "GET /SetMultimedia.cgi?Resolution=d1&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n%s", nullptr, 5};
constexpr SetupCommand kMultimediaVga{
    "GET /SetMultimedia.cgi?Resolution=vga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n%s", nullptr, 5};
constexpr SetupCommand kMultimediaQuality{"GET /SetMultimedia.cgi?Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n%s",
                                          nullptr, 5};
constexpr SetupCommand kMultimediaQxga{
    "GET /SetMultimedia.cgi?Resolution=qxga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n%s", nullptr, 5};
constexpr SetupCommand kMultimediaQsxga{
    "GET /SetMultimedia.cgi?Resolution=qsxga&Jpeg_Quality=4&Mode=mjpeg HTTP/1.1\r\n%s", nullptr, 5};

// Formats a template whose only conversions are "%s" (and "%d" when `number` is given).
std::string FormatCommand(const char* tmpl, const std::string& authorization, const int* number = nullptr) {
    std::string out;
    bool numberUsed = number == nullptr;
    for (const char* p = tmpl; *p; ++p) {
        if (p[0] == '%' && p[1] == 'd' && !numberUsed) {
            out += std::to_string(*number);
            numberUsed = true;
            ++p;
        } else if (p[0] == '%' && p[1] == 's') {
            out += authorization;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string Authorization(const CameraView& view) { return "Authorization: Basic " + CredentialHeaderTail(view.record); }

bool SendWhole(const Socket& s, const std::string& text) {
    return SendBytes(s, text.data(), text.size()) == static_cast<long>(text.size());
}

// The "/SetPTZ.cgi" texts (codes 5 to 21) and the movement texts of the second set.
constexpr std::array<const char*, 17> kSetPtz = {
    "Get /SetPTZ.cgi?Dir=ZoomIn HTTP/1.1\r\n%s",    "Get /SetPTZ.cgi?Dir=ZoomOut HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?Dir=Left HTTP/1.1\r\n%s",      "Get /SetPTZ.cgi?Dir=Right HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?Dir=Up HTTP/1.1\r\n%s",        "Get /SetPTZ.cgi?Dir=Down HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?Dir=Point%d HTTP/1.1\r\n%s",   "Get /SetPTZ.cgi?Dir=Preset%d HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?Dir=IRISLarge HTTP/1.1\r\n%s", "Get /SetPTZ.cgi?Dir=IRISSmall HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?Dir=FocusFar HTTP/1.1\r\n%s",  "Get /SetPTZ.cgi?Dir=FocusNesr HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?PTZSpeed=%d HTTP/1.1\r\n%s",   "Get /SetPTZ.cgi?Dir=PanStart HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?Dir=PanStop HTTP/1.1\r\n%s",   "Get /SetPTZ.cgi?Dir=PatroStart HTTP/1.1\r\n%s",
    "Get /SetPTZ.cgi?Dir=PatroStop HTTP/1.1\r\n%s",
};
#define ORB_WVHTTP(query) \
    "GET /-wvhttp-01-/control.cgi?" query " HTTP/1.1\r\nUser-Agent: Orbiscope\r\nHost: LocalHost\r\nConnection: Keep-Alive\r\n%s"
constexpr std::array<const char*, 6> kControlMoves = {
    ORB_WVHTTP("zoom=v+85"), ORB_WVHTTP("zoom=v+115"), ORB_WVHTTP("pan=d+%d"),
    ORB_WVHTTP("pan=d-%d"),  ORB_WVHTTP("tilt=d-%d"),  ORB_WVHTTP("tilt=d+%d"),
};
#undef ORB_WVHTTP

}  // namespace

const SetupCommand* SetupCommandFor(int32_t model) {
    switch (model) {
    case 110: return &kResolution1280x1024;
    case 111: return &kResolution1280x960;
    case 151: case 152: case 153: case 154: case 155: return &kVbQuality;
    case 72: case 73: case 74: case 75: case 76: case 77: case 78: case 79: return &kAdminImage;
    case 370: return &kVbCodec;
    case 35: case 71: return &kMultimediaSxga;
    case 55: return &kMultimedia1600;
    case 69: case 70: return &kMultimediaD1;
    case 130: return &kMultimediaVga;
    case 131: return &kMultimediaQuality;
    case 132: return &kMultimediaQxga;
    case 133: return &kMultimediaQsxga;
    default: return nullptr;
    }
}

int SendSetupCommand(CameraView& view, int32_t model) {
    const SetupCommand* command = SetupCommandFor(model);
    if (!command) return 0;
    CameraStatus(view, 0, "Init Camera Configure!");
    if (!OpenCommandConnection(view)) {
        CameraStatus(view, 0, "Winsock Not Initiated!   ");
        return 0;
    }
    CameraStatus(view, 0, "Send CGI Command!              ");
    const Socket& s = view.capture.command;
    SetReceiveTimeout(s, kCommandAnswerMs);
    SetSendTimeout(s, kCommandAnswerMs);
    const std::string request = FormatCommand(command->request, Authorization(view));
    bool sent = SendWhole(s, request);
    if (sent && command->body) sent = SendWhole(s, command->body) && SendWhole(s, "\r\n");
    if (!sent) {
        CameraStatus(view, 1, Text(1000));
        CloseCommandConnection(view);
        return 0;
    }
    std::array<char, kCommandBuffer> answer{};
    const long n = ReceiveSome(s, answer.data(), answer.size());
    CloseCommandConnection(view);
    return n < 0 ? 0 : 1;
}

void SendSetupCommands(CameraView& view) {
    const int32_t model = view.record.modelIndex;
    const SetupCommand* command = SetupCommandFor(model);
    if (command) {
        for (int attempt = 0; attempt < command->attempts; ++attempt) {
            if (view.capture.stop) break;
            if (SendSetupCommand(view, model)) break;
            CameraStatus(view, 1, Text(1002));
            if (attempt + 1 < command->attempts) SleepFor(100, &view.capture.stop);
        }
    }
    CloseCommandConnection(view);
}

std::string PtzRequest(int32_t model, int code, int argument, const std::string& authorization) {
    if (code < 5 || code > 21) return {};
    const bool firstSet = model == 131;
    const bool secondSet = model == 198 || model == 199;
    if (!firstSet && !secondSet) return {};
    if (secondSet && code <= 10) {
        int amount = argument;
        if (code == 7 || code == 8) amount = argument == 0 ? 400 : ((argument * 5 - 50) * 80) / 100;
        if (code == 9 || code == 10) amount = argument == 0 ? 300 : ((argument * 3 - 30) * 100) / 100;
        const char* tmpl = kControlMoves[static_cast<size_t>(code - 5)];
        return FormatCommand(tmpl, authorization, code >= 7 ? &amount : nullptr);
    }
    const char* tmpl = kSetPtz[static_cast<size_t>(code - 5)];
    const bool takesNumber = std::strstr(tmpl, "%d") != nullptr;
    return FormatCommand(tmpl, authorization, takesNumber ? &argument : nullptr);
}

bool IsPtzMove(int code) { return (code >= 5 && code <= 10) || (code >= 13 && code <= 16); }
bool IsPtzStop(int code) { return code == 19 || code == 21; }

int SendPtzCommand(CameraView& view, int code, int argument, const CommandWaits& waits) {
    if (!KindSteersCamera(view.ui.kind)) return 0;
    if (!OpenCommandConnection(view, waits.stop, waits.connectMs)) return 0;
    const std::string authorization = Authorization(view);
    const std::string request = PtzRequest(view.record.modelIndex, code, argument, authorization);
    if (request.empty()) {
        CloseCommandConnection(view);
        return 0;
    }
    // The connection is made afresh once the command is ready.
    if (!OpenCommandConnection(view, waits.stop, waits.connectMs)) {
        CameraStatus(view, 1, "PTZ Socket Create Fail !!");
        CloseCommandConnection(view);
        return 0;
    }
    const Socket& s = view.capture.command;
    SetReceiveTimeout(s, waits.answerMs);
    SetSendTimeout(s, waits.answerMs);
    if (!SendWhole(s, request)) {
        CloseCommandConnection(view);
        return 0;
    }
    // The answer overwrites the request; it must hold no NUL and be at least as long.
    std::array<char, kCommandBuffer + 1> buffer{};
    std::memcpy(buffer.data(), request.data(), std::min(request.size(), kCommandBuffer));
    const long n = ReceiveSome(s, buffer.data(), kCommandBuffer);
    CloseCommandConnection(view);
    if (n < 0 || static_cast<size_t>(n) != std::strlen(buffer.data())) {
        CameraStatus(view, 1, "PTZ Command Send Unsuccessful !!");
        return 0;
    }
    return 1;
}

}  // namespace orb
