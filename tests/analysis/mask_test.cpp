#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "ui/mask_editor.h"
#include "analysis/motion_view.h"
#include "analysis/pictures.h"
#include "platform/base64.h"
#include "ui/panoview.h"
#include "support/test_support.h"

using analysistest::Picture;

namespace {

const std::string kMac = "00:1A:2B:3C:4D:5E";

void SetKey(CameraRecord& r, const std::string& key) {
    std::memset(r.macText, 0, sizeof r.macText);
    std::memcpy(r.macText, key.data(), std::min(key.size(), sizeof r.macText));
}

// A view with a detector and a valid key.
struct MaskView {
    orbtest::TempHome home;
    PanoView view{};
    MaskView() {
        view.record.modelIndex = 42;
        view.record.motionSensitivity = 15;
        SetKey(view.record, orb::Base64Encode(kMac));
        orb::SetMotionDetection(view, true);
    }
    ~MaskView() { orb::StopMotionDetector(view); }
    std::string file() const { return home.path("Temp/" + orb::Base64Encode(kMac)); }
};

std::vector<uint8_t> Header(int32_t model, int32_t w, int32_t h, int32_t bw, int32_t bh) {
    std::vector<uint8_t> out(20);
    const int32_t v[5] = {model, w, h, bw, bh};
    std::memcpy(out.data(), v, 20);
    return out;
}

}  // namespace

TEST(MaskFile, GoldenBytesAndRoundTrip) {
    std::vector<uint8_t> mask(13 * 13, 0);
    mask[0] = 1;
    mask[168] = 1;
    const auto bytes = orb::EncodeMaskFile({7, 100, 100, 13, 13}, mask);
    const std::vector<uint8_t> head = {7, 0, 0, 0, 100, 0, 0, 0, 100, 0, 0, 0, 13, 0, 0, 0, 13, 0, 0, 0};
    ASSERT_EQ(bytes.size(), 20u + 169u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), head);
    EXPECT_EQ(bytes[20], 1);
    EXPECT_EQ(bytes[20 + 168], 1);
    EXPECT_EQ(bytes[21], 0);

    orb::MotionMask m;
    ASSERT_TRUE(orb::ParseMaskFile(bytes, 7, m));
    EXPECT_EQ(m.header.width, 100);
    EXPECT_EQ(m.header.bh, 13);
    EXPECT_EQ(m.bytes.size(), 15u * 15u);
    EXPECT_TRUE(m.excluded(0, 0));
    EXPECT_TRUE(m.excluded(12, 12));
    EXPECT_FALSE(m.excluded(0, 1));

    // Negative model words are written as two's complement.
    const auto neg = orb::EncodeMaskFile({-2, 30000, 640, 3750, 80}, {});
    EXPECT_EQ(std::vector<uint8_t>(neg.begin(), neg.begin() + 8), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0x30, 0x75, 0, 0}));
}

TEST(MaskFile, BadFilesAreRejected) {
    auto file = [](std::vector<uint8_t> head, size_t maskBytes) {
        head.resize(head.size() + maskBytes, 1);
        return head;
    };
    orb::MotionMask m;
    m.header.bw = 99;
    EXPECT_TRUE(orb::ParseMaskFile(file(Header(1, 640, 480, 80, 60), 4800), 1, m));
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, 640, 480, 80, 60), 4800), 2, m));  // other camera model
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, 640, 480, 80, 60), 4799), 1, m));  // short
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, 640, 480, 80, 60), 4801), 1, m));  // long
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, 640, 480, 81, 60), 4860), 1, m));  // wrong grid
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, 640, 480, 80, 59), 4720), 1, m));
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, 99, 480, 13, 60), 780), 1, m));    // too small
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, 640, 30001, 80, 3751), 300080), 1, m));
    EXPECT_FALSE(orb::ParseMaskFile(file(Header(1, -8, 480, 0, 60), 0), 1, m));
    EXPECT_TRUE(orb::ParseMaskFile(file(Header(1, 100, 30000, 13, 3750), 48750), 1, m));
    EXPECT_FALSE(orb::ParseMaskFile(std::vector<uint8_t>(19, 0), 0, m));
    EXPECT_FALSE(orb::ParseMaskFile({}, 0, m));
    EXPECT_EQ(m.header.bh, 3750);  // the last good parse; failures leave it alone
}

TEST(MaskFile, FileNameFollowsTheHardwareKey) {
    orbtest::TempHome home;
    CameraRecord r{};
    SetKey(r, orb::Base64Encode(kMac));
    EXPECT_EQ(orb::MaskFilePath(r), home.path("Temp/" + orb::Base64Encode(kMac)));
    SetKey(r, "");
    EXPECT_EQ(orb::MaskFilePath(r), "");
    SetKey(r, orb::Base64Encode("00:1A:2B:3C:4D:5"));  // 16 characters
    EXPECT_EQ(orb::MaskFilePath(r), "");
    SetKey(r, "../../../../etc/passwd/xxxxxxxx");
    EXPECT_EQ(orb::MaskFilePath(r), "");
}

TEST(MaskFile, DetectorLoadsTheFileOnConstruction) {
    MaskView v;
    EXPECT_EQ(orb::CurrentMotionMask(*v.view.motionZones.detector), nullptr);
    std::vector<uint8_t> bytes = Header(42, 640, 480, 80, 60);
    bytes.resize(20 + 4800, 0);
    bytes[20 + 5] = 1;
    std::filesystem::create_directories(v.home.path("Temp"));
    orbtest::WriteFile(v.file(), bytes);
    orb::StartMotionDetector(v.view);
    auto mask = orb::CurrentMotionMask(*v.view.motionZones.detector);
    ASSERT_NE(mask, nullptr);
    EXPECT_TRUE(mask->excluded(0, 5));
    EXPECT_EQ(v.view.motionZones.detector->maskHeader.width, 640);
    // Changing the record's first word makes the file invalid.
    v.view.record.modelIndex = 43;
    orb::StartMotionDetector(v.view);
    EXPECT_EQ(orb::CurrentMotionMask(*v.view.motionZones.detector), nullptr);
    // A garbled file is ignored.
    v.view.record.modelIndex = 42;
    bytes[12] = 0x7F;
    orbtest::WriteFile(v.file(), bytes);
    orb::StartMotionDetector(v.view);
    EXPECT_EQ(orb::CurrentMotionMask(*v.view.motionZones.detector), nullptr);
    // Switching detection off frees the detector and clears the flag.
    orb::SetMotionDetection(v.view, false);
    EXPECT_EQ(v.view.motionZones.detector, nullptr);
    EXPECT_EQ(v.view.record.motionOn, 0);
}

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
