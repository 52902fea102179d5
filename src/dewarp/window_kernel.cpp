// The virtual window kernel. Per pixel, with X, Y, Z' the rotated ray:
//   azimuth   phi = +-atan[4096 |X| / (|X| + |Z'|)] (or the half turn minus it, or a quarter
//             turn), index = ((phi * 16384) / pixelsPer360) & 4095;
//   length    rho = (hyp[4096 small / big] * big) >> 12 of |X| and |Z'|;
//   elevation el = +-atan[4096 |Y| / (rho + |Y|)] (a quarter turn when rho = 0);
//   radius    r = r0 - el, through the ray curve when in force;
//   entry     x = (cos[index] r >> 17) + cx, y = (sin[index] r >> 17) + cy, fractions
//             (cos r >> 9) & 255 and (sin r >> 9) & 255.
// The three ratios are the costly part. Done in doubles they are exact: numerator and
// denominator are integers below 2^50, and a correctly rounded quotient at most 4096 cannot
// reach the next integer when the denominator is below 2^40, so truncating it gives the
// integer quotient. The entries then come from 32-bit integer products, where the window's
// radius and the table values leave room for them. Windows whose values could exceed any of
// those bounds take the integer reference path.
// The azimuth division by pixelsPer360 becomes a table (kept while the engine's tables stay
// the same), since phi only ever takes one of four forms of an atan entry.
#include "dewarp/window_kernel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include <immintrin.h>

namespace orb {
namespace {

int16_t Clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

void Store(MapCoord* coords, MapFrac* fracs, int32_t col, int64_t dx, int64_t dy, int64_t cx, int64_t cy) {
    coords[col] = {Clamp16((dx >> 17) + cx), Clamp16((dy >> 17) + cy)};
    fracs[col] = {static_cast<uint8_t>((dx >> 9) & 255), static_cast<uint8_t>((dy >> 9) & 255)};
}

int64_t Radius(const WindowKernel& k, const DewarpEngine& e, int64_t el) {
    int64_t rad = k.r0 - el;
    if (k.curve) {
        const int64_t ci = rad >> 6, n = int64_t(e.curve1.size()) - 1;
        if (ci >= 0 && ci <= n) rad = e.curve1[ci].value + (((rad & 63) * e.curve1[ci].step) >> 6);
    }
    return rad;
}

// The reference: integer arithmetic throughout.
void ReferenceRow(const WindowKernel& k, const DewarpEngine& e, int64_t j, MapCoord* coords, MapFrac* fracs) {
    const int64_t per360 = e.pixelsPer360, quarter = e.quarterTurn, half = e.halfTurn;
    auto ratio = [&](int64_t a, int64_t b) {  // atan of a/b through the table, a, b >= 0, a + b > 0
        return int64_t(e.atanTable[std::clamp<int64_t>(4096 * a / (a + b), 0, 4096)]);
    };
    const int32_t u0 = -((k.cell.w - 1) / 2);
    int64_t X = k.m00 * u0 + k.m10 * j + k.m20;
    int64_t Zp = k.m02 * u0 + k.m12 * j + k.m22;
    const int64_t Y = k.m11 * j + k.m21;
    for (int32_t uu = 0; uu < k.cell.w; ++uu, X += k.m00, Zp += k.m02) {
        int64_t phi;
        if (Zp > 0) phi = X >= 1 ? ratio(X, Zp) : -ratio(-X, Zp);
        else if (Zp == 0) phi = X < 1 ? -quarter : quarter;
        else phi = X >= 0 ? half - ratio(X, -Zp) : ratio(-X, -Zp) - half;
        const int64_t index = ((phi * 16384) / per360) & 4095;
        const int64_t ax = X < 0 ? -X : X, az = Zp < 0 ? -Zp : Zp;
        const int64_t big = std::max(ax, az), small = std::min(ax, az);
        const int64_t rho = big == 0 ? 0 : (e.hypTable[(small * 4096) / big] * big) >> 12;
        int64_t el;
        if (rho > 0) el = Y >= 1 ? ratio(Y, rho) : -ratio(-Y, rho);
        else el = Y < 1 ? -quarter : quarter;
        const int64_t rad = Radius(k, e, el);
        Store(coords, fracs, k.effH ? k.cell.w - 1 - uu : uu, e.cosineTable[index] * rad, e.sineTable[index] * rad, k.cx,
              k.cy);
    }
}

// Cosine and sine (one pair) of each azimuth form, by atan entry: +atan, -atan,
// half - atan, atan - half. A ray with Z' = 0 has the ratio 4096, which no other ray of the
// front forms reaches, so the last entries of +atan and -atan hold the two quarter turns.
struct AzimuthIndex {
    std::vector<int32_t> at = std::vector<int32_t>(4 * kTableSize);  // cosine low, sine high, 16 bits each
    enum { kPlus = 0, kMinus = kTableSize, kHalfMinus = 2 * kTableSize, kMinusHalf = 3 * kTableSize };
    // The tables it was built from.
    std::vector<int32_t> from;
};

// The index of the engine's current tables, shared by the threads of a build: the one that
// comes first builds it, the other one and later builds of the same tables take it as it is.
std::shared_ptr<const AzimuthIndex> IndexFor(const DewarpEngine& e) {
    static std::mutex lock;
    static std::shared_ptr<const AzimuthIndex> last;
    std::vector<int32_t> from(e.cosineTable.begin(), e.cosineTable.end());
    from.insert(from.end(), e.sineTable.begin(), e.sineTable.end());
    from.insert(from.end(), e.atanTable.begin(), e.atanTable.end());
    from.insert(from.end(), {e.pixelsPer360, e.halfTurn, e.quarterTurn});
    std::lock_guard hold(lock);
    if (last && last->from == from) return last;
    auto t = std::make_shared<AzimuthIndex>();
    const int64_t per360 = e.pixelsPer360, half = e.halfTurn;
    auto pair = [&](int64_t phi) {
        const int64_t index = ((phi * 16384) / per360) & 4095;
        return int32_t(uint32_t(uint16_t(e.cosineTable[index])) | (uint32_t(uint16_t(e.sineTable[index])) << 16));
    };
    for (int i = 0; i < kTableSize; ++i) {
        const int64_t a = e.atanTable[i];
        t->at[AzimuthIndex::kPlus + i] = pair(a);
        t->at[AzimuthIndex::kMinus + i] = pair(-a);
        t->at[AzimuthIndex::kHalfMinus + i] = pair(half - a);
        t->at[AzimuthIndex::kMinusHalf + i] = pair(a - half);
    }
    t->at[AzimuthIndex::kPlus + kTableSize - 1] = pair(e.quarterTurn);
    t->at[AzimuthIndex::kMinus + kTableSize - 1] = pair(-int64_t(e.quarterTurn));
    t->from = std::move(from);
    last = std::move(t);
    return last;
}

// Per-row work arrays of the vector path, each a multiple of four entries long.
struct RowScratch {
    std::vector<int32_t> form, len, hyp, rise, rad;
    std::vector<double> big;
    std::vector<int32_t> pairs;
    std::vector<int32_t> atanFlat;  // atan entries, then the quarter turn of a vertical ray
    void Size(int32_t w) {
        const size_t n = size_t(w + 3) & ~size_t(3);
        for (auto* v : {&form, &len, &hyp, &rise, &rad}) v->resize(n);
        big.resize(n);
        pairs.resize(n);
    }
};

// Pass 1, four pixels at a time in exact doubles: azimuth form and ratio, the hypotenuse
// entry of |X| and |Z'|, and the larger of the two.
__attribute__((target("avx2"))) void HorizontalPass(const WindowKernel& k, int64_t j, int32_t n, int32_t* form,
                                                    int32_t* len, double* bigOut) {
    const int32_t u0 = -((k.cell.w - 1) / 2);
    const int64_t X0 = k.m00 * u0 + k.m10 * j + k.m20, Z0 = k.m02 * u0 + k.m12 * j + k.m22;
    const __m256d steps = _mm256_setr_pd(0, 1, 2, 3), sign = _mm256_set1_pd(-0.0);
    const __m256d one = _mm256_set1_pd(1.0), k4096 = _mm256_set1_pd(4096.0), zero = _mm256_setzero_pd();
    const __m256d plus = _mm256_set1_pd(AzimuthIndex::kPlus), minus = _mm256_set1_pd(AzimuthIndex::kMinus);
    const __m256d halfMinus = _mm256_set1_pd(AzimuthIndex::kHalfMinus), minusHalf = _mm256_set1_pd(AzimuthIndex::kMinusHalf);
    const __m256d dX = _mm256_set1_pd(4.0 * double(k.m00)), dZ = _mm256_set1_pd(4.0 * double(k.m02));
    __m256d X = _mm256_add_pd(_mm256_set1_pd(double(X0)), _mm256_mul_pd(steps, _mm256_set1_pd(double(k.m00))));
    __m256d Z = _mm256_add_pd(_mm256_set1_pd(double(Z0)), _mm256_mul_pd(steps, _mm256_set1_pd(double(k.m02))));
    for (int32_t u = 0; u < n; u += 4, X = _mm256_add_pd(X, dX), Z = _mm256_add_pd(Z, dZ)) {
        const __m256d ax = _mm256_andnot_pd(sign, X), az = _mm256_andnot_pd(sign, Z);
        const __m256d big = _mm256_max_pd(ax, az), small = _mm256_min_pd(ax, az);
        const __m256d ratio = _mm256_floor_pd(_mm256_div_pd(_mm256_mul_pd(ax, k4096), _mm256_max_pd(_mm256_add_pd(ax, az), one)));
        const __m128i l = _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_mul_pd(small, k4096), _mm256_max_pd(big, one)));
        // Form by the signs: Z' >= 0 in front (X >= 1 decides), behind (X >= 0 decides).
        const __m256d front = _mm256_blendv_pd(minus, plus, _mm256_cmp_pd(X, one, _CMP_GE_OQ));
        const __m256d back = _mm256_blendv_pd(minusHalf, halfMinus, _mm256_cmp_pd(X, zero, _CMP_GE_OQ));
        __m128i f = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_blendv_pd(front, back, _mm256_cmp_pd(Z, zero, _CMP_LT_OQ)), ratio));
        if (const int straightDown = _mm256_movemask_pd(_mm256_cmp_pd(big, zero, _CMP_EQ_OQ))) {  // X = Z' = 0
            alignas(16) int32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), f);
            for (int i = 0; i < 4; ++i)
                if (straightDown & (1 << i)) lanes[i] = AzimuthIndex::kMinus + kTableSize - 1;
            f = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(form + u), f);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(len + u), l);
        _mm256_storeu_pd(bigOut + u, big);
    }
}

// Pass 2: length of the horizontal ray from its hypotenuse entry, then the elevation ratio
// against |Y|; a ray of length 0 takes the extra quarter-turn entry.
__attribute__((target("avx2"))) void ElevationPass(double ay, int32_t n, const int32_t* hyp, const double* bigIn,
                                                   int32_t* rise) {
    const __m256d vAy = _mm256_set1_pd(ay), vAy4096 = _mm256_set1_pd(ay * 4096.0), one = _mm256_set1_pd(1.0);
    const __m256d by4096 = _mm256_set1_pd(1.0 / 4096), zero = _mm256_setzero_pd(), flat = _mm256_set1_pd(kTableSize);
    for (int32_t u = 0; u < n; u += 4) {
        const __m256d h = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hyp + u)));
        const __m256d rho = _mm256_floor_pd(_mm256_mul_pd(_mm256_mul_pd(h, _mm256_loadu_pd(bigIn + u)), by4096));
        const __m256d q = _mm256_floor_pd(_mm256_div_pd(vAy4096, _mm256_max_pd(_mm256_add_pd(rho, vAy), one)));
        const __m256d pick = _mm256_blendv_pd(flat, q, _mm256_cmp_pd(rho, zero, _CMP_GT_OQ));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rise + u), _mm256_cvttpd_epi32(pick));
    }
}

// Pass 3, in 32-bit integers: t = (cos r) >> 9 and (sin r) >> 9, entry (t >> 8) + centre and
// fraction t & 255, written as map entries (mirrored for effH).
__attribute__((target("avx2"))) void EntryPass(const WindowKernel& k, const int32_t* pairs, const int32_t* rad,
                                               MapCoord* coords, MapFrac* fracs) {
    const int32_t w = k.cell.w;
    const __m256i centre = _mm256_setr_epi32(int32_t(k.cx), int32_t(k.cy), int32_t(k.cx), int32_t(k.cy), int32_t(k.cx),
                                             int32_t(k.cy), int32_t(k.cx), int32_t(k.cy));
    const __m256i low8 = _mm256_set1_epi32(255);
    for (int32_t u = 0;; u += 4) {
        if (u > w - 4) {
            if (u >= w) break;
            u = w - 4;  // the last four overlap the ones before: same entries again
        }
        const __m256i cs = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + u)));
        const __m256i r = _mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rad + u)));
        const __m256i dx = _mm256_mul_epi32(cs, r), dy = _mm256_mul_epi32(_mm256_srli_epi64(cs, 32), r);
        // Bits 9..40 of each product: x in the low, y in the high half of every 64 bits.
        const __m256i t = _mm256_blend_epi32(_mm256_srli_epi64(dx, 9), _mm256_slli_epi64(dy, 23), 0xAA);
        const __m256i pos = _mm256_add_epi32(_mm256_srai_epi32(t, 8), centre);
        const __m256i both = _mm256_permute4x64_epi64(_mm256_packs_epi32(pos, _mm256_and_si256(t, low8)), _MM_SHUFFLE(3, 1, 2, 0));
        __m128i entries = _mm256_castsi256_si128(both);
        __m128i parts = _mm_packus_epi16(_mm256_extracti128_si256(both, 1), _mm_setzero_si128());
        int32_t col = u;
        if (k.effH) {
            entries = _mm_shuffle_epi32(entries, _MM_SHUFFLE(0, 1, 2, 3));
            parts = _mm_shufflelo_epi16(parts, _MM_SHUFFLE(0, 1, 2, 3));
            col = w - 4 - u;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coords + col), entries);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(fracs + col), parts);
    }
}

// One row through the three vector passes; the table reads between them are plain loads,
// which are cheaper than vector gathers on the processors we measured.
void FastRow(const WindowKernel& k, const DewarpEngine& e, const AzimuthIndex& az, RowScratch& s, int64_t j,
             MapCoord* coords, MapFrac* fracs) {
    const int32_t n = int32_t(s.form.size());
    HorizontalPass(k, j, n, s.form.data(), s.len.data(), s.big.data());
    {
        const int32_t* len = s.len.data();
        int32_t* hyp = s.hyp.data();
        const int32_t* table = e.hypTable.data();
        for (int32_t u = 0; u < n; ++u) hyp[u] = table[len[u]];
    }
    const int64_t Y = k.m11 * j + k.m21;
    ElevationPass(double(Y < 0 ? -Y : Y), n, s.hyp.data(), s.big.data(), s.rise.data());
    {
        const int32_t* rise = s.rise.data();
        const int32_t* form = s.form.data();
        const int32_t* atan = s.atanFlat.data();
        const int32_t* at = az.at.data();
        int32_t* rad = s.rad.data();
        int32_t* pairs = s.pairs.data();
        const int32_t r0 = int32_t(k.r0);
        if (Y >= 1)
            for (int32_t u = 0; u < n; ++u) rad[u] = r0 - atan[rise[u]], pairs[u] = at[form[u]];
        else
            for (int32_t u = 0; u < n; ++u) rad[u] = r0 + atan[rise[u]], pairs[u] = at[form[u]];
    }
    EntryPass(k, s.pairs.data(), s.rad.data(), coords, fracs);
}

// True when the vector path holds every value exactly: |X|, |Y|, |Z'| of the cell below
// 2^36 (they are linear in the position, so the corners bound them) for the doubles; the
// radius within 32 bits and (cos r) >> 9 within 30 bits, with the centre, for the integers.
bool FitsVectorPath(const WindowKernel& k, const DewarpEngine& e) {
    const double u0 = -((k.cell.w - 1) / 2), u1 = u0 + ((k.cell.w + 3) & ~3) - 1, j0 = -(k.cell.h / 2), j1 = j0 + k.cell.h - 1;
    double most = 0;
    for (double u : {u0, u1})
        for (double j : {j0, j1}) {
            most = std::max(most, std::fabs(double(k.m00) * u + double(k.m10) * j + double(k.m20)));
            most = std::max(most, std::fabs(double(k.m02) * u + double(k.m12) * j + double(k.m22)));
            most = std::max(most, std::fabs(double(k.m11) * j + double(k.m21)));
        }
    int64_t trig = 0, angle = std::abs(int64_t(e.quarterTurn));
    for (int i = 0; i < kTableSize; ++i) {
        trig = std::max({trig, std::abs(int64_t(e.cosineTable[i])), std::abs(int64_t(e.sineTable[i]))});
        angle = std::max(angle, std::abs(int64_t(e.atanTable[i])));
    }
    const int64_t radius = std::abs(k.r0) + angle;
    constexpr int64_t k29 = int64_t(1) << 29;
    return most < 68719476736.0 && trig < 32768 && radius < (int64_t(1) << 31) && trig * radius < (int64_t(1) << 39) &&
           std::abs(k.cx) < k29 && std::abs(k.cy) < k29;
}

std::atomic<bool> vectorKernel{true};

}  // namespace

void BuildWindowRows(const WindowKernel& k, const DewarpEngine& e, DewarpState& d, int32_t jBegin, int32_t jEnd) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const bool fast = avx2 && vectorKernel.load(std::memory_order_relaxed) && !k.curve && k.cell.w >= 4 &&
                      FitsVectorPath(k, e);
    std::shared_ptr<const AzimuthIndex> az;
    thread_local RowScratch scratch;
    if (fast) {
        az = IndexFor(e);
        scratch.Size(k.cell.w);
        scratch.atanFlat.assign(e.atanTable.begin(), e.atanTable.end());
        scratch.atanFlat.push_back(e.quarterTurn);
    }
    const int32_t j0 = -(k.cell.h / 2);
    for (int32_t jj = jBegin; jj < jEnd; ++jj) {
        const int32_t outRow = k.cell.y + (k.effV ? k.cell.h - 1 - jj : jj);
        const size_t row = size_t(d.H - 1 - outRow) * size_t(d.W) + size_t(k.cell.x);
        if (fast) FastRow(k, e, *az, scratch, j0 + jj, d.coordMap.data() + row, d.fracMap.data() + row);
        else ReferenceRow(k, e, j0 + jj, d.coordMap.data() + row, d.fracMap.data() + row);
    }
}

void UseVectorWindowKernel(bool on) { vectorKernel.store(on, std::memory_order_relaxed); }

}  // namespace orb
