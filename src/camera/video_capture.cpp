#include "camera/video_capture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/packet.h>
}

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <string>

#include "analysis/motion_view.h"
#include "camera/camera_view.h"
#include "camera/capture_thread.h"
#include "camera/catalogue.h"
#include "camera/frame_pipeline.h"
#include "camera/stream_parser.h"
#include "camera/video_decoder.h"
#include "camera/video_source.h"
#include "config/library_state.h"
#include "platform/clock.h"
#include "platform/jpeg_codec.h"
#include "platform/texts.h"
#include "record/video_recording.h"

namespace orb {

namespace {

constexpr int kFailurePauseMs = 3000;    // after a connection that could not be made
constexpr int kLostPauseMs = 300;        // after a stream that ended
constexpr int kNoDecoderPauseMs = 10000; // a codec this build cannot decode does not change soon
constexpr size_t kPendingLimit = 16;     // packets waiting for their picture's motion

std::atomic<uint32_t> g_generations{0};  // a new number for every stream's parameters

bool Stopping(CameraView& v) { return v.capture.stop.load() != 0; }
void Pause(CameraView& v, int ms) { SleepFor(ms, &v.capture.stop); }

std::string SizeChangeText(int w0, int h0, int w1, int h1) {
    char t[160];
    std::snprintf(t, sizeof t, "%s %d x %d to %d x %d.", Text(1020).c_str(), w0, h0, w1, h1);
    return t;
}

// What a connection that could not be made, or a stream that ended, says on the view.
void ShowFailure(CameraView& v, VideoFailure f, const VideoSource& s) {
    switch (f) {
    case VideoFailure::Unresolved: CameraStatus(v, 0, Text(1002)); break;
    case VideoFailure::Unreachable: CameraStatus(v, 1, Text(1002)); break;
    case VideoFailure::NoAnswer: CameraStatus(v, 0, Text(1015)); break;
    case VideoFailure::Refused: CameraStatus(v, 0, Text(1010)); break;
    case VideoFailure::NotFound: CameraStatus(v, 0, std::string(Text(1014)) + " " + GenericPath(v.record)); break;
    case VideoFailure::Error: CameraStatus(v, 0, std::string(Text(1011)) + " " + s.errorText); break;
    case VideoFailure::NoVideo: CameraStatus(v, 0, Text(1016)); break;
    case VideoFailure::Silent: CameraStatus(v, 0, Text(1018)); break;
    case VideoFailure::Ended:
    case VideoFailure::Stopped: CameraStatus(v, 0, Text(1001)); break;
    case VideoFailure::None: break;
    }
    if (v.ui.window) InvalidateRect(v.ui.window);
}

// A packet as received, waiting for the motion of the picture it gives.
struct Pending {
    AVPacket* packet = nullptr;
    int motion = kNoMotionDetector;
    bool known = false;
};

// One connection's stream: its parameters for the recorder, the packets in flight.
struct VideoStream {
    VideoStreamInfo info;
    std::deque<Pending> pending;
    int lastMotion = kNoMotionDetector;
    int64_t arrived = 0;  // when the packet now decoding came in (monotonic ns)
};

void RecordPacket(CameraView& v, const VideoStream& s, const AVPacket* p, int motion, bool background) {
    StageFigures& figures = v.frames.stages;
    const int64_t t0 = ThreadCpuNanoseconds();
    VideoPacket packet;
    packet.data = p->data;
    packet.size = static_cast<size_t>(p->size);
    packet.pts = p->pts == AV_NOPTS_VALUE ? kNoVideoTime : p->pts;
    packet.dts = p->dts == AV_NOPTS_VALUE ? kNoVideoTime : p->dts;
    packet.key = (p->flags & AV_PKT_FLAG_KEY) != 0;
    if (RecordVideoPacket(&v, s.info, packet, motion, background) == 1) ++v.frames.recorded;
    figures.Add(kStageRecord, ThreadCpuNanoseconds() - t0);
}

// Hands the packets whose pictures are done to the recorder, in the order they came; a
// packet that gives no picture of its own (or waits too long) goes with the last motion.
void FlushPending(CameraView& v, VideoStream& s, bool all) {
    while (!s.pending.empty() && (s.pending.front().known || all || s.pending.size() > kPendingLimit)) {
        Pending& p = s.pending.front();
        RecordPacket(v, s, p.packet, p.known ? p.motion : s.lastMotion, false);
        av_packet_free(&p.packet);
        s.pending.pop_front();
    }
}

// The motion of a picture goes to the packet that gave it: the one with its time stamp,
// else the oldest still waiting.
void AssignMotion(VideoStream& s, int64_t pts, int motion) {
    s.lastMotion = motion;
    Pending* oldest = nullptr;
    for (Pending& p : s.pending) {
        if (p.known) continue;
        if (!oldest) oldest = &p;
        if (pts != AV_NOPTS_VALUE && p.packet->pts == pts) {
            oldest = &p;
            break;
        }
    }
    if (oldest) {
        oldest->motion = motion;
        oldest->known = true;
    }
}

void CallVideoMotionHook(CameraView& v) {
    if (!v.record.hookOn || MotionStateOf(v) != kMotionSeen) return;
    // The user library takes a JPEG picture: the one shown, encoded.
    std::vector<uint8_t> jpeg;
    {
        std::lock_guard lock(v.ui.viewMutex);
        if (!v.frames.current || !JpegEncodeMemory(v.frames.current, 85, jpeg)) return;
    }
    CallMotionHook(v, jpeg.data(), static_cast<int32_t>(jpeg.size()));
}

// One decoded frame through the pipeline; its motion value (the last one when the frame
// is not shown).
int ShowFrame(CameraView& v, VideoDecoder& d, VideoStream& s) {
    const AVFrame* frame = d.frame;
    StageFigures& figures = v.frames.stages;
    auto dropped = [&](const std::string& text, int line) {
        CameraStatus(v, line, text);
        v.capture.droppedAt = MonotonicNanoseconds();
        return s.lastMotion;
    };
    // A damaged picture would smear the view and wake the motion detector: it waits for
    // the decoder to recover (the next key frame at the latest).
    if (FrameDamaged(frame)) return dropped(Text(1019), 0);
    const int w = frame->width, h = frame->height;
    if (!AcceptPictureSize(v.record.modelIndex, false, w, h)) return s.lastMotion;
    const int64_t budget = ViewPictureBudget(v);
    if (static_cast<int64_t>(w) * h > budget) {
        ++v.frames.overBudget;
        return dropped(OverBudgetText(w, h, budget), kBudgetStatusLine);
    }
    const int64_t cpu = ThreadCpuNanoseconds();
    HDIB picture = ConvertVideoFrame(d, frame);
    figures.Add(kStageDecode, ThreadCpuNanoseconds() - cpu);
    if (!picture) return dropped(Text(1013), 0);
    if (s.info.width != 0 && (s.info.width != w || s.info.height != h)) {
        // The maps follow the new size by themselves; the recorder starts a new stream.
        dropped(SizeChangeText(s.info.width, s.info.height, w, h), 0);
        s.info.generation = ++g_generations;
    }
    s.info.width = w;
    s.info.height = h;
    const int motion = RunDecodedPicture(v, picture);
    if (g_lib.callerId != 2) CallVideoMotionHook(v);
    if (!(g_lib.callerId == 0 && g_lib.background)) {
        figures.AddLatency(MonotonicNanoseconds() - s.arrived);
        ShowResolutionCheck(v, kVideoLoop);
    }
    return motion;
}

// Decodes one packet (null: the stream ended) and shows what comes out.
void Decode(CameraView& v, VideoDecoder& d, VideoStream& s, const AVPacket* packet) {
    StageFigures& figures = v.frames.stages;
    const int64_t cpu = ThreadCpuNanoseconds(), wall = MonotonicNanoseconds();
    const bool taken = SendVideoPacket(d, packet);
    int64_t decodeCpu = ThreadCpuNanoseconds() - cpu, decodeWall = MonotonicNanoseconds() - wall;
    if (!taken && packet) {
        // Not decodable at all: it is recorded as it came.
        AssignMotion(s, packet->pts, s.lastMotion);
        CameraStatus(v, 0, Text(1019));
        v.capture.droppedAt = MonotonicNanoseconds();
    }
    for (;;) {
        const int64_t c0 = ThreadCpuNanoseconds(), w0 = MonotonicNanoseconds();
        const int got = ReceiveVideoFrame(d);
        decodeCpu += ThreadCpuNanoseconds() - c0;
        decodeWall += MonotonicNanoseconds() - w0;
        if (got != 1 || Stopping(v)) break;
        const int motion = ShowFrame(v, d, s);
        AssignMotion(s, d.frame->pts, motion);
    }
    figures.Add(kStageDecode, decodeCpu);
    figures.decodeWall.fetch_add(decodeWall, std::memory_order_relaxed);
}

// Receives, decodes and records until the stream ends, the view pauses or stops.
void ReceiveVideo(CameraView& v, VideoSource& source, VideoDecoder& decoder) {
    VideoStream s;
    const AVCodecParameters* par = VideoParameters(source);
    s.info.codecId = par->codec_id;
    // The size as described, so packets recorded before a picture is decoded (or with
    // nothing decoded at all, in the tray) go into a file of the right size.
    s.info.width = std::max(0, par->width);
    s.info.height = std::max(0, par->height);
    if (par->extradata && par->extradata_size > 0)
        s.info.extradata.assign(par->extradata, par->extradata + par->extradata_size);
    VideoTimeBase(source, s.info.timeBaseNum, s.info.timeBaseDen);
    s.info.generation = ++g_generations;
    StageFigures& figures = v.frames.stages;
    AVPacket* packet = av_packet_alloc();
    int64_t cpu = ThreadCpuNanoseconds();
    VideoFailure ended = VideoFailure::None;
    while (packet && !Stopping(v) && !v.ui.paused) {
        ended = ReadVideoPacket(source, packet, Timeouts().videoSilence);
        if (ended != VideoFailure::None) break;
        s.arrived = MonotonicNanoseconds();
        figures.Add(kStageReceive, ThreadCpuNanoseconds() - cpu);
        FeedWatchdog(v);
        size_t extraSize = 0;
        if (const uint8_t* extra = av_packet_get_side_data(packet, AV_PKT_DATA_NEW_EXTRADATA, &extraSize)) {
            s.info.extradata.assign(extra, extra + extraSize);
            s.info.generation = ++g_generations;
        }
        // The tray without motion detection: nothing is decoded, the packets are recorded.
        if (g_lib.callerId == 0 && g_lib.background && !v.motionZones.detector) {
            RecordPacket(v, s, packet, kNoMotionDetector, true);
            av_packet_unref(packet);
            cpu = ThreadCpuNanoseconds();
            continue;
        }
        Pending p;
        p.packet = av_packet_clone(packet);
        av_packet_unref(packet);
        if (!p.packet) continue;
        s.pending.push_back(p);
        Decode(v, decoder, s, s.pending.back().packet);
        FlushPending(v, s, false);
        cpu = ThreadCpuNanoseconds();
    }
    // What the decoder still holds is shown before the stream goes.
    if (ended == VideoFailure::Ended) Decode(v, decoder, s, nullptr);
    FlushPending(v, s, true);
    av_packet_free(&packet);
    if (ended != VideoFailure::None && !Stopping(v)) {
        ShowFailure(v, ended, source);
        Pause(v, kLostPauseMs);
    }
}

}  // namespace

void VideoCaptureLoop(CameraView* view) {
    CameraView& v = *view;
    VideoSource source;
    VideoDecoder decoder;
    while (!Stopping(v)) {
        if (v.ui.paused) {
            Pause(v, 500);
            continue;
        }
        CameraStatus(v, 1, Text(1008));
        const VideoFailure opened = OpenVideoSource(v, source, Timeouts().videoConnect);
        if (Stopping(v)) break;
        if (opened != VideoFailure::None) {
            ShowFailure(v, opened, source);
            Pause(v, kFailurePauseMs);
            continue;
        }
        std::string codec;
        const DecoderOpen d = OpenVideoDecoder(decoder, VideoParameters(source), codec);
        if (d != DecoderOpen::Ok) {
            CloseVideoSource(source);
            CameraStatus(v, 0, std::string(Text(1017)) + " " + codec);
            Pause(v, d == DecoderOpen::NoDecoder ? kNoDecoderPauseMs : kFailurePauseMs);
            continue;
        }
        FeedWatchdog(v);
        ReceiveVideo(v, source, decoder);
        CloseVideoDecoder(decoder);
        CloseVideoSource(source);
    }
    CloseVideoSource(source);
}

}  // namespace orb
