// A video camera's stream as FFmpeg's libraries receive it over RTSP: opened with the
// record's URL, credentials and transport, read packet by packet. Every wait inside the
// libraries ends at once when the view asks to stop (an interrupt callback reads the stop
// flag), when the window thread cancels what blocks, or when the camera stays silent too
// long.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVPacket;
struct AVCodecParameters;

namespace orb {
struct CameraView;
}

namespace orb {

enum class VideoFailure {
    None,
    Stopped,      // the view asked to stop, or what blocked was cancelled
    Unresolved,   // the address cannot be resolved
    Unreachable,  // nothing listens there, or the connection failed
    NoAnswer,     // connected, but the camera did not answer in time
    Refused,      // the account or password was refused
    NotFound,     // the camera has no stream at the URL's path
    Error,        // another error answer (errorText says which)
    NoVideo,      // the stream holds no video
    Ended,        // the camera ended the stream or the connection broke
    Silent,       // the camera stopped sending
};

struct VideoSource {
    AVFormatContext* format = nullptr;
    int stream = -1;  // the video stream's index
    std::string errorText;  // of an Error
    // What the interrupt callback reads.
    const std::atomic<int32_t>* stop = nullptr;
    const std::atomic<int32_t>* cancels = nullptr;
    int32_t cancelsAtOpen = 0;
    std::atomic<int64_t> deadline{0};  // monotonic nanoseconds; 0: none
    std::atomic<int32_t> timedOut{0};
    VideoSource() = default;
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;
    ~VideoSource();
};

// Opens the view's camera (connect, describe, set up, play) within connectMs.
VideoFailure OpenVideoSource(CameraView& view, VideoSource& source, int connectMs);
// The video stream's parameters as the camera described them, and its time base.
const AVCodecParameters* VideoParameters(const VideoSource& source);
void VideoTimeBase(const VideoSource& source, int32_t& num, int32_t& den);
// The next packet of the video stream; Silent when none came within silenceMs.
VideoFailure ReadVideoPacket(VideoSource& source, AVPacket* packet, int silenceMs);
void CloseVideoSource(VideoSource& source);

}  // namespace orb
