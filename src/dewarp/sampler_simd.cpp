// The vector kernels of the sampler (SSE4.1 and AVX2, chosen at run time), byte for byte
// the reference arithmetic of sampler.h.
//
// Per output pixel the 2 x 2 block is two 8-byte loads (its two rows, both columns). With
// pixels biased to signed bytes (p - 128) one multiply-add of byte pairs gives
// top - 32640 and bottom - 32640 exactly (|value| <= 32640, no saturation), and one
// multiply-add of word pairs gives (255 - fy) * top + fy * bottom - 32640 * 255, exact in
// 32 bits; adding the bias back and shifting by 16 is the reference result. Map positions
// become byte offsets with one multiply-add per eight entries; entries outside the picture
// are masked to black, and the rare groups holding a one-pixel-border entry (or the very
// last pixel of the picture, whose 8-byte load would run past it) go to the reference code.
#include <immintrin.h>

#include <climits>
#include <cstddef>

#include "dewarp/sampler.h"

namespace orb::sampler {
namespace {

constexpr int32_t kBias = 32640 * 255;

// Pixel bytes of one block, [top row 8 bytes | bottom row 8 bytes], to the byte pairs of
// the horizontal step: (aB, bB) top, (aB, bB) bottom, then G and R; the last four zero.
template <int S>
constexpr int8_t kPix[16] = {0, S, 8, 8 + S, 1, 1 + S, 9, 9 + S, 2, 2 + S, 10, 10 + S, -1, -1, -1, -1};

// Leftover pixels and whole spans the vectors cannot address.
template <int S, int D>
void Reference(const SampleTarget& t, const MapCoord* mc, const MapFrac* mf, uint8_t* out, int32_t n) {
    for (int32_t i = 0; i < n; ++i) ReferencePixel<S>(t, mc[i].x, mc[i].y, mf[i].fx, mf[i].fy, out + i * D);
}

// ---- Fetching the source ahead ----

// A picture larger than the second-level cache is read all over it where the layout is
// radial: one output row walks a half circle of the source and the next row the circle
// beside it, so the blocks of every entry of a row sampled soon after are asked for into
// the second-level cache while this row is worked on, a row's time ahead of their use.
// Worth a third to a half of the time on such pictures; small ones stay in the cache anyway.
inline bool FetchesAhead(const SampleTarget& t) { return size_t(t.srcStride) * size_t(t.srcH) > (size_t(1) << 20); }

inline void FetchBlocks(const uint8_t* top, ptrdiff_t stride, const int32_t* at, int count) {
    for (int k = 0; k < count; ++k) {
        const uintptr_t p = reinterpret_cast<uintptr_t>(top) + uintptr_t(intptr_t(at[k]));
        __builtin_prefetch(reinterpret_cast<const void*>(p), 0, 2);
        __builtin_prefetch(reinterpret_cast<const void*>(p - uintptr_t(stride)), 0, 2);
    }
}

__attribute__((target("sse4.1"))) inline void FetchAhead4(const MapCoord* mc, const uint8_t* top, ptrdiff_t stride,
                                                          __m128i posScale, __m128i limInner) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mc));
    const __m128i inside = _mm_cmpeq_epi32(_mm_subs_epu16(c, limInner), _mm_setzero_si128());
    alignas(16) int32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_and_si128(_mm_madd_epi16(c, posScale), inside));
    FetchBlocks(top, stride, at, 4);
}

__attribute__((target("avx2"))) inline void FetchAhead8(const MapCoord* mc, const uint8_t* top, ptrdiff_t stride,
                                                        __m256i posScale, __m256i limInner) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mc));
    const __m256i inside = _mm256_cmpeq_epi32(_mm256_subs_epu16(c, limInner), _mm256_setzero_si256());
    alignas(32) int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), _mm256_and_si256(_mm256_madd_epi16(c, posScale), inside));
    FetchBlocks(top, stride, at, 8);
}

// ---- SSE4.1: groups of four ----

template <int S, int D>
__attribute__((target("sse4.1"))) void SpanSse41(const SampleTarget& t, const MapCoord* mc, const MapFrac* mf, uint8_t* out,
                                                 int32_t n, const MapCoord* ahead) {
    if (n < 4 || !VectorFits(t)) return Reference<S, D>(t, mc, mf, out, n);
    const ptrdiff_t stride = t.srcStride;
    const uint8_t* top = t.src + (t.srcH - 1) * stride;  // row 0 of the picture
    const __m128i posScale = _mm_set1_epi32(int32_t((uint32_t(uint16_t(-stride)) << 16) | S));
    const __m128i limInner = _mm_set1_epi32(int32_t((uint32_t(t.srcH - 2) << 16) | uint32_t(t.srcW - 2)));
    const __m128i limNear = _mm_set1_epi32(int32_t((uint32_t(t.srcH) << 16) | uint32_t(t.srcW)));
    const __m128i offLimit = _mm_set1_epi32(S == 3 ? int32_t(stride - 8) : INT_MAX);
    const __m128i ones16 = _mm_set1_epi16(1), zero = _mm_setzero_si128(), allOnes = _mm_set1_epi8(-1);
    const __m128i k80 = _mm_set1_epi8(-128), bias = _mm_set1_epi32(kBias);
    const __m128i pix = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPix<S>));
    const __m128i wx[4] = {_mm_set1_epi16(0x0100), _mm_set1_epi16(0x0504), _mm_set1_epi16(0x0908), _mm_set1_epi16(0x0D0C)};
    const __m128i wy[4] = {_mm_set1_epi32(int32_t(0x80038002)), _mm_set1_epi32(int32_t(0x80078006)),
                           _mm_set1_epi32(int32_t(0x800B800A)), _mm_set1_epi32(int32_t(0x800F800E))};
    const __m128i pack3 = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m128i keepLow3 = _mm_set1_epi32(0x00FFFFFF);
    if (!FetchesAhead(t)) ahead = nullptr;
    for (int32_t i = 0;; i += 4) {
        if (i > n - 4) {
            if (i >= n) break;
            i = n - 4;  // the last group overlaps the one before: same bytes again
        }
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mc + i));
        const __m128i f = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(mf + i));
        __m128i off = _mm_madd_epi16(c, posScale);
        const __m128i inner = _mm_cmpeq_epi32(_mm_subs_epu16(c, limInner), zero);
        const __m128i nearby = _mm_cmpeq_epi32(_mm_subs_epu16(_mm_add_epi16(c, ones16), limNear), zero);
        __m128i slow = _mm_andnot_si128(inner, nearby);
        if (S == 3) slow = _mm_or_si128(slow, _mm_and_si128(inner, _mm_cmpgt_epi32(off, offLimit)));
        uint8_t* o = out + i * D;
        if (!_mm_testz_si128(slow, slow)) {
            Reference<S, D>(t, mc + i, mf + i, o, 4);
            continue;
        }
        off = _mm_and_si128(off, inner);
        alignas(16) int32_t at[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(at), off);
        if (ahead) FetchAhead4(ahead + i, top, stride, posScale, limInner);
        const __m128i w = _mm_unpacklo_epi8(_mm_xor_si128(f, allOnes), f);  // (255-fx, fx, 255-fy, fy)
        __m128i r[4];
        for (int k = 0; k < 4; ++k) {
            const uint8_t* p = top + at[k];
            __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            v = _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(v), reinterpret_cast<const double*>(p - stride)));
            v = _mm_shuffle_epi8(_mm_xor_si128(v, k80), pix);
            const __m128i h = _mm_maddubs_epi16(_mm_shuffle_epi8(w, wx[k]), v);
            r[k] = _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(h, _mm_shuffle_epi8(w, wy[k])), bias), 16);
        }
        __m128i px = _mm_packus_epi16(_mm_packus_epi32(r[0], r[1]), _mm_packus_epi32(r[2], r[3]));
        px = _mm_and_si128(px, inner);
        if (D == 3) {
            px = _mm_shuffle_epi8(px, pack3);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), px);
            const int32_t last = _mm_extract_epi32(px, 2);
            __builtin_memcpy(o + 8, &last, 4);
        } else {
            const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_blendv_epi8(old, px, keepLow3));
        }
    }
}

// ---- AVX2: groups of eight, two pixels a register ----

template <int S, int D>
__attribute__((target("avx2"))) void SpanAvx2(const SampleTarget& t, const MapCoord* mc, const MapFrac* mf, uint8_t* out,
                                               int32_t n, const MapCoord* ahead) {
    if (n < 8 || !VectorFits(t)) return SpanSse41<S, D>(t, mc, mf, out, n, ahead);
    const ptrdiff_t stride = t.srcStride;
    const uint8_t* top = t.src + (t.srcH - 1) * stride;
    const __m256i posScale = _mm256_set1_epi32(int32_t((uint32_t(uint16_t(-stride)) << 16) | S));
    const __m256i limInner = _mm256_set1_epi32(int32_t((uint32_t(t.srcH - 2) << 16) | uint32_t(t.srcW - 2)));
    const __m256i limNear = _mm256_set1_epi32(int32_t((uint32_t(t.srcH) << 16) | uint32_t(t.srcW)));
    const __m256i offLimit = _mm256_set1_epi32(S == 3 ? int32_t(stride - 8) : INT_MAX);
    const __m256i ones16 = _mm256_set1_epi16(1), zero = _mm256_setzero_si256();
    const __m256i k80 = _mm256_set1_epi8(-128), bias = _mm256_set1_epi32(kBias);
    const __m256i pix = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kPix<S>)));
    // Within each pixel's word of weights (255-fx, fx, 255-fy, fy): the horizontal pair
    // repeated, and the vertical pair as two 16-bit words.
    const __m256i wxOf = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13, 0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8,
                                          9, 12, 13, 12, 13);
    const __m256i wyOf = _mm256_setr_epi8(2, -1, 3, -1, 6, -1, 7, -1, 10, -1, 11, -1, 14, -1, 15, -1, 2, -1, 3, -1, 6, -1, 7,
                                          -1, 10, -1, 11, -1, 14, -1, 15, -1);
    const __m256i pair[4] = {_mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1), _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3),
                             _mm256_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5), _mm256_setr_epi32(6, 6, 6, 6, 7, 7, 7, 7)};
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const __m256i pack3 = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10,
                                           12, 13, 14, -1, -1, -1, -1);
    const __m256i join3 = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    const __m256i keepLow3 = _mm256_set1_epi32(0x00FFFFFF);
    if (!FetchesAhead(t)) ahead = nullptr;
    for (int32_t i = 0;; i += 8) {
        if (i > n - 8) {
            if (i >= n) break;
            i = n - 8;
        }
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mc + i));
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mf + i));
        __m256i off = _mm256_madd_epi16(c, posScale);
        const __m256i inner = _mm256_cmpeq_epi32(_mm256_subs_epu16(c, limInner), zero);
        const __m256i nearby = _mm256_cmpeq_epi32(_mm256_subs_epu16(_mm256_add_epi16(c, ones16), limNear), zero);
        __m256i slow = _mm256_andnot_si256(inner, nearby);
        if (S == 3) slow = _mm256_or_si256(slow, _mm256_and_si256(inner, _mm256_cmpgt_epi32(off, offLimit)));
        uint8_t* o = out + i * D;
        if (!_mm256_testz_si256(slow, slow)) {
            Reference<S, D>(t, mc + i, mf + i, o, 8);
            continue;
        }
        off = _mm256_and_si256(off, inner);
        alignas(32) int32_t at[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(at), off);
        if (ahead) FetchAhead8(ahead + i, top, stride, posScale, limInner);
        const __m128i inv = _mm_xor_si128(f, _mm_set1_epi8(-1));
        const __m256i w = _mm256_set_m128i(_mm_unpackhi_epi8(inv, f), _mm_unpacklo_epi8(inv, f));
        const __m256i wx = _mm256_shuffle_epi8(w, wxOf), wy = _mm256_shuffle_epi8(w, wyOf);
        __m256i r[4];
        for (int k = 0; k < 4; ++k) {
            const uint8_t* a = top + at[2 * k];
            const uint8_t* b = top + at[2 * k + 1];
            __m128i va = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
            va = _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(va), reinterpret_cast<const double*>(a - stride)));
            __m128i vb = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b));
            vb = _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(vb), reinterpret_cast<const double*>(b - stride)));
            __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(va), vb, 1);
            v = _mm256_shuffle_epi8(_mm256_xor_si256(v, k80), pix);
            const __m256i h = _mm256_maddubs_epi16(_mm256_permutevar8x32_epi32(wx, pair[k]), v);
            const __m256i s = _mm256_madd_epi16(h, _mm256_permutevar8x32_epi32(wy, pair[k]));
            r[k] = _mm256_srli_epi32(_mm256_add_epi32(s, bias), 16);
        }
        // Lanes hold pixels (0, 1), (2, 3), ...: after packing, dwords 0..7 are pixels
        // 0 2 4 6 1 3 5 7.
        __m256i px = _mm256_packus_epi16(_mm256_packus_epi32(r[0], r[1]), _mm256_packus_epi32(r[2], r[3]));
        px = _mm256_and_si256(_mm256_permutevar8x32_epi32(px, order), inner);
        if (D == 3) {
            px = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(px, pack3), join3);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(px));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), _mm256_extracti128_si256(px, 1));
        } else {
            const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_blendv_epi8(old, px, keepLow3));
        }
    }
}

template <template <int, int> class K>
SpanKernel Pick(int srcBpp, int dstBpp) {
    switch (srcBpp * 10 + dstBpp) {
        case 33: return K<3, 3>::run;
        case 34: return K<3, 4>::run;
        case 43: return K<4, 3>::run;
        case 44: return K<4, 4>::run;
        default: return nullptr;
    }
}

template <int S, int D>
struct Sse41 {
    static void run(const SampleTarget& t, const MapCoord* mc, const MapFrac* mf, uint8_t* out, int32_t n,
                    const MapCoord* ahead) {
        SpanSse41<S, D>(t, mc, mf, out, n, ahead);
    }
};
template <int S, int D>
struct Avx2 {
    static void run(const SampleTarget& t, const MapCoord* mc, const MapFrac* mf, uint8_t* out, int32_t n,
                    const MapCoord* ahead) {
        SpanAvx2<S, D>(t, mc, mf, out, n, ahead);
    }
};

}  // namespace

SpanKernel Sse41Kernel(int srcBpp, int dstBpp) { return Pick<Sse41>(srcBpp, dstBpp); }
SpanKernel Avx2Kernel(int srcBpp, int dstBpp) { return Pick<Avx2>(srcBpp, dstBpp); }

}  // namespace orb::sampler
