// Append throughput of 100 KB pictures through the recording file writer, against plain
// fwrite of the same bytes into the same folder, in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "record/recording_file.h"

namespace {

std::string Folder() {
    static std::string dir = [] {
        char name[] = "/tmp/orbbench.XXXXXX";
        return std::string(mkdtemp(name) ? name : "/tmp");
    }();
    return dir;
}

constexpr int kFrameBytes = 100 * 1024;
constexpr int kFramesPerFile = 2000;

void BM_RecorderAppend(benchmark::State& state) {
    std::vector<uint8_t> frame(kFrameBytes, 0x5A);
    const std::string path = Folder() + "/bench.P360";
    orb::DvrContext w;
    CameraRecord rec{};
    int n = 0;
    for (auto _ : state) {
        if (n % kFramesPerFile == 0) {
            state.PauseTiming();
            orb::CloseRecording(w);
            unlink(path.c_str());
            orb::CreateRecording(w, path, rec, SystemTime{});
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(orb::AppendFrame(w, frame.data(), kFrameBytes, SystemTime{}));
        ++n;
    }
    orb::CloseRecording(w);
    unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * int64_t(kFrameBytes));
}
BENCHMARK(BM_RecorderAppend)->Iterations(6000);

void BM_PlainFwrite(benchmark::State& state) {
    std::vector<uint8_t> frame(kFrameBytes, 0x5A);
    const std::string path = Folder() + "/plain.bin";
    FILE* f = nullptr;
    int n = 0;
    for (auto _ : state) {
        if (n % kFramesPerFile == 0) {
            state.PauseTiming();
            if (f) std::fclose(f);
            unlink(path.c_str());
            f = std::fopen(path.c_str(), "wb");
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(std::fwrite(frame.data(), frame.size(), 1, f));
        std::fflush(f);
        ++n;
    }
    if (f) std::fclose(f);
    unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * int64_t(kFrameBytes));
}
BENCHMARK(BM_PlainFwrite)->Iterations(6000);

// 32 cameras at 60 KB a picture, their pictures interleaved as the capture threads deliver
// them: through the recording file writer into 32 files, and with plain write(2) into 32
// files of the same folder.
constexpr int kCameras = 32;
constexpr int kCameraFrameBytes = 60 * 1024;
constexpr int kRounds = 150;  // 32 x 150 pictures = six seconds of 32 cameras at 25 pictures/s

void BM_Recorder32Cameras(benchmark::State& state) {
    std::vector<uint8_t> frame(kCameraFrameBytes, 0x3C);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<orb::DvrContext> files(kCameras);
        CameraRecord rec{};
        for (int c = 0; c < kCameras; ++c) {
            const std::string path = Folder() + "/cam" + std::to_string(c) + ".P360";
            unlink(path.c_str());
            orb::CreateRecording(files[c], path, rec, SystemTime{});
        }
        state.ResumeTiming();
        for (int r = 0; r < kRounds; ++r)
            for (int c = 0; c < kCameras; ++c)
                benchmark::DoNotOptimize(orb::AppendFrame(files[c], frame.data(), kCameraFrameBytes, SystemTime{}));
        state.PauseTiming();
        for (auto& f : files) orb::CloseRecording(f);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kCameras) * kRounds * kCameraFrameBytes);
}
BENCHMARK(BM_Recorder32Cameras)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_PlainWrite32Cameras(benchmark::State& state) {
    std::vector<uint8_t> frame(kCameraFrameBytes, 0x3C);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<int> fds(kCameras);
        for (int c = 0; c < kCameras; ++c) {
            const std::string path = Folder() + "/plain" + std::to_string(c) + ".bin";
            unlink(path.c_str());
            fds[c] = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        state.ResumeTiming();
        for (int r = 0; r < kRounds; ++r)
            for (int c = 0; c < kCameras; ++c) benchmark::DoNotOptimize(write(fds[c], frame.data(), frame.size()));
        state.PauseTiming();
        for (int fd : fds) close(fd);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kCameras) * kRounds * kCameraFrameBytes);
}
BENCHMARK(BM_PlainWrite32Cameras)->Iterations(3)->Unit(benchmark::kMillisecond);

// Seeking in a one-hour file of 90,000 small frames (25 pictures/s): reads of 1,000 random
// frames, of frames near the start and near the end, beside reading the next frame in turn.
std::string HourFile() {
    static const std::string path = [] {
        const std::string p = Folder() + "/hour.P360";
        orb::DvrContext w;
        CameraRecord rec{};
        orb::CreateRecording(w, p, rec, SystemTime{});
        std::vector<uint8_t> frame(512, 0x11);
        for (int i = 0; i < 90000; ++i) orb::AppendFrame(w, frame.data(), static_cast<int32_t>(frame.size()), SystemTime{});
        orb::CloseRecording(w);
        return p;
    }();
    return path;
}

void SeekBench(benchmark::State& state, int32_t from, int32_t span, bool sequential) {
    orb::DvrContext r;
    orb::OpenRecordingForRead(r, HourFile(), nullptr);
    std::vector<int32_t> order(1000);
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < order.size(); ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        order[i] = sequential ? from + static_cast<int32_t>(i) : from + static_cast<int32_t>(x % static_cast<uint32_t>(span));
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(orb::ReadFrame(r, order[i]));
        i = (i + 1) % order.size();
    }
    orb::CloseRecording(r);
}
void BM_SeekRandom(benchmark::State& s) { SeekBench(s, 0, 90000, false); }
void BM_SeekNearStart(benchmark::State& s) { SeekBench(s, 0, 2000, false); }
void BM_SeekNearEnd(benchmark::State& s) { SeekBench(s, 88000, 2000, false); }
void BM_ReadNextFrame(benchmark::State& s) { SeekBench(s, 40000, 1000, true); }
BENCHMARK(BM_SeekRandom);
BENCHMARK(BM_SeekNearStart);
BENCHMARK(BM_SeekNearEnd);
BENCHMARK(BM_ReadNextFrame);

}  // namespace
