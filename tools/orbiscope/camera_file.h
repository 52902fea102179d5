// The host's side of "Config.ure": camera URLs taken apart, records filled in from them,
// and the file's slots read, added, changed and removed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orbhost {

struct CameraUrl {
    std::string host, path = "/", user, password;
    int port = 80;
    bool hasPassword = false;
    bool rtsp = false;  // rtsp:// (port 554 unless given)
};
// "http://[user[:password]@]host[:port][/path?query]" or the same with rtsp:// (the scheme
// may be left out for http); false with a reason when it is no such URL.
bool ParseCameraUrl(const std::string& text, CameraUrl& url, std::string& why);

// Lens words of the command line and the record's lens types.
bool LensTypeOf(const std::string& word, int32_t& type);
std::string LensWord(int32_t type);

using Slot = std::vector<uint8_t>;  // 3000 bytes

// Typed access to a record's fields at their documented places.
int32_t GetInt(const Slot& s, int offset);
void SetInt(Slot& s, int offset, int32_t value);
std::string GetText(const Slot& s, int offset, int size);
bool SetText(Slot& s, int offset, int size, const std::string& text);
double GetDouble(const Slot& s, int offset);
void SetDouble(Slot& s, int offset, double value);

// Fills a record's camera fields from the URL (model, address, port, path, credentials);
// false with a reason when a field cannot hold its value.
bool SetCameraUrl(Slot& s, const CameraUrl& url, int32_t model, std::string& why);
// The URL of a record as the user gave it (without the password).
std::string UrlOf(const Slot& s);
// The model a URL asks for: an rtsp:// URL is the RTSP camera, a snapshot URL (a path
// ending in .jpg or .jpeg) is polled, anything else is taken as a stream.
int32_t ModelForUrl(const CameraUrl& url);

// The folder that holds "Config.ure": $ORBISCOPE_HOME, else the library's own folder.
std::string LibraryFolder();
bool ReadSlots(const std::string& path, std::vector<Slot>& slots);
bool WriteSlots(const std::string& path, const std::vector<Slot>& slots);
// The slot of the camera named `name` (its location text), or -1.
int FindCamera(const std::vector<Slot>& slots, const std::string& name);

}  // namespace orbhost
