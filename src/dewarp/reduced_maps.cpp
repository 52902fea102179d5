// Maps for reduced pictures. Every map is worked out on the camera's full picture; how
// densely it samples that picture says how far the picture may be reduced before the view
// loses detail, and the entries are then stored as positions in the reduced picture.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "dewarp/dewarp.h"

namespace orb {
namespace {

bool HalfSphere(int32_t t) { return t == kLens180 || t == kLens90; }

// Local densities farther apart than this are a seam of the map (the turn of the azimuth
// behind a window, the edge of a strip), not a density of the lens.
constexpr int64_t kSeam = 64 * 256;

// A reduced density below 1 source pixel per output pixel loses detail; the largest
// reduction that keeps at least one is the slot's.
int32_t ScaleForDensity(int32_t hundredths) {
    for (int s = kMaxReduction; s > 1; s /= 2)
        if (hundredths >= s * 100) return s;
    return 1;
}

}  // namespace

void AttachScaledPicture(DewarpView& view, HDIB source, HDIB destination, int32_t scale, int32_t fullW, int32_t fullH) {
    DewarpState& d = view.dewarp;
    d.source = source;
    d.destination = destination;
    const bool reduced = scale == 2 || scale == 4 || scale == 8;
    d.sourceScale = reduced && fullW > 0 && fullH > 0 ? scale : 1;
    d.fullW = d.sourceScale > 1 ? fullW : 0;
    d.fullH = d.sourceScale > 1 ? fullH : 0;
}

int32_t MeasureCellDensity(const DewarpState& d, const Cell& cell) {
    const int32_t x0 = std::max(0, cell.x), x1 = std::min(d.W, cell.x + cell.w);
    const int32_t y0 = std::max(0, cell.y), y1 = std::min(d.H, cell.y + cell.h);
    if (x1 - x0 < 2 || y1 - y0 < 2 || d.srcW <= 0 || d.srcH <= 0 || d.coordMap.size() != size_t(d.W) * size_t(d.H))
        return 0;
    struct Pos {
        int64_t x, y;
        bool inside;
    };
    const int64_t limX = int64_t(d.srcW - 1) * 256, limY = int64_t(d.srcH - 1) * 256;
    auto at = [&](int32_t x, int32_t y) {  // y from the top of the view
        const size_t i = size_t(d.H - 1 - y) * size_t(d.W) + size_t(x);
        const MapCoord c = d.coordMap[i];
        const MapFrac f = d.fracMap[i];
        const int64_t px = int64_t(c.x) * 256 + f.fx, py = int64_t(c.y) * 256 + f.fy;
        const bool black = c.x == kBlackEntry.x && c.y == kBlackEntry.y;
        return Pos{px, py, !black && px >= 0 && py >= 0 && px <= limX && py <= limY};
    };
    // About 64 x 64 places of the cell, each with its right and lower neighbour: the area of
    // the picture one output pixel covers there, as its side in source pixels.
    const int32_t stepX = std::max(1, (x1 - x0) / 64), stepY = std::max(1, (y1 - y0) / 64);
    std::vector<int32_t> found;
    found.reserve(size_t(64 + 1) * (64 + 1));
    for (int32_t y = y0; y + 1 < y1; y += stepY)
        for (int32_t x = x0; x + 1 < x1; x += stepX) {
            const Pos p = at(x, y), r = at(x + 1, y), b = at(x, y + 1);
            if (!p.inside || !r.inside || !b.inside) continue;
            const int64_t ax = r.x - p.x, ay = r.y - p.y, bx = b.x - p.x, by = b.y - p.y;
            if (std::llabs(ax) > kSeam || std::llabs(ay) > kSeam || std::llabs(bx) > kSeam || std::llabs(by) > kSeam)
                continue;
            const double area = std::fabs(double(ax) * double(by) - double(ay) * double(bx)) / 65536.0;
            found.push_back(int32_t(std::lround(std::sqrt(area) * 100)));
        }
    // A cell that barely shows the picture (a window looking past the lens) says nothing.
    if (found.size() < 16) return 0;
    // Where the lens is densest: the 98th percentile of the places, which is the densest
    // one but for a stray place at the edge of what the cell shows.
    const size_t k = std::min(found.size() - 1, found.size() * 98 / 100);
    std::nth_element(found.begin(), found.begin() + ptrdiff_t(k), found.end());
    return std::max<int32_t>(1, found[k]);
}

std::vector<int> DensitySlotsOfMode(const DewarpView& view) {
    const CameraRecord& r = view.record;
    const int32_t type = EffectiveLensType(r.lensType);
    if (type == kLensNormal || type == kLensMotoPtz) return {kResizeSlot};
    std::vector<int> slots = WindowsOfMode(view);
    if (HalfSphere(type)) {
        if (r.showMode180 == kShow180Source) return {kResizeSlot};
        if (r.showMode180 == kShow180QuadSource) slots.push_back(kResizeSlot);
        return slots;
    }
    switch (r.showMode360) {
        case kShow360Source: return {kResizeSlot};
        case kShow360TwoStrips: return {kStripSlot};
        case kShow360QuadSource: slots.push_back(kResizeSlot); break;
        case kShow360WindowStrip: case kShow360TwoWindowsStrip: case kShow360FourWindowsStrip:
        case kShow360SixWindowsStrip: slots.push_back(kStripSlot); break;
        default: break;
    }
    return slots;
}

int32_t MapDecodeScale(const DewarpView& view) {
    int32_t scale = 0;
    for (int slot : DensitySlotsOfMode(view)) {
        const int32_t density = view.dewarp.density[size_t(slot)];
        if (density > 0) scale = scale == 0 ? ScaleForDensity(density) : std::min(scale, ScaleForDensity(density));
    }
    return scale == 0 ? 1 : scale;
}

int32_t MapDensity(const DewarpView& view) {
    int32_t least = 0;
    for (int slot : DensitySlotsOfMode(view)) {
        const int32_t density = view.dewarp.density[size_t(slot)];
        if (density > 0) least = least == 0 ? density : std::min(least, density);
    }
    return least;
}

void FinishMapCell(DewarpView& view, const Cell& cell, int slot) {
    DewarpState& d = view.dewarp;
    if (slot >= 0 && slot < kDensitySlots) {
        d.density[size_t(slot)] = MeasureCellDensity(d, cell);
        d.wantedScale.store(MapDecodeScale(view), std::memory_order_relaxed);
    }
    const int32_t s = d.mapScale;
    if (s <= 1 || d.coordMap.size() != size_t(d.W) * size_t(d.H)) return;
    // Positions inside the full picture stay inside the reduced one: its edge pixels stand
    // for the picture's edge, where the conversion alone would reach half a pixel past it.
    const int64_t limX = int64_t(d.srcW - 1) * 256, limY = int64_t(d.srcH - 1) * 256;
    const int64_t redX = int64_t((d.srcW + s - 1) / s - 1) * 256, redY = int64_t((d.srcH + s - 1) / s - 1) * 256;
    const int32_t x0 = std::max(0, cell.x), x1 = std::min(d.W, cell.x + cell.w);
    const int32_t y0 = std::max(0, cell.y), y1 = std::min(d.H, cell.y + cell.h);
    for (int32_t y = y0; y < y1; ++y) {
        const size_t row = size_t(d.H - 1 - y) * size_t(d.W);
        for (int32_t x = x0; x < x1; ++x) {
            MapCoord& c = d.coordMap[row + size_t(x)];
            if (c.x == kBlackEntry.x && c.y == kBlackEntry.y) continue;
            MapFrac& f = d.fracMap[row + size_t(x)];
            const int64_t px = int64_t(c.x) * 256 + f.fx, py = int64_t(c.y) * 256 + f.fy;
            int64_t rx = ReducedPosition(px, s), ry = ReducedPosition(py, s);
            if (px >= 0 && px <= limX) rx = std::clamp<int64_t>(rx, 0, redX);
            if (py >= 0 && py <= limY) ry = std::clamp<int64_t>(ry, 0, redY);
            c = {int16_t(std::clamp<int64_t>(rx >> 8, -32768, 32767)), int16_t(std::clamp<int64_t>(ry >> 8, -32768, 32767))};
            f = {uint8_t(rx & 255), uint8_t(ry & 255)};
        }
    }
}

}  // namespace orb
