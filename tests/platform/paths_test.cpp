// Where the library keeps and finds its files: the user's folders, the library's folder,
// shipped files in the data folders, the snapshot root.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "host/startup.h"
#include "platform/texts.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace orb;

// Sets variables for one test and puts every one it touched back afterwards.
class Env {
public:
    ~Env() {
        for (const auto& [name, value] : saved_) {
            if (value.first) setenv(name.c_str(), value.second.c_str(), 1);
            else unsetenv(name.c_str());
        }
    }
    void Set(const std::string& name, const std::string& value) {
        Save(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Save(name);
        unsetenv(name.c_str());
    }

private:
    void Save(const std::string& name) {
        if (saved_.count(name)) return;
        const char* v = getenv(name.c_str());
        saved_[name] = {v != nullptr, v ? v : ""};
    }
    std::map<std::string, std::pair<bool, std::string>> saved_;
};

bool IsDir(const std::string& p) { return fs::is_directory(p); }

}  // namespace

TEST(Paths, UserFoldersFollowTheDesktopsVariables) {
    orbtest::TempHome t;
    Env env;
    env.Set("HOME", t.dir + "/home");
    env.Unset("XDG_CONFIG_HOME");
    env.Unset("XDG_DATA_HOME");
    EXPECT_EQ(UserConfigDir(), t.dir + "/home/.config/orbiscope");
    EXPECT_EQ(UserDataDir(), t.dir + "/home/.local/share/orbiscope");
    env.Set("XDG_CONFIG_HOME", t.dir + "/cfg");
    env.Set("XDG_DATA_HOME", t.dir + "/data");
    EXPECT_EQ(UserConfigDir(), t.dir + "/cfg/orbiscope");
    EXPECT_EQ(UserDataDir(), t.dir + "/data/orbiscope");
    // A relative value does not count.
    env.Set("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(UserConfigDir(), t.dir + "/home/.config/orbiscope");

    // The settings: $ORBISCOPE_SYSTEM_DIR, else the user's configuration folder.
    env.Set("XDG_CONFIG_HOME", t.dir + "/cfg");
    EXPECT_EQ(SystemDir(), t.dir);
    env.Unset("ORBISCOPE_SYSTEM_DIR");
    EXPECT_EQ(SystemDir(), t.dir + "/cfg/orbiscope");
    EXPECT_EQ(SystemFile("orbiscfg.ini"), t.dir + "/cfg/orbiscope/orbiscfg.ini");
}

TEST(Paths, PicturesFolderIsTheOneTheDesktopNames) {
    orbtest::TempHome t;
    Env env;
    env.Set("HOME", t.dir + "/home");
    env.Set("XDG_CONFIG_HOME", t.dir + "/cfg");
    EXPECT_EQ(UserPicturesDir(), t.dir + "/home/Pictures");
    fs::create_directories(t.dir + "/cfg");
    const std::string dirs = t.dir + "/cfg/user-dirs.dirs";
    orbtest::WriteText(dirs, "# written by the desktop\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(UserPicturesDir(), t.dir + "/home/Bilder");
    orbtest::WriteText(dirs, "XDG_PICTURES_DIR=\"/srv/photos/\"\n");
    EXPECT_EQ(UserPicturesDir(), "/srv/photos");
    // The home folder itself means "no pictures folder"; a broken line is no answer.
    orbtest::WriteText(dirs, "XDG_PICTURES_DIR=\"$HOME/\"\n");
    EXPECT_EQ(UserPicturesDir(), t.dir + "/home/Pictures");
    orbtest::WriteText(dirs, "XDG_PICTURES_DIR=\"$HOME/unterminated\n");
    EXPECT_EQ(UserPicturesDir(), t.dir + "/home/Pictures");

    // A desktop user's snapshots go there; with a system folder of its own, beside that.
    orbtest::WriteText(dirs, "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(SystemDriveText(), t.dir.substr(0, t.dir.find_last_of('/') + 1));
    env.Unset("ORBISCOPE_SYSTEM_DIR");
    EXPECT_EQ(SystemDriveText(), t.dir + "/home/Bilder/Orbiscope/");
}

TEST(Paths, LibraryFolderIsTheHomeElseTheUsersConfigurationFolder) {
    orbtest::TempHome t;
    Env env;
    env.Set("XDG_CONFIG_HOME", t.dir + "/cfg");
    EXPECT_EQ(LibraryDir(), t.dir);
    EXPECT_EQ(LibraryFile("Config.ure"), t.dir + "/Config.ure");
    env.Unset("ORBISCOPE_HOME");
    // The test program's folder is writable but keeps no Config.ure or User.dat of its own.
    const std::string module = ModuleDir();
    ASSERT_TRUE(IsDir(module));
    if (fs::exists(module + "/Config.ure") || fs::exists(module + "/User.dat"))
        GTEST_SKIP() << module << " holds a Config.ure or User.dat of its own";
    EXPECT_EQ(LibraryDir(), t.dir + "/cfg/orbiscope");
    EXPECT_TRUE(IsDir(t.dir + "/cfg/orbiscope"));  // made on first use
    EXPECT_EQ(LibraryFile("User.dat"), t.dir + "/cfg/orbiscope/User.dat");
}

TEST(Paths, ShippedFilesAreFoundInTheDataFolders) {
    orbtest::TempHome t;
    Env env;
    env.Set("XDG_DATA_HOME", t.dir + "/user-data");
    env.Set("XDG_DATA_DIRS", t.dir + "/system-a:relative/ignored:" + t.dir + "/system-b");
    env.Set("XDG_CONFIG_HOME", t.dir + "/cfg");
    fs::create_directories(t.dir + "/system-b/orbiscope");
    orbtest::WriteText(t.dir + "/system-b/orbiscope/shipped.txt", "b");

    // With a home of its own only the home (and the library's installed tree) counts: a
    // missing text resource file stays missing.
    EXPECT_EQ(DataFile("shipped.txt"), t.dir + "/shipped.txt");
    EXPECT_EQ(DataFile(kLanguageFile), t.dir + "/" + kLanguageFile);
    orbtest::WriteText(t.path("shipped.txt"), "home");
    EXPECT_EQ(DataFile("shipped.txt"), t.dir + "/shipped.txt");
    fs::remove(t.path("shipped.txt"));

    env.Unset("ORBISCOPE_HOME");
    // Beside the module (the build folder's copy of the text resource file) ...
    EXPECT_EQ(DataFile(kLanguageFile), ModuleDir() + "/" + kLanguageFile);
    // ... then the system's data folders in order, the user's before them.
    EXPECT_EQ(DataFile("shipped.txt"), t.dir + "/system-b/orbiscope/shipped.txt");
    fs::create_directories(t.dir + "/system-a/orbiscope");
    orbtest::WriteText(t.dir + "/system-a/orbiscope/shipped.txt", "a");
    EXPECT_EQ(DataFile("shipped.txt"), t.dir + "/system-a/orbiscope/shipped.txt");
    fs::create_directories(t.dir + "/user-data/orbiscope");
    orbtest::WriteText(t.dir + "/user-data/orbiscope/shipped.txt", "user");
    EXPECT_EQ(DataFile("shipped.txt"), t.dir + "/user-data/orbiscope/shipped.txt");
    // The library's folder first of all.
    fs::create_directories(t.dir + "/cfg/orbiscope");
    orbtest::WriteText(t.dir + "/cfg/orbiscope/shipped.txt", "mine");
    EXPECT_EQ(DataFile("shipped.txt"), t.dir + "/cfg/orbiscope/shipped.txt");
    // Nowhere: the library-folder path, which the caller finds missing.
    EXPECT_EQ(DataFile("nowhere.txt"), t.dir + "/cfg/orbiscope/nowhere.txt");
    for (const std::string& d : DataDirs()) EXPECT_EQ(d.find("relative"), std::string::npos) << d;
}
