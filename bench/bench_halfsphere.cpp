// Rebuilding a 1920 x 1080 half-sphere window (crop and perspective), as a drag does on every
// move, beside one sampling pass of the same window in the same run.
#include <benchmark/benchmark.h>

#include <memory>

#include "common/scene_renderer.h"
#include "dewarp/dewarp.h"
#include "config/presets.h"
#include "ui/panoview.h"
#include "platform/dib.h"

namespace {

struct HalfBench {
    std::unique_ptr<PanoView> view = std::make_unique<PanoView>();
    HDIB src = nullptr, dst = nullptr;
    explicit HalfBench(int perspective) {
        orbtools::SceneLens lens;
        lens.lensType = orb::kLens180;
        lens.width = 1280, lens.height = 960, lens.centerX = 640, lens.centerY = 480, lens.firstRadius = 470;
        CameraRecord& r = view->record;
        orb::FillDefaultPresets(r);
        src = orbtools::RenderScene(lens, &r);
        r.showMode180 = 4;  // window 4 over the whole view
        r.perspective180 = perspective;
        r.lensModel = 2, r.panoramaProjection = 1, r.perspectiveDistance = 10.0;
        orb::ValidateLensFields(r);
        dst = orb::CreateDIB(1920, 1080, 24);
        orb::SetViewSize(*view, 1920, 1080);
        orb::AttachPictures(*view, src, dst);
        orb::RebuildPanorama(*view);
        orb::UpdatePanorama(*view);
    }
    ~HalfBench() {
        orb::AttachPictures(*view, nullptr, nullptr);
        orb::DestroyDIB(src);
        orb::DestroyDIB(dst);
    }
};

void BM_HalfSphereRebuild1080(benchmark::State& state) {
    HalfBench b(int(state.range(0)));
    for (auto _ : state) orb::RebuildWindow(*b.view, 4);
}

void BM_HalfSphereSample1080(benchmark::State& state) {
    HalfBench b(0);
    for (auto _ : state) orb::RenderWindow(*b.view, 4);
}

}  // namespace

BENCHMARK(BM_HalfSphereRebuild1080)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalfSphereSample1080)->Unit(benchmark::kMillisecond);
