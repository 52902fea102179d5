#include <gtest/gtest.h>

#include <cstring>

#include "config/camera_record.h"
#include "config/library_state.h"
#include "orbiscope.h"

using namespace orb;

namespace {
int32_t I32(const void* rec, size_t off) {
    int32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(rec) + off, 4);
    return v;
}
double F64(const void* rec, size_t off) {
    double v;
    std::memcpy(&v, static_cast<const uint8_t*>(rec) + off, 8);
    return v;
}
const char* Str(const void* rec, size_t off) { return static_cast<const char*>(rec) + off; }
}  // namespace

TEST(CameraRecord, DefaultRecordFieldByField) {
    g_lib.callerId = 4;
    BuildDefaultRecord();
    const CameraRecord& r = g_defaultRecord;
    EXPECT_STREQ(Str(&r, 8), "192.168.0.22");
    EXPECT_EQ(I32(&r, 52), 80);
    EXPECT_EQ(I32(&r, 76), 554);
    EXPECT_EQ(I32(&r, 1968), 2);
    EXPECT_EQ(F64(&r, 1920), 60.0);
    EXPECT_EQ(F64(&r, 1928), 0.0);
    EXPECT_EQ(F64(&r, 1936), -90.0);
    EXPECT_EQ(F64(&r, 1960), 90.0);
    const double limits[8] = {125.0, -125.0, 90.0, -90.0, 90.0, -90.0, 125.0, -125.0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(F64(&r, 2048 + 8 * i), limits[i]);
    EXPECT_EQ(F64(&r, 2160), 10.0);
    EXPECT_EQ(I32(&r, 1364), 2);
    EXPECT_EQ(I32(&r, 1368), 1);
    EXPECT_EQ(I32(&r, 1528), 3);
    EXPECT_EQ(I32(&r, 2008), 0);
    // Everything else is zero.
    CameraRecord zero;
    std::memset(&zero, 0, sizeof zero);
    size_t nonZero = 0;
    for (size_t i = 0; i < sizeof r; ++i) nonZero += reinterpret_cast<const uint8_t*>(&r)[i] != 0;
    EXPECT_LT(nonZero, 100u);
    // The editing copy has the names and the presets.
    EXPECT_STREQ(Str(&g_editRecord, 640), "Unknown Camera");
    EXPECT_STREQ(Str(&g_editRecord, 720), "Unknown - Camera");
    EXPECT_EQ(F64(&g_editRecord, 128 + 32 * 1 + 16), -120.0);  // 360 preset 1 pan
    EXPECT_EQ(F64(&g_editRecord, 128 + 32 * 4 + 8), 90.0);     // 360 preset 4 zoom
    EXPECT_EQ(F64(&g_editRecord, 320 + 32 * 4 + 24), 0.3);     // 180 preset 4 tilt
    EXPECT_EQ(F64(&g_editRecord, 2488 + 8), 80.0);             // perspective preset 0 zoom
    g_lib.callerId = 128;
    BuildDefaultRecord();
    EXPECT_EQ(g_defaultRecord.lensType, 8);
    g_lib.callerId = 4;
    BuildDefaultRecord();
}

TEST(CameraRecord, CreateConfigureFromPictureSize) {
    g_lib.callerId = 4;
    BuildDefaultRecord();
    CameraRecord* r = CreateConfigure(5, 1280, 960, "Lobby");
    ASSERT_EQ(r, &g_createdRecord);
    EXPECT_STREQ(r->name, "Lobby_1280_960");
    EXPECT_STREQ(r->location, "Lobby_1280_960");
    EXPECT_EQ(r->ovalH, 640);
    EXPECT_EQ(r->ovalV, 480);
    EXPECT_EQ(r->firstRadius, 240);
    EXPECT_EQ(r->secondRadius, 60);
    EXPECT_EQ(r->centerX, 320);
    EXPECT_EQ(r->centerY, 240);
    EXPECT_EQ(r->lensType, 5);
    EXPECT_EQ(r->sourceWidth, 1280);
    // MulDiv rounding: 1000 * 480 / 777 = 617.76 -> 618.
    EXPECT_EQ(CreateConfigure(2, 1000, 777, nullptr)->ovalH, 618);
    EXPECT_EQ(MulDiv(7, 1, 2), 4);
    EXPECT_EQ(MulDiv(-7, 1, 2), -4);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    // A 70-character name keeps its first 60.
    const std::string longName(70, 'n');
    r = CreateConfigure(2, 640, 480, longName.c_str());
    EXPECT_EQ(std::string(r->name), std::string(60, 'n') + "_640_480");
}
