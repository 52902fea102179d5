// Colour balance, brightness and contrast folded into three 256-entry channel tables that
// the samplers apply to every output pixel.
#pragma once
#include <array>
#include <cstdint>

#include "config/camera_record.h"

namespace orb {

struct ColourTables {
    int32_t on = 0;  // tables in force
    std::array<uint8_t, 256> blue{}, green{}, red{};
    std::array<uint8_t, 256> lut{};  // brightness then contrast
};

// Builds the brightness-contrast table and the three channel tables from the six values.
// Values beyond their ranges (shifts -128..128, brightness and contrast -127..127) are
// clamped first.
void BuildColourTables(int32_t brightness, int32_t contrast, int32_t cyanRed, int32_t magentaGreen,
                       int32_t yellowBlue, ColourTables& out);
// Takes the switch and values from a record; the tables are built only while it is on.
void LoadColourTables(const CameraRecord& record, ColourTables& out);

}  // namespace orb
