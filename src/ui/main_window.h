// The main window, the view windows and their commands.
#pragma once
#include <array>

#include "platform/window.h"
#include "ui/ui_state.h"

struct PanoView;

namespace orb {

constexpr const char* kMainClass = "Quill Orbiscope PanoTop";
constexpr const char* kViewClass = "Quill Orbiscope Classic";
constexpr uintptr_t kWatchdogTimer = 902;
constexpr uint32_t kMsgRestart = 1125;     // second parameter: the record to rebuild from
constexpr uint32_t kMsgCreateView = 1024;  // the packaged viewer's subclass creates its view

// View window commands.
enum ViewCommand : int {
    kCmdPause = 900, kCmdPauseAll = 901, kCmdChooseCamera = 903, kCmdAssignCamera = 904, kCmdResume = 905,
    kCmdClose = 907, kCmdResumeAll = 908, kCmdPlayer = 910, kCmdMinimise = 913, kCmdToBackground = 914,
    kCmdFromBackground = 915, kCmdFullScreenOn = 916, kCmdFullScreenOff = 917, kCmdRestart = 918,
    kCmdSnapshot = 920, kCmdShowMode5 = 931, kCmdBalance = 935, kCmdAlign = 938, kCmdEmptyView = 1311,
    kCmdMotionBlocks = 1805, kCmdShowLocation = 1901, kCmdMotionMask = 2600, kCmdMotionOff = 2601,
    kCmdMotionOn = 2602, kCmdCruise = 2660, kCmdZoneEditor = 3020, kCmdLockOn = 3021, kCmdLockOff = 3022,
    kCmdZoomIn = 1100, kCmdZoomOut = 1101, kCmdPanLeft = 1110, kCmdTiltDown = 1111, kCmdPanRight = 1112,
    kCmdTiltUp = 1113,
};
// PTZ commands of a mechanical camera.
enum PtzCommand : int { kPtzZoomIn = 5, kPtzZoomOut = 6, kPtzLeft = 7, kPtzRight = 8, kPtzUp = 9, kPtzDown = 10 };
constexpr int kImageNormal = 1, kImageMechanicalPtz = 10;

// Window-side library state.
struct UiGlobals {
    HWND host = nullptr;
    HWND main = nullptr;
    std::array<HWND, 32> views{};
    PanoView* current = nullptr;
    bool haveRects = false;
    std::array<Rect, 2> hostRects{};
    HWND recordingWindow = nullptr;  // the recording window (subsystem 4), when open
    HWND snapshotWindow = nullptr;
    WndProc hostProc = nullptr;  // the packaged viewer's subclassed host procedure
    int32_t closed = 0;          // the close command ran
    Rect beforeFullScreen{};     // the main window's place before full screen
};
extern UiGlobals g_ui;

// Registers the main and view window classes (the rest of the class table is in startup).
LRESULT MainWndProc(HWND, uint32_t, WPARAM, LPARAM);
LRESULT ViewWndProc(HWND, uint32_t, WPARAM, LPARAM);
LRESULT PackagedHostProc(HWND, uint32_t, WPARAM, LPARAM);

// The view of a view window, or null once detached.
PanoView* ViewOf(HWND hwnd);
// Model index -> capture routine (three models also become mechanical PTZ cameras).
CaptureRoutine RoutineForModel(int32_t modelIndex, bool& mechanicalPtz);
// One second of the view's watchdog.
void WatchdogTick(HWND viewWindow);
// Stops a view: detaches it from its window, stops its thread, frees it.
void StopView(HWND viewWindow);
// Rebuilds a view from a record, keeping its placement.
void RestartView(HWND viewWindow);
// The context menu of a view, built afresh; the caller destroys it.
HMENU BuildContextMenu(HWND viewWindow);
// The menu state rule applied when a menu of the single view opens.
void ApplyMenuState(HMENU menu);
// A view is locked for the mouse and keys (caller ID 0, screen lock on, a tiled view).
bool ViewLocked(const PanoView* view);
int ImageTypeOf(const PanoView* view);

}  // namespace orb
