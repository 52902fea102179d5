// The installed tree: "cmake --install" into a temporary DESTDIR, then the files a person
// and the desktop use, a tiny C host built through pkg-config against the installed
// library, and a short headless run against the installed fake camera whose recording
// the installed player plays, all from that tree alone. The Debian package's contents are
// checked when one was built (ORBISCOPE_DEB=1 ./test.sh).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/simulated_cameras.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Output {
    int status = -1;
    std::string text;  // stdout and stderr together
};

Output Capture(const std::string& command) {
    Output out;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.text.append(buf, n);
    const int w = ::pclose(p);
    out.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
    return out;
}

// A program started with its standard output on a pipe; stopped by its process id.
struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (out) std::fclose(out);
    }
};

bool Start(Child& c, const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    c.pid = ::fork();
    if (c.pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    c.out = ::fdopen(fds[0], "r");
    return c.pid > 0 && c.out;
}

bool Have(const char* program) { return orbtest::Run(std::string("command -v ") + program + " >/dev/null 2>&1") == 0; }

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The tiny host: "info" starts the library and prints its snapshot root; "record FOLDER
// SECONDS" opens one view and waits until a recording in FOLDER holds three pictures.
constexpr const char* kHostSource = R"(#include <orbiscope.h>
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static int frames_in(const char* folder, char* found, size_t size) {
    DIR* d = opendir(folder);
    struct dirent* e;
    int best = 0;
    if (!d) return 0;
    while ((e = readdir(d)) != NULL) {
        size_t n = strlen(e->d_name);
        char path[4096];
        FILE* f;
        int count = 0;
        if (n < 5 || strcasecmp(e->d_name + n - 5, ".P360") != 0) continue;
        snprintf(path, sizeof path, "%s/%s", folder, e->d_name);
        if ((f = fopen(path, "rb")) == NULL) continue;
        if (fseek(f, 16, SEEK_SET) == 0 && fread(&count, 4, 1, f) == 1 && count > best) {
            best = count;
            snprintf(found, size, "%s", path);
        }
        fclose(f);
    }
    closedir(d);
    return best;
}

int main(int argc, char** argv) {
    void* main_window = NULL;
    void* frame;
    char found[4096] = "";
    time_t end;
    OrbiscopeInit();
    if (argc == 2 && strcmp(argv[1], "info") == 0) {
        printf("snapshots: %s\n", PanoGetSystemDrive());
        printf("cameras: %s\n", OrbiscopeLibraryFolder());
        return 0;
    }
    if (argc != 4 || strcmp(argv[1], "record") != 0) return 2;
    EnableDVRRecording(1);
    frame = RunOrbiscope(NULL, 0, 1, &main_window, 0, NULL, 0, NULL);
    printf("frame: %s\n", frame ? "open" : "none");
    fflush(stdout);
    if (!frame) return 1;
    end = time(NULL) + atoi(argv[3]);
    while (time(NULL) < end) {
        int n = frames_in(argv[2], found, sizeof found);
        if (n >= 3) {
            printf("recorded: %s\n", found);
            fflush(stdout);
            /* Gone as a killed host goes: the recording stays playable. */
            _exit(0);
        }
        usleep(50000);
    }
    printf("nothing recorded\n");
    fflush(stdout);
    _exit(1);
}
)";

class Installed : public ::testing::Test {
protected:
    static std::string root_;     // the temporary folder
    static std::string destdir_;  // root_/dest
    static std::string prefix_;   // destdir_/usr
    static Output install_;

    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/orbiscope-install-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        ASSERT_NE(made, nullptr);
        root_ = made;
        destdir_ = root_ + "/dest";
        prefix_ = destdir_ + "/usr";
        install_ = Capture("DESTDIR=" + Quote(destdir_) + " " + Quote(ORB_CMAKE) + " --install " + Quote(ORB_BINARY_DIR) +
                           " --prefix /usr");
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!root_.empty()) fs::remove_all(root_, ec);
    }
    void SetUp() override { ASSERT_EQ(install_.status, 0) << install_.text; }

    static std::string Lib(const std::string& name) { return prefix_ + "/" + ORB_LIBDIR + "/" + name; }
    static std::string Bin(const std::string& name) { return prefix_ + "/bin/" + name; }
    static std::string Share(const std::string& name) { return prefix_ + "/share/" + name; }

    // The environment of a desktop user whose only Orbiscope is the installed tree.
    static std::string UserEnv(const std::string& user) {
        return "env -u ORBISCOPE_HOME -u ORBISCOPE_SYSTEM_DIR -u ORBISCOPE_DEBUG -u DISPLAY -u WAYLAND_DISPLAY HOME=" +
               Quote(user + "/home") + " XDG_CONFIG_HOME=" + Quote(user + "/config") + " XDG_DATA_HOME=" +
               Quote(user + "/data") + " XDG_DATA_DIRS=" + Quote(user + "/no-system-data") + " ORBISCOPE_HEADLESS=1 ";
    }

    // Builds the tiny C host with the installed pkg-config file; the path of the program.
    static std::string BuildHost(std::string& log) {
        const std::string source = root_ + "/host.c", program = root_ + "/host";
        if (fs::exists(program)) return program;
        orbtest::WriteText(source, kHostSource);
        std::string cc = "cc";
#ifdef ORB_SANITIZED
        cc += " -fsanitize=address,undefined";
#endif
        const std::string pc = "PKG_CONFIG_PATH=" + Quote(Lib("pkgconfig")) + " pkg-config";
        const Output o = Capture(cc + " -std=c99 -D_DEFAULT_SOURCE -Wall -Werror -o " + Quote(program) + " " +
                                 Quote(source) + " $(" + pc + " --cflags --libs orbiscope) -Wl,-rpath,$(" + pc +
                                 " --variable=libdir orbiscope)");
        log = o.text;
        return o.status == 0 ? program : std::string();
    }
};

std::string Installed::root_, Installed::destdir_, Installed::prefix_;
Output Installed::install_;

}  // namespace

TEST_F(Installed, TreeHoldsLibraryHeaderResourceAndDesktopFiles) {
    // The library with its version and the link names a host and the loader use.
    const std::string real = Lib("liborbiscope.so." ORB_VERSION);
    const std::string soname = "liborbiscope.so." ORB_SOVERSION;
    ASSERT_TRUE(fs::is_regular_file(real)) << real;
    EXPECT_EQ(fs::read_symlink(Lib(soname)).string(), "liborbiscope.so." ORB_VERSION);
    EXPECT_EQ(fs::read_symlink(Lib("liborbiscope.so")).string(), soname);
    const Output elf = Capture("readelf -d " + Quote(real));
    EXPECT_NE(elf.text.find("Library soname: [" + soname + "]"), std::string::npos) << elf.text;
    EXPECT_EQ(orbtest::ReadText(prefix_ + "/include/orbiscope.h"), orbtest::ReadText(orbtest::SourcePath("include/orbiscope.h")));
    EXPECT_EQ(orbtest::ReadFile(Share("orbiscope/Halo360Web_003906.r")),
              orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    for (const char* p : {"orbiscope-player", "orbiscope-pack", "orbiscope-dewarp", "orbiscope-fakecam"}) {
        EXPECT_EQ(::access(Bin(p).c_str(), X_OK), 0) << p;
        if (ORB_MAN_PAGES) {
            EXPECT_TRUE(fs::is_regular_file(Share(std::string("man/man1/") + p + ".1.gz"))) << p;
        }
    }
    // pkg-config describes the installed tree wherever it was put.
    const std::string pc = "PKG_CONFIG_PATH=" + Quote(Lib("pkgconfig")) + " pkg-config";
    const Output version = Capture(pc + " --modversion orbiscope");
    EXPECT_EQ(version.text, ORB_VERSION "\n");
    const Output cflags = Capture(pc + " --cflags orbiscope");
    EXPECT_TRUE(fs::equivalent(cflags.text.substr(2, cflags.text.find_last_not_of(" \n") - 1), prefix_ + "/include"))
        << cflags.text;

    // The menu entry, the player's entry with its file types, the icon in the theme.
    ASSERT_TRUE(Have("desktop-file-validate")) << "tools/deps.sh installs desktop-file-utils";
    const std::string host = Share("applications/orbiscope.desktop"), player = Share("applications/orbiscope-player.desktop");
    const Output valid = Capture("desktop-file-validate " + Quote(host) + " " + Quote(player));
    EXPECT_EQ(valid.status, 0) << valid.text;
    EXPECT_EQ(valid.text, "");
    const std::string entry = orbtest::ReadText(host);
    EXPECT_NE(entry.find("\nExec=orbiscope\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=orbiscope\n"), std::string::npos);
    EXPECT_NE(orbtest::ReadText(player).find("\nMimeType=application/x-orbiscope-recording;image/x-orbiscope-snapshot;\n"),
              std::string::npos);
    for (const char* icon : {"scalable/apps/orbiscope.svg", "48x48/apps/orbiscope.png", "256x256/apps/orbiscope.png"})
        EXPECT_TRUE(fs::is_regular_file(Share(std::string("icons/hicolor/") + icon))) << icon;
}

TEST_F(Installed, FileTypesOpenInThePlayer) {
    ASSERT_TRUE(Have("update-mime-database")) << "tools/deps.sh installs shared-mime-info";
    ASSERT_TRUE(fs::is_regular_file(Share("mime/packages/orbiscope.xml")));
    ASSERT_EQ(orbtest::Run("update-mime-database " + Quote(Share("mime")) + " >/dev/null 2>&1"), 0);
    ASSERT_TRUE(Have("update-desktop-database")) << "tools/deps.sh installs desktop-file-utils";
    ASSERT_EQ(orbtest::Run("update-desktop-database -q " + Quote(Share("applications"))), 0);
    const std::string types = orbtest::ReadText(Share("mime/types"));
    EXPECT_NE(types.find("application/x-orbiscope-recording"), std::string::npos);
    EXPECT_NE(types.find("image/x-orbiscope-snapshot"), std::string::npos);
    if (!Have("gio")) GTEST_SKIP() << "no gio here to ask the desktop";

    // The desktop's own look-up (GIO) names the types of a recording (by its contents and
    // by its name, whatever the name's case) and of a snapshot, and the player for both.
    const std::string user = root_ + "/mime-user";
    fs::create_directories(user);
    std::vector<uint8_t> recording(64, 0);
    std::memcpy(recording.data(), "ORBISCOPE", 9);
    orbtest::WriteFile(user + "/CAM01_2026-12-07_09.P360", recording);
    orbtest::WriteFile(user + "/renamed", recording);
    orbtest::WriteFile(user + "/20261207090000" "1Hall.360", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0});
    // (The desktop offers an entry only when its program is on the PATH.)
    const std::string env = "env PATH=" + Quote(prefix_ + "/bin") + ":\"$PATH\" XDG_DATA_DIRS=" + Quote(prefix_ + "/share") +
                            " XDG_DATA_HOME=" + Quote(user + "/data") + " XDG_CONFIG_HOME=" + Quote(user + "/config") + " ";
    auto typeOf = [&](const std::string& file) {
        const Output o = Capture(env + "gio info -a standard::content-type " + Quote(user + "/" + file));
        const auto at = o.text.find("standard::content-type: ");
        return at == std::string::npos ? o.text : o.text.substr(at + 24, o.text.find('\n', at) - at - 24);
    };
    EXPECT_EQ(typeOf("CAM01_2026-12-07_09.P360"), "application/x-orbiscope-recording");
    EXPECT_EQ(typeOf("renamed"), "application/x-orbiscope-recording");
    EXPECT_EQ(typeOf("202612070900001Hall.360"), "image/x-orbiscope-snapshot");
    for (const char* type : {"application/x-orbiscope-recording", "image/x-orbiscope-snapshot"}) {
        const Output o = Capture(env + "gio mime " + type);
        EXPECT_NE(o.text.find("orbiscope-player.desktop"), std::string::npos) << o.text;
    }
}

TEST_F(Installed, ProgramsAnswerVersionAndHelp) {
    std::vector<std::string> programs = {"orbiscope-player", "orbiscope-pack", "orbiscope-dewarp", "orbiscope-fakecam"};
    if (fs::exists(Bin("orbiscope"))) programs.insert(programs.begin(), "orbiscope");
    const std::string env = UserEnv(root_ + "/help-user");
    for (const std::string& p : programs) {
        const Output v = Capture(env + Quote(Bin(p)) + " --version");
        EXPECT_EQ(v.status, 0) << p;
        // The form help2man reads: the name, then the version, on the first line.
        EXPECT_EQ(v.text.rfind(p + " ", 0), 0u) << v.text;
        EXPECT_NE(v.text.substr(0, v.text.find('\n')).find(" " ORB_VERSION), std::string::npos) << v.text;
        const Output h = Capture(env + Quote(Bin(p)) + " --help");
        EXPECT_EQ(h.status, 0) << p << ": " << h.text;
        EXPECT_NE(h.text.find("--version"), std::string::npos) << p << ": " << h.text;
    }
}

TEST_F(Installed, LibraryFindsItsFilesInTheUsersFolders) {
    std::string log;
    const std::string host = BuildHost(log);
    ASSERT_FALSE(host.empty()) << log;
    const std::string user = root_ + "/folders-user";
    fs::create_directories(user + "/config");
    // Silent without the debug switch; snapshots among the user's pictures.
    Output o = Capture(UserEnv(user) + Quote(host) + " info");
    ASSERT_EQ(o.status, 0) << o.text;
    EXPECT_EQ(o.text, "snapshots: " + user + "/home/Pictures/Orbiscope/\ncameras: " + user + "/config/orbiscope\n");
    // The pictures folder the desktop names; the debug switch tells where everything is.
    orbtest::WriteText(user + "/config/user-dirs.dirs", "# the desktop's folders\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    o = Capture(UserEnv(user) + "ORBISCOPE_DEBUG=1 " + Quote(host) + " info");
    ASSERT_EQ(o.status, 0) << o.text;
    EXPECT_NE(o.text.find("snapshots: " + user + "/home/Bilder/Orbiscope/\n"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("Orbiscope-Message"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("library folder " + user + "/config/orbiscope,"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("text resource file " + prefix_ + "/share/orbiscope/Halo360Web_003906.r: loaded"),
              std::string::npos)
        << o.text;
    EXPECT_TRUE(fs::is_directory(user + "/config/orbiscope"));
    // A private Config.ure beside a writable library keeps its place; $ORBISCOPE_HOME wins.
    orbtest::WriteText(Lib("Config.ure"), "");
    o = Capture(UserEnv(user) + "ORBISCOPE_DEBUG=1 " + Quote(host) + " info");
    EXPECT_NE(o.text.find("library folder " + prefix_ + "/" + ORB_LIBDIR + ","), std::string::npos) << o.text;
    o = Capture(UserEnv(user) + "ORBISCOPE_DEBUG=1 ORBISCOPE_HOME=" + Quote(user + "/own") + " " + Quote(host) + " info");
    EXPECT_NE(o.text.find("library folder " + user + "/own,"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("cameras: " + user + "/own\n"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("text resource file " + prefix_ + "/share/orbiscope/Halo360Web_003906.r: loaded"),
              std::string::npos)
        << o.text;
    fs::remove(Lib("Config.ure"));
}

TEST_F(Installed, HeadlessRunAgainstTheFakeCameraPlaysBackInThePlayer) {
    std::string log;
    const std::string host = BuildHost(log);
    ASSERT_FALSE(host.empty()) << log;
    const std::string user = root_ + "/camera-user";
    const std::string config = user + "/config/orbiscope", storage = user + "/storage";
    fs::create_directories(config);
    fs::create_directories(storage);

    // The installed fake camera on a free port of 127.0.0.1.
    Child camera;
    ASSERT_TRUE(Start(camera, {Bin("orbiscope-fakecam"), "--port", "0", "--fps", "10", "--user", "watcher", "--password",
                               "s3cret", "--seconds", "150"}));
    int port = 0;
    ASSERT_EQ(std::fscanf(camera.out, "%d", &port), 1);
    ASSERT_GT(port, 0);

    orbtools::SimulatedCamera sim = orbtools::MakeSimulatedCamera(orbtools::SimulatedLens::Fisheye, 320, 240, 1);
    orbtools::PointAtFakeCamera(sim.record, port, 1000, "watcher", "s3cret");
    ASSERT_TRUE(orbtools::WriteCameraConfig(config + "/Config.ure", {sim.record}));
    orbtest::WriteText(config + "/orbiscfg.ini", "[DVR]\nStorageRoots=" + storage + "\n");

    const Output run = Capture(UserEnv(user) + "ORBISCOPE_DEBUG=1 timeout 120 " + Quote(host) + " record " +
                               Quote(storage + "/RECVAULT") + " 90");
    ASSERT_EQ(run.status, 0) << run.text;
    EXPECT_NE(run.text.find("frame: open"), std::string::npos) << run.text;
    EXPECT_NE(run.text.find("recording into " + storage + "/RECVAULT/"), std::string::npos) << run.text;
    const auto at = run.text.find("recorded: ");
    ASSERT_NE(at, std::string::npos) << run.text;
    const std::string recording = run.text.substr(at + 10, run.text.find('\n', at) - at - 10);

    // The installed player plays it back, headless, from the installed tree alone.
    const Output play = Capture(UserEnv(user) + Quote(Bin("orbiscope-player")) + " --headless --out " + Quote(user) + " " +
                                Quote(recording));
    ASSERT_EQ(play.status, 0) << play.text;
    EXPECT_NE(play.text.find("played "), std::string::npos) << play.text;
    EXPECT_EQ(play.text.find("unreadable"), std::string::npos) << play.text;
    const std::string picture = user + "/" + fs::path(recording).stem().string() + "-last.jpg";
    ASSERT_TRUE(fs::is_regular_file(picture)) << play.text;
    EXPECT_GT(fs::file_size(picture), 1000u);

    // A double-click: the desktop opens the recording with the program its type names.
    if (!Have("gio") || !Have("update-desktop-database")) GTEST_SKIP() << "no gio here to open the recording with";
    // (What the package manager's triggers do on a real installation.)
    ASSERT_EQ(orbtest::Run("update-mime-database " + Quote(Share("mime")) + " >/dev/null 2>&1"), 0);
    ASSERT_EQ(orbtest::Run("update-desktop-database -q " + Quote(Share("applications"))), 0);
    const std::string clicked = user + "/clicked";
    fs::create_directories(clicked);
    const std::string copy = clicked + "/Hall.P360";
    fs::copy_file(recording, copy);
    const Output open = Capture("cd " + Quote(clicked) + " && " + UserEnv(user) + "PATH=" + Quote(prefix_ + "/bin") +
                                ":\"$PATH\" XDG_DATA_DIRS=" + Quote(prefix_ + "/share") + " gio open " + Quote(copy));
    ASSERT_EQ(open.status, 0) << open.text;
    // The player started by the desktop plays it (headless here) and leaves its last
    // picture in the folder it was started in.
    const std::string shown = clicked + "/Hall-last.jpg";
    bool complete = false;
    for (int waited = 0; waited < 1200 && !complete; ++waited) {
        const std::vector<uint8_t> jpeg = fs::exists(shown) ? orbtest::ReadFile(shown) : std::vector<uint8_t>{};
        complete = jpeg.size() > 1000 && jpeg[jpeg.size() - 2] == 0xFF && jpeg.back() == 0xD9;
        if (!complete) ::usleep(50000);
    }
    EXPECT_TRUE(complete) << shown;
}

TEST_F(Installed, DebianPackageHoldsTheTreeAndItsDependencies) {
    std::string deb;
    for (const auto& e : fs::directory_iterator(ORB_BINARY_DIR))
        if (e.path().extension() == ".deb" && e.path().filename().string().rfind("orbiscope_" ORB_VERSION "_", 0) == 0)
            deb = e.path().string();
    if (deb.empty()) GTEST_SKIP() << "no package built (ORBISCOPE_DEB=1 ./test.sh builds one)";
    const Output list = Capture("dpkg-deb -c " + Quote(deb));
    ASSERT_EQ(list.status, 0) << list.text;
    for (const std::string f : {"./usr/include/orbiscope.h", "./usr/share/orbiscope/Halo360Web_003906.r",
                                "./usr/share/applications/orbiscope.desktop", "./usr/share/applications/orbiscope-player.desktop",
                                "./usr/share/mime/packages/orbiscope.xml", "./usr/share/icons/hicolor/scalable/apps/orbiscope.svg",
                                "./usr/bin/orbiscope-player", "./usr/bin/orbiscope-fakecam", "/liborbiscope.so." ORB_VERSION,
                                "/pkgconfig/orbiscope.pc"})
        EXPECT_NE(list.text.find(f), std::string::npos) << f << "\n" << list.text;
    const Output depends = Capture("dpkg-deb -f " + Quote(deb) + " Depends");
    for (const char* d : {"libc6", "libjpeg62-turbo", "libgtk-3-0", "zip"})
        EXPECT_NE(depends.text.find(d), std::string::npos) << d << " in " << depends.text;
    const Output control = Capture("dpkg-deb -I " + Quote(deb));
    EXPECT_NE(control.text.find("shlibs"), std::string::npos) << control.text;
}
