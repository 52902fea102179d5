// Privacy zones: cells of a 32 x 32 grid over the picture that are blacked out, whitened,
// darkened or brightened before the picture is analysed further, dewarped and shown.
#pragma once
#include <array>
#include <cstdint>

#include "config/camera_record.h"
#include "orbiscope.h"

namespace orb {

constexpr int kZoneGrid = 32;
constexpr int kZoneCells = kZoneGrid * kZoneGrid;

// Style word: bit 0 on, bit 1 brighten (clear: darken), bits 2-3 strength.
constexpr uint32_t kZoneOn = 1;
constexpr uint32_t kZoneBrighten = 2;

struct ZoneContext {
    uint32_t style = 0;
    int32_t width = 0, height = 0;
    std::array<uint8_t, kZoneCells> cells{};  // row * 32 + column, row 0 at the top; 0 or 1
    std::array<int32_t, kZoneGrid> columnWidth{};
    std::array<int32_t, kZoneGrid> rowHeight{};
    int32_t stride = 0;
};

// Cells from the record's 1024 bits (bit k of byte j is cell 8 j + k) and back.
void ExpandZoneCells(ZoneContext& z, const CameraRecord& record);
void PackZoneCells(const ZoneContext& z, CameraRecord& record);
// Style, picture size, cell widths and heights and stride; the cells are kept.
void SetZoneGeometry(ZoneContext& z, uint32_t style, int width, int height);
// The whole context: zeroed, then the record's style and cells and the given size.
void BuildZoneContext(ZoneContext& z, const CameraRecord& record, int width, int height);
// Changes the picture in place; nothing unless zones are on and the size matches (the
// context's size, or 1/scale of it for a picture decoded at 1/2, 1/4 or 1/8).
void ApplyZones(ZoneContext& z, HDIB picture, int32_t scale = 1);
// The effect of a working style value on one byte (values without effect return v).
uint8_t ZoneByte(uint32_t style, uint8_t v);

}  // namespace orb
