// Video recordings of a 1920x1080 H.264 camera (15 pictures/s, a key frame a second), in the
// same run:
// - recording: CPU per packet through the recorder (into the hour's Matroska file) against
//   write(2) of the same bytes and against ffmpeg copying the same stream into Matroska
//   ("ffmpeg -i clip.ts -c copy out.mkv", wall time per packet, its start-up included);
// - playing: wall time per frame through the recording reader (decode and conversion to the
//   player's 24-bit pictures) against "ffmpeg -i rec.mkv -f null -" (decoding only) and
//   "ffmpeg -i rec.mkv -pix_fmt bgr24 -f rawvideo /dev/null" (decoding and conversion).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "config/library_state.h"
#include "config/settings.h"
#include "platform/dib.h"
#include "platform/paths.h"
#include "record/recorder.h"
#include "platform/clock.h"
#include "record/recording_source.h"
#include "record/video_file.h"
#include "record/video_recording.h"
#include "ui/panoview.h"

namespace {

constexpr int kFrames = 150;

struct Packet {
    std::vector<uint8_t> data;
    int64_t pts, dts;
    bool key;
};

struct Bench {
    std::string dir, clip, recording;
    orb::VideoStreamInfo info;
    std::vector<Packet> packets;
    double clipSeconds = 0;
};

int Run(const std::string& cmd) { return std::system(cmd.c_str()); }

double WallSeconds(const std::string& cmd) {
    const auto t0 = std::chrono::steady_clock::now();
    Run(cmd);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

Bench& World() {
    static Bench* b = [] {
        auto* w = new Bench;
        char name[] = "/tmp/orbbench.XXXXXX";
        w->dir = mkdtemp(name) ? name : "/tmp";
        setenv("ORBISCOPE_HOME", w->dir.c_str(), 1);
        setenv("ORBISCOPE_SYSTEM_DIR", w->dir.c_str(), 1);
        w->clip = w->dir + "/clip.ts";
        Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=15 -frames:v " + std::to_string(kFrames) +
            " -c:v libx264 -preset veryfast -b:v 4M -g 15 -bf 0 -pix_fmt yuv420p -f mpegts '" + w->clip + "'");
        AVFormatContext* ctx = nullptr;
        if (avformat_open_input(&ctx, w->clip.c_str(), nullptr, nullptr) == 0 && avformat_find_stream_info(ctx, nullptr) >= 0) {
            const int v = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
            const AVStream* st = ctx->streams[v];
            w->info.codecId = st->codecpar->codec_id;
            w->info.width = st->codecpar->width;
            w->info.height = st->codecpar->height;
            w->info.timeBaseNum = st->time_base.num;
            w->info.timeBaseDen = st->time_base.den;
            w->info.extradata.assign(st->codecpar->extradata, st->codecpar->extradata + st->codecpar->extradata_size);
            AVPacket* pkt = av_packet_alloc();
            while (av_read_frame(ctx, pkt) >= 0) {
                if (pkt->stream_index == v)
                    w->packets.push_back({std::vector<uint8_t>(pkt->data, pkt->data + pkt->size), pkt->pts, pkt->dts,
                                          (pkt->flags & AV_PKT_FLAG_KEY) != 0});
                av_packet_unref(pkt);
            }
            av_packet_free(&pkt);
        }
        avformat_close_input(&ctx);
        w->clipSeconds = kFrames / 15.0;
        // Storage: one root in the temporary folder, whatever its size.
        orb::SetDriveProbe({[] { return std::vector<orb::MountEntry>{}; },
                            [](const std::string&, double& f, double& t) {
                                f = 1e11, t = 1e12;
                                return true;
                            }});
        orb::WriteSetting("DVR", "StorageRoots", w->dir);
        orb::BuildDriveTable();
        orb::g_lib.callerId = 0;
        orb::g_lib.recording = 1;
        return w;
    }();
    return *b;
}

// The recorder: every packet of the clip, again and again at the camera's times.
void BM_RecordVideoPacket(benchmark::State& state) {
    Bench& w = World();
    auto view = std::make_unique<PanoView>();
    std::strcpy(view->record.location, "Bench");
    orb::ClearRecordingSlots();
    orb::StartRecordingContext(view.get());
    orb::AssignRecordingSlot(view.get(), 0, 1);
    const int64_t loopTicks = static_cast<int64_t>(w.clipSeconds * w.info.timeBaseDen / w.info.timeBaseNum);
    // The local clock goes with the camera's pictures, as it does when they come live.
    int64_t clockMs = orb::LocalMilliseconds(SystemTime{2011, 5, 6, 14, 13, 0, 0, 0});
    orb::SetLocalClock([&clockMs] { return orb::LocalTimeAt(clockMs); });
    size_t i = 0;
    int64_t loop = 0, bytes = 0;
    for (auto _ : state) {
        const Packet& p = w.packets[i];
        orb::VideoPacket v{p.data.data(), p.data.size(), p.pts + loop * loopTicks, p.dts + loop * loopTicks, p.key};
        benchmark::DoNotOptimize(orb::RecordVideoPacket(view.get(), w.info, v, orb::kNoMotionDetector));
        bytes += static_cast<int64_t>(p.data.size());
        clockMs += 1000 / 15;
        if (++i == w.packets.size()) i = 0, ++loop;
    }
    orb::SetLocalClock({});
    w.recording = orb::OpenVideoRecordingPath(view.get());
    orb::StopRecordingContext(view.get());
    orb::ReleaseRecordingSlot(view.get());
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_RecordVideoPacket)->Iterations(3 * kFrames)->MeasureProcessCPUTime()->UseRealTime();

// write(2) of the same packets into a file of the same folder.
void BM_WritePackets(benchmark::State& state) {
    Bench& w = World();
    const std::string path = w.dir + "/plain.bin";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    size_t i = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        const Packet& p = w.packets[i];
        benchmark::DoNotOptimize(::write(fd, p.data.data(), p.data.size()));
        bytes += static_cast<int64_t>(p.data.size());
        if (++i == w.packets.size()) i = 0;
    }
    ::close(fd);
    unlink(path.c_str());
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_WritePackets)->Iterations(3 * kFrames)->MeasureProcessCPUTime()->UseRealTime();

// ffmpeg copying the stream into Matroska: seconds per packet.
void BM_FfmpegCopy(benchmark::State& state) {
    Bench& w = World();
    for (auto _ : state) {
        const double s = WallSeconds("ffmpeg -nostdin -v error -y -i '" + w.clip + "' -c copy '" + w.dir + "/copy.mkv'");
        state.SetIterationTime(s / static_cast<double>(w.packets.size()));
    }
}
BENCHMARK(BM_FfmpegCopy)->Iterations(3)->UseManualTime();

// The reader: every frame decoded in order into the player's pictures.
void BM_ReadVideoFrames(benchmark::State& state) {
    Bench& w = World();
    if (w.recording.empty()) {
        state.SkipWithError("no recording (run BM_RecordVideoPacket first)");
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<orb::RecordingSource> source;
        orb::OpenRecordingSource(w.recording, source, nullptr);
        const int32_t n = source ? source->FrameCount(true) : 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (int32_t k = 0; k < n; ++k) {
            HDIB pic = nullptr;
            SystemTime t{};
            source->Fetch(k, 1, pic, t, true);
            orb::DestroyDIB(pic);
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / std::max(n, 1));
    }
}
BENCHMARK(BM_ReadVideoFrames)->Iterations(3)->UseManualTime();

void BM_FfmpegDecode(benchmark::State& state) {
    Bench& w = World();
    for (auto _ : state)
        state.SetIterationTime(WallSeconds("ffmpeg -nostdin -v error -i '" + w.recording + "' -f null -") / (3.0 * kFrames));
}
BENCHMARK(BM_FfmpegDecode)->Iterations(3)->UseManualTime();

void BM_FfmpegDecodeToBgr(benchmark::State& state) {
    Bench& w = World();
    for (auto _ : state)
        state.SetIterationTime(WallSeconds("ffmpeg -nostdin -v error -i '" + w.recording +
                                           "' -pix_fmt bgr24 -f rawvideo -y /dev/null") / (3.0 * kFrames));
}
BENCHMARK(BM_FfmpegDecodeToBgr)->Iterations(3)->UseManualTime();

}  // namespace
