#include "platform/private_files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "config/camera_record.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "platform/paths.h"
#include "record/recorder.h"
#include "record/recording_file.h"
#include "support/test_support.h"

namespace {

using namespace orb;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

struct Umask {
    mode_t saved;
    explicit Umask(mode_t m) : saved(::umask(m)) {}
    ~Umask() { ::umask(saved); }
};

// What the library writes for a user: the settings, User.dat, a recording and its folder.
struct Written {
    std::string settings, user, recording, folder;
};

Written WriteEverything(orbtest::TempHome& home, const std::string& tag) {
    Written w;
    WriteSetting("DVR", "NASConfig", "mount -o password=secret //nas/share /mnt");
    w.settings = SettingsPath();
    WriteUserFile();
    w.user = UserFilePath();
    SetDriveProbe({[] { return std::vector<MountEntry>{}; },
                   [](const std::string&, double& f, double& t) {
                       f = 1e9, t = 1e12;
                       return true;
                   }});
    const std::string root = home.path("disk" + tag);
    MakeDirs(root);
    WriteSetting("DVR", "StorageRoots", root);
    BuildDriveTable();
    w.folder = g_drives.entries[0].folder;
    DvrContext dvr;
    CameraRecord r{};
    w.recording = w.folder + "201105141300Lobby.P360";
    EXPECT_EQ(CreateRecording(dvr, w.recording, r, SystemTime{2011, 5, 6, 14, 13, 0, 0, 0}), 1);
    CloseRecording(dvr);
    SetDriveProbe({});
    g_drives = DriveTable{};
    return w;
}

TEST(PrivateFiles, SettingsPasswordsAndRecordingsAreTheUsersOwn) {
    orbtest::TempHome home;
    {
        // The usual umask would have left every one of them readable by everyone.
        Umask mask(022);
        EXPECT_EQ(CurrentUmask(), 022u);
        const Written w = WriteEverything(home, "a");
        EXPECT_EQ(ModeOf(w.settings), 0600u);
        EXPECT_EQ(ModeOf(w.user), 0600u);
        EXPECT_EQ(ModeOf(w.recording), 0600u);
        EXPECT_EQ(ModeOf(w.folder), 0700u);
    }
    {
        // A user who shares with the group says so in the umask: the group gets what it allows.
        Umask mask(002);
        const Written w = WriteEverything(home, "b");
        EXPECT_EQ(ModeOf(w.settings), 0660u);
        EXPECT_EQ(ModeOf(w.recording), 0660u);
        EXPECT_EQ(ModeOf(w.folder), 0770u);
    }
    {
        Umask mask(027);
        EXPECT_EQ(PrivateFileMode(), 0600u);
        EXPECT_EQ(PrivateDirMode(), 0700u);
    }
    {
        Umask mask(007);
        EXPECT_EQ(PrivateFileMode(), 0660u);
        EXPECT_EQ(PrivateDirMode(), 0770u);
    }
    // A User.dat left readable by everyone is made private when it is written again.
    ::chmod(UserFilePath().c_str(), 0644);
    WriteUserFile();
    EXPECT_EQ(ModeOf(UserFilePath()), 0600u);
    // Every descriptor opened is close-on-exec, and "x" never opens an existing file.
    FILE* f = OpenFile(home.path("x.bin").c_str(), "wb+x");
    ASSERT_NE(f, nullptr);
    EXPECT_NE(::fcntl(::fileno(f), F_GETFD) & FD_CLOEXEC, 0);
    std::fclose(f);
    EXPECT_EQ(OpenFile(home.path("x.bin").c_str(), "wb+x"), nullptr);
}

TEST(PrivateFiles, WithoutHomeTheSettingsStayInTheAccountsHome) {
    orbtest::TempHome home;
    const char* names[] = {"ORBISCOPE_SYSTEM_DIR", "XDG_CONFIG_HOME", "HOME"};
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
        unsetenv(names[i]);
    }
    const passwd* pw = ::getpwuid(::getuid());
    const std::string dir = SystemDir();
    for (int i = 0; i < 3; ++i)
        if (had[i]) setenv(names[i], saved[i].c_str(), 1);
    EXPECT_EQ(dir.rfind("/tmp", 0), std::string::npos) << dir;
    if (pw && pw->pw_dir && pw->pw_dir[0] == '/') {
        EXPECT_EQ(dir, std::string(pw->pw_dir) + "/.config/orbiscope");
    }
}

}  // namespace
