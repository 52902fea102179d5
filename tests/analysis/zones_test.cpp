#include <gtest/gtest.h>

#include "analysis/motion_view.h"
#include "analysis/pictures.h"
#include "analysis/zones.h"
#include "ui/panoview.h"

using analysistest::Picture;

namespace {

void Mark(orb::ZoneContext& z, int row, int col) { z.cells[row * 32 + col] = 1; }

}  // namespace

TEST(PrivacyZones, EveryStyleValue) {
    struct Case { uint32_t style; uint8_t in, out; };
    const Case cases[] = {
        {1, 200, 0},   {3, 10, 255},  {5, 201, 100}, {7, 127, 254}, {7, 128, 255}, {9, 203, 50},
        {11, 63, 252}, {11, 64, 255}, {13, 255, 31}, {15, 31, 248}, {15, 32, 255}, {4, 77, 77},
    };
    for (const auto& c : cases) EXPECT_EQ(orb::ZoneByte(c.style, c.in), c.out) << c.style << " " << int(c.in);

    // Every working style over every byte value, through the picture.
    for (uint32_t style = 1; style <= 15; style += 2) {
        Picture all(256, 40, 0);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 256; ++x) all.Set(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(255 - x), static_cast<uint8_t>(x ^ 0x55));
        orb::ZoneContext zz;
        orb::SetZoneGeometry(zz, style, 256, 40);
        zz.cells.fill(1);
        orb::ApplyZones(zz, all.h);
        for (int x = 0; x < 256; ++x) {
            const uint8_t* px = all.At(x, 17);
            ASSERT_EQ(px[0], orb::ZoneByte(style, static_cast<uint8_t>(x))) << style << " " << x;
            ASSERT_EQ(px[1], orb::ZoneByte(style, static_cast<uint8_t>(255 - x))) << style << " " << x;
            ASSERT_EQ(px[2], orb::ZoneByte(style, static_cast<uint8_t>(x ^ 0x55))) << style << " " << x;
        }
    }

    // Style 7 on a pixel (100, 200, 128) gives (200, 255, 255).
    Picture p(64, 64, 0);
    p.Set(0, 63, 100, 200, 128);
    CameraRecord r{};
    r.zoneStyle = 7;
    r.zoneCells[0] = 1;  // cell 0: top-left
    orb::ZoneContext z;
    orb::BuildZoneContext(z, r, 64, 64);
    orb::ApplyZones(z, p.h);
    EXPECT_EQ(p.At(0, 63)[0], 200);
    EXPECT_EQ(p.At(0, 63)[1], 255);
    EXPECT_EQ(p.At(0, 63)[2], 255);
}

TEST(PrivacyZones, CellGeometryAndEdges) {
    orb::ZoneContext z;
    orb::SetZoneGeometry(z, 1, 640, 480);
    EXPECT_EQ(z.columnWidth[0], 20);
    EXPECT_EQ(z.columnWidth[31], 20);
    EXPECT_EQ(z.rowHeight[5], 15);
    EXPECT_EQ(z.stride, 1920);
    orb::SetZoneGeometry(z, 1, 700, 481);
    EXPECT_EQ(z.columnWidth[30], 22);
    EXPECT_EQ(z.columnWidth[31], 18);
    EXPECT_EQ(z.rowHeight[0], 16);
    EXPECT_EQ(z.rowHeight[31], 481 - 31 * 16);
    EXPECT_EQ(z.stride, 2100);

    // 700 x 480, style 1 (black): the top-left and bottom-right cells and one inside.
    // Displayed rectangles, x and y inclusive: cell (0, 0) is 0..21 x 0..14, cell (31, 31)
    // 682..699 x 465..479, cell (10, 5) 110..131 x 150..164.
    orb::SetZoneGeometry(z, 1, 700, 480);
    Picture p(700, 480, 100);
    Mark(z, 0, 0);
    Mark(z, 31, 31);
    Mark(z, 10, 5);
    orb::ApplyZones(z, p.h);
    auto in = [](int x, int y, int x0, int x1, int y0, int y1) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 700; ++x) {
            const bool black = in(x, y, 0, 21, 0, 14) || in(x, y, 682, 699, 465, 479) || in(x, y, 110, 131, 150, 164);
            ASSERT_EQ(p.At(x, 479 - y)[1], black ? 0 : 100) << x << "," << y;  // memory row 479 is the top
        }

    // 481 rows: rows of 16, row 30 keeps a single pixel row and row 31 has none.
    Picture q(64, 481, 100);
    orb::ZoneContext t;
    orb::SetZoneGeometry(t, 1, 64, 481);
    Mark(t, 30, 0);
    Mark(t, 31, 0);
    orb::ApplyZones(t, q.h);
    EXPECT_EQ(q.At(0, 0)[0], 0);
    EXPECT_EQ(q.At(0, 1)[0], 100);
}

TEST(PrivacyZones, TinyAndOddPictures) {
    // 33 x 10: cells of 2 x 1 pixels; the last columns and rows have no pixels at all.
    Picture p(33, 10, 100);
    orb::ZoneContext z;
    orb::SetZoneGeometry(z, 3, 33, 10);
    EXPECT_EQ(z.columnWidth[31], 33 - 62);
    z.cells.fill(1);
    orb::ApplyZones(z, p.h);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 33; ++x) ASSERT_EQ(p.At(x, y)[0], 255) << x << "," << y;
    orb::DibLock lock(p.h);
    for (int y = 0; y < 10; ++y)  // the row padding (33 * 3 = 99, rows of 100) stays zero
        ASSERT_EQ(lock.bits()[y * 100 + 99], 0);

    // 101 x 77 with a single cell in the middle column (cw = 4, columns 64..67).
    Picture q(101, 77, 100);
    orb::ZoneContext w;
    orb::SetZoneGeometry(w, 5, 101, 77);
    Mark(w, 0, 16);
    orb::ApplyZones(w, q.h);
    EXPECT_EQ(q.At(64, 76)[0], 50);
    EXPECT_EQ(q.At(67, 74)[0], 50);
    EXPECT_EQ(q.At(68, 76)[0], 100);
    EXPECT_EQ(q.At(63, 76)[0], 100);
    EXPECT_EQ(q.At(64, 73)[0], 100);
}

TEST(PrivacyZones, WhenNothingHappens) {
    Picture p(64, 64, 100);
    orb::ZoneContext z;
    orb::SetZoneGeometry(z, 4, 64, 64);  // even: off
    z.cells.fill(1);
    orb::ApplyZones(z, p.h);
    EXPECT_EQ(p.At(0, 0)[0], 100);
    z.style = 17;  // above 15: off, and the context's style is reset
    orb::ApplyZones(z, p.h);
    EXPECT_EQ(p.At(0, 0)[0], 100);
    EXPECT_EQ(z.style, 0u);
    z.style = 1;
    Picture other(65, 64, 100);  // another size
    orb::ApplyZones(z, other.h);
    EXPECT_EQ(other.At(0, 0)[0], 100);
    orb::ApplyZones(z, nullptr);
    orb::ApplyZones(z, p.h);
    EXPECT_EQ(p.At(0, 0)[0], 0);
}

TEST(PrivacyZones, RecordBitsAndTheViewsContext) {
    CameraRecord r{};
    r.zoneCells[0] = 0x81;   // cells 0 and 7
    r.zoneCells[127] = 0x80; // cell 1023
    orb::ZoneContext z;
    orb::ExpandZoneCells(z, r);
    EXPECT_EQ(z.cells[0], 1);
    EXPECT_EQ(z.cells[7], 1);
    EXPECT_EQ(z.cells[1], 0);
    EXPECT_EQ(z.cells[1023], 1);
    z.cells[1023] = 0;
    z.cells[32 + 2] = 1;  // row 1, column 2 = cell 34: byte 4, bit 2
    CameraRecord back{};
    orb::PackZoneCells(z, back);
    EXPECT_EQ(back.zoneCells[0], 0x81);
    EXPECT_EQ(back.zoneCells[4], 0x04);
    EXPECT_EQ(back.zoneCells[127], 0);

    // The view builds style and size on its first zoned picture only.
    PanoView view{};
    view.record.zoneCells[0] = 1;
    orb::PrepareViewZones(view);
    Picture p(64, 64, 100), bigger(128, 64, 100);
    orb::ApplyViewZones(view, p.h);  // style off: nothing, nothing built
    EXPECT_EQ(p.At(0, 63)[0], 100);
    view.record.zoneStyle = 13;
    orb::ApplyViewZones(view, p.h);
    EXPECT_EQ(p.At(0, 63)[0], 12);
    EXPECT_EQ(p.At(2, 63)[0], 100);
    orb::ApplyViewZones(view, bigger.h);  // built for 64 x 64: left alone
    EXPECT_EQ(bigger.At(0, 63)[0], 100);
}
