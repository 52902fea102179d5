// Joins the subsystems: the view window's hooks and the status-line sinks of the recorder
// and the motion detector. Run once at start-up.
#pragma once

#include "config/view_core.h"
#include "platform/window.h"

struct PanoView;

namespace orb {

// View commands that other subsystems serve (snapshot, player, editors...). Handlers are
// asked in the order they were added until one returns true.
using ViewCommandHandler = bool (*)(PanoView* view, HWND window, int command);
void AddViewCommandHandler(ViewCommandHandler handler);

void InstallSubsystemHooks();
// The view window's capture and pan/tilt/zoom hooks (camera), and its navigation (dewarp).
void InstallCaptureHooks();
void InstallNavigationHooks();

}  // namespace orb
