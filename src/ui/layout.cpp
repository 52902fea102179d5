#include "ui/layout.h"

#include <algorithm>

namespace orb {

bool SingleAreaGrid(int n, int& columns, int& rows) {
    static constexpr int kGrid[][3] = {{1, 1, 1},  {2, 2, 1},  {4, 2, 2},  {6, 3, 2},  {9, 3, 3},
                                       {12, 4, 3}, {15, 5, 3}, {16, 4, 4}, {20, 5, 4}, {24, 6, 4}};
    for (const auto& g : kGrid)
        if (g[0] == n) {
            columns = g[1];
            rows = g[2];
            return true;
        }
    return false;
}

bool TwoScreenGrid(int n, int& columns, int& rows) {
    static constexpr int kGrid[][3] = {{2, 1, 1}, {8, 2, 2}, {12, 3, 2}, {18, 3, 3}, {24, 4, 3}, {32, 4, 4}};
    for (const auto& g : kGrid)
        if (g[0] == n) {
            columns = g[1];
            rows = g[2];
            return true;
        }
    return false;
}

namespace {

// Column widths are cut to a multiple of 4 so that picture rows need no padding.
void TileArea(std::vector<ViewPlacement>& out, int screen, int left, int top, int w, int h, int columns, int rows) {
    const int cw = (w / columns) & ~3;
    const int rh = h / rows;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) out.push_back({screen, left + c * cw, top + r * rh, cw, rh});
}

}  // namespace

std::vector<ViewPlacement> TileViews(int n, int multiScreen, const Rect* hostRects, const Rect& client,
                                     const Rect& screen) {
    std::vector<ViewPlacement> out;
    int columns = 0, rows = 0;
    if (multiScreen == 1 && hostRects) {
        if (!TwoScreenGrid(n, columns, rows)) return out;
        const Rect& a = hostRects[0];
        const Rect& b = hostRects[1];
        TileArea(out, 0, 0, 0, a.width(), a.height(), columns, rows);
        TileArea(out, 1, b.left - a.left, b.top - a.top, b.width(), b.height(), columns, rows);
        return out;
    }
    if (n == 1) {
        // A single view fills the client area, its size rounded up to even numbers.
        out.push_back({0, 0, 0, (client.width() + 1) & ~1, (client.height() + 1) & ~1});
        return out;
    }
    if (!SingleAreaGrid(n, columns, rows)) return out;
    Rect area = screen;
    if (hostRects) area = multiScreen == 0 ? hostRects[1] : hostRects[0];
    TileArea(out, 0, 0, 0, area.width(), area.height(), columns, rows);
    return out;
}

int NormaliseViewCount(int n, bool haveRects, int multiScreen) {
    if (haveRects && multiScreen == 1) {
        switch (n) {
        case 2: case 8: case 18: case 32: return n;
        case 4: case 6: return 8;
        case 9: case 12: return 12;
        case 15: case 16: return 18;
        case 20: case 24: return 24;
        default: return 2;
        }
    }
    switch (n) {
    case 1: case 2: case 4: case 6: case 9: case 12: case 15: case 16: case 20: return n;
    case 8: return 9;
    case 18: return 12;
    case 24: case 32: return 24;
    default: return 4;
    }
}

}  // namespace orb
