// Push-stream cutting of 100 KB and ~1 MB pictures from a long in-memory stream, the way the
// capture loop does it: reads of one receive chunk (or of odd small sizes: "split") into
// the receive buffer, de-chunked on the way when the stream is chunked, every complete
// picture cut in place after each read, the buffer compacted. Against memchr scanning the
// same bytes for the delimiter's first byte, in the same run. The read into the receive
// buffer is the only copy of a picture's bytes (a chunked stream is de-chunked in that copy).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "camera/http.h"
#include "camera/http_answer.h"
#include "camera/stream_parser.h"

namespace {

enum Input { kClean, kChunked, kSplit, kNoLength };

// Pictures of high-entropy bytes behind a JPEG start, in multipart parts; an FF in the
// scan data is stuffed with 00 as an encoder writes it, so a walk of the segments stops at
// every FF on its way to the end marker.
std::vector<uint8_t> Stream(size_t pictureBytes, int pictures, bool lengths) {
    std::vector<uint8_t> out;
    uint32_t noise = 2463534242u;
    for (int i = 0; i <= pictures; ++i) {
        std::string part = "--myboundary\r\nContent-Type: image/jpeg\r\n";
        if (lengths) part += "Content-Length: " + std::to_string(pictureBytes) + "\r\n";
        part += "\r\n";
        out.insert(out.end(), part.begin(), part.end());
        const size_t at = out.size();
        out.resize(at + pictureBytes);
        for (size_t k = 0; k < pictureBytes; ++k) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            out[at + k] = k > 0 && out[at + k - 1] == 0xFF ? 0x00 : static_cast<uint8_t>(noise);
        }
        const uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 0x3F, 0};
        std::memcpy(&out[at], head, sizeof head);
        out[at + pictureBytes - 3] = 0x00;  // no stuffing byte is cut off
        out[at + pictureBytes - 2] = 0xFF;
        out[at + pictureBytes - 1] = 0xD9;
        out.push_back('\r');
        out.push_back('\n');
    }
    return out;
}

std::vector<uint8_t> Chunked(const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out;
    for (size_t at = 0; at < body.size(); at += 1436) {  // one TCP segment's worth a chunk
        const size_t n = std::min<size_t>(1436, body.size() - at);
        char line[16];
        const int k = std::snprintf(line, sizeof line, "%zx\r\n", n);
        out.insert(out.end(), line, line + k);
        out.insert(out.end(), body.begin() + static_cast<long>(at), body.begin() + static_cast<long>(at + n));
        out.push_back('\r');
        out.push_back('\n');
    }
    return out;
}

constexpr int kPictures = 40;

std::vector<uint8_t> Wire(Input input, size_t pictureBytes) {
    const auto body = Stream(pictureBytes, kPictures, input != kNoLength);
    return input == kChunked ? Chunked(body) : body;
}

void BM_StreamParser(benchmark::State& state) {
    const Input input = static_cast<Input>(state.range(1));
    const auto stream = Wire(input, static_cast<size_t>(state.range(0)));
    std::vector<uint8_t> buffer(orb::kReceiveBufferSize + 1);
    const size_t reads[] = {orb::kReceiveChunk, 1448, 517, 2048, 96};  // split: odd sizes
    int64_t cut = 0;
    for (auto _ : state) {
        orb::PushCutter cutter = orb::MakePushCutter(2, "--myboundary");
        orb::ChunkDecoder chunks;
        int32_t fill = 0;
        size_t at = 0, k = 0;
        while (at < stream.size()) {
            const size_t want = input == kSplit ? reads[k++ % 5] : orb::kReceiveChunk;
            const size_t n = std::min(want, stream.size() - at);
            if (input == kChunked) {
                size_t used = 0;
                fill += static_cast<int32_t>(orb::Dechunk(chunks, stream.data() + at, n, buffer.data() + fill,
                                                          buffer.size() - static_cast<size_t>(fill), &used));
            } else {
                std::memcpy(buffer.data() + fill, stream.data() + at, n);  // the socket's copy
                fill += static_cast<int32_t>(n);
            }
            at += n;
            orb::CutPicture p;
            bool any = false;
            while (orb::NextPicture(cutter, buffer.data(), fill, false, p)) {
                benchmark::DoNotOptimize(buffer.data() + p.start);  // handed to the decoder in place
                ++cut;
                any = true;
            }
            if (any) orb::CompactStream(cutter, buffer.data(), fill, orb::CutterKeepFrom(cutter));
        }
    }
    state.counters["pictures"] = benchmark::Counter(static_cast<double>(cut), benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}

void BM_MemchrScan(benchmark::State& state) {
    const auto stream = Wire(static_cast<Input>(state.range(1)), static_cast<size_t>(state.range(0)));
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

void Inputs(benchmark::internal::Benchmark* b) {
    for (int input : {kClean, kChunked, kSplit, kNoLength})
        for (int size : {100 * 1024, 990 * 1000}) b->Args({size, input});
    b->ArgNames({"bytes", "input"});
}
BENCHMARK(BM_StreamParser)->Apply(Inputs);
BENCHMARK(BM_MemchrScan)->Apply(Inputs);

}  // namespace
