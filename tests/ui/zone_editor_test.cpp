#include <gtest/gtest.h>

#include "analysis/pictures.h"
#include "analysis/zones.h"
#include "ui/panoview.h"
#include "ui/zone_editor.h"

using analysistest::Picture;

TEST(ZoneEditor, MarkClearStyleAndClose) {
    PanoView view{};
    view.record.zoneStyle = 5;
    view.record.zoneCells[0] = 1;
    orb::PrepareViewZones(view);
    Picture p(640, 480, 100);
    orb::ZoneEditor e;
    ASSERT_TRUE(orb::OpenZoneEditor(e, view, p.h, 1280, 960));
    {  // The preview shows the zones already; the camera's picture does not.
        orb::DibLock prev(e.preview);
        EXPECT_EQ(prev.bits()[479 * 1920], 50);
        EXPECT_EQ(p.At(0, 479)[0], 100);
    }
    // Screen (100, 100)..(140, 50) on 1280 x 960: columns 2..3, rows 1..3.
    orb::ZoneEditorButtonDown(e, 100, 100, true);
    EXPECT_EQ(e.band.colour(), 0xFF0000u);
    orb::ZoneEditorMouseMove(e, 140, 50);
    orb::ZoneEditorButtonUp(e, 140, 50);
    int count = 0;
    for (int i = 0; i < 1024; ++i) count += e.context.cells[i];
    EXPECT_EQ(count, 1 + 6);
    EXPECT_EQ(e.context.cells[1 * 32 + 2], 1);
    EXPECT_EQ(e.context.cells[3 * 32 + 3], 1);
    // Outside the screen is clamped to the grid; the right button clears.
    orb::ZoneEditorButtonDown(e, 5000, 5000, true);
    orb::ZoneEditorButtonUp(e, 1279, 959);
    EXPECT_EQ(e.context.cells[1023], 1);
    orb::ZoneEditorButtonDown(e, -5, -5, false);
    EXPECT_EQ(e.band.colour(), 0x00FF00u);
    orb::ZoneEditorButtonUp(e, 40, 30);  // cell (0, 0)
    EXPECT_EQ(e.context.cells[0], 0);

    // Radio buttons rebuild the style.
    EXPECT_EQ(orb::ZoneStyleFromButtons(true, false, orb::kZoneStrengthFull), 1u);
    EXPECT_EQ(orb::ZoneStyleFromButtons(true, true, orb::kZoneStrengthFull), 3u);
    EXPECT_EQ(orb::ZoneStyleFromButtons(true, true, orb::kZoneStrength2), 7u);
    EXPECT_EQ(orb::ZoneStyleFromButtons(false, false, orb::kZoneStrength4), 8u);
    EXPECT_EQ(orb::ZoneStyleFromButtons(true, false, orb::kZoneStrength8), 13u);
    const orb::ZoneButtons b = orb::ZoneButtonsFromStyle(11);
    EXPECT_EQ(b.onOff, 307);
    EXPECT_EQ(b.shade, 306);
    EXPECT_EQ(b.strength, 302);
    EXPECT_EQ(orb::ZoneButtonsFromStyle(0).onOff, 308);
    orb::SetZoneEditorStyle(e, orb::ZoneStyleFromButtons(true, true, orb::kZoneStrengthFull));
    {
        orb::DibLock prev(e.preview);
        EXPECT_EQ(prev.bits()[(479 - 15) * 1920 + 40 * 3], 255);  // cell (1, 2)
        EXPECT_EQ(prev.bits()[479 * 1920], 100);                  // cell (0, 0) cleared
    }

    // Closing (by OK or Cancel alike) keeps the edits in the view and its record.
    orb::CloseZoneEditor(e, view);
    EXPECT_EQ(view.record.zoneStyle, 3u);
    EXPECT_EQ(view.motionZones.zones.style, 3u);
    EXPECT_EQ(view.record.zoneCells[0], 0);
    EXPECT_EQ(view.record.zoneCells[4], 0x0C);  // cells 34 and 35
    EXPECT_EQ(view.record.zoneCells[127], 0x80);
    EXPECT_EQ(view.motionZones.zones.cells[3 * 32 + 3], 1);
    EXPECT_EQ(e.source, nullptr);
    EXPECT_FALSE(orb::OpenZoneEditor(e, view, nullptr, 1280, 960));
}
