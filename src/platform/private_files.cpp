#include "platform/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace orb {

mode_t CurrentUmask() {
    // Linux shows it in the status file; elsewhere the set-and-restore fallback is serialised
    // against itself (the moment between the two calls is tiny).
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        mode_t mask = 0;
        bool found = false;
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
                found = true;
                break;
            }
        }
        std::fclose(f);
        if (found) return mask & 0777;
    }
    static std::mutex lock;
    std::lock_guard guard(lock);
    const mode_t mask = ::umask(077);
    ::umask(mask);
    return mask & 0777;
}

namespace {
// The group share: only when the umask leaves group write open, and only what it allows.
mode_t GroupShare(mode_t groupBits) {
    const mode_t mask = CurrentUmask();
    if (mask & S_IWGRP) return 0;
    return groupBits & ~mask;
}
}  // namespace

mode_t PrivateFileMode() { return S_IRUSR | S_IWUSR | GroupShare(S_IRGRP | S_IWGRP); }
mode_t PrivateDirMode() { return S_IRWXU | GroupShare(S_IRWXG); }

FILE* OpenFile(const char* path, const char* mode) {
    if (!path || !*path || !mode || !*mode) return nullptr;
    int flags = 0;
    bool plus = false, excl = false;
    for (const char* m = mode + 1; *m; ++m) {
        if (*m == '+') plus = true;
        if (*m == 'x') excl = true;
    }
    switch (mode[0]) {
        case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
        case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
        case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
        default: errno = EINVAL; return nullptr;
    }
    if (excl && (flags & O_CREAT)) flags |= O_EXCL;
    const int fd = ::open(path, flags | O_CLOEXEC, PrivateFileMode());
    if (fd < 0) return nullptr;
    // fdopen takes the mode without "x"; "e" is meaningless once the descriptor has it.
    char plain[4] = {mode[0], 0, 0, 0};
    if (plus) plain[1] = '+';
    FILE* f = ::fdopen(fd, plain);
    if (!f) ::close(fd);
    return f;
}

bool MakePrivateDir(const char* path) {
    if (!path || !*path) return false;
    if (::mkdir(path, PrivateDirMode()) == 0) return true;
    struct stat st {};
    return errno == EEXIST && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace orb
