// The hooks through which the other subsystems serve the view window.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/view_window.h"
#include "platform/window.h"

struct PanoView;
struct CameraRecord;

namespace orb {

// What the other subsystems plug into the view window. Every hook may be null.
struct ViewHooks {
    // Starts the capture thread for view->ui.routine; true when it runs.
    bool (*startCapture)(PanoView*) = nullptr;
    // Stops it (bounded) and releases its stream objects. At close it runs on the window
    // thread; a view that restarts or closes alone has it run on a thread of its own.
    void (*stopCapture)(PanoView*) = nullptr;
    // Asks the capture to stop and returns at once (`closing`: the program ends, queued
    // camera commands are dropped). With it a stopping view leaves its window at once and
    // its thread is joined off the window thread; without it stopCapture runs in place.
    void (*requestStop)(PanoView*, bool closing) = nullptr;
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
