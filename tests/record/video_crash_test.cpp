// A video recorder killed outright loses at most the last second: a writer process records a
// camera's packets at the camera's own pace and is killed with SIGKILL at a moment of chance,
// again and again; each time ffprobe reads the file it left up to a second before the kill,
// and every picture in it decodes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/paths.h"
#include "record/recording_source.h"
#include "support/video_support.h"

using namespace orb;
using namespace videotest;

namespace {

constexpr const char* kClipVariable = "ORB_VIDEO_WRITER_CLIP";
constexpr const char* kRootVariable = "ORB_VIDEO_WRITER_ROOT";

int64_t Ms(int64_t t, const VideoStreamInfo& s) { return av_rescale_q(t, {s.timeBaseNum, s.timeBaseDen}, {1, 1000}); }

}  // namespace

// The writer: run by the test below in a process of its own. It records the clip over and
// over at its pace and says, after each packet stored, the packet's time in the file.
TEST(VideoCrash, Writer) {
    const char* clipPath = std::getenv(kClipVariable);
    const char* root = std::getenv(kRootVariable);
    if (!clipPath || !root) GTEST_SKIP() << "run by VideoCrash.KilledWriterLosesAtMostASecond";
    Clip clip;
    ASSERT_TRUE(DemuxClip(clipPath, clip));
    VideoWorld w;
    w.sizes[root] = {1e9, 1e12};
    w.UseRoots({root});
    SetLocalClock({});
    VideoCamera cam("Crash", 0);
    const int64_t first = Ms(clip.packets[0].dts, clip.info);
    const int64_t length = Ms(clip.packets.back().dts, clip.info) - first + 67;
    const auto start = std::chrono::steady_clock::now();
    for (int64_t loop = 0;; ++loop) {
        for (size_t i = 0; i < clip.packets.size(); ++i) {
            ClipPacket p = clip.packets[i];
            const int64_t at = Ms(p.dts, clip.info) - first + loop * length;
            std::this_thread::sleep_until(start + std::chrono::milliseconds(at));
            const int64_t shift = av_rescale_q(loop * length, {1, 1000}, {clip.info.timeBaseNum, clip.info.timeBaseDen});
            VideoPacket v{p.data.data(), p.data.size(), p.pts + shift, p.dts + shift, p.key};
            if (RecordVideoPacket(&cam.view, clip.info, v, kNoMotionDetector) == 1) {
                std::printf("%lld\n", static_cast<long long>(at));
                std::fflush(stdout);
            }
        }
    }
}

TEST(VideoCrash, KilledWriterLosesAtMostASecond) {
    VideoWorld w;
    Clip clip;
    ClipRecipe recipe;
    recipe.frames = 30;
    recipe.gop = 15;
    ASSERT_TRUE(MakeClip(w.home.path("src"), recipe, clip));
    std::mt19937 chance(std::random_device{}());
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string root = w.home.path("disk" + std::to_string(round));
        MakeDirs(root);
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            dup2(out[1], 1);
            close(out[0]);
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            setenv(kClipVariable, clip.path.c_str(), 1);
            setenv(kRootVariable, root.c_str(), 1);
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            execl("/proc/self/exe", "writer", "--gtest_filter=VideoCrash.Writer", nullptr);
            _exit(127);
        }
        close(out[1]);
        // Kill it at a moment of chance once it has recorded a while.
        const auto kill = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(std::uniform_int_distribution<int>(1500, 3500)(chance));
        std::string said;
        bool started = false;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < (started ? kill : limit)) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                char buf[4096];
                const ssize_t n = read(out[0], buf, sizeof buf);
                if (n <= 0) break;
                said.append(buf, static_cast<size_t>(n));
                started = true;
            }
        }
        ::kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself";
        // What it had stored before it died (its last words may still be in the pipe).
        char buf[4096];
        ssize_t n;
        while ((n = read(out[0], buf, sizeof buf)) > 0) said.append(buf, static_cast<size_t>(n));
        close(out[0]);
        const size_t lastLine = said.rfind('\n', said.size() - 2);
        const double stored = std::atof(said.c_str() + (lastLine == std::string::npos ? 0 : lastLine + 1)) / 1000.0;
        ASSERT_GT(stored, 0.5) << said;

        const std::string path = root + "/RECVAULT/" + w.Files(root).at(0);
        const auto times = ProbePacketTimes(path);
        ASSERT_FALSE(times.empty());
        EXPECT_GE(times.back(), stored - 1.0) << "stored up to " << stored << " s";
        // Every picture on disk decodes, from the first.
        std::unique_ptr<RecordingSource> source;
        ASSERT_EQ(OpenRecordingSource(path, source, nullptr), OpenResult::Ok);
        const int32_t frames = source->FrameCount(true);
        EXPECT_EQ(frames, static_cast<int32_t>(times.size()));
        int decoded = 0;
        for (int32_t i = 0; i < frames; ++i) {
            HDIB pic = nullptr;
            SystemTime t{};
            decoded += source->Fetch(i, 1, pic, t, true) == FrameFetch::Ready;
            DestroyDIB(pic);
        }
        EXPECT_EQ(decoded, frames);
    }
}
