// A private folder for fuzz targets that need their input as a file.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

namespace orbfuzz {

inline const std::string& Home() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/orbfuzz.XXXXXX";
        std::string d = mkdtemp(tmpl) ? tmpl : "/tmp";
        setenv("ORBISCOPE_HOME", d.c_str(), 1);
        setenv("ORBISCOPE_SYSTEM_DIR", d.c_str(), 1);
        return d;
    }();
    return dir;
}

inline void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

}  // namespace orbfuzz
