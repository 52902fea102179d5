#include "platform/paths.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>
#include <cstdlib>
#include <algorithm>
#include <fstream>

// The installed tree's data folder, absolute and relative to the library's and the
// programs' folders; the build passes the values of its install layout.
#ifndef ORBISCOPE_DATADIR
#define ORBISCOPE_DATADIR "/usr/share/orbiscope"
#endif
#ifndef ORBISCOPE_DATA_FROM_LIBDIR
#define ORBISCOPE_DATA_FROM_LIBDIR "../share/orbiscope"
#endif
#ifndef ORBISCOPE_DATA_FROM_BINDIR
#define ORBISCOPE_DATA_FROM_BINDIR "../share/orbiscope"
#endif

#include "platform/private_files.h"

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

// An XDG base folder: the variable when it holds an absolute path, else the fallback.
std::string XdgDir(const char* variable, const char* underHome) {
    const std::string d = EnvDir(variable);
    if (!d.empty() && d[0] == '/') return d;
    return JoinPath(HomeDir(), underHome);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDir(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "a/b/../c" -> "a/c", so that logged and reported paths read plainly.
std::string Tidy(const std::string& path) {
    std::string out;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        const std::string part = path.substr(i, j - i);
        if (part == "..") {
            const auto cut = out.find_last_of('/');
            out.resize(cut == std::string::npos ? 0 : cut);
        } else if (!part.empty() && part != ".") {
            out += "/" + part;
        }
        i = j + 1;
    }
    return out.empty() ? "/" : out;
}

}  // namespace

std::string HomeDir() {
    std::string d = EnvDir("HOME");
    if (!d.empty()) return d;
    // A service started without HOME still has an account: never fall back to a folder
    // everyone can write to.
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

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

std::string UserConfigDir() { return JoinPath(XdgDir("XDG_CONFIG_HOME", ".config"), "orbiscope"); }

std::string UserDataDir() { return JoinPath(XdgDir("XDG_DATA_HOME", ".local/share"), "orbiscope"); }

std::string UserPicturesDir() {
    const std::string home = HomeDir();
    std::ifstream in(JoinPath(XdgDir("XDG_CONFIG_HOME", ".config"), "user-dirs.dirs"));
    std::string line;
    while (std::getline(in, line)) {
        static const std::string kKey = "XDG_PICTURES_DIR=\"";
        if (line.compare(0, kKey.size(), kKey) != 0) continue;
        std::string v = line.substr(kKey.size());
        const auto end = v.find('"');
        if (end == std::string::npos) break;
        v.resize(end);
        if (v.compare(0, 5, "$HOME") == 0) v = home + v.substr(5);
        while (v.size() > 1 && v.back() == '/') v.pop_back();
        // A folder set to the home folder itself means "none".
        if (!v.empty() && v[0] == '/' && v != home) return v;
        break;
    }
    return JoinPath(home, "Pictures");
}

std::string SystemDir() {
    const std::string d = EnvDir("ORBISCOPE_SYSTEM_DIR");
    return d.empty() ? UserConfigDir() : d;
}

std::string ModuleDir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleDir), &info) && info.dli_fname && info.dli_fname[0] == '/') {
        // The real folder: relative paths from it must not climb out of a linked one.
        const std::string dir = ParentOf(info.dli_fname);
        if (char* real = realpath(dir.c_str(), nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved;
        }
        return dir;
    }
    // Linked statically into a program: the program's folder.
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = 0;
        return ParentOf(buf);
    }
    return {};
}

std::string LibraryDir() {
    std::string d = EnvDir("ORBISCOPE_HOME");
    if (!d.empty()) return d;
    d = ModuleDir();
    if (!d.empty() && access(d.c_str(), W_OK) == 0 &&
        (IsFile(JoinPath(d, "Config.ure")) || IsFile(JoinPath(d, "User.dat"))))
        return d;
    d = UserConfigDir();
    MakeDirs(d);
    return d;
}

std::string SystemFile(const std::string& name) { return JoinPath(SystemDir(), name); }
std::string LibraryFile(const std::string& name) { return JoinPath(LibraryDir(), name); }

std::vector<std::string> DataDirs() {
    std::vector<std::string> dirs;
    const bool ownHome = !EnvDir("ORBISCOPE_HOME").empty();
    const std::string module = ModuleDir();
    if (!module.empty()) {
        // Beside the module only without a home of our own: a build folder holds a copy
        // that must not stand in for a home that lacks the file.
        if (!ownHome) dirs.push_back(module);
        for (const char* rel : {ORBISCOPE_DATA_FROM_LIBDIR, ORBISCOPE_DATA_FROM_BINDIR}) {
            const std::string d = Tidy(JoinPath(module, rel));
            if (IsDir(d) && std::find(dirs.begin(), dirs.end(), d) == dirs.end()) dirs.push_back(d);
        }
    }
    if (ownHome) return dirs;
    std::vector<std::string> more = {ORBISCOPE_DATADIR, UserDataDir()};
    std::string system = EnvDir("XDG_DATA_DIRS");
    if (system.empty()) system = "/usr/local/share:/usr/share";
    for (size_t i = 0; i <= system.size();) {
        size_t j = system.find(':', i);
        if (j == std::string::npos) j = system.size();
        if (j > i && system[i] == '/') more.push_back(JoinPath(system.substr(i, j - i), "orbiscope"));
        i = j + 1;
    }
    for (const std::string& d : more)
        if (IsDir(d) && std::find(dirs.begin(), dirs.end(), d) == dirs.end()) dirs.push_back(d);
    return dirs;
}

std::string DataFile(const std::string& name) {
    const std::string inLibrary = LibraryFile(name);
    if (IsFile(inLibrary)) return inLibrary;
    for (const std::string& d : DataDirs()) {
        const std::string p = JoinPath(d, name);
        if (IsFile(p)) return p;
    }
    return inLibrary;
}

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = ParentOf(path);
    if (parent != path && parent != "." && parent != "/") MakeDirs(parent);
    return MakePrivateDir(path.c_str());
}

std::string SystemDriveText() {
    // A desktop user's snapshots go among their pictures.
    const char* system = std::getenv("ORBISCOPE_SYSTEM_DIR");
    if (!system || !*system) return JoinPath(UserPicturesDir(), "Orbiscope/");
    // Else the system folder's parent, with a trailing "/"; a trailing "/" of the folder
    // itself does not count.
    std::string dir = NormaliseSeparators(system);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const auto cut = dir.find_last_of('/');
    if (cut == std::string::npos) return {};
    return dir.substr(0, cut + 1);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace orb
