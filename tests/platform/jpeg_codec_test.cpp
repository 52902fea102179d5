#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "support/test_support.h"

using namespace orb;
using orbtest::ReadFile;

namespace {

std::vector<uint8_t> Data(const std::string& name) { return ReadFile(orbtest::SourcePath("tests/data/jpeg/" + name)); }

// A P6 file decoded by an independent decoder: RGB, top row first.
struct Ppm {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};
Ppm LoadPpm(const std::string& name) {
    const std::vector<uint8_t> b = Data(name);
    Ppm p;
    int maxval = 0, consumed = 0;
    std::sscanf(reinterpret_cast<const char*>(b.data()), "P6 %d %d %d%n", &p.w, &p.h, &maxval, &consumed);
    p.rgb.assign(b.begin() + consumed + 1, b.end());
    return p;
}

// Mean absolute difference per channel between a picture and the reference.
double MeanDifference(HDIB pic, const Ppm& ref) {
    DibLock lock(pic);
    double sum = 0;
    for (int y = 0; y < ref.h; ++y) {
        const uint8_t* row = lock.rowFromTop(y);
        for (int x = 0; x < ref.w; ++x)
            for (int c = 0; c < 3; ++c) sum += std::abs(row[x * 3 + c] - ref.rgb[(y * ref.w + x) * 3 + (2 - c)]);
    }
    return sum / (ref.w * ref.h * 3.0);
}

HDIB Decode(const std::vector<uint8_t>& b) { return DecodeFromJPEGBuffer(b.data(), static_cast<int32_t>(b.size())); }

// Patches the first SOF marker's height and width.
std::vector<uint8_t> WithSize(std::vector<uint8_t> b, int w, int h) {
    for (size_t i = 0; i + 9 < b.size(); ++i)
        if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) {
            b[i + 5] = static_cast<uint8_t>(h >> 8);
            b[i + 6] = static_cast<uint8_t>(h);
            b[i + 7] = static_cast<uint8_t>(w >> 8);
            b[i + 8] = static_cast<uint8_t>(w);
            break;
        }
    return b;
}

}  // namespace

TEST(JpegCodec, DecodesPicturesOfAnotherEncoderInEveryLayout) {
    for (const char* name : {"base420", "base444", "progressive", "grey"}) {
        SCOPED_TRACE(name);
        HDIB pic = Decode(Data(std::string(name) + ".jpg"));
        ASSERT_NE(pic, nullptr);
        const Ppm ref = LoadPpm(std::string(name) + ".ppm");
        {
            DibLock lock(pic);
            EXPECT_EQ(lock.width(), 160);
            EXPECT_EQ(lock.height(), 120);
            EXPECT_EQ(lock.bitCount(), 24);
        }
        // Chroma upsampling of 4:2:0 differs between decoders at sharp colour edges.
        EXPECT_LT(MeanDifference(pic, ref), std::string(name) == "base420" ? 6.0 : 2.0);
        DestroyDIB(pic);
    }
}

TEST(JpegCodec, RowsStartOnFourByteBoundariesForOddWidths) {
    HDIB pic = Decode(Data("w101.jpg"));
    ASSERT_NE(pic, nullptr);
    {
        DibLock lock(pic);
        EXPECT_EQ(lock.width(), 101);
        EXPECT_EQ(lock.rowBytes(), 304);  // 303 padded to 4
        EXPECT_EQ(GlobalSize(pic), 40u + 304u * 100u);
        // The test pattern is striped vertically at the top: no shear means the top-left
        // pixel of every one of the first rows matches the first row's.
        const uint8_t* r0 = lock.rowFromTop(0);
        for (int y = 1; y < 5; ++y) EXPECT_NEAR(lock.rowFromTop(y)[0], r0[0], 8) << y;
    }
    DestroyDIB(pic);
}

TEST(JpegCodec, SizeBoundsDifferBetweenMemoryAndFile) {
    EXPECT_EQ(Decode(Data("w99.jpg")), nullptr);
    HDIB fromFile = LoadJpeg(orbtest::SourcePath("tests/data/jpeg/w99.jpg").c_str());
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(LastSnapshotPath(), orbtest::SourcePath("tests/data/jpeg/w99.jpg"));
    DestroyDIB(fromFile);
    EXPECT_TRUE(JpegSideAccepted(16384, 16384, 100));
    EXPECT_FALSE(JpegSideAccepted(16385, 200, 100));
    EXPECT_FALSE(JpegSideAccepted(200, 16385, 50));
    EXPECT_FALSE(JpegSideAccepted(99, 200, 100));
    EXPECT_TRUE(JpegSideAccepted(50, 50, 50));
    // A header claiming 16385 pixels is refused before any pixel memory is taken.
    EXPECT_EQ(Decode(WithSize(Data("base420.jpg"), 16385, 120)), nullptr);
    // A missing file fails and keeps the last path.
    EXPECT_EQ(LoadJpeg("/nonexistent/x.jpg"), nullptr);
    EXPECT_EQ(LastSnapshotPath(), orbtest::SourcePath("tests/data/jpeg/w99.jpg"));
}

TEST(JpegCodec, BadInputFailsCleanly) {
    const std::vector<uint8_t> good = Data("base420.jpg");
    EXPECT_EQ(DecodeFromJPEGBuffer(nullptr, 0), nullptr);
    EXPECT_EQ(DecodeFromJPEGBuffer(good.data(), 0), nullptr);
    EXPECT_EQ(DecodeFromJPEGBuffer(good.data(), -5), nullptr);
    // Truncated at many points: never a picture with grey filler.
    for (size_t cut : {2ul, 20ul, 200ul, good.size() / 2, good.size() - 10})
        EXPECT_EQ(DecodeFromJPEGBuffer(good.data(), static_cast<int32_t>(cut)), nullptr) << cut;
    // Garbage.
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7919);
    EXPECT_EQ(Decode(junk), nullptr);
    // Four channels.
    EXPECT_EQ(Decode(Data("cmyk.jpg")), nullptr);
    // 12-bit precision.
    std::vector<uint8_t> twelve = good;
    for (size_t i = 0; i + 4 < twelve.size(); ++i)
        if (twelve[i] == 0xFF && twelve[i + 1] == 0xC0) {
            twelve[i + 4] = 12;
            break;
        }
    EXPECT_EQ(Decode(twelve), nullptr);
    // A huge picture whose data ends at once fails quickly.
    EXPECT_EQ(Decode(WithSize(good, 16000, 16000)), nullptr);
    EXPECT_EQ(JpegProbe(good.data(), good.size()), 1);
    EXPECT_EQ(JpegProbe(junk.data(), junk.size()), 0);
}

TEST(JpegCodec, EncodeThenDecodeStaysClose) {
    orbtest::TempHome home;
    HDIB pic = CreateDIB(333, 211, 24);
    {
        DibLock lock(pic);
        for (int y = 0; y < 211; ++y)
            for (int x = 0; x < 333; ++x) {
                uint8_t* p = lock.rowFromTop(y) + x * 3;
                p[0] = static_cast<uint8_t>(x * 255 / 332);
                p[1] = static_cast<uint8_t>(y * 255 / 210);
                p[2] = 128;
            }
    }
    const std::string path = home.path("out.jpg");
    ASSERT_EQ(JpegEncodeFile(pic, path.c_str()), 1);
    const std::vector<uint8_t> bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
    HDIB back = Decode(bytes);
    ASSERT_NE(back, nullptr);
    {
        DibLock a(pic), b(back);
        ASSERT_EQ(b.width(), 333);
        ASSERT_EQ(b.height(), 211);
        double diff = 0;
        for (int y = 0; y < 211; ++y)
            for (int i = 0; i < 333 * 3; ++i) diff += std::abs(a.rowFromTop(y)[i] - b.rowFromTop(y)[i]);
        EXPECT_LT(diff / (333 * 211 * 3), 3.0);  // smooth gradients at quality 75
    }
    std::vector<uint8_t> mem;
    EXPECT_TRUE(JpegEncodeMemory(pic, 90, mem));
    EXPECT_EQ(JpegEncodeFile(nullptr, path.c_str()), 0);
    EXPECT_EQ(JpegEncodeFile(pic, "/nonexistent/dir/x.jpg"), 0);
    DestroyDIB(pic);
    DestroyDIB(back);
}

TEST(JpegCodec, DecodesOnSeveralThreadsRunSideBySide) {
    const std::vector<uint8_t> good = Data("base444.jpg");
    // A slow picture decoded over and over beside them: with one decompressor each and no
    // lock between them, small decodes start and end while a slow one is under way.
    HDIB big = CreateDIB(2400, 1800, 24);
    std::vector<uint8_t> slow;
    ASSERT_TRUE(JpegEncodeMemory(big, 95, slow));
    DestroyDIB(big);
    using Clock = std::chrono::steady_clock;
    std::mutex spansLock;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> slowSpans, smallSpans;
    std::atomic<bool> done{false};
    std::atomic<int> slowOk{0};
    std::thread hog([&] {
        while (!done) {
            const auto t0 = Clock::now();
            HDIB p = Decode(slow);
            const auto t1 = Clock::now();
            if (p) ++slowOk;
            DestroyDIB(p);
            std::lock_guard l(spansLock);
            slowSpans.emplace_back(t0, t1);
        }
    });
    std::vector<std::thread> threads;
    std::atomic<int> ok{0};
    HDIB reference = Decode(good);
    const std::vector<uint8_t> pixels = [&] {
        DibLock l(reference);
        return std::vector<uint8_t>(l.bits(), l.bits() + size_t(l.rowBytes()) * l.height());
    }();
    DestroyDIB(reference);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                const auto t0 = Clock::now();
                HDIB p = Decode(good);
                const auto t1 = Clock::now();
                if (p) {
                    DibLock lock(p);
                    if (std::equal(pixels.begin(), pixels.end(), lock.bits())) ++ok;
                }
                DestroyDIB(p);
                std::lock_guard l(spansLock);
                smallSpans.emplace_back(t0, t1);
            }
        });
    for (auto& t : threads) t.join();
    done = true;
    hog.join();
    EXPECT_EQ(ok.load(), 80);  // every one of them the same picture
    EXPECT_GT(slowOk.load(), 0);
    int inside = 0;
    for (const auto& s : smallSpans)
        for (const auto& b : slowSpans) inside += s.first > b.first && s.second < b.second;
    EXPECT_GT(inside, 0);
}

// Reduced decodes: 1/2, 1/4 and 1/8 where they divide the picture's sides, the sizes and
// checks of the whole picture, and at 1/8 each pixel the mean of its 8 x 8 block.
TEST(JpegCodec, ReducedDecodesGiveTheMeansOfTheBlocks) {
    EXPECT_EQ(UsableDecodeScale(2592, 1944, 8), 8);
    EXPECT_EQ(UsableDecodeScale(2592, 1944, 3), 2);
    EXPECT_EQ(UsableDecodeScale(1920, 1080, 8), 8);
    EXPECT_EQ(UsableDecodeScale(1280, 722, 8), 2);  // 722 = 2 x 361
    EXPECT_EQ(UsableDecodeScale(101, 480, 8), 1);
    EXPECT_EQ(UsableDecodeScale(640, 480, 0), 1);
    HDIB pic = CreateDIB(320, 240, 24);
    {
        DibLock l(pic);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                uint8_t* p = l.rowFromTop(y) + x * 3;
                p[0] = uint8_t(x * 255 / 320), p[1] = uint8_t(x / 8 * 20), p[2] = uint8_t(y / 8 * 30);
            }
    }
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(JpegEncodeMemory(pic, 95, jpeg));
    DestroyDIB(pic);
    HDIB whole = Decode(jpeg);
    for (int scale : {1, 2, 4, 8}) {
        const ScaledPicture r = JpegDecodeScaled(jpeg.data(), jpeg.size(), PictureBudget(), scale);
        ASSERT_NE(r.picture, nullptr) << scale;
        EXPECT_EQ(r.scale, scale);
        EXPECT_EQ(r.width, 320);
        EXPECT_EQ(r.height, 240);
        {
        DibLock l(r.picture), w(whole);
        ASSERT_EQ(l.width(), 320 / scale);
        ASSERT_EQ(l.height(), 240 / scale);
        // Each reduced pixel against the mean of the whole picture's pixels it stands for.
        double sum = 0;
        for (int y = 0; y < l.height(); ++y)
            for (int x = 0; x < l.width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    int mean = 0;
                    for (int j = 0; j < scale; ++j)
                        for (int i = 0; i < scale; ++i) mean += w.rowFromTop(y * scale + j)[(x * scale + i) * 3 + c];
                    sum += std::abs(double(l.rowFromTop(y)[x * 3 + c]) - double(mean) / (scale * scale));
                }
        EXPECT_LT(sum / (3.0 * l.width() * l.height()), 3.5) << scale;
        }  // the locks end before the picture does
        DestroyDIB(r.picture);
    }
    DestroyDIB(whole);
    // A width 1/8 does not divide takes the largest that does; the memory bounds hold for
    // the whole picture; a grey picture reduces too.
    const std::vector<uint8_t> odd = Data("w101.jpg");
    const ScaledPicture w101 = JpegDecodeScaled(odd.data(), odd.size(), PictureBudget(), 8);
    ASSERT_NE(w101.picture, nullptr);
    EXPECT_EQ(w101.scale, UsableDecodeScale(w101.width, w101.height, 8));
    DestroyDIB(w101.picture);
    const std::vector<uint8_t> narrow = Data("w99.jpg");
    EXPECT_EQ(JpegDecodeScaled(narrow.data(), narrow.size(), PictureBudget(), 8).picture, nullptr);
    DecodeStatus status = DecodeStatus::Ok;
    const ScaledPicture over = JpegDecodeScaled(jpeg.data(), jpeg.size(), 320 * 240 - 1, 8, &status);
    EXPECT_EQ(over.picture, nullptr);
    EXPECT_EQ(status, DecodeStatus::OverBudget);
    const std::vector<uint8_t> grey = Data("grey.jpg");
    const ScaledPicture g = JpegDecodeScaled(grey.data(), grey.size(), PictureBudget(), 2);
    if (g.picture) {
        DibLock l(g.picture);
        EXPECT_EQ(l.bitCount(), 24);
        EXPECT_EQ(l.width(), (g.width + g.scale - 1) / g.scale);
    }
    DestroyDIB(g.picture);
    const uint8_t cut[] = {0xFF, 0xD8, 0xFF};
    EXPECT_EQ(JpegDecodeScaled(cut, sizeof cut, PictureBudget(), 8).picture, nullptr);
}

TEST(JpegCodec, EveryDecodeKeepsToThePictureBudget) {
    orbtest::TempHome home;
    HDIB pic = CreateDIB(1280, 960, 24);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(JpegEncodeMemory(pic, 80, bytes));
    const std::string path = home.path("big.jpg");
    ASSERT_EQ(JpegEncodeFile(pic, path.c_str()), 1);
    DestroyDIB(pic);
    EXPECT_EQ(PictureBudget(), kDefaultPictureBudget);
    SetPictureBudget(1000000);
    const int64_t operations = JpegOperationCount();
    EXPECT_EQ(Decode(bytes), nullptr);
    EXPECT_EQ(JpegOperationCount(), operations);  // refused before the library was entered
    EXPECT_EQ(JpegLoadFile(path.c_str()), nullptr);
    DecodeStatus status = DecodeStatus::Ok;
    int w = 0, h = 0;
    EXPECT_EQ(JpegDecodeWithin(bytes.data(), bytes.size(), 1280 * 960 - 1, &status, &w, &h), nullptr);
    EXPECT_EQ(status, DecodeStatus::OverBudget);
    EXPECT_EQ(w * h, 1280 * 960);
    HDIB exact = JpegDecodeWithin(bytes.data(), bytes.size(), 1280 * 960, &status, nullptr, nullptr);
    EXPECT_NE(exact, nullptr);
    EXPECT_EQ(status, DecodeStatus::Ok);
    DestroyDIB(exact);
    const uint8_t junk[] = {1, 2, 3};
    EXPECT_EQ(JpegDecodeWithin(junk, sizeof junk, 1000, &status, nullptr, nullptr), nullptr);
    EXPECT_EQ(status, DecodeStatus::Unreadable);
    SetPictureBudget(0);
    EXPECT_EQ(PictureBudget(), kDefaultPictureBudget);
    HDIB back = Decode(bytes);
    EXPECT_NE(back, nullptr);
    DestroyDIB(back);
}
