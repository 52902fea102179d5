// The window side of a view: placement, flags and counters shared with the capture thread,
// and the hooks through which the other subsystems serve the view window.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "camera/catalogue.h"
#include "platform/window.h"

struct PanoView;
struct CameraRecord;

namespace orb {

struct ViewPlacement {
    int screen = 0;
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ViewPlacement&) const = default;
};

struct ViewUiState {
    std::atomic<HWND> window{nullptr};  // cleared by the window thread while the capture thread runs
    std::atomic<int32_t> paused{0};
    std::atomic<int32_t> watchdogA{0}, watchdogB{0};  // cleared by the capture thread on progress
    std::atomic<int32_t> disabled{0};
    std::atomic<int32_t> closing{0};
    std::atomic<int32_t> hasPicture{0};  // set by the capture thread once a picture is shown
    ViewPlacement placement;
    int32_t clientWidth = 0, clientHeight = 0;
    CaptureRoutine routine = CaptureRoutine::Main;
    bool hostFed = false;  // made by the host-fed view procedure
    // 3 = live camera view, 2 = a view of recorded or stored pictures; pan/tilt/zoom
    // commands go out only for kinds 1, 3 and 5.
    int32_t kind = 0;
    int32_t currentPane = 0;
    // Serialises the picture hand-over between the capture thread and painting.
    std::mutex viewMutex;
    // The status line drawn over the view's top-left (guarded by viewMutex).
    std::string status;
};

// What the other subsystems plug into the view window. Every hook may be null.
struct ViewHooks {
    // Starts the capture thread for view->ui.routine; true when it runs.
    bool (*startCapture)(PanoView*) = nullptr;
    // Stops it (bounded) and releases its stream objects; called on the window thread.
    void (*stopCapture)(PanoView*) = nullptr;
    // Cancels a blocking socket call of the capture thread, if one is in progress.
    void (*cancelBlocking)(PanoView*) = nullptr;
    // Draws the view's picture; without it the view shows black and its status line.
    void (*paint)(PanoView*, const Canvas&) = nullptr;
    // Navigation of the current pane: zoom one step (in > 0) and the four moves (1110-1113).
    void (*zoom)(PanoView*, int pane, bool in) = nullptr;
    void (*move)(PanoView*, int pane, int command) = nullptr;
    int (*paneAt)(PanoView*, int x, int y) = nullptr;
    // A pan/tilt/zoom command of a mechanical camera.
    void (*ptz)(PanoView*, int command) = nullptr;
    // Commands served by other subsystems (player, snapshot, balance, alignment, motion,
    // zones, showing modes, PTZ ranges); true when handled.
    bool (*command)(PanoView*, HWND, int command) = nullptr;
    // Root password check for protected actions; null lets them through.
    bool (*checkPassword)(HWND owner) = nullptr;
    // The view has taken its record (recording slot and duplicate flags).
    void (*recordTaken)(PanoView*) = nullptr;
    // Releases what other subsystems hold in the view (pictures, geometry, motion state).
    void (*releaseView)(PanoView*) = nullptr;
    // Pause between attempts to load a record.
    void (*sleepMs)(int ms) = nullptr;
};
ViewHooks& Hooks();

}  // namespace orb
