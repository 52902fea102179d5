// Decode and dewarp per shown picture of a five-megapixel fisheye camera: the frame
// pipeline, which decodes at the reduction the view's maps allow, against what a user would
// assemble from OpenCV (cv::imdecode of the whole picture, then cv::remap on the same maps
// worked out for the whole picture, one thread), in one run. Beside them: the decode alone
// at each reduction, and decodes on one and two threads at once (the codec has no lock).
#include <benchmark/benchmark.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camera/frame_pipeline.h"
#include "camera/picture_scale.h"
#include "common/simulated_cameras.h"
#include "config/library_state.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "ui/panoview.h"

#ifdef ORB_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kViews[3][2] = {{320, 240}, {640, 480}, {1920, 1080}};
// The demo's layout (two windows over the strip) and four windows.
constexpr int kModes[2] = {orb::kShow360TwoWindowsStrip, orb::kShow360Quad};
constexpr const char* kModeNames[2] = {"two windows over the strip", "four windows"};

// The demo's fisheye camera at 2592 x 1944: its picture as it sends it and its record.
const orbtools::SimulatedCamera& Camera() {
    static const orbtools::SimulatedCamera camera = [] {
        orbtools::SimulatedCamera c = orbtools::MakeSimulatedCamera(orbtools::SimulatedLens::Fisheye, 2592, 1944, 1);
        c.record.cruiseSpeed = 0;  // no panning: the maps stay as they are between pictures
        return c;
    }();
    return camera;
}

const std::vector<uint8_t>& Jpeg() { return Camera().frames.front(); }

// A view of the camera, fed one picture so that its maps are built.
std::unique_ptr<PanoView> MakeView(int v, int mode, bool reduced) {
    orb::g_lib.recording = 0;
    auto view = std::make_unique<PanoView>();
    view->record = Camera().record;
    view->record.showMode360 = kModes[mode];
    view->ui.clientWidth = kViews[v][0];
    view->ui.clientHeight = kViews[v][1];
    orb::SetViewScaledDecode(*view, reduced);
    // Twice: the first picture is decoded whole, its maps choose the reduction of the next.
    for (int i = 0; i < 2; ++i) orb::RunFramePipeline(*view, Jpeg().data(), Jpeg().size(), nullptr);
    return view;
}

void Label(benchmark::State& state, const std::string& what) {
    const int v = int(state.range(0)), m = int(state.range(1));
    state.SetLabel("2592x1944 -> " + std::to_string(kViews[v][0]) + "x" + std::to_string(kViews[v][1]) + " " +
                   kModeNames[m] + what);
}

// The pipeline's decode, keep and dewarp of one picture, as every shown picture costs it.
void BM_PipelineDecodeDewarp(benchmark::State& state) {
    auto view = MakeView(int(state.range(0)), int(state.range(1)), true);
    for (auto _ : state) {
        if (orb::RunFramePipeline(*view, Jpeg().data(), Jpeg().size(), nullptr) != orb::FrameResult::Shown)
            state.SkipWithError("picture not shown");
    }
    const int scale = view->frames.shownScale.load();
    state.counters["scale"] = scale;
    Label(state, ", decoded at 1/" + std::to_string(scale));
    orb::ReleaseFrames(*view);
}

#ifdef ORB_HAVE_OPENCV
// cv::imdecode of the whole picture and cv::remap through the maps of the whole picture
// (ours, in OpenCV's fixed-point form; black outside the picture).
void BM_OpenCvDecodeRemap(benchmark::State& state) {
    cv::setNumThreads(1);
    auto view = MakeView(int(state.range(0)), int(state.range(1)), false);
    const orb::DewarpState& d = view->dewarp;
    cv::Mat mapX(d.H, d.W, CV_32FC1), mapY(d.H, d.W, CV_32FC1);
    for (int r = 0; r < d.H; ++r)  // OpenCV's rows from the top, the maps' from the bottom
        for (int x = 0; x < d.W; ++x) {
            const size_t i = size_t(d.H - 1 - r) * d.W + x;
            const orb::MapCoord c = d.coordMap[i];
            const orb::MapFrac f = d.fracMap[i];
            const bool black = c.x == orb::kBlackEntry.x && c.y == orb::kBlackEntry.y;
            mapX.at<float>(r, x) = black ? -10.f : float(c.x) + f.fx / 256.f;
            mapY.at<float>(r, x) = black ? -10.f : float(c.y) + f.fy / 256.f;
        }
    cv::Mat map1, map2, out(d.H, d.W, CV_8UC3);
    cv::convertMaps(mapX, mapY, map1, map2, CV_16SC2);
    const cv::Mat bytes(1, int(Jpeg().size()), CV_8UC1, const_cast<uint8_t*>(Jpeg().data()));
    for (auto _ : state) {
        const cv::Mat picture = cv::imdecode(bytes, cv::IMREAD_COLOR);
        if (picture.empty()) state.SkipWithError("imdecode failed");
        cv::remap(picture, out, map1, map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar());
        benchmark::ClobberMemory();
    }
    Label(state, ", whole picture");
    orb::ReleaseFrames(*view);
}
#endif

// The decode alone at each reduction.
void BM_DecodeAtScale(benchmark::State& state) {
    const int scale = int(state.range(0));
    for (auto _ : state) {
        const orb::ScaledPicture p = orb::JpegDecodeScaled(Jpeg().data(), Jpeg().size(), orb::PictureBudget(), scale);
        if (!p.picture || p.scale != scale) state.SkipWithError("decode failed");
        orb::DestroyDIB(p.picture);
    }
    state.SetLabel("2592x1944 at 1/" + std::to_string(scale) + ", " + std::to_string(Jpeg().size()) + " bytes");
}

// Whole decodes on several capture threads at once: with one codec state each and no
// process-wide lock, two threads decode twice as many pictures a second as one on two cores.
void BM_DecodeOnThreads(benchmark::State& state) {
    for (auto _ : state) {
        HDIB p = orb::JpegDecodeBuffer(Jpeg().data(), Jpeg().size());
        if (!p) state.SkipWithError("decode failed");
        orb::DestroyDIB(p);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetLabel("2592x1944 whole");
}

// The same behind one process-wide lock, as the codec was: two threads decode no more
// pictures a second than one.
void BM_DecodeOnThreadsLocked(benchmark::State& state) {
    static std::mutex lock;
    for (auto _ : state) {
        HDIB p;
        {
            std::lock_guard held(lock);
            p = orb::JpegDecodeBuffer(Jpeg().data(), Jpeg().size());
        }
        if (!p) state.SkipWithError("decode failed");
        orb::DestroyDIB(p);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetLabel("2592x1944 whole, one lock");
}

// Ours and OpenCV's side by side in each case, so that other work on the machine weighs on
// both alike.
const bool kRegistered = [] {
    for (int v = 0; v < 3; ++v)
        for (int m = 0; m < 2; ++m) {
            benchmark::RegisterBenchmark("BM_PipelineDecodeDewarp", BM_PipelineDecodeDewarp)
                ->Args({v, m})->Unit(benchmark::kMillisecond);
#ifdef ORB_HAVE_OPENCV
            benchmark::RegisterBenchmark("BM_OpenCvDecodeRemap", BM_OpenCvDecodeRemap)
                ->Args({v, m})->Unit(benchmark::kMillisecond);
#endif
        }
    return true;
}();

}  // namespace

BENCHMARK(BM_DecodeAtScale)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOnThreads)->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOnThreadsLocked)->Threads(2)->UseRealTime()->Unit(benchmark::kMillisecond);
