// The sampler against a plain double-precision bilinear remap over the same maps and a
// memcpy of the same output bytes, in one run; and the map rebuild of a large window.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "common/scene_renderer.h"
#include "dewarp/dewarp.h"
#include "dewarp/presets.h"
#include "host/panoview.h"
#include "platform/dib.h"

namespace {

constexpr int kSources[3][2] = {{640, 480}, {1280, 960}, {2592, 1944}};
constexpr int kViews[2][2] = {{320, 240}, {1920, 1080}};
enum Layout { kQuad, kStrip, kWindow, kResize };

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
        if (layout == kResize) r.lensType = orb::kLensNormal;
        r.showMode360 = layout == kQuad ? 0 : layout == kStrip ? 5 : 7;
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

void Report(benchmark::State& state, const Bench& b) {
    const double px = double(b.view->dewarp.W) * b.view->dewarp.H;
    state.counters["Mpx/s"] = benchmark::Counter(px / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.outBytes()));
}

void BM_UpdatePanorama(benchmark::State& state) {
    Bench b(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    for (auto _ : state) benchmark::DoNotOptimize(orb::UpdatePanorama(*b.view));
    Report(state, b);
}

// The reference: the same maps, sampled in double precision.
void BM_DoubleRemap(benchmark::State& state) {
    Bench b(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    const orb::DewarpState& d = b.view->dewarp;
    orb::DibLock s(b.src), o(b.dst);
    const int sw = s.width(), sh = s.height(), ss = s.rowBytes(), os = o.rowBytes();
    for (auto _ : state) {
        for (int y = 0; y < d.H; ++y) {
            uint8_t* out = o.bits() + size_t(y) * os;
            for (int x = 0; x < d.W; ++x) {
                const orb::MapCoord c = d.coordMap[size_t(y) * d.W + x];
                const orb::MapFrac f = d.fracMap[size_t(y) * d.W + x];
                uint8_t* p = out + x * 3;
                if (c.x < 0 || c.y < 0 || c.x + 1 >= sw || c.y + 1 >= sh) {
                    p[0] = p[1] = p[2] = 0;
                    continue;
                }
                const double fx = f.fx / 256.0, fy = f.fy / 256.0;
                const uint8_t* r0 = s.bits() + size_t(sh - 1 - c.y) * ss + c.x * 3;
                const uint8_t* r1 = r0 - ss;
                for (int k = 0; k < 3; ++k) {
                    const double top = r0[k] * (1 - fx) + r0[k + 3] * fx;
                    const double bot = r1[k] * (1 - fx) + r1[k + 3] * fx;
                    p[k] = uint8_t(top * (1 - fy) + bot * fy);
                }
            }
        }
        benchmark::ClobberMemory();
    }
    Report(state, b);
}

void BM_MemcpyOutput(benchmark::State& state) {
    Bench b(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    std::vector<uint8_t> from(b.outBytes(), 7), to(b.outBytes());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    Report(state, b);
}

// Rebuilding the maps of one 1920 x 1080 virtual window, as a drag does on every move.
void BM_RebuildWindow1080(benchmark::State& state) {
    Bench b(1, 1, kWindow);
    for (auto _ : state) {
        b.view->dewarp.dirty.fill(1);
        orb::RebuildWindow(*b.view, 3);
    }
}

void Args(benchmark::internal::Benchmark* bm) {
    for (int s = 0; s < 3; ++s)
        for (int v = 0; v < 2; ++v)
            for (int l : {kQuad, kStrip, kResize}) bm->Args({s, v, l});
}

}  // namespace

BENCHMARK(BM_UpdatePanorama)->Apply(Args)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DoubleRemap)->Apply(Args)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyOutput)->Apply(Args)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RebuildWindow1080)->Unit(benchmark::kMillisecond)->UseRealTime();
