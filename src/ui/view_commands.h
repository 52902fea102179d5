// The live view's commands served beside the main window: snapshot (920), player (910),
// showing modes (931, 2655-2673), window reset (2663), 180/90 panorama style (2680, 2681)
// and the pan/tilt/zoom menu of a mechanical camera (3200-3280).
#pragma once
#include "platform/window.h"

struct PanoView;

namespace orb {

// True when the command was one of these (handled, or ignored for this view).
bool LiveViewCommand(PanoView* view, HWND window, int command);
bool IsPtzMenuCommand(int command);
// The camera-control submenu of a mechanical camera's context menu.
void AppendPtzMenu(HMENU menu);

}  // namespace orb
