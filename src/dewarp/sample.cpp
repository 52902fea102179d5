// The per-picture update and the bilinear sampler. Weights sum to 255 and the result is
// divided by 65536, so a uniform level P comes out as (P * 65025) >> 16.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "dewarp/dewarp.h"
#include "dewarp/sampler.h"
#include "platform/dib.h"

namespace orb {
namespace {

using sampler::ReferencePixel;

// The reference: one pixel after the other, colour tables applied as it goes.
template <int SrcBpp, int DstBpp, bool Colour>
void SampleLoop(const SampleTarget& t, const MapCoord* coords, const MapFrac* fracs, int32_t mapStride, int32_t x0,
                int32_t rowBottom0, int32_t w, int32_t h) {
    const ColourTables* ct = t.colour;
    for (int32_t rb = rowBottom0; rb < rowBottom0 + h; ++rb) {
        const MapCoord* mc = coords + static_cast<size_t>(rb) * mapStride + x0;
        const MapFrac* mf = fracs + static_cast<size_t>(rb) * mapStride + x0;
        uint8_t* out = t.dst + static_cast<ptrdiff_t>(rb) * t.dstStride + static_cast<ptrdiff_t>(x0) * DstBpp;
        for (int32_t i = 0; i < w; ++i, out += DstBpp) {
            ReferencePixel<SrcBpp>(t, mc[i].x, mc[i].y, mf[i].fx, mf[i].fy, out);
            if (Colour) {
                out[0] = ct->blue[out[0]];
                out[1] = ct->green[out[1]];
                out[2] = ct->red[out[2]];
            }
        }
    }
}

template <int SrcBpp, int DstBpp>
void SampleWith(const SampleTarget& t, const MapCoord* c, const MapFrac* f, int32_t s, int32_t x0, int32_t r0, int32_t w,
                int32_t h) {
    if (t.colour && t.colour->on) SampleLoop<SrcBpp, DstBpp, true>(t, c, f, s, x0, r0, w, h);
    else SampleLoop<SrcBpp, DstBpp, false>(t, c, f, s, x0, r0, w, h);
}

// A locked, checked picture: 24 or 32 bits, bottom-up, all rows inside the block.
struct Picture {
    uint8_t* bits = nullptr;
    int32_t w = 0, h = 0, bpp = 0, stride = 0;
};

bool Inspect(HDIB handle, uint8_t* packed, Picture& p) {
    if (!packed || GlobalSize(handle) < size_t(kBitmapHeaderSize)) return false;
    BitmapHeader hd;
    std::memcpy(&hd, packed, sizeof hd);
    if (hd.biSize != 40 || hd.biWidth <= 0 || hd.biHeight <= 0 || hd.biWidth > 32767 || hd.biHeight > 32767) return false;
    if (hd.biBitCount != 24 && hd.biBitCount != 32) return false;
    p.w = hd.biWidth, p.h = hd.biHeight, p.bpp = hd.biBitCount / 8;
    p.stride = DibRowBytes(p.w, hd.biBitCount);
    if (GlobalSize(handle) < size_t(kBitmapHeaderSize) + size_t(p.stride) * size_t(p.h)) return false;
    p.bits = packed + kBitmapHeaderSize;
    return true;
}

struct Session {
    Picture src, dst;
};
thread_local Session* g_session = nullptr;  // the pictures of the update in progress

}  // namespace

namespace {

std::atomic<int> g_path{-1};  // -1: the best this processor runs

bool Runs(SamplerPath p) {
    switch (p) {
        case SamplerPath::kScalar: return true;
        case SamplerPath::kSse41: return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
        case SamplerPath::kAvx2: return __builtin_cpu_supports("avx2");
    }
    return false;
}

void ApplyColour(uint8_t* out, int32_t n, int32_t bpp, const ColourTables& ct) {
    for (int32_t i = 0; i < n; ++i, out += bpp) {
        out[0] = ct.blue[out[0]];
        out[1] = ct.green[out[1]];
        out[2] = ct.red[out[2]];
    }
}

// Row by row, in the order the maps lie in memory: the map and output streams are most of
// the bytes moved, and splitting rows into tiles for the sake of the source's locality
// measured slower on every layout. The kernels fetch the source of the row kRowsAhead on
// while they work on this one (two rows: a row's time is ample for any cache miss, and
// two rows' blocks still fit the second-level cache).
constexpr int32_t kRowsAhead = 2;

void SampleVector(sampler::SpanKernel kernel, const SampleTarget& t, const MapCoord* coords, const MapFrac* fracs,
                  int32_t mapStride, int32_t x0, int32_t rowBottom0, int32_t w, int32_t h) {
    const ColourTables* ct = t.colour && t.colour->on ? t.colour : nullptr;
    for (int32_t rb = rowBottom0; rb < rowBottom0 + h; ++rb) {
        const size_t m = size_t(rb) * size_t(mapStride) + size_t(x0);
        uint8_t* out = t.dst + ptrdiff_t(rb) * t.dstStride + ptrdiff_t(x0) * t.dstBpp;
        const int32_t later = rb + kRowsAhead;
        kernel(t, coords + m, fracs + m, out, w, later < rowBottom0 + h ? coords + m + ptrdiff_t(kRowsAhead) * mapStride : nullptr);
        if (ct) ApplyColour(out, w, t.dstBpp, *ct);
    }
}

}  // namespace

SamplerPath BestSamplerPath() {
    static const SamplerPath best = Runs(SamplerPath::kAvx2)    ? SamplerPath::kAvx2
                                    : Runs(SamplerPath::kSse41) ? SamplerPath::kSse41
                                                                : SamplerPath::kScalar;
    return best;
}

bool SamplerPathRuns(SamplerPath p) { return Runs(p); }

void SetSamplerPath(SamplerPath p) {
    while (!Runs(p)) p = static_cast<SamplerPath>(static_cast<int>(p) - 1);
    g_path.store(static_cast<int>(p), std::memory_order_relaxed);
}

SamplerPath CurrentSamplerPath() {
    const int p = g_path.load(std::memory_order_relaxed);
    return p < 0 ? BestSamplerPath() : static_cast<SamplerPath>(p);
}

void SampleRowsWith(SamplerPath path, const SampleTarget& t, const MapCoord* coords, const MapFrac* fracs,
                    int32_t mapStride, int32_t x0, int32_t rowBottom0, int32_t w, int32_t h) {
    if (!t.src || !t.dst || w <= 0 || h <= 0 || t.srcW <= 0 || t.srcH <= 0) return;
    if (!Runs(path)) path = BestSamplerPath();
    sampler::SpanKernel kernel = nullptr;
    if (path == SamplerPath::kAvx2) kernel = sampler::Avx2Kernel(t.srcBpp, t.dstBpp);
    else if (path == SamplerPath::kSse41) kernel = sampler::Sse41Kernel(t.srcBpp, t.dstBpp);
    if (kernel && sampler::VectorFits(t)) return SampleVector(kernel, t, coords, fracs, mapStride, x0, rowBottom0, w, h);
    switch (t.srcBpp * 10 + t.dstBpp) {
        case 33: SampleWith<3, 3>(t, coords, fracs, mapStride, x0, rowBottom0, w, h); break;
        case 34: SampleWith<3, 4>(t, coords, fracs, mapStride, x0, rowBottom0, w, h); break;
        case 43: SampleWith<4, 3>(t, coords, fracs, mapStride, x0, rowBottom0, w, h); break;
        case 44: SampleWith<4, 4>(t, coords, fracs, mapStride, x0, rowBottom0, w, h); break;
        default: break;
    }
}

void SampleRows(const SampleTarget& t, const MapCoord* coords, const MapFrac* fracs, int32_t mapStride, int32_t x0,
                int32_t rowBottom0, int32_t w, int32_t h) {
    SampleRowsWith(CurrentSamplerPath(), t, coords, fracs, mapStride, x0, rowBottom0, w, h);
}

void RenderCell(DewarpView& view, const Cell& cell) {
    DewarpState& d = view.dewarp;
    if (d.coordMap.size() != size_t(d.W) * size_t(d.H) || d.fracMap.size() != d.coordMap.size()) return;
    Session* s = g_session;
    Session local;
    DibLock srcLock(s ? nullptr : d.source), dstLock(s ? nullptr : d.destination);
    if (!s) {
        if (!Inspect(d.source, srcLock.packed, local.src) || !Inspect(d.destination, dstLock.packed, local.dst)) return;
        s = &local;
    }
    // Only the part of the cell that both the maps and the destination hold.
    const int32_t outW = std::min(d.W, s->dst.w), outH = std::min(d.H, s->dst.h);
    const int32_t x0 = std::max(0, cell.x), x1 = std::min(outW, cell.x + cell.w);
    const int32_t y0 = std::max(0, cell.y), y1 = std::min(outH, cell.y + cell.h);
    if (x1 <= x0 || y1 <= y0) return;
    // Map rows are counted from the bottom of the view, destination rows from its bottom.
    const int32_t mapRowLow = d.H - y1, dstShift = s->dst.h - d.H;
    if (mapRowLow + dstShift < 0) return;
    SampleTarget t{s->src.bits, s->src.stride, s->src.w, s->src.h, s->src.bpp, s->dst.bits + ptrdiff_t(dstShift) * s->dst.stride,
                   s->dst.stride, s->dst.bpp, d.colour.on ? &d.colour : nullptr};
    SampleRows(t, d.coordMap.data(), d.fracMap.data(), d.W, x0, mapRowLow, x1 - x0, y1 - y0);
}

void RenderWindow(DewarpView& view, int k) {
    if (k < 0 || k > 5) return;
    RenderCell(view, WindowCell(view, k));
}

namespace {

void UpdateWindows(DewarpView& view, bool sizeChanged) {
    DewarpState& d = view.dewarp;
    if (d.pendingRebuild || sizeChanged) {
        d.pendingRebuild = 0;
        d.dirty.fill(1);
    }
    const std::vector<int> used = WindowsOfMode(view);
    for (int k = 0; k < 6; ++k)
        if (std::find(used.begin(), used.end(), k) == used.end()) d.dirty[k] = 0;
    for (int k : used)
        if (d.dirty[k]) {
            d.dirty[k] = 0;
            RebuildWindow(view, k);
        }
}

}  // namespace

int32_t UpdatePanorama(DewarpView& view) {
    DewarpState& d = view.dewarp;
    if (!d.source || !d.destination) return 0;
    if (d.busy) return d.busy;
    DibLock srcLock(d.source), dstLock(d.destination);
    Session session;
    if (!Inspect(d.source, srcLock.packed, session.src) || !Inspect(d.destination, dstLock.packed, session.dst)) return 0;
    if (d.W <= 0 || d.H <= 0) return 0;
    // The maps are worked out on the camera's picture; a reduced picture that does not fit
    // the size it claims to stand for is taken as it is.
    const int32_t s = d.sourceScale;
    const bool reduced = s > 1 && (d.fullW + s - 1) / s == session.src.w && (d.fullH + s - 1) / s == session.src.h;
    d.mapScale = reduced ? s : 1;
    d.srcW = reduced ? d.fullW : session.src.w;
    d.srcH = reduced ? d.fullH : session.src.h;
    if (!d.engine) RebuildPanorama(view);
    if (!d.engine) return 0;
    g_session = &session;
    const CameraRecord& r = view.record;
    // Another reduction of the same picture needs the maps again, as another size does.
    const bool sizeChanged = d.srcW != d.lastW || d.srcH != d.lastH || d.mapScale != d.lastScale;
    d.lastW = d.srcW;
    d.lastH = d.srcH;
    d.lastScale = d.mapScale;
    d.effH = r.flipHorizontal != 0;
    d.effV = r.flipVertical != 0;
    const int32_t type = EffectiveLensType(r.lensType);
    const Cell whole{0, 0, d.W, d.H};
    const Cell quarter{0, 0, d.W / 2, d.H / 2};
    if (type == kLensNormal || type == kLensMotoPtz || (type != kLens180 && type != kLens90 && r.showMode360 == kShow360Source) ||
        ((type == kLens180 || type == kLens90) && r.showMode180 == kShow180Source)) {
        if (sizeChanged || d.pendingRebuild >= 2) {
            BuildResizeMap(view, whole);
            d.pendingRebuild = 0;
        }
    } else if (type == kLens180 || type == kLens90) {
        if (r.showMode180 == kShow180QuadSource && (sizeChanged || d.pendingRebuild >= 2)) BuildResizeMap(view, WindowCell(view, 3));
        UpdateWindows(view, sizeChanged);
    } else {
        StripFlips(type, d.effH, d.effV);
        switch (r.showMode360) {
            case kShow360TwoStrips:
                if (sizeChanged || d.pendingRebuild >= 2) {
                    BuildHalfStrips(view, d.effH, d.effV);
                    d.pendingRebuild = 0;
                }
                break;
            case kShow360WindowStrip: case kShow360TwoWindowsStrip: case kShow360FourWindowsStrip: case kShow360SixWindowsStrip:
                if (sizeChanged || d.pendingRebuild >= 1) BuildStripMap(view, d.effH, d.effV);
                UpdateWindows(view, sizeChanged);
                break;
            case kShow360QuadSource:
                if (sizeChanged || d.pendingRebuild >= 2) {
                    d.pendingRebuild = 2;
                    BuildResizeMap(view, quarter);
                }
                UpdateWindows(view, sizeChanged);
                break;
            default: UpdateWindows(view, sizeChanged);
        }
    }
    // Every map is current now: one pass over the whole view gives the picture.
    RenderCell(view, whole);
    g_session = nullptr;
    return 1;
}

}  // namespace orb
