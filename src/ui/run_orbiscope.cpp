// Opening the main window (RunOrbiscope), the window classes of the library, and the
// host-facing window exports.
#include "ui/run_orbiscope.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "dewarp/dewarp.h"
#include "config/library_state.h"
#include "config/nas_settings.h"
#include "ui/panoview.h"
#include "platform/accelerators.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "record/recorder.h"
#include "ui/accessories.h"
#include "ui/layout.h"
#include "ui/main_window.h"

extern "C" void LogIntoNAS(void);

namespace orb {

namespace {

// Classes whose windows other parts of the library build; until those parts register their
// own procedure the windows behave as plain windows.
LRESULT PlainProc(HWND h, uint32_t m, WPARAM w, LPARAM l) { return DefWindowProc(h, m, w, l); }

constinit std::string g_arpTable = "/proc/net/arp";
int (*g_resolver)(const char*) = nullptr;
int g_namedMutexCount = 0;

int SystemResolve(const char* name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(name, nullptr, &hints, &result);
    if (result) freeaddrinfo(result);
    return rc == 0;
}

WindowPos DefaultPlacement(const Rect& s) {
    WindowPos p;
    p.width = s.width() * 2 / 3;
    p.height = s.height() * 2 / 3;
    p.left = (s.width() - p.width) / 5;
    p.top = (s.height() - p.height) / 5;
    return p;
}

bool PlacementFits(const WindowPos& p, const Rect& s) {
    return p.left >= -1 && p.left <= s.width() - 30 && p.top >= -1 && p.top <= s.height() - 30 && p.width >= 400 &&
           p.height >= 350 && p.width <= s.width() && p.height <= s.height();
}

}  // namespace

const std::vector<std::string>& LibraryClassNames() {
    static const std::vector<std::string> names = {
        "Quill ToolTip Class",     "Orbiscope New Static",      "Orbiscope Motion Mask", "Orbiscope MaskZome",
        "Quill Orbiscope Button",  "Quill Orbiscope Classic",   "Quill Orbiscope MDI Class", "Quill Orbiscope PanoTop",
        "Quill Orbiscope Example", "Quill Ray Curve",           "Orbiscope Transparent", "Orbiscope SysTray",
        "DVR Frame",               "DVR Player",                "Quill Snapshot MainFrame", "Orbiscope MDI Client"};
    return names;
}

namespace {
std::map<std::string, WndProc>& ClassProcs() {
    static std::map<std::string, WndProc> procs;
    return procs;
}
}  // namespace

void SetLibraryClassProc(const std::string& className, WndProc proc) { ClassProcs()[className] = proc; }

int RegisterLibraryClasses() {
    int count = 0;
    for (const auto& name : LibraryClassNames()) {
        if (IsClassRegistered(name)) {
            ++count;
            continue;
        }
        WindowClass c;
        c.name = name;
        c.proc = PlainProc;
        if (auto it = ClassProcs().find(name); it != ClassProcs().end() && it->second) c.proc = it->second;
        c.windowDataBytes = name == "Quill ToolTip Class" ? 0 : kWindowDataBytes;
        if (name == kViewClass) {
            c.proc = ViewWndProc;
            c.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        } else if (name == kMainClass) {
            c.proc = MainWndProc;
        } else if (WndProc own = AccessoryProc(name)) {
            c.proc = own;
        }
        if (name == "Orbiscope Motion Mask" || name == "Orbiscope MaskZome") c.cursor = IDC_HAND;
        // A class that cannot be registered stops the registration there.
        if (!RegisterWindowClass(c)) break;
        ++count;
    }
    return count;
}

void SetArpTablePath(const std::string& path) { g_arpTable = path; }
void SetNameResolver(int (*resolver)(const char*)) { g_resolver = resolver; }

int MacAddressOf(const char* address, char* out) {
    if (out) out[0] = 0;
    if (!address || !out) return 0;
    in_addr parsed{};
    if (inet_pton(AF_INET, address, &parsed) != 1) return 0;
    std::ifstream in(g_arpTable);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
        std::istringstream row(line);
        std::string ip, type, flags, hw;
        if (!(row >> ip >> type >> flags >> hw)) continue;
        in_addr rowAddr{};
        if (inet_pton(AF_INET, ip.c_str(), &rowAddr) != 1 || rowAddr.s_addr != parsed.s_addr) continue;
        unsigned b[6];
        int used = 0;
        if (std::sscanf(hw.c_str(), "%x:%x:%x:%x:%x:%x%n", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &used) != 6 ||
            used != static_cast<int>(hw.size()))
            return 0;
        char text[18];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", b[0] & 0xFF, b[1] & 0xFF, b[2] & 0xFF, b[3] & 0xFF,
                      b[4] & 0xFF, b[5] & 0xFF);
        if (std::strncmp(text, "00:00:0", 7) == 0) return 0;  // an incomplete entry
        std::memcpy(out, text, sizeof text);
        return 1;
    }
    return 0;
}

HWND OpenMainWindow(HWND host, int32_t n, int32_t callerId, const int32_t* options, const int32_t* rects) {
    InitWindowing();
    g_lib.numViews = n;
    g_lib.callerId = callerId;
    ReadStartupOptions();
    if (callerId == 0) g_lib.background = ReadBackground();
    g_lib.multiScreen = rects ? ReadMultiScreen() : 2;
    n = NormaliseViewCount(n, rects != nullptr, g_lib.multiScreen);
    g_lib.numViews = n;
    g_lib.mouseInvert = ReadMouseInvert();
    g_lib.hostOptions.fill(0);
    if (options) std::copy(options, options + 44, g_lib.hostOptions.begin());
    g_ui.current = nullptr;
    ReadDisplayOptions();
    g_ui.host = host;
    g_lib.fullScreen = ReadFullScreen();
    if (g_lib.speed < 0 || g_lib.speed > 4) g_lib.speed = 0;
    LoadCameraTable();
    if (!IsClassRegistered(kMainClass)) return nullptr;

    if (callerId == 1 && n == 1 && !g_lib.fullScreen && IsWindow(host)) {
        // The packaged single viewer lives inside the host's own window.
        g_ui.hostProc = SetWindowProc(host, PackagedHostProc);
        SendMessage(host, kMsgCreateView);
        g_ui.main = host;
        return host;
    }
    // The storage's log-in program runs while the views start; the recorder waits for the
    // folder (and says so on the views) until it is there.
    if (g_lib.recording) StartNasLogIn();

    const Rect screen = ScreenRect();
    uint32_t style = WS_POPUP | WS_CLIPCHILDREN | WS_BORDER | WS_SYSMENU | WS_EX_TOPMOST;
    Rect r = screen;
    bool maximise = false;
    HMENU menu = nullptr;
    if (n > 1 && rects) {
        const Rect a{rects[0], rects[1], rects[2], rects[3]}, b{rects[4], rects[5], rects[6], rects[7]};
        if (g_lib.multiScreen == 0) r = b;
        else if (g_lib.multiScreen == 1) r = {a.left, a.top, b.right, b.bottom};
    } else if (n == 1 && !g_lib.fullScreen) {
        style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        menu = LoadMenu("ViewBox");
        WindowPos pos;
        if (!ReadWindowPos("WinPos", pos, screen.width(), screen.height()) || !PlacementFits(pos, screen)) {
            const int maximised = pos.maximised;
            pos = DefaultPlacement(screen);
            pos.maximised = maximised;
            if (!PlacementFits(pos, screen)) pos = {0, 0, screen.width(), screen.height(), pos.maximised};
        }
        r = {pos.left, pos.top, pos.left + pos.width, pos.top + pos.height};
        maximise = pos.maximised > 0;
    }
    int32_t rectWords[8];
    if (rects) std::copy(rects, rects + 8, rectWords);
    HWND main = CreateWindow(kMainClass, Text(1009), style, r.left, r.top, r.width(), r.height(), nullptr, 0,
                             rects ? rectWords : nullptr);
    if (!main) {
        if (menu) DestroyMenu(menu);
        return nullptr;
    }
    if (menu) SetMenu(main, menu);
    // The menu's keys work with any number of views, also where no menu bar shows.
    SetAccelerators(main, LoadAccelerators("ViewBox"));
    if (callerId == 0) {
        // In the background the tray icon brings the window back (or, with no tray on the
        // desktop, the window waits minimised).
        if (!g_lib.background) ShowWindow(main, SW_SHOW);
        else CreateTrayIcon();
        EnableWindow(host, false);
        ShowWindow(host, SW_HIDE);
    } else {
        ShowWindow(main, maximise ? SW_SHOWMAXIMIZED : SW_SHOW);
        UpdateWindow(main);
    }
    return main;
}

CameraRecord* ChooseCamera(HWND owner) {
    struct Chooser {
        std::vector<ListedCamera> cameras;
        int chosen = -1;
    } chooser;
    if (!ListCameras(chooser.cameras, owner)) return nullptr;
    static Chooser* active = nullptr;
    active = &chooser;
    const auto proc = [](HWND dlg, uint32_t msg, WPARAM w, LPARAM) -> LRESULT {
        if (msg == WM_INITDIALOG) {
            for (const auto& c : active->cameras) ListAddString(dlg, 1000, c.location);
            if (!active->cameras.empty()) ListSetSelection(dlg, 1000, 0);
            return 1;
        }
        if (msg == WM_COMMAND && LoWord(w) == IDOK) {
            active->chosen = ListGetSelection(dlg, 1000);
            EndDialog(dlg, IDOK);
            return 1;
        }
        return 0;
    };
    const intptr_t result = DialogBox("Source", owner, proc, 0);
    active = nullptr;
    if (result != IDOK || chooser.chosen < 0 || chooser.chosen >= static_cast<int>(chooser.cameras.size())) return nullptr;
    std::memcpy(&g_chosenRecord, chooser.cameras[chooser.chosen].slot.data(), sizeof(CameraRecord));
    return &g_chosenRecord;
}

LRESULT HostFedViewProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_CREATE || msg == kMsgRestart) {
        const CameraRecord* record = msg == WM_CREATE
                                         ? static_cast<const CameraRecord*>(reinterpret_cast<const CreateStruct*>(l)->createParam)
                                         : reinterpret_cast<const CameraRecord*>(l);
        if (msg == WM_CREATE) g_lib.callerId = 2;
        if (!record) return -1;
        const CameraRecord copy = *record;
        if (ViewOf(hwnd)) StopView(hwnd);
        auto* view = new PanoView{};
        view->record = copy;
        TakeRecord(view);
        view->ui.hostFed = true;
        view->ui.kind = kViewKindLive;
        view->ui.window = hwnd;
        view->viewIndex = -1;
        const Rect c = GetClientRect(hwnd);
        view->ui.clientWidth = (c.width() + 1) & ~1;
        view->ui.clientHeight = (c.height() + 1) & ~1;
        char name[32];
        std::snprintf(name, sizeof name, "Orbiscope%d", g_namedMutexCount++);
        SetWindowLong(hwnd, 0, static_cast<int32_t>(view->id));
        SetWindowLong(hwnd, 4, 1);  // marks a host-fed view window
        return 0;
    }
    return ViewWndProc(hwnd, msg, w, l);
}

}  // namespace orb

using orb::HWND;

extern "C" {

void* RunOrbiscope(void* hostWindow, int32_t, int32_t numViews, void** mainWindow, int32_t callerId,
                   const int32_t* hostOptions, int32_t, const int32_t* screenRects) {
    if (mainWindow) *mainWindow = nullptr;
    HWND main = orb::OpenMainWindow(static_cast<HWND>(hostWindow), numViews, callerId, hostOptions, screenRects);
    if (mainWindow) *mainWindow = main;
    return main;
}

void* GetSnapshotWnd(void) { return orb::g_ui.snapshotWindow; }
void* GetDVRWnd(void) { return orb::g_ui.recordingWindow; }
void* GetWndDVR(void) { return orb::g_ui.recordingWindow; }

int32_t UnloadLanguageResource(void) { return orb::UnloadLanguage() ? 1 : 0; }

int32_t OrbiscopeCheckNewwork(void) {
    // Any well-known public name serves; the look-up goes through the replaceable resolver.
    static constexpr const char* kPublicName = "www.example.com";
    return (orb::g_resolver ? orb::g_resolver : orb::SystemResolve)(kPublicName) ? 1 : 0;
}

int32_t GetMacAddress(int32_t, const char* cameraAddress, char* out) { return orb::MacAddressOf(cameraAddress, out); }

CameraRecord* SelectCamera(void* ownerWindow) { return orb::ChooseCamera(static_cast<HWND>(ownerWindow)); }

int32_t ChangeCamera(PanoView* view, const CameraRecord* record) {
    if (!view || !record || record->ownerLink == 0) return 0;
    const CameraRecord copy = *record;  // the record may be the view's own
    {
        // The capture thread renders from the record, the maps and the output picture: the
        // view changes all of them at once.
        std::lock_guard lock(view->ui.viewMutex);
        view->record = copy;
        orb::TakeRecord(view);
        orb::ValidateLensFields(view->record);
        if (view->dewarp.engine) orb::RebuildPanorama(*view);
        if (view->frames.current && view->frames.output) orb::UpdatePanorama(*view);
    }
    // A new location text may now match another view's: only one of them may record it.
    if (view->recording.slot >= 0) orb::AssignRecordingSlot(view, view->recording.slot, orb::g_lib.numViews);
    if (view->ui.window) orb::InvalidateRect(view->ui.window);
    return 1;
}

intptr_t OrbiscopeWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return orb::ViewWndProc(static_cast<HWND>(window), message, wParam, lParam);
}

intptr_t OrbiscopeNewWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return orb::HostFedViewProc(static_cast<HWND>(window), message, wParam, lParam);
}

}
