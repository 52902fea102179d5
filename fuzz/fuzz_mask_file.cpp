// Mask files as read by the motion detector: any bytes are rejected or accepted cleanly,
// and an accepted file writes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "analysis/motion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    orb::MotionMask mask;
    if (!orb::ParseMaskFile(file, 42, mask)) return 0;
    const size_t count = static_cast<size_t>(mask.header.bw) * mask.header.bh;
    if (mask.bytes.size() < count) std::abort();
    const auto again = orb::EncodeMaskFile(mask.header, std::span<const uint8_t>(mask.bytes.data(), count));
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    return 0;
}
