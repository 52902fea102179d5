// The player plays a video recording like any recording: its frame steps, the position bar
// and play in both directions at every step size land on the frames ffmpeg numbers the same
// way in the same file; a file still being recorded grows in the player; the recordings list
// deletes it once it is no longer recorded.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "config/library_state.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "record/backup.h"
#include "record/player.h"
#include "record/recording_source.h"
#include "record/video_file.h"
#include "support/video_support.h"

using namespace orb;
using namespace videotest;

namespace {

struct PlayerOnVideo {
    std::vector<std::vector<uint8_t>> reference;  // ffmpeg's frames of the recording
    HDIB shown = nullptr;                         // the picture presented last
    int presented = 0;
    PlayerOnVideo() {
        ThePlayer() = PlayerState{};
        ThePlayer().createFrame = [](void*) { return static_cast<void*>(&ThePlayer()); };
        ThePlayer().present = [this](RecordView*, HDIB pic) {
            DestroyDIB(shown);
            shown = DuplicateDIB(pic);
            ++presented;
        };
        SetSleeper([](int) {});
        g_lib.speed = 0;
    }
    ~PlayerOnVideo() {
        ClosePlayerFrame(ThePlayer());
        ThePlayer() = PlayerState{};
        SetSleeper({});
        DestroyDIB(shown);
    }
    DvrContext& Dvr() { return *PlayerDvr(ThePlayer()); }
    // Steps until the frame asked for is on screen (it is decoded on the source's thread).
    void Settle() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        // As the play loop does while paused: steps again while a frame is decoded or counted.
        while ((Dvr().pending >= 0 || Dvr().awaitingCount) && std::chrono::steady_clock::now() < until)
            PlayStep(ThePlayer());
        ASSERT_LT(Dvr().pending, 0) << "frame " << Dvr().shown << " never came";
        ASSERT_FALSE(Dvr().awaitingCount);
    }
    // The frame on screen is ffmpeg's frame of the same number.
    void ExpectShowing(int n) {
        ASSERT_TRUE(shown);
        EXPECT_EQ(Dvr().shown, n);
        double d = 0;
        const int nearest = NearestFrame(shown, reference, &d);
        EXPECT_EQ(nearest, n) << "showing frame " << Dvr().shown;
        EXPECT_LT(d, 2.5) << n;
    }
    void Command(int command, int expect) {
        const int before = presented;
        PlayerCommand(ThePlayer(), command);
        Settle();
        EXPECT_EQ(presented, before + 1);
        ExpectShowing(expect);
    }
    void Step(int expect) {
        const int before = presented;
        PlayStep(ThePlayer());
        Settle();
        EXPECT_EQ(presented, before + 1);
        ExpectShowing(expect);
    }
};

std::string RecordClip(VideoWorld& w, const std::string& root, const char* encoder, const char* location) {
    Clip clip;
    ClipRecipe recipe;
    recipe.encoder = encoder;
    recipe.frames = 40;
    recipe.gop = 12;
    recipe.bframes = 2;
    EXPECT_TRUE(MakeClip(w.home.path(std::string("src-") + encoder), recipe, clip));
    VideoCamera cam(location, 0);
    for (size_t i = 0; i < clip.packets.size(); ++i, w.Advance(66)) EXPECT_EQ(cam.Record(clip, i), 1);
    return root + "/RECVAULT/201105141300" + location + ".mkv";
}

}  // namespace

TEST(VideoPlayer, FrameStepsLandOnFfmpegsFrames) {
    VideoWorld w;
    const auto a = w.AddRoot("a", 900);
    w.UseRoots({a});
    for (const char* encoder : {"libx264", "libx265"}) {
        SCOPED_TRACE(encoder);
        auto text = [&w](int ms) {
            const SystemTime t = LocalTimeAt(LocalMilliseconds(w.now) + ms);
            char s[40];
            std::snprintf(s, sizeof s, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
            return std::string(s);
        };
        const std::string first = text(0), later = text(2000);
        const std::string path = RecordClip(w, a, encoder, encoder);
        PlayerOnVideo p;
        p.reference = FfmpegFrames(path, 320, 240);
        ASSERT_EQ(p.reference.size(), 40u);
        ASSERT_TRUE(OpenPlayerFrame(ThePlayer(), nullptr, path.c_str()));
        ThePlayer().loopRunning = true;  // as inside the loop: opens in place
        ASSERT_TRUE(OpenPlayerRecording(ThePlayer(), path, true));
        EXPECT_EQ(ThePlayer().view->record.lensType, 2);
        EXPECT_EQ(p.Dvr().shown, 0);
        EXPECT_EQ(ThePlayer().timeText, first);
        // The frames are counted as the file is looked through; the bar follows.
        EXPECT_EQ(p.Dvr().source->FrameCount(true), 40);
        p.Step(1);
        EXPECT_EQ(ThePlayer().barMax, 39);
        EXPECT_EQ(ThePlayer().width, 320);
        // Single steps forward decode on. A step back shows the frame the play had come to,
        // then the ones before it, each from the key frame before it (the groups begin at 0,
        // 12, 24 and 36).
        for (int n = 2; n <= 6; ++n) p.Command(1601, n);
        for (int n = 7; n >= 0; --n) p.Command(1602, n);
        PlayerScroll(ThePlayer(), ScrollRequest::Thumb, 26);
        p.Command(1601, 26);
        for (int n = 27; n >= 22; --n) p.Command(1602, n);
        // Faster forward and backward: every third frame, then every second one back.
        for (int i = 0; i < 3; ++i) PlayerCommand(ThePlayer(), 1604);
        EXPECT_EQ(p.Dvr().step, 3);
        p.Step(21);
        p.Step(24);
        p.Step(27);
        PlayerCommand(ThePlayer(), 1605);
        PlayerCommand(ThePlayer(), 1605);
        EXPECT_EQ(p.Dvr().step, -2);
        p.Step(30);  // the frame the forward play had come to
        p.Step(28);
        p.Step(26);
        // The last frame, and the time text of a frame 2 seconds in.
        PlayerScroll(ThePlayer(), ScrollRequest::Bottom);
        p.Command(1601, 39);
        PlayerScroll(ThePlayer(), ScrollRequest::Thumb, 30);
        p.Command(1601, 30);
        EXPECT_EQ(ThePlayer().timeText, later);
        ThePlayer().loopRunning = false;
    }
}

// A recording still being written grows in the player as the recorder goes on, and cannot be
// deleted until it is closed; then the recordings list deletes it like any recording.
TEST(VideoPlayer, AFileBeingRecordedGrowsAndIsDeletedOnceClosed) {
    VideoWorld w;
    const auto a = w.AddRoot("a", 900);
    w.UseRoots({a});
    Clip clip;
    ClipRecipe recipe;
    recipe.frames = 60;
    recipe.gop = 10;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    auto cam = std::make_unique<VideoCamera>("Porch", 0);
    for (size_t i = 0; i < 30; ++i, w.Advance(66)) ASSERT_EQ(cam->Record(clip, i), 1);
    const std::string path = a + "/RECVAULT/201105141300Porch.mkv";
    PlayerOnVideo p;
    ASSERT_TRUE(OpenPlayerFrame(ThePlayer(), nullptr, nullptr));
    ThePlayer().loopRunning = true;
    ASSERT_TRUE(OpenManagement(ThePlayer(), nullptr));
    ASSERT_EQ(ThePlayer().managementList.size(), 1u);
    EXPECT_EQ(PlayerDvr(ThePlayer())->path, path);
    auto count = [] {
        PlayStep(ThePlayer());
        return PlayerDvr(ThePlayer())->frameCount;
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (count() < 24 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    const int32_t before = PlayerDvr(ThePlayer())->frameCount;
    EXPECT_GE(before, 24);  // what the recorder has handed to the system so far
    EXPECT_LE(before, 30);
    for (size_t i = 30; i < 60; ++i, w.Advance(66)) ASSERT_EQ(cam->Record(clip, i), 1);
    while (count() < 54 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    EXPECT_GE(PlayerDvr(ThePlayer())->frameCount, 54);
    // Being recorded: it stays.
    TakeMessages();
    EXPECT_EQ(ManagementDelete(ThePlayer(), {0}), 0);
    EXPECT_EQ(ThePlayer().managementList.size(), 1u);
    EXPECT_FALSE(TakeMessages().empty());
    // Closed (the camera's view ends): the file holds every picture, and the list deletes it.
    cam.reset();
    EXPECT_EQ(ProbePacketTimes(path).size(), 60u);
    EXPECT_EQ(ManagementDelete(ThePlayer(), {0}), 1);
    EXPECT_TRUE(ThePlayer().managementList.empty());
    EXPECT_TRUE(w.Files(a).empty());
    ThePlayer().loopRunning = false;
}

// Backup copies video recordings like any (the one still recorded is copied as it is and,
// when moving, stays where it is), and backup play plays them from the backup folder.
TEST(VideoPlayer, BackupCopiesMovesAndPlaysVideoRecordings) {
    VideoWorld w;
    const auto a = w.AddRoot("a", 900);
    w.UseRoots({a});
    Clip clip;
    ClipRecipe recipe;
    recipe.frames = 20;
    recipe.gop = 10;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    {
        VideoCamera done("Done", 0);
        for (size_t i = 0; i < clip.packets.size(); ++i, w.Advance(66)) ASSERT_EQ(done.Record(clip, i), 1);
    }
    VideoCamera live("Live", 1);
    for (size_t i = 0; i < clip.packets.size(); ++i, w.Advance(66)) ASSERT_EQ(live.Record(clip, i), 1);
    const std::string folder = a + "/RECVAULT/", backup = w.home.path("backup") + "/";
    MakeDirs(backup);
    BackupJob job;
    job.folder = backup;
    job.move = true;
    EXPECT_EQ(CopyRecordings(job, {folder + "201105141300Done.mkv", folder + "201105141300Live.mkv"}), 2);
    EXPECT_EQ(job.kept, 1);
    EXPECT_EQ(w.Files(a), std::vector<std::string>{"201105141300Live.mkv"});
    ASSERT_TRUE(StoreBackupFolder(backup));
    EXPECT_EQ(BackupPlaybackList(), (std::vector<std::string>{"201105141300Done.mkv", "201105141300Live.mkv"}));
    EXPECT_EQ(BackupListText("201105141300Done.mkv"), "2011/05/14 13:00 -- Done");

    PlayerOnVideo p;
    p.reference = FfmpegFrames(backup + "201105141300Done.mkv", 320, 240);
    ASSERT_EQ(p.reference.size(), 20u);
    ThePlayer().backupPlay = true;
    ASSERT_TRUE(OpenPlayerFrame(ThePlayer(), nullptr, nullptr));
    ThePlayer().loopRunning = true;
    ASSERT_TRUE(PlayBackupItem(ThePlayer(), 0));
    p.Step(1);
    p.Command(1601, 2);
    ThePlayer().loopRunning = false;
}
