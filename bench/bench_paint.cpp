// Bringing a main window of four views to the desktop after a view shows a new picture: the
// way it was done before (the whole window composed into a new 24-bit picture, then every
// pixel converted into a new 32-bit surface) against the kept 32-bit picture that composes
// only the painted view, in one run.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/dib.h"
#include "platform/window.h"

namespace {

struct Desk {
    orb::HWND top = nullptr;
    std::vector<orb::HWND> views;
    explicit Desk(int w, int h) {
        orb::SetBackend(orb::Backend::Headless);
        orb::ResetWindowing();
        orb::RegisterWindowClass({"Bench View", orb::DefWindowProc});
        top = orb::CreateWindow("Bench View", "", orb::WS_POPUP | orb::WS_VISIBLE, 0, 0, w, h, nullptr, 0, nullptr);
        for (int i = 0; i < 4; ++i)
            views.push_back(orb::CreateWindow("Bench View", "", orb::WS_CHILD | orb::WS_VISIBLE, (i % 2) * w / 2,
                                              (i / 2) * h / 2, w / 2, h / 2, top, i + 1, nullptr));
        for (orb::HWND v : views) Paint(v);
        Paint(top);
    }
    ~Desk() { orb::ResetWindowing(); }
    static void Paint(orb::HWND v) {
        const orb::Canvas c = orb::BeginPaint(v);
        orb::FillRect(c, {0, 0, c.width, c.height}, orb::Rgb(uint8_t(c.width), 90, uint8_t(c.height)));
        orb::EndPaint(v);
    }
    // A view painted again (its picture is left as it is: the painting is not measured).
    void Touch(orb::HWND v) {
        orb::BeginPaint(v);
        orb::EndPaint(v);
    }
};

const int kSizes[2][2] = {{1280, 960}, {1920, 1080}};

void Label(benchmark::State& state) {
    const int s = int(state.range(0));
    state.SetLabel(std::to_string(kSizes[s][0]) + "x" + std::to_string(kSizes[s][1]) + " window, four views");
    state.counters["Mpx/s"] =
        benchmark::Counter(double(kSizes[s][0]) * kSizes[s][1] / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// Before: a new 24-bit capture of the whole window and a new zeroed 32-bit surface filled
// pixel by pixel, on every draw.
void BM_DrawWholeWindowConverted(benchmark::State& state) {
    Desk desk(kSizes[state.range(0)][0], kSizes[state.range(0)][1]);
    int next = 0;
    for (auto _ : state) {
        desk.Touch(desk.views[size_t(next++ & 3)]);
        HDIB pic = orb::CaptureWindowPicture(desk.top);
        {
            orb::DibLock l(pic);
            const int w = l.width(), h = l.height();
            std::unique_ptr<uint32_t[]> surface(new uint32_t[size_t(w) * h]());
            for (int y = 0; y < h; ++y) {
                const uint8_t* src = l.rowFromTop(y);
                uint32_t* row = surface.get() + size_t(y) * w;
                for (int x = 0; x < w; ++x) row[x] = src[x * 3] | (src[x * 3 + 1] << 8) | (src[x * 3 + 2] << 16);
            }
            benchmark::DoNotOptimize(surface.get());
        }
        orb::DestroyDIB(pic);
    }
    Label(state);
}

// Now: the kept picture, one view painted since the last draw.
void BM_DrawOneViewPainted(benchmark::State& state) {
    Desk desk(kSizes[state.range(0)][0], kSizes[state.range(0)][1]);
    orb::WindowPicture picture;
    orb::UpdateWindowPicture(desk.top, picture);
    int next = 0;
    for (auto _ : state) {
        desk.Touch(desk.views[size_t(next++ & 3)]);
        benchmark::DoNotOptimize(orb::UpdateWindowPicture(desk.top, picture));
    }
    Label(state);
}

// Now, all four views painted since the last draw: the whole window converted, into the
// kept picture.
void BM_DrawAllViewsPainted(benchmark::State& state) {
    Desk desk(kSizes[state.range(0)][0], kSizes[state.range(0)][1]);
    orb::WindowPicture picture;
    orb::UpdateWindowPicture(desk.top, picture);
    for (auto _ : state) {
        for (orb::HWND v : desk.views) desk.Touch(v);
        benchmark::DoNotOptimize(orb::UpdateWindowPicture(desk.top, picture));
    }
    Label(state);
}

// A view's new picture reaching the desktop: painted into the view's surface (copied at its
// size, the time and name drawn over it) and then into the kept picture, with the view's
// picture and surface of 24 bits (converted on the way to the desktop) or 32 bits (copied
// row by row as they are), in one run.
void BM_ViewPictureToDesktop(benchmark::State& state) {
    const int bits = int(state.range(1));
    Desk desk(kSizes[state.range(0)][0], kSizes[state.range(0)][1]);
    const orb::HWND view = desk.views[0];
    const orb::Rect r = orb::GetClientRect(view);
    HDIB picture = orb::CreateDIB(r.width(), r.height(), bits);
    orb::WindowPicture kept;
    orb::UpdateWindowPicture(desk.top, kept);
    for (auto _ : state) {
        const orb::Canvas c = orb::BeginPaint(view, bits);
        orb::StretchPicture(c, {0, 0, c.width, c.height}, picture);
        orb::DrawText(c, 8, c.height - 18, "2026/12/07 14:53:39", orb::Rgb(255, 255, 255));
        orb::EndPaint(view);
        benchmark::DoNotOptimize(orb::UpdateWindowPicture(desk.top, kept));
    }
    orb::DestroyDIB(picture);
    const int w = kSizes[state.range(0)][0] / 2, h = kSizes[state.range(0)][1] / 2;
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + " view, " + std::to_string(bits) + "-bit picture and surface");
    state.counters["Mpx/s"] = benchmark::Counter(double(w) * h / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_ViewPictureToDesktop)->ArgsProduct({{0, 1}, {24, 32}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawWholeWindowConverted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawOneViewPainted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawAllViewsPainted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
