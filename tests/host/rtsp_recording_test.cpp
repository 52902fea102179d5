// An RTSP camera through the host program as a person uses it: added by URL (the password
// asked for), recorded headless until SIGTERM, and the Matroska file it left read by ffprobe,
// played to its last frame by the stand-alone player and shown by the host's player on a
// virtual X server (desktop-shots/rtsp-host-player.png).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/rtsp_peer.h"
#include "record/recording_source.h"
#include "record/video_file.h"
#include "support/test_support.h"
#include "support/video_support.h"
#include "host/host_support.h"
#include "ui/desktop_session.h"

namespace {

namespace fs = std::filesystem;
using orbtest::ReadText;
using orbtest::Run;

const std::string kBin = ORB_BINARY_DIR;

using hosttest::Capture;
using hosttest::WaitFor;

std::vector<std::string> VideoRecordings(const std::string& disk) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(disk, ec))
        if (e.path().extension() == ".mkv") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

// The frames the library's reader counts in a file, also while it is being written.
int32_t Frames(const std::string& path) {
    std::unique_ptr<orb::RecordingSource> reader;
    if (orb::OpenRecordingSource(path, reader, nullptr) != orb::OpenResult::Ok) return -1;
    return reader->FrameCount(true);
}

}  // namespace

TEST(OrbiscopeHost, RtspCameraRecordedHeadlessPlaysInThePlayer) {
    orbtest::TempHome home;
    orbtest::Run("cp " + kBin + "/Halo360Web_003906.r " + home.dir + "/");
    const std::string scratch = home.path("out.txt"), disk = home.path("disk"), host = kBin + "/orbiscope";
    fs::create_directories(disk);
    // The simulated fisheye over RTSP, H.264, Digest credentials.
    orbtools::RtspPeer camera;
    const int port = camera.Start(kBin + "/orbiscope-fakecam", "h264",
                                  {"--cameras", "1", "--fps", "15", "--user", "admin", "--password", "secret", "--auth",
                                   "digest"});
    ASSERT_GT(port, 0) << camera.error;
    std::string out;
    ASSERT_EQ(Capture("echo secret | " + host + " add Hall rtsp://admin@127.0.0.1:" + std::to_string(port) +
                          "/live --lens fisheye",
                      out, scratch),
              0)
        << out;
    EXPECT_NE(out.find("Password for admin@127.0.0.1"), std::string::npos) << out;
    ASSERT_EQ(Capture(host + " set Hall size=640x480 centre=320,240 radius=236,60", out, scratch), 0) << out;

    // Recorded headless until SIGTERM: at least two seconds of pictures in the hour's file.
    const std::string pidFile = home.path("run.pid"), rcFile = home.path("run.rc"), runOut = home.path("run.out");
    orbtest::Run("( " + host + " --headless --record " + disk + " >" + runOut + " 2>&1 & echo $! >" + pidFile + "; wait $!; echo $? >" +
        rcFile + " ) >/dev/null 2>&1 &");
    ASSERT_TRUE(WaitFor([&] { return std::atoi(ReadText(pidFile).c_str()) > 0; }, 10));
    const int pid = std::atoi(ReadText(pidFile).c_str());
    const bool recorded = WaitFor(
        [&] {
            const auto files = VideoRecordings(disk);
            return files.size() == 1 && Frames(files[0]) >= 30;
        },
        90);
    ::kill(pid, SIGTERM);
    ASSERT_TRUE(WaitFor([&] { return !ReadText(rcFile).empty(); }, 60)) << "the host did not stop on SIGTERM";
    EXPECT_EQ(std::atoi(ReadText(rcFile).c_str()), 0) << ReadText(runOut);
    EXPECT_NE(ReadText(runOut).find("every recording is closed"), std::string::npos) << ReadText(runOut);
    ASSERT_TRUE(recorded) << ReadText(runOut);
    const orbtools::RtspStats sent = camera.Stats();
    EXPECT_GE(sent.digest, 1);
    camera.Stop();

    const auto files = VideoRecordings(disk);
    ASSERT_EQ(files.size(), 1u);
    const std::string file = files[0];
    EXPECT_NE(fs::path(file).filename().string().find("Hall.mkv"), std::string::npos) << file;
    EXPECT_TRUE(orb::VideoFileEnded(file)) << "the file was not ended";
    // ffprobe reads it: the camera's H.264 at its size, from a key frame on, with the record.
    EXPECT_EQ(videotest::Output("ffprobe -v error -select_streams v -show_entries stream=codec_name,width,height -of csv=p=0 '" +
                                file + "'"),
              "h264,640,480\n");
    const std::string flags = videotest::Output("ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 '" +
                                                file + "' | cut -c1 | tr -d '\\n'");
    ASSERT_GE(flags.size(), 30u);
    EXPECT_EQ(flags[0], 'K') << flags;
    const int32_t frames = Frames(file);
    EXPECT_EQ(static_cast<size_t>(frames), flags.size());
    EXPECT_EQ(static_cast<int>(videotest::FrameChecksums(file).size()), frames);
    EXPECT_NE(videotest::Output("ffprobe -v error -show_entries stream_tags=filename -of csv=p=0 '" + file + "'")
                  .find(orb::kCameraAttachmentName),
              std::string::npos);

    // The stand-alone player plays every frame through the camera's dewarping.
    const std::string played = home.path("played");
    fs::create_directories(played);
    ASSERT_EQ(Capture(kBin + "/orbiscope-player --headless --out " + played + " '" + file + "'", out, scratch), 0) << out;
    EXPECT_NE(out.find("played " + std::to_string(frames) + " of " + std::to_string(frames) + " frames"), std::string::npos)
        << out;

    // The host's player on a display shows it dewarped: a scene, not an empty field.
    if (!desktop::Have("xvfb-run") || !desktop::Have("xdotool") || !desktop::Have("import") || !desktop::Have("compare"))
        GTEST_SKIP() << "no Xvfb, xdotool or ImageMagick here";
    orbtest::Run("mkdir -p " + desktop::kShots);
    const std::string script = orbtest::SourcePath("tests/host/player_desktop.sh");
    ASSERT_EQ(orbtest::Run("flock /tmp/orbiscope-xvfb.lock timeout 200 xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' " + script +
                  " " + kBin + " " + desktop::kShots + " rtsp-host-player '" + file + "' >" + desktop::kShots +
                  "/script-rtsp-host-player.txt 2>&1"),
              0);
    const std::string log = ReadText(desktop::kShots + "/rtsp-host-player.log");
    ASSERT_TRUE(desktop::Says(log, "player window")) << log;
    EXPECT_TRUE(desktop::Says(log, "settled")) << log;
    EXPECT_GT(desktop::Measured(log, "spread"), 0.05) << log;
    EXPECT_TRUE(desktop::Says(log, "player closed")) << log;
}
