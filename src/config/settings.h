// The settings file orbiscfg.ini: its sections, keys, formats and defaults. Nothing is
// cached; every read goes to the file.
#pragma once
#include <cstddef>
#include <string>

namespace orb {

std::string SettingsPath();

// The per-caller section for a caller ID ("CCTV", "PCCTV", "WCCTV", "SCCTV").
const char* CallerSection(int callerId);
// The section of the current caller ID, looked up at the moment of access.
const char* CurrentCallerSection();

std::string ReadSetting(const char* section, const char* key, const char* def, size_t bufSize = 20);
int ReadSettingInt(const char* section, const char* key, const char* def, size_t bufSize = 20);
bool WriteSetting(const char* section, const char* key, const std::string& value);
bool WriteSettingInt(const char* section, const char* key, int value);
bool WriteSettingFlag(const char* section, const char* key, bool on);

// Display flags ShowLocation and ShowTime (missing keys give 1).
void ReadDisplayOptions();
bool WriteDisplayOptions();  // result of the last write
// Speed, ShowLocation, LockScreen, ShowTime, Protected, in that order.
void ReadStartupOptions();
int ReadBackground();       // 1 or 0
int ReadMultiScreen();      // 0, 1 or 2 (anything else is 2)
int ReadFullScreen();       // "PackFullScreen" for caller ID 1
int ReadMouseInvert();
bool WriteMouseInvert(int on);
int ReadRecordingSwitch();  // per-caller "DVR": 1 unless a value below 2 is present
int ReadMotionBlock();      // per-caller "MotionBlock", default 1

struct WindowPos {
    int left = 0, top = 0, width = 0, height = 0, maximised = 0;
};
// Fails (and the caller uses its default placement) on fewer than five numbers, a zero
// width or height, or a position off the screen.
bool ReadWindowPos(const char* key, WindowPos& pos, int screenWidth, int screenHeight);
bool WriteWindowPos(const char* key, const WindowPos& pos);

// "CCTV%d"
std::string ViewKeyName(int viewIndex);
// The empty-view mark "-1, -1".
std::string EmptyViewMark();

}  // namespace orb
