// The answer head and chunk decoder on arbitrary bytes: the head parsed wherever its end
// is found, the rest de-chunked in place in pieces of a size picked by byte 0. The decoder
// never writes more than it read, nor past its room.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/http_answer.h"
#include "camera/jpeg_extent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const size_t step = 1 + data[0] % 512;
    std::vector<uint8_t> b(data + 1, data + size);
    const long head = orb::FindHeadEnd(b.data(), b.size());
    size_t from = 0;
    if (head > 0) {
        const orb::AnswerHead h = orb::ParseAnswerHead(b.data(), static_cast<size_t>(head));
        if (h.boundary.size() > 99 || h.contentLength < -1) std::abort();
        from = static_cast<size_t>(head);
    }
    orb::ChunkDecoder d;
    size_t out = from;
    for (size_t at = from; at < b.size() && d.state != orb::ChunkDecoder::State::Error; at += step) {
        const size_t n = std::min(step, b.size() - at);
        size_t used = 0;
        const size_t room = std::min<size_t>(b.size() - out, 300);
        const size_t wrote = orb::Dechunk(d, b.data() + at, n, b.data() + out, room, &used);
        if (used > n || wrote > room || wrote > used) std::abort();
        out += wrote;
        if (out > at + used) std::abort();
        if (used < n) break;  // no room: the caller would stop here
    }
    // The walk of whatever sits there as a picture stays inside the bytes.
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xD8) {
        orb::JpegWalk w;
        long length = 0;
        const orb::JpegEnd e = orb::WalkJpeg(w, b.data(), b.size(), &length);
        if (e != orb::JpegEnd::Incomplete && (length < 0 || static_cast<size_t>(length) > b.size())) std::abort();
    }
    return 0;
}
