// Append throughput of 100 KB pictures through the recording file writer, against plain
// fwrite of the same bytes into the same folder, in the same run.
#include <benchmark/benchmark.h>
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

}  // namespace
