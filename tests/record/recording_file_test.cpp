#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "record/recording_file.h"
#include "support/test_support.h"

using namespace orb;

namespace {

std::vector<uint8_t> MakeJpeg(int w, int h, uint8_t shade) {
    HDIB pic = CreateDIB(w, h, 24);
    {
        DibLock lock(pic);
        for (int y = 0; y < h; ++y) std::memset(lock.rowFromTop(y), shade + y, lock.rowBytes());
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(JpegEncodeMemory(pic, 80, out));
    DestroyDIB(pic);
    return out;
}

SystemTime At(int hour, int minute, int second) { return SystemTime{2011, 5, 6, 14, uint16_t(hour), uint16_t(minute), uint16_t(second), 0}; }

int64_t I64(const std::vector<uint8_t>& b, size_t at) {
    int64_t v;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}
int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
void PatchBytes(const std::string& path, off_t at, const void* p, size_t n) {
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, p, n, at), static_cast<ssize_t>(n));
    ::close(fd);
}

CameraRecord SampleRecord() {
    CameraRecord r{};
    std::strcpy(r.location, "Lobby");
    r.lensType = 3;
    r.centerX = 321;
    return r;
}

}  // namespace

TEST(RecordingFile, GoldenBytesOfCreateAndFirstFrames) {
    orbtest::TempHome home;
    const std::string path = home.path("a.P360");
    const CameraRecord rec = SampleRecord();
    DvrContext w;
    ASSERT_EQ(CreateRecording(w, path, rec, At(13, 0, 1)), 1);
    CloseRecording(w);
    auto b = orbtest::ReadFile(path);
    ASSERT_EQ(b.size(), 15316u);
    const uint8_t magic[12] = {'O', 'R', 'B', 'I', 'S', 'C', 'O', 'P', 'E', 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.data(), magic, 12), 0);
    const uint8_t words[16] = {0x00, 0x01, 0, 0, 0, 0, 0, 0, 'M', 'J', 'P', 'G', 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.data() + 12, words, 16), 0);
    const uint8_t time[16] = {0xDB, 0x07, 5, 0, 6, 0, 14, 0, 13, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.data() + 28, time, 16), 0);
    EXPECT_EQ(std::memcmp(b.data() + 44, &rec, sizeof rec), 0);
    EXPECT_EQ(I64(b, 3028), 7124);
    for (int k = 1; k < 512; ++k) ASSERT_EQ(I64(b, 3028 + 8 * k), 0);
    EXPECT_EQ(I64(b, 7124), 15316);
    for (int j = 1; j < 1024; ++j) ASSERT_EQ(I64(b, 7124 + 8 * j), 0);
    // Never over an existing file.
    DvrContext again;
    EXPECT_EQ(CreateRecording(again, path, rec, At(13, 0, 2)), 0);
    EXPECT_EQ(orbtest::ReadFile(path).size(), 15316u);

    DvrContext r;
    EXPECT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Empty);
    EXPECT_STREQ(OpenResultMessage(OpenResult::Empty), "DVR content is empty !");
    EXPECT_EQ(r.stream, nullptr);

    const auto jpeg = MakeJpeg(160, 120, 40);
    const int64_t s = static_cast<int64_t>(jpeg.size());
    ASSERT_EQ(ReopenRecording(w, path), 1);
    EXPECT_EQ(w.appendPos, 15316);
    ASSERT_EQ(AppendFrame(w, jpeg.data(), int32_t(s), At(13, 5, 7)), 1);
    CloseRecording(w);
    b = orbtest::ReadFile(path);
    ASSERT_EQ(static_cast<int64_t>(b.size()), 15316 + 24 + s);
    EXPECT_EQ(I32(b, 16), 1);
    EXPECT_EQ(I64(b, 7124), 15316);
    EXPECT_EQ(I64(b, 7132), 15340 + s);
    EXPECT_EQ(I32(b, 15316), int32_t(s));
    EXPECT_EQ(I32(b, 15320), 0);
    EXPECT_EQ(b[15316 + 8 + 10], 5);  // minute of the frame's time
    EXPECT_EQ(std::memcmp(b.data() + 15340, jpeg.data(), jpeg.size()), 0);

    CameraRecord back{};
    ASSERT_EQ(OpenRecordingForRead(r, path, &back), OpenResult::Ok);
    EXPECT_EQ(std::memcmp(&back, &rec, sizeof rec), 0);
    EXPECT_EQ(ReadFrameCount(r), 1);
    ASSERT_TRUE(ReadFrame(r, 0));
    EXPECT_EQ(r.loadedSize, int32_t(s));
    EXPECT_EQ(r.loadedTime.second, 7);
    HDIB pic = JpegDecodeBuffer(r.picture.data(), r.loadedSize);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(DIBWidth(GlobalLock(pic)), 160);
    GlobalUnlock(pic);
    DestroyDIB(pic);
    EXPECT_FALSE(ReadFrame(r, 1));
}

TEST(RecordingFile, SecondBlockIndexFollowsFrame1023AndReopenContinues) {
    orbtest::TempHome home;
    const std::string path = home.path("b.P360");
    DvrContext w;
    ASSERT_EQ(CreateRecording(w, path, SampleRecord(), At(9, 0, 0)), 1);
    std::vector<uint8_t> frame(37);
    for (int i = 0; i < 1500; ++i) {
        frame[0] = uint8_t(i), frame[1] = uint8_t(i >> 8);
        ASSERT_EQ(AppendFrame(w, frame.data(), int32_t(frame.size()), At(9, i / 60, i % 60)), 1);
        if (i == 1199) {  // a restart in the middle continues where the file ended
            CloseRecording(w);
            ASSERT_EQ(ReopenRecording(w, path), 1);
            EXPECT_EQ(w.frameCount, 1200);
        }
    }
    CloseRecording(w);
    const auto b = orbtest::ReadFile(path);
    const int64_t end1023 = 15316 + 1024 * (24 + 37);
    EXPECT_EQ(I64(b, 3028 + 8), end1023);
    EXPECT_EQ(I64(b, end1023), end1023 + 8192);
    EXPECT_EQ(I64(b, 3028 + 16), 0);
    EXPECT_EQ(static_cast<int64_t>(b.size()), 15316 + 1500 * 61 + 8192);
    DvrContext r;
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    EXPECT_EQ(ReadFrameCount(r), 1500);
    for (int n : {0, 1023, 1024, 1199, 1200, 1499}) {
        ASSERT_TRUE(ReadFrame(r, n)) << n;
        EXPECT_EQ(r.picture[0] | (r.picture[1] << 8), n);
    }
    EXPECT_FALSE(ReadFrame(r, 1500));
    EXPECT_FALSE(ReadFrame(r, -1));
}

TEST(RecordingFile, ReaderRefusesBadFilesInOrder) {
    orbtest::TempHome home;
    const std::string path = home.path("c.P360");
    DvrContext w;
    ASSERT_EQ(CreateRecording(w, path, SampleRecord(), At(9, 0, 0)), 1);
    const uint8_t pic[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(AppendFrame(w, pic, 10, At(9, 0, i)), 1);
    CloseRecording(w);
    const auto good = orbtest::ReadFile(path);
    auto check = [&](std::vector<uint8_t> bytes, OpenResult want) {
        orbtest::WriteFile(path, bytes);
        DvrContext r;
        EXPECT_EQ(OpenRecordingForRead(r, path, nullptr), want);
        EXPECT_EQ(r.stream != nullptr, want == OpenResult::Ok);
    };
    DvrContext r;
    EXPECT_EQ(OpenRecordingForRead(r, home.path("none.P360"), nullptr), OpenResult::Missing);
    check({}, OpenResult::ShortHeader);
    check(std::vector<uint8_t>(good.begin(), good.begin() + 11), OpenResult::ShortHeader);
    auto b = good;
    b[9] = 'X';
    check(b, OpenResult::BadMagic);
    b = good;
    b[10] = 7, b[11] = 9;
    check(b, OpenResult::Ok);
    b = good;
    b[12] = 1, b[13] = 1;  // 257
    b[16] = 0;             // and an empty count: the version is looked at first
    check(b, OpenResult::BadVersion);
    b = good;
    b[20] = 'X';
    b[16] = 0;
    check(b, OpenResult::Empty);
    b = good;
    b[20] = 'X';
    check(b, OpenResult::BadCompression);
    check(std::vector<uint8_t>(good.begin(), good.begin() + 3000), OpenResult::ShortRecord);
    EXPECT_STREQ(OpenResultMessage(OpenResult::BadMagic), "Bad DVR File !   ");

    // A count beyond the indexed frames fails on those frames only; a damaged slot too.
    b = good;
    b[16] = 9;
    int64_t zero = 0;
    std::memcpy(b.data() + 7124 + 8, &zero, 8);
    orbtest::WriteFile(path, b);
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    EXPECT_EQ(ReadFrameCount(r), 9);
    EXPECT_TRUE(ReadFrame(r, 0));
    EXPECT_FALSE(ReadFrame(r, 1));
    EXPECT_TRUE(ReadFrame(r, 2));
    EXPECT_FALSE(ReadFrame(r, 3));
    EXPECT_FALSE(ReadFrame(r, 8));
    // A frame record that claims more bytes than the file holds is refused, not read.
    b = good;
    const int32_t huge = 0x7FFFFF00;
    std::memcpy(b.data() + 15316, &huge, 4);
    orbtest::WriteFile(path, b);
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    EXPECT_FALSE(ReadFrame(r, 0));
    EXPECT_TRUE(ReadFrame(r, 1));
    // An extra byte count is skipped.
    b = good;
    const int32_t extra = 4;
    std::memcpy(b.data() + 15316 + 4, &extra, 4);
    orbtest::WriteFile(path, b);
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    EXPECT_TRUE(ReadFrame(r, 0));
    EXPECT_EQ(r.loadedExtraSize, 4);
    // A file whose append slot is damaged is not continued.
    b = good;
    std::memcpy(b.data() + 7124 + 24, &zero, 8);
    orbtest::WriteFile(path, b);
    EXPECT_EQ(ReopenRecording(w, path), 0);
    EXPECT_EQ(orbtest::ReadFile(path), b);
}

TEST(RecordingFile, OffsetsPastFourGigabytesInASparseFile) {
    orbtest::TempHome home;
    const std::string path = home.path("big.P360");
    DvrContext w;
    ASSERT_EQ(CreateRecording(w, path, SampleRecord(), At(9, 0, 0)), 1);
    const uint8_t pic[6] = {'f', 'i', 'r', 's', 't', 0};
    ASSERT_EQ(AppendFrame(w, pic, 6, At(9, 0, 0)), 1);
    CloseRecording(w);
    // Pretend 5 GB of frames: the append slot points far out and the file is that long.
    const int64_t far = 5000000000LL;
    PatchBytes(path, 7124 + 8, &far, 8);
    ASSERT_EQ(::truncate(path.c_str(), far), 0);
    ASSERT_EQ(ReopenRecording(w, path), 1);
    EXPECT_EQ(w.appendPos, far);
    const uint8_t late[5] = {'l', 'a', 't', 'e', '!'};
    ASSERT_EQ(AppendFrame(w, late, 5, At(9, 59, 59)), 1);
    EXPECT_EQ(w.appendPos, far + 29);
    CloseRecording(w);
    DvrContext r;
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    EXPECT_EQ(ReadFrameCount(r), 2);
    ASSERT_TRUE(ReadFrame(r, 1));
    EXPECT_EQ(r.loadedSize, 5);
    EXPECT_EQ(std::memcmp(r.picture.data(), late, 5), 0);
    ASSERT_TRUE(ReadFrame(r, 0));
    EXPECT_EQ(std::memcmp(r.picture.data(), pic, 6), 0);
}

TEST(RecordingFile, ReaderFollowsAWriterThatIsStillAppending) {
    orbtest::TempHome home;
    const std::string path = home.path("live.P360");
    DvrContext w;
    ASSERT_EQ(CreateRecording(w, path, SampleRecord(), At(9, 0, 0)), 1);
    uint8_t first[8] = {0};
    ASSERT_EQ(AppendFrame(w, first, 8, At(9, 0, 0)), 1);
    constexpr int kFrames = 2500;
    std::atomic<bool> failed{false};
    std::thread writer([&] {
        std::vector<uint8_t> f(300);
        for (int i = 1; i < kFrames; ++i) {
            std::memset(f.data(), uint8_t(i), f.size());
            std::memcpy(f.data(), &i, 4);
            f.resize(8 + (i % 7) * 40);
            if (AppendFrame(w, f.data(), int32_t(f.size()), At(9, 0, 0)) != 1) failed = true;
        }
    });
    DvrContext r;
    ASSERT_EQ(OpenRecordingForRead(r, path, nullptr), OpenResult::Ok);
    int checked = 0, count = 0;
    for (int turn = 0; turn < 1000000 && count < kFrames; ++turn) {
        count = ReadFrameCount(r);
        ASSERT_GE(count, 1);
        const int n = count - 1;
        ASSERT_TRUE(ReadFrame(r, n)) << n;
        int got;
        std::memcpy(&got, r.picture.data(), 4);
        ASSERT_EQ(got, n);
        ASSERT_EQ(r.loadedSize, n == 0 ? 8 : 8 + (n % 7) * 40);
        ++checked;
    }
    writer.join();
    EXPECT_FALSE(failed);
    EXPECT_EQ(ReadFrameCount(r), kFrames);
    EXPECT_GT(checked, 0);
}
