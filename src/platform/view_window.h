// The window side of a view: placement, flags and counters it shares with the capture
// thread, and its status line.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/window.h"

namespace orb {

// Which capture loop serves a camera model.
enum class CaptureRoutine : int32_t { Main = 0, Second = 1, Third = 2 };

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

}  // namespace orb
