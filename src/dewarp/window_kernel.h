// The per-pixel kernel of a virtual window map: from the fixed-point rotation of the window
// to map entries, row by row.
#pragma once
#include <cstdint>

#include "dewarp/dewarp.h"

namespace orb {

struct WindowKernel {
    int64_t m00 = 0, m02 = 0, m10 = 0, m11 = 0, m12 = 0, m20 = 0, m21 = 0, m22 = 0;  // rotation, fixed point
    int64_t r0 = 0, cx = 0, cy = 0;  // radius of the horizon (1/64 pixel), lens centre in the picture
    bool curve = false;              // the ray curve of the engine in force
    int32_t effH = 0, effV = 0;
    Cell cell;
};

// Builds the map rows jBegin..jEnd (from the top of the cell) of a window. Safe to run on
// two threads over different rows.
void BuildWindowRows(const WindowKernel& k, const DewarpEngine& e, DewarpState& d, int32_t jBegin, int32_t jEnd);

// Switches the vector path of the kernel off (or back on) for every later build, so that
// tests and benchmarks can set it against the integer reference; on where the processor has it.
void UseVectorWindowKernel(bool on);

}  // namespace orb
