// Shows the alignment picture window with its circles and the floating tool bar over a view on
// the desktop backend, takes a screenshot with ImageMagick's `import` and quits.
// Exit codes: 0 done, 77 no desktop, 1 failure.
//   align-probe OUTPUT.ppm   (ORBISCOPE_HOME must hold the text resource file)
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/alignment.h"
#include "ui/panoview.h"
#include "host/startup.h"
#include "platform/dib.h"
#include "platform/window.h"
#include "ui/accessories.h"

extern char** environ;

namespace {

std::string g_output;
int g_status = 1;
int g_ticks = 0;
orb::HWND g_target = nullptr;

orb::LRESULT TimerProc(orb::HWND h, uint32_t m, orb::WPARAM w, orb::LPARAM l) {
    if (m != orb::WM_TIMER) return orb::DefWindowProc(h, m, w, l);
    ++g_ticks;
    // The desktop reports the bar's first size late; place it again once it is mapped.
    if (g_ticks == 5) {
        orb::g_toolBar.target = g_target;
        orb::g_toolBar.lastMoveMs = orb::TimerNowMs();
        orb::PlaceToolBar(true);
    }
    if (g_ticks < 12) return 0;  // let the desktop map and draw the windows
    orb::KillTimer(h, 1);
    if (std::getenv("PROBE_DEBUG")) {
        const orb::Rect r = orb::GetWindowRect(orb::g_toolBar.window);
        std::fprintf(stderr, "bar %d %d %d %d visible %d\n", r.left, r.top, r.right, r.bottom, orb::IsWindowVisible(orb::g_toolBar.window));
    }
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

orb::LRESULT ViewProc(orb::HWND h, uint32_t m, orb::WPARAM w, orb::LPARAM l) {
    if (m != orb::WM_PAINT) return orb::DefWindowProc(h, m, w, l);
    orb::Canvas c = orb::BeginPaint(h);
    orb::FillRect(c, {0, 0, c.width, c.height}, orb::Rgb(0, 0, 160));
    orb::EndPaint(h);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    g_output = argv[1];
    if (orb::SetBackend(orb::Backend::Desktop) != orb::Backend::Desktop) return 77;
    orb::Initialise();

    // The alignment picture: a grey picture with a fisheye circle at (320, 240), radius 200.
    auto* view = new PanoView{};
    view->record.lensType = 2;
    view->record.centerX = 320, view->record.centerY = 240, view->record.firstRadius = 200;
    orb::g_align.view = view;
    orb::g_align.zoomW = 640, orb::g_align.zoomH = 480;
    orb::g_align.zoomed = orb::CreateDIB(640, 480, 24);
    {
        orb::DibLock lk(orb::g_align.zoomed);
        std::memset(lk.bits(), 128, static_cast<size_t>(lk.rowBytes()) * 480);
    }
    orb::g_align.outer = {120, 40, 520, 440};
    if (!orb::IsClassRegistered(orb::kAlignmentClass))
        orb::RegisterWindowClass({orb::kAlignmentClass, orb::AlignmentPictureProc});
    orb::RegisterWindowClass({"Probe Frame", orb::DefWindowProc});
    orb::HWND frame = orb::CreateWindow("Probe Frame", "Lens alignment", orb::WS_POPUP, 0, 0, 640, 480, nullptr, 0, nullptr);
    orb::g_align.picture = orb::CreateWindow(orb::kAlignmentClass, "", orb::WS_CHILD | orb::WS_VISIBLE, 0, 0, 640, 480, frame,
                                             orb::kAlignPictureId, nullptr);
    orb::ShowWindow(frame, orb::SW_SHOW);

    // A view at (700, 0) with the tool bar over its bottom-right corner.
    orb::RegisterWindowClass({"Probe View", ViewProc});
    orb::HWND target = orb::CreateWindow("Probe View", "view", orb::WS_POPUP | orb::WS_VISIBLE, 700, 0, 300, 200, nullptr, 0, nullptr);
    if (!orb::CreateToolBar(nullptr)) return 1;
    orb::g_toolBar.target = target;
    orb::g_toolBar.lastMoveMs = orb::TimerNowMs();  // as if the mouse had just moved over the view
    orb::PlaceToolBar(true);
    g_target = target;
    orb::InvalidateRect(orb::g_toolBar.window);

    orb::RegisterWindowClass({"Probe Timer", TimerProc});
    orb::HWND timer = orb::CreateWindow("Probe Timer", "", 0, 0, 0, 1, 1, nullptr, 0, nullptr);
    orb::SetTimer(timer, 1, 100);
    orb::RunMessageLoop();
    orb::ResetWindowing();
    orb::DestroyDIB(orb::g_align.zoomed);
    orb::g_align = {};
    delete view;
    return g_status;
}
