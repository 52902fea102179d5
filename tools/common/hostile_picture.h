// Pictures an attacker's camera sends, for the tests, the fake camera and the demo.
#pragma once
#include <cstdint>
#include <vector>

namespace orbtools {

// A few hundred bytes of JPEG that declare 16384 x 16384: progressive and arithmetic-coded,
// so that a decoder without a budget would set up whole-picture buffers of gigabytes before
// reading a single pixel.
std::vector<uint8_t> HostileJpeg();

}  // namespace orbtools
