// Opens the main window with four views on the desktop backend, paints each view in its own
// colour, takes a screenshot of the whole screen with ImageMagick's `import` after a second,
// and quits. Exit codes: 0 done, 77 no desktop, 1 failure.
//   window-probe OUTPUT.ppm   (ORBISCOPE_HOME must hold the text resource file)
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "ui/panoview.h"
#include "host/startup.h"
#include "orbiscope.h"
#include "platform/window.h"
#include "ui/main_window.h"

extern char** environ;

namespace {

std::string g_output;
int g_status = 1;
int g_ticks = 0;

void PaintView(PanoView* view, const orb::Canvas& c) {
    static constexpr uint32_t kColours[] = {orb::Rgb(255, 0, 0), orb::Rgb(0, 255, 0), orb::Rgb(0, 0, 255),
                                            orb::Rgb(255, 255, 0)};
    orb::FillRect(c, {0, 0, c.width, c.height}, kColours[view->viewIndex & 3]);
    orb::DrawText(c, 8, 8, "view " + std::to_string(view->viewIndex), orb::Rgb(0, 0, 0));
}

orb::LRESULT TimerProc(orb::HWND h, uint32_t m, orb::WPARAM w, orb::LPARAM l) {
    if (m != orb::WM_TIMER) return orb::DefWindowProc(h, m, w, l);
    if (++g_ticks < 10) return 0;  // let the desktop map and draw the window
    orb::KillTimer(h, 1);
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
    if (orb::SetBackend(orb::Backend::Desktop) != orb::Backend::Desktop) return 77;
    orb::Initialise();
    orb::Hooks().paint = PaintView;
    orb::Hooks().sleepMs = [](int) {};
    void* out = nullptr;
    auto* main = static_cast<orb::HWND>(RunOrbiscope(nullptr, 0, 4, &out, 4, nullptr, 0, nullptr));
    if (!main) return 1;
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
