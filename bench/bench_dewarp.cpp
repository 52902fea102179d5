// The per-picture dewarp against the general-purpose remap a user would pick instead
// (OpenCV's cv::remap, bilinear, fixed-point maps, one thread), on the very same maps and
// source picture, in one run; a memcpy of the output bytes from a buffer larger than the
// last-level cache as the bandwidth line; and the map rebuild of a large virtual window.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/scene_renderer.h"
#include "dewarp/dewarp.h"
#include "config/presets.h"
#include "dewarp/window_kernel.h"
#include "ui/panoview.h"
#include "platform/dib.h"

#ifdef ORB_HAVE_OPENCV
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kSources[3][2] = {{640, 480}, {1280, 960}, {2592, 1944}};
constexpr int kViews[2][2] = {{640, 480}, {1920, 1080}};
// Strip: the whole view is two half-turn panorama strips. Quad: four virtual windows.
// Window: one virtual window over the whole view.
enum Layout { kStrip, kQuad, kWindow };
constexpr const char* kLayoutNames[3] = {"strip", "four windows", "one window"};

struct Bench {
    std::unique_ptr<PanoView> view = std::make_unique<PanoView>();
    HDIB src = nullptr, dst = nullptr;
    Bench(int s, int v, int layout) {
        orbtools::SceneLens lens;
        lens.width = kSources[s][0];
        lens.height = kSources[s][1];
        lens.centerX = lens.width / 2;
        lens.centerY = lens.height / 2;
        lens.firstRadius = lens.height / 2 - 10;
        CameraRecord& r = view->record;
        orb::FillDefaultPresets(r);
        r.effectiveAngle = 60.0;
        r.tiltMin = -90.0;
        r.perspectiveDistance = 10.0;
        src = orbtools::RenderScene(lens, &r);
        r.showMode360 = layout == kStrip ? 6 : layout == kQuad ? 0 : 7;
        dst = orb::CreateDIB(kViews[v][0], kViews[v][1], 24);
        orb::SetViewSize(*view, kViews[v][0], kViews[v][1]);
        orb::AttachPictures(*view, src, dst);
        orb::RebuildPanorama(*view);
        orb::UpdatePanorama(*view);
    }
    ~Bench() {
        orb::AttachPictures(*view, nullptr, nullptr);
        orb::DestroyDIB(src);
        orb::DestroyDIB(dst);
    }
    size_t outBytes() const { return size_t(view->dewarp.W) * view->dewarp.H * 3; }
};

void Report(benchmark::State& state, size_t pixels, size_t bytes) {
    state.counters["Mpx/s"] = benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void Label(benchmark::State& state) {
    const int s = int(state.range(0)), v = int(state.range(1)), l = int(state.range(2));
    state.SetLabel(std::to_string(kSources[s][0]) + "x" + std::to_string(kSources[s][1]) + " -> " +
                   std::to_string(kViews[v][0]) + "x" + std::to_string(kViews[v][1]) + " " + kLayoutNames[l]);
}

// The whole per-picture update, maps current: what every picture costs.
void BM_UpdatePanorama(benchmark::State& state) {
    Bench b(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    for (auto _ : state) benchmark::DoNotOptimize(orb::UpdatePanorama(*b.view));
    Report(state, size_t(b.view->dewarp.W) * b.view->dewarp.H, b.outBytes());
    Label(state);
}

// The same update through the plain scalar sampler that other processors run.
void BM_UpdatePanoramaScalar(benchmark::State& state) {
    Bench b(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    orb::SetSamplerPath(orb::SamplerPath::kScalar);
    for (auto _ : state) benchmark::DoNotOptimize(orb::UpdatePanorama(*b.view));
    orb::SetSamplerPath(orb::BestSamplerPath());
    Report(state, size_t(b.view->dewarp.W) * b.view->dewarp.H, b.outBytes());
    Label(state);
}

// The same update through the SSE4.1 sampler, for processors without AVX2.
void BM_UpdatePanoramaSse41(benchmark::State& state) {
    Bench b(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    orb::SetSamplerPath(orb::SamplerPath::kSse41);
    for (auto _ : state) benchmark::DoNotOptimize(orb::UpdatePanorama(*b.view));
    orb::SetSamplerPath(orb::BestSamplerPath());
    Report(state, size_t(b.view->dewarp.W) * b.view->dewarp.H, b.outBytes());
    Label(state);
}

#ifdef ORB_HAVE_OPENCV
// OpenCV's remap over our maps: rows in memory order on both sides (the pictures are
// bottom-up, so map row i is picture row i), positions in 1/256 converted to its own
// fixed-point form by convertMaps, black outside the picture.
void BM_OpenCvRemap(benchmark::State& state) {
    Bench b(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    cv::setNumThreads(1);
    const orb::DewarpState& d = b.view->dewarp;
    orb::DibLock s(b.src), o(b.dst);
    const int sh = s.height();
    cv::Mat src(sh, s.width(), CV_8UC3, s.bits(), size_t(s.rowBytes()));
    cv::Mat dst(d.H, d.W, CV_8UC3, o.bits(), size_t(o.rowBytes()));
    cv::Mat mapX(d.H, d.W, CV_32FC1), mapY(d.H, d.W, CV_32FC1);
    for (int i = 0; i < d.H; ++i)
        for (int x = 0; x < d.W; ++x) {
            const orb::MapCoord c = d.coordMap[size_t(i) * d.W + x];
            const orb::MapFrac f = d.fracMap[size_t(i) * d.W + x];
            const bool black = c.x == orb::kBlackEntry.x && c.y == orb::kBlackEntry.y;
            mapX.at<float>(i, x) = black ? -10.f : float(c.x) + f.fx / 256.f;
            mapY.at<float>(i, x) = black ? -10.f : float(sh - 1 - c.y) - f.fy / 256.f;
        }
    cv::Mat map1, map2;
    cv::convertMaps(mapX, mapY, map1, map2, CV_16SC2);
    for (auto _ : state) {
        cv::remap(src, dst, map1, map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar());
        benchmark::ClobberMemory();
    }
    Report(state, size_t(d.W) * d.H, b.outBytes());
    Label(state);
}
#endif

// The sampler over the same maps in tiles of the output (tile width x height) instead of row
// order, for the radial layouts of large pictures where the source's locality might pay for
// the shorter runs of the maps and the output. Width 0 is row order, through the same call.
void BM_SampleInTiles(benchmark::State& state) {
    Bench b(int(state.range(0)), 1, int(state.range(1)));
    const int tw = state.range(2) ? int(state.range(2)) : b.view->dewarp.W, th = state.range(2) ? int(state.range(3)) : 1;
    const orb::DewarpState& d = b.view->dewarp;
    orb::DibLock s(b.src), o(b.dst);
    const orb::SampleTarget t{s.bits(), s.rowBytes(), s.width(), s.height(), 3, o.bits(), o.rowBytes(), 3, nullptr};
    for (auto _ : state) {
        for (int y = 0; y < d.H; y += th)
            for (int x = 0; x < d.W; x += tw)
                orb::SampleRows(t, d.coordMap.data(), d.fracMap.data(), d.W, x, y, std::min(tw, d.W - x), std::min(th, d.H - y));
        benchmark::ClobberMemory();
    }
    Report(state, size_t(d.W) * d.H, b.outBytes());
    state.SetLabel(std::to_string(kSources[state.range(0)][0]) + "x" + std::to_string(kSources[state.range(0)][1]) +
                   " -> 1920x1080 " + kLayoutNames[state.range(1)] +
                   (state.range(2) ? ", tiles " + std::to_string(tw) + "x" + std::to_string(th) : ", row order"));
}
BENCHMARK(BM_SampleInTiles)
    ->ArgsProduct({{1, 2}, {kStrip, kQuad}, {0, 64, 256}, {64}})
    ->Unit(benchmark::kMillisecond);

// Bandwidth: the output bytes copied from a 256 MB pool (well beyond the last-level cache),
// a fresh stretch of it each time.
void BM_MemcpyOutput(benchmark::State& state) {
    const int v = int(state.range(0));
    const size_t bytes = size_t(kViews[v][0]) * kViews[v][1] * 3;
    std::vector<uint8_t> pool(size_t(256) << 20, 7), to(bytes);
    size_t at = 0;
    for (auto _ : state) {
        if (at + bytes > pool.size()) at = 0;
        std::memcpy(to.data(), pool.data() + at, bytes);
        at += bytes;
        benchmark::ClobberMemory();
    }
    Report(state, size_t(kViews[v][0]) * kViews[v][1], bytes);
    state.SetLabel(std::to_string(kViews[v][0]) + "x" + std::to_string(kViews[v][1]) + " output bytes");
}

// Rebuilding the maps of one 1920 x 1080 virtual window, as a drag does on every move: the
// time a drag waits (two threads) and the processor time of both threads together.
void RebuildWindow1080(benchmark::State& state, bool vector) {
    Bench b(1, 1, kWindow);
    orb::UseVectorWindowKernel(vector);
    double pan = 0;
    for (auto _ : state) {
        b.view->record.presets360[3].pan = pan = pan > 170 ? -170 : pan + 1;
        orb::RebuildWindow(*b.view, 3);
    }
    orb::UseVectorWindowKernel(true);
    state.counters["Mpx/s"] = benchmark::Counter(1920.0 * 1080 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(vector ? "1280x960 -> 1920x1080 one window" : "1280x960 -> 1920x1080 one window, integer kernel");
}
void BM_RebuildWindow1080(benchmark::State& state) { RebuildWindow1080(state, true); }
void BM_RebuildWindow1080Integer(benchmark::State& state) { RebuildWindow1080(state, false); }

#ifdef ORB_HAVE_OPENCV
// What a user would pick instead to build a virtual pan/tilt/zoom window of a fisheye: OpenCV's
// fisheye map builder (rotation, pinhole output, equidistant lens), fixed-point maps for
// remap, one thread, 1920 x 1080 from a 1280 x 960 picture, a new pan each time.
void BM_OpenCvFisheyeMaps1080(benchmark::State& state) {
    cv::setNumThreads(1);
    const double f = 960 / 2 / (std::acos(-1.0) / 2);  // equidistant: the rim at 90 degrees
    const cv::Matx33d K(f, 0, 640, 0, f, 480, 0, 0, 1);
    const cv::Vec4d D(0.01, -0.002, 0.0005, 0);
    const double fo = 1920 / (2 * std::tan(60 * std::acos(-1.0) / 360));
    const cv::Matx33d P(fo, 0, 959.5, 0, fo, 539.5, 0, 0, 1);
    cv::Mat map1, map2;
    double pan = 0;
    for (auto _ : state) {
        pan = pan > 170 ? -170 : pan + 1;
        const double p = pan * std::acos(-1.0) / 180, t = 50 * std::acos(-1.0) / 180;
        const cv::Matx33d pn(std::cos(p), -std::sin(p), 0, std::sin(p), std::cos(p), 0, 0, 0, 1);
        const cv::Matx33d tl(1, 0, 0, 0, std::cos(t), -std::sin(t), 0, std::sin(t), std::cos(t));
        cv::fisheye::initUndistortRectifyMap(K, D, cv::Mat(tl * pn), P, cv::Size(1920, 1080), CV_16SC2, map1, map2);
        benchmark::ClobberMemory();
    }
    state.counters["Mpx/s"] = benchmark::Counter(1920.0 * 1080 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel("1280x960 -> 1920x1080 fisheye window maps");
}
BENCHMARK(BM_OpenCvFisheyeMaps1080)->Unit(benchmark::kMillisecond);
#endif

// Each case runs ours, OpenCV's, the SSE4.1 and the scalar paths back to back, so that a
// machine busy with other work weighs on all of them alike.
const bool kRegistered = [] {
    for (int src = 0; src < 3; ++src)
        for (int v = 0; v < 2; ++v)
            for (int l : {kStrip, kQuad, kWindow}) {
                benchmark::RegisterBenchmark("BM_UpdatePanorama", BM_UpdatePanorama)
                    ->Args({src, v, l})->Unit(benchmark::kMillisecond);
#ifdef ORB_HAVE_OPENCV
                benchmark::RegisterBenchmark("BM_OpenCvRemap", BM_OpenCvRemap)
                    ->Args({src, v, l})->Unit(benchmark::kMillisecond);
#endif
                benchmark::RegisterBenchmark("BM_UpdatePanoramaSse41", BM_UpdatePanoramaSse41)
                    ->Args({src, v, l})->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark("BM_UpdatePanoramaScalar", BM_UpdatePanoramaScalar)
                    ->Args({src, v, l})->Unit(benchmark::kMillisecond);
            }
    return true;
}();

}  // namespace

BENCHMARK(BM_MemcpyOutput)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildWindow1080)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_RebuildWindow1080Integer)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
