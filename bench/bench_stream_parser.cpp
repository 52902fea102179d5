// Push-stream cutting of 100 KB and ~1 MB pictures from a long in-memory stream, the way the
// capture loop does it (reads of one receive chunk into the receive buffer, a search over
// each pass, the picture cut in place, the buffer compacted), against memchr scanning the
// same bytes for the delimiter's first byte, in the same run. The read into the receive
// buffer is the only copy of a picture's bytes: the decoder is handed the buffer itself.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "camera/http.h"
#include "camera/stream_parser.h"

namespace {

// Pictures of high-entropy bytes behind a JPEG start, in multipart parts.
std::vector<uint8_t> Stream(size_t pictureBytes, int pictures) {
    std::vector<uint8_t> out;
    uint32_t noise = 2463534242u;
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=myboundary\r\n\r\n";
    out.insert(out.end(), head.begin(), head.end());
    for (int i = 0; i <= pictures; ++i) {
        const std::string part = "--myboundary\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                                 std::to_string(pictureBytes) + "\r\n\r\n";
        out.insert(out.end(), part.begin(), part.end());
        const size_t at = out.size();
        out.resize(at + pictureBytes);
        for (size_t k = 0; k < pictureBytes; ++k) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            out[at + k] = static_cast<uint8_t>(noise);
        }
        const uint8_t soi[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
        std::memcpy(&out[at], soi, sizeof soi);
        out.push_back('\r');
        out.push_back('\n');
    }
    return out;
}

constexpr int kPictures = 40;

void BM_StreamParser(benchmark::State& state) {
    const auto stream = Stream(static_cast<size_t>(state.range(0)), kPictures);
    std::vector<uint8_t> buffer(orb::kReceiveBufferSize + 1);
    const orb::Delimiter delimiter = orb::DelimiterFor(2);
    int64_t cut = 0;
    for (auto _ : state) {
        size_t at = 0;
        auto read = [&](uint8_t* into) {
            const size_t n = std::min<size_t>(orb::kReceiveChunk, stream.size() - at);
            std::memcpy(into, stream.data() + at, n);  // the socket's copy into the buffer
            at += n;
            return static_cast<int32_t>(n);
        };
        int32_t fill = read(buffer.data());
        while (at < stream.size()) {
            const int32_t before = fill;
            for (int32_t got = 0; got < 4096 && at < stream.size();) {
                const int32_t n = read(buffer.data() + fill);
                fill += n;
                got += n;
            }
            const long d = orb::SearchPass(buffer.data(), before, fill, delimiter);
            if (d < 0) continue;
            const long start = orb::PictureStart(buffer.data(), d);
            if (start >= 0) {
                benchmark::DoNotOptimize(buffer.data() + start);  // handed to the decoder in place
                ++cut;
            }
            orb::CompactBuffer(buffer.data(), fill, d);
        }
    }
    state.counters["pictures"] = benchmark::Counter(static_cast<double>(cut), benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_StreamParser)->Arg(100 * 1024)->Arg(990 * 1000);

void BM_MemchrScan(benchmark::State& state) {
    const auto stream = Stream(static_cast<size_t>(state.range(0)), kPictures);
    for (auto _ : state) {
        int64_t hits = 0;
        const uint8_t* p = stream.data();
        const uint8_t* end = p + stream.size();
        while (p < end) {
            const void* hit = std::memchr(p, '-', static_cast<size_t>(end - p));
            if (!hit) break;
            ++hits;
            p = static_cast<const uint8_t*>(hit) + 1;
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_MemchrScan)->Arg(100 * 1024)->Arg(990 * 1000);

}  // namespace
