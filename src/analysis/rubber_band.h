// The rubber band that the mask and zone editors drag with the mouse.
#pragma once
#include <cstdint>

namespace orb {

// Colours of the band's one-pixel outline (0x00BBGGRR): blue while marking, green while
// clearing.
constexpr uint32_t kBandMarkColour = 0xFF0000;
constexpr uint32_t kBandClearColour = 0x00FF00;

struct RubberBand {
    bool active = false;
    int value = 0;  // what the band applies: 1 mark/exclude, 0 clear/include
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // screen pixels
    uint32_t colour() const { return value ? kBandMarkColour : kBandClearColour; }
};

// Left button marks, right button clears.
inline void BeginBand(RubberBand& b, int x, int y, bool mark) {
    b = RubberBand{true, mark ? 1 : 0, x, y, x, y};
}
// True when the band moved (the window repaints).
inline bool MoveBand(RubberBand& b, int x, int y) {
    if (!b.active) return false;
    b.x2 = x;
    b.y2 = y;
    return true;
}

// Multiply-divide rounded to the nearest integer (halves away from zero); 0 on a zero divisor.
inline int MulDivRound(int a, int b, int c) {
    if (c == 0) return 0;
    const int64_t p = static_cast<int64_t>(a) * b;
    const int64_t q = ((p < 0) != (c < 0)) ? (p - c / 2) / c : (p + c / 2) / c;
    return static_cast<int>(q);
}

}  // namespace orb
