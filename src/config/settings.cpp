#include "config/settings.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/library_state.h"
#include "orbiscope.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace orb {

std::string SettingsPath() { return SystemFile("orbiscfg.ini"); }

const char* CallerSection(int callerId) {
    switch (callerId) {
        case 1: return "PCCTV";
        case 2: return "WCCTV";
        case 4: return "SCCTV";
        default: return "CCTV";
    }
}

const char* CurrentCallerSection() { return CallerSection(g_lib.callerId); }

std::string ReadSetting(const char* section, const char* key, const char* def, size_t bufSize) {
    return ProfileString(section, key, def, bufSize, SettingsPath());
}

int ReadSettingInt(const char* section, const char* key, const char* def, size_t bufSize) {
    return std::atoi(ReadSetting(section, key, def, bufSize).c_str());
}

bool WriteSetting(const char* section, const char* key, const std::string& value) {
    return WritePrivateProfileString(section, key, value.c_str(), SettingsPath());
}

bool WriteSettingInt(const char* section, const char* key, int value) {
    return WriteSetting(section, key, std::to_string(value));
}

bool WriteSettingFlag(const char* section, const char* key, bool on) { return WriteSetting(section, key, on ? "1" : "0"); }

namespace {
// A flag whose default is 1: an empty or missing value reads as 1.
int ReadFlagDefaultOne(const char* section, const char* key, size_t bufSize) {
    const std::string v = ReadSetting(section, key, "", bufSize);
    return v.empty() ? 1 : std::atoi(v.c_str());
}
}  // namespace

void ReadDisplayOptions() {
    g_lib.showLocation = ReadFlagDefaultOne(CurrentCallerSection(), "ShowLocation", 20);
    g_lib.showTime = ReadFlagDefaultOne(CurrentCallerSection(), "ShowTime", 50);
}

bool WriteDisplayOptions() {
    WriteSettingFlag(CurrentCallerSection(), "ShowLocation", g_lib.showLocation != 0);
    return WriteSettingFlag(CurrentCallerSection(), "ShowTime", g_lib.showTime != 0);
}

void ReadStartupOptions() {
    const int speed = ReadSettingInt("DVR", "Speed", "0");
    g_lib.speed = (speed < 0 || speed > 4) ? 0 : speed;
    g_lib.showLocation = ReadFlagDefaultOne(CurrentCallerSection(), "ShowLocation", 20);
    g_lib.lockScreen = ReadSettingInt(CurrentCallerSection(), "LockScreen", "0");
    g_lib.showTime = ReadFlagDefaultOne(CurrentCallerSection(), "ShowTime", 50);
    g_lib.protect = ReadSettingInt("DVR", "Protected", "0");
}

int ReadBackground() { return ReadSettingInt("Panorama", "Background", "0") == 1 ? 1 : 0; }

int ReadMultiScreen() {
    const int m = ReadSettingInt("Panorama", "MultiScreen", "2");
    return (m == 0 || m == 1 || m == 2) ? m : 2;
}

int ReadFullScreen() {
    const char* key = g_lib.callerId == 1 ? "PackFullScreen" : "FullScreen";
    const std::string v = ReadSetting("Panorama", key, "");
    if (!v.empty()) g_lib.fullScreen = std::atoi(v.c_str());
    return g_lib.fullScreen;
}

int ReadMouseInvert() {
    g_lib.mouseInvert = ReadSettingInt("Orbiscope", "MouseInvert", "0");
    return g_lib.mouseInvert;
}

bool WriteMouseInvert(int on) {
    g_lib.mouseInvert = on ? 1 : 0;
    return WriteSettingFlag("Orbiscope", "MouseInvert", on != 0);
}

int ReadRecordingSwitch() {
    int flag = 1;
    const std::string v = ReadSetting(CurrentCallerSection(), "DVR", "", 50);
    if (!v.empty()) {
        const int n = std::atoi(v.c_str());
        if (n < 2) flag = n;
    }
    return flag;
}

int ReadMotionBlock() { return ReadSettingInt(CurrentCallerSection(), "MotionBlock", "1", 50); }

bool ReadWindowPos(const char* key, WindowPos& pos, int screenWidth, int screenHeight) {
    std::string v = ReadSetting("Panorama", key, "", 256);
    std::vector<int> n;
    char* save = nullptr;
    for (char* tok = strtok_r(v.data(), " ,", &save); tok && n.size() < 5; tok = strtok_r(nullptr, " ,", &save))
        n.push_back(std::atoi(tok));
    if (n.size() < 5) return false;
    WindowPos p{n[0], n[1], n[2], n[3], n[4]};
    if (p.width == 0 || p.height == 0 || p.left > screenWidth - 10 || p.top > screenHeight - 10 ||
        p.height > screenHeight + 100 || p.width > screenWidth + 100)
        return false;
    pos = p;
    return true;
}

bool WriteWindowPos(const char* key, const WindowPos& p) {
    char text[128];
    std::snprintf(text, sizeof text, "%d , %d , %d , %d , %d", p.left, p.top, p.width, p.height, p.maximised);
    return WriteSetting("Panorama", key, text);
}

std::string ViewKeyName(int viewIndex) { return "CCTV" + std::to_string(viewIndex); }

std::string EmptyViewMark() {
    char text[32];
    std::snprintf(text, sizeof text, "%d, %d", -1, -1);
    return text;
}

}  // namespace orb

extern "C" {

int32_t GetSettings(int32_t** showTime, int32_t** showLocation, int32_t writeFlag) {
    if (writeFlag == 0) {
        if (showTime) *showTime = &orb::g_lib.showTime;
        if (showLocation) *showLocation = &orb::g_lib.showLocation;
        return 1;
    }
    return orb::WriteDisplayOptions() ? 1 : 0;
}

}
