// Recordings survive the recording process being killed outright: the demo host records
// four live cameras, is killed with SIGKILL, and every file it left plays to its last
// indexed frame; a second run in the same hour goes on recording next to them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "config/camera_record.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "record/recording_file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace orb;

namespace {

std::map<std::string, int32_t> PlayEvery(const std::string& folder) {
    std::map<std::string, int32_t> frames;
    if (!fs::exists(folder)) return frames;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() != ".P360") continue;
        SCOPED_TRACE(e.path().string());
        DvrContext reader;
        CameraRecord record{};
        EXPECT_EQ(OpenRecordingForRead(reader, e.path().string(), &record), OpenResult::Ok);
        const int32_t n = ReadFrameCount(reader);
        for (int32_t i = 0; i < n; ++i) {
            if (!ReadFrame(reader, i)) {
                ADD_FAILURE() << "frame " << i << " of " << n << " cannot be read";
                break;
            }
            HDIB pic = DecodeFromJPEGBuffer(reader.picture.data(), reader.loadedSize);
            EXPECT_TRUE(pic) << i << " of " << n;
            DestroyDIB(pic);
        }
        CloseRecording(reader);
        frames[e.path().filename().string()] = n;
    }
    return frames;
}

}  // namespace

TEST(Crash, KilledWhileRecordingLeavesPlayableFiles) {
    orbtest::TempHome home;
    const std::string out = home.path("demo");
    const std::string demo = std::string(ORB_BINARY_DIR) + "/orbiscope-demo";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        // Every picture recorded, not only those with motion.
        execl(demo.c_str(), demo.c_str(), out.c_str(), "--headless", "--seconds", "60", "--fps", "20", "--no-motion", nullptr);
        _exit(127);
    }
    // Let the four cameras record for a while, then kill the recorder in the middle of it.
    const std::string vault = out + "/RECVAULT";
    auto recorded = [&] {
        std::error_code ec;
        uintmax_t bytes = 0;
        int files = 0;
        if (fs::exists(vault, ec))
            for (const auto& e : fs::directory_iterator(vault, ec)) files += 1, bytes += e.file_size(ec);
        return files == 4 && bytes > 2'000'000;
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!recorded() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(recorded()) << "the demo recorded nothing";
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const auto first = PlayEvery(vault);
    ASSERT_EQ(first.size(), 4u);
    for (const auto& [name, n] : first) EXPECT_GT(n, 2) << name;

    // Started again in the same hour, the recorder goes on: no frame recorded before is lost.
    ASSERT_EQ(orbtest::Run("ASAN_OPTIONS=detect_leaks=0 timeout 60 \"" + demo + "\" \"" + out +
                           "\" --headless --seconds 2 --fps 20 --no-motion >/dev/null 2>&1"),
              0);
    const auto second = PlayEvery(vault);
    int32_t before = 0, after = 0;
    for (const auto& [name, n] : first) before += n;
    for (const auto& [name, n] : second) after += n;
    EXPECT_GT(after, before);
    for (const auto& [name, n] : first) {
        // Continued in place (same name), or a file beside it when the hour had to go on in a new one.
        if (second.count(name)) EXPECT_GE(second.at(name), n) << name;
    }
}
