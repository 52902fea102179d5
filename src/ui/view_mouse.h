// Steering a live view with the mouse: a drag inside a virtual window pans and tilts it, a
// click on a panorama strip (or the 180/90 panorama) centres the current window there, a
// click elsewhere makes the window under it the current one.
#pragma once
#include "platform/window.h"

struct PanoView;

namespace orb {

// Client coordinates of the view window.
void ViewMouseDown(HWND window, PanoView& view, int x, int y);
void ViewMouseMove(HWND window, PanoView& view, int x, int y, WPARAM keys);
void ViewMouseUp(HWND window, PanoView& view, int x, int y);

}  // namespace orb
