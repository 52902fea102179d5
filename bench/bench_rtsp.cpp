// RTSP cameras end to end: the simulated fisheye streamed as H.264 by GStreamer's RTSP
// server (the fake camera program) on 127.0.0.1, received, decoded and dewarped by the
// capture loop, against `ffmpeg -i URL -f null -` decoding the same stream in the same run;
// and sixteen 1080p cameras at 15 pictures/s at once: the share of the pictures sent that
// was shown and the CPU left. The figures are counters of one long iteration each:
//   ours_ms / ffmpeg_ms  CPU per picture (all threads of the process), shown_share,
//   dewarp_ms (our dewarp alone), over_ms (ours minus ffmpeg's plain decoding).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/capture_thread.h"
#include "camera/catalogue.h"
#include "camera/frame_pipeline.h"
#include "common/rtsp_peer.h"
#include "config/library_state.h"
#include "platform/base64.h"
#include "ui/panoview.h"

namespace {

namespace fs = std::filesystem;
using orbtools::RtspPeer;

constexpr int kFps = 15;

std::string ProgramFolder() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = 0;
    return fs::path(buf).parent_path().string();
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string TempFolder() {
    char pattern[] = "/tmp/orbiscope-bench-rtsp-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "/tmp";
}

std::vector<CameraRecord> ReadRecords(const std::string& path) {
    std::vector<CameraRecord> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t slot[orb::kSlotSize];
    while (std::fread(slot, 1, sizeof slot, f) == sizeof slot) {
        CameraRecord r{};
        std::memcpy(&r, slot, sizeof r);
        out.push_back(r);
    }
    std::fclose(f);
    return out;
}

std::unique_ptr<PanoView> ViewOf(const CameraRecord& record, int width, int height) {
    auto v = std::make_unique<PanoView>();
    v->record = record;
    orb::SetText(v->record.address, "127.0.0.1");
    v->ui.clientWidth = width;
    v->ui.clientHeight = height;
    return v;
}

template <typename F>
bool WaitFor(F condition, double seconds) {
    const double until = Now() + seconds;
    while (!condition()) {
        if (Now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// ffmpeg's CPU seconds for decoding `seconds` of the stream, from its resource use.
double FfmpegCpu(const std::string& url, double seconds) {
    const std::string command = "exec ffmpeg -hide_banner -loglevel error -rtsp_transport tcp -i '" + url + "' -t " +
                                std::to_string(seconds) + " -f null - </dev/null";
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage u{};
    if (pid < 0 || wait4(pid, &status, 0, &u) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One H.264 camera of width x (3/4 width) shown in a 640 x 480 view, then ffmpeg on the same
// stream.
void BM_RtspH264PerPicture(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = w == 1920 ? 1080 : w * 3 / 4;
    const double seconds = 8;
    const std::string dir = TempFolder(), config = dir + "/Config.ure";
    RtspPeer peer;
    const int port = peer.Start(ProgramFolder() + "/orbiscope-fakecam", "h264",
                                {"--cameras", "1", "--config", config, "--size", std::to_string(w) + "x" + std::to_string(h),
                                 "--fps", std::to_string(kFps), "--frames", "60"});
    const auto records = ReadRecords(config);
    if (port <= 0 || records.empty()) {
        state.SkipWithError(("the RTSP camera did not start: " + peer.error).c_str());
        return;
    }
    for (auto _ : state) {
        auto view = ViewOf(records[0], 640, 480);
        orb::StartCapture(view.get());
        WaitFor([&] { return view->frames.pictures >= 5; }, 30);
        const int shown0 = view->frames.pictures;
        const int64_t dewarp0 = view->frames.stages.cpu[orb::kStageDewarp].load();
        const int64_t decode0 = view->frames.stages.cpu[orb::kStageDecode].load();
        const int sent0 = peer.Stats().sent;
        const double cpu0 = ProcessCpuSeconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cpu = ProcessCpuSeconds() - cpu0;
        const int shown = view->frames.pictures - shown0, sent = peer.Stats().sent - sent0;
        const double dewarp = double(view->frames.stages.cpu[orb::kStageDewarp].load() - dewarp0) / 1e9;
        const double decode = double(view->frames.stages.cpu[orb::kStageDecode].load() - decode0) / 1e9;
        orb::StopCapture(view.get());
        orb::ReleaseFrames(*view);

        const int before = peer.Stats().sent;
        const double theirs = FfmpegCpu(orb::RtspUrl(records[0], "127.0.0.1"), seconds);
        const int decoded = peer.Stats().sent - before;
        if (shown <= 0 || theirs < 0 || decoded <= 0) {
            const std::string why = "shown " + std::to_string(shown) + ", ffmpeg " + std::to_string(theirs) +
                                    " s for " + std::to_string(decoded) + " pictures";
            state.SkipWithError(why.c_str());
            break;
        }
        const double ours = cpu / shown * 1e3, plain = theirs / decoded * 1e3;
        state.counters["ours_ms"] = ours;
        state.counters["ffmpeg_ms"] = plain;
        state.counters["dewarp_ms"] = dewarp / shown * 1e3;
        state.counters["decode_ms"] = decode / shown * 1e3;  // the capture thread's share, conversion included
        state.counters["over_ms"] = ours - plain;
        state.counters["shown_share"] = sent > 0 ? double(shown) / sent : 0;
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_RtspH264PerPicture)->Arg(640)->Arg(1920)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Sixteen H.264 1080p cameras at 15 pictures/s, each in a view of a 4 x 4 wall on a
// 1920 x 1080 screen.
void BM_Rtsp16Cameras1080p(benchmark::State& state) {
    constexpr int kCameras = 16;
    const double seconds = 20;
    const std::string dir = TempFolder(), config = dir + "/Config.ure", report = dir + "/report.txt";
    RtspPeer peer;
    const int port = peer.Start(ProgramFolder() + "/orbiscope-fakecam", "h264",
                                {"--cameras", std::to_string(kCameras), "--config", config, "--size", "1920x1080",
                                 "--fps", std::to_string(kFps), "--frames", "30"},
                                report);
    const auto records = ReadRecords(config);
    if (port <= 0 || static_cast<int>(records.size()) != kCameras) {
        state.SkipWithError(("the RTSP cameras did not start: " + peer.error).c_str());
        return;
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (auto _ : state) {
        std::vector<std::unique_ptr<PanoView>> views;
        for (const CameraRecord& r : records) views.push_back(ViewOf(r, 480, 270));
        const double cpu0 = ProcessCpuSeconds(), peer0 = peer.CpuSeconds(), t0 = Now();
        for (auto& v : views) orb::StartCapture(v.get());
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        for (auto& v : views) v->capture.stop = 1;  // all at once: none keeps receiving while others stop
        for (auto& v : views) orb::StopCapture(v.get());
        const double wall = Now() - t0, cpu = ProcessCpuSeconds() - cpu0, peerCpu = peer.CpuSeconds() - peer0;
        int shown = 0;
        for (auto& v : views) {
            shown += v->frames.pictures;
            orb::ReleaseFrames(*v);
        }
        peer.Stop();
        int sent = 0;
        FILE* f = std::fopen(report.c_str(), "r");
        char line[256];
        while (f && std::fgets(line, sizeof line, f)) {
            int p = 0, c = 0, s = 0;
            if (std::sscanf(line, "orbiscope-fakecam: port %d: %d connections, %d pictures", &p, &c, &s) == 3) sent += s;
        }
        if (f) std::fclose(f);
        state.counters["sent"] = sent;
        state.counters["shown"] = shown;
        state.counters["shown_share"] = sent > 0 ? double(shown) / sent : 0;
        state.counters["cpu_used"] = cpu / (wall * cores);
        state.counters["cpu_left"] = 1.0 - cpu / (wall * cores);
        state.counters["camera_cpu"] = peerCpu / (wall * cores);
        state.counters["ms_per_picture"] = shown > 0 ? cpu / shown * 1e3 : 0;
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_Rtsp16Cameras1080p)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
