// Single-picture answers on arbitrary bytes: the Content-Length framing and the
// close-delimited framing, read in pieces of a size picked by byte 0, and the boundary
// taken from an answer's header. A cut picture must lie inside what was received.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/http.h"
#include "camera/stream_parser.h"

namespace {

void Check(const orb::AnswerPicture& a, size_t received) {
    if (a.start < 0) return;
    if (a.length < 0 || static_cast<size_t>(a.start) + static_cast<size_t>(a.length) > received) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (2u << 20)) return 0;
    const size_t step = 1 + data[0] % 4096;
    const uint8_t* answer = data + 1;
    const size_t length = size - 1;
    static std::vector<uint8_t> buffer(orb::kReceiveBufferSize + 1);
    size_t at = 0, received = 0;
    auto read = [&](uint8_t* into, size_t max) -> long {
        const size_t n = std::min({step, length - at, max});
        if (n == 0) return 0;  // the camera closed
        std::memcpy(into, answer + at, n);
        at += n;
        received = std::max(received, static_cast<size_t>(into - buffer.data()) + n);
        return static_cast<long>(n);
    };
    auto never = [] { return false; };
    const orb::AnswerPicture framed = orb::CutLengthFramed(buffer.data(), buffer.size(), read, never);
    Check(framed, received);
    for (int32_t model : {49, 72, 340}) {
        at = received = 0;
        const orb::AnswerPicture closed = orb::CutCloseFramed(model, buffer.data(), buffer.size(), read, never);
        Check(closed, received);
    }
    const orb::Delimiter d = orb::DelimiterFromHeader(answer, length);
    if (d.bytes.size() > 99) std::abort();
    return 0;
}
