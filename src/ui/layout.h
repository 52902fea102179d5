// Tiling of the view windows inside the main window, and the view-count rules.
#pragma once
#include <vector>

#include "platform/window.h"
#include "ui/ui_state.h"

namespace orb {

// Columns and rows of one area for n views (n of 1, 2, 4, 6, 9, 12, 15, 16, 20, 24); false
// for other counts.
bool SingleAreaGrid(int n, int& columns, int& rows);
// Columns and rows of each of the two screens (n of 2, 8, 12, 18, 24, 32).
bool TwoScreenGrid(int n, int& columns, int& rows);

// The views' rectangles in the main window's client coordinates, in view order.
// hostRects holds two rectangles or is null; client is the main window's client area; screen
// the primary screen.
std::vector<ViewPlacement> TileViews(int n, int multiScreen, const Rect* hostRects, const Rect& client,
                                     const Rect& screen);

// The number of views RunOrbiscope opens for a requested count.
int NormaliseViewCount(int n, bool haveRects, int multiScreen);

}  // namespace orb
