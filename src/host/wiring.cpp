#include "host/wiring.h"

#include <mutex>
#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/motion_view.h"
#include "camera/capture_thread.h"
#include "camera/frame_pipeline.h"
#include "config/nas_settings.h"
#include "config/root_password.h"
#include "host/library_state.h"
#include "host/panoview.h"
#include "platform/debug_log.h"
#include "platform/window.h"
#include "record/recorder.h"
#include "ui/accessories.h"
#include "ui/editor_windows.h"
#include "ui/ui_state.h"
#include "ui/view_commands.h"
#include "ui/view_overlay.h"

namespace orb {

void SetViewStatus(PanoView* view, int line, const char* text) {
    if (!view) return;
    StoreStatusLine(*view, line, text ? text : "");
    bool changed;
    {
        std::lock_guard lock(view->ui.statusMutex);
        changed = view->ui.status != (text ? text : "");
        view->ui.status = text ? text : "";
    }
    if (changed && text && *text) DebugLog("view %d: %s", view->viewIndex, text);
    if (view->ui.window) InvalidateRect(view->ui.window);
}

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
    AssignRecordingSlot(view, view->viewIndex, g_lib.numViews);
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

void InstallSubsystemHooks() {
    // A host (or a test) that put its own hooks in keeps them.
    ViewHooks& h = Hooks();
    if (!h.command) h.command = DispatchCommand;
    InstallEditorWindows();
    InstallBalanceDialog();
    InstallEventDialog();
    InstallCaptureHooks();
    AddViewCommandHandler(AccessoryCommand);
    AddViewCommandHandler(LiveViewCommand);
    if (!h.paint) h.paint = PaintView;
    if (!h.recordTaken) h.recordTaken = RecordTaken;
    if (!h.releaseView) h.releaseView = ReleaseView;
    if (!h.checkPassword) h.checkPassword = CheckPassword;
    SetStatusSink([](PanoView* view, int line, const std::string& text) { SetViewStatus(view, line, text.c_str()); });
    // Changed network storage settings take effect at once: a new drive table and catalogue.
    g_rebuildRecordingDrives = [] {
        BuildDriveTable();
        return static_cast<int>(g_drives.count);
    };
    g_reloadRecordingList = [] { BuildCatalogue(); };
    SetMotionStatusSink([](PanoView* view, int line, const char* text) { SetViewStatus(view, line, text); });
}

}  // namespace orb
