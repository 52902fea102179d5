// The settings reader and writer on arbitrary file contents.
#include <cstdint>
#include <string>

#include "config/settings.h"
#include "fuzz_support.h"
#include "config/library_state.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = orb::SettingsPath();
    orbfuzz::Home();
    orbfuzz::WriteInput(orb::SettingsPath(), data, size);
    orb::ReadStartupOptions();
    orb::ReadMultiScreen();
    orb::ReadRecordingSwitch();
    orb::WindowPos pos;
    orb::ReadWindowPos("WinPos", pos, 1920, 1080);
    char buf[5];
    orb::GetPrivateProfileString("Panorama", "WinPos", "d", buf, sizeof buf, path);
    // A write keeps the file readable.
    std::string key(reinterpret_cast<const char*>(data), size < 8 ? size : 8);
    for (char& c : key)
        if (c == '=' || c == '\n' || c == '\r' || c == '[' || c == 0) c = 'k';
    if (!key.empty() && key[0] != ';' && key.find_first_not_of(" \t") != std::string::npos) {
        orb::WriteSetting("Fuzz", key.c_str(), "v");
    }
    return 0;
}
