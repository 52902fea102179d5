// Loading still pictures and the panoramic photo viewer.
#include "record/still_picture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#if __has_include(<png.h>)
#include <png.h>
#define ORB_HAVE_PNG 1
#endif

#include "config/camera_record.h"
#include "dewarp/dewarp.h"
#include "platform/choosers.h"
#include "config/library_state.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/picture_loader.h"
#include "platform/byte_order.h"
#include "record/snapshot.h"

namespace orb {


namespace {


bool ReadWhole(const std::string& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // Stills are pictures of at most 32000 x 32000 pixels; anything far larger is not one.
    if (size <= 0 || size > (int64_t{4} << 30)) return false;
    in.seekg(0);
    out.resize(static_cast<size_t>(size));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(out.data()), size));
}

#ifdef ORB_HAVE_PNG
HDIB DecodePngFile(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return nullptr;
    image.format = PNG_FORMAT_BGR;
    const int w = static_cast<int>(image.width), h = static_cast<int>(image.height);
    if (w < 1 || h < 1 || w > kStillMaxSide || h > kStillMaxSide) {
        png_image_free(&image);
        return nullptr;
    }
    HDIB dib = CreateDIB(w, h, 24);
    if (!dib) {
        png_image_free(&image);
        return nullptr;
    }
    bool ok;
    {
        DibLock l(dib);
        // A negative stride (in components: one byte each here) makes the library write
        // the rows bottom-up, straight into the bitmap from its first byte.
        ok = png_image_finish_read(&image, nullptr, l.bits(), -l.rowBytes(), nullptr) != 0;
    }
    png_image_free(&image);
    if (!ok) {
        DestroyDIB(dib);
        return nullptr;
    }
    return dib;
}
#endif

}  // namespace

HDIB DecodeBmp(std::span<const uint8_t> file) {
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return nullptr;
    const uint32_t bitsOffset = ReadLe32(&file[10]);
    const uint32_t headerSize = ReadLe32(&file[14]);
    if (headerSize < 40 || 14 + static_cast<size_t>(headerSize) > file.size()) return nullptr;
    const int32_t w = static_cast<int32_t>(ReadLe32(&file[18]));
    const int32_t rawH = static_cast<int32_t>(ReadLe32(&file[22]));
    const int bpp = ReadLe16(&file[28]);
    const uint32_t compression = ReadLe32(&file[30]);
    uint32_t colours = ReadLe32(&file[46]);
    if (rawH == INT32_MIN) return nullptr;
    const bool topDown = rawH < 0;
    const int32_t h = topDown ? -rawH : rawH;
    if (w < 1 || h < 1 || w > kStillMaxSide || h > kStillMaxSide) return nullptr;
    // Uncompressed only (bit fields of 32-bit pictures are taken as plain B,G,R,x).
    if (!(compression == 0 || (compression == 3 && bpp == 32))) return nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
    std::array<uint8_t, 256 * 3> palette{};
    if (bpp <= 8) {
        const uint32_t maxColours = 1u << bpp;
        if (colours == 0 || colours > maxColours) colours = maxColours;
        const size_t at = 14 + headerSize;
        for (uint32_t i = 0; i < colours && at + i * 4 + 3 <= file.size(); ++i)
            std::memcpy(&palette[i * 3], &file[at + i * 4], 3);
    }
    const size_t srcRow = static_cast<size_t>(DibRowBytes(w, bpp));
    if (bitsOffset > file.size() || srcRow * static_cast<size_t>(h) > file.size() - bitsOffset) return nullptr;
    HDIB dib = CreateDIB(w, h, 24);
    if (!dib) return nullptr;
    DibLock l(dib);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = &file[bitsOffset + srcRow * static_cast<size_t>(topDown ? y : h - 1 - y)];
        uint8_t* dst = l.rowFromTop(y);
        for (int x = 0; x < w; ++x, dst += 3) {
            switch (bpp) {
                case 24: std::memcpy(dst, src + x * 3, 3); break;
                case 32: std::memcpy(dst, src + x * 4, 3); break;
                default: {
                    const int perByte = 8 / bpp;
                    const int index = (src[x / perByte] >> ((perByte - 1 - x % perByte) * bpp)) & ((1 << bpp) - 1);
                    std::memcpy(dst, &palette[index * 3], 3);
                }
            }
        }
    }
    return dib;
}

HDIB LoadStillPicture(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWhole(path, bytes) || bytes.size() < 8) return nullptr;
    if (bytes[0] == 0xFF && bytes[1] == 0xD8) return JpegDecodeBuffer(bytes.data(), bytes.size());
    if (bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmp(bytes);
#ifdef ORB_HAVE_PNG
    static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(bytes.data(), kPngSignature, 8) == 0) return DecodePngFile(path);
#endif
    // Every other format through the picture libraries.
    return LoadPictureFile(path, kStillMaxSide);
}

void DefaultStillRecord(CameraRecord& r, int width, int height) {
    r = g_defaultRecord;
    r.sourceWidth = width;
    r.sourceHeight = height;
    r.showMode360 = kShow360TwoWindowsStrip;
    r.lensType = g_lib.callerId == 128 ? kLens180 : kLensFisheye;
    r.firstRadius = 240;
    r.secondRadius = 60;
    r.centerY = 240;
    r.ovalH = 480 * width / height;
    r.centerX = r.ovalH / 2;
    r.ovalV = 480;
    ValidateLensFields(r);
}

}  // namespace orb
