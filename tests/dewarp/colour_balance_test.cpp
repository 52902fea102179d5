#include <gtest/gtest.h>

#include "dewarp/colour_balance.h"

namespace {

using orb::BuildColourTables;
using orb::ColourTables;

TEST(ColourBalance, NeutralValuesGiveIdentityTables) {
    ColourTables t;
    BuildColourTables(0, 0, 0, 0, 0, t);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(t.lut[i], i);
        ASSERT_EQ(t.red[i], i);
        ASSERT_EQ(t.green[i], i);
        ASSERT_EQ(t.blue[i], i);
    }
}

TEST(ColourBalance, BrightnessAndContrastEdges) {
    ColourTables t;
    BuildColourTables(127, 0, 0, 0, 0, t);
    EXPECT_EQ(t.lut[0], 127);
    EXPECT_EQ(t.lut[255], 255);
    BuildColourTables(-127, 0, 0, 0, 0, t);
    EXPECT_EQ(t.lut[255], 128);
    EXPECT_EQ(t.lut[0], 0);

    BuildColourTables(0, 127, 0, 0, 0, t);
    const int in[] = {0, 100, 126, 127, 128, 129, 255}, out[] = {0, 0, 46, 127, 128, 209, 255};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(t.lut[in[i]], out[i]) << in[i];

    BuildColourTables(0, -127, 0, 0, 0, t);
    for (int i = 0; i < 256; ++i) ASSERT_TRUE(t.lut[i] == 127 || t.lut[i] == 128) << i;
}

TEST(ColourBalance, ShiftsActOnTheirChannelOnly) {
    ColourTables t;
    BuildColourTables(0, 0, 128, 0, 0, t);
    EXPECT_EQ(t.red[0], 9);
    for (int i = 64; i < 256; ++i) ASSERT_EQ(t.red[i], 255) << i;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(t.green[i], i);

    BuildColourTables(0, 0, -128, 0, 0, t);
    for (int i = 0; i <= 192; ++i) ASSERT_EQ(t.red[i], 0) << i;
    EXPECT_EQ(t.red[255], 214);

    // The blue table follows the yellow-blue shift, then brightness.
    BuildColourTables(50, 0, 0, 0, -128, t);
    ColourTables shiftOnly;
    BuildColourTables(0, 0, 0, 0, -128, shiftOnly);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(t.blue[i], t.lut[shiftOnly.blue[i]]) << i;
    EXPECT_EQ(t.green[0], t.lut[0]);
    EXPECT_GT(t.lut[0], 0);
}

TEST(ColourBalance, RecordSwitchAndOutOfRangeValues) {
    CameraRecord r{};
    ColourTables t;
    r.colourShift[3] = 127;
    LoadColourTables(r, t);
    EXPECT_EQ(t.on, 0);
    EXPECT_EQ(t.lut[0], 0);  // tables untouched while off
    r.colourBalanceOn = 1;
    LoadColourTables(r, t);
    EXPECT_EQ(t.on, 1);
    EXPECT_EQ(t.blue[0], 127);
    // Wild values are held to their ranges.
    r.colourShift[0] = 100000;
    r.colourShift[4] = -100000;
    LoadColourTables(r, t);
    ColourTables ref;
    BuildColourTables(127, -127, 128, 0, 0, ref);
    EXPECT_EQ(t.red, ref.red);
}

}  // namespace
