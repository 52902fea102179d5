#include "config/camera_record.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "config/presets.h"
#include "config/library_state.h"

namespace orb {

CameraRecord g_defaultRecord;
CameraRecord g_editRecord;
CameraRecord g_createdRecord;
CameraRecord g_chosenRecord;

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    const int64_t p = int64_t{a} * b;
    const int64_t half = (c < 0 ? -int64_t{c} : int64_t{c}) / 2;
    const bool negative = (p < 0) != (c < 0);
    const int64_t mag = ((p < 0 ? -p : p) + half) / (c < 0 ? -int64_t{c} : int64_t{c});
    const int64_t q = negative ? -mag : mag;
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return static_cast<int32_t>(q);
}

void BuildDefaultRecord() {
    CameraRecord& r = g_defaultRecord;
    std::memset(&r, 0, sizeof r);
    SetText(r.address, "192.168.0.22");
    r.httpPort = 80;
    r.secondPort = 554;
    r.lensType = g_lib.callerId == 128 ? kLens180 : kLensFisheye;
    r.effectiveAngle = 60.0;
    r.tiltMax = 0.0;
    r.tiltMin = -90.0;
    r.halfFov = 90.0;
    static constexpr double kLimits[8] = {125.0, -125.0, 90.0, -90.0, 90.0, -90.0, 125.0, -125.0};
    std::memcpy(r.panTiltLimits, kLimits, sizeof kLimits);
    r.perspectiveDistance = 10.0;
    r.alignToolMode = 2;
    r.alignToolOption = 1;
    r.cruiseSpeed = 3;
    r.flipHorizontal = r.flipVertical = 0;

    g_editRecord = r;
    SetText(g_editRecord.name, "Unknown Camera");
    SetText(g_editRecord.location, "Unknown - Camera");
    FillDefaultPresets(g_editRecord);
}

CameraRecord* CreateConfigureRecord(int32_t lensType, int32_t width, int32_t height, const char* name) {
    CameraRecord& r = g_createdRecord;
    r = g_defaultRecord;
    FillDefaultPresets(r);
    r.flipHorizontal = r.flipVertical = 0;
    if (name && *name) {
        char text[96];
        std::snprintf(text, sizeof text, "%.60s_%d_%d", name, width, height);
        SetText(r.name, text);
        SetText(r.location, text);
    }
    r.sourceWidth = width;
    r.sourceHeight = height;
    r.ovalH = MulDiv(width, 480, height);
    r.ovalV = 480;
    r.firstRadius = 240;
    r.secondRadius = 60;
    r.centerX = 320;
    r.centerY = 240;
    r.lensType = lensType;
    return &r;
}

}  // namespace orb

extern "C" CameraRecord* CreateConfigure(int32_t imageType, int32_t width, int32_t height, const char* name) {
    return orb::CreateConfigureRecord(imageType, width, height, name);
}
