#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/pictures.h"
#include "ui/panoview.h"

using analysistest::Picture;

namespace {

struct Detector {
    PanoView view{};
    orb::MotionState m;
    explicit Detector(int32_t sensitivity = 15) {
        view.record.motionSensitivity = sensitivity;
        orb::InitMotionState(m, &view, &view.record);
    }
    ~Detector() { orb::ReleaseMotionState(m); }
    uint8_t Background(int band, int col) const { return m.background[static_cast<size_t>(band) * m.bw + col]; }
    uint8_t Result(int band, int col) const { return m.result[static_cast<size_t>(band) * m.bw + col]; }
    // The marked blocks, one string per band: '#' marked, '.' not.
    std::vector<std::string> Marked() const {
        std::vector<std::string> rows;
        for (int r = 0; r < m.bh; ++r) {
            std::string s;
            for (int c = 0; c < m.bw; ++c) s += Result(r, c) ? '#' : '.';
            rows.push_back(s);
        }
        return rows;
    }
};

struct MotionBlockFlag {
    int32_t saved = gfMotionBlock;
    explicit MotionBlockFlag(int32_t v) { gfMotionBlock = v; }
    ~MotionBlockFlag() { gfMotionBlock = saved; }
};

std::vector<std::pair<int, std::string>> g_status;
void RecordStatus(orb::AnalysisView*, int line, const char* text) { g_status.emplace_back(line, text); }

}  // namespace

TEST(MotionDetector, BlockMeansUseTheGridAndPartialBlocks) {
    // 101 x 20: 13 block columns, the last over 5 pixel columns; bands of 8, 8 and 4 rows.
    Picture p(101, 20, 0);
    p.Fill(96, 0, 101, 8, 80);    // last column of band 0: mean 80 (not 50)
    p.Fill(0, 16, 8, 20, 40);     // first block of the short band: mean 40
    p.Fill(8, 0, 12, 8, 200);     // half a block: mean 100
    p.Set(16, 0, 0, 0, 255);      // Y = (2 * 255) >> 3 = 63; block mean 63 / 64 = 0
    p.Set(24, 0, 255, 0, 0);      // Y = 255 >> 3 = 31 -> 0
    p.Fill(32, 8, 40, 16, 0);
    for (int y = 8; y < 16; ++y)
        for (int x = 32; x < 40; ++x) p.Set(x, y, 0, 255, 0);  // Y = (5 * 255) >> 3 = 159
    orb::DibLock lock(p.h);
    std::vector<uint8_t> map(13 * 3);
    std::vector<uint32_t> sums(13);
    orb::ComputeBlockMeans(lock.bits(), 101, 20, lock.rowBytes(), map.data(), sums.data());
    EXPECT_EQ(map[12], 80);
    EXPECT_EQ(map[2 * 13 + 0], 40);
    EXPECT_EQ(map[1], 100);
    EXPECT_EQ(map[2], 0);
    EXPECT_EQ(map[3], 0);
    EXPECT_EQ(map[13 + 4], 159);
    EXPECT_EQ(map[0], 0);
    EXPECT_EQ(orb::BlockCount(101), 13);
    EXPECT_EQ(orb::BlockCount(96), 12);
    EXPECT_EQ(orb::BlockCount(97), 13);
}

TEST(MotionDetector, BlockMeansOfNoiseMatchPixelByPixelSums) {
    // Random colours, a width with a partial block and an odd number of full blocks.
    const int w = 203, h = 37;
    Picture p(w, h, 0);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            p.Set(x, y, static_cast<uint8_t>(seed >> 8), static_cast<uint8_t>(seed >> 16), static_cast<uint8_t>(seed >> 24));
        }
    const int bw = orb::BlockCount(w), bh = orb::BlockCount(h);
    std::vector<uint8_t> map(static_cast<size_t>(bw) * bh);
    std::vector<uint32_t> sums(bw);
    {
        orb::DibLock lock(p.h);
        orb::ComputeBlockMeans(lock.bits(), w, h, lock.rowBytes(), map.data(), sums.data());
    }
    for (int r = 0; r < bh; ++r)
        for (int c = 0; c < bw; ++c) {
            uint32_t sum = 0, n = 0;
            for (int y = r * 8; y < std::min(h, r * 8 + 8); ++y)
                for (int x = c * 8; x < std::min(w, c * 8 + 8); ++x, ++n) {
                    const uint8_t* px = p.At(x, y);
                    sum += (px[0] + 5u * px[1] + 2u * px[2]) >> 3;
                }
            ASSERT_EQ(map[static_cast<size_t>(r) * bw + c], sum / n) << r << "," << c;
        }
}

TEST(MotionDetector, SensitivityIsClampedOnConstruction) {
    EXPECT_EQ(Detector(1).view.record.motionSensitivity, 15);
    EXPECT_EQ(Detector(81).view.record.motionSensitivity, 15);
    EXPECT_EQ(Detector(2).view.record.motionSensitivity, 2);
    EXPECT_EQ(Detector(80).m.threshold, 80);
}

TEST(MotionDetector, StillSceneLearnsAndReportsNothing) {
    MotionBlockFlag flag(1);
    Detector d;
    Picture p(64, 48, 90);
    p.Fill(10, 10, 30, 20, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, nullptr), orb::kMotionNone);
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionLearned);
    EXPECT_EQ(d.m.bw, 8);
    EXPECT_EQ(d.m.bh, 6);
    EXPECT_EQ(d.m.stride, 192);
    // The first picture is only learned: nothing is drawn.
    EXPECT_EQ(p.At(0, 0)[2], 90);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionNone);
    EXPECT_EQ(d.m.state.load(), orb::kMotionNone);
    EXPECT_EQ(p.At(0, 0)[2], 90);
}

TEST(MotionDetector, BackgroundLearningAndThreshold) {
    MotionBlockFlag flag(0);
    Detector d(15);
    Picture p(64, 64, 100);
    orb::ProcessMotionPicture(d.m, p.h);
    // Block (0,0) rises by 1: background kept. Block (0,2) rises by 10: background +2, a
    // difference of 9 (no motion). Block (0,4) falls by 10: background -2.
    p.Fill(0, 0, 8, 8, 101);
    p.Fill(16, 0, 24, 8, 110);
    p.Fill(32, 0, 40, 8, 90);
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionNone);
    EXPECT_EQ(d.Background(0, 0), 100);
    EXPECT_EQ(d.Background(0, 2), 102);
    EXPECT_EQ(d.Background(0, 4), 98);
    EXPECT_EQ(d.Background(0, 6), 100);

    // Against a background of 100: a rise of 15 gives a difference of 14 (no motion), 16
    // gives 15 (motion at threshold 15); a fall of 16 likewise.
    auto afterChange = [](uint8_t to) {
        Detector e(15);
        Picture q(64, 64, 100);
        orb::ProcessMotionPicture(e.m, q.h);
        q.Fill(8, 8, 16, 16, to);
        return orb::ProcessMotionPicture(e.m, q.h);
    };
    EXPECT_EQ(afterChange(115), orb::kMotionNone);
    EXPECT_EQ(afterChange(116), orb::kMotionSeen);
    EXPECT_EQ(afterChange(85), orb::kMotionNone);
    EXPECT_EQ(afterChange(84), orb::kMotionSeen);

    // The sensitivity is read from the record on every picture.
    Detector h(15);
    Picture t(64, 64, 100);
    orb::ProcessMotionPicture(h.m, t.h);
    h.view.record.motionSensitivity = 40;
    t.Fill(8, 8, 16, 16, 130);
    EXPECT_EQ(orb::ProcessMotionPicture(h.m, t.h), orb::kMotionNone);
    EXPECT_EQ(h.m.threshold, 40);
}

TEST(MotionDetector, SlowIlluminationIsAbsorbedAtTwoPerPicture) {
    MotionBlockFlag flag(0);
    // +2 per picture: the background keeps up; each difference of 2 counts as 1.
    Detector d;
    Picture p(32, 32, 50);
    orb::ProcessMotionPicture(d.m, p.h);
    for (int n = 1; n <= 60; ++n) {
        p.Fill(0, 0, 32, 32, static_cast<uint8_t>(50 + 2 * n));
        ASSERT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionNone) << n;
    }
    EXPECT_EQ(d.Background(0, 0), 170);
    // +3 per picture: the background falls behind by one per picture; the difference at
    // picture n is n + 2, counted as n + 1, so threshold 15 is reached at picture 14.
    Detector e;
    Picture q(32, 32, 50);
    orb::ProcessMotionPicture(e.m, q.h);
    int first = 0;
    for (int n = 1; n <= 20 && !first; ++n) {
        q.Fill(0, 0, 32, 32, static_cast<uint8_t>(50 + 3 * n));
        if (orb::ProcessMotionPicture(e.m, q.h) == orb::kMotionSeen) first = n;
    }
    EXPECT_EQ(first, 14);
}

TEST(MotionDetector, MovingBlockMarksItsBlockGrownByOne) {
    MotionBlockFlag flag(0);
    Detector d;
    Picture p(64, 40, 50);  // 8 x 5 blocks
    orb::ProcessMotionPicture(d.m, p.h);
    // A block-sized object crossing band 2 one block per picture.
    const std::vector<std::vector<std::string>> expected = {
        {"........", "##......", "##......", "##......", "........"},
        {"........", "###.....", "###.....", "###.....", "........"},
        {"........", ".###....", ".###....", ".###....", "........"},
        {"........", "..###...", "..###...", "..###...", "........"},
    };
    for (int c = 0; c < 4; ++c) {
        p.Fill(0, 0, 64, 40, 50);
        p.Fill(c * 8, 16, c * 8 + 8, 24, 200);
        EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionSeen) << c;
        EXPECT_EQ(d.Marked(), expected[c]) << c;
    }
    // The object stops where it is: it keeps counting until the background has learned it.
    p.Fill(0, 0, 64, 40, 50);
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionNone);
    EXPECT_EQ(d.Marked(), std::vector<std::string>(5, "........"));
}

TEST(MotionDetector, OutlineIsDrawnRoundTheGrownArea) {
    MotionBlockFlag flag(1);
    Detector d;
    Picture p(128, 96, 50);
    orb::ProcessMotionPicture(d.m, p.h);
    p.Fill(40, 40, 48, 48, 200);  // block (5, 5): outline round blocks 4..6, pixels 32..55
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionSeen);
    int red = 0;
    for (int y = 0; y < 96; ++y) {
        for (int x = 0; x < 128; ++x) {
            const bool inside = x >= 32 && x <= 55 && y >= 32 && y <= 55;
            const bool edge = inside && (x == 32 || x == 55 || y == 32 || y == 55);
            const uint8_t* px = p.At(x, y);
            const bool object = x >= 40 && x < 48 && y >= 40 && y < 48;
            const uint8_t grey = object ? 200 : 50;
            ASSERT_EQ(px[2], edge ? 255 : grey) << x << "," << y;
            ASSERT_EQ(px[0], grey);
            ASSERT_EQ(px[1], grey);
            red += edge;
        }
    }
    EXPECT_EQ(red, 4 * 23);

    // At the picture's corner the outline runs along the edges.
    Detector e;
    Picture q(64, 64, 50);
    orb::ProcessMotionPicture(e.m, q.h);
    q.Fill(0, 0, 8, 8, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(e.m, q.h), orb::kMotionSeen);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(q.At(i, 0)[2], 255);
        EXPECT_EQ(q.At(0, i)[2], 255);
        EXPECT_EQ(q.At(i, 15)[2], 255);
        EXPECT_EQ(q.At(15, i)[2], 255);
    }
    EXPECT_EQ(q.At(16, 0)[2], 50);
    EXPECT_EQ(q.At(1, 1)[2], 200);
    EXPECT_EQ(q.At(14, 14)[2], 50);

    // Without the flag the picture is not touched.
    gfMotionBlock = 0;
    Detector f;
    Picture r(64, 64, 50);
    orb::ProcessMotionPicture(f.m, r.h);
    r.Fill(24, 24, 32, 32, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(f.m, r.h), orb::kMotionSeen);
    EXPECT_EQ(r.At(16, 16)[2], 50);
}

TEST(MotionDetector, OutlineOfPartialEdgeBlocks) {
    MotionBlockFlag flag(1);
    Detector d;
    Picture p(100, 100, 50);  // 13 x 13 blocks, the last ones 4 pixels wide and high
    orb::ProcessMotionPicture(d.m, p.h);
    p.Fill(96, 96, 100, 100, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionSeen);
    // Blocks 11..12 in both directions are marked: the outline starts at pixel 88; the far
    // side has no pixel 7 within the last block, so no line is drawn there.
    EXPECT_EQ(p.At(88, 90)[2], 255);
    EXPECT_EQ(p.At(90, 88)[2], 255);
    EXPECT_EQ(p.At(99, 90)[2], 50);
    EXPECT_EQ(p.At(90, 99)[2], 50);
    EXPECT_EQ(p.At(87, 90)[2], 50);
}

TEST(MotionDetector, MaskedBlocksNeverReport) {
    MotionBlockFlag flag(0);
    Detector d;
    Picture p(64, 48, 50);  // 8 x 6 blocks
    orb::ProcessMotionPicture(d.m, p.h);
    // The mask counts bands from the top; memory band 0 is its last row.
    auto mask = std::make_shared<orb::MotionMask>();
    mask->header = {0, 64, 48, 8, 6};
    mask->bytes.assign(10 * 8, 0);
    mask->bytes[5 * 8 + 3] = 1;
    orb::ReplaceMotionMask(d.m, mask);
    for (int i = 0; i < 3; ++i) {
        p.Fill(0, 0, 64, 48, 50);
        p.Fill(24, 0, 32, 8, static_cast<uint8_t>(150 + 40 * i));
        EXPECT_EQ(orb::ProcessMotionPicture(d.m, p.h), orb::kMotionNone);
    }
    // The same block excluded in the wrong row does not hide it.
    Detector e;
    Picture q(64, 48, 50);
    orb::ProcessMotionPicture(e.m, q.h);
    auto wrong = std::make_shared<orb::MotionMask>(*mask);
    wrong->bytes.assign(10 * 8, 0);
    wrong->bytes[3] = 1;
    orb::ReplaceMotionMask(e.m, wrong);
    q.Fill(24, 0, 32, 8, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(e.m, q.h), orb::kMotionSeen);
    // A mask of another grid is not applied.
    Detector f;
    Picture r(64, 48, 50);
    orb::ProcessMotionPicture(f.m, r.h);
    auto other = std::make_shared<orb::MotionMask>();
    other->header = {0, 72, 48, 9, 6};
    other->bytes.assign(11 * 8, 1);
    orb::ReplaceMotionMask(f.m, other);
    r.Fill(24, 0, 32, 8, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(f.m, r.h), orb::kMotionSeen);
}

TEST(MotionDetector, SizeChangeDropsMapsAndMaskThenRelearns) {
    MotionBlockFlag flag(0);
    g_status.clear();
    orb::SetMotionStatusSink(&RecordStatus);
    Detector d;
    Picture a(64, 48, 50), b(72, 48, 50), c(72, 48, 90);
    auto mask = std::make_shared<orb::MotionMask>();
    mask->header = {0, 64, 48, 8, 6};
    mask->bytes.assign(80, 0);
    orb::ReplaceMotionMask(d.m, mask);
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, a.h), orb::kMotionLearned);
    EXPECT_NE(orb::CurrentMotionMask(d.m), nullptr);  // same size: kept
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, b.h), orb::kMotionNone);
    ASSERT_EQ(g_status.size(), 1u);
    EXPECT_EQ(g_status[0].first, 2);
    EXPECT_EQ(g_status[0].second, "Bad Image Size For Motion Detector");
    EXPECT_TRUE(d.m.background.empty());
    EXPECT_EQ(orb::CurrentMotionMask(d.m), nullptr);
    EXPECT_EQ(orb::ProcessMotionPicture(d.m, c.h), orb::kMotionLearned);
    EXPECT_EQ(d.m.width, 72);
    EXPECT_EQ(d.Background(0, 0), 90);

    // A mask made for another size is dropped when the first picture is learned.
    Detector e;
    orb::ReplaceMotionMask(e.m, mask);
    EXPECT_EQ(orb::ProcessMotionPicture(e.m, b.h), orb::kMotionLearned);
    EXPECT_EQ(orb::CurrentMotionMask(e.m), nullptr);
    orb::SetMotionStatusSink(nullptr);

    // Pictures that are not 24-bit are skipped.
    HDIB grey = orb::CreateDIB(64, 48, 8);
    EXPECT_EQ(orb::ProcessMotionPicture(e.m, grey), orb::kMotionNone);
    orb::DestroyDIB(grey);
}

TEST(MotionDetector, ExportedFlag) {
    MotionBlockFlag flag(1);
    EXPECT_EQ(IsMotionBlockEnabled(), 1);
    EXPECT_EQ(EnableMotionBlock(0), 0);
    EXPECT_EQ(IsMotionBlockEnabled(), 0);
}
