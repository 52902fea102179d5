#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "analysis/mask_fixture.h"
#include "analysis/motion_view.h"
#include "analysis/pictures.h"
#include "platform/base64.h"
#include "ui/panoview.h"
#include "support/test_support.h"
#include "ui/mask_editor.h"

using analysistest::Header;
using analysistest::kMac;
using analysistest::MaskView;
using analysistest::Picture;
using analysistest::SetKey;

TEST(MaskEditor, BandsCoverTheBlocksTheyTouch) {
    MaskView v;
    Picture p(640, 480, 100);
    orb::MaskEditor e;
    EXPECT_FALSE(orb::MaskEditorIsOpen());
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    EXPECT_TRUE(orb::MaskEditorIsOpen());
    EXPECT_EQ(e.bw, 80);
    EXPECT_EQ(e.bh, 60);
    auto marked = [&] {
        std::vector<int> out;
        for (size_t i = 0; i < e.mask.size(); ++i)
            if (e.mask[i]) out.push_back(static_cast<int>(i));
        return out;
    };
    // Inside one block: that block only.
    orb::MaskEditorButtonDown(e, 12, 12, true);
    EXPECT_EQ(e.band.colour(), 0xFF0000u);
    EXPECT_TRUE(orb::MaskEditorMouseMove(e, 12, 13));
    orb::MaskEditorButtonUp(e, 12, 12);
    EXPECT_EQ(marked(), (std::vector<int>{81}));
    // Ending 3 pixels short of the next boundary reaches into that block; starting within
    // 4 pixels of the previous boundary reaches back.
    orb::ClearMask(e);
    orb::ApplyMaskBand(e, 12, 12, 13, 12, 1);
    EXPECT_EQ(marked(), (std::vector<int>{81, 82}));
    orb::ClearMask(e);
    orb::ApplyMaskBand(e, 11, 12, 12, 12, 1);
    EXPECT_EQ(marked(), (std::vector<int>{80, 81}));
    // Right button includes again; the band is green.
    orb::ApplyMaskBand(e, 0, 0, 639, 479, 1);
    orb::MaskEditorButtonDown(e, 639, 479, false);
    EXPECT_EQ(e.band.colour(), 0x00FF00u);
    orb::MaskEditorButtonUp(e, 636, 476);
    EXPECT_EQ(marked().size(), 4800u - 1u);
    EXPECT_EQ(e.mask[4799], 0);
    orb::InvertMask(e);
    EXPECT_EQ(marked(), (std::vector<int>{4799}));
    orb::CloseMaskEditor(e);
    EXPECT_FALSE(orb::MaskEditorIsOpen());
    EXPECT_EQ(e.source, nullptr);

    // Screen coordinates are scaled to the picture with rounding: on a 1280 x 960 screen,
    // x = 25 is picture pixel 12.5 -> 13, which reaches into block 2.
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 1280, 960));
    orb::ApplyMaskBand(e, 24, 24, 25, 24, 1);
    EXPECT_EQ(marked(), (std::vector<int>{81, 82}));
    orb::CloseMaskEditor(e);
}

TEST(MaskEditor, PreviewTintsExcludedBlocks) {
    MaskView v;
    Picture p(64, 36, 0);  // 8 x 5 blocks; the top band (memory rows 32..35) is short
    p.Fill(0, 0, 64, 36, 0);
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 64; ++x) p.Set(x, y, 100, 150, 200);
    orb::MaskEditor e;
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 64, 36));
    e.mask[0 * 8 + 1] = 1;  // top band, second column
    orb::RenderMaskPreview(e);
    {
        orb::DibLock prev(e.preview);
        auto px = [&](int x, int y) { return prev.bits() + y * prev.rowBytes() + x * 3; };
        EXPECT_EQ(px(8, 35)[0], 50);
        EXPECT_EQ(px(8, 35)[1], 75);
        EXPECT_EQ(px(8, 35)[2], 228);
        EXPECT_EQ(px(15, 32)[2], 228);
        EXPECT_EQ(px(15, 31)[2], 200);
        EXPECT_EQ(px(7, 35)[2], 200);
    }
    EXPECT_EQ(p.At(8, 35)[2], 200);  // the camera's picture is untouched
    orb::CloseMaskEditor(e);
}

TEST(MaskEditor, SensitivityAndOpenConditions) {
    MaskView v;
    Picture p(640, 480, 100);
    orb::MaskEditor e;
    v.view.record.motionSensitivity = 3;  // valid for the detector, not for the editor
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    EXPECT_EQ(v.view.record.motionSensitivity, 15);
    EXPECT_EQ(e.sensitivity, 15);
    orb::SetMaskSensitivity(e, 90);
    EXPECT_EQ(e.sensitivity, 80);
    orb::SetMaskSensitivity(e, 1);
    EXPECT_EQ(e.sensitivity, 5);
    orb::SetMaskSensitivity(e, 33);
    orb::CloseMaskEditor(e);  // Cancel: nothing stored
    EXPECT_EQ(v.view.record.motionSensitivity, 15);
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    orb::SetMaskSensitivity(e, 33);
    orb::ResetMaskSensitivity(e);
    EXPECT_EQ(e.sensitivity, 15);
    orb::SetMaskSensitivity(e, 33);
    EXPECT_TRUE(orb::MaskEditorOk(e, v.view));
    EXPECT_EQ(v.view.record.motionSensitivity, 33);
    EXPECT_FALSE(orb::MaskEditorIsOpen());

    // No detector (motion detection off) or no picture: the editor does not open.
    orb::SetMotionDetection(v.view, false);
    EXPECT_FALSE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    orb::SetMotionDetection(v.view, true);
    EXPECT_FALSE(orb::OpenMaskEditor(e, v.view, nullptr, 640, 480));
    EXPECT_FALSE(orb::MaskEditorIsOpen());
}

TEST(MaskEditor, SaveWritesTheFileAndHandsTheMaskToTheDetector) {
    MaskView v;
    Picture p(640, 480, 50);
    orb::MaskEditor e;
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    // Exclude the bottom-left block as displayed: mask row 59, column 0.
    orb::ApplyMaskBand(e, 2, 476, 3, 478, 1);
    ASSERT_EQ(e.mask[59 * 80], 1);
    ASSERT_TRUE(orb::MaskEditorOk(e, v.view));
    auto bytes = orbtest::ReadFile(v.file());
    std::vector<uint8_t> expected = Header(42, 640, 480, 80, 60);
    expected.resize(20 + 4800, 0);
    expected[20 + 59 * 80] = 1;
    EXPECT_EQ(bytes, expected);
    auto mask = orb::CurrentMotionMask(*v.view.motionZones.detector);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->header.height, 480);

    // The detector now ignores motion there (memory band 0, column 0) but not next to it.
    orb::MotionState& m = *v.view.motionZones.detector;
    EXPECT_EQ(orb::ProcessMotionPicture(m, p.h), orb::kMotionLearned);
    p.Fill(0, 0, 8, 8, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(m, p.h), orb::kMotionNone);
    p.Fill(0, 0, 8, 8, 50);
    p.Fill(16, 0, 24, 8, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(m, p.h), orb::kMotionSeen);

    // The next detector finds the file; a mask reopened in the editor shows it.
    orb::StartMotionDetector(v.view);
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    EXPECT_EQ(e.mask[59 * 80], 1);
    // Saving an all-clear mask deletes the file and drops the detector's mask.
    orb::ClearMask(e);
    ASSERT_TRUE(orb::MaskEditorOk(e, v.view));
    EXPECT_FALSE(std::filesystem::exists(v.file()));
    EXPECT_EQ(orb::CurrentMotionMask(*v.view.motionZones.detector), nullptr);
    orb::StartMotionDetector(v.view);
    EXPECT_EQ(orb::CurrentMotionMask(*v.view.motionZones.detector), nullptr);

    // A mask for 640 x 480 is not applied to 704 x 480 pictures.
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    orb::ApplyMaskBand(e, 0, 0, 639, 479, 1);
    ASSERT_TRUE(orb::MaskEditorOk(e, v.view));
    orb::StartMotionDetector(v.view);
    Picture wide(704, 480, 50);
    EXPECT_EQ(orb::ProcessMotionPicture(*v.view.motionZones.detector, wide.h), orb::kMotionLearned);
    EXPECT_EQ(orb::CurrentMotionMask(*v.view.motionZones.detector), nullptr);
    wide.Fill(0, 0, 8, 8, 200);
    EXPECT_EQ(orb::ProcessMotionPicture(*v.view.motionZones.detector, wide.h), orb::kMotionSeen);
}

TEST(MaskEditor, WriteFailureKeepsTheDetectorsMask) {
    MaskView v;
    Picture p(640, 480, 50);
    orb::MaskEditor e;
    auto old = std::make_shared<orb::MotionMask>();
    old->header = {42, 640, 480, 80, 60};
    old->bytes.assign(82 * 62, 0);
    orb::ReplaceMotionMask(*v.view.motionZones.detector, old);
    // The file's place is taken by a folder: the file cannot be created.
    std::filesystem::create_directories(v.file());
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    orb::ApplyMaskBand(e, 0, 0, 10, 10, 1);
    EXPECT_FALSE(orb::MaskEditorOk(e, v.view));
    EXPECT_EQ(orb::CurrentMotionMask(*v.view.motionZones.detector), old);
    // No key: no file, and an excluded block cannot be saved.
    SetKey(v.view.record, "");
    ASSERT_TRUE(orb::OpenMaskEditor(e, v.view, p.h, 640, 480));
    orb::ApplyMaskBand(e, 0, 0, 10, 10, 1);
    EXPECT_FALSE(orb::SaveMotionMask(e, v.view));
    orb::CloseMaskEditor(e);
}
