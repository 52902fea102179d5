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
// integer quotient. Rows whose values could exceed that take the integer reference path.
// The azimuth division by pixelsPer360 becomes a table per window, since phi only ever
// takes one of four forms of an atan entry.
#include "dewarp/window_kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
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
// half - atan, atan - half; then the two quarter turns.
struct AzimuthIndex {
    std::vector<int64_t> at = std::vector<int64_t>(4 * kTableSize + 2);  // cosine low, sine high
    enum { kPlus = 0, kMinus = kTableSize, kHalfMinus = 2 * kTableSize, kMinusHalf = 3 * kTableSize,
           kPlusQuarter = 4 * kTableSize, kMinusQuarter };
};

void BuildAzimuthIndex(const DewarpEngine& e, AzimuthIndex& t) {
    const int64_t per360 = e.pixelsPer360, half = e.halfTurn;
    auto pair = [&](int64_t phi) {
        const int64_t index = ((phi * 16384) / per360) & 4095;
        return int64_t(uint32_t(e.cosineTable[index])) | (int64_t(e.sineTable[index]) << 32);
    };
    for (int i = 0; i < kTableSize; ++i) {
        const int64_t a = e.atanTable[i];
        t.at[AzimuthIndex::kPlus + i] = pair(a);
        t.at[AzimuthIndex::kMinus + i] = pair(-a);
        t.at[AzimuthIndex::kHalfMinus + i] = pair(half - a);
        t.at[AzimuthIndex::kMinusHalf + i] = pair(a - half);
    }
    t.at[AzimuthIndex::kPlusQuarter] = pair(e.quarterTurn);
    t.at[AzimuthIndex::kMinusQuarter] = pair(-int64_t(e.quarterTurn));
}

struct RowScratch {
    std::vector<int32_t> form;
    std::vector<double> rho;
};

// Two passes over a row, four pixels at a time in doubles, tables read with gathers: the
// horizontal ray (azimuth form and length), then elevation, radius and the entries. Short
// passes keep many pixels in flight.
__attribute__((target("avx2"))) void FastRow(const WindowKernel& k, const DewarpEngine& e, const AzimuthIndex& az,
                                             RowScratch& s, int64_t j, MapCoord* coords, MapFrac* fracs) {
    const int32_t w = k.cell.w, u0 = -((w - 1) / 2);
    const int64_t X0 = k.m00 * u0 + k.m10 * j + k.m20, Z0 = k.m02 * u0 + k.m12 * j + k.m22, Y = k.m11 * j + k.m21;
    const __m256d one = _mm256_set1_pd(1.0), k4096 = _mm256_set1_pd(4096.0), zero = _mm256_setzero_pd();
    {
        const __m256d x0 = _mm256_set1_pd(double(X0)), dX = _mm256_set1_pd(double(k.m00));
        const __m256d z0 = _mm256_set1_pd(double(Z0)), dZ = _mm256_set1_pd(double(k.m02));
        const __m256d steps = _mm256_setr_pd(0, 1, 2, 3), sign = _mm256_set1_pd(-0.0);
        const __m256d by4096 = _mm256_set1_pd(1.0 / 4096);
        const __m256d plus = _mm256_set1_pd(AzimuthIndex::kPlus), minus = _mm256_set1_pd(AzimuthIndex::kMinus);
        const __m256d plusQ = _mm256_set1_pd(AzimuthIndex::kPlusQuarter), minusQ = _mm256_set1_pd(AzimuthIndex::kMinusQuarter);
        const __m256d halfMinus = _mm256_set1_pd(AzimuthIndex::kHalfMinus), minusHalf = _mm256_set1_pd(AzimuthIndex::kMinusHalf);
        for (int32_t u = 0; u < w; u += 4) {  // the scratch rows hold a multiple of four
            const __m256d uu = _mm256_add_pd(_mm256_set1_pd(double(u)), steps);
            const __m256d X = _mm256_add_pd(x0, _mm256_mul_pd(uu, dX)), Z = _mm256_add_pd(z0, _mm256_mul_pd(uu, dZ));
            const __m256d ax = _mm256_andnot_pd(sign, X), aZ = _mm256_andnot_pd(sign, Z);
            const __m256d big = _mm256_max_pd(ax, aZ), small = _mm256_min_pd(ax, aZ);
            const __m256d ratio =
                _mm256_floor_pd(_mm256_div_pd(_mm256_mul_pd(ax, k4096), _mm256_max_pd(_mm256_add_pd(ax, aZ), one)));
            const __m128i len = _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_mul_pd(small, k4096), _mm256_max_pd(big, one)));
            // Azimuth form by the signs of X and Z'.
            const __m256d xGe1 = _mm256_cmp_pd(X, one, _CMP_GE_OQ), xGe0 = _mm256_cmp_pd(X, zero, _CMP_GE_OQ);
            const __m256d zPos = _mm256_cmp_pd(Z, zero, _CMP_GT_OQ), zZero = _mm256_cmp_pd(Z, zero, _CMP_EQ_OQ);
            const __m256d front = _mm256_add_pd(_mm256_blendv_pd(minus, plus, xGe1), ratio);
            const __m256d back = _mm256_add_pd(_mm256_blendv_pd(minusHalf, halfMinus, xGe0), ratio);
            const __m256d side = _mm256_blendv_pd(minusQ, plusQ, xGe1);
            const __m256d which = _mm256_blendv_pd(_mm256_blendv_pd(back, side, zZero), front, zPos);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.form.data() + u), _mm256_cvttpd_epi32(which));
            // Length of the horizontal ray (0 when both are 0, as hyp[0] * 0).
            const __m256d hyp = _mm256_cvtepi32_pd(_mm_i32gather_epi32(e.hypTable.data(), len, 4));
            _mm256_storeu_pd(s.rho.data() + u, _mm256_floor_pd(_mm256_mul_pd(_mm256_mul_pd(hyp, big), by4096)));
        }
    }
    const bool up = Y >= 1;
    const double ay = double(Y < 0 ? -Y : Y);
    const __m256d vAy = _mm256_set1_pd(ay), vAy4096 = _mm256_set1_pd(ay * 4096.0), elSign = _mm256_set1_pd(up ? 1.0 : -1.0);
    const __m256d flat = _mm256_set1_pd(up ? double(e.quarterTurn) : -double(e.quarterTurn)), r0 = _mm256_set1_pd(double(k.r0));
    const __m256d cx = _mm256_set1_pd(double(k.cx)), cy = _mm256_set1_pd(double(k.cy));
    const __m256d lo = _mm256_set1_pd(-32768.0), hi = _mm256_set1_pd(32767.0), k256 = _mm256_set1_pd(256.0);
    const __m256d by131072 = _mm256_set1_pd(1.0 / 131072), by512 = _mm256_set1_pd(1.0 / 512), by256 = _mm256_set1_pd(1.0 / 256);
    const __m256i halves = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const long long* pairs = reinterpret_cast<const long long*>(az.at.data());
    for (int32_t u = 0;; u += 4) {
        if (u > w - 4) {
            if (u >= w) break;
            u = w - 4;  // the last four overlap the ones before: same entries again
        }
        const __m256d rho = _mm256_loadu_pd(s.rho.data() + u);
        const __m128i rise = _mm256_cvttpd_epi32(_mm256_div_pd(vAy4096, _mm256_max_pd(_mm256_add_pd(rho, vAy), one)));
        const __m256d atan = _mm256_cvtepi32_pd(_mm_i32gather_epi32(e.atanTable.data(), rise, 4));
        const __m256d el = _mm256_blendv_pd(flat, _mm256_mul_pd(atan, elSign), _mm256_cmp_pd(rho, zero, _CMP_GT_OQ));
        const __m256d rad = _mm256_sub_pd(r0, el);
        const __m128i form = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.form.data() + u));
        const __m256i cs = _mm256_permutevar8x32_epi32(_mm256_i32gather_epi64(pairs, form, 8), halves);
        const __m256d dx = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(cs)), rad);
        const __m256d dy = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(cs, 1)), rad);
        // x = (dx >> 17) + cx, clamped to 16 bits; fraction (dx >> 9) & 255.
        const __m128i xs = _mm256_cvttpd_epi32(
            _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(_mm256_floor_pd(_mm256_mul_pd(dx, by131072)), cx), lo), hi));
        const __m128i ys = _mm256_cvttpd_epi32(
            _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(_mm256_floor_pd(_mm256_mul_pd(dy, by131072)), cy), lo), hi));
        const __m256d tx = _mm256_floor_pd(_mm256_mul_pd(dx, by512)), ty = _mm256_floor_pd(_mm256_mul_pd(dy, by512));
        const __m128i fx = _mm256_cvttpd_epi32(_mm256_sub_pd(tx, _mm256_mul_pd(_mm256_floor_pd(_mm256_mul_pd(tx, by256)), k256)));
        const __m128i fy = _mm256_cvttpd_epi32(_mm256_sub_pd(ty, _mm256_mul_pd(_mm256_floor_pd(_mm256_mul_pd(ty, by256)), k256)));
        __m128i entries = _mm_unpacklo_epi16(_mm_packs_epi32(xs, xs), _mm_packs_epi32(ys, ys));
        __m128i parts = _mm_packus_epi16(_mm_unpacklo_epi16(_mm_packs_epi32(fx, fx), _mm_packs_epi32(fy, fy)), _mm_setzero_si128());
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

// True when the doubles hold every value exactly: |X|, |Y|, |Z'| of the cell below 2^36
// (they are linear in the position, so the corners bound them), radii below 2^35 and
// sines and cosines below 2^16, so that their products stay below 2^53.
bool FitsDoubles(const WindowKernel& k, const DewarpEngine& e) {
    const double u0 = -((k.cell.w - 1) / 2), u1 = u0 + k.cell.w - 1, j0 = -(k.cell.h / 2), j1 = j0 + k.cell.h - 1;
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
    constexpr int64_t k35 = int64_t(1) << 35;
    return most < 68719476736.0 && trig < 65536 && angle < k35 && std::abs(k.r0) < k35;
}

}  // namespace

void BuildWindowRows(const WindowKernel& k, const DewarpEngine& e, DewarpState& d, int32_t jBegin, int32_t jEnd) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const bool fast = avx2 && !k.curve && k.cell.w >= 4 && FitsDoubles(k, e);
    thread_local AzimuthIndex az;
    thread_local RowScratch scratch;
    if (fast) {
        BuildAzimuthIndex(e, az);
        scratch.form.resize(size_t(k.cell.w) + 4);
        scratch.rho.resize(size_t(k.cell.w) + 4);
    }
    const int32_t j0 = -(k.cell.h / 2);
    for (int32_t jj = jBegin; jj < jEnd; ++jj) {
        const int32_t outRow = k.cell.y + (k.effV ? k.cell.h - 1 - jj : jj);
        const size_t row = size_t(d.H - 1 - outRow) * size_t(d.W) + size_t(k.cell.x);
        if (fast) FastRow(k, e, az, scratch, j0 + jj, d.coordMap.data() + row, d.fracMap.data() + row);
        else ReferenceRow(k, e, j0 + jj, d.coordMap.data() + row, d.fracMap.data() + row);
    }
}

}  // namespace orb
