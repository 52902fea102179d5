#include "analysis/zones.h"

#include <algorithm>
#include <vector>

#include "platform/dib.h"

namespace orb {

void ExpandZoneCells(ZoneContext& z, const CameraRecord& record) {
    for (int i = 0; i < kZoneCells; ++i) z.cells[i] = (record.zoneCells[i / 8] >> (i % 8)) & 1;
}

void PackZoneCells(const ZoneContext& z, CameraRecord& record) {
    for (int j = 0; j < kZoneCells / 8; ++j) {
        uint8_t byte = 0;
        for (int k = 0; k < 8; ++k)
            if (z.cells[j * 8 + k]) byte |= static_cast<uint8_t>(1u << k);
        record.zoneCells[j] = byte;
    }
}

void SetZoneGeometry(ZoneContext& z, uint32_t style, int width, int height) {
    z.style = style;
    z.width = width;
    z.height = height;
    const int cw = (width + 31) / kZoneGrid;
    const int ch = (height + 31) / kZoneGrid;
    for (int i = 0; i < kZoneGrid - 1; ++i) {
        z.columnWidth[i] = cw;
        z.rowHeight[i] = ch;
    }
    z.columnWidth[kZoneGrid - 1] = width - (kZoneGrid - 1) * cw;
    z.rowHeight[kZoneGrid - 1] = height - (kZoneGrid - 1) * ch;
    z.stride = DibRowBytes(width, 24);
}

void BuildZoneContext(ZoneContext& z, const CameraRecord& record, int width, int height) {
    z = ZoneContext{};
    ExpandZoneCells(z, record);
    SetZoneGeometry(z, record.zoneStyle, width, height);
}

uint8_t ZoneByte(uint32_t style, uint8_t v) {
    switch (style) {
        case 1: return 0;
        case 3: return 255;
        case 5: return v >> 1;
        case 7: return v < 128 ? static_cast<uint8_t>(v << 1) : 255;
        case 9: return v >> 2;
        case 11: return v < 64 ? static_cast<uint8_t>(v << 2) : 255;
        case 13: return v >> 3;
        case 15: return v < 32 ? static_cast<uint8_t>(v << 3) : 255;
        default: return v;
    }
}

namespace {

// Plain loops over bytes, one per style, so that the compiler vectorises them.
template <int Shift>
void Darken(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(p[i] >> Shift);
}

template <int Shift>
void Brighten(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const unsigned v = p[i];
        p[i] = v < (256u >> Shift) ? static_cast<uint8_t>(v << Shift) : 255;
    }
}

void ShadeRun(uint32_t style, uint8_t* p, size_t n) {
    switch (style) {
        case 1: std::fill(p, p + n, 0); break;
        case 3: std::fill(p, p + n, 255); break;
        case 5: Darken<1>(p, n); break;
        case 7: Brighten<1>(p, n); break;
        case 9: Darken<2>(p, n); break;
        case 11: Brighten<2>(p, n); break;
        case 13: Darken<3>(p, n); break;
        case 15: Brighten<3>(p, n); break;
        default: break;
    }
}

}  // namespace

void ApplyZones(ZoneContext& z, HDIB picture, int32_t scale) {
    if (!picture || !(z.style & kZoneOn)) return;
    if (z.style > 15) {
        z.style = 0;
        return;
    }
    if (scale != 2 && scale != 4 && scale != 8) scale = 1;
    DibLock lock(picture);
    // The cells lie on the picture as the camera sent it. In a picture decoded at 1/scale of
    // it a pixel that a cell's edge crosses is taken by the cell: nothing of a zone shows.
    const int width = (z.width + scale - 1) / scale, height = (z.height + scale - 1) / scale;
    if (!lock || lock.bitCount() != 24 || lock.width() != width || lock.height() != height) return;
    const uint32_t style = z.style;
    // Start and end column and row of each cell, clamped to the picture: in tiny pictures
    // the last cells may have no pixels at all.
    std::array<int, kZoneGrid + 1> xs{}, ys{};
    for (int c = 0; c < kZoneGrid; ++c) xs[c + 1] = std::clamp(xs[c] + std::max(z.columnWidth[c], 0), 0, z.width);
    for (int r = 0; r < kZoneGrid; ++r) ys[r + 1] = std::clamp(ys[r] + std::max(z.rowHeight[r], 0), 0, z.height);
    // The marked cells over each row of the picture, one bit a column.
    thread_local std::vector<uint32_t> marks;
    marks.assign(static_cast<size_t>(height), 0);
    for (int r = 0; r < kZoneGrid; ++r) {
        uint32_t bits = 0;
        for (int c = 0; c < kZoneGrid; ++c)
            if (z.cells[static_cast<size_t>(r) * kZoneGrid + c]) bits |= 1u << c;
        if (!bits) continue;
        for (int y = ys[r] / scale; y < (ys[r + 1] + scale - 1) / scale; ++y) marks[static_cast<size_t>(y)] |= bits;
    }
    uint8_t* pixels = lock.bits();
    const size_t stride = static_cast<size_t>(lock.rowBytes());
    for (int y = 0; y < height; ++y) {  // rows from the top as displayed
        const uint32_t row = marks[static_cast<size_t>(y)];
        if (!row) continue;
        uint8_t* line = pixels + static_cast<size_t>(height - 1 - y) * stride;
        // Neighbouring marked cells form one run of bytes.
        for (int c = 0; c < kZoneGrid;) {
            if (!(row >> c & 1)) { ++c; continue; }
            int end = c + 1;
            while (end < kZoneGrid && (row >> end & 1)) ++end;
            const int x0 = xs[c] / scale, x1 = (xs[end] + scale - 1) / scale;
            ShadeRun(style, line + x0 * 3, static_cast<size_t>(x1 - x0) * 3);
            c = end;
        }
    }
}

}  // namespace orb
