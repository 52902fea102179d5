// The push-stream cutter on arbitrary bytes, fed the way the capture loop feeds it: reads
// of a size picked by byte 1, every complete picture cut after each read, the buffer
// compacted, the rest delivered when the stream ends. Byte 0 picks the model (its
// delimiter); byte 2 whether the answer declared a boundary. Cut pictures must lie inside
// the bytes present.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/http.h"
#include "camera/stream_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || size > (4u << 20)) return 0;
    static const int32_t kModels[] = {2, 22, 27, 35, 36, 62, 110, 150, 198, 220, 250, 320, 400, 401, 402};
    const int32_t model = kModels[data[0] % (sizeof kModels / sizeof kModels[0])];
    const size_t step = 1 + data[1] % orb::kReceiveChunk;
    const char* boundaries[] = {"", "--myboundary", "--ffmpeg", "--"};
    orb::PushCutter cutter = orb::MakePushCutter(model, boundaries[data[2] % 4]);
    const uint8_t* stream = data + 3;
    const size_t length = size - 3;
    static std::vector<uint8_t> buffer(orb::kReceiveBufferSize + 1);
    int32_t fill = 0;
    size_t at = 0;
    for (;;) {
        const bool closed = at >= length;
        orb::CutPicture p;
        bool any = false;
        while (orb::NextPicture(cutter, buffer.data(), fill, closed, p)) {
            if (p.start < 0 || p.length < 0 || p.start + p.length > fill) std::abort();
            any = true;
        }
        const long keep = orb::CutterKeepFrom(cutter);
        if (keep < 0 || keep > fill) std::abort();
        if (any || fill >= orb::kReceiveLimit / 2) orb::CompactStream(cutter, buffer.data(), fill, keep);
        if (closed || fill >= orb::kReceiveLimit) break;  // a full buffer ends the connection
        const size_t n = std::min({step, length - at, static_cast<size_t>(orb::kReceiveChunk)});
        std::memcpy(buffer.data() + fill, stream + at, n);
        fill += static_cast<int32_t>(n);
        at += n;
    }
    return 0;
}
