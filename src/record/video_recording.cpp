#include "record/video_recording.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

#include "platform/clock.h"
#include "platform/debug_log.h"
#include "platform/jpeg_codec.h"
#include "record/video_file.h"

namespace orb {

namespace {

// A packet kept since the last key frame, with its times in milliseconds of the stream.
struct HeldPacket {
    std::vector<uint8_t> data;
    int64_t ptsMs = 0, dtsMs = 0;
    int64_t arrivalMs = 0;  // local time it was received at
    bool key = false;
    bool written = false;  // into the open file
};

// The file's times may follow the camera's clock only this far from the local clock; a
// camera whose clock jumps is taken up again at the local clock.
constexpr int64_t kClockSlackMs = 10000;

bool SameHour(const SystemTime& a, const SystemTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour;
}

}  // namespace

struct VideoRecorder {
    std::mutex lock;  // the capture thread records, the window thread writes the record back
    VideoFile file;
    VideoParams fileParams;  // what the open file was made for
    SystemTime fileHour{};
    int64_t zeroMs = 0;  // the local time of the file's time 0
    bool offsetSet = false;
    int64_t offsetMs = 0;  // file time = stream time + offset
    int64_t lastDtsMs = 0;
    int64_t lastFlushNs = 0, lastFlushDtsMs = 0;

    // The stream being received.
    bool known = false;
    uint32_t generation = 0;
    VideoParams params;
    int64_t baseMs = 0;  // when the stream began, for packets without times
    AVBSFContext* extract = nullptr;  // finds parameter sets the stream did not announce

    // The packets since the last key frame; the first is a key frame when `keyed`.
    std::vector<HeldPacket> held;
    size_t heldBytes = 0;
    bool keyed = false;
    bool writing = false;  // the packet before was written: the stretch goes on

    ~VideoRecorder() {
        CloseVideoFile(file);
        av_bsf_free(&extract);
    }
};

void VideoRecorderDeleter::operator()(VideoRecorder* r) const { delete r; }
VideoRecorder* NewVideoRecorder() { return new VideoRecorder; }

namespace {

bool NeedsParameterSets(int32_t codecId) { return codecId == AV_CODEC_ID_H264 || codecId == AV_CODEC_ID_HEVC; }

// Parameter sets carried in a packet (a key frame), for a stream that did not announce them.
void FindParameterSets(VideoRecorder& r, const uint8_t* data, size_t size) {
    if (!r.extract) {
        const AVBitStreamFilter* filter = av_bsf_get_by_name("extract_extradata");
        if (!filter || av_bsf_alloc(filter, &r.extract) < 0) return;
        r.extract->par_in->codec_id = static_cast<AVCodecID>(r.params.codecId);
        if (av_bsf_init(r.extract) < 0) {
            av_bsf_free(&r.extract);
            return;
        }
    }
    AVPacket* pkt = av_packet_alloc();
    if (!pkt || av_new_packet(pkt, static_cast<int>(size)) < 0) {
        av_packet_free(&pkt);
        return;
    }
    std::memcpy(pkt->data, data, size);
    if (av_bsf_send_packet(r.extract, pkt) >= 0) {
        while (av_bsf_receive_packet(r.extract, pkt) >= 0) {
            size_t n = 0;
            const uint8_t* sets = av_packet_get_side_data(pkt, AV_PKT_DATA_NEW_EXTRADATA, &n);
            if (sets && n > 0) r.params.extradata.assign(sets, sets + n);
            av_packet_unref(pkt);
        }
    }
    av_packet_free(&pkt);
}

// The picture size of a stream whose description gave none (an RTSP camera's usually
// does not), from its parameter sets and a key frame, or from the JPEG picture itself.
void FindPictureSize(VideoRecorder& r, const uint8_t* data, size_t size) {
    int w = 0, h = 0;
    if (r.params.codecId == AV_CODEC_ID_MJPEG) {
        JpegReadSize(data, size, &w, &h);
    } else if (AVCodecParserContext* parser = av_parser_init(r.params.codecId)) {
        AVCodecContext* context = avcodec_alloc_context3(nullptr);
        std::vector<uint8_t> packet(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::memcpy(packet.data(), data, size);
        const size_t extra = r.params.extradata.size();
        if (context && extra > 0 &&
            (context->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE)))) {
            std::memcpy(context->extradata, r.params.extradata.data(), extra);
            context->extradata_size = static_cast<int>(extra);
        }
        if (context) {
            parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
            uint8_t* out = nullptr;
            int outSize = 0;
            av_parser_parse2(parser, context, &out, &outSize, packet.data(), static_cast<int>(size), AV_NOPTS_VALUE,
                             AV_NOPTS_VALUE, 0);
            w = parser->width;
            h = parser->height;
        }
        av_parser_close(parser);
        avcodec_free_context(&context);
    }
    if (w > 0 && h > 0) {
        r.params.width = w;
        r.params.height = h;
    }
}

void CloseFile(VideoRecorder& r) {
    CloseVideoFile(r.file);
    r.offsetSet = false;
    for (HeldPacket& h : r.held) h.written = false;
}

// The packet's bookkeeping: a new stream, its parameter sets, its times in milliseconds.
HeldPacket Take(VideoRecorder& r, const VideoStreamInfo& s, const VideoPacket& p, int64_t nowMs) {
    if (!r.known || s.generation != r.generation) {
        r.known = true;
        r.generation = s.generation;
        r.params = VideoParams{s.codecId, s.width, s.height, s.extradata};
        r.baseMs = nowMs;
        av_bsf_free(&r.extract);
        r.held.clear();
        r.heldBytes = 0;
        r.keyed = false;
        r.writing = false;
        // The same parameters go on in the same file, with times taken up from the clock.
        r.offsetSet = false;
    }
    if (p.key && r.params.extradata.empty() && NeedsParameterSets(r.params.codecId)) FindParameterSets(r, p.data, p.size);
    if (p.key && (r.params.width <= 0 || r.params.height <= 0)) FindPictureSize(r, p.data, p.size);
    HeldPacket h;
    const AVRational tb{s.timeBaseNum > 0 ? s.timeBaseNum : 1, s.timeBaseDen > 0 ? s.timeBaseDen : 90000};
    int64_t pts = p.pts, dts = p.dts;
    if (dts == kNoVideoTime) dts = pts;
    if (pts == kNoVideoTime) pts = dts;
    if (pts == kNoVideoTime) {
        h.ptsMs = h.dtsMs = nowMs - r.baseMs;
    } else {
        h.ptsMs = av_rescale_q(pts, tb, {1, 1000});
        h.dtsMs = av_rescale_q(dts, tb, {1, 1000});
    }
    h.arrivalMs = nowMs;
    h.key = p.key;
    h.data.assign(p.data, p.data + p.size);
    return h;
}

// Keeps the packet among those since the last key frame.
HeldPacket& Hold(VideoRecorder& r, HeldPacket&& h) {
    if (h.key) {
        r.held.clear();
        r.heldBytes = 0;
        r.keyed = true;
    } else if (r.heldBytes + h.data.size() > kVideoHeldBytesMax) {
        // A group of pictures too long to keep: a stretch waits for the next key frame.
        r.held.clear();
        r.heldBytes = 0;
        r.keyed = false;
    }
    r.heldBytes += h.data.size();
    r.held.push_back(std::move(h));
    return r.held.back();
}

// This hour's file on the roomiest drive, beginning at the packet: 1, 0 (cannot be
// created), -1 (its header cannot be written).
int OpenFile(RecordView* view, VideoRecorder& r, const HeldPacket& first, const SystemTime& now) {
    const std::string folder = ChooseDriveFolder();
    if (folder.empty()) return 0;
    // The file begins at its first packet, which may have been received a moment ago.
    const SystemTime begins = LocalTimeAt(first.arrivalMs);
    // A video file cannot be continued: a file of this hour that exists already (an earlier
    // run, other parameters) stays, and the hour goes on in a numbered file beside it.
    for (int suffix = 0; suffix < 100; ++suffix) {
        const std::string path = HourFileName(folder, now, view->record.location, suffix, kVideoRecordingExtension);
        struct stat st{};
        if (stat(path.c_str(), &st) == 0) continue;
        const int made = CreateVideoFile(r.file, path, view->record, begins, r.params);
        if (made <= 0) return made;
        DebugLog("recording video into %s", path.c_str());
        r.fileParams = r.params;
        r.fileHour = now;
        r.zeroMs = first.arrivalMs;
        r.offsetSet = false;
        r.lastFlushNs = MonotonicNanoseconds();
        r.lastFlushDtsMs = 0;
        return 1;
    }
    return 0;
}

// Writes one held packet into the hour's file (opening it when there is none): true when
// it was stored.
bool Write(RecordView* view, VideoRecorder& r, HeldPacket& h, const SystemTime& now) {
    if (h.written) return true;
    // The hour turns, and other parameters begin a new file, at a key frame.
    if (r.file.mux && h.key && (!SameHour(now, r.fileHour) || !(r.fileParams == r.params))) CloseFile(r);
    if (!r.file.mux) {
        if (!h.key || !HourFileRetryDue(view, now)) return false;
        const int opened = OpenFile(view, r, h, now);
        HourFileOpened(view, opened, now);
        if (opened <= 0) return false;
    }
    const int64_t wallMs = h.arrivalMs - r.zeroMs;
    if (!r.offsetSet) {
        r.offsetMs = (r.file.packets == 0 ? 0 : std::max(r.lastDtsMs + 1, wallMs)) - h.dtsMs;
        r.offsetSet = true;
    }
    int64_t dts = h.dtsMs + r.offsetMs;
    if (std::llabs(dts - wallMs) > kClockSlackMs) {
        r.offsetMs = std::max(r.lastDtsMs + 1, wallMs) - h.dtsMs;
        dts = h.dtsMs + r.offsetMs;
    }
    if (r.file.packets > 0 && dts <= r.lastDtsMs) dts = r.lastDtsMs + 1;
    const int64_t pts = std::max(h.ptsMs + r.offsetMs, dts);
    if (!WriteVideoPacket(r.file, h.data.data(), h.data.size(), pts, dts, h.key)) {
        // A full disk or a lost drive: what is on disk stays playable; the next stretch
        // begins a new file.
        CloseFile(r);
        r.writing = false;
        return false;
    }
    h.written = true;
    r.lastDtsMs = dts;
    // The cluster goes to the system once half a second of pictures or of time has passed.
    const int64_t nowNs = MonotonicNanoseconds();
    if (nowNs - r.lastFlushNs >= kVideoFlushMilliseconds * 1000000LL || dts - r.lastFlushDtsMs >= kVideoFlushMilliseconds) {
        r.lastFlushNs = nowNs;
        r.lastFlushDtsMs = dts;
        if (!FlushVideoFile(r.file)) {
            CloseFile(r);
            r.writing = false;
        }
    }
    return true;
}

}  // namespace

int RecordVideoPacket(RecordView* view, const VideoStreamInfo& stream, const VideoPacket& packet, int motion,
                      bool background) {
    if (!view || !packet.data || packet.size == 0 || packet.size > INT32_MAX - 64) return 0;
    VideoRecorder* r = view->recording.video.get();
    if (!r) return 0;
    std::lock_guard lock(r->lock);
    if (!RecordingAllowed(view, background)) {
        r->writing = false;
        return 0;
    }
    const SystemTime now = LocalNow();
    HeldPacket& h = Hold(*r, Take(*r, stream, packet, LocalMilliseconds(now)));
    if (motion != kNoMotionDetector && motion == 0) {
        r->writing = false;
        return 0;
    }
    if (r->writing) {
        r->writing = Write(view, *r, h, now);
        return h.written ? 1 : 0;
    }
    // A stretch begins: from the key frame before it, so it plays from its first picture.
    if (!r->keyed) return 0;
    bool ok = true;
    for (HeldPacket& each : r->held)
        if (!(ok = Write(view, *r, each, now))) break;
    r->writing = ok;
    return h.written ? 1 : 0;
}

bool WriteBackVideoRecord(RecordView* view) {
    VideoRecorder* r = view ? view->recording.video.get() : nullptr;
    if (!r) return false;
    std::lock_guard lock(r->lock);
    return WriteBackVideoRecord(r->file, view->record);
}

std::string OpenVideoRecordingPath(RecordView* view) {
    VideoRecorder* r = view ? view->recording.video.get() : nullptr;
    if (!r) return {};
    std::lock_guard lock(r->lock);
    return r->file.mux ? r->file.path : std::string();
}

}  // namespace orb
