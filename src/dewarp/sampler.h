// Inside the sampler: the reference arithmetic of one output pixel, shared by the scalar
// loop and by the vector kernels for the few entries they leave to it, and the kernels'
// entry points. One output pixel from a 2 x 2 block at (x, y) with fractions (fx, fy):
//   top = (255 - fx) * P(x, y) + fx * P(x + 1, y), bottom likewise on row y + 1,
//   out = ((255 - fy) * top + fy * bottom) >> 16.
#pragma once
#include <cstdint>

#include "dewarp/dewarp.h"

namespace orb::sampler {

inline const uint8_t* RowOf(const SampleTarget& t, int32_t y) {
    return t.src + static_cast<ptrdiff_t>(t.srcH - 1 - y) * t.srcStride;  // y from the top
}

inline void Blend(const uint8_t* a0, const uint8_t* a1, const uint8_t* b0, const uint8_t* b1, uint32_t fx, uint32_t fy,
                  uint8_t* out) {
    const uint32_t wx0 = 255 - fx, wy0 = 255 - fy;
    for (int c = 0; c < 3; ++c) {
        const uint32_t top = wx0 * a0[c] + fx * a1[c];
        const uint32_t bottom = wx0 * b0[c] + fx * b1[c];
        out[c] = static_cast<uint8_t>((wy0 * top + fy * bottom) >> 16);
    }
}

// One pixel without colour tables: inside, on the one-pixel border (pixels outside the
// picture count as black) or black.
template <int SrcBpp>
inline void ReferencePixel(const SampleTarget& t, int32_t x, int32_t y, uint32_t fx, uint32_t fy, uint8_t* out) {
    static const uint8_t kBlack[4] = {0, 0, 0, 0};
    if (static_cast<uint32_t>(x) < static_cast<uint32_t>(t.srcW - 1) && static_cast<uint32_t>(y) < static_cast<uint32_t>(t.srcH - 1)) {
        const uint8_t* a0 = RowOf(t, y) + x * SrcBpp;
        const uint8_t* b0 = a0 - t.srcStride;
        Blend(a0, a0 + SrcBpp, b0, b0 + SrcBpp, fx, fy, out);
    } else if (x < -1 || x > t.srcW - 1 || y < -1 || y > t.srcH - 1) {
        out[0] = out[1] = out[2] = 0;
    } else {
        auto at = [&](int32_t px, int32_t py) -> const uint8_t* {
            if (px < 0 || py < 0 || px >= t.srcW || py >= t.srcH) return kBlack;
            return RowOf(t, py) + px * SrcBpp;
        };
        Blend(at(x, y), at(x + 1, y), at(x, y + 1), at(x + 1, y + 1), fx, fy, out);
    }
}

// A run of n output pixels of one map row, without colour tables, written to out (3 or 4
// bytes a pixel; a fourth byte is left as it is). ahead, when not null, holds the n entries
// of a row sampled soon after this one: the kernel asks for their source blocks early.
using SpanKernel = void (*)(const SampleTarget& t, const MapCoord* mc, const MapFrac* mf, uint8_t* out, int32_t n,
                            const MapCoord* ahead);

// The vector kernels for a source and destination depth; null where this build has none.
SpanKernel Sse41Kernel(int srcBpp, int dstBpp);
SpanKernel Avx2Kernel(int srcBpp, int dstBpp);

// True when the vector kernels can address the picture (two rows and two columns at least,
// rows short enough for 16-bit arithmetic on positions).
inline bool VectorFits(const SampleTarget& t) {
    return t.srcW >= 2 && t.srcH >= 2 && t.srcStride >= 8 && t.srcStride <= 32767;
}

}  // namespace orb::sampler
