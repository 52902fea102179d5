// Motion detection per picture against a plain copy of the same picture bytes and against
// decoding it, and the privacy zones beside them.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "analysis/motion.h"
#include "analysis/zones.h"
#include "config/camera_record.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"

namespace {

// A textured picture with a moving square, so that every branch of the detector runs.
HDIB MakePicture(int width, int height, int shift) {
    HDIB h = orb::CreateDIB(width, height, 24);
    orb::DibLock lock(h);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = lock.bits() + static_cast<size_t>(y) * lock.rowBytes();
        for (int x = 0; x < width; ++x) {
            const bool square = x >= 100 + shift && x < 164 + shift && y >= 100 && y < 164;
            const uint8_t v = square ? 230 : static_cast<uint8_t>((x * 7 + y * 3) & 0x7F);
            row[x * 3] = v;
            row[x * 3 + 1] = static_cast<uint8_t>(v + 10);
            row[x * 3 + 2] = static_cast<uint8_t>(v + 20);
        }
    }
    return h;
}

void BM_Detect(benchmark::State& state, int32_t outlines) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    HDIB frames[2] = {MakePicture(w, h, 0), MakePicture(w, h, 24)};
    CameraRecord record{};
    record.motionSensitivity = 15;
    orb::MotionState m;
    orb::InitMotionState(m, nullptr, &record);
    const int32_t saved = gfMotionBlock;
    gfMotionBlock = outlines;
    orb::ProcessMotionPicture(m, frames[0]);
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(orb::ProcessMotionPicture(m, frames[++i & 1]));
    gfMotionBlock = saved;
    orb::ReleaseMotionState(m);
    orb::DestroyDIB(frames[0]);
    orb::DestroyDIB(frames[1]);
    state.SetBytesProcessed(state.iterations() * int64_t{w} * h * 3);
}
void BM_DetectReport(benchmark::State& state) { BM_Detect(state, 0); }
void BM_DetectOutline(benchmark::State& state) { BM_Detect(state, 1); }

void BM_Zones(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    HDIB p = MakePicture(w, h, 0);
    orb::ZoneContext z;
    orb::SetZoneGeometry(z, 7, w, h);
    for (int i = 0; i < orb::kZoneCells; i += 3) z.cells[i] = 1;  // a third of the picture
    for (auto _ : state) orb::ApplyZones(z, p);
    orb::DestroyDIB(p);
    state.SetBytesProcessed(state.iterations() * int64_t{w} * h * 3);
}

// The reference: copying the picture's bytes once.
void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(orb::DibRowBytes(static_cast<int>(state.range(0)), 24)) * state.range(1);
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

// The second reference: decoding the same picture from a JPEG, as the capture thread does
// before it runs the detector.
void BM_Decode(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    HDIB p = MakePicture(w, h, 0);
    std::vector<uint8_t> jpeg;
    orb::JpegEncodeMemory(p, 75, jpeg);
    orb::DestroyDIB(p);
    for (auto _ : state) orb::DestroyDIB(orb::JpegDecodeBuffer(jpeg.data(), jpeg.size()));
    state.SetBytesProcessed(state.iterations() * int64_t{w} * h * 3);
}

#define SIZES ->Args({640, 480})->Args({1280, 960})->Args({2592, 1944})
BENCHMARK(BM_Memcpy) SIZES;
BENCHMARK(BM_Decode) SIZES;
BENCHMARK(BM_DetectReport) SIZES;
BENCHMARK(BM_DetectOutline) SIZES;
BENCHMARK(BM_Zones) SIZES;

}  // namespace
