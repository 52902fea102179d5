// A server no one here wrote: ffmpeg's multipart JPEG output over HTTP (chunked, with its
// default boundary, which it does not even declare, or with one it is told), read by a
// model with another boundary of its own and by the generic stream model. Every frame
// ffmpeg encodes must arrive once, in order, byte for byte as the same frames ffmpeg
// writes to files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "camera/capture_thread.h"
#include "camera/frame_pipeline.h"
#include "camera_support.h"
#include "common/fake_camera.h"
#include "config/settings.h"
#include "platform/dib.h"
#include "record/backup.h"
#include "record/recorder.h"
#include "record/recording_file.h"

using namespace orb;
using namespace orbtest;

namespace {

namespace fs = std::filesystem;

std::vector<std::vector<uint8_t>> RecordedFrames(const std::string& folder, const std::string& location) {
    std::vector<std::string> names;
    for (const std::string& n : ListBackupFolder(folder))
        if (n.find(location) != std::string::npos) names.push_back(n);
    std::sort(names.begin(), names.end());
    std::vector<std::vector<uint8_t>> out;
    for (const std::string& n : names) {
        DvrContext reader;
        if (OpenRecordingForRead(reader, folder + n, nullptr) != OpenResult::Ok) continue;
        const int32_t count = ReadFrameCount(reader);
        for (int32_t i = 0; i < count && ReadFrame(reader, i); ++i)
            out.emplace_back(reader.picture.begin(), reader.picture.begin() + reader.loadedSize);
    }
    return out;
}

int FreePort() {
    orbtools::FakeCamera probe(orbtools::FakeCameraOptions{});
    const int port = probe.Start();
    probe.Stop();
    return port;
}

struct Ffmpeg : Capture {};

}  // namespace

TEST_F(Ffmpeg, EveryFrameArrivesWithDefaultAndCustomBoundaries) {
    if (orbtest::Run("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed (tools/deps.sh installs it)";
    const std::string disk = home.path("disk");
    fs::create_directories(disk);
    WriteSetting("DVR", "StorageRoots", disk);
    BuildDriveTable();
    g_lib.recording = 1;
    constexpr int kFrames = 40;
    struct Case {
        int model;
        const char* boundaryOption;
    } cases[] = {{2, ""}, {400, ""}, {2, "-boundary_tag camboundary "}, {400, "-boundary_tag myboundary "}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string tag = "case" + std::to_string(n++);
        SCOPED_TRACE(tag + " model " + std::to_string(c.model) + " " + c.boundaryOption);
        const int port = FreePort();
        ASSERT_GT(port, 0);
        const std::string files = home.path(tag);
        fs::create_directories(files);
        const std::string log = home.path(tag + ".log");
        // One encoding per output, the same settings: ffmpeg's files hold the very bytes it sends.
        const std::string cmd = "timeout 90 ffmpeg -hide_banner -loglevel error -re -f lavfi -i testsrc=size=640x480:rate=25 "
                                "-frames:v " + std::to_string(kFrames) + " -q:v 5 -f mpjpeg " + c.boundaryOption +
                                "-listen 1 http://127.0.0.1:" + std::to_string(port) + "/ -frames:v " +
                                std::to_string(kFrames) + " -q:v 5 -f image2 " + files + "/f%03d.jpg >" + log + " 2>&1 &";
        ASSERT_EQ(orbtest::Run(cmd), 0);
        auto view = MakeCameraView(c.model, port);
        SetText(view->record.location, tag.c_str());
        AssignRecordingSlot(view.get(), 0, 1);
        StartRecordingContext(view.get());
        // ffmpeg listens a moment after it starts: the view keeps trying until it does.
        ASSERT_TRUE(StartCapture(view.get()));
        const bool all = WaitFor([&] { return view->frames.recorded >= kFrames; }, 60);
        StopCapture(view.get());
        EXPECT_TRUE(all) << view->frames.recorded << " of " << kFrames << "; " << Status(*view) << orbtest::ReadText(log);
        std::vector<std::string> written;
        for (const auto& e : fs::directory_iterator(files)) written.push_back(e.path().string());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written.size(), static_cast<size_t>(kFrames)) << "ffmpeg's own frame count";
        const auto stored = RecordedFrames(g_drives.entries[0].folder, tag);
        ASSERT_EQ(stored.size(), static_cast<size_t>(kFrames));
        for (size_t i = 0; i < written.size() && i < stored.size(); ++i)
            EXPECT_TRUE(orbtest::ReadFile(written[i]) == stored[i]) << "frame " << i;
        // A few decoded and compared pixel for pixel with ffmpeg's files.
        for (size_t i : {size_t{0}, size_t{kFrames / 2}, size_t{kFrames - 1}}) {
            HDIB ours = DecodeFromJPEGBuffer(stored[i].data(), static_cast<int32_t>(stored[i].size()));
            HDIB theirs = LoadJpeg(written[i].c_str());
            ASSERT_TRUE(ours && theirs);
            {
                DibLock a(ours), b(theirs);
                EXPECT_EQ(a.width(), 640);
                EXPECT_EQ(a.height(), 480);
                EXPECT_EQ(std::vector<uint8_t>(a.bits(), a.bits() + a.rowBytes() * a.height()),
                          std::vector<uint8_t>(b.bits(), b.bits() + b.rowBytes() * b.height()));
            }
            DestroyDIB(ours);
            DestroyDIB(theirs);
        }
        StopRecordingContext(view.get());
        ReleaseRecordingSlot(view.get());
        ReleaseFrames(*view);
    }
    g_lib.recording = 0;
}
