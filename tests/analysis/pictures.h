// Synthetic 24-bit pictures for the analysis tests, addressed by memory row (y = 0 is the
// first row in memory, the bottom of the picture as displayed).
#pragma once
#include <cstdint>

#include "platform/dib.h"

namespace analysistest {

// Owns a picture for the length of a test.
struct Picture {
    HDIB h = nullptr;
    Picture(int width, int height, uint8_t grey) : h(orb::CreateDIB(width, height, 24)) { Fill(0, 0, width, height, grey); }
    ~Picture() { orb::DestroyDIB(h); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    uint8_t* At(int x, int y) const {
        orb::DibLock lock(h);
        return lock.bits() + static_cast<size_t>(y) * lock.rowBytes() + static_cast<size_t>(x) * 3;
    }
    void Set(int x, int y, uint8_t b, uint8_t g, uint8_t r) const {
        uint8_t* p = At(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    // Grey pixels have brightness Y equal to their value.
    void Fill(int x0, int y0, int x1, int y1, uint8_t grey) const {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) Set(x, y, grey, grey, grey);
    }
};

}  // namespace analysistest
