#include "analysis/motion.h"

#include <dlfcn.h>
#include <immintrin.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/base64.h"
#include "platform/byte_order.h"
#include "config/settings.h"
#include "platform/dib.h"
#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/safe_names.h"

namespace orb {

namespace {

std::atomic<StatusSink> g_statusSink{nullptr};

// The sensitivity is rewritten by the window thread while the capture thread reads it.
int32_t LoadWord(int32_t& word) { return std::atomic_ref<int32_t>(word).load(std::memory_order_relaxed); }
void StoreWord(int32_t& word, int32_t v) { std::atomic_ref<int32_t>(word).store(v, std::memory_order_relaxed); }

void DropMaps(MotionState& m) {
    m.background = {};
    m.current = {};
    m.result = {};
    m.sums = {};
    m.width = m.height = m.bw = m.bh = m.stride = 0;
}

bool KeyCharOk(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '=';
}

}  // namespace

void SetMotionStatusSink(StatusSink sink) { g_statusSink.store(sink); }

void ShowMotionStatus(AnalysisView* view, int line, const char* text) {
    if (StatusSink sink = g_statusSink.load()) sink(view, line, text);
}

bool ParseMaskFile(std::span<const uint8_t> file, int32_t modelWord, MotionMask& out) {
    if (file.size() < kMaskHeaderSize) return false;
    MaskHeader h;
    h.model = static_cast<int32_t>(ReadLe32(file.data()));
    h.width = static_cast<int32_t>(ReadLe32(file.data() + 4));
    h.height = static_cast<int32_t>(ReadLe32(file.data() + 8));
    h.bw = static_cast<int32_t>(ReadLe32(file.data() + 12));
    h.bh = static_cast<int32_t>(ReadLe32(file.data() + 16));
    if (h.model != modelWord) return false;
    if (h.width < 100 || h.width > 30000 || h.height < 100 || h.height > 30000) return false;
    if (h.bw != ((h.width - 1) >> 3) + 1 || h.bh != ((h.height - 1) >> 3) + 1) return false;
    const size_t count = static_cast<size_t>(h.bw) * static_cast<size_t>(h.bh);
    // Our files hold exactly the mask; anything shorter or longer is not one of them.
    if (file.size() - kMaskHeaderSize != count) return false;
    std::vector<uint8_t> bytes;
    try {
        bytes.assign(static_cast<size_t>(h.bw + 2) * static_cast<size_t>(h.bh + 2), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::memcpy(bytes.data(), file.data() + kMaskHeaderSize, count);
    out.header = h;
    out.bytes = std::move(bytes);
    return true;
}

std::vector<uint8_t> EncodeMaskFile(const MaskHeader& header, std::span<const uint8_t> mask) {
    std::vector<uint8_t> out;
    const size_t count = static_cast<size_t>(std::max(header.bw, 0)) * static_cast<size_t>(std::max(header.bh, 0));
    out.reserve(kMaskHeaderSize + count);
    AppendLe32(out, static_cast<uint32_t>(header.model));
    AppendLe32(out, static_cast<uint32_t>(header.width));
    AppendLe32(out, static_cast<uint32_t>(header.height));
    AppendLe32(out, static_cast<uint32_t>(header.bw));
    AppendLe32(out, static_cast<uint32_t>(header.bh));
    out.insert(out.end(), mask.begin(), mask.begin() + static_cast<std::ptrdiff_t>(std::min(count, mask.size())));
    return out;
}

std::string MaskFilePath(const CameraRecord& record) {
    const std::string key(record.macText, strnlen(record.macText, sizeof record.macText));
    if (key.empty() || !std::all_of(key.begin(), key.end(), KeyCharOk)) return {};
    if (Base64Decode(key).size() != 17) return {};
    const std::string folder = JoinPath(LibraryDir(), "Temp");
    const std::string path = JoinPath(folder, SafeFileName(key));
    return PathInside(folder, path) ? path : std::string();
}

void InitMotionState(MotionState& m, AnalysisView* owner, CameraRecord* record) {
    m.owner = owner;
    m.record = record;
    const int32_t s = LoadWord(record->motionSensitivity);
    if (s < 2 || s > 80) StoreWord(record->motionSensitivity, kDefaultSensitivity);
    m.threshold = LoadWord(record->motionSensitivity);
    DropMaps(m);
    m.state.store(kMotionNone);
    LoadMotionMask(m);
}

bool LoadMotionMask(MotionState& m) {
    ReplaceMotionMask(m, nullptr);
    if (!m.record) return false;
    const std::string path = MaskFilePath(*m.record);
    if (path.empty()) return false;
    FILE* f = OpenFile(path.c_str(), "rb");
    if (!f) return false;
    // The largest valid file: a 30000 x 30000 picture's mask; one byte more is invalid.
    constexpr size_t kLimit = kMaskHeaderSize + 3750u * 3750u + 1;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t n;
    bool ok = true;
    try {
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
            if (bytes.size() > kLimit) { ok = false; break; }
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    std::fclose(f);
    auto mask = std::make_shared<MotionMask>();
    if (!ok || !ParseMaskFile(bytes, m.record->modelIndex, *mask)) return false;
    ReplaceMotionMask(m, std::move(mask));
    return true;
}

void ReplaceMotionMask(MotionState& m, std::shared_ptr<const MotionMask> mask) {
    std::lock_guard lock(m.maskLock);
    m.maskHeader = mask ? mask->header : MaskHeader{};
    m.mask = std::move(mask);
}

std::shared_ptr<const MotionMask> CurrentMotionMask(MotionState& m) {
    std::lock_guard lock(m.maskLock);
    return m.mask;
}

void ReleaseMotionState(MotionState& m) {
    DropMaps(m);
    ReplaceMotionMask(m, nullptr);
    m.state.store(kMotionNone);
}

namespace {

// Sums of Y over 8-pixel blocks of one row, scalar.
inline void SumBlocksScalar(const uint8_t* p, int fromCol, int fullCols, int lastCols, uint32_t* sums) {
    p += static_cast<size_t>(fromCol) * 24;
    for (int c = fromCol; c < fullCols; ++c) {
        uint32_t s = 0;
        for (int k = 0; k < 8; ++k, p += 3) s += (p[0] + 5u * p[1] + 2u * p[2]) >> 3;
        sums[c] += s;
    }
    if (lastCols) {
        uint32_t s = 0;
        for (int k = 0; k < lastCols; ++k, p += 3) s += (p[0] + 5u * p[1] + 2u * p[2]) >> 3;
        sums[fullCols] += s;
    }
}

// Shuffle masks that gather one colour channel of 16 pixels out of three 16-byte loads.
struct ChannelMasks {
    alignas(16) uint8_t m[3][3][16];  // [channel][load][byte]
    ChannelMasks() {
        for (int k = 0; k < 3; ++k)
            for (int r = 0; r < 3; ++r)
                for (int i = 0; i < 16; ++i) {
                    const int at = 3 * i + k - 16 * r;
                    m[k][r][i] = at >= 0 && at < 16 ? static_cast<uint8_t>(at) : 0x80;
                }
    }
};
const ChannelMasks kMasks;

// 16 pixels (two blocks) at a time: Y per pixel fits a byte, so one sum of absolute
// differences against zero adds each block's eight values.
__attribute__((target("ssse3"))) int SumBlocksSsse3(const uint8_t* p, int fullCols, uint32_t* sums) {
    const __m128i zero = _mm_setzero_si128();
    __m128i mk[3][3];
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 3; ++r) mk[k][r] = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks.m[k][r]));
    int c = 0;
    for (; c + 2 <= fullCols; c += 2, p += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        __m128i ch[3];
        for (int k = 0; k < 3; ++k)
            ch[k] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, mk[k][0]), _mm_shuffle_epi8(b, mk[k][1])),
                                 _mm_shuffle_epi8(d, mk[k][2]));
        auto luma = [&](auto unpack) {
            const __m128i bl = unpack(ch[0], zero), gr = unpack(ch[1], zero), rd = unpack(ch[2], zero);
            const __m128i g5 = _mm_add_epi16(_mm_slli_epi16(gr, 2), gr);
            return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(bl, g5), _mm_slli_epi16(rd, 1)), 3);
        };
        const __m128i lo = luma([](__m128i x, __m128i z) { return _mm_unpacklo_epi8(x, z); });
        const __m128i hi = luma([](__m128i x, __m128i z) { return _mm_unpackhi_epi8(x, z); });
        const __m128i sad = _mm_sad_epu8(_mm_packus_epi16(lo, hi), zero);
        sums[c] += static_cast<uint32_t>(_mm_cvtsi128_si32(sad));
        sums[c + 1] += static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(sad, 8)));
    }
    return c;
}

const bool kHaveSsse3 = __builtin_cpu_supports("ssse3");

}  // namespace

void ComputeBlockMeans(const uint8_t* bits, int width, int height, int stride, uint8_t* map, uint32_t* sums) {
    const int bw = BlockCount(width);
    const int bh = BlockCount(height);
    const int fullCols = width / 8;
    const int lastCols = width % 8;
    const int lastWidth = ((width - 1) % 8) + 1;
    for (int band = 0; band < bh; ++band) {
        const int y0 = band * 8;
        const int rows = std::min(8, height - y0);
        std::fill(sums, sums + bw, 0u);
        for (int y = y0; y < y0 + rows; ++y) {
            const uint8_t* p = bits + static_cast<size_t>(y) * stride;
            const int done = kHaveSsse3 ? SumBlocksSsse3(p, fullCols, sums) : 0;
            SumBlocksScalar(p, done, fullCols, lastCols, sums);
        }
        uint8_t* out = map + static_cast<size_t>(band) * bw;
        const uint32_t full = static_cast<uint32_t>(rows) * 8u;
        for (int c = 0; c < bw - 1; ++c) out[c] = static_cast<uint8_t>(sums[c] / full);
        out[bw - 1] = static_cast<uint8_t>(sums[bw - 1] / (static_cast<uint32_t>(rows) * lastWidth));
    }
}

namespace {

// Red outlines round the marked area: the boundary pixels of every marked block whose
// neighbour on that side is outside the grid or unmarked. In a reduced picture a block is
// `block` pixels wide (8 in the picture as sent).
void DrawOutlines(const MotionState& m, uint8_t* bits, int width, int height, int stride, int block) {
    const int bw = m.bw, bh = m.bh;
    const uint8_t* res = m.result.data();
    auto marked = [&](int r, int c) { return res[static_cast<size_t>(r) * bw + c] != 0; };
    auto redAt = [&](int x, int y) { bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3 + 2] = 255; };
    const int last = block - 1;
    for (int r = 0; r < bh; ++r) {
        const int y0 = r * block;
        const int y1 = std::min(y0 + block, height);  // exclusive
        if (y0 >= height) break;
        for (int c = 0; c < bw; ++c) {
            if (!marked(r, c)) continue;
            const int x0 = c * block;
            const int x1 = std::min(x0 + block, width);
            if (x0 >= width) break;
            if (c == 0 || !marked(r, c - 1))
                for (int y = y0; y < y1; ++y) redAt(x0, y);
            if (x0 + last < width && (c == bw - 1 || !marked(r, c + 1)))
                for (int y = y0; y < y1; ++y) redAt(x0 + last, y);
            if (r == 0 || !marked(r - 1, c))
                for (int x = x0; x < x1; ++x) redAt(x, y0);
            if (y0 + last < height && (r == bh - 1 || !marked(r + 1, c)))
                for (int x = x0; x < x1; ++x) redAt(x, y0 + last);
        }
    }
}

// The block means of a picture decoded at 1/scale of the camera's: a block is 8/scale
// pixels a side there, each pixel already the mean of scale x scale pixels as sent.
void ReducedBlockMeans(const uint8_t* bits, int width, int height, int stride, int scale, uint8_t* map, uint32_t* sums) {
    const int block = 8 / scale;
    const int bw = (width - 1) / block + 1, bh = (height - 1) / block + 1;
    const int lastWidth = ((width - 1) % block) + 1;
    for (int band = 0; band < bh; ++band) {
        const int y0 = band * block;
        const int rows = std::min(block, height - y0);
        std::fill(sums, sums + bw, 0u);
        for (int y = y0; y < y0 + rows; ++y) {
            const uint8_t* p = bits + static_cast<size_t>(y) * stride;
            for (int x = 0; x < width; ++x, p += 3) sums[x / block] += (p[0] + 5u * p[1] + 2u * p[2]) >> 3;
        }
        uint8_t* out = map + static_cast<size_t>(band) * bw;
        const uint32_t full = static_cast<uint32_t>(rows * block);
        for (int c = 0; c < bw - 1; ++c) out[c] = static_cast<uint8_t>(sums[c] / full);
        out[bw - 1] = static_cast<uint8_t>(sums[bw - 1] / (static_cast<uint32_t>(rows) * lastWidth));
    }
}

// The picture's block means into map, whatever its reduction.
void BlockMeans(const uint8_t* bits, int width, int height, int stride, int scale, uint8_t* map, uint32_t* sums) {
    if (scale > 1) ReducedBlockMeans(bits, width, height, stride, scale, map, sums);
    else ComputeBlockMeans(bits, width, height, stride, map, sums);
}

// The first picture, or the first after the maps were dropped: the maps are made for its
// size and its block means become the background. False when there is no memory for them.
bool LearnFirstPicture(MotionState& m, const uint8_t* bits, int width, int height, int stride, int scale) {
    const int bw = BlockCount(width), bh = BlockCount(height);
    const size_t cells = static_cast<size_t>(bw + 2) * static_cast<size_t>(bh + 2);
    try {
        m.background.assign(cells, 0);
        m.current.assign(cells, 0);
        m.result.assign(cells, 0);
        m.sums.assign(static_cast<size_t>(bw), 0);
    } catch (const std::bad_alloc&) {
        DropMaps(m);
        ReplaceMotionMask(m, nullptr);
        return false;
    }
    m.width = width;
    m.height = height;
    m.bw = bw;
    m.bh = bh;
    m.stride = ((24 * width + 31) / 8) & ~3;
    if (auto mask = CurrentMotionMask(m); mask && (mask->header.width != width || mask->header.height != height))
        ReplaceMotionMask(m, nullptr);
    BlockMeans(bits, width / scale, height / scale, stride, scale, m.background.data(), m.sums.data());
    return true;
}

// The background follows each block by two a picture; a block differing by the threshold
// or more (past the step) is marked in the current map.
void MarkChangedBlocks(MotionState& m) {
    const size_t blocks = static_cast<size_t>(m.bw) * m.bh;
    uint8_t* bg = m.background.data();
    uint8_t* cur = m.current.data();
    const int32_t threshold = m.threshold;
    for (size_t i = 0; i < blocks; ++i) {
        const int b = bg[i];
        int d = cur[i] - b;
        if (d > 1) {
            bg[i] = static_cast<uint8_t>(b + 2);
            d -= 1;
        } else if (d < -1) {
            bg[i] = static_cast<uint8_t>(b - 2);
            d = -d - 1;
        }
        cur[i] = d >= threshold ? 0xFF : 0;
    }
    if (auto mask = CurrentMotionMask(m); mask && mask->header.bw == m.bw && mask->header.bh == m.bh) {
        // The mask is stored top band first; the maps start with the bottom band.
        for (int r = 0; r < m.bh; ++r)
            for (int c = 0; c < m.bw; ++c)
                if (mask->excluded(m.bh - 1 - r, c)) cur[static_cast<size_t>(r) * m.bw + c] = 0;
    }
}

// The result map: every marked block grown by one block each way. True when any is set.
bool GrowMarkedBlocks(MotionState& m) {
    const int bw = m.bw, bh = m.bh;
    const uint8_t* cur = m.current.data();
    uint8_t* res = m.result.data();
    bool any = false;
    for (int r = 0; r < bh; ++r) {
        for (int c = 0; c < bw; ++c) {
            bool hit = false;
            for (int dr = -1; dr <= 1 && !hit; ++dr) {
                const int rr = r + dr;
                if (rr < 0 || rr >= bh) continue;
                for (int dc = -1; dc <= 1; ++dc) {
                    const int cc = c + dc;
                    if (cc >= 0 && cc < bw && cur[static_cast<size_t>(rr) * bw + cc]) { hit = true; break; }
                }
            }
            res[static_cast<size_t>(r) * bw + c] = hit ? 0xFF : 0;
            any = any || hit;
        }
    }
    return any;
}

}  // namespace

int32_t ProcessMotionPicture(MotionState& m, HDIB picture, int32_t scale) {
    m.state.store(kMotionNone);
    if (!picture) return kMotionNone;
    DibLock lock(picture);
    if (!lock || lock.bitCount() != 24) return kMotionNone;
    if (scale != 2 && scale != 4 && scale != 8) scale = 1;
    // Blocks, mask and sizes are those of the picture as the camera sent it.
    const int pixelsW = lock.width(), pixelsH = lock.height();
    const int width = pixelsW * scale;
    const int height = pixelsH * scale;
    if (width <= 0 || height <= 0) return kMotionNone;
    if (m.record) m.threshold = LoadWord(m.record->motionSensitivity);
    uint8_t* bits = lock.bits();
    const int stride = lock.rowBytes();

    if (m.background.empty()) {
        if (!LearnFirstPicture(m, bits, width, height, stride, scale)) return kMotionNone;
        m.state.store(kMotionLearned);
        return kMotionLearned;
    }
    if (width != m.width || height != m.height) {
        if (StatusSink sink = g_statusSink.load()) sink(m.owner, 2, kBadMotionSizeText);
        DropMaps(m);
        ReplaceMotionMask(m, nullptr);
        return kMotionNone;
    }
    BlockMeans(bits, pixelsW, pixelsH, stride, scale, m.current.data(), m.sums.data());
    MarkChangedBlocks(m);
    const bool any = GrowMarkedBlocks(m);
    if (gfMotionBlock == 1 && any) DrawOutlines(m, bits, pixelsW, pixelsH, stride, 8 / scale);
    const int32_t state = any ? kMotionSeen : kMotionNone;
    m.state.store(state);
    return state;
}

namespace {

void* OpenLibrary(const std::string& name) {
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

bool IsBareLibraryName(const std::string& name) {
    // No folder of any kind and nothing that reads as one: the record cannot point the
    // loader anywhere but the hooks folder.
    return !name.empty() && name.find_first_of("/\\") == std::string::npos && SafeFileName(name) == name;
}

std::string MotionHookFolder() {
    const std::string configured = ReadSetting(kHookSection, kHookFolderKey, "", 260);
    return configured.empty() ? LibraryDir() : NormaliseSeparators(configured);
}

int LoadMotionHook(MotionHook& hook, const char* library, const char* function) {
    UnloadMotionHook(hook);
    const std::string lib(library, strnlen(library, 32));
    const std::string fn(function, strnlen(function, 32));
    if (lib.empty()) return kHookNoLibrary;
    if (!IsBareLibraryName(lib)) return kHookRefused;
    std::vector<std::string> names{lib};
    if (lib.find('.') == std::string::npos) {
        names.push_back(lib + ".so");
        names.push_back("lib" + lib + ".so");
    }
    // Only ever from the hooks folder: never the current folder or the system's search path.
    const std::string folder = MotionHookFolder();
    void* handle = nullptr;
    for (const auto& n : names) {
        const std::string path = JoinPath(folder, n);
        if (PathInside(folder, path)) handle = OpenLibrary(path);
        if (handle) break;
    }
    if (!handle) return kHookNoLibrary;
    void* sym = fn.empty() ? nullptr : dlsym(handle, fn.c_str());
    if (!sym) {
        dlclose(handle);
        return kHookNoFunction;
    }
    hook.library = handle;
    hook.proc = reinterpret_cast<MotionHookProc>(sym);
    return kHookLoaded;
}

void UnloadMotionHook(MotionHook& hook) {
    if (hook.library) dlclose(hook.library);
    hook.library = nullptr;
    hook.proc = nullptr;
}

}  // namespace orb
