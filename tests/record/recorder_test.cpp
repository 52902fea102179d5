#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <dirent.h>
#include <algorithm>

#include <cstring>
#include <map>

#include "config/config_file.h"
#include "config/settings.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "record/player.h"
#include "record/recorder.h"
#include "support/test_support.h"

using namespace orb;

namespace {

std::vector<uint8_t> Jpeg(uint8_t shade) {
    HDIB pic = CreateDIB(128, 112, 24);
    {
        DibLock lock(pic);
        std::memset(lock.bits(), shade, static_cast<size_t>(lock.rowBytes()) * lock.height());
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(JpegEncodeMemory(pic, 80, out));
    DestroyDIB(pic);
    return out;
}

// A test world: storage roots inside the temp folder with scripted sizes, a scripted clock
// and a sleeper that only counts.
struct World {
    orbtest::TempHome home;
    std::map<std::string, std::pair<double, double>> sizes;  // root -> free, total
    SystemTime now{2011, 5, 6, 14, 13, 59, 59, 900};
    std::vector<int> sleeps;
    std::vector<std::string> status;

    World() {
        SetDriveProbe({[] { return std::vector<MountEntry>{}; },
                       [this](const std::string& root, double& f, double& t) {
                           auto it = sizes.find(root);
                           if (it == sizes.end()) return false;
                           f = it->second.first, t = it->second.second;
                           return true;
                       }});
        SetLocalClock([this] { return now; });
        SetSleeper([this](int ms) { sleeps.push_back(ms); });
        SetStatusSink([this](orb::RecordView*, int, const std::string& t) { status.push_back(t); });
        orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
        LoadLanguageResource();
        g_lib.callerId = 0;
        g_lib.recording = 1;
        g_recorderSwitches.skipSystemDisk = 0;
        ClearRecordingSlots();
        TakeMessages();
    }
    ~World() {
        SetDriveProbe({});
        SetLocalClock({});
        SetSleeper({});
        SetStatusSink({});
        ClearDialogScripts();
        g_lib.callerId = 4;
        g_drives = DriveTable{};
        ClearRecordingSlots();
    }
    std::string AddRoot(const std::string& name, double freeBytes, double total = 1e12) {
        const std::string root = home.path(name);
        MakeDirs(root);
        sizes[root] = {freeBytes, total};
        return root;
    }
    void UseRoots(const std::vector<std::string>& roots) {
        std::string v;
        for (const auto& r : roots) v += r + ";";
        WriteSetting("DVR", "StorageRoots", v);
        BuildDriveTable();
    }
};

struct Camera {
    PanoView view;
    Camera(const char* location, int slot) {
        std::strcpy(view.record.location, location);
        view.record.sourceWidth = 128;
        view.record.sourceHeight = 112;
        StartRecordingContext(&view);
        AssignRecordingSlot(&view, slot, 4);
    }
};

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> out;
    for (DvrNode* n : CatalogueNodes())
        if (CataloguePath(n).rfind(folder, 0) == 0) out.push_back(n->name);
    return out;
}

}  // namespace

TEST(Drives, TableFromRootsAndMountsAndTheChoiceOfDrive) {
    World w;
    const auto a = w.AddRoot("a", 100), b = w.AddRoot("b", 300), c = w.AddRoot("c", 300),
               small = w.AddRoot("small", 5e9, 4e9);
    w.UseRoots({a, b, c, small, w.home.path("missing")});
    ASSERT_EQ(g_drives.count, 3);
    EXPECT_EQ(g_drives.entries[0].folder, a + "/RECVAULT/");
    EXPECT_EQ(g_drives.entries[2].root, c);
    struct stat st{};
    EXPECT_NE(stat((small + "/RECVAULT").c_str(), &st), 0);  // too small: folder removed again
    EXPECT_NE(stat((a + "/RECVAULT/Test").c_str(), &st), 0);
    EXPECT_EQ(ChooseDrive(), 1);  // tie between b and c: the first wins
    w.sizes[c].first = 301;
    EXPECT_EQ(ChooseDrive(), 2);
    for (auto& [root, s] : w.sizes) s.first = 0;
    EXPECT_EQ(ChooseDrive(), 0);
    double total = 0;
    w.sizes[a] = {5, 7e9};
    EXPECT_EQ(FreeBytes(0, &total), 5);
    EXPECT_EQ(total, 7e9);
    EXPECT_EQ(FreeBytes(-1), 0);

    // An existing folder of another spelling is the one used.
    const auto d = w.AddRoot("d", 1);
    MakeDirs(d + "/RecVault");
    w.UseRoots({d});
    EXPECT_EQ(g_drives.entries[0].folder, d + "/RecVault/");

    // The system disk is left out with skip system disk on (every root here shares it).
    g_recorderSwitches.skipSystemDisk = 1;
    w.UseRoots({a, b});
    EXPECT_EQ(g_drives.count, 0);
    g_recorderSwitches.skipSystemDisk = 0;

    // The mount table: real local writable file systems only, escapes decoded.
    const auto mounts = ParseMounts(
        "/dev/sda1 / ext4 rw,relatime 0 0\nproc /proc proc rw 0 0\ntmpfs /run tmpfs rw 0 0\n"
        "/dev/sdb1 /media/usb\\040key vfat rw,nosuid 0 0\n/dev/sdc1 /mnt/ro ext4 ro,relatime 0 0\n"
        "server:/x /mnt/nas nfs4 rw 0 0\nbad line\n");
    ASSERT_EQ(mounts.size(), 6u);
    EXPECT_EQ(mounts[3].mountPoint, "/media/usb key");
    std::vector<std::string> kept;
    for (const auto& m : mounts)
        if (IsStorageMount(m)) kept.push_back(m.mountPoint);
    EXPECT_EQ(kept, (std::vector<std::string>{"/", "/media/usb key", "/mnt/nas"}));

    // Without configured roots the (fake) mount table decides.
    WriteSetting("DVR", "StorageRoots", "");
    SetDriveProbe({[b] { return std::vector<MountEntry>{{"/dev/x", b, "ext4", "rw"}, {"t", "/tmp", "tmpfs", "rw"}}; },
                   [&w](const std::string& root, double& f, double& t) {
                       f = 1, t = 1e12;
                       return w.sizes.count(root) > 0;
                   }});
    BuildDriveTable();
    ASSERT_EQ(g_drives.count, 1);
    EXPECT_EQ(g_drives.entries[0].root, b);


    // A NAS folder in use is entry 0 and always chosen.
    WriteSetting("DVR", "NAS", "1");
    WriteSetting("DVR", "NASDir", a + "/");
    w.sizes[a + "/"] = {1, 1e12};
    w.UseRoots({b, c});
    EXPECT_EQ(g_drives.count, 3);
    EXPECT_EQ(g_drives.entries[0].folder, a + "/");
    EXPECT_EQ(ChooseDrive(), 0);
    WriteSetting("DVR", "NAS", "0");

    // When no file system of the mount table takes this user's recording folder, the user's
    // own data folder is the storage root, whatever its size.
    const std::string own = w.home.path("data");
    setenv("XDG_DATA_HOME", own.c_str(), 1);
    WriteSetting("DVR", "StorageRoots", "");
    SetDriveProbe({[&w] { return std::vector<MountEntry>{{"/dev/x", w.home.path("gone/x"), "ext4", "rw"}}; },
                   [](const std::string&, double& f, double& t) { return f = 1, t = 1e6, true; }});
    BuildDriveTable();
    ASSERT_EQ(g_drives.count, 1);
    EXPECT_EQ(g_drives.entries[0].folder, own + "/orbiscope/RECVAULT/");
    // Storage roots the user named are what the user wants: no folder of the system's own.
    w.UseRoots({w.home.path("gone/y")});
    EXPECT_EQ(g_drives.count, 0);
    unsetenv("XDG_DATA_HOME");
}

TEST(Recorder, HourlyFilesAcrossAnHourTurnOnTheRoomiestDrive) {
    World w;
    const auto a = w.AddRoot("a", 500), b = w.AddRoot("b", 100);
    w.UseRoots({a, b});
    Camera cam("Lobby", 0);
    const auto j1 = Jpeg(30), j2 = Jpeg(200);
    ASSERT_EQ(RecordFrame(&cam.view, j1.data(), j1.size(), kNoMotionDetector), 1);  // 13:59:59.9
    w.sizes[b].first = 900;
    w.now = {2011, 5, 6, 14, 14, 0, 0, 100};
    ASSERT_EQ(RecordFrame(&cam.view, j2.data(), j2.size(), kNoMotionDetector), 1);
    ASSERT_EQ(RecordFrame(&cam.view, j2.data(), j2.size(), kNoMotionDetector), 1);
    const std::string first = a + "/RECVAULT/201105141300Lobby.P360", second = b + "/RECVAULT/201105141400Lobby.P360";
    DvrContext r;
    ASSERT_EQ(OpenRecordingForRead(r, first, nullptr), OpenResult::Ok);
    EXPECT_EQ(ReadFrameCount(r), 1);
    ASSERT_EQ(OpenRecordingForRead(r, second, nullptr), OpenResult::Ok);
    EXPECT_EQ(ReadFrameCount(r), 2);
    ASSERT_TRUE(ReadFrame(r, 1));
    EXPECT_EQ(std::vector<uint8_t>(r.picture.begin(), r.picture.begin() + r.loadedSize), j2);
    EXPECT_EQ(r.loadedTime.hour, 14);
    EXPECT_TRUE(IsRecordingOpen(second));
    EXPECT_FALSE(IsRecordingOpen(first));

    // Daylight saving's repeated hour: the same hour fields go on in the same file.
    w.now = {2011, 5, 6, 14, 14, 59, 0, 0};
    ASSERT_EQ(RecordFrame(&cam.view, j1.data(), j1.size(), kNoMotionDetector), 1);
    w.now = {2011, 5, 6, 14, 14, 1, 0, 0};
    ASSERT_EQ(RecordFrame(&cam.view, j1.data(), j1.size(), kNoMotionDetector), 1);
    EXPECT_EQ(ReadFrameCount(r), 4 );

    // A restart within the hour continues the file when the same drive is chosen.
    StopRecordingContext(&cam.view);
    EXPECT_FALSE(IsRecordingOpen(second));
    StartRecordingContext(&cam.view);
    ASSERT_EQ(RecordFrame(&cam.view, j1.data(), j1.size(), kNoMotionDetector), 1);
    EXPECT_EQ(ReadFrameCount(r), 5);
    // ... and starts a second file of the hour when another drive is chosen.
    StopRecordingContext(&cam.view);
    StartRecordingContext(&cam.view);
    w.sizes[a].first = 5000;
    ASSERT_EQ(RecordFrame(&cam.view, j1.data(), j1.size(), kNoMotionDetector), 1);
    BuildCatalogue();
    const auto nodes = CatalogueNodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_STREQ(nodes[0]->name, "201105141400Lobby.P360");
    EXPECT_EQ(nodes[0]->entry, 1);  // equal names: the one added later goes in front
    EXPECT_EQ(nodes[1]->entry, 0);
    EXPECT_STREQ(nodes[2]->name, "201105141300Lobby.P360");
    EXPECT_EQ(CatalogueText(nodes[2]->name), "2011/05/14 13:00  -- Lobby");
    EXPECT_EQ(CatalogueHead()->next, nodes[0]);
    EXPECT_EQ(CatalogueTail()->next, nullptr);
    EXPECT_EQ(CatalogueTail()->prev, nodes[2]);
}

TEST(Recorder, WhatIsNotRecordedAndFailures) {
    World w;
    const auto a = w.AddRoot("a", 500);
    w.UseRoots({a});
    const auto j = Jpeg(90);
    Camera cam("Gate", 0), twin("Gate", 1), other("Yard", 2);
    // Of two views of one location only the later one records.
    EXPECT_TRUE(g_recordingSlots[0].duplicate);
    EXPECT_FALSE(g_recordingSlots[1].duplicate);
    EXPECT_EQ(RecordFrame(&cam.view, j.data(), j.size(), kNoMotionDetector), 0);
    EXPECT_EQ(RecordFrame(&twin.view, j.data(), j.size(), kNoMotionDetector), 1);
    // Motion-following: only frames with the motion flag set.
    EXPECT_EQ(RecordFrame(&other.view, j.data(), j.size(), 0), 0);
    EXPECT_EQ(RecordFrame(&other.view, j.data(), j.size(), 1), 1);
    g_lib.callerId = 2;
    EXPECT_EQ(RecordFrame(&other.view, j.data(), j.size(), 1), 0);
    g_lib.callerId = 0;
    g_lib.recording = 0;
    EXPECT_EQ(RecordFrame(&other.view, j.data(), j.size(), 1), 0);
    g_lib.recording = 1;
    PanoView noSlot;
    StartRecordingContext(&noSlot);
    EXPECT_EQ(RecordFrame(&noSlot, j.data(), j.size(), kNoMotionDetector), 0);
    StopRecordingContext(&other.view);
    EXPECT_EQ(RecordFrame(&other.view, j.data(), j.size(), 1), 0);

    // An hour's file that cannot be continued keeps its bytes; the hour goes on beside it.
    w.now.hour = 15;
    const std::string damaged = a + "/RECVAULT/201105141500Gate.P360";
    orbtest::WriteFile(damaged, std::vector<uint8_t>(100, 7));
    ASSERT_EQ(RecordFrame(&twin.view, j.data(), j.size(), kNoMotionDetector), 1);
    EXPECT_EQ(orbtest::ReadFile(damaged), std::vector<uint8_t>(100, 7));
    DvrContext r;
    ASSERT_EQ(OpenRecordingForRead(r, a + "/RECVAULT/201105141500Gate~1.P360", nullptr), OpenResult::Ok);
    EXPECT_EQ(ReadFrameCount(r), 1);

    // A drive that disappears: the create fails, the user sees 2553, the retry waits 300 ms.
    w.now.hour = 16;
    orbtest::Run("rm -rf '" + a + "/RECVAULT'");
    EXPECT_EQ(RecordFrame(&twin.view, j.data(), j.size(), kNoMotionDetector), 0);
    ASSERT_FALSE(w.status.empty());
    EXPECT_EQ(w.status.back(), Text(2553));
    EXPECT_EQ(w.sleeps.back(), 300);
    // With no usable drive at all nothing is written.
    w.UseRoots({w.home.path("nowhere")});
    EXPECT_EQ(RecordFrame(&twin.view, j.data(), j.size(), kNoMotionDetector), 0);
    EXPECT_EQ(w.status.back(), Text(2553));

    // Closed views give their slots up: a view of the same place opened afterwards records.
    ReleaseRecordingSlot(&twin.view);
    ReleaseRecordingSlot(&cam.view);
    EXPECT_EQ(g_recordingSlots[1].view, nullptr);
    EXPECT_EQ(twin.view.recording.slot, -1);
    EXPECT_EQ(RecordFrame(&twin.view, j.data(), j.size(), kNoMotionDetector), 0);
    Camera reopened("Gate", 0);
    EXPECT_FALSE(g_recordingSlots[0].duplicate);
    w.UseRoots({a});
    orbtest::Run("mkdir -p '" + a + "/RECVAULT'");
    EXPECT_EQ(RecordFrame(&reopened.view, j.data(), j.size(), kNoMotionDetector), 1);
}

// A disk that fills up in the middle of the hour (the process's file size limit stands in
// for it): appends fail without a word, the frames counted before stay intact, and once
// there is room again the next frame continues the same file.
TEST(Recorder, ADiskThatFillsUpMidHour) {
    World w;
    const auto a = w.AddRoot("a", 500);
    w.UseRoots({a});
    w.now = {2011, 5, 6, 14, 14, 10, 0, 0};
    Camera cam("Dock", 0);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 12; ++i) frames.push_back(Jpeg(static_cast<uint8_t>(20 * i)));
    for (int i = 0; i < 4; ++i) ASSERT_EQ(RecordFrame(&cam.view, frames[i].data(), frames[i].size(), kNoMotionDetector), 1);
    const std::string path = a + "/RECVAULT/201105141400Dock.P360";
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);

    // Room for one more frame and a half.
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = before;
    tight.rlim_cur = static_cast<rlim_t>(st.st_size) + frames[4].size() + 16 + frames[5].size() / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    std::vector<int> results;
    for (int i = 4; i < 8; ++i)
        results.push_back(RecordFrame(&cam.view, frames[i].data(), frames[i].size(), kNoMotionDetector));
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(results, (std::vector<int>{1, 0, 0, 0}));
    EXPECT_TRUE(w.status.empty());  // a failed append shows nothing

    DvrContext r;
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    ASSERT_EQ(ReadFrameCount(r), 5);
    // Room again: the hour goes on in the same file, after the last counted frame.
    for (int i = 8; i < 12; ++i) ASSERT_EQ(RecordFrame(&cam.view, frames[i].data(), frames[i].size(), kNoMotionDetector), 1);
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    ASSERT_EQ(ReadFrameCount(r), 9);
    const int expected[9] = {0, 1, 2, 3, 4, 8, 9, 10, 11};
    for (int k = 0; k < 9; ++k) {
        ASSERT_TRUE(ReadFrame(r, k)) << k;
        EXPECT_EQ(std::vector<uint8_t>(r.picture.begin(), r.picture.begin() + r.loadedSize), frames[expected[k]]) << k;
    }
    EXPECT_TRUE(w.status.empty());
}

TEST(Recorder, SettingsDialogWritesItsFourSwitches) {
    World w;
    using S = DialogStep;
    // The recording settings dialog writes its four switches; the radio buttons enable the
    // motion block box.
    ASSERT_TRUE(ScriptDialog("DVR", {{S::SetCheck, 1803, "", 0}, {S::SetCheck, 1801, "", 1}, {S::SetCheck, 1805, "", 0},
                                     {S::SetCheck, 1806, "", 1}, {S::SetCheck, 363, "", 1}, {S::Press, IDOK}}));
    EXPECT_EQ(DVRConfigure(nullptr), 1);
    EXPECT_TRUE(TakeResourceMisses().empty());
    EXPECT_EQ(g_lib.recording, 0);
    EXPECT_EQ(ReadSetting("CCTV", "DVR", ""), "0");
    EXPECT_EQ(ReadSetting("CCTV", "MotionBlock", ""), "0");
    EXPECT_EQ(ReadSetting("SCCTV", "SkipSystemDisk", ""), "1");
    EXPECT_EQ(ReadSetting("DVR", "Protected", ""), "1");
    g_lib.protect = 0;
    g_lib.recording = 1;
    g_userBlock.fill(0);
}

TEST(Recorder, ACameraLocationNamesARecordingNeverAPath) {
    const SystemTime t{2011, 5, 6, 14, 13, 0, 0, 0};
    EXPECT_EQ(HourFileName("/r/RECVAULT/", t, "/../../escaped"), "/r/RECVAULT/201105141300_.__.__escaped.P360");
    EXPECT_EQ(HourFileName("/r/RECVAULT/", t, "a\\b\"c\nd"), "/r/RECVAULT/201105141300a_b_c_d.P360");
    EXPECT_EQ(HourFileName("/r/RECVAULT/", t, "Lobby", 2), "/r/RECVAULT/201105141300Lobby~2.P360");
}

// Without any usable drive the capture thread keeps its pace: one message and one pause when
// the trouble begins, then a quiet try every few seconds.
TEST(Recorder, NoDriveCostsTheCaptureOnePauseOnly) {
    World w;
    w.UseRoots({w.home.path("nowhere")});
    ASSERT_EQ(g_drives.count, 0);
    Camera cam("Hall", 0);
    const auto j = Jpeg(60);
    for (int i = 0; i < 50; ++i) {
        w.now.milliseconds = static_cast<uint16_t>((i % 10) * 100);
        w.now.second = static_cast<uint16_t>(i / 10);
        EXPECT_EQ(RecordFrame(&cam.view, j.data(), j.size(), kNoMotionDetector), 0);
    }
    EXPECT_EQ(w.sleeps, (std::vector<int>{300}));
    // Tried again at seconds 0, 2 and 4 of the five.
    EXPECT_EQ(w.status, (std::vector<std::string>(3, Text(2553))));
    // A drive appears: the next try records, and the status line is cleared.
    const auto a = w.AddRoot("a", 500);
    w.UseRoots({a});
    w.now.second = 7;
    EXPECT_EQ(RecordFrame(&cam.view, j.data(), j.size(), kNoMotionDetector), 1);
    EXPECT_EQ(w.status.back(), "");
}

namespace {

// A small file system for one test: a tmpfs where this process may mount one, else the
// process's file size limit stands in for the full disk.
struct SmallDisk {
    std::string dir;
    bool mounted = false;
    rlimit saved{};
    explicit SmallDisk(const std::string& at) : dir(at) {
        MakeDirs(dir);
        mounted = orbtest::Run("mount -t tmpfs -o size=96k orbiscope-test '" + dir + "' 2>/dev/null") == 0;
        getrlimit(RLIMIT_FSIZE, &saved);
    }
    ~SmallDisk() {
        Free();
        if (mounted) orbtest::Run("umount '" + dir + "'");
    }
    void Fill() {
        if (!mounted) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit tight = saved;
            tight.rlim_cur = 4096;  // less than a recording's header
            setrlimit(RLIMIT_FSIZE, &tight);
            return;
        }
        FILE* f = std::fopen((dir + "/filler").c_str(), "wb");
        std::vector<char> block(4096, 'x');
        while (f && std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
        }
        if (f) std::fclose(f);
    }
    void Free() {
        if (mounted) std::remove((dir + "/filler").c_str());
        setrlimit(RLIMIT_FSIZE, &saved);
    }
};

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// The disk is full when the hour turns: the new hour's file cannot be written, so none is
// left behind, however many pictures come; once there is room again the recorder goes on
// within the same hour. A file that holds no recording is not listed as one.
TEST(Recorder, AFullDiskAtTheHourTurnLeavesNoEmptyFiles) {
    World w;
    SmallDisk disk(w.home.path("small"));
    w.sizes[disk.dir] = {5e4, 1e12};
    w.UseRoots({disk.dir});
    ASSERT_EQ(g_drives.count, 1);
    const std::string folder = disk.dir + "/RECVAULT";
    Camera cam("Dock", 0);
    const auto j = Jpeg(120);
    w.now = {2011, 5, 6, 14, 14, 59, 58, 0};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(RecordFrame(&cam.view, j.data(), j.size(), kNoMotionDetector), 1);

    disk.Fill();
    w.now = {2011, 5, 6, 14, 15, 0, 0, 0};
    for (int i = 0; i < 40; ++i) {
        w.now.milliseconds = static_cast<uint16_t>((i % 10) * 100);
        w.now.second = static_cast<uint16_t>(i / 10);
        EXPECT_EQ(RecordFrame(&cam.view, j.data(), j.size(), kNoMotionDetector), 0);
    }
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"201105141400Dock.P360"}));
    ASSERT_FALSE(w.status.empty());
    EXPECT_EQ(w.status.back(), Text(2554));  // the file was made, its header did not fit
    EXPECT_LE(w.sleeps.size(), 1u);

    // Room again, still in hour 15: recording resumes at the next try.
    disk.Free();
    w.now.minute = 20;
    ASSERT_EQ(RecordFrame(&cam.view, j.data(), j.size(), kNoMotionDetector), 1);
    ASSERT_EQ(RecordFrame(&cam.view, j.data(), j.size(), kNoMotionDetector), 1);
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"201105141400Dock.P360", "201105141500Dock.P360"}));
    DvrContext r;
    ASSERT_EQ(OpenRecordingForRead(r, folder + "/201105141500Dock.P360", nullptr), OpenResult::Ok);
    EXPECT_EQ(ReadFrameCount(r), 2);
    CloseRecording(r);
    StopRecordingContext(&cam.view);

    // An empty file of an hour (left by a crash, say) is no recording.
    orbtest::WriteFile(folder + "/201105141600Dock.P360", {});
    BuildCatalogue();
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"201105141500Dock.P360", "201105141400Dock.P360"}));
}
