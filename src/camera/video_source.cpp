#include "camera/video_source.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <arpa/inet.h>

#include <cerrno>

#include "camera/camera_view.h"
#include "camera/catalogue.h"
#include "camera/video_decoder.h"
#include "platform/clock.h"

namespace orb {

namespace {

int Interrupt(void* opaque) {
    auto* s = static_cast<VideoSource*>(opaque);
    if (s->stop && s->stop->load() != 0) return 1;
    if (s->cancels && s->cancels->load() != s->cancelsAtOpen) return 1;
    const int64_t deadline = s->deadline.load();
    if (deadline != 0 && MonotonicNanoseconds() > deadline) {
        s->timedOut = 1;
        return 1;
    }
    return 0;
}

void Arm(VideoSource& s, int ms) {
    s.timedOut = 0;
    s.deadline = ms > 0 ? MonotonicNanoseconds() + static_cast<int64_t>(ms) * 1000000 : 0;
}

bool Interrupted(const VideoSource& s) {
    return (s.stop && s.stop->load() != 0) || (s.cancels && s.cancels->load() != s.cancelsAtOpen);
}

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

VideoFailure OpenFailure(VideoSource& s, int error) {
    if (Interrupted(s)) return VideoFailure::Stopped;
    if (s.timedOut) return VideoFailure::NoAnswer;
    switch (error) {
    case AVERROR_HTTP_UNAUTHORIZED: return VideoFailure::Refused;
    case AVERROR_HTTP_NOT_FOUND: return VideoFailure::NotFound;
    case AVERROR(ECONNREFUSED):
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
    case AVERROR(ETIMEDOUT):
    case AVERROR(ECONNRESET): return VideoFailure::Unreachable;
    case AVERROR_HTTP_BAD_REQUEST: s.errorText = "RTSP 400"; return VideoFailure::Error;
    case AVERROR_HTTP_FORBIDDEN: s.errorText = "RTSP 403"; return VideoFailure::Error;
    case AVERROR_HTTP_SERVER_ERROR: s.errorText = "RTSP 5xx"; return VideoFailure::Error;
    case AVERROR_HTTP_OTHER_4XX: s.errorText = "RTSP 4xx"; return VideoFailure::Error;
    default: s.errorText = ErrorText(error); return VideoFailure::Error;
    }
}

}  // namespace

VideoSource::~VideoSource() { CloseVideoSource(*this); }

VideoFailure OpenVideoSource(CameraView& view, VideoSource& s, int connectMs) {
    QuietVideoLibraries();
    CloseVideoSource(s);
    s.errorText.clear();
    s.stop = &view.capture.stop;
    s.cancels = &view.capture.cancels;
    s.cancelsAtOpen = view.capture.cancels.load();
    // The address goes through the library's own resolver, as every camera's does.
    if (!ResolveCamera(view, RtspPort(view.record))) return VideoFailure::Unresolved;
    char ip[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &view.capture.address.sin_addr, ip, sizeof ip);
    const std::string url = RtspUrl(view.record, ip);

    s.format = avformat_alloc_context();
    if (!s.format) return VideoFailure::Error;
    s.format->interrupt_callback.callback = Interrupt;
    s.format->interrupt_callback.opaque = &s;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", view.record.rtspTransport == kRtspUdp ? "udp" : "tcp", 0);
    av_dict_set(&options, "allowed_media_types", "video", 0);
    av_dict_set(&options, "user_agent", "OrbiscopeClient", 0);
    // Key frames of large pictures come in bursts: room for them in the UDP socket.
    av_dict_set(&options, "buffer_size", "4194304", 0);
    Arm(s, connectMs);
    const int opened = avformat_open_input(&s.format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        // avformat_open_input frees the context when it fails.
        s.format = nullptr;
        return OpenFailure(s, opened);
    }
    s.stream = av_find_best_stream(s.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (s.stream < 0) {
        CloseVideoSource(s);
        return VideoFailure::NoVideo;
    }
    for (unsigned i = 0; i < s.format->nb_streams; ++i)
        if (static_cast<int>(i) != s.stream) s.format->streams[i]->discard = AVDISCARD_ALL;
    return VideoFailure::None;
}

const AVCodecParameters* VideoParameters(const VideoSource& s) {
    return s.format && s.stream >= 0 ? s.format->streams[s.stream]->codecpar : nullptr;
}

void VideoTimeBase(const VideoSource& s, int32_t& num, int32_t& den) {
    num = 1;
    den = 90000;
    if (!s.format || s.stream < 0) return;
    const AVRational tb = s.format->streams[s.stream]->time_base;
    if (tb.num > 0 && tb.den > 0) {
        num = tb.num;
        den = tb.den;
    }
}

VideoFailure ReadVideoPacket(VideoSource& s, AVPacket* packet, int silenceMs) {
    if (!s.format) return VideoFailure::Ended;
    Arm(s, silenceMs);
    for (;;) {
        const int r = av_read_frame(s.format, packet);
        if (r < 0) {
            if (Interrupted(s)) return VideoFailure::Stopped;
            return s.timedOut ? VideoFailure::Silent : VideoFailure::Ended;
        }
        if (packet->stream_index == s.stream) return VideoFailure::None;
        av_packet_unref(packet);
    }
}

void CloseVideoSource(VideoSource& s) {
    if (s.format) {
        // The teardown is sent without waiting on a camera that no longer answers.
        Arm(s, 500);
        avformat_close_input(&s.format);
    }
    s.stream = -1;
}

}  // namespace orb
