// Reading a video recording: one thread looks the file through packet by packet (without
// decoding) and learns every frame's time and the key frames, following a file that is
// still being recorded; another decodes the frames asked for. A frame is reached from the
// key frame before it, decoding forward; the frames decoded on the way are kept (up to a
// memory budget), so stepping and playing backward decode each group of pictures once, and
// the frames that follow in the direction of play are decoded ahead. Frames are numbered
// in the order they are shown, as other programs number them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/debug_log.h"
#include "platform/dib.h"
#include "record/recording_source.h"
#include "record/still_picture.h"
#include "record/video_file.h"

namespace orb {

namespace {

// Decoded frames kept for stepping and playing backward, and how many are decoded ahead.
constexpr size_t kCacheBytes = 160u << 20;
constexpr int kAhead = 2;
// A file is taken to be still recorded while it changed this recently.
constexpr int kGrowingSeconds = 3;
// Frames whose place in the showing order may still change while the file is looked through
// (pictures decoded before the ones they follow).
constexpr size_t kReorderDepth = 16;

int Interrupted(void* opaque) { return static_cast<std::atomic<bool>*>(opaque)->load() ? 1 : 0; }

int DecoderThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(n, 1u, 4u));
}

int64_t PtsOf(const AVPacket* p) { return p->pts != AV_NOPTS_VALUE ? p->pts : p->dts; }

class VideoRecordingSource final : public RecordingSource {
public:
    // first: the first packet's time and key flag, read when the file was opened, so the
    // first frame is known at once.
    VideoRecordingSource(std::string path, AVFormatContext* demux, int video, const SystemTime& begins,
                         int64_t startPts, int64_t first, bool firstKey)
        : path_(std::move(path)), demux_(demux), video_(video), beginsMs_(LocalMilliseconds(begins)),
          startPts_(startPts) {
        timeBase_ = demux_->streams[video_]->time_base;
        Learn(first, firstKey);
        demux_->interrupt_callback = {Interrupted, &stop_};
        scanner_ = std::thread([this] { Scan(); });
        decoder_ = std::thread([this] { Decode(); });
    }

    ~VideoRecordingSource() override {
        stop_ = true;
        {
            std::lock_guard l(m_);
            changed_.notify_all();
            ready_.notify_all();
        }
        if (scanner_.joinable()) scanner_.join();
        if (decoder_.joinable()) decoder_.join();
        for (auto& [n, pic] : cache_) DestroyDIB(pic);
        avcodec_free_context(&codec_);
        sws_freeContext(sws_);
        avformat_close_input(&demux_);
    }

    int32_t FrameCount(bool settled) override {
        std::unique_lock l(m_);
        if (!settled) return StableCount();
        ready_.wait(l, [this] { return stop_ || scanEnded_ || caughtUp_; });
        return Counted();
    }

    bool FrameTime(int32_t n, SystemTime& time) override {
        std::lock_guard l(m_);
        if (n < 0 || n >= Counted()) return false;
        time = TimeOf(shown_[static_cast<size_t>(n)]);
        return true;
    }

    FrameFetch Fetch(int32_t n, int step, HDIB& picture, SystemTime& time, bool wait) override {
        picture = nullptr;
        std::unique_lock l(m_);
        if (n < 0 || n >= Counted()) return FrameFetch::ReadFailed;
        time = TimeOf(shown_[static_cast<size_t>(n)]);
        if (wanted_ != n || step_ != step) {
            wanted_ = n;
            step_ = step == 0 ? 1 : step;
            ++serial_;
            changed_.notify_all();
        }
        auto settledFor = [this, n] { return stop_ || cache_.count(n) || failed_.count(n); };
        if (wait) ready_.wait(l, settledFor);
        if (auto it = cache_.find(n); it != cache_.end()) {
            picture = DuplicateDIB(it->second);
            return picture ? FrameFetch::Ready : FrameFetch::DecodeFailed;
        }
        if (failed_.count(n) || stop_) return FrameFetch::DecodeFailed;
        return FrameFetch::Pending;
    }

    void AwaitFetch(int ms) override {
        std::unique_lock l(m_);
        ready_.wait_for(l, std::chrono::milliseconds(ms),
                        [this] { return stop_ || wanted_ < 0 || cache_.count(wanted_) || failed_.count(wanted_); });
    }

    bool Counting() override {
        std::lock_guard l(m_);
        return !scanEnded_ && !caughtUp_;
    }

    void AwaitCount(int32_t frames, int ms) override {
        std::unique_lock l(m_);
        ready_.wait_for(l, std::chrono::milliseconds(ms),
                        [&] { return stop_ || scanEnded_ || caughtUp_ || StableCount() >= frames; });
    }

private:
    // ---- The index (under m_) ----

    int32_t StableCount() const {
        if (scanEnded_ || !reordered_ || recent_.empty()) return static_cast<int32_t>(shown_.size());
        const int64_t least = *std::min_element(recent_.begin(), recent_.end());
        return static_cast<int32_t>(std::lower_bound(shown_.begin(), shown_.end(), least) - shown_.begin());
    }

    // Every frame looked at, once the scanner has read all there is now.
    int32_t Counted() const {
        return scanEnded_ || caughtUp_ ? static_cast<int32_t>(shown_.size()) : StableCount();
    }

    SystemTime TimeOf(int64_t pts) const {
        return LocalTimeAt(beginsMs_ + av_rescale_q(pts - startPts_, timeBase_, {1, 1000}));
    }

    int32_t IndexOf(int64_t pts) const {
        const auto it = std::lower_bound(shown_.begin(), shown_.end(), pts);
        return it != shown_.end() && *it == pts ? static_cast<int32_t>(it - shown_.begin()) : -1;
    }

    void Learn(int64_t pts, bool key) {
        if (!shown_.empty() && pts < shown_.back()) reordered_ = true;
        shown_.insert(std::upper_bound(shown_.begin(), shown_.end(), pts), pts);
        if (key) keys_.insert(std::upper_bound(keys_.begin(), keys_.end(), pts), pts);
        recent_.push_back(pts);
        if (recent_.size() > kReorderDepth) recent_.erase(recent_.begin());
    }

    // ---- Looking the file through ----

    // The scanner reads the file through a descriptor of its own; at its end it waits while
    // the file is still being recorded, so the demuxer sees one stream that goes on.
    static int ReadFollowing(void* opaque, uint8_t* buf, int size) {
        auto* self = static_cast<VideoRecordingSource*>(opaque);
        while (!self->stop_) {
            const ssize_t n = ::read(self->scanFd_, buf, static_cast<size_t>(size));
            if (n > 0) return static_cast<int>(n);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return AVERROR(errno);
            if (!self->StillRecorded()) return AVERROR_EOF;
            std::unique_lock l(self->m_);
            if (!self->caughtUp_) {
                self->caughtUp_ = true;
                self->ready_.notify_all();
            }
            self->changed_.wait_for(l, std::chrono::milliseconds(100));
        }
        return AVERROR_EXIT;
    }

    bool StillRecorded() const {
        if (IsRecordingOpen(path_)) return true;
        if (VideoFileEnded(path_)) return false;
        // Written by another program, or its writer died: it may still grow a little while.
        struct stat st{};
        return stat(path_.c_str(), &st) == 0 && std::time(nullptr) - st.st_mtime < kGrowingSeconds;
    }

    void Scan() {
        AVFormatContext* scan = nullptr;
        AVIOContext* io = nullptr;
        scanFd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        auto* buffer = scanFd_ >= 0 ? static_cast<uint8_t*>(av_malloc(64 * 1024)) : nullptr;
        if (buffer) io = avio_alloc_context(buffer, 64 * 1024, 0, this, ReadFollowing, nullptr, nullptr);
        if (!io) av_free(buffer);
        scan = io ? avformat_alloc_context() : nullptr;
        bool ok = false;
        if (scan) {
            scan->pb = io;
            scan->flags |= AVFMT_FLAG_CUSTOM_IO;
            scan->interrupt_callback = {Interrupted, &stop_};
            // Read straight through: the index the file may carry at its end is not needed.
            ok = avformat_open_input(&scan, nullptr, av_find_input_format("matroska"), nullptr) >= 0;
        }
        const int video = ok ? av_find_best_stream(scan, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
        if (video >= 0) {
            for (unsigned i = 0; i < scan->nb_streams; ++i)
                if (static_cast<int>(i) != video) scan->streams[i]->discard = AVDISCARD_ALL;
            AVPacket* pkt = av_packet_alloc();
            int64_t last = AV_NOPTS_VALUE;
            bool first = true;  // known from the opening already
            while (pkt && !stop_ && av_read_frame(scan, pkt) >= 0) {
                if (pkt->stream_index == video && std::exchange(first, false)) {
                    last = PtsOf(pkt);
                } else if (pkt->stream_index == video) {
                    int64_t pts = PtsOf(pkt);
                    if (pts == AV_NOPTS_VALUE) pts = last == AV_NOPTS_VALUE ? 0 : last + 1;
                    last = pts;
                    std::lock_guard l(m_);
                    caughtUp_ = false;
                    Learn(pts, (pkt->flags & AV_PKT_FLAG_KEY) != 0);
                    ready_.notify_all();
                    changed_.notify_all();
                }
                av_packet_unref(pkt);
            }
            av_packet_free(&pkt);
        }
        if (scan) avformat_close_input(&scan);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
        if (scanFd_ >= 0) ::close(scanFd_);
        scanFd_ = -1;
        std::lock_guard l(m_);
        scanEnded_ = true;
        ready_.notify_all();
        changed_.notify_all();
    }

    // ---- Decoding ----

    enum class Job { None, Decode };

    // The frame to decode next: the one asked for, then those that follow it.
    Job Choose(int32_t& target) const {
        const int32_t count = Counted();
        auto open = [&](int32_t n) { return n >= 0 && n < count && !cache_.count(n) && !failed_.count(n); };
        if (wanted_ < 0) return Job::None;
        if (open(wanted_)) return target = wanted_, Job::Decode;
        for (int k = 1; k <= kAhead; ++k)
            if (open(wanted_ + k * step_)) return target = wanted_ + k * step_, Job::Decode;
        return Job::None;
    }

    void Decode() {
        while (!stop_) {
            int32_t target = -1;
            {
                std::unique_lock l(m_);
                changed_.wait(l, [&] { return stop_ || Choose(target) == Job::Decode; });
                if (stop_) break;
            }
            DecodeToward(target);
        }
    }

    bool StartDecoder() {
        if (codec_) return true;
        const AVCodecParameters* par = demux_->streams[video_]->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
        codec_ = decoder ? avcodec_alloc_context3(decoder) : nullptr;
        if (!codec_ || avcodec_parameters_to_context(codec_, par) < 0) return false;
        codec_->thread_count = DecoderThreads();
        codec_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        codec_->pkt_timebase = timeBase_;
        return avcodec_open2(codec_, decoder, nullptr) >= 0;
    }

    // Positions the demuxer at or before the key frame `key` (from `from` on) and empties the
    // decoder; the packets before the key frame are passed over.
    void SeekTo(int64_t key, int64_t from) {
        av_seek_frame(demux_, video_, from, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(codec_);
        skipTo_ = key;
        runKey_ = key;
        lastOut_ = AV_NOPTS_VALUE;
        live_ = true;
    }

    // Frames within this reach of the target are kept when decoded.
    int32_t Reach(const AVFrame* f) const {
        const size_t bytes = static_cast<size_t>(DibRowBytes(f->width, 24)) * static_cast<size_t>(f->height) + 64;
        return static_cast<int32_t>(std::max<size_t>(2, kCacheBytes / std::max<size_t>(bytes, 1)) - kAhead);
    }

    HDIB Convert(const AVFrame* f) {
        HDIB out = CreateDIB(f->width, f->height, 24);
        if (!out) return nullptr;
        sws_ = sws_getCachedContext(sws_, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                    f->height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!sws_) {
            DestroyDIB(out);
            return nullptr;
        }
        const int space = f->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : f->colorspace;
        const bool full = f->color_range == AVCOL_RANGE_JPEG || f->format == AV_PIX_FMT_YUVJ420P ||
                          f->format == AV_PIX_FMT_YUVJ422P || f->format == AV_PIX_FMT_YUVJ444P;
        const int* coefficients = sws_getCoefficients(space);
        sws_setColorspaceDetails(sws_, coefficients, full ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
        DibLock lock(out);
        // The picture's rows are stored bottom-up: the last row first, going up.
        uint8_t* dst[4] = {lock.rowFromTop(0), nullptr, nullptr, nullptr};
        const int stride[4] = {-lock.rowBytes(), 0, 0, 0};
        sws_scale(sws_, f->data, f->linesize, 0, f->height, dst, stride);
        return out;
    }

    // Keeps a decoded frame; the frames farthest from the one asked for go first.
    void Keep(int32_t n, HDIB pic) {
        const size_t bytes = GlobalSize(pic);
        cache_[n] = pic;
        cacheBytes_ += bytes;
        while (cacheBytes_ > kCacheBytes && cache_.size() > 1) {
            auto far = cache_.begin();
            auto last = std::prev(cache_.end());
            const int32_t w = wanted_;
            auto victim = std::abs(far->first - w) >= std::abs(last->first - w) ? far : last;
            if (victim->first == n) victim = victim == far ? last : far;
            cacheBytes_ -= GlobalSize(victim->second);
            DestroyDIB(victim->second);
            cache_.erase(victim);
        }
        ready_.notify_all();
    }

    // One decoded frame: kept when it lies near the target. True when it is the target.
    bool Take(const AVFrame* f, int32_t target, int64_t targetPts) {
        const int64_t pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        lastOut_ = pts;
        // Pictures shown before the key frame the decoding began at need the group before it.
        if (pts < runKey_) return false;
        int32_t n;
        {
            std::lock_guard l(m_);
            n = IndexOf(pts);
            if (n < 0 || cache_.count(n)) return pts == targetPts;
        }
        if (n < target - Reach(f) || n > target + kAhead) return pts == targetPts;
        HDIB pic = Convert(f);
        if (!pic) return pts == targetPts;
        std::lock_guard l(m_);
        Keep(n, pic);
        return pts == targetPts;
    }

    void Fail(int32_t n) {
        DebugLog("video %s: frame %d cannot be decoded", path_.c_str(), n);
        std::lock_guard l(m_);
        failed_.insert(n);
        ready_.notify_all();
    }

    void DecodeToward(int32_t target) {
        int64_t targetPts, key, first, lastIndexPts = AV_NOPTS_VALUE;
        uint64_t serial;
        int32_t lastOutIndex;
        {
            std::lock_guard l(m_);
            targetPts = shown_[static_cast<size_t>(target)];
            auto k = std::upper_bound(keys_.begin(), keys_.end(), targetPts);
            if (k == keys_.begin()) {
                failed_.insert(target);
                ready_.notify_all();
                return;
            }
            key = *std::prev(k);
            first = keys_.front();
            serial = serial_;
            lastOutIndex = lastOut_ == AV_NOPTS_VALUE ? -1 : IndexOf(lastOut_);
            lastIndexPts = lastOut_;
        }
        if (!StartDecoder()) return Fail(target);
        // Going on from where the decoder is costs less than a seek while the target lies in
        // the same group of pictures, or just ahead.
        const bool goOn = live_ && lastIndexPts != AV_NOPTS_VALUE && targetPts > lastIndexPts &&
                          (key <= lastIndexPts || target - lastOutIndex <= 8);
        if (!goOn) {
            SeekTo(key, key);
            DebugLog("video %s: frame %d from the key frame at %lld", path_.c_str(), target, static_cast<long long>(key));
        }
        AVPacket* pkt = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        bool done = false, eof = false;
        int overshoot = 0;
        while (!done && !stop_ && pkt && frame) {
            {
                std::lock_guard l(m_);
                if (serial_ != serial && !(wanted_ == target)) break;  // asked for another frame meanwhile
            }
            const int r = eof ? AVERROR_EOF : av_read_frame(demux_, pkt);
            if (r < 0) {
                // The end of what is on disk: the decoder gives up the frames it holds.
                eof = true;
                avcodec_send_packet(codec_, nullptr);
                while (!done && avcodec_receive_frame(codec_, frame) >= 0) done = Take(frame, target, targetPts);
                live_ = false;
                if (!done) Fail(target);
                break;
            }
            if (pkt->stream_index != video_) {
                av_packet_unref(pkt);
                continue;
            }
            if (skipTo_ != AV_NOPTS_VALUE) {
                const int64_t pts = PtsOf(pkt);
                const bool isKey = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
                if (!(isKey && pts == skipTo_)) {
                    // Landed past the key frame: seek again from further back, at last from
                    // the first key frame.
                    if (isKey && pts > skipTo_ && ++overshoot < 3) SeekTo(key, overshoot == 1 ? key - 1 : first);
                    av_packet_unref(pkt);
                    continue;
                }
                skipTo_ = AV_NOPTS_VALUE;
            }
            const int sent = avcodec_send_packet(codec_, pkt);
            av_packet_unref(pkt);
            if (sent < 0 && sent != AVERROR(EAGAIN)) continue;  // a damaged packet: the next ones may decode
            while (!done && avcodec_receive_frame(codec_, frame) >= 0) {
                done = Take(frame, target, targetPts);
                if (!done && lastOut_ != AV_NOPTS_VALUE && lastOut_ > targetPts) {
                    // The target cannot come out any more from here (a picture that needs the
                    // group before): it is given up rather than decoded for ever.
                    Fail(target);
                    done = true;
                }
            }
        }
        av_frame_free(&frame);
        av_packet_free(&pkt);
    }

    const std::string path_;
    AVFormatContext* demux_ = nullptr;  // the decoder's demuxer (the scanner has its own)
    const int video_;
    AVRational timeBase_{1, 1000};
    const int64_t beginsMs_;
    const int64_t startPts_;
    std::atomic<bool> stop_{false};
    std::thread scanner_, decoder_;
    int scanFd_ = -1;

    std::mutex m_;
    std::condition_variable changed_;  // work for the threads
    std::condition_variable ready_;    // frames counted or decoded
    std::vector<int64_t> shown_;       // every frame's time, in showing order
    std::vector<int64_t> keys_;        // the key frames' times, in order
    std::vector<int64_t> recent_;      // the times of the last packets looked at
    bool scanEnded_ = false;
    bool caughtUp_ = false;  // the scanner waits at the end of a file being recorded
    bool reordered_ = false;  // pictures come in another order than shown (B-frames)
    int32_t wanted_ = -1;
    int step_ = 1;
    uint64_t serial_ = 0;
    std::map<int32_t, HDIB> cache_;
    size_t cacheBytes_ = 0;
    std::set<int32_t> failed_;

    // The decoder thread's own.
    AVCodecContext* codec_ = nullptr;
    SwsContext* sws_ = nullptr;
    int64_t skipTo_ = AV_NOPTS_VALUE;
    int64_t runKey_ = AV_NOPTS_VALUE;   // the key frame the decoding began at
    int64_t lastOut_ = AV_NOPTS_VALUE;  // the last frame the decoder gave
    bool live_ = false;                 // the decoder goes on from lastOut_
};

SystemTime FileTime(const std::string& path) {
    struct stat st{};
    const time_t t = stat(path.c_str(), &st) == 0 ? st.st_mtime : std::time(nullptr);
    struct tm lt{};
    localtime_r(&t, &lt);
    SystemTime s{};
    s.year = static_cast<uint16_t>(lt.tm_year + 1900);
    s.month = static_cast<uint16_t>(lt.tm_mon + 1);
    s.dayOfWeek = static_cast<uint16_t>(lt.tm_wday);
    s.day = static_cast<uint16_t>(lt.tm_mday);
    s.hour = static_cast<uint16_t>(lt.tm_hour);
    s.minute = static_cast<uint16_t>(lt.tm_min);
    s.second = static_cast<uint16_t>(lt.tm_sec);
    return s;
}

}  // namespace

OpenResult OpenVideoSource(const std::string& path, std::unique_ptr<RecordingSource>& source, CameraRecord* record) {
    source.reset();
    QuietVideoLibraries();
    struct stat st{};
    if (path.empty() || stat(path.c_str(), &st) != 0) return OpenResult::Missing;
    if (access(path.c_str(), R_OK) != 0) return OpenResult::OpenFailed;
    AVFormatContext* demux = nullptr;
    if (avformat_open_input(&demux, path.c_str(), nullptr, nullptr) < 0) return OpenResult::BadMagic;
    auto refuse = [&demux](OpenResult r) {
        avformat_close_input(&demux);
        return r;
    };
    const int video = av_find_best_stream(demux, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) return refuse(OpenResult::BadCompression);
    const AVCodecParameters* par = demux->streams[video]->codecpar;
    if (!avcodec_find_decoder(par->codec_id) || par->width <= 0 || par->height <= 0)
        return refuse(OpenResult::BadCompression);
    CameraRecord copy{};
    SystemTime begins{};
    int64_t startPts = 0;
    if (!ReadVideoHeader(demux, &copy, &begins)) {
        // A video file of another program: shown flat from its first frame, at its file time.
        DefaultStillRecord(copy, par->width, par->height);
        begins = FileTime(path);
        const int64_t start = demux->streams[video]->start_time;
        startPts = start == AV_NOPTS_VALUE ? 0 : start;
    }
    // A file with no frame yet (just made, or its first cluster never written) is empty.
    AVPacket* pkt = av_packet_alloc();
    bool any = false, key = false;
    int64_t first = 0;
    while (pkt && !any && av_read_frame(demux, pkt) >= 0) {
        any = pkt->stream_index == video;
        if (any) first = PtsOf(pkt) == AV_NOPTS_VALUE ? 0 : PtsOf(pkt), key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    if (!any) return refuse(OpenResult::Empty);
    if (record) std::memcpy(static_cast<void*>(record), &copy, sizeof copy);
    source = std::make_unique<VideoRecordingSource>(path, demux, video, begins, startPts, first, key);
    return OpenResult::Ok;
}

}  // namespace orb
