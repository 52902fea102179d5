// The window side of a view: placement, flags and counters shared with the capture thread,
// and the hooks through which the other subsystems serve the view window.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window.h"

struct PanoView;
struct CameraRecord;

namespace orb {

struct ViewPlacement {
    int screen = 0;
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ViewPlacement&) const = default;
};

// Which capture loop serves a camera model.
enum class CaptureRoutine : int32_t { Main = 0, Second = 1, Third = 2 };

constexpr int kViewStatusLines = 8;

// A left-button press in a view, until its release (client coordinates of the picture).
struct ViewPress {
    enum Kind { None, Window, Panorama };
    int32_t x = 0, y = 0;
    int32_t pane = -1;  // the window pressed, or the panorama's window (-1: the strip)
    Kind kind = None;
    bool down = false, dragged = false;
};

struct ViewUiState {
    std::atomic<HWND> window{nullptr};  // cleared by the window thread while the capture thread runs
    std::atomic<int32_t> paused{0};
    std::atomic<int32_t> watchdogA{0}, watchdogB{0};  // cleared by the capture thread on progress
    std::atomic<int32_t> disabled{0};
    std::atomic<int32_t> closing{0};
    std::atomic<int32_t> hasPicture{0};  // set by the capture thread once a picture is shown
    ViewPlacement placement;
    // Set by the window thread, read by the capture thread when it sizes the view's picture.
    std::atomic<int32_t> clientWidth{0}, clientHeight{0};
    CaptureRoutine routine = CaptureRoutine::Main;
    bool hostFed = false;  // made by the host-fed view procedure
    // 3 = live camera view, 2 = a view of recorded or stored pictures; pan/tilt/zoom
    // commands go out only for kinds 1, 3 and 5.
    int32_t kind = 0;
    int32_t currentPane = 0;
    ViewPress press;
    std::atomic<int32_t> dragging{0};  // the user drags a window: no automatic panning
    // Serialises the picture hand-over between the capture thread and painting.
    std::mutex viewMutex;
    // The last status text written, and every status line by number (-2..5 at index 0..7);
    // drawn over the view's top-left. Guarded by a lock of their own: the capture thread
    // writes them also while it holds viewMutex.
    std::mutex statusMutex;
    std::string status;
    std::array<std::string, kViewStatusLines> statusLines;
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
