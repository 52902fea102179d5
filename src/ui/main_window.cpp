// The main window and the view windows: tiling, the view's life (creation, record loading,
// thread start, watchdog, restart, destruction), commands, keys, the wheel and the menus.
#include "ui/main_window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "config/library_state.h"
#include "config/nas_settings.h"
#include "dewarp/navigation.h"
#include "platform/texts.h"
#include "ui/panoview.h"
#include "orbiscope.h"
#include "ui/accessories.h"
#include "record/recording_file.h"
#include "record/video_recording.h"
#include "ui/layout.h"
#include "ui/view_commands.h"
#include "ui/view_mouse.h"
#include "ui/view_overlay.h"
#include "ui/view_retire.h"
#include "platform/name_resolution.h"

namespace orb {

UiGlobals g_ui;

ViewHooks& Hooks() {
    static ViewHooks hooks;
    return hooks;
}

namespace {

void Sleep(int ms) {
    if (Hooks().sleepMs) Hooks().sleepMs(ms);
    else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool PasswordGiven(HWND owner) { return !g_lib.protect || !Hooks().checkPassword || Hooks().checkPassword(owner); }

int ViewCount() { return std::clamp(g_lib.numViews, 1, kMaxViews); }

HWND FirstView() { return g_ui.views[0]; }

bool IsViewWindow(HWND h) {
    return h && std::find(g_ui.views.begin(), g_ui.views.end(), h) != g_ui.views.end();
}

void SaveWindowPosition() {
    if (!g_ui.main || IsIconic(g_ui.main)) return;
    const Rect r = GetWindowRect(g_ui.main);
    WriteWindowPos("WinPos", {r.left, r.top, r.width(), r.height(), IsZoomed(g_ui.main) ? 1 : 0});
}

void RedrawAllViews() {
    for (HWND v : g_ui.views)
        if (v) InvalidateRect(v);
}

bool AnyPaused(bool& all) {
    bool any = false;
    all = true;
    for (HWND v : g_ui.views)
        if (PanoView* p = ViewOf(v)) {
            if (p->ui.paused) any = true;
            else all = false;
        }
    return any;
}

void SetAllPaused(int32_t on) {
    for (HWND v : g_ui.views)
        if (PanoView* p = ViewOf(v)) p->ui.paused = on;
}

// The view's window, its record taken, its thread started.
void StartCapture(PanoView* view) {
    bool ptz = false;
    view->ui.routine = RoutineForModel(view->record.modelIndex, ptz);
    if (ptz) view->record.lensType = kImageMechanicalPtz;
    if (Hooks().startCapture && Hooks().startCapture(view)) view->captureStarted = 1;
}

// Builds a fresh view for a window from a record (or, without one, from Config.ure).
void BuildView(HWND hwnd, const CameraRecord* record, int index) {
    auto* view = new PanoView{};
    if (record) view->record = *record;
    TakeRecord(view);
    view->ui.window = hwnd;
    view->ui.kind = kViewKindLive;
    const Rect c = GetClientRect(hwnd);
    view->ui.clientWidth = (c.width() + 1) & ~1;
    view->ui.clientHeight = (c.height() + 1) & ~1;
    view->viewIndex = index;
    SetWindowLong(hwnd, 0, static_cast<int32_t>(view->id));
    if (index >= 0 && index < kMaxViews) SetViewAt(index, view);
    if (ViewCount() > 1 && index >= 0) {
        const std::string key = ReadSetting("CCTV", ViewKeyName(index).c_str(), "", 64);
        if (!key.empty() && std::atoi(key.c_str()) == -1) {
            view->ui.disabled = 1;
            return;
        }
    }
    g_ui.current = view;
    if (!record && index >= 0) {
        bool loaded = false;
        for (int attempt = 0; attempt < 11 && !loaded; ++attempt) {
            if (attempt) Sleep(500);
            loaded = LoadViewRecordByMapping(view) == 1;
        }
        if (!loaded) return;  // the view stays empty
        TakeRecord(view);
    }
    CheckViewRecord(view->record);  // links the presets; a damaged record still shows a picture
    if (Hooks().recordTaken) Hooks().recordTaken(view);
    StartCapture(view);
}

void PtzOrNavigate(PanoView* view, int moveCommand) {
    static constexpr int kPtzOfMove[] = {kPtzLeft, kPtzDown, kPtzRight, kPtzUp};
    if (ImageTypeOf(view) == kImageMechanicalPtz) {
        if (Hooks().ptz) Hooks().ptz(view, kPtzOfMove[moveCommand - kCmdPanLeft]);
        return;
    }
    if (Hooks().move) Hooks().move(view, view->ui.currentPane, moveCommand);
    if (view->ui.window) InvalidateRect(view->ui.window);
}

void Zoom(PanoView* view, bool in) {
    if (ImageTypeOf(view) == kImageMechanicalPtz) {
        if (Hooks().ptz) Hooks().ptz(view, in ? kPtzZoomIn : kPtzZoomOut);
        return;
    }
    if (Hooks().zoom) Hooks().zoom(view, view->ui.currentPane, in);
    if (view->ui.window) InvalidateRect(view->ui.window);
}

void CloseSystem() {
    if (g_ui.closed) return;
    if (!PasswordGiven(g_ui.main)) return;
    g_ui.closed = 1;
    if (IsWindow(g_ui.recordingWindow)) SendMessage(g_ui.recordingWindow, WM_COMMAND, kCmdClose, 0);
    if (ViewCount() == 1 && !g_lib.fullScreen) SaveWindowPosition();
    SaveAllViewRecords();
    std::vector<PanoView*> running;
    for (HWND v : g_ui.views)
        if (PanoView* p = ViewOf(v); p && p->captureStarted && Hooks().stopCapture) running.push_back(p);
    // Every thread is asked at once, then each is joined: the close takes as long as the
    // slowest camera, not all of them in a row.
    if (Hooks().requestStop)
        for (PanoView* p : running) Hooks().requestStop(p, true);
    for (PanoView* p : running) {
        Hooks().stopCapture(p);
        p->captureStarted = 0;
        // The hour's file carries the camera as it was when the system closed.
        if (p->recording.dvr && p->recording.dvr->stream) WriteBackRecord(*p->recording.dvr, p->record);
        WriteBackVideoRecord(p);
    }
    DrainRetiredViews();  // views restarted a moment ago finish too
    // The network storage's log-in program is given a moment to end; one that hangs is left
    // to itself rather than holding the close.
    JoinNasCommands(3000);
    if (g_lib.callerId == 0) {
        SendMessage(g_ui.host, WM_COMMAND, 999, 2);
        ShowWindow(g_ui.host, SW_HIDE);
        ShowWindow(g_ui.main, SW_HIDE);
    } else if (g_lib.callerId == 1) {
        SendMessage(g_ui.host, WM_COMMAND, 1004, 0);
    }
    // The library never ends the process itself: the host's message loop ends with code 1.
    if (g_ui.main) PostMessage(g_ui.main, WM_CLOSE);
    PostQuitMessage(1);
}

struct CruiseContext {
    PanoView* view;
    int32_t before;
};

LRESULT CruiseProc(HWND dlg, uint32_t msg, WPARAM w, LPARAM l) {
    static CruiseContext* ctx = nullptr;
    if (msg == WM_INITDIALOG) {
        ctx = reinterpret_cast<CruiseContext*>(l);
        SpinSetRange(dlg, 1220, 0, 20);
        SpinSetPos(dlg, 1220, ctx->view->record.cruiseSpeed);
        SetDlgItemText(dlg, 1221, std::to_string(SpinGetPos(dlg, 1220)));
        return 1;
    }
    if (msg != WM_COMMAND || !ctx) return 0;
    if (LoWord(w) == 1220 && HiWord(w) == kNotifyChanged) {
        const int32_t speed = SpinGetPos(dlg, 1220);
        {
            std::lock_guard lock(ctx->view->ui.viewMutex);  // the capture thread pans with it
            ctx->view->record.cruiseSpeed = speed;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%d", speed);
        SetDlgItemText(dlg, 1221, text);
        return 1;
    }
    if (LoWord(w) == IDOK) {
        EndDialog(dlg, IDOK);
        return 1;
    }
    if (LoWord(w) == IDCANCEL) {
        {
            std::lock_guard lock(ctx->view->ui.viewMutex);
            ctx->view->record.cruiseSpeed = ctx->before;
        }
        EndDialog(dlg, IDCANCEL);
        return 1;
    }
    return 0;
}

// Full screen on, or off with the main window back where it was.
void FullScreen(bool on) {
    if (on == (g_lib.fullScreen != 0)) return;
    g_lib.fullScreen = on;
    if (!g_ui.main) return;
    if (on) {
        g_ui.beforeFullScreen = GetWindowRect(g_ui.main);
        const Rect s = ScreenRect();
        MoveWindow(g_ui.main, s.left, s.top, s.width(), s.height(), true);
    }
    SetFullScreen(g_ui.main, on);
    if (!on && g_ui.beforeFullScreen.width() > 0) {
        const Rect& r = g_ui.beforeFullScreen;
        MoveWindow(g_ui.main, r.left, r.top, r.width(), r.height(), true);
    }
}

void ToggleShowLocation() {
    g_lib.showLocation = g_lib.showLocation ? 0 : 1;
    SaveAllViewRecords();  // writes the display keys too
    RedrawAllViews();
}

// The chosen camera into the view's place: the view is built again around it, where it was.
void AssignChosenCamera(HWND hwnd, PanoView* view) {
    if (!view) return;
    WriteSettingInt(CurrentCallerSection(), ViewKeyName(view->viewIndex).c_str(), g_chosenRecord.cameraId);
    SaveAllViewRecords();
    {
        const ViewPlacement keep = view->ui.placement;
        const CameraRecord chosen = g_chosenRecord;
        const int index = view->viewIndex;
        StopView(hwnd);
        BuildView(hwnd, &chosen, index);
        if (PanoView* fresh = ViewOf(hwnd)) fresh->ui.placement = keep;
    }
    InvalidateRect(hwnd);
}

void ToBackground(HWND hwnd, PanoView* view, int cmd) {
    if (g_lib.callerId != 0) return;
    ShowWindow(g_ui.main, SW_HIDE);
    PlaceToolBar(false);  // it floats over views that are no longer seen
    if (Hooks().command) Hooks().command(view, hwnd, cmd);  // the tray icon
    WriteSetting("Panorama", "Background", "1");
}

void FromBackground(HWND hwnd) {
    if (g_lib.callerId != 0 || !PasswordGiven(hwnd)) return;
    ShowWindow(g_ui.main, SW_SHOW);
    WriteSetting("Panorama", "Background", "0");
}

void ToggleMotionBlocks() {
    gfMotionBlock = gfMotionBlock ? 0 : 1;
    WriteSettingFlag(CurrentCallerSection(), "MotionBlock", gfMotionBlock != 0);
    RedrawAllViews();
}

void LockScreen(HWND hwnd, bool on) {
    if (!PasswordGiven(hwnd)) return;
    g_lib.lockScreen = on;
    WriteSettingFlag(CurrentCallerSection(), "LockScreen", g_lib.lockScreen != 0);
}

void OpenCruise(HWND hwnd, PanoView* view) {
    if (!view) return;
    const int32_t wasPaused = view->ui.paused.exchange(1);
    CruiseContext ctx{view, view->record.cruiseSpeed};
    DialogBox("Cruise", hwnd, CruiseProc, reinterpret_cast<LPARAM>(&ctx));
    view->ui.paused = wasPaused;
}

// The commands of a view window; true when handled.
bool RunViewCommand(HWND hwnd, PanoView* view, int cmd) {
    switch (cmd) {
    case kCmdPause: if (view) view->ui.paused = 1; return true;
    case kCmdResume: if (view) view->ui.paused = 0; return true;
    case kCmdPauseAll: SetAllPaused(1); return true;
    case kCmdResumeAll: SetAllPaused(0); return true;
    case kCmdChooseCamera:
        if (SelectCamera(hwnd)) RunViewCommand(hwnd, view, kCmdAssignCamera);
        return true;
    case kCmdAssignCamera: AssignChosenCamera(hwnd, view); return true;
    case kCmdClose: CloseSystem(); return true;
    case kCmdMinimise: if (g_ui.main) ShowWindow(g_ui.main, SW_MINIMIZE); return true;
    case kCmdToBackground: ToBackground(hwnd, view, cmd); return true;
    case kCmdFromBackground: FromBackground(hwnd); return true;
    case kCmdFullScreenOn:
    case kCmdFullScreenOff:
        FullScreen(cmd == kCmdFullScreenOn);
        return true;
    case kCmdRestart: RestartView(hwnd); return true;
    case kCmdEmptyView:
        if (view) WriteSetting(CurrentCallerSection(), ViewKeyName(view->viewIndex).c_str(), EmptyViewMark());
        return true;
    case kCmdMotionBlocks: ToggleMotionBlocks(); return true;
    case kCmdShowLocation: ToggleShowLocation(); return true;
    case kCmdLockOn:
    case kCmdLockOff:
        LockScreen(hwnd, cmd == kCmdLockOn);
        return true;
    case kCmdCruise: OpenCruise(hwnd, view); return true;
    case kCmdZoomIn:
    case kCmdZoomOut:
        if (view && view->ui.hasPicture) Zoom(view, cmd == kCmdZoomIn);
        return true;
    case kCmdPanLeft:
    case kCmdTiltDown:
    case kCmdPanRight:
    case kCmdTiltUp:
        if (view && view->ui.hasPicture) PtzOrNavigate(view, cmd);
        return true;
    case kCmdPlayer:
        if (g_lib.callerId == 1) return true;
        break;
    case kCmdZoneEditor:
        if (!PasswordGiven(hwnd)) return true;
        break;
    default:
        break;
    }
    // Player, snapshot, balance, alignment, motion, zones, showing modes and PTZ ranges.
    if (Hooks().command) return Hooks().command(view, hwnd, cmd);
    return false;
}

int KeyAction(uint32_t key) {
    switch (key) {
    case 37: return kCmdPanLeft;
    case 38: return kCmdTiltUp;
    case 39: return kCmdPanRight;
    case 40: return kCmdTiltDown;
    case 43: case 46: case 61: case 62: case 65: case 73: case 97: case 105: case 107: case 187: case 190:
    case 65467: case 65470:
        return kCmdZoomIn;
    case 44: case 45: case 60: case 79: case 90: case 95: case 109: case 111: case 122: case 188: case 189:
    case 65468: case 65469:
        return kCmdZoomOut;
    default: return 0;
    }
}

void KeySteer(uint32_t key) {
    PanoView* view = g_ui.current;
    const int action = KeyAction(key & 0xFFFF);
    if (!view || !action || !view->ui.hasPicture || view->ui.disabled) return;
    const bool ptz = ImageTypeOf(view) == kImageMechanicalPtz;
    if (ViewLocked(view) && !(ptz && action == kCmdTiltDown)) return;
    if (action == kCmdZoomIn || action == kCmdZoomOut) Zoom(view, action == kCmdZoomIn);
    else PtzOrNavigate(view, action);
}

void Paint(HWND hwnd, PanoView* view) {
    Canvas c = BeginPaint(hwnd, 32);  // the view's picture is 32-bit: copied in and out as it is
    if (view && Hooks().paint && view->ui.hasPicture) {
        Hooks().paint(view, c);
    } else {
        FillRect(c, GetClientRect(hwnd), Rgb(0, 0, 0));
    }
    if (view) PaintViewOverlay(*view, c);
    EndPaint(hwnd);
}

// The wheel over a view; x and y in the top-level window's client coordinates.
void WheelOnView(HWND target, WPARAM w, int x, int y) {
    PanoView* view = ViewOf(target);
    if (!view || !view->ui.hasPicture || view->ui.closing || ViewLocked(view) || ImageTypeOf(view) == kImageNormal)
        return;
    const bool away = WheelDelta(w) > 0;
    if (ImageTypeOf(view) == kImageMechanicalPtz) {
        if (Hooks().ptz) Hooks().ptz(view, away ? kPtzZoomIn : kPtzZoomOut);
        return;
    }
    int ox, oy;
    ClientToTop(target, ox, oy);
    if (Hooks().paneAt) view->ui.currentPane = Hooks().paneAt(view, x - ox, y - oy);
    g_ui.current = view;
    Zoom(view, away);
}

void AddMenuItem(HMENU m, int id, uint32_t flags = 0) { AppendMenu(m, flags, id, Text(id)); }

}  // namespace

// ---- Public helpers ----

PanoView* ViewOf(HWND hwnd) {
    const int32_t id = GetWindowLong(hwnd, 0);
    return id ? FindView(static_cast<uint32_t>(id)) : nullptr;
}

int ImageTypeOf(const PanoView* view) { return view ? view->record.lensType : 0; }

bool ViewLocked(const PanoView* view) {
    return view && g_lib.callerId == 0 && g_lib.lockScreen && view->viewIndex >= 0;
}

CaptureRoutine RoutineForModel(int32_t model, bool& mechanicalPtz) {
    mechanicalPtz = false;
    if ((model >= 16 && model <= 21) || model == 61 || (model >= 90 && model <= 92) || model == 280)
        return CaptureRoutine::Second;
    if ((model >= 49 && model <= 54) || (model >= 72 && model <= 79) || (model >= 85 && model <= 87))
        return CaptureRoutine::Third;
    if (model == 131 || model == 198 || model == 199) mechanicalPtz = true;
    return CaptureRoutine::Main;
}

void WatchdogTick(HWND hwnd) {
    FinishRetiredViews();  // should a message of their reapers have been lost
    PanoView* view = ViewOf(hwnd);
    if (!view || view->ui.paused || view->ui.closing || view->ui.disabled) return;
    const int32_t a = ++view->ui.watchdogA;
    const int32_t b = ++view->ui.watchdogB;
    if (a == 15 && Hooks().cancelBlocking) Hooks().cancelBlocking(view);
    if (a > 30 || b > 120) {
        // A stalled capture: cancel what blocks, and rebuild the view from its own record.
        if (Hooks().cancelBlocking) Hooks().cancelBlocking(view);
        view->ui.watchdogA = 0;
        view->ui.watchdogB = 0;
        g_chosenRecord = view->record;
        RestartView(hwnd);
    }
}

void StopView(HWND hwnd) {
    PanoView* view = ViewOf(hwnd);
    if (!view) return;
    view->ui.closing = 1;
    SetWindowLong(hwnd, 0, 0);  // from now on, messages for the window find no view
    const bool running = view->captureStarted != 0;
    view->captureStarted = 0;
    if (running && Hooks().requestStop && Hooks().stopCapture) {
        RetireView(view);  // joined elsewhere, freed here once its threads are gone
        return;
    }
    if (running && Hooks().stopCapture) Hooks().stopCapture(view);
    FreeStoppedView(view);
}

void RestartView(HWND hwnd) {
    PanoView* view = ViewOf(hwnd);
    if (!view) return;
    const ViewPlacement keep = view->ui.placement;
    const CameraRecord record = view->record;
    if (!view->ui.hostFed) StopView(hwnd);
    SendMessage(hwnd, kMsgRestart, 0, reinterpret_cast<LPARAM>(&record));
    if (PanoView* fresh = ViewOf(hwnd)) fresh->ui.placement = keep;
    InvalidateRect(hwnd);
}

HMENU BuildContextMenu(HWND hwnd) {
    PanoView* view = ViewOf(hwnd);
    const int caller = g_lib.callerId;
    const bool hostFed = caller == 2 || caller == 128;
    const int n = ViewCount();
    HMENU menu = CreatePopupMenu();
    if (caller == 0 || caller == 1) AddMenuItem(menu, kCmdChooseCamera);
    if (!hostFed) {
        HMENU display = CreatePopupMenu();
        AddMenuItem(display, kCmdShowLocation, g_lib.showLocation ? MF_CHECKED : 0);
        if (caller == 0) AddMenuItem(display, kCmdToBackground);
        if (caller != 4 && (n > 1 || g_lib.fullScreen)) {
            AppendMenu(display, MF_SEPARATOR, 0, {});
            AddMenuItem(display, kCmdMinimise);
            if (n > 2) AddMenuItem(display, g_lib.fullScreen ? kCmdFullScreenOff : kCmdFullScreenOn);
        }
        if (caller == 0 && view && view->viewIndex >= 0) AddMenuItem(display, g_lib.lockScreen ? kCmdLockOff : kCmdLockOn);
        AppendMenu(menu, MF_POPUP, 0, Text(2654), display);

        HMENU camera = CreatePopupMenu();
        if (n >= 2 && view && !view->ui.disabled) AddMenuItem(camera, kCmdEmptyView);
        AddMenuItem(camera, view && view->ui.paused ? kCmdResume : kCmdPause);
        bool all = false;
        const bool any = AnyPaused(all);
        if (any) AddMenuItem(camera, kCmdResumeAll);
        if (!all) AddMenuItem(camera, kCmdPauseAll);
        AppendMenu(menu, MF_POPUP, 0, Text(2653), camera);
        if (view && view->ui.hasPicture) {
            AppendMenu(menu, MF_SEPARATOR, 0, {});
            AppendMenu(menu, 0, kCmdSnapshot, Text(2100));
        }
    }
    // The showing modes of the view's image type, and a mechanical camera's controls.
    if (hostFed) {
        AppendShowModeItems(menu, view, true);
    } else if (const int type = ImageTypeOf(view); view && type != kImageNormal && type != kImageMechanicalPtz) {
        HMENU modes = CreatePopupMenu();
        AppendShowModeItems(modes, view, true);
        AppendMenu(menu, MF_POPUP, 0, Text(2652), modes);
    }
    if (view && ImageTypeOf(view) == kImageMechanicalPtz) AppendPtzMenu(menu);
    return menu;
}

void ApplyMenuState(HMENU menu) {
    PanoView* first = ViewOf(FirstView());
    EnableMenuItem(menu, kCmdPlayer, g_lib.callerId != 1);
    CheckMenuItem(menu, kCmdShowLocation, g_lib.showLocation != 0);
    const bool motion = first && first->record.motionOn;
    CheckMenuItem(menu, kCmdMotionBlocks, motion);
    const bool paused = first && first->ui.paused;
    EnableMenuItem(menu, kCmdResume, paused);
    EnableMenuItem(menu, kCmdPause, !paused);
    if (!g_lib.recording) {
        for (int id : {kCmdMotionMask, kCmdMotionOff, kCmdMotionOn, kCmdMotionBlocks}) EnableMenuItem(menu, id, false);
    } else {
        EnableMenuItem(menu, kCmdMotionOff, motion);
        EnableMenuItem(menu, kCmdMotionOn, !motion);
        EnableMenuItem(menu, kCmdMotionMask, motion);
        EnableMenuItem(menu, kCmdMotionBlocks, true);
    }
}

// ---- The view window ----

namespace {

void ViewTimer(HWND hwnd, WPARAM timer) {
    if (timer != kWatchdogTimer) return;
    WatchdogTick(hwnd);
    if (g_lib.showTime) InvalidateRect(hwnd);  // the clock on the view moves on
}

void ViewSized(HWND hwnd, LPARAM l) {
    if (PanoView* view = ViewOf(hwnd)) {
        view->ui.clientWidth = (static_cast<int>(LoWord(l)) + 1) & ~1;
        view->ui.clientHeight = (static_cast<int>(HiWord(l)) + 1) & ~1;
    }
}

LRESULT ViewWheel(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
    HWND parent = GetParent(hwnd);
    if (parent && parent == g_ui.main) return SendMessage(parent, msg, w, l);
    HWND top = parent ? parent : hwnd;
    const Rect wr = GetWindowRect(top);
    WheelOnView(hwnd, w, PointX(l) - wr.left, PointY(l) - wr.top);
    return 0;
}

void ViewLeftDown(HWND hwnd, WPARAM w, LPARAM l) {
    PanoView* view = ViewOf(hwnd);
    SetFocus(hwnd);
    if (view && (w & MK_CONTROL) && (w & MK_SHIFT)) {
        if (Hooks().command) Hooks().command(view, hwnd, -1);  // the motion-event hook dialog
        return;
    }
    if (view) {
        g_ui.current = view;
        if (view->ui.hasPicture && !ViewLocked(view)) ViewMouseDown(hwnd, *view, PointX(l), PointY(l));
    }
}

void ViewContextMenu(HWND hwnd, LPARAM l) {
    HMENU menu = BuildContextMenu(hwnd);
    const int chosen = TrackPopupMenu(menu, hwnd, PointX(l), PointY(l));
    DestroyMenu(menu);
    if (chosen) SendMessage(hwnd, WM_COMMAND, static_cast<WPARAM>(chosen), 0);
}

void ViewDestroyed(HWND hwnd) {
    KillTimer(hwnd, kWatchdogTimer);
    PanoView* view = ViewOf(hwnd);
    if (view) view->ui.window = nullptr;
    for (auto& v : g_ui.views)
        if (v == hwnd) v = nullptr;
    if (view && !view->ui.closing) StopView(hwnd);
}

}  // namespace

LRESULT ViewWndProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CreateStruct*>(l);
        SetTimer(hwnd, kWatchdogTimer, 1000);
        BuildView(hwnd, static_cast<const CameraRecord*>(cs->createParam), cs->id);
        return 0;
    }
    case kMsgRestart: {
        const auto* record = reinterpret_cast<const CameraRecord*>(l);
        const int index = GetDlgCtrlID(hwnd);
        if (ViewOf(hwnd)) StopView(hwnd);
        BuildView(hwnd, record, index);
        return 0;
    }
    case WM_TIMER: ViewTimer(hwnd, w); return 0;
    case WM_PAINT: Paint(hwnd, ViewOf(hwnd)); return 0;
    case WM_SIZE: ViewSized(hwnd, l); return 0;
    case WM_COMMAND:
        RunViewCommand(hwnd, ViewOf(hwnd), static_cast<int>(LoWord(w)));
        return 0;
    case WM_KEYDOWN:
        KeySteer(static_cast<uint32_t>(w));
        return 0;
    case WM_MOUSEWHEEL: return ViewWheel(hwnd, msg, w, l);
    case WM_LBUTTONDOWN: ViewLeftDown(hwnd, w, l); return 0;
    case WM_LBUTTONUP:
        if (PanoView* view = ViewOf(hwnd)) ViewMouseUp(hwnd, *view, PointX(l), PointY(l));
        return 0;
    case WM_MOUSEMOVE:
        if (PanoView* view = ViewOf(hwnd)) ViewMouseMove(hwnd, *view, PointX(l), PointY(l), w);
        if (IsWindow(g_toolBar.window)) SendMessage(g_toolBar.window, kMsgMouseOverView, 0, reinterpret_cast<LPARAM>(hwnd));
        return 0;
    case WM_RBUTTONUP: ViewContextMenu(hwnd, l); return 0;
    case WM_DESTROY: ViewDestroyed(hwnd); return 0;
    default:
        return DefWindowProc(hwnd, msg, w, l);
    }
}

// ---- The main window ----

namespace {

// The views tiled over the main window (or the host's screen rectangles), and the tool bar.
void MainCreated(HWND hwnd, const CreateStruct* cs, int n) {
    g_ui.main = hwnd;
    const int32_t* rects = static_cast<const int32_t*>(cs->createParam);
    g_ui.haveRects = rects != nullptr;
    if (rects)
        for (int i = 0; i < 2; ++i) g_ui.hostRects[i] = {rects[i * 4], rects[i * 4 + 1], rects[i * 4 + 2], rects[i * 4 + 3]};
    const auto tiles = TileViews(n, g_ui.haveRects ? g_lib.multiScreen : 2, g_ui.haveRects ? g_ui.hostRects.data() : nullptr,
                                 {0, 0, cs->width, cs->height}, ScreenRect());
    for (size_t i = 0; i < tiles.size() && i < g_ui.views.size(); ++i) {
        const auto& t = tiles[i];
        HWND v = CreateWindow(kViewClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, t.left, t.top, t.width, t.height,
                              hwnd, static_cast<int>(i), nullptr);
        g_ui.views[i] = v;
        if (PanoView* view = ViewOf(v)) view->ui.placement = t;
    }
    CreateToolBar(hwnd);  // the views work without it
}

// A single view follows the main window's size, and the window's place is kept.
void MainMovedOrSized(HWND hwnd, uint32_t msg, WPARAM w, int n) {
    if (msg == WM_SIZE && w == SIZE_RESTORED) TrayStandInRestored();
    if (n != 1) return;
    if (msg == WM_SIZE && w == SIZE_MINIMIZED) return;
    if (!IsIconic(hwnd) && !IsZoomed(hwnd)) SaveWindowPosition();
    if (msg == WM_SIZE && FirstView()) {
        const Rect c = GetClientRect(hwnd);
        MoveWindow(FirstView(), 0, 0, c.width(), c.height(), true);
        InvalidateRect(hwnd);
    }
}

void MainWheel(HWND hwnd, WPARAM w, LPARAM l, int n) {
    const Rect wr = GetWindowRect(hwnd);
    const int x = PointX(l) - wr.left, y = PointY(l) - wr.top;
    HWND target = FirstView();
    if (n > 1) {
        HWND under = ChildWindowFromPoint(hwnd, x, y);
        if (IsViewWindow(under)) target = under;
    }
    WheelOnView(target, w, x, y);
}

// A key of the views' accelerators: the view under the pointer takes it (the keyboard focus
// stays on the first view while the tool bar follows the pointer), else the current view, else
// the first. The pause and full-screen keys switch both ways; full screen only where the
// context menu offers it.
void RunViewKey(HWND main, int cmd) {
    int x, y;
    GetCursorPos(x, y);
    const Rect wr = GetWindowRect(main);
    HWND target = wr.contains(x, y) ? ChildWindowFromPoint(main, x - wr.left, y - wr.top) : nullptr;
    if (!IsViewWindow(target)) target = g_ui.current ? static_cast<HWND>(g_ui.current->ui.window) : nullptr;
    if (!IsViewWindow(target)) target = FirstView();
    PanoView* view = ViewOf(target);
    if (!view) return;
    if (cmd == kCmdPause && view->ui.paused) cmd = kCmdResume;
    if (cmd == kCmdFullScreenOn) {
        if (ViewCount() <= 2 || g_lib.callerId == 4) return;
        if (g_lib.fullScreen) cmd = kCmdFullScreenOff;
    }
    SendMessage(target, WM_COMMAND, static_cast<WPARAM>(cmd), 0);
}

// Steering goes to the current view; every other command to the first view.
LRESULT MainCommand(WPARAM w, LPARAM l) {
    const int cmd = static_cast<int>(LoWord(w));
    if (HiWord(w) == 1) return RunViewKey(g_ui.main, cmd), 0;  // from a key of the accelerators
    if (cmd == kCmdZoomIn || cmd == kCmdZoomOut || (cmd >= kCmdPanLeft && cmd <= kCmdTiltUp)) {
        PanoView* view = g_ui.current;
        if (view && view->ui.hasPicture) {
            if (cmd == kCmdZoomIn || cmd == kCmdZoomOut) Zoom(view, cmd == kCmdZoomIn);
            else PtzOrNavigate(view, cmd);
        }
        return 0;
    }
    if (FirstView()) return SendMessage(FirstView(), WM_COMMAND, w, l);
    return 0;
}

void MainDestroyed() {
    if (IsWindow(g_toolBar.window)) DestroyWindow(g_toolBar.window);
    // The views go first, and every thread they started is joined before the main window
    // is gone.
    for (HWND v : g_ui.views)
        if (v) DestroyWindow(v);
    DrainRetiredViews();
    JoinResolverHelpers();
    g_ui.current = nullptr;
    if (IsWindow(g_ui.recordingWindow)) DestroyWindow(g_ui.recordingWindow);
    g_ui.recordingWindow = nullptr;
    g_ui.main = nullptr;
    if (g_ui.host) {
        EnableWindow(g_ui.host, true);
        ShowWindow(g_ui.host, SW_SHOW);
    }
}

}  // namespace

LRESULT MainWndProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
    const int n = ViewCount();
    switch (msg) {
    case WM_CREATE: MainCreated(hwnd, reinterpret_cast<const CreateStruct*>(l), n); return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MinMaxInfo*>(l);
        info->minTrackWidth = 400;
        info->minTrackHeight = 300;
        return 0;
    }
    case WM_MOVE:
    case WM_SIZE:
        MainMovedOrSized(hwnd, msg, w, n);
        return 0;
    case WM_NCHITTEST:
        return n > 1 ? HTTRANSPARENT : HTCLIENT;
    case WM_MOUSEWHEEL: MainWheel(hwnd, w, l, n); return 0;
    case WM_COMMAND: return MainCommand(w, l);
    case kMsgViewsRetired: FinishRetiredViews(); return 0;
    case WM_INITMENUPOPUP:
        if (n == 1) ApplyMenuState(reinterpret_cast<HMENU>(w));
        return 0;
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_CLOSE) {
            if (!PasswordGiven(hwnd)) return 0;
            if (n == 1 && !g_lib.fullScreen) SaveWindowPosition();
            if (FirstView()) SendMessage(FirstView(), WM_COMMAND, kCmdClose, 0);
            DestroyWindow(hwnd);
            return 0;
        }
        return DefWindowProc(hwnd, msg, w, l);
    case WM_DESTROY: MainDestroyed(); return 0;
    default:
        return DefWindowProc(hwnd, msg, w, l);
    }
}

// ---- The packaged single viewer: the host window, subclassed ----

LRESULT PackagedHostProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
    HWND view = g_ui.views[0];
    switch (msg) {
    case kMsgCreateView: {
        const Rect c = GetClientRect(hwnd);
        g_ui.views[0] = CreateWindow(kViewClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, c.width(), c.height(),
                                     hwnd, 0, nullptr);
        return 1;
    }
    case WM_COMMAND: {
        const int cmd = static_cast<int>(LoWord(w));
        if (cmd == kCmdChooseCamera) return SendMessage(view, WM_COMMAND, w, l), 1;
        if (cmd == 1000) {
            if (view) DestroyWindow(view);
            g_ui.views[0] = nullptr;
            return PackagedHostProc(hwnd, kMsgCreateView, 0, 0);
        }
        if (cmd == kCmdZoomIn || cmd == kCmdZoomOut || (cmd >= kCmdPanLeft && cmd <= kCmdTiltUp)) {
            return MainWndProc(hwnd, WM_COMMAND, w, l), 1;
        }
        break;
    }
    case WM_MOUSEWHEEL:
        return view ? ViewWndProc(view, msg, w, l) : 0;
    case kMsgViewsRetired:
        FinishRetiredViews();
        return 0;
    case WM_SIZE:
        if (view) MoveWindow(view, 0, 0, static_cast<int>(LoWord(l)), static_cast<int>(HiWord(l)), true);
        break;
    case WM_DESTROY:
        g_ui.views[0] = nullptr;
        break;
    default:
        break;
    }
    return CallWindowProc(g_ui.hostProc, hwnd, msg, w, l);
}

}  // namespace orb
