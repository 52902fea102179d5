// Painting a picture into a canvas: the row copy of a same-size picture and the column table
// of a stretched one give exactly the nearest-pixel picture, clipped to the canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "platform/dib.h"
#include "platform/window.h"

namespace {

using namespace orb;

HDIB Pattern(int w, int h, int bits) {
    HDIB p = CreateDIB(w, h, bits);
    DibLock l(p);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * bits / 8; ++x) l.rowFromTop(y)[x] = uint8_t(x * 7 + y * 31);
    return p;
}

// The picture each canvas pixel should show: source pixel (x * sw / dw, y * sh / dh).
void ExpectNearest(HDIB canvasPicture, HDIB source, const Rect& r) {
    DibLock c(canvasPicture), s(source);
    const int bpp = s.bitCount() / 8;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const uint8_t* got = c.rowFromTop(y) + x * 3;
            if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) {
                ASSERT_EQ(got[0], 0x11) << x << "," << y;  // left as it was
                continue;
            }
            const int sx = int(int64_t(x - r.left) * s.width() / r.width());
            const int sy = int(int64_t(y - r.top) * s.height() / r.height());
            const uint8_t* want = s.rowFromTop(sy) + sx * bpp;
            ASSERT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2]) << x << "," << y;
        }
}

TEST(StretchPicture, SameSizeStretchedShiftedAndClipped) {
    struct Case {
        int sw, sh, bits;
        Rect r;
    };
    const Case cases[] = {{37, 23, 24, {0, 0, 37, 23}},   {37, 23, 24, {-5, 3, 32, 26}}, {37, 23, 32, {0, 0, 37, 23}},
                          {10, 7, 24, {2, 1, 35, 20}},    {50, 30, 24, {0, 0, 37, 23}},  {37, 23, 24, {30, -4, 67, 19}},
                          {9, 9, 32, {-3, -3, 40, 26}}};
    for (const Case& k : cases) {
        HDIB canvasPicture = CreateDIB(37, 23, 24);
        {
            DibLock l(canvasPicture);
            std::fill_n(l.bits(), l.rowBytes() * 23, uint8_t(0x11));
        }
        HDIB source = Pattern(k.sw, k.sh, k.bits);
        ASSERT_TRUE(StretchPicture(Canvas{canvasPicture, 37, 23}, k.r, source));
        ExpectNearest(canvasPicture, source, k.r);
        DestroyDIB(source);
        DestroyDIB(canvasPicture);
    }
}

}  // namespace
