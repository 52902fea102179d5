// Every framing that cameras and proxies in the field send, against every capture loop that
// can meet it: each picture sent must arrive exactly once, in order, byte for byte as sent
// (so pixel for pixel), shown and recorded. The recording is read back to count them.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "camera/capture_thread.h"
#include "camera/frame_pipeline.h"
#include "camera/picture_scale.h"
#include "camera_support.h"
#include "common/fake_camera.h"
#include "config/settings.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "record/backup.h"
#include "record/recorder.h"
#include "record/recording_file.h"

using namespace orb;
using namespace orbtest;
using orbtools::FakeAnswer;
using orbtools::FakeCamera;
using orbtools::FakeCameraOptions;
using orbtools::FakeFault;
using orbtools::FakeFraming;

namespace {

enum class Pictures { Numbered, Exif, Tiny, Huge };

struct Framing {
    const char* name;
    FakeFraming framing;
    Pictures pictures = Pictures::Numbered;
    bool pushOnly = false, pollOnly = false;
    FakeFault fault = FakeFault::None;
    std::string boundary = "--myboundary";
};

FakeFraming F(void (*set)(FakeFraming&)) {
    FakeFraming f;
    set(f);
    return f;
}

const std::vector<Framing>& AllFramings() {
    static const std::vector<Framing> all = {
        {"plain", {}},
        {"head and body apart, 20 ms", F([](FakeFraming& f) { f.splitDelayMs = 20; })},
        {"head and body apart, at once", F([](FakeFraming& f) { f.splitDelayMs = 0; })},
        {"chunked, 512-byte chunks", F([](FakeFraming& f) { f.chunkBytes = 512; })},
        {"chunked, a chunk a write", F([](FakeFraming& f) { f.chunkBytes = -1; })},
        {"lower-case header names", F([](FakeFraming& f) { f.lowerCaseHeaders = true; })},
        {"no blank after the colon", F([](FakeFraming& f) { f.noBlankAfterColon = true; })},
        {"one byte a write", {}, Pictures::Numbered, false, false, FakeFault::Drip},
        {"EXIF thumbnails", {}, Pictures::Exif},
        {"tiny pictures", {}, Pictures::Tiny},
        {"huge pictures", {}, Pictures::Huge},
        {"keep-alive", F([](FakeFraming& f) { f.keepAlive = true; }), Pictures::Numbered, false, true},
        {"keep-alive, chunked", F([](FakeFraming& f) { f.keepAlive = true, f.chunkBytes = 700; }), Pictures::Numbered, false, true},
        {"boundary declared with dashes", F([](FakeFraming& f) { f.declaredDashes = true; }), Pictures::Numbered, true},
        {"another boundary than the model's", {}, Pictures::Numbered, true, false, FakeFault::None, "--ffmpeg"},
        {"no boundary before the first part", F([](FakeFraming& f) { f.firstBoundary = false; }), Pictures::Numbered, true},
        {"extra part headers", F([](FakeFraming& f) { f.extraPartHeaders = true; }), Pictures::Numbered, true},
        {"part header split over two reads", F([](FakeFraming& f) { f.splitPartHeader = true; }), Pictures::Numbered, true},
        {"parts without length", F([](FakeFraming& f) { f.partLength = false; }), Pictures::Numbered, true},
        {"multipart over chunks, no lengths",
         F([](FakeFraming& f) { f.chunkBytes = 1024, f.partLength = false, f.firstBoundary = false; }), Pictures::Exif, true},
        {"tiny, without lengths", F([](FakeFraming& f) { f.partLength = false; }), Pictures::Tiny, true},
    };
    return all;
}

std::vector<uint8_t> Make(Pictures kind, int frame) {
    switch (kind) {
    case Pictures::Exif: return orbtools::ExifJpeg(320, 240, frame);
    case Pictures::Tiny: return orbtools::TinyJpeg(frame);
    case Pictures::Huge: return orbtools::HugeJpeg(frame);
    default: return orbtools::NumberedJpeg(320, 240, frame);
    }
}

// The pictures stored in the recordings of a folder, in order.
std::vector<std::vector<uint8_t>> Recorded(const std::string& folder, const std::string& location) {
    std::vector<std::string> names;
    for (const std::string& n : ListBackupFolder(folder))
        if (n.find(location) != std::string::npos) names.push_back(n);
    std::sort(names.begin(), names.end());
    std::vector<std::vector<uint8_t>> out;
    for (const std::string& n : names) {
        DvrContext reader;
        CameraRecord stored{};
        if (OpenRecordingForRead(reader, folder + n, &stored) != OpenResult::Ok) continue;
        const int32_t count = ReadFrameCount(reader);
        for (int32_t i = 0; i < count && ReadFrame(reader, i); ++i)
            out.emplace_back(reader.picture.begin(), reader.picture.begin() + reader.loadedSize);
    }
    return out;
}

std::vector<uint8_t> Pixels(HDIB picture) {
    DibLock l(picture);
    if (!l) return {};
    return std::vector<uint8_t>(l.bits(), l.bits() + static_cast<size_t>(l.rowBytes()) * l.height());
}

struct Row {
    std::string framing, loop;
    int sent = 0, arrived = 0;
    bool exact = false;
};
std::vector<Row>& Table() {
    static std::vector<Row> rows;
    return rows;
}

struct Framings : Capture {
    void SetUp() override {
        Capture::SetUp();
        disk = home.path("disk");
        orbtest::Run("mkdir -p " + disk);
        WriteSetting("DVR", "StorageRoots", disk);
        BuildDriveTable();
        g_lib.recording = 1;
    }
    void TearDown() override {
        g_lib.recording = 0;
        Capture::TearDown();
    }
    std::string disk;

    // Runs one framing against one loop; model and answer choose the loop.
    void RunCell(const Framing& f, int model, FakeAnswer answer, const char* loop) {
        SCOPED_TRACE(std::string(f.name) + " / " + loop);
        const int want = f.pictures == Pictures::Huge ? 3 : f.fault == FakeFault::Drip ? 3 : 6;
        auto pictures = std::make_shared<std::vector<std::vector<uint8_t>>>();
        for (int i = 0; i < want + 8; ++i) pictures->push_back(Make(f.pictures, i));
        FakeCameraOptions o;
        o.answer = answer;
        o.framing = f.framing;
        o.fault = f.fault;
        o.boundary = f.boundary;
        o.framesPerSecond = 30;
        o.pictureLimit = want;
        o.picture = [pictures](int frame) { return (*pictures)[static_cast<size_t>(frame) % pictures->size()]; };
        FakeCamera cam(o);
        const int port = cam.Start();
        ASSERT_GT(port, 0);
        auto view = MakeCameraView(model, port);
        const std::string location = "cell" + std::to_string(Table().size());
        SetText(view->record.location, location.c_str());
        AssignRecordingSlot(view.get(), 0, 1);
        StartRecordingContext(view.get());
        ASSERT_TRUE(StartCapture(view.get()));
        const bool got = WaitFor([&] { return view->frames.recorded >= want; }, 60);
        StopCapture(view.get());
        EXPECT_TRUE(got) << "recorded " << view->frames.recorded << " status " << Status(*view);
        const auto stored = Recorded(g_drives.entries[0].folder, location);
        Row row{f.name, loop, cam.PicturesSent(), static_cast<int>(stored.size()), false};
        // Exactly once and in order: the recording is the sent pictures from the first on.
        bool same = !stored.empty() && stored.size() <= pictures->size();
        for (size_t i = 0; same && i < stored.size(); ++i) same = stored[i] == (*pictures)[i];
        EXPECT_TRUE(same) << stored.size() << " recorded; first " << (stored.empty() ? 0 : stored[0].size()) << " bytes, sent " << (*pictures)[0].size();
        EXPECT_EQ(static_cast<int>(stored.size()), want);
        // The camera counts a picture once its last send returned, which may be after the
        // view has it.
        WaitFor([&] { return cam.PicturesSent() >= want; }, 10);
        EXPECT_EQ(cam.PicturesSent(), want);
        EXPECT_EQ(view->frames.pictures.load(), static_cast<int>(stored.size()));
        // The view holds the last one pixel for pixel as the codec decodes what was sent (a
        // small view decodes less of it, and has the whole picture again from its bytes).
        if (same) {
            HDIB sent = DecodeFromJPEGBuffer(stored.back().data(), static_cast<int32_t>(stored.back().size()));
            ASSERT_TRUE(sent);
            std::lock_guard lock(view->ui.viewMutex);
            HDIB held = FullCurrentPicture(*view);
            row.exact = Pixels(sent) == Pixels(held);
            EXPECT_TRUE(row.exact);
            DestroyDIB(held);
            DestroyDIB(sent);
        }
        Table().push_back(row);
        StopRecordingContext(view.get());
        ReleaseRecordingSlot(view.get());
        ReleaseFrames(*view);
        cam.Stop();
    }

    void RunLoop(int model, FakeAnswer answer, const char* loop) {
        for (const Framing& f : AllFramings()) {
            const bool push = answer == FakeAnswer::Push;
            if ((f.pushOnly && !push) || (f.pollOnly && push)) continue;
            RunCell(f, model, answer, loop);
        }
        for (const Row& r : Table())
            if (r.loop == loop)
                std::printf("| %-36s | %-22s | %4d sent | %4d arrived | %s |\n", r.framing.c_str(), r.loop.c_str(), r.sent,
                            r.arrived, r.exact ? "pixel-exact" : "DIFFERS");
    }
};

}  // namespace

TEST_F(Framings, StreamModelWithTextDelimiter) { RunLoop(2, FakeAnswer::Push, "stream, model 2"); }
TEST_F(Framings, StreamModelWithStartOfImage) { RunLoop(35, FakeAnswer::Push, "stream, model 35"); }
TEST_F(Framings, GenericStreamModel) { RunLoop(400, FakeAnswer::Push, "stream, model 400"); }
TEST_F(Framings, LengthPollingModel) { RunLoop(21, FakeAnswer::Length, "length polling, 21"); }
TEST_F(Framings, ClosePollingModel) { RunLoop(49, FakeAnswer::Close, "close polling, 49"); }
TEST_F(Framings, GenericSnapshotModel) { RunLoop(401, FakeAnswer::Close, "snapshot, model 401"); }
TEST_F(Framings, GenericStreamModelHttp10) { RunLoop(402, FakeAnswer::Push, "stream, model 402"); }

// A picture cut short and one that does not decode: neither shown nor recorded, the status
// line says why (and keeps saying it while the next pictures come), the others all arrive.
TEST_F(Framings, BrokenPicturesAreNeitherShownNorRecorded) {
    for (const auto& [model, answer] : {std::pair{2, FakeAnswer::Push}, std::pair{21, FakeAnswer::Length}}) {
        SCOPED_TRACE(model);
        auto pictures = std::make_shared<std::vector<std::vector<uint8_t>>>();
        for (int i = 0; i < 8; ++i) pictures->push_back(orbtools::NumberedJpeg(320, 240, i));
        (*pictures)[2].resize((*pictures)[2].size() / 2);  // no end marker
        (*pictures)[5].resize((*pictures)[5].size() / 2);
        (*pictures)[5].push_back(0xFF), (*pictures)[5].push_back(0xD9);  // ends, but not whole
        FakeCameraOptions o;
        o.answer = answer;
        o.framesPerSecond = 10;
        o.pictureLimit = 8;
        o.picture = [pictures](int frame) { return (*pictures)[static_cast<size_t>(frame) % pictures->size()]; };
        FakeCamera cam(o);
        const int port = cam.Start();
        ASSERT_GT(port, 0);
        auto view = MakeCameraView(model, port);
        const std::string location = "broken" + std::to_string(model);
        SetText(view->record.location, location.c_str());
        AssignRecordingSlot(view.get(), 0, 1);
        StartRecordingContext(view.get());
        ASSERT_TRUE(StartCapture(view.get()));
        std::set<std::string> said;
        const bool done = WaitFor([&] {
            said.insert(Status(*view));
            return view->frames.recorded >= 6 && cam.PicturesSent() >= 8;
        }, 60);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // nothing more is to come
        StopCapture(view.get());
        EXPECT_TRUE(done) << view->frames.recorded;
        EXPECT_TRUE(said.count(Text(1012))) << "the cut picture was not reported";
        EXPECT_TRUE(said.count(Text(1013))) << "the undecodable picture was not reported";
        const auto stored = Recorded(g_drives.entries[0].folder, location);
        const std::vector<std::vector<uint8_t>> want = {(*pictures)[0], (*pictures)[1], (*pictures)[3],
                                                        (*pictures)[4], (*pictures)[6], (*pictures)[7]};
        EXPECT_TRUE(stored == want) << stored.size() << " recorded";
        EXPECT_EQ(view->frames.pictures.load(), 6);
        StopRecordingContext(view.get());
        ReleaseRecordingSlot(view.get());
        ReleaseFrames(*view);
    }
}
