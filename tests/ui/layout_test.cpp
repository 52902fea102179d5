// Tiling of the views and the view-count rules.
#include <gtest/gtest.h>

#include "ui/layout.h"

using namespace orb;

TEST(Layout, SingleAreaGridForEveryCount) {
    const Rect screen{0, 0, 1920, 1080};
    // count, columns, rows
    const int table[][3] = {{2, 2, 1},  {4, 2, 2},  {6, 3, 2},  {9, 3, 3},  {12, 4, 3},
                            {15, 5, 3}, {16, 4, 4}, {20, 5, 4}, {24, 6, 4}};
    for (const auto& row : table) {
        const auto tiles = TileViews(row[0], 2, nullptr, {}, screen);
        ASSERT_EQ(tiles.size(), static_cast<size_t>(row[0])) << row[0];
        const int cw = (1920 / row[1]) & ~3, rh = 1080 / row[2];
        for (int i = 0; i < row[0]; ++i) {
            EXPECT_EQ(tiles[i], (ViewPlacement{0, (i % row[1]) * cw, (i / row[1]) * rh, cw, rh})) << row[0] << " view " << i;
        }
    }
    // 24 views on 1920 x 1080: 320 x 270 each.
    const auto t24 = TileViews(24, 2, nullptr, {}, screen);
    EXPECT_EQ(t24[23], (ViewPlacement{0, 1600, 810, 320, 270}));
    // 6 views on a 1366-pixel screen: 1366 / 3 = 455, cut to 452.
    EXPECT_EQ(TileViews(6, 2, nullptr, {}, {0, 0, 1366, 768})[1].width, 452);
    EXPECT_EQ(TileViews(6, 2, nullptr, {}, {0, 0, 1366, 768})[1].left, 452);
    // One view: the client area, rounded up to even sizes.
    EXPECT_EQ(TileViews(1, 2, nullptr, {0, 0, 801, 601}, screen)[0], (ViewPlacement{0, 0, 0, 802, 602}));
    EXPECT_EQ(TileViews(1, 2, nullptr, {0, 0, 800, 600}, screen)[0], (ViewPlacement{0, 0, 0, 800, 600}));
    // Counts without a grid tile nothing.
    EXPECT_TRUE(TileViews(7, 2, nullptr, {}, screen).empty());
    EXPECT_TRUE(TileViews(32, 2, nullptr, {}, screen).empty());
}

TEST(Layout, HostRectanglesAndTwoScreens) {
    const Rect rects[2] = {{0, 0, 1280, 1024}, {1280, 0, 3200, 1080}};
    // Mode 2 tiles the first rectangle, mode 0 the second (from the main window's corner).
    EXPECT_EQ(TileViews(4, 2, rects, {}, {0, 0, 99, 99})[3], (ViewPlacement{0, 640, 512, 640, 512}));
    EXPECT_EQ(TileViews(4, 0, rects, {}, {0, 0, 99, 99})[3], (ViewPlacement{0, 960, 540, 960, 540}));

    // 12 views on two screens: 0-5 on the first in 3 x 2, 6-11 on the second.
    const auto t = TileViews(12, 1, rects, {}, {});
    ASSERT_EQ(t.size(), 12u);
    const int cw1 = (1280 / 3) & ~3, rh1 = 512, cw2 = 640, rh2 = 540;
    EXPECT_EQ(cw1, 424);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(t[i], (ViewPlacement{0, (i % 3) * cw1, (i / 3) * rh1, cw1, rh1}));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(t[6 + i], (ViewPlacement{1, 1280 + (i % 3) * cw2, (i / 3) * rh2, cw2, rh2}));

    const int per[][3] = {{2, 1, 1}, {8, 2, 2}, {12, 3, 2}, {18, 3, 3}, {24, 4, 3}, {32, 4, 4}};
    for (const auto& row : per) {
        const auto tiles = TileViews(row[0], 1, rects, {}, {});
        ASSERT_EQ(tiles.size(), static_cast<size_t>(row[0]));
        EXPECT_EQ(tiles[row[0] / 2 - 1].screen, 0);
        EXPECT_EQ(tiles[row[0] / 2].screen, 1);
        EXPECT_EQ(tiles[row[0] / 2].left, 1280);
        EXPECT_EQ(tiles.back().width, (1920 / row[1]) & ~3);
        EXPECT_EQ(tiles.back().height, 1080 / row[2]);
    }
    // A second screen above-left of the first lies at negative coordinates.
    const Rect above[2] = {{100, 200, 1100, 1000}, {0, 0, 100, 200}};
    EXPECT_EQ(TileViews(2, 1, above, {}, {})[1], (ViewPlacement{1, -100, -200, 100, 200}));
}

TEST(Layout, ViewCountNormalisation) {
    // Without rectangles (or not in two-screen mode).
    const int single[][2] = {{1, 1},  {2, 2},   {3, 4},   {4, 4},   {5, 4},   {6, 6},  {7, 4},  {8, 9},
                             {9, 9},  {10, 4},  {12, 12}, {15, 15}, {16, 16}, {18, 12}, {20, 20}, {24, 24},
                             {32, 24}, {0, 4},  {-3, 4},  {33, 4},  {100, 4}};
    for (const auto& r : single) {
        EXPECT_EQ(NormaliseViewCount(r[0], false, 1), r[1]) << r[0];
        EXPECT_EQ(NormaliseViewCount(r[0], true, 2), r[1]) << r[0];
        EXPECT_EQ(NormaliseViewCount(r[0], true, 0), r[1]) << r[0];
    }
    const int two[][2] = {{2, 2},   {8, 8},   {18, 18}, {32, 32}, {4, 8},  {6, 8},  {9, 12}, {12, 12},
                          {15, 18}, {16, 18}, {20, 24}, {24, 24}, {7, 2},  {1, 2},  {0, 2},  {33, 2}};
    for (const auto& r : two) EXPECT_EQ(NormaliseViewCount(r[0], true, 1), r[1]) << r[0];
    // Every normalised count has a grid.
    for (int n = -1; n <= 40; ++n) {
        int c, rw;
        EXPECT_TRUE(SingleAreaGrid(NormaliseViewCount(n, false, 2), c, rw));
        EXPECT_TRUE(TwoScreenGrid(NormaliseViewCount(n, true, 1), c, rw));
    }
}
