// Pictures of the kinds cameras send, for the fake camera and the tests: numbered scene
// frames, frames with an EXIF thumbnail, tiny and huge ones. Encoded with libjpeg.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "common/fake_camera.h"
#include "common/scene_renderer.h"
#include "common/simulated_cameras.h"
#include "platform/dib.h"

namespace orbtools {

namespace {

struct Settings {
    int quality = 80;
    bool optimize = false;
    bool jfif = true;
};

// Top-down rows of `components` bytes a pixel.
std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, int w, int h, int components, const Settings& s) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, s.quality, TRUE);
    c.optimize_coding = s.optimize ? TRUE : FALSE;
    c.write_JFIF_header = s.jfif ? TRUE : FALSE;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&pixels[static_cast<size_t>(c.next_scanline) * w * components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

// The scene as top-down RGB rows, rendered once per size.
std::vector<uint8_t> SceneRgb(int w, int h) {
    static std::mutex lock;
    static std::map<std::pair<int, int>, std::vector<uint8_t>> cache;
    std::lock_guard l(lock);
    auto& rgb = cache[{w, h}];
    if (rgb.empty()) {
        HDIB pic = RenderScene(SimulatedLensOf(SimulatedLens::Fisheye, w, h));
        {
            orb::DibLock d(pic);
            rgb.resize(static_cast<size_t>(w) * h * 3);
            for (int y = 0; y < h; ++y) {
                const uint8_t* src = d.rowFromTop(y);
                for (int x = 0; x < w; ++x) {
                    uint8_t* px = &rgb[(static_cast<size_t>(y) * w + x) * 3];
                    px[0] = src[x * 3 + 2], px[1] = src[x * 3 + 1], px[2] = src[x * 3];
                }
            }
        }
        orb::DestroyDIB(pic);
    }
    return rgb;
}

// Sixteen bars at the top, black or white by the bits of the frame number, and the same bars
// across the middle, the lowest bit a quarter of the way in: the top lies outside a fisheye's
// circle, the middle crosses it, so a dewarped view shows every step of the number too.
void DrawNumber(std::vector<uint8_t>& rgb, int w, int h, int frame) {
    const int bar = std::max(1, w / 16), tall = std::min(h, 16);
    const int middle = std::max(tall, (h - tall) / 2);
    for (int y = 0; y < h; ++y) {
        const bool top = y < tall;
        if (!top && (y < middle || y >= middle + tall)) continue;
        for (int x = 0; x < bar * 16 && x < w; ++x) {
            const int bit = top ? x / bar : (x / bar + 12) % 16;
            const uint8_t v = (frame >> bit) & 1 ? 255 : 0;
            uint8_t* px = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            px[0] = px[1] = px[2] = v;
        }
    }
}

void Put16(std::vector<uint8_t>& o, uint16_t v) { o.push_back(v & 0xFF), o.push_back(v >> 8); }
void Put32(std::vector<uint8_t>& o, uint32_t v) { Put16(o, v & 0xFFFF), Put16(o, v >> 16); }

}  // namespace

std::vector<uint8_t> NumberedJpeg(int width, int height, int frame) {
    std::vector<uint8_t> rgb = SceneRgb(width, height);
    DrawNumber(rgb, width, height, frame);
    return Encode(rgb, width, height, 3, Settings{});
}

std::vector<uint8_t> ExifJpeg(int width, int height, int frame) {
    const std::vector<uint8_t> main = NumberedJpeg(width, height, frame);
    std::vector<uint8_t> small(128 * 104 * 3, static_cast<uint8_t>(40 + frame % 200));
    DrawNumber(small, 128, 104, frame);
    const std::vector<uint8_t> thumb = Encode(small, 128, 104, 3, Settings{90, false, true});
    // TIFF header, IFD0 without entries, IFD1 pointing at the thumbnail.
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0};
    Put32(tiff, 8);
    Put16(tiff, 0);
    Put32(tiff, 14);
    Put16(tiff, 2);
    const uint32_t thumbAt = 14 + 2 + 2 * 12 + 4;
    Put16(tiff, 0x0201), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, thumbAt);
    Put16(tiff, 0x0202), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, static_cast<uint32_t>(thumb.size()));
    Put32(tiff, 0);
    tiff.insert(tiff.end(), thumb.begin(), thumb.end());
    const size_t segment = 2 + 6 + tiff.size();
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE1, static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)};
    const char exif[6] = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), exif, exif + 6);
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), main.begin() + 2, main.end());
    return out;
}

std::vector<uint8_t> TinyJpeg(int frame) {
    std::vector<uint8_t> grey(100 * 100, static_cast<uint8_t>(frame * 37 % 256));
    return Encode(grey, 100, 100, 1, Settings{5, true, false});
}

namespace {
std::vector<uint8_t> NoiseJpeg(int frame, int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    uint32_t noise = 2463534242u + static_cast<uint32_t>(frame);
    for (uint8_t& b : rgb) {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        b = static_cast<uint8_t>(noise);
    }
    DrawNumber(rgb, w, h, frame);
    return Encode(rgb, w, h, 3, Settings{92, false, true});
}
}  // namespace

std::vector<uint8_t> HugeJpeg(int frame) { return NoiseJpeg(frame, 1040, 820); }
std::vector<uint8_t> OversizedJpeg(int frame) { return NoiseJpeg(frame, 1200, 900); }

}  // namespace orbtools
