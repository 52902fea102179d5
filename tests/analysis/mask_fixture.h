// A view with a motion detector and a valid hardware key, and the bytes of a mask file's
// header: what the mask file tests and the mask editor tests start from.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/motion_view.h"
#include "platform/base64.h"
#include "ui/panoview.h"
#include "support/test_support.h"

namespace analysistest {

inline const std::string kMac = "00:1A:2B:3C:4D:5E";

inline void SetKey(CameraRecord& r, const std::string& key) {
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

inline std::vector<uint8_t> Header(int32_t model, int32_t w, int32_t h, int32_t bw, int32_t bh) {
    std::vector<uint8_t> out(20);
    const int32_t v[5] = {model, w, h, bw, bh};
    std::memcpy(out.data(), v, 20);
    return out;
}

}  // namespace analysistest
