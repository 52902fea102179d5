// What is drawn over a view's picture: the status lines of its camera, its location text and
// the time.
#pragma once
#include <string>

#include "config/view_core.h"
#include "platform/window.h"

struct PanoView;

namespace orb {

// Line n of the status lines (config/view_core.h) is drawn at x = 10, y = (n + 2) x 16.
constexpr int kStatusX = 10, kStatusLineHeight = 16;
// Lines above line 0 carry warnings (red on the picture); the others carry the camera's
// state (yellow on an opaque red band).
constexpr uint32_t kStatusColour = Rgb(255, 255, 0), kStatusBackground = Rgb(255, 0, 0);
constexpr uint32_t kWarningColour = Rgb(255, 0, 0);
bool IsWarningLine(int line);

// Draws the status lines, and the location and time texts when they are switched on.
void PaintViewOverlay(PanoView& view, const Canvas& canvas);

}  // namespace orb
