#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "analysis/mask_fixture.h"
#include "analysis/motion_view.h"
#include "analysis/pictures.h"
#include "platform/base64.h"
#include "ui/panoview.h"
#include "support/test_support.h"

using analysistest::Header;
using analysistest::kMac;
using analysistest::MaskView;
using analysistest::Picture;
using analysistest::SetKey;

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
