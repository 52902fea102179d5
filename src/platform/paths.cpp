#include "platform/paths.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace orb {

namespace {

std::string EnvDir(const char* name) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : std::string();
}

std::string ParentOf(const std::string& path) {
    const auto cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

std::string NormaliseSeparators(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string SystemDir() {
    std::string d = EnvDir("ORBISCOPE_SYSTEM_DIR");
    if (!d.empty()) return d;
    d = EnvDir("XDG_CONFIG_HOME");
    if (!d.empty()) return JoinPath(d, "orbiscope");
    d = EnvDir("HOME");
    if (d.empty()) d = "/tmp";
    return JoinPath(d, ".config/orbiscope");
}

std::string UserDataDir() {
    std::string d = EnvDir("XDG_DATA_HOME");
    if (!d.empty() && d[0] == '/') return JoinPath(d, "orbiscope");  // a relative one does not count
    d = EnvDir("HOME");
    return d.empty() ? std::string() : JoinPath(d, ".local/share/orbiscope");
}

std::string LibraryDir() {
    std::string d = EnvDir("ORBISCOPE_HOME");
    if (!d.empty()) return d;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryDir), &info) && info.dli_fname && info.dli_fname[0] == '/')
        return ParentOf(info.dli_fname);
    // Linked statically into a program: the program's folder.
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = 0;
        return ParentOf(buf);
    }
    return SystemDir();
}

std::string SystemFile(const std::string& name) { return JoinPath(SystemDir(), name); }
std::string LibraryFile(const std::string& name) { return JoinPath(LibraryDir(), name); }

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = ParentOf(path);
    if (parent != path && parent != "." && parent != "/") MakeDirs(parent);
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace orb
