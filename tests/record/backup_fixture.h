// A temporary home with a recording disk and a backup folder, and the files the backup
// tests copy: what the copying tests and the backup dialog's tests start from.
#pragma once
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/msgbox.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace backuptest {

inline std::vector<uint8_t> Pattern(size_t n, int seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 7 + seed) & 0xFF);
    return v;
}

inline bool Exists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

struct BackupWorld {
    orbtest::TempHome home;
    std::string disk, backup;
    BackupWorld() {
        disk = home.path("disk") + "/";
        backup = home.path("backup") + "/";
        orb::MakeDirs(disk);
        orb::MakeDirs(backup);
        orb::TakeMessages();
    }
};

}  // namespace backuptest
