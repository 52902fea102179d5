// What is drawn over a view's picture: the status lines of its camera, its location text and
// the time.
#pragma once
#include <string>

#include "platform/window.h"

struct PanoView;

namespace orb {

// Status lines run from line -2 to line 5; line n is drawn at x = 10, y = (n + 2) x 16.
constexpr int kFirstStatusLine = -2, kLastStatusLine = 5;
constexpr int kStatusX = 10, kStatusLineHeight = 16;
// Lines above line 0 carry warnings (red on the picture); the others carry the camera's
// state (yellow on an opaque red band).
constexpr uint32_t kStatusColour = Rgb(255, 255, 0), kStatusBackground = Rgb(255, 0, 0);
constexpr uint32_t kWarningColour = Rgb(255, 0, 0);
bool IsWarningLine(int line);

// Stores a status line of a view (any thread); an empty text removes it. An empty line 0
// says the camera is fine again, so the connection lines 1 and 2 go with it.
void StoreStatusLine(PanoView& view, int line, const std::string& text);
// Draws the status lines, and the location and time texts when they are switched on.
void PaintViewOverlay(PanoView& view, const Canvas& canvas);

}  // namespace orb
