// Decoding through the codec layer against libjpeg-turbo called directly on the same bytes.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "platform/dib.h"
#include "platform/jpeg_codec.h"

namespace {

// A camera-like picture: gradients, edges and noise, encoded at quality 75.
std::vector<uint8_t> MakeJpeg(int w, int h) {
    HDIB pic = orb::CreateDIB(w, h, 24);
    {
        orb::DibLock lock(pic);
        uint32_t seed = 12345;
        for (int y = 0; y < h; ++y) {
            uint8_t* row = lock.rowFromTop(y);
            for (int x = 0; x < w; ++x) {
                seed = seed * 1103515245 + 12345;
                const int noise = static_cast<int>((seed >> 16) & 15);
                row[x * 3 + 0] = static_cast<uint8_t>((x * 255 / w + noise) & 255);
                row[x * 3 + 1] = static_cast<uint8_t>(((y / 16 + x / 16) % 2 ? 200 : 40) + noise);
                row[x * 3 + 2] = static_cast<uint8_t>((y * 255 / h) ^ noise);
            }
        }
    }
    std::vector<uint8_t> out;
    orb::JpegEncodeMemory(pic, 75, out);
    orb::DestroyDIB(pic);
    return out;
}

const std::vector<uint8_t>& Picture(int w) {
    static const std::vector<uint8_t> vga = MakeJpeg(640, 480);
    static const std::vector<uint8_t> small = MakeJpeg(1280, 960);
    static const std::vector<uint8_t> large = MakeJpeg(2592, 1944);
    return w == 640 ? vga : w == 1280 ? small : large;
}

void BM_DecodeThroughLayer(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = Picture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        HDIB pic = DecodeFromJPEGBuffer(jpeg.data(), static_cast<int32_t>(jpeg.size()));
        if (!pic) state.SkipWithError("decode failed");
        orb::DestroyDIB(pic);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * jpeg.size()));
}

struct Jump {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// The plain library call: same colour order, same DCT, into one bottom-up buffer.
void BM_DecodeDirect(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = Picture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        Jump err;
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<Jump*>(c->err)->jump, 1); };
        if (setjmp(err.jump)) {
            jpeg_destroy_decompress(&cinfo);
            state.SkipWithError("decode failed");
            break;
        }
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGR;
        cinfo.dct_method = JDCT_ISLOW;
        jpeg_start_decompress(&cinfo);
        const size_t row = (cinfo.output_width * 3 + 3) & ~size_t{3};
        std::vector<uint8_t> bits(row * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW r = bits.data() + (cinfo.output_height - 1 - cinfo.output_scanline) * row;
            jpeg_read_scanlines(&cinfo, &r, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(bits.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * jpeg.size()));
}

}  // namespace

BENCHMARK(BM_DecodeDirect)->Arg(640)->Arg(1280)->Arg(2592)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeThroughLayer)->Arg(640)->Arg(1280)->Arg(2592)->Unit(benchmark::kMillisecond);
