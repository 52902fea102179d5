// A camera on 127.0.0.1 that streams over RTSP the way cameras sold today do: H.264, H.265
// or Motion-JPEG, through GStreamer's RTSP server, with Basic or Digest credentials, over
// TCP or UDP as the client asks. Its pictures are encoded once, as a loop that starts with
// a key frame, and sent at the camera's rate to every client; faults can be asked for while
// it runs (a stall, dropped clients, damaged pictures, a new picture size).
#pragma once
#include <atomic>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orbtools {

// Unknown: pictures in a payload no client knows (GStreamer's own), for "cannot decode".
enum class RtspCodec { H264, H265, Mjpeg, Unknown };
enum class RtspFault {
    None,
    Stall,    // nothing more is sent; the sessions stay open
    Drop,     // every client is disconnected (once); the server goes on listening
    Garbage,  // every fifth picture is partly overwritten with random bytes
};

struct RtspCameraOptions {
    RtspCodec codec = RtspCodec::H264;
    std::string path = "/live";
    std::string account, password;  // plain text; empty account: no check
    bool digest = false;            // Digest instead of Basic
    int width = 640, height = 480;
    int framesPerSecond = 25;
    int pictureLimit = 0;  // pictures in all, then every stream ends (0: no limit)
    int loopFrames = 60;   // pictures encoded once and sent in turn
    // The picture of frame n of the loop (JPEG bytes, width x height); without it the test
    // scene through a fisheye.
    std::function<std::vector<uint8_t>(int frame)> picture;
};

// Which codecs this build of GStreamer can serve (its encoders and payloaders are there).
bool RtspCodecAvailable(RtspCodec codec);
bool ParseRtspCodec(const std::string& word, RtspCodec& codec);

class RtspCamera {
public:
    explicit RtspCamera(RtspCameraOptions options);
    ~RtspCamera();
    RtspCamera(const RtspCamera&) = delete;
    RtspCamera& operator=(const RtspCamera&) = delete;

    // Encodes the loop (once) and listens on 127.0.0.1 (port 0: any free port); the port,
    // or 0 on failure (the reason in Error()).
    int Start(int port = 0);
    // Disconnects every client and stops listening; Start again serves the same loop.
    void Stop();
    int Port() const { return port_; }
    std::string Error() const;

    void SetFault(RtspFault fault);
    void SetCredentials(const std::string& account, const std::string& password);
    // From the next picture on every stream sends the loop at this size (encoded now).
    bool SetSize(int width, int height);
    void SetPictureLimit(int limit);

    int PicturesSent() const { return sent_.load(); }
    int Sessions() const { return sessions_.load(); }
    int TcpSetups() const { return tcpSetups_.load(); }
    int UdpSetups() const { return udpSetups_.load(); }
    int DigestRequests() const { return digestRequests_.load(); }
    int BasicRequests() const { return basicRequests_.load(); }
    int ActiveStreams() const;  // streams now being sent
    // The loop as encoded, one buffer a picture (Annex B access units for H.264 and H.265,
    // JPEG pictures for Motion-JPEG): a decoder of one's own reads the same bytes.
    std::vector<std::vector<uint8_t>> Loop() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
    std::atomic<int> sent_{0}, sessions_{0}, tcpSetups_{0}, udpSetups_{0}, digestRequests_{0}, basicRequests_{0};
};

}  // namespace orbtools

namespace orbtools {

// Commands for a running camera, one a line (the tests drive the camera this way): "fault
// none|stall|drop|garbage", "stop", "start", "size WxH", "limit N", "credentials ACCOUNT
// PASSWORD", "dump FILE" (the loop as sent, one buffer after another) and "stats" (answered
// "sent N sessions N tcp N udp N digest N basic N active N"). Every command is answered "ok" or
// "error ..." on a line. Returns at the end of the input.
void RunRtspControl(RtspCamera& camera, std::FILE* in, std::FILE* out);

}  // namespace orbtools
