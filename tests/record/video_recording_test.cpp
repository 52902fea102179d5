// The recorder keeps a video camera's packets as received: H.264 and H.265 streams demuxed
// from files ffmpeg made of the simulated pictures go in, and ffmpeg, ffprobe and the
// library's own reader find the same pictures in the hour's files.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "config/library_state.h"
#include "platform/dib.h"
#include "platform/texts.h"
#include "record/recording_source.h"
#include "record/video_file.h"
#include "support/video_support.h"

using namespace orb;
using namespace videotest;

namespace {

// What the library's reader makes of a file: the record it carries and every frame decoded.
struct ReadBack {
    OpenResult result = OpenResult::Missing;
    CameraRecord record{};
    int32_t frames = 0, decoded = 0;
    std::vector<SystemTime> times;
};

ReadBack Read(const std::string& path) {
    ReadBack b;
    std::unique_ptr<RecordingSource> source;
    b.result = OpenRecordingSource(path, source, &b.record);
    if (b.result != OpenResult::Ok) return b;
    b.frames = source->FrameCount(true);
    for (int32_t n = 0; n < b.frames; ++n) {
        HDIB pic = nullptr;
        SystemTime t{};
        if (source->Fetch(n, 1, pic, t, true) == FrameFetch::Ready) ++b.decoded;
        b.times.push_back(t);
        DestroyDIB(pic);
    }
    return b;
}

int64_t Ms(const SystemTime& t) { return LocalMilliseconds(t); }

}  // namespace

TEST(VideoRecorder, KeepsH264AndH265AsReceived) {
    VideoWorld w;
    const auto small = w.AddRoot("small", 100), roomy = w.AddRoot("roomy", 900);
    w.UseRoots({small, roomy});
    for (const char* encoder : {"libx264", "libx265"}) {
        SCOPED_TRACE(encoder);
        Clip clip;
        ClipRecipe recipe;
        recipe.encoder = encoder;
        recipe.bframes = 2;
        ASSERT_TRUE(MakeClip(w.home.path(std::string("src-") + encoder), recipe, clip));
        ASSERT_EQ(clip.packets.size(), 45u);
        // A camera that does not announce its parameter sets: they are found in the stream.
        if (std::strcmp(encoder, "libx265") == 0) clip.info.extradata.clear();
        // Nor its picture size, as RTSP cameras' descriptions do not: the key frame gives it.
        clip.info.width = clip.info.height = 0;
        const std::string location = std::string("Gate ") + encoder;
        {
            VideoCamera cam(location.c_str(), 0);
            for (size_t i = 0; i < clip.packets.size(); ++i) {
                ASSERT_EQ(cam.Record(clip, i), 1) << i;
                w.Advance(66);
            }
        }
        // The hour's file on the roomiest drive, named like the recorder's files.
        const std::string name = "201105141300" + location + ".mkv";
        const auto files = w.Files(roomy);
        ASSERT_NE(std::find(files.begin(), files.end(), name), files.end());
        EXPECT_TRUE(w.Files(small).empty());
        const std::string path = roomy + "/RECVAULT/" + name;
        EXPECT_EQ(ProbeCodec(path), std::strcmp(encoder, "libx264") == 0 ? "h264" : "hevc");
        EXPECT_EQ(Output("ffprobe -v error -select_streams v -show_entries stream=width,height -of csv=p=0 '" + path + "'"),
                  "320,240\n");
        // As received: ffmpeg decodes the very same pictures from the camera's stream and
        // from the recording.
        const auto sent = FrameChecksums(clip.path), kept = FrameChecksums(path);
        ASSERT_EQ(sent.size(), 45u);
        EXPECT_EQ(kept, sent);
        // ffprobe sees the camera's times: one picture every 1/15 s from 0.
        const auto times = ProbePacketTimes(path);
        ASSERT_EQ(times.size(), 45u);
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i < sorted.size(); ++i) EXPECT_NEAR(sorted[i], sorted[0] + i / 15.0, 0.002) << i;
        // The attached record dewarps the file as recorded; it carries no password.
        const std::string attachment = Output("ffprobe -v error -show_entries stream_tags=filename,mimetype -of csv=p=0 '" + path + "'");
        EXPECT_NE(attachment.find(kCameraAttachmentName), std::string::npos) << attachment;
        const ReadBack back = Read(path);
        ASSERT_EQ(back.result, OpenResult::Ok);
        EXPECT_STREQ(back.record.location, location.c_str());
        EXPECT_EQ(back.record.lensType, 2);
        EXPECT_EQ(back.record.account[0], 0);
        EXPECT_EQ(back.record.password[0], 0);
        EXPECT_EQ(back.frames, 45);
        EXPECT_EQ(back.decoded, 45);
        // Frame times: the local time of the first picture, then the camera's clock.
        ASSERT_EQ(back.times.size(), 45u);
        EXPECT_EQ(back.times[0].hour, 13);
        for (size_t i = 1; i < back.times.size(); ++i) EXPECT_NEAR(Ms(back.times[i]) - Ms(back.times[0]), i * 66.67, 2) << i;
        // The recordings list finds it like any recording.
        BuildCatalogue();
        bool listed = false;
        for (DvrNode* n : CatalogueNodes()) listed |= name == n->name;
        EXPECT_TRUE(listed);
        EXPECT_EQ(CatalogueText(name.c_str()), "2011/05/14 13:00  -- " + location);
    }
}

// The hour turns at the first key frame of the new hour: no picture is lost or kept twice,
// and the new file, on the drive with the most free space at that moment, plays from its
// first picture.
TEST(VideoRecorder, TheHourTurnsAtAKeyFrame) {
    VideoWorld w;
    const auto a = w.AddRoot("a", 900), b = w.AddRoot("b", 100);
    w.UseRoots({a, b});
    Clip clip;
    ClipRecipe recipe;
    recipe.gop = 10;
    recipe.frames = 40;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    w.now = {2011, 5, 6, 14, 13, 59, 59, 0};
    VideoCamera cam("Dock", 0);
    for (size_t i = 0; i < clip.packets.size(); ++i) {
        if (i == 14) w.sizes[b].first = 5000;  // b is the roomier drive once the hour turns
        ASSERT_EQ(cam.Record(clip, i), 1) << i;
        w.Advance(i == 13 ? 200 : 66);  // picture 14 comes in the new hour, mid-group
    }
    StopRecordingContext(&cam.view);
    ASSERT_EQ(w.Files(a), std::vector<std::string>{"201105141300Dock.mkv"});
    ASSERT_EQ(w.Files(b), std::vector<std::string>{"201105141400Dock.mkv"});
    const std::string first = a + "/RECVAULT/201105141300Dock.mkv", second = b + "/RECVAULT/201105141400Dock.mkv";
    EXPECT_EQ(ProbePacketTimes(first).size(), 20u);  // up to the key frame of picture 20
    EXPECT_EQ(ProbePacketTimes(second).size(), 20u);
    auto sums = FrameChecksums(first);
    const auto rest = FrameChecksums(second);
    sums.insert(sums.end(), rest.begin(), rest.end());
    EXPECT_EQ(sums, FrameChecksums(clip.path));
    const ReadBack back = Read(second);
    EXPECT_EQ(back.decoded, 20);
    ASSERT_FALSE(back.times.empty());
    EXPECT_EQ(back.times[0].hour, 14);
}

// Recording that follows motion keeps the packets since the last key frame: each stretch
// begins with the key frame before its first moving picture and plays from there; a pause
// within a group of pictures is filled from them.
TEST(VideoRecorder, StretchesOnMotionBeginAtTheirKeyFrame) {
    VideoWorld w;
    const auto a = w.AddRoot("a", 900);
    w.UseRoots({a});
    Clip clip;
    ClipRecipe recipe;
    recipe.gop = 10;
    recipe.frames = 50;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    VideoCamera cam("Hall", 0);
    auto moving = [](size_t i) { return (i >= 23 && i <= 25) || (i >= 27 && i <= 28) || (i >= 44 && i <= 46); };
    for (size_t i = 0; i < clip.packets.size(); ++i) {
        EXPECT_EQ(cam.Record(clip, i, moving(i) ? 1 : 0), moving(i) ? 1 : 0) << i;
        w.Advance(66);
    }
    StopRecordingContext(&cam.view);
    const std::string path = a + "/RECVAULT/201105141300Hall.mkv";
    const auto sent = FrameChecksums(clip.path), kept = FrameChecksums(path);
    ASSERT_EQ(sent.size(), 50u);
    std::vector<std::string> expected(sent.begin() + 20, sent.begin() + 29);
    expected.insert(expected.end(), sent.begin() + 40, sent.begin() + 47);
    EXPECT_EQ(kept, expected);
    // Each stretch begins with a key frame, as ffprobe reads the packets.
    const std::string flags =
        Output("ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 '" + path + "' | cut -c1 | tr -d '\n'");
    EXPECT_EQ(flags, "K________K______") << flags;
    // The camera's clock: the second stretch lies 20 pictures after the first.
    const auto times = ProbePacketTimes(path);
    ASSERT_EQ(times.size(), 16u);
    EXPECT_NEAR(times[9] - times[8], 12 / 15.0, 0.01);
    EXPECT_EQ(Read(path).decoded, 16);
}

// A new connection with the same parameters goes on in the same file; a stream of another
// size begins a file beside it, from its first key frame.
TEST(VideoRecorder, NewConnectionsGoOnOrBeginAFileBeside) {
    VideoWorld w;
    const auto a = w.AddRoot("a", 900);
    w.UseRoots({a});
    Clip clip, large;
    ClipRecipe recipe;
    recipe.gop = 10;
    recipe.frames = 20;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    recipe.width = 384;
    recipe.height = 288;
    ASSERT_TRUE(MakeClip(w.home.path("large"), recipe, large));
    VideoCamera cam("Yard", 0);
    for (size_t i = 0; i < clip.packets.size(); ++i, w.Advance(66)) ASSERT_EQ(cam.Record(clip, i), 1);
    // The camera comes back 5 seconds later, its clock started again; the first pictures
    // after the connection need a key frame before them.
    w.Advance(5000);
    clip.info.generation = 2;
    for (size_t i = 5; i < clip.packets.size(); ++i, w.Advance(66)) EXPECT_EQ(cam.Record(clip, i), i >= 10 ? 1 : 0) << i;
    large.info.generation = 3;
    for (size_t i = 0; i < large.packets.size(); ++i, w.Advance(66)) ASSERT_EQ(cam.Record(large, i), 1);
    StopRecordingContext(&cam.view);
    EXPECT_EQ(w.Files(a), (std::vector<std::string>{"201105141300Yard.mkv", "201105141300Yard~1.mkv"}));
    const std::string path = a + "/RECVAULT/201105141300Yard.mkv";
    const auto times = ProbePacketTimes(path);
    ASSERT_EQ(times.size(), 30u);
    // The second connection's pictures follow at the local clock's distance.
    EXPECT_NEAR(times[20] - times[19], 5.066 + 5 * 0.066, 0.05);
    EXPECT_EQ(Read(path).decoded, 30);
    const ReadBack beside = Read(a + "/RECVAULT/201105141300Yard~1.mkv");
    EXPECT_EQ(beside.decoded, 20);
}

// The recorder's other rules: nothing from the web control, nothing while recording is off
// but the background's pictures, a full disk said on the status line with nothing left behind,
// and the hour going on beside it when there is room again.
TEST(VideoRecorder, SwitchesAndAFullDisk) {
    VideoWorld w;
    const auto a = w.AddRoot("a", 900);
    w.UseRoots({a});
    Clip clip;
    ClipRecipe recipe;
    recipe.gop = 5;
    recipe.frames = 15;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    VideoCamera cam("Lane", 0);
    g_lib.callerId = 2;
    EXPECT_EQ(cam.Record(clip, 0), 0);
    g_lib.callerId = 0;
    g_lib.recording = 0;
    EXPECT_EQ(cam.Record(clip, 0), 0);
    EXPECT_EQ(RecordVideoPacket(&cam.view, clip.info, clip.Packet(0), kNoMotionDetector, true), 1);
    g_lib.recording = 1;
    for (size_t i = 1; i < 5; ++i) ASSERT_EQ(cam.Record(clip, i), 1);
    EXPECT_FALSE(OpenVideoRecordingPath(&cam.view).empty());
    StopRecordingContext(&cam.view);
    EXPECT_TRUE(OpenVideoRecordingPath(&cam.view).empty());

    // A full disk (the process's file size limit stands in for it): message 2554, and no
    // file is left behind.
    StartRecordingContext(&cam.view);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const int full = cam.Record(clip, 5);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(full, 0);
    ASSERT_FALSE(w.status.empty());
    EXPECT_EQ(w.status.back(), Text(2554));
    EXPECT_EQ(w.Files(a), std::vector<std::string>{"201105141300Lane.mkv"});
    // Room again: after the pause the hour goes on in a file beside the first one.
    w.Advance(3000);
    for (size_t i = 5; i < 15; ++i) EXPECT_EQ(cam.Record(clip, i), 1) << i;
    EXPECT_EQ(w.status.back(), "");
    StopRecordingContext(&cam.view);
    EXPECT_EQ(w.Files(a), (std::vector<std::string>{"201105141300Lane.mkv", "201105141300Lane~1.mkv"}));
    const std::string folder = a + "/RECVAULT";
    EXPECT_EQ(Read(folder + "/201105141300Lane.mkv").decoded, 5);
    EXPECT_EQ(Read(folder + "/201105141300Lane~1.mkv").decoded, 10);
}
