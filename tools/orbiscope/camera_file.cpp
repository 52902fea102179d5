#include "orbiscope/camera_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "orbiscope.h"
#include "orbiscope_record.h"

namespace orbhost {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Percent-decoding of the user and password parts of a URL.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Base64(const std::string& text) {
    char out[160] = {};
    EncodeBase64(text.c_str(), out);
    return out;
}

std::string Unbase64(const std::string& text) {
    char out[128] = {};
    DecodeBase64(text.c_str(), out);
    return out;
}

}  // namespace

bool ParseCameraUrl(const std::string& text, CameraUrl& url, std::string& why) {
    url = CameraUrl{};
    std::string rest = text;
    const size_t scheme = rest.find("://");
    if (scheme != std::string::npos) {
        const std::string name = Lower(rest.substr(0, scheme));
        if (name == "https") {
            why = "https is not supported: cameras are reached over plain HTTP";
            return false;
        }
        if (name == "rtsp") {
            url.rtsp = true;
            url.port = 554;
        } else if (name != "http") {
            why = "the URL must start with http:// or rtsp://";
            return false;
        }
        rest = rest.substr(scheme + 3);
    }
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    if (slash != std::string::npos) url.path = rest.substr(slash);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string info = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const size_t colon = info.find(':');
        url.user = Unescape(info.substr(0, colon));
        if (colon != std::string::npos) {
            url.password = Unescape(info.substr(colon + 1));
            url.hasPassword = true;
        }
    }
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        char* end = nullptr;
        const long p = std::strtol(port.c_str(), &end, 10);
        if (port.empty() || *end || p < 2 || p > 65535) {
            why = "the port must be a number from 2 to 65535";
            return false;
        }
        url.port = static_cast<int>(p);
        authority = authority.substr(0, colon);
    }
    url.host = authority;
    if (url.host.empty()) {
        why = "the URL names no camera address";
        return false;
    }
    if (url.path.find_first_of(" \r\n") != std::string::npos) {
        why = "the path may not hold blanks or line ends (write them as %20)";
        return false;
    }
    return true;
}

bool LensTypeOf(const std::string& word, int32_t& type) {
    static const std::pair<const char*, int32_t> kLenses[] = {
        {"normal", 1}, {"fisheye", 2}, {"mirror", 3}, {"convex", 4}, {"annular", 5}, {"180", 8}, {"90", 9}};
    for (const auto& [name, value] : kLenses)
        if (Lower(word) == name) {
            type = value;
            return true;
        }
    return false;
}

std::string LensWord(int32_t type) {
    switch (type) {
    case 1: return "normal";
    case 2: return "fisheye";
    case 3: return "mirror";
    case 4: return "convex";
    case 5: return "annular";
    case 8: return "180";
    case 9: return "90";
    default: return "type " + std::to_string(type);
    }
}

int32_t GetInt(const Slot& s, int offset) {
    int32_t v;
    std::memcpy(&v, s.data() + offset, 4);
    return v;
}
void SetInt(Slot& s, int offset, int32_t value) { std::memcpy(s.data() + offset, &value, 4); }
double GetDouble(const Slot& s, int offset) {
    double v;
    std::memcpy(&v, s.data() + offset, 8);
    return v;
}
void SetDouble(Slot& s, int offset, double value) { std::memcpy(s.data() + offset, &value, 8); }

std::string GetText(const Slot& s, int offset, int size) {
    const char* p = reinterpret_cast<const char*>(s.data() + offset);
    return std::string(p, strnlen(p, static_cast<size_t>(size)));
}

bool SetText(Slot& s, int offset, int size, const std::string& text) {
    if (text.size() >= static_cast<size_t>(size)) return false;
    std::memset(s.data() + offset, 0, static_cast<size_t>(size));
    std::memcpy(s.data() + offset, text.data(), text.size());
    return true;
}

int32_t ModelForUrl(const CameraUrl& url) {
    const std::string path = Lower(url.path.substr(0, url.path.find('?')));
    auto ends = [&](const char* e) {
        const size_t n = std::strlen(e);
        return path.size() >= n && path.compare(path.size() - n, n, e) == 0;
    };
    if (url.rtsp) return ORB_MODEL_RTSP;
    return ends(".jpg") || ends(".jpeg") ? ORB_MODEL_ANY_SNAPSHOT : ORB_MODEL_ANY_STREAM;
}

bool SetCameraUrl(Slot& s, const CameraUrl& url, int32_t model, std::string& why) {
    if (!SetText(s, ORB_REC_ADDRESS, 40, url.host)) {
        why = "the camera's address is longer than 39 characters";
        return false;
    }
    const bool generic = model >= ORB_MODEL_ANY_STREAM && model <= ORB_MODEL_RTSP;
    if ((model == ORB_MODEL_RTSP) != url.rtsp) {
        why = url.rtsp ? "an rtsp:// URL is read by model 403 only" : "model 403 takes an rtsp:// URL";
        return false;
    }
    if (generic && !SetText(s, ORB_REC_URL_PATH, ORB_REC_URL_PATH_MAX + 1, url.path)) {
        why = "the URL's path and query are longer than 135 characters";
        return false;
    }
    // The record holds Base64 texts of at most 19 characters: 14 characters of plain text.
    if (!SetText(s, ORB_REC_ACCOUNT, 20, url.user.empty() ? "" : Base64(url.user)) ||
        !SetText(s, ORB_REC_PASSWORD, 20, url.password.empty() ? "" : Base64(url.password))) {
        why = "the account and the password can be at most 14 characters each";
        return false;
    }
    SetInt(s, ORB_REC_MODEL, model);
    if (url.rtsp) SetInt(s, ORB_REC_RTSP_PORT, url.port);
    else SetInt(s, ORB_REC_HTTP_PORT, url.port);
    return true;
}

std::string UrlOf(const Slot& s) {
    const std::string user = Unbase64(GetText(s, ORB_REC_ACCOUNT, 20));
    const int32_t model = GetInt(s, ORB_REC_MODEL);
    const bool rtsp = model == ORB_MODEL_RTSP;
    std::string url = (rtsp ? "rtsp://" : "http://") + (user.empty() ? "" : user + "@") + GetText(s, ORB_REC_ADDRESS, 40);
    const int port = GetInt(s, rtsp ? ORB_REC_RTSP_PORT : ORB_REC_HTTP_PORT);
    if (port != (rtsp ? 554 : 80)) url += ":" + std::to_string(port);
    if (model >= ORB_MODEL_ANY_STREAM && model <= ORB_MODEL_RTSP) {
        const std::string path = GetText(s, ORB_REC_URL_PATH, ORB_REC_URL_PATH_MAX + 1);
        url += path.empty() || path[0] != '/' ? "/" + path : path;
    }
    return url;
}

std::string LibraryFolder() {
    // The library decides where Config.ure lives ($ORBISCOPE_HOME, its own folder when it
    // keeps one there, else the user's configuration folder); ask it rather than guess.
    const char* folder = OrbiscopeLibraryFolder();
    return folder && *folder ? folder : ".";
}

bool ReadSlots(const std::string& path, std::vector<Slot>& slots) {
    slots.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    for (;;) {
        Slot s(ORB_SLOT_SIZE, 0);
        in.read(reinterpret_cast<char*>(s.data()), ORB_SLOT_SIZE);
        // A last slot without its 16-byte tail still holds a whole record.
        if (in.gcount() < ORB_RECORD_SIZE) break;
        slots.push_back(std::move(s));
    }
    return true;
}

bool WriteSlots(const std::string& path, const std::vector<Slot>& slots) {
    const std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const Slot& s : slots) out.write(reinterpret_cast<const char*>(s.data()), ORB_SLOT_SIZE);
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

int FindCamera(const std::vector<Slot>& slots, const std::string& name) {
    for (size_t i = 0; i < slots.size(); ++i)
        if (GetText(slots[i], ORB_REC_LOCATION, 440) == name) return static_cast<int>(i);
    return -1;
}

}  // namespace orbhost
