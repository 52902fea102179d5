// Process-wide library state. The window thread writes it; capture threads only read the
// 32-bit flags.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace orb {

constexpr int kMaxViews = 32;


struct LibraryState {
    int32_t callerId = 4;
    int32_t numViews = 1;
    int32_t multiScreen = 2;
    int32_t showLocation = 1;
    int32_t showTime = 1;
    int32_t lockScreen = 0;
    int32_t protect = 0;
    int32_t speed = 0;
    int32_t background = 0;
    int32_t fullScreen = 0;
    int32_t mouseInvert = 0;
    int32_t recording = 0;
    int32_t packFlag = 0;
    std::array<int32_t, 44> hostOptions{};
    std::string systemDriveRoot;
    std::string systemDriveText;
};

extern LibraryState g_lib;

}  // namespace orb
