// Showing modes: which virtual windows a mode builds, in which order, and where each cell
// lies in the view.
#include <algorithm>

#include "dewarp/dewarp.h"

namespace orb {
namespace {

bool HalfSphere(int32_t type) { return type == kLens180 || type == kLens90; }

int32_t Mode360(const CameraRecord& r) {
    return r.showMode360 < 0 || r.showMode360 > kShow360Last ? kShow360Quad : r.showMode360;
}
int32_t Mode180(const CameraRecord& r) {
    return r.showMode180 < 0 || r.showMode180 > kShow180Last ? kShow180Quad : r.showMode180;
}

// The quad: top-left 3, top-right 0, bottom-left 1, bottom-right 2. Right and bottom cells
// take the odd pixel so that no band of the view is left without a map.
Cell QuadCell(const DewarpState& d, int k) {
    const int32_t w2 = d.W / 2, h2 = d.H / 2;
    switch (k) {
        case 3: return {0, 0, w2, h2};
        case 0: return {w2, 0, d.W - w2, h2};
        case 1: return {0, h2, w2, d.H - h2};
        case 2: return {w2, h2, d.W - w2, d.H - h2};
        default: return {};
    }
}

}  // namespace

std::vector<int> WindowsOfMode(const DewarpView& view) {
    const CameraRecord& r = view.record;
    const int32_t type = EffectiveLensType(r.lensType);
    if (type == kLensNormal || type == kLensMotoPtz) return {};
    if (HalfSphere(type)) {
        switch (Mode180(r)) {
            case kShow180Panorama: return {3};
            case kShow180Source: return {};
            case kShow180OneWindow: return {4};
            case kShow180Band: return {0, 1, 3};
            case kShow180QuadSource: return {0, 1, 2};
            default: return {0, 1, 2, 3};
        }
    }
    switch (Mode360(r)) {
        case kShow360Quad: case kShow360QuadStill: return {3, 0, 1, 2};
        case kShow360WindowStrip: return {4};
        case kShow360TwoWindowsStrip: return {4, 0};
        case kShow360Source: case kShow360TwoStrips: return {};
        case kShow360OneWindow: return {3};
        case kShow360FourWindowsStrip: return {0, 1, 2, 3};
        case kShow360SixWindowsStrip: case kShow360SixWindows: return {0, 1, 2, 3, 4, 5};
        default: return {0, 1, 2};
    }
}

Cell WindowCell(const DewarpView& view, int k) {
    const DewarpState& d = view.dewarp;
    const CameraRecord& r = view.record;
    const int32_t type = EffectiveLensType(r.lensType);
    if (HalfSphere(type)) {
        const int32_t m = Mode180(r);
        if (m == kShow180Panorama || m == kShow180OneWindow) return {0, 0, d.W, d.H};
        return QuadCell(d, k);
    }
    const int32_t s = d.stripH, top = d.H - 2 * s, mid = d.H - 2 * s;
    const int32_t w2 = d.W / 2, t = d.thirdW;
    switch (Mode360(r)) {
        case kShow360WindowStrip: return k == 4 ? Cell{0, 0, d.W, d.lowerH} : Cell{};
        case kShow360TwoWindowsStrip:
            if (k == 4) return {0, 0, w2, d.lowerH};
            if (k == 0) return {w2, 0, d.W - w2, d.lowerH};
            return {};
        case kShow360OneWindow: return k == 3 ? Cell{0, 0, d.W, d.H} : Cell{};
        case kShow360FourWindowsStrip:
            switch (k) {
                case 1: return {0, mid, w2, s};
                case 0: return {w2, mid, d.W - w2, s};
                case 3: return {0, 0, w2, top};
                case 2: return {w2, 0, d.W - w2, top};
                default: return {};
            }
        case kShow360SixWindowsStrip: {
            static constexpr int kMiddle[3] = {2, 1, 0}, kTop[3] = {5, 4, 3};
            for (int c = 0; c < 3; ++c) {
                const int32_t x = c * t, w = c == 2 ? d.W - 2 * t : t;
                if (kMiddle[c] == k) return {x, mid, w, s};
                if (kTop[c] == k) return {x, 0, w, top};
            }
            return {};
        }
        case kShow360SixWindows: {
            const int32_t band = k / 2;  // 0: bottom third, 1: middle third, 2: top rows
            const int32_t y = band == 0 ? d.H - s : band == 1 ? mid : 0;
            const int32_t h = band == 2 ? top : s;
            if (k < 0 || k > 5) return {};
            return k % 2 ? Cell{0, y, w2, h} : Cell{w2, y, d.W - w2, h};
        }
        default: return QuadCell(d, k);
    }
}

void SetViewSize(DewarpView& view, int32_t w, int32_t h) {
    DewarpState& d = view.dewarp;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) w = h = 0;
    d.W = w;
    d.H = h;
    d.stripW = w;
    d.stripH = h / 3;
    d.lowerH = h - h / 3;
    d.thirdW = w / 3;
    d.cellW = w / 2;
    d.cellH = h / 2;
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
    d.coordMap.assign(n, kBlackEntry);
    d.fracMap.assign(n, MapFrac{0, 0});
    d.pendingRebuild = 2;
}

void AttachPictures(DewarpView& view, HDIB source, HDIB destination) {
    AttachScaledPicture(view, source, destination, 1, 0, 0);
}

void ClearCell(DewarpView& view, const Cell& c) {
    DewarpState& d = view.dewarp;
    if (d.coordMap.size() != size_t(d.W) * size_t(d.H)) return;
    const int32_t x0 = std::max(0, c.x), x1 = std::min(d.W, c.x + c.w);
    const int32_t y0 = std::max(0, c.y), y1 = std::min(d.H, c.y + c.h);
    for (int32_t y = y0; y < y1; ++y) {
        const size_t row = size_t(d.H - 1 - y) * size_t(d.W);
        for (int32_t x = x0; x < x1; ++x) {
            d.coordMap[row + x] = kBlackEntry;
            d.fracMap[row + x] = {0, 0};
        }
    }
}

}  // namespace orb
