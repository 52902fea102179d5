#include "ui/composition.h"

#include <mutex>
#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/motion_view.h"
#include "camera/camera_commands.h"
#include "camera/capture_thread.h"
#include "camera/command_worker.h"
#include "camera/http.h"
#include "camera/frame_pipeline.h"
#include "config/nas_settings.h"
#include "dewarp/navigation.h"
#include "export/pack_builder.h"
#include "config/root_password.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/clock.h"
#include "platform/debug_log.h"
#include "platform/window.h"
#include "record/player.h"
#include "record/recorder.h"
#include "ui/accessories.h"
#include "ui/editor_windows.h"
#include "ui/pack_progress.h"
#include "ui/player_window.h"
#include "ui/ui_state.h"
#include "ui/view_commands.h"
#include "ui/view_overlay.h"
#include "ui/view_retire.h"

namespace orb {

namespace {

std::vector<ViewCommandHandler>& CommandHandlers() {
    static std::vector<ViewCommandHandler> handlers;
    return handlers;
}

bool DispatchCommand(PanoView* view, HWND window, int command) {
    for (ViewCommandHandler h : CommandHandlers())
        if (h(view, window, command)) return true;
    return false;
}

void RecordTaken(PanoView* view) {
    StartRecordingContext(view);
    // The view this one replaces may still be finishing its last picture into the hour's
    // file: the slot, and with it the file, passes over once that view is gone.
    if (!RecordingSlotRetiring(view->viewIndex)) AssignRecordingSlot(view, view->viewIndex, g_lib.numViews);
}

void ReleaseView(PanoView* view) {
    StopMotionDetector(*view);
    StopRecordingContext(view);
    ReleaseRecordingSlot(view);
    ReleaseFrames(*view);
}

bool CheckPassword(HWND owner) { return ProtectedActionAllowed(owner); }

}  // namespace

void AddViewCommandHandler(ViewCommandHandler handler) {
    for (ViewCommandHandler h : CommandHandlers())
        if (h == handler) return;
    CommandHandlers().push_back(handler);
}

void InstallCaptureHooks() {
    ViewHooks& h = Hooks();
    if (!h.startCapture) h.startCapture = [](PanoView* v) { return StartCapture(v); };
    // The request goes with the stop it belongs to: a stop of someone else's runs in place.
    if (!h.stopCapture) {
        h.stopCapture = [](PanoView* v) { StopCapture(v); };
        if (!h.requestStop) h.requestStop = [](PanoView* v, bool closing) { RequestCaptureStop(v, closing); };
    }
    if (!h.cancelBlocking) h.cancelBlocking = [](PanoView* v) { CancelBlockingCalls(v); };
    // The camera's answer is waited for on the view's command worker.
    if (!h.ptz) h.ptz = [](PanoView* v, int code) { QueuePtzCommand(*v, code, 0); };
}

void InstallNavigationHooks() {
    // A hook the host or a test has plugged in already stays.
    ViewHooks& h = Hooks();
    if (!h.zoom)
        h.zoom = [](PanoView* v, int pane, bool in) {
            if (!v) return;
            // The capture thread renders the same windows under this lock.
            std::lock_guard lock(v->ui.viewMutex);
            ZoomView(*v, in ? 1 : 2, pane);
        };
    if (!h.move)
        h.move = [](PanoView* v, int pane, int command) {
            if (!v) return;
            std::lock_guard lock(v->ui.viewMutex);
            MoveViewPosition(*v, command, pane, 0.0);
        };
    if (!h.paneAt) h.paneAt = [](PanoView* v, int x, int y) { return v ? PaneAt(*v, x, y) : 0; };
}

void InstallSubsystemHooks() {
    // A host (or a test) that put its own hooks in keeps them.
    ViewHooks& h = Hooks();
    if (!h.command) h.command = DispatchCommand;
    InstallEditorWindows();
    InstallBalanceDialog();
    InstallEventDialog();
    InstallCaptureHooks();
    AddViewCommandHandler(AccessoryCommand);
    InstallPlayerWindow(ThePlayer());
    g_packProgress = ShowPackProgress;
    // The live view's commands, among them the player (910) and the snapshot (920).
    AddViewCommandHandler(LiveViewCommand);
    if (!h.paint)
        h.paint = [](PanoView* v, const Canvas& canvas) {
            PaintView(v, canvas);
            if (v && v->ui.hasPicture) CountPaint(v->ui, MonotonicNanoseconds());
        };
    if (!h.recordTaken) h.recordTaken = RecordTaken;
    if (!h.releaseView) h.releaseView = ReleaseView;
    if (!h.checkPassword) h.checkPassword = CheckPassword;
    SetStatusSink([](RecordView* view, int line, const std::string& text) { SetViewStatus(view, line, text.c_str()); });
    // Changed network storage settings take effect at once: a new drive table and catalogue.
    g_rebuildRecordingDrives = [] {
        BuildDriveTable();
        return static_cast<int>(g_drives.count);
    };
    g_reloadRecordingList = [] { BuildCatalogue(); };
    SetMotionStatusSink([](AnalysisView* view, int line, const char* text) { SetViewStatus(view, line, text); });
    InstallNavigationHooks();
}

}  // namespace orb
