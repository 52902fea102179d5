#include "platform/jpeg_codec.h"

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <mutex>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/dib.h"
#include "platform/private_files.h"

namespace orb {

namespace {

std::atomic<int64_t> g_pictureBudget{kDefaultPictureBudget};
std::mutex g_pathLock;
constinit std::string g_lastSnapshotPath;
std::atomic<int64_t> g_operations{0};

// The library's errors jump back here; nothing is printed. Truncation is a failure, the
// harmless warnings (extraneous bytes before a marker) are not.
struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0) {
        const int code = cinfo->err->msg_code;
        // Stop at once: decoding on would only fill the rest of a huge picture with grey.
        if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)
            longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
        cinfo->err->num_warnings++;
    }
}

void OnOutput(j_common_ptr) {}

void InstallErrors(ErrorManager& err, jpeg_common_struct* cinfo) {
    cinfo->err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.pub.output_message = OnOutput;
}

enum class Source { Memory, File };

struct DecodeRequest {
    const uint8_t* data = nullptr;
    size_t size = 0;
    FILE* file = nullptr;
    int minSide = kJpegMinSideMemory;
    bool headerOnly = false;
    int64_t maxPixels = kDefaultPictureBudget;
    DecodeStatus* status = nullptr;
    int scale = 1;  // 1, 2, 4 or 8: the reduction of the output
};

// What the library may allocate for one picture beyond the picture itself: whole-image
// coefficient buffers of multi-scan pictures, at most three full components of 16-bit
// coefficients per pixel, and some room for tables.
long MemoryFor(int64_t pixels) {
    const int64_t bytes = pixels * 6 + (16 << 20);
    return bytes > LONG_MAX ? LONG_MAX : static_cast<long>(bytes);
}

// Everything with a destructor stays outside the setjmp region: the picture is a plain
// handle freed on the failure path. The library's state lives in this call's own
// decompressor, so decodes on several threads need no lock between them.
HDIB Decode(const DecodeRequest& req, int* outW, int* outH, bool* headerOk) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    HDIB volatile picture = nullptr;
    bool volatile locked = false;
    std::memset(&cinfo, 0, sizeof cinfo);
    InstallErrors(err, reinterpret_cast<jpeg_common_struct*>(&cinfo));
    if (setjmp(err.jump)) {
        if (locked) GlobalUnlock(picture);
        GlobalFree(picture);
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    if (req.file)
        jpeg_stdio_src(&cinfo, req.file);
    else
        jpeg_mem_src(&cinfo, req.data, static_cast<unsigned long>(req.size));
    jpeg_read_header(&cinfo, TRUE);
    const int w = static_cast<int>(cinfo.image_width), h = static_cast<int>(cinfo.image_height);
    if (outW) *outW = w;
    if (outH) *outH = h;
    if (headerOk) *headerOk = true;
    if (!req.headerOnly && static_cast<int64_t>(w) * h > req.maxPixels) {
        if (req.status) *req.status = DecodeStatus::OverBudget;
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    cinfo.mem->max_memory_to_use = MemoryFor(req.maxPixels);
    if (req.headerOnly || !JpegSideAccepted(w, h, req.minSide) ||
        (cinfo.num_components != 3 && cinfo.num_components != 1) || cinfo.jpeg_color_space == JCS_CMYK ||
        cinfo.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    cinfo.out_color_space = JCS_EXT_BGR;  // grey pictures are copied into B, G and R
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(req.scale);
    jpeg_calc_output_dimensions(&cinfo);
    const int ow = static_cast<int>(cinfo.output_width), oh = static_cast<int>(cinfo.output_height);
    picture = CreateDIB(ow, oh, 24);
    if (!picture) {
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    uint8_t* packed = GlobalLock(picture);
    locked = true;
    uint8_t* bits = FindDIBBits(packed);
    const size_t row = static_cast<size_t>(DibRowBytes(ow, 24));
    jpeg_start_decompress(&cinfo);
    // Straight into the bitmap: the top picture row is the last stored row.
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[8];
        const int n = static_cast<int>(std::min<JDIMENSION>(8, cinfo.output_height - cinfo.output_scanline));
        for (int i = 0; i < n; ++i)
            rows[i] = bits + (static_cast<size_t>(oh) - 1 - (cinfo.output_scanline + i)) * row;
        jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    GlobalUnlock(picture);
    return picture;
}

bool Encode(HDIB picture, int quality, FILE* file, unsigned char** mem, unsigned long* memSize) {
    const uint8_t* packed = GlobalLock(picture);
    if (!packed) return false;
    const int w = DIBWidth(packed), h = DIBHeight(packed);
    const int bits = static_cast<const BitmapHeader*>(static_cast<const void*>(packed))->biBitCount;
    if (bits != 24 || w <= 0 || h <= 0 || w > 65500 || h > 65500) {
        GlobalUnlock(picture);
        return false;
    }
    const uint8_t* pixels = FindDIBBits(const_cast<uint8_t*>(packed));
    const size_t row = static_cast<size_t>(DibRowBytes(w, 24));
    jpeg_compress_struct cinfo;
    ErrorManager err;
    std::memset(&cinfo, 0, sizeof cinfo);
    InstallErrors(err, reinterpret_cast<jpeg_common_struct*>(&cinfo));
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        GlobalUnlock(picture);
        return false;
    }
    jpeg_create_compress(&cinfo);
    if (file)
        jpeg_stdio_dest(&cinfo, file);
    else
        jpeg_mem_dest(&cinfo, mem, memSize);
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = const_cast<uint8_t*>(pixels + (static_cast<size_t>(h) - 1 - cinfo.next_scanline) * row);
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    GlobalUnlock(picture);
    return true;
}

}  // namespace

int UsableDecodeScale(int width, int height, int wanted) {
    int scale = 1;
    for (int s : kDecodeScales)
        if (s <= wanted && width > 0 && height > 0 && width % s == 0 && height % s == 0) scale = s;
    return scale;
}

ScaledPicture JpegDecodeScaled(const uint8_t* data, size_t size, int64_t maxPixels, int wanted, DecodeStatus* status) {
    DecodeStatus local = DecodeStatus::Unreadable;
    DecodeStatus& result = status ? *status : local;
    result = DecodeStatus::Unreadable;
    ScaledPicture out;
    if (!data || size == 0) return out;
    // The header alone decides on the budget and the reduction, before any allocation.
    int w = 0, h = 0;
    if (!JpegReadSize(data, size, &w, &h)) return out;
    out.width = w;
    out.height = h;
    if (static_cast<int64_t>(w) * h > maxPixels) {
        result = DecodeStatus::OverBudget;
        return out;
    }
    DecodeRequest req;
    req.data = data;
    req.size = size;
    req.maxPixels = maxPixels;
    req.status = &result;
    req.scale = UsableDecodeScale(w, h, wanted);
    ++g_operations;
    out.picture = Decode(req, nullptr, nullptr, nullptr);
    if (out.picture) {
        out.scale = req.scale;
        result = DecodeStatus::Ok;
    }
    return out;
}

HDIB JpegDecodeWithin(const uint8_t* data, size_t size, int64_t maxPixels, DecodeStatus* status, int* width,
                      int* height) {
    const ScaledPicture p = JpegDecodeScaled(data, size, maxPixels, 1, status);
    if (width) *width = p.width;
    if (height) *height = p.height;
    return p.picture;
}

HDIB JpegDecodeBuffer(const uint8_t* data, size_t size) {
    return JpegDecodeWithin(data, size, PictureBudget(), nullptr, nullptr, nullptr);
}

int JpegProbe(const uint8_t* data, size_t size) {
    if (!data || size == 0) return 0;
    ++g_operations;
    DecodeRequest req;
    req.data = data;
    req.size = size;
    req.headerOnly = true;
    bool ok = false;
    Decode(req, nullptr, nullptr, &ok);
    return ok ? 1 : 0;
}

void SetPictureBudget(int64_t pixels) { g_pictureBudget.store(pixels > 0 ? pixels : kDefaultPictureBudget); }
int64_t PictureBudget() { return g_pictureBudget.load(); }

bool JpegReadSize(const uint8_t* data, size_t size, int* width, int* height) {
    if (!data || size == 0) return false;
    DecodeRequest req;
    req.data = data;
    req.size = size;
    req.headerOnly = true;
    bool ok = false;
    Decode(req, width, height, &ok);
    return ok;
}

HDIB JpegLoadFile(const char* path) {
    if (!path || !*path) return nullptr;
    FILE* f = OpenFile(path, "rb");
    if (!f) return nullptr;
    ++g_operations;
    DecodeRequest req;
    req.file = f;
    req.minSide = kJpegMinSideFile;
    req.maxPixels = PictureBudget();
    HDIB picture = Decode(req, nullptr, nullptr, nullptr);
    std::fclose(f);
    if (picture) SetLastSnapshotPath(path);
    return picture;
}

int JpegEncodeFile(HDIB picture, const char* path) {
    if (!picture || !path) return 0;
    FILE* f = OpenFile(path, "wb");
    if (!f) return 0;
    const bool ok = Encode(picture, 75, f, nullptr, nullptr);
    const bool closed = std::fclose(f) == 0;
    if (!ok) std::remove(path);
    return ok && closed ? 1 : 0;
}

bool JpegEncodeMemory(HDIB picture, int quality, std::vector<uint8_t>& out) {
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    const bool ok = picture && Encode(picture, quality, nullptr, &mem, &memSize);
    if (ok) out.assign(mem, mem + memSize);
    std::free(mem);
    return ok;
}

std::string LastSnapshotPath() {
    std::lock_guard lock(g_pathLock);
    return g_lastSnapshotPath;
}

void SetLastSnapshotPath(const std::string& path) {
    std::lock_guard lock(g_pathLock);
    g_lastSnapshotPath = path.substr(0, 259);
}

int64_t JpegOperationCount() { return g_operations.load(); }

}  // namespace orb

extern "C" {

HDIB DecodeFromJPEGBuffer(const void* buffer, int32_t byteCount) {
    if (byteCount <= 0) return nullptr;
    return orb::JpegDecodeBuffer(static_cast<const uint8_t*>(buffer), static_cast<size_t>(byteCount));
}

HDIB LoadJpeg(const char* path) { return orb::JpegLoadFile(path); }

}
