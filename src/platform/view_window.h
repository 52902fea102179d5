// The window side of a view: placement, flags and counters it shares with the capture
// thread, and its status line.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/window.h"

namespace orb {

// Which capture loop serves a camera model.
enum class CaptureRoutine : int32_t { Main = 0, Second = 1, Third = 2, Video = 3 };

struct ViewPlacement {
    int screen = 0;
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ViewPlacement&) const = default;
};

constexpr int kViewStatusLines = 8;

// A left-button press in a view, until its release (client coordinates of the picture).
struct ViewPress {
    enum Kind { None, Window, Panorama };
    int32_t x = 0, y = 0;
    int32_t pane = -1;  // the window pressed, or the panorama's window (-1: the strip)
    Kind kind = None;
    bool down = false, dragged = false;
};

// What a view shows, which decides whether it may steer a camera.
constexpr int32_t kViewKindLive = 3;      // a live camera view
constexpr int32_t kViewKindPlayback = 2;  // player, snapshot viewer, still pictures: no camera
// Pan/tilt/zoom commands go out only for kinds 1, 3 and 5 (1 and 5 are steerable kinds no
// window of ours makes, kept for views made otherwise).
constexpr bool KindSteersCamera(int32_t kind) { return kind == 1 || kind == kViewKindLive || kind == 5; }

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
    int32_t kind = 0;  // kViewKind...
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
    // Paints of the view's picture since the count was last reset, and the longest time
    // between two of them (monotonic nanoseconds): what a person sees of a window thread that
    // waits. Kept by the window thread, read by anyone.
    std::atomic<int32_t> paints{0};
    std::atomic<int64_t> lastPaintNs{0}, longestPaintGapNs{0};
};

// Counts one paint of a view that shows a picture.
inline void CountPaint(ViewUiState& ui, int64_t nowNs) {
    const int64_t last = ui.lastPaintNs.exchange(nowNs);
    if (last > 0 && nowNs - last > ui.longestPaintGapNs.load()) ui.longestPaintGapNs = nowNs - last;
    ++ui.paints;
}
// Starts the count again (the gap from the next paint on).
inline void ResetPaintCount(ViewUiState& ui) {
    ui.paints = 0;
    ui.lastPaintNs = 0;
    ui.longestPaintGapNs = 0;
}

}  // namespace orb
