// The push-stream search on arbitrary bytes, fed the way the capture loop feeds it: the
// answer's first read, then reads of at most one receive chunk until 4096 bytes came in,
// a search over what each pass received, the picture cut and the buffer compacted.
// Byte 0 picks the model (its delimiter), byte 1 the read size; the rest is the stream.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/http.h"
#include "camera/stream_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (4u << 20)) return 0;
    static const int32_t kModels[] = {2, 22, 27, 35, 36, 62, 110, 150, 198, 220, 250, 320, 400, 401, 402};
    const int32_t model = kModels[data[0] % (sizeof kModels / sizeof kModels[0])];
    const size_t step = 1 + data[1] % orb::kReceiveChunk;
    const uint8_t* stream = data + 2;
    const size_t length = size - 2;
    static std::vector<uint8_t> buffer(orb::kReceiveBufferSize + 1);
    size_t at = 0;
    auto read = [&](uint8_t* into) -> long {
        const size_t n = std::min({step, length - at, static_cast<size_t>(orb::kReceiveChunk)});
        std::memcpy(into, stream + at, n);
        at += n;
        return static_cast<long>(n);
    };
    orb::Delimiter delimiter = orb::DelimiterFor(model);
    int32_t fill = static_cast<int32_t>(read(buffer.data()));
    if (orb::DelimiterFromAnswer(model)) delimiter = orb::DelimiterFromHeader(buffer.data(), static_cast<size_t>(fill));
    while (at < length) {
        const int32_t before = fill;
        long got = 0;
        while (got < 4096 && at < length) {
            if (fill >= orb::kReceiveLimit) return 0;  // a full buffer ends the connection
            const long n = read(buffer.data() + fill);
            fill += static_cast<int32_t>(n);
            got += n;
        }
        const long d = orb::SearchPass(buffer.data(), before, fill, delimiter);
        if (d < 0) continue;
        if (d > fill) std::abort();
        const long start = orb::PictureStart(buffer.data(), d);
        if (start > d || (start >= 0 && d - start < orb::kMinPicture)) std::abort();
        orb::CompactBuffer(buffer.data(), fill, d);
        if (fill < 0 || fill > orb::kReceiveLimit + orb::kReceiveChunk) std::abort();
    }
    return 0;
}
