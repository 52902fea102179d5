#include "record/video_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "platform/debug_log.h"
#include "platform/private_files.h"
#include "platform/text_case.h"
#include "record/recording_file.h"

namespace orb {

namespace {

constexpr int kIoBufferBytes = 64 * 1024;

int WriteToFd(void* opaque, uint8_t* buf, int size) {
    const int fd = *static_cast<int*>(opaque);
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, buf + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return AVERROR(n < 0 ? errno : ENOSPC);
        done += static_cast<int>(n);
    }
    return size;
}

int64_t SeekFd(void* opaque, int64_t offset, int whence) {
    const int fd = *static_cast<int*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat st{};
        return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

// The attached header: the JPEG recording files' header with the codec's letters.
std::vector<uint8_t> HeaderBytes(const CameraRecord& record, const SystemTime& begins, uint32_t tag) {
    std::vector<uint8_t> h(kVideoHeaderBytes, 0);
    std::memcpy(h.data(), "ORBISCOPE", 9);
    const uint32_t version = kRecordingVersion;
    std::memcpy(h.data() + 12, &version, 4);
    std::memcpy(h.data() + 20, &tag, 4);
    PutSystemTime(h.data() + 28, begins);
    CameraRecord copy = record;
    std::memset(copy.account, 0, sizeof copy.account);
    std::memset(copy.password, 0, sizeof copy.password);
    copy.ownerLink = 0;
    std::memcpy(h.data() + 44, &copy, sizeof copy);
    return h;
}

bool IsHeader(const uint8_t* p, size_t n) {
    uint32_t version = 0;
    if (n < static_cast<size_t>(kVideoHeaderBytes) || std::memcmp(p, "ORBISCOPE\0", 10) != 0) return false;
    std::memcpy(&version, p + 12, 4);
    return version == kRecordingVersion;
}

// Where the muxer put the attached header: it lies near the start, before the first cluster.
int64_t FindHeader(int fd) {
    std::vector<uint8_t> head(256 * 1024);
    const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
    if (n <= 0) return -1;
    for (ssize_t i = 0; i + kVideoHeaderBytes <= n; ++i)
        if (head[i] == 'O' && IsHeader(head.data() + i, static_cast<size_t>(n - i))) return i;
    return -1;
}

std::string IsoUtc(const SystemTime& local) {
    using namespace std::chrono;
    // The creation time of the container is universal time; the file's name and header keep
    // the local time.
    const time_t now = time(nullptr);
    struct tm lt{};
    localtime_r(&now, &lt);
    const int64_t ms = LocalMilliseconds(local) - static_cast<int64_t>(lt.tm_gmtoff) * 1000;
    const SystemTime u = LocalTimeAt(ms);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", u.year, u.month, u.day, u.hour, u.minute,
                  u.second, u.milliseconds);
    return text;
}

void FreeMuxer(VideoFile& f) {
    if (f.mux) {
        AVIOContext* io = f.mux->pb;
        avformat_free_context(f.mux);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
    f.mux = nullptr;
    f.stream = nullptr;
    if (f.fd >= 0) {
        UnregisterOpenRecording(&f);
        ::close(f.fd);
    }
    f.fd = -1;
}

}  // namespace

void QuietVideoLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_callback([](void*, int level, const char* format, va_list args) {
            if (level > AV_LOG_WARNING || !DebugEnabled()) return;
            char line[512];
            std::vsnprintf(line, sizeof line, format, args);
            DebugLog("ffmpeg: %s", line);
        });
    });
}

bool IsVideoRecordingName(const char* name) { return name && EndsWithCaseBlind(name, kVideoRecordingExtension); }

bool LooksLikeVideoFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    uint8_t magic[4] = {};
    const bool ebml = ::pread(fd, magic, 4, 0) == 4 && magic[0] == 0x1A && magic[1] == 0x45 && magic[2] == 0xDF &&
                      magic[3] == 0xA3;
    ::close(fd);
    return ebml;
}

bool VideoFileEnded(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    uint8_t head[256] = {};
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    // The segment's size follows its identifier; the muxer leaves it "unknown" (every value
    // bit set) until the file is ended.
    for (ssize_t i = 0; i + 5 <= n; ++i) {
        if (head[i] != 0x18 || head[i + 1] != 0x53 || head[i + 2] != 0x80 || head[i + 3] != 0x67) continue;
        const uint8_t first = head[i + 4];
        int length = 1;
        while (length <= 8 && !(first & (0x80 >> (length - 1)))) ++length;
        if (length > 8 || i + 4 + length > n) return false;
        const auto valueBits = static_cast<uint8_t>((0x80 >> (length - 1)) - 1);
        bool allOnes = (first & valueBits) == valueBits;
        for (int k = 1; k < length; ++k) allOnes = allOnes && head[i + 4 + k] == 0xFF;
        return !allOnes;
    }
    return false;
}

uint32_t VideoCodecTag(int32_t codecId) {
    auto four = [](const char* s) {
        uint32_t v = 0;
        std::memcpy(&v, s, 4);
        return v;
    };
    switch (codecId) {
    case AV_CODEC_ID_H264: return four("H264");
    case AV_CODEC_ID_HEVC: return four("HEVC");
    case AV_CODEC_ID_MJPEG: return four("MJPG");
    default: return 0;
    }
}

VideoFile::~VideoFile() { CloseVideoFile(*this); }

int CreateVideoFile(VideoFile& f, const std::string& path, const CameraRecord& record, const SystemTime& begins,
                    const VideoParams& params) {
    CloseVideoFile(f);
    QuietVideoLibraries();
    const uint32_t tag = VideoCodecTag(params.codecId);
    if (!tag || params.width <= 0 || params.height <= 0) return 0;
    // O_EXCL: an existing recording is never re-created or truncated.
    f.fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, PrivateFileMode());
    if (f.fd < 0) return 0;
    f.path = path;
    f.packets = 0;
    f.headerAt = -1;
    RegisterOpenRecording(&f, f.fd);
    auto fail = [&f, &path] {
        FreeMuxer(f);
        std::remove(path.c_str());  // nothing was recorded in it yet
        return -1;
    };
    const AVOutputFormat* format = av_guess_format("matroska", nullptr, nullptr);
    if (!format || avformat_alloc_output_context2(&f.mux, format, nullptr, nullptr) < 0 || !f.mux) return fail();
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    AVIOContext* io = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, &f.fd, nullptr, WriteToFd, SeekFd) : nullptr;
    if (!io) {
        av_free(buffer);
        return fail();
    }
    f.mux->pb = io;
    f.mux->flags |= AVFMT_FLAG_CUSTOM_IO;
    const std::string title(record.location, strnlen(record.location, sizeof record.location));
    if (!title.empty()) av_dict_set(&f.mux->metadata, "title", title.c_str(), 0);
    av_dict_set(&f.mux->metadata, "creation_time", IsoUtc(begins).c_str(), 0);

    f.stream = avformat_new_stream(f.mux, nullptr);
    if (!f.stream) return fail();
    AVCodecParameters* par = f.stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = static_cast<AVCodecID>(params.codecId);
    par->width = params.width;
    par->height = params.height;
    if (!params.extradata.empty()) {
        par->extradata = static_cast<uint8_t*>(av_mallocz(params.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) return fail();
        std::memcpy(par->extradata, params.extradata.data(), params.extradata.size());
        par->extradata_size = static_cast<int>(params.extradata.size());
    }
    f.stream->time_base = {1, 1000};

    AVStream* attached = avformat_new_stream(f.mux, nullptr);
    if (!attached) return fail();
    const std::vector<uint8_t> header = HeaderBytes(record, begins, tag);
    attached->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
    attached->codecpar->extradata = static_cast<uint8_t*>(av_mallocz(header.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!attached->codecpar->extradata) return fail();
    std::memcpy(attached->codecpar->extradata, header.data(), header.size());
    attached->codecpar->extradata_size = static_cast<int>(header.size());
    av_dict_set(&attached->metadata, "filename", kCameraAttachmentName, 0);
    av_dict_set(&attached->metadata, "mimetype", kCameraAttachmentType, 0);

    if (avformat_write_header(f.mux, nullptr) < 0) return fail();
    avio_flush(f.mux->pb);
    if (f.mux->pb->error < 0) return fail();
    f.headerAt = FindHeader(f.fd);
    return 1;
}

bool WriteVideoPacket(VideoFile& f, const uint8_t* data, size_t size, int64_t ptsMs, int64_t dtsMs, bool key) {
    if (!f.mux || !data || size == 0 || size > INT32_MAX) return false;
    AVPacket* pkt = av_packet_alloc();
    if (!pkt) return false;
    // The muxer copies what it keeps: the caller's bytes are lent, not given.
    pkt->data = const_cast<uint8_t*>(data);
    pkt->size = static_cast<int>(size);
    pkt->stream_index = f.stream->index;
    pkt->pts = av_rescale_q(ptsMs, {1, 1000}, f.stream->time_base);
    pkt->dts = av_rescale_q(dtsMs, {1, 1000}, f.stream->time_base);
    if (key) pkt->flags |= AV_PKT_FLAG_KEY;
    const int r = av_write_frame(f.mux, pkt);
    av_packet_free(&pkt);
    if (r < 0 || f.mux->pb->error < 0) return false;
    ++f.packets;
    return true;
}

bool FlushVideoFile(VideoFile& f) {
    if (!f.mux) return false;
    if (av_write_frame(f.mux, nullptr) < 0) return false;  // ends the cluster
    avio_flush(f.mux->pb);
    return f.mux->pb->error >= 0;
}

bool WriteBackVideoRecord(VideoFile& f, const CameraRecord& record) {
    if (f.fd < 0 || f.headerAt < 0) return false;
    uint8_t head[44];
    if (::pread(f.fd, head, sizeof head, f.headerAt) != static_cast<ssize_t>(sizeof head)) return false;
    SystemTime begins = GetSystemTime(head + 28);
    uint32_t tag = 0;
    std::memcpy(&tag, head + 20, 4);
    const std::vector<uint8_t> header = HeaderBytes(record, begins, tag);
    // The same bytes in the same place: only the record part changes, the container's own
    // checks (it keeps none over attachments) stay good.
    return ::pwrite(f.fd, header.data() + 44, header.size() - 44, f.headerAt + 44) ==
           static_cast<ssize_t>(header.size() - 44);
}

void CloseVideoFile(VideoFile& f) {
    if (!f.mux) {
        FreeMuxer(f);
        return;
    }
    if (f.mux->pb && f.mux->pb->error >= 0) {
        av_write_trailer(f.mux);
        avio_flush(f.mux->pb);
    }
    FreeMuxer(f);
}

bool ReadVideoHeader(AVFormatContext* demux, CameraRecord* record, SystemTime* begins) {
    if (!demux) return false;
    for (unsigned i = 0; i < demux->nb_streams; ++i) {
        const AVCodecParameters* par = demux->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_ATTACHMENT || !par->extradata ||
            !IsHeader(par->extradata, static_cast<size_t>(par->extradata_size)))
            continue;
        if (record) std::memcpy(static_cast<void*>(record), par->extradata + 44, sizeof *record);
        if (begins) *begins = GetSystemTime(par->extradata + 28);
        return true;
    }
    return false;
}

int64_t LocalMilliseconds(const SystemTime& t) {
    using namespace std::chrono;
    const sys_days day = year_month_day(year(t.year), month(static_cast<unsigned>(t.month)),
                                        std::chrono::day(static_cast<unsigned>(t.day)));
    return ((day.time_since_epoch().count() * 24LL + t.hour) * 60 + t.minute) * 60000LL + t.second * 1000LL +
           t.milliseconds;
}

SystemTime LocalTimeAt(int64_t milliseconds) {
    using namespace std::chrono;
    int64_t days = milliseconds / 86400000LL;
    int64_t rest = milliseconds % 86400000LL;
    if (rest < 0) rest += 86400000LL, --days;
    const sys_days day{std::chrono::days(days)};
    const year_month_day ymd(day);
    SystemTime t{};
    t.year = static_cast<uint16_t>(static_cast<int>(ymd.year()));
    t.month = static_cast<uint16_t>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<uint16_t>(static_cast<unsigned>(ymd.day()));
    t.dayOfWeek = static_cast<uint16_t>(weekday(day).c_encoding());
    t.hour = static_cast<uint16_t>(rest / 3600000);
    t.minute = static_cast<uint16_t>(rest / 60000 % 60);
    t.second = static_cast<uint16_t>(rest / 1000 % 60);
    t.milliseconds = static_cast<uint16_t>(rest % 1000);
    return t;
}

}  // namespace orb
