#include "analysis/zones.h"

#include <algorithm>

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

void ApplyZones(ZoneContext& z, HDIB picture) {
    if (!picture || !(z.style & kZoneOn)) return;
    if (z.style > 15) {
        z.style = 0;
        return;
    }
    DibLock lock(picture);
    if (!lock || lock.bitCount() != 24 || lock.width() != z.width || lock.height() != z.height) return;
    const uint32_t style = z.style;
    // Start and end column of each cell, clamped to the picture: in tiny pictures the last
    // cells may have no pixels at all.
    std::array<int, kZoneGrid + 1> xs{};
    for (int c = 0; c < kZoneGrid; ++c) xs[c + 1] = std::clamp(xs[c] + std::max(z.columnWidth[c], 0), 0, z.width);
    uint8_t* bits = lock.bits();
    int y = 0;  // rows from the top as displayed
    for (int r = 0; r < kZoneGrid && y < z.height; ++r) {
        const uint8_t* rowCells = &z.cells[static_cast<size_t>(r) * kZoneGrid];
        if (std::none_of(rowCells, rowCells + kZoneGrid, [](uint8_t v) { return v != 0; })) {
            y += std::max(z.rowHeight[r], 0);
            continue;
        }
        const int rows = std::min(std::max(z.rowHeight[r], 0), z.height - y);
        for (int k = 0; k < rows; ++k, ++y) {
            uint8_t* line = bits + static_cast<size_t>(z.height - 1 - y) * z.stride;
            // Neighbouring marked cells form one run of bytes.
            for (int c = 0; c < kZoneGrid;) {
                if (!rowCells[c]) { ++c; continue; }
                int end = c + 1;
                while (end < kZoneGrid && rowCells[end]) ++end;
                ShadeRun(style, line + xs[c] * 3, static_cast<size_t>(xs[end] - xs[c]) * 3);
                c = end;
            }
        }
    }
}

}  // namespace orb
