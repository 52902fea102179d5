#include "platform/jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <chrono>
#include <thread>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/dib.h"

namespace orb {

namespace {

std::mutex g_codecLock;

// Polls the codec lock: `polls` tries, `pauseMs` apart. True when it was taken.
bool TakeCodecLock(int polls, int pauseMs) {
    for (int i = 0; i < polls; ++i) {
        if (g_codecLock.try_lock()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    return g_codecLock.try_lock();
}
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
};

// Everything with a destructor stays outside the setjmp region: the picture is a plain
// handle freed on the failure path.
HDIB DecodeLocked(const DecodeRequest& req, int* outW, int* outH, bool* headerOk) {
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
    if (req.headerOnly || !JpegSideAccepted(w, h, req.minSide) ||
        (cinfo.num_components != 3 && cinfo.num_components != 1) || cinfo.jpeg_color_space == JCS_CMYK ||
        cinfo.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    cinfo.out_color_space = JCS_EXT_BGR;  // grey pictures are copied into B, G and R
    cinfo.dct_method = JDCT_ISLOW;
    picture = CreateDIB(w, h, 24);
    if (!picture) {
        jpeg_destroy_decompress(&cinfo);
        return nullptr;
    }
    uint8_t* packed = GlobalLock(picture);
    locked = true;
    uint8_t* bits = FindDIBBits(packed);
    const size_t row = static_cast<size_t>(DibRowBytes(w, 24));
    jpeg_start_decompress(&cinfo);
    // Straight into the bitmap: the top picture row is the last stored row.
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[8];
        const int n = static_cast<int>(std::min<JDIMENSION>(8, cinfo.output_height - cinfo.output_scanline));
        for (int i = 0; i < n; ++i)
            rows[i] = bits + (static_cast<size_t>(h) - 1 - (cinfo.output_scanline + i)) * row;
        jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    GlobalUnlock(picture);
    return picture;
}

bool EncodeLocked(HDIB picture, int quality, FILE* file, unsigned char** mem, unsigned long* memSize) {
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

HDIB JpegDecodeBuffer(const uint8_t* data, size_t size) {
    if (!data || size == 0) return nullptr;
    if (!TakeCodecLock(50, 1)) return nullptr;
    std::lock_guard lock(g_codecLock, std::adopt_lock);
    ++g_operations;
    DecodeRequest req;
    req.data = data;
    req.size = size;
    return DecodeLocked(req, nullptr, nullptr, nullptr);
}

int JpegProbe(const uint8_t* data, size_t size) {
    if (!data || size == 0) return 0;
    if (!TakeCodecLock(20, 10)) return 0;
    std::lock_guard lock(g_codecLock, std::adopt_lock);
    ++g_operations;
    DecodeRequest req;
    req.data = data;
    req.size = size;
    req.headerOnly = true;
    bool ok = false;
    DecodeLocked(req, nullptr, nullptr, &ok);
    return ok ? 1 : 0;
}

bool JpegReadSize(const uint8_t* data, size_t size, int* width, int* height) {
    if (!data || size == 0) return false;
    DecodeRequest req;
    req.data = data;
    req.size = size;
    req.headerOnly = true;
    bool ok = false;
    DecodeLocked(req, width, height, &ok);
    return ok;
}

HDIB JpegLoadFile(const char* path) {
    if (!path || !*path) return nullptr;
    FILE* f = std::fopen(path, "rb");
    if (!f) return nullptr;
    HDIB picture;
    {
        std::lock_guard lock(g_codecLock);
        ++g_operations;
        DecodeRequest req;
        req.file = f;
        req.minSide = kJpegMinSideFile;
        picture = DecodeLocked(req, nullptr, nullptr, nullptr);
    }
    std::fclose(f);
    if (picture) SetLastSnapshotPath(path);
    return picture;
}

int JpegEncodeFile(HDIB picture, const char* path) {
    if (!picture || !path) return 0;
    FILE* f = std::fopen(path, "wb");
    if (!f) return 0;
    const bool ok = EncodeLocked(picture, 75, f, nullptr, nullptr);
    const bool closed = std::fclose(f) == 0;
    if (!ok) std::remove(path);
    return ok && closed ? 1 : 0;
}

bool JpegEncodeMemory(HDIB picture, int quality, std::vector<uint8_t>& out) {
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    const bool ok = picture && EncodeLocked(picture, quality, nullptr, &mem, &memSize);
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
