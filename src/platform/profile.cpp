#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/paths.h"
#include "platform/private_files.h"
#include "platform/text_case.h"

namespace orb {

namespace {

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::vector<std::string> ReadLines(const std::string& path, bool* exists) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    if (exists) *exists = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// "[name]" lines; returns the trimmed name or false.
bool SectionName(const std::string& line, std::string* name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" lines; comments (";") are never keys.
bool KeyValue(const std::string& line, std::string* key, std::string* value) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';') return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = Trim(t.substr(0, eq));
    if (value) *value = Trim(t.substr(eq + 1));
    return true;
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Serialises writers between processes; readers see either the old or the new file.
struct WriteLock {
    int fd = -1;
    explicit WriteLock(const std::string& path) {
        fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, PrivateFileMode());
        if (fd >= 0) flock(fd, LOCK_EX);
    }
    ~WriteLock() {
        if (fd >= 0) {
            flock(fd, LOCK_UN);
            ::close(fd);
        }
    }
};

size_t CopyOut(const std::string& v, char* buf, size_t size) {
    if (!buf || size == 0) return 0;
    const size_t n = std::min(v.size(), size - 1);
    std::memcpy(buf, v.data(), n);
    buf[n] = 0;
    return n;
}

bool Lookup(const char* section, const char* key, const std::string& path, std::string* out) {
    if (!section || !key) return false;
    std::string current, k, v;
    bool inSection = false;
    for (const std::string& line : ReadLines(path, nullptr)) {
        if (SectionName(line, &current)) {
            inSection = SameTextCaseBlind(current, section);
        } else if (inSection && KeyValue(line, &k, &v) && SameTextCaseBlind(k, key)) {
            *out = Unquote(v);
            return true;
        }
    }
    return false;
}

}  // namespace

size_t GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, size_t size,
                               const std::string& path) {
    std::string value;
    if (!Lookup(section, key, path, &value)) {
        value = def ? std::string(def) : std::string();
        while (!value.empty() && value.back() == ' ') value.pop_back();
    }
    return CopyOut(value, buf, size);
}

int GetPrivateProfileInt(const char* section, const char* key, int def, const std::string& path) {
    std::string value;
    if (!Lookup(section, key, path, &value)) return def;
    return std::atoi(value.c_str());
}

std::string ProfileString(const char* section, const char* key, const char* def, size_t bufSize,
                          const std::string& path) {
    std::vector<char> buf(bufSize ? bufSize : 1);
    const size_t n = GetPrivateProfileString(section, key, def, buf.data(), buf.size(), path);
    return std::string(buf.data(), n);
}

bool ProfileTextAllowed(const char* section, const char* key, const char* value) {
    const auto breaks = [](const char* t) { return t && std::strpbrk(t, "\r\n") != nullptr; };
    if (!section || breaks(section) || breaks(key) || breaks(value)) return false;
    // A section name ends at "]"; a key at "=", and a key that looks like a section or a
    // comment line would not read back as itself.
    if (std::strchr(section, ']')) return false;
    if (key) {
        const std::string k = Trim(key);
        if (k.empty() || k.find('=') != std::string::npos || k[0] == '[' || k[0] == ';') return false;
    }
    return true;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const std::string& path) {
    // One line per key: a text that would break out of its line is refused, not written.
    if (!ProfileTextAllowed(section, key, value)) return false;
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
    WriteLock lock(path);
    std::vector<std::string> lines = ReadLines(path, nullptr);

    // Locate the section and, inside it, the key.
    long sectionLine = -1, sectionEnd = -1, keyLine = -1;
    std::string current, k;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (SectionName(lines[i], &current)) {
            if (sectionLine >= 0 && sectionEnd < 0) sectionEnd = static_cast<long>(i);
            if (sectionLine < 0 && SameTextCaseBlind(current, section)) sectionLine = static_cast<long>(i);
        } else if (sectionLine >= 0 && sectionEnd < 0 && key && keyLine < 0 && KeyValue(lines[i], &k, nullptr) &&
                   SameTextCaseBlind(k, key)) {
            keyLine = static_cast<long>(i);
        }
    }
    if (sectionLine >= 0 && sectionEnd < 0) sectionEnd = static_cast<long>(lines.size());

    if (!key) {  // remove the whole section
        if (sectionLine < 0) return true;
        lines.erase(lines.begin() + sectionLine, lines.begin() + sectionEnd);
    } else if (!value) {  // remove the key
        if (keyLine < 0) return true;
        lines.erase(lines.begin() + keyLine);
    } else {
        const std::string entry = std::string(key) + "=" + value;
        if (keyLine >= 0) {
            // Keep the key as it is spelt in the file.
            std::string existing;
            KeyValue(lines[keyLine], &existing, nullptr);
            lines[keyLine] = existing + "=" + value;
        } else if (sectionLine >= 0) {
            // After the section's last non-blank line.
            long at = sectionEnd;
            while (at - 1 > sectionLine && Trim(lines[at - 1]).empty()) --at;
            lines.insert(lines.begin() + at, entry);
        } else {
            lines.push_back(std::string("[") + section + "]");
            lines.push_back(entry);
        }
    }

    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        // The file may hold a storage command with its password: private to the user.
        FILE* out = OpenFile(tmp.c_str(), "wb");
        if (!out) return false;
        bool ok = true;
        for (const std::string& line : lines) {
            ok = ok && std::fwrite(line.data(), 1, line.size(), out) == line.size();
            ok = ok && std::fputc('\n', out) != EOF;
        }
        ok = (std::fclose(out) == 0) && ok;
        if (!ok) {
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace orb
