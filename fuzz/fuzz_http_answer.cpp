// Single-picture answers on arbitrary bytes: the head read across reads, the body by its
// Content-Length, its chunks or the connection's end, read in pieces of a size picked by
// byte 0. A cut picture must lie inside what was received.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/http.h"
#include "camera/stream_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (2u << 20)) return 0;
    const size_t step = 1 + data[0] % 4096;
    const uint8_t* answer = data + 1;
    const size_t length = size - 1;
    static std::vector<uint8_t> buffer(orb::kReceiveBufferSize + 1);
    size_t at = 0, received = 0;
    auto read = [&](uint8_t* into, size_t max) -> long {
        if (into < buffer.data() || into + max > buffer.data() + buffer.size()) std::abort();
        const size_t n = std::min({step, length - at, max});
        if (n == 0) return 0;  // the camera closed
        std::memcpy(into, answer + at, n);
        at += n;
        received = std::max(received, static_cast<size_t>(into - buffer.data()) + n);
        return static_cast<long>(n);
    };
    const orb::AnswerPicture a = orb::ReadAnswerPicture(buffer.data(), buffer.size(), read, [] { return false; });
    if (a.start >= 0 && (a.length < 0 || static_cast<size_t>(a.start) + static_cast<size_t>(a.length) > received)) std::abort();
    return 0;
}
