// Opens the main window with four views on the desktop backend, paints each view in its own
// colour, takes a screenshot of the whole screen with ImageMagick's `import` after a second,
// and quits. Exit codes: 0 done, 77 no desktop, 1 failure.
//   window-probe OUTPUT.ppm [LAYER.ppm]   (ORBISCOPE_HOME must hold the text resource file)
// With LAYER.ppm the views paint noise instead, one of them again half-way, and the main
// window's picture as the window layer composes it is written there beside the screenshot.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <random>
#include <string>

#include "ui/panoview.h"
#include "config/library_state.h"
#include "host/startup.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "platform/window.h"
#include "ui/main_window.h"

extern char** environ;

namespace {

std::string g_output, g_layer;
orb::HWND g_main = nullptr;
int g_status = 1;
int g_ticks = 0;
// Noise is drawn anew only when the probe asks for it (one view, once): the views' clocks
// repaint them every second, and those repaints must show the same picture again.
int g_generation[4] = {};

void PaintView(PanoView* view, const orb::Canvas& c) {
    if (!g_layer.empty()) {
        std::mt19937 rng(uint32_t(view->viewIndex * 1000 + g_generation[view->viewIndex & 3]));
        orb::DibLock d(c.picture);
        for (int y = 0; y < d.height(); ++y)
            for (int x = 0; x < d.width() * 3; ++x) d.rowFromTop(y)[x] = uint8_t(rng());
        return;
    }
    static constexpr uint32_t kColours[] = {orb::Rgb(255, 0, 0), orb::Rgb(0, 255, 0), orb::Rgb(0, 0, 255),
                                            orb::Rgb(255, 255, 0)};
    orb::FillRect(c, {0, 0, c.width, c.height}, kColours[view->viewIndex & 3]);
    orb::DrawText(c, 8, 8, "view " + std::to_string(view->viewIndex), orb::Rgb(0, 0, 0));
}

// The window as the layer composes it, as a binary PPM (R, G, B).
void WriteLayerPicture(orb::HWND window) {
    HDIB pic = orb::CaptureWindowPicture(window);
    if (!pic) return;
    if (FILE* f = std::fopen(g_layer.c_str(), "wb")) {
        orb::DibLock l(pic);
        std::fprintf(f, "P6\n%d %d\n255\n", l.width(), l.height());
        for (int y = 0; y < l.height(); ++y)
            for (int x = 0; x < l.width(); ++x) {
                const uint8_t* p = l.rowFromTop(y) + 3 * x;
                const uint8_t rgb[3] = {p[2], p[1], p[0]};
                std::fwrite(rgb, 1, 3, f);
            }
        std::fclose(f);
    }
    orb::DestroyDIB(pic);
}

orb::LRESULT TimerProc(orb::HWND h, uint32_t m, orb::WPARAM w, orb::LPARAM l) {
    if (m != orb::WM_TIMER) return orb::DefWindowProc(h, m, w, l);
    if (++g_ticks == 4 && orb::g_ui.views.size() > 1) {  // one view anew
        ++g_generation[1];
        orb::InvalidateRect(orb::g_ui.views[1]);
    }
    if (g_ticks < 10) return 0;  // let the desktop map and draw the window
    orb::KillTimer(h, 1);
    if (!g_layer.empty() && !orb::g_ui.views.empty()) WriteLayerPicture(g_main);
    const std::string target = g_output;
    char* argv[] = {const_cast<char*>("import"), const_cast<char*>("-window"), const_cast<char*>("root"),
                    const_cast<char*>("-depth"), const_cast<char*>("8"), const_cast<char*>(target.c_str()), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "import", nullptr, nullptr, argv, environ) == 0) {
        int st = 0;
        waitpid(pid, &st, 0);
        g_status = WIFEXITED(st) && WEXITSTATUS(st) == 0 ? 0 : 1;
    }
    orb::PostQuitMessage(g_status);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    g_output = argv[1];
    if (argc > 2) g_layer = argv[2];
    if (orb::SetBackend(orb::Backend::Desktop) != orb::Backend::Desktop) return 77;
    orb::Initialise();
    orb::Hooks().paint = PaintView;
    orb::Hooks().sleepMs = [](int) {};
    void* out = nullptr;
    auto* main = static_cast<orb::HWND>(RunOrbiscope(nullptr, 0, 4, &out, 4, nullptr, 0, nullptr));
    if (!main) return 1;
    g_main = main;
    // No clock or camera name over the noise: the screen and the layer's picture are taken a
    // moment apart, and a clock may move on in between.
    if (!g_layer.empty()) orb::g_lib.showTime = orb::g_lib.showLocation = 0;
    for (orb::HWND v : orb::g_ui.views)
        if (PanoView* view = orb::ViewOf(v)) {
            view->ui.hasPicture = 1;
            orb::InvalidateRect(v);
        }
    orb::RegisterWindowClass({"Probe Timer", TimerProc});
    orb::HWND timer = orb::CreateWindow("Probe Timer", "", 0, 0, 0, 1, 1, nullptr, 0, nullptr);
    orb::SetTimer(timer, 1, 100);
    orb::RunMessageLoop();
    orb::ResetWindowing();
    return g_status;
}
