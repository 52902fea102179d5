#include "camera/http.h"

#include <arpa/inet.h>

#include <cstring>

#include "platform/base64.h"
#include "camera/catalogue.h"
#include "config/camera_record.h"
#include "camera/camera_view.h"
#include "platform/texts.h"
#include "config/view_core.h"
#include "platform/clock.h"
#include "platform/name_resolution.h"
#include "platform/window.h"

namespace orb {

std::string BasicCredential(const CameraRecord& record) {
    return Base64Encode(DecodedAccount(record) + ":" + DecodedPassword(record));
}

std::string CredentialHeaderTail(const CameraRecord& record) {
    if (!DecodedAccount(record).empty() && !DecodedPassword(record).empty()) return BasicCredential(record) + "\r\n\r\n";
    return "\r\n\r\n";
}

int AnswerStatus(const uint8_t* data, size_t size) {
    if (size < 12 || std::memcmp(data, "HTTP/1.", 7) != 0 || data[8] != ' ') return 0;
    int code = 0;
    for (size_t i = 9; i < 12; ++i) {
        if (data[i] < '0' || data[i] > '9') return 0;
        code = code * 10 + (data[i] - '0');
    }
    return code;
}

bool ShowRefusal(CameraView& view, const uint8_t* data, size_t size) {
    const int code = AnswerStatus(data, size);
    if (code == 401 || code == 403) {
        CameraStatus(view, 0, Text(1010));
        return true;
    }
    if (code >= 400) {
        CameraStatus(view, 0, Text(1011) + " HTTP " + std::to_string(code));
        return true;
    }
    return false;
}

void CameraStatus(CameraView& view, int line, const std::string& text) { SetViewStatus(&view, line, text.c_str()); }

bool ResolveCameraAddress(const CameraView& view, int32_t port, sockaddr_in& out, const std::atomic<int32_t>* stop) {
    char address[sizeof view.record.address + 1];
    TextOf(view.record.address, address);
    in_addr ip{};
    if (!ResolveIPv4Abandonable(address, ip, stop ? stop : &view.capture.stop)) return false;
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(port));
    out.sin_addr = ip;
    return true;
}

bool ResolveCamera(CameraView& view, int32_t port) {
    sockaddr_in a{};
    if (!ResolveCameraAddress(view, port, a, nullptr)) return false;
    view.capture.address = a;
    return true;
}

void FeedWatchdog(CameraView& view) {
    view.ui.watchdogA = 0;
    view.ui.watchdogB = 0;
}

int32_t WatchdogCount(CameraView& view) { return view.ui.watchdogA.load(); }

long ReceiveOnce(CameraView& view) {
    CaptureState& c = view.capture;
    if (c.fill >= kReceiveLimit || c.fill < 0 || c.buffer.size() < kReceiveBufferSize) return -1;
    const long n = ReceiveSome(c.stream, c.buffer.data() + c.fill, kReceiveChunk);
    if (n <= 0) return n;
    PumpMessages();
    if (c.stop) return -1;
    return n;
}

int OpenCommandConnection(CameraView& view, const std::atomic<int32_t>* stop, int connectMs) {
    CaptureState& c = view.capture;
    if (!stop) stop = &c.stop;
    CloseCommandConnection(view);
    // An address of its own: the capture thread resolves the stream's meanwhile.
    sockaddr_in address{};
    if (!ResolveCameraAddress(view, view.record.httpPort, address, stop)) {
        CameraStatus(view, 0, Text(1002));
        CameraStatus(view, -1, "Bad IP !!!");
        SleepFor(200, stop);
        return 0;
    }
    Socket s = CreateTcpSocket();
    if (!s.Valid()) {
        CameraStatus(view, -1, "Bad Socket!!!");
        SleepFor(200, stop);
        return 0;
    }
    if (!ConnectTo(s, address, connectMs, stop)) {
        CameraStatus(view, 1, Text(1002));
        SleepFor(200, stop);
        return 0;
    }
    std::lock_guard lock(c.socketLock);
    c.command = std::move(s);
    return 1;
}

int CloseCommandConnection(CameraView& view) {
    std::lock_guard lock(view.capture.socketLock);
    view.capture.command.Close();
    return 1;
}

int CloseStreamConnection(CameraView& view) {
    std::lock_guard lock(view.capture.socketLock);
    if (!view.capture.stream.Valid()) return 1;
    view.capture.stream.Shutdown();
    return view.capture.stream.Close() ? 1 : 0;
}

void CancelBlockingReceive(CameraView& view) {
    std::lock_guard lock(view.capture.socketLock);
    view.capture.stream.Shutdown();
    ++view.capture.cancels;  // the video loop's wait in FFmpeg ends on it
}

}  // namespace orb
