#include <gtest/gtest.h>

#if __has_include(<png.h>)
#include <png.h>
#define TEST_HAVE_PNG 1
#endif

#include <cstring>

#include "config/camera_record.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "record/snapshot.h"
#include "ui/snapshot_viewer.h"
#include "record/still_picture.h"
#include "ui/photo_viewer.h"
#include "support/test_support.h"

using namespace orb;
using orbtest::ReadFile;
using orbtest::WriteFile;

namespace {

// Colour of pixel (x, y) counted from the top, as B, G, R.
std::array<uint8_t, 3> Colour(int x, int y) {
    return {static_cast<uint8_t>(x * 2), static_cast<uint8_t>(y * 2), static_cast<uint8_t>((x + y) & 0xFF)};
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

// A hand-made BMP: 24 or 32 bits, bottom-up unless topDown.
std::vector<uint8_t> MakeBmp(int w, int h, int bpp, bool topDown) {
    const int row = ((w * bpp + 31) / 32) * 4;
    std::vector<uint8_t> f(54 + static_cast<size_t>(row) * h, 0);
    f[0] = 'B', f[1] = 'M';
    Put32(f, 2, static_cast<uint32_t>(f.size()));
    Put32(f, 10, 54);
    Put32(f, 14, 40);
    Put32(f, 18, static_cast<uint32_t>(w));
    Put32(f, 22, static_cast<uint32_t>(topDown ? -h : h));
    f[26] = 1;
    f[28] = static_cast<uint8_t>(bpp);
    for (int y = 0; y < h; ++y) {
        uint8_t* r = &f[54 + static_cast<size_t>(row) * (topDown ? y : h - 1 - y)];
        for (int x = 0; x < w; ++x) std::memcpy(r + x * (bpp / 8), Colour(x, y).data(), 3);
    }
    return f;
}

void ExpectPicture(HDIB pic, int w, int h, int tolerance) {
    ASSERT_NE(pic, nullptr);
    DibLock l(pic);
    ASSERT_EQ(l.width(), w);
    ASSERT_EQ(l.height(), h);
    ASSERT_EQ(l.bitCount(), 24);
    int worst = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(l.rowFromTop(y)[x * 3 + c] - Colour(x, y)[c]));
    EXPECT_LE(worst, tolerance);
}

struct StillWorld {
    orbtest::TempHome home;
    StillWorld() {
        SetBackend(Backend::Headless);
        ResetWindowing();
        TakeMessages();
    }
    ~StillWorld() {
        ClosePhotoViewer();
        CloseSnapshotViewer();
        ResetWindowing();
    }
};

}  // namespace

TEST(StillPicture, BmpPngAndJpegOfOddSizesLoad) {
    StillWorld w;
    for (int bpp : {24, 32})
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(bpp * 10 + topDown);
            const std::string path = w.home.path("odd.bmp");
            WriteFile(path, MakeBmp(101, 103, bpp, topDown));
            HDIB pic = LoadStillPicture(path);
            ExpectPicture(pic, 101, 103, 0);
            DestroyDIB(pic);
        }
    // An 8-bit palette picture: index = x % 4 into four grey levels.
    {
        const int wd = 103, ht = 100, row = 104;
        std::vector<uint8_t> f(54 + 1024 + static_cast<size_t>(row) * ht, 0);
        f[0] = 'B', f[1] = 'M';
        Put32(f, 10, 54 + 1024);
        Put32(f, 14, 40);
        Put32(f, 18, wd);
        Put32(f, 22, ht);
        f[26] = 1, f[28] = 8;
        Put32(f, 46, 4);
        for (int i = 0; i < 4; ++i) f[54 + i * 4] = f[55 + i * 4] = f[56 + i * 4] = static_cast<uint8_t>(i * 80);
        for (int y = 0; y < ht; ++y)
            for (int x = 0; x < wd; ++x) f[54 + 1024 + static_cast<size_t>(row) * y + x] = static_cast<uint8_t>(x % 4);
        WriteFile(w.home.path("pal.bmp"), f);
        HDIB pic = LoadStillPicture(w.home.path("pal.bmp"));
        ASSERT_NE(pic, nullptr);
        {
            DibLock l(pic);
            EXPECT_EQ(l.width(), 103);
            EXPECT_EQ(l.rowFromTop(5)[3 * 3], 240);
            EXPECT_EQ(l.rowFromTop(5)[2 * 3 + 1], 160);
        }
        DestroyDIB(pic);
    }
    // Lying headers are refused: rows beyond the file, a zero width.
    auto cut = MakeBmp(101, 103, 24, false);
    cut.resize(cut.size() - 1);
    EXPECT_EQ(DecodeBmp(cut), nullptr);
    auto zero = MakeBmp(101, 103, 24, false);
    Put32(zero, 18, 0);
    EXPECT_EQ(DecodeBmp(zero), nullptr);
    EXPECT_EQ(DecodeBmp({}), nullptr);

#ifdef TEST_HAVE_PNG
    for (auto format : {PNG_FORMAT_RGB, PNG_FORMAT_RGBA, PNG_FORMAT_BGR}) {
        SCOPED_TRACE(format);
        const int wd = 103, ht = 101, ch = PNG_IMAGE_PIXEL_CHANNELS(format);
        std::vector<uint8_t> pixels(static_cast<size_t>(wd) * ht * ch, 255);
        for (int y = 0; y < ht; ++y)
            for (int x = 0; x < wd; ++x) {
                const auto c = Colour(x, y);
                uint8_t* p = &pixels[(static_cast<size_t>(y) * wd + x) * ch];
                if (format == PNG_FORMAT_BGR)
                    std::memcpy(p, c.data(), 3);
                else
                    p[0] = c[2], p[1] = c[1], p[2] = c[0];
            }
        png_image img{};
        img.version = PNG_IMAGE_VERSION;
        img.width = wd;
        img.height = ht;
        img.format = format;
        const std::string path = w.home.path("odd.png");
        ASSERT_NE(png_image_write_to_file(&img, path.c_str(), 0, pixels.data(), 0, nullptr), 0);
        HDIB pic = LoadStillPicture(path);
        ExpectPicture(pic, 103, 101, 0);
        DestroyDIB(pic);
    }
#endif
    // JPEG through the codec (lossy: compared loosely).
    {
        HDIB src = CreateDIB(101, 107, 24);
        {
            DibLock l(src);
            for (int y = 0; y < 107; ++y)
                for (int x = 0; x < 101; ++x) std::memcpy(l.rowFromTop(y) + x * 3, Colour(x, y).data(), 3);
        }
        ASSERT_EQ(JpegEncodeFile(src, w.home.path("odd.jpg").c_str()), 1);
        DestroyDIB(src);
        HDIB pic = LoadStillPicture(w.home.path("odd.jpg"));
        ExpectPicture(pic, 101, 107, 40);
        DestroyDIB(pic);
    }
    WriteFile(w.home.path("junk.gif"), std::vector<uint8_t>(64, 'G'));
    EXPECT_EQ(LoadStillPicture(w.home.path("junk.gif")), nullptr);
    EXPECT_EQ(LoadStillPicture(w.home.path("none.png")), nullptr);
}

TEST(StillPicture, LensSettingsFromDefaultsOrTheTrailer) {
    StillWorld w;
    CameraRecord r{};
    DefaultStillRecord(r, 2048, 1536);
    EXPECT_EQ(r.ovalH, 640);
    EXPECT_EQ(r.ovalV, 480);
    EXPECT_EQ(r.centerX, 320);
    EXPECT_EQ(r.centerY, 240);
    EXPECT_EQ(r.firstRadius, 240);
    EXPECT_EQ(r.secondRadius, 60);
    EXPECT_EQ(r.showMode360, 4);
    EXPECT_EQ(r.lensType, kLensFisheye);
    EXPECT_EQ(r.sourceWidth, 2048);
    EXPECT_EQ(r.sourceHeight, 1536);
    DefaultStillRecord(r, 1001, 999);  // 480 * 1001 / 999 = 480.96: the remainder is dropped
    EXPECT_EQ(r.ovalH, 480);

    // 99 pixels wide is refused; 100 is taken.
    EXPECT_EQ(PrepareStill(CreateDIB(99, 200, 24), w.home.path("a.bmp")), nullptr);
    auto ok = PrepareStill(CreateDIB(100, 100, 24), w.home.path("a.bmp"));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->snapshot.nonJpeg);
    ReleaseFrames(*ok);

    // A picture carrying a trailer opens with the settings stored in it, whatever its size.
    const std::string path = w.home.path("fish.bmp");
    WriteFile(path, MakeBmp(301, 201, 24, false));
    ASSERT_EQ(AppendPanoramicImage(nullptr, path.c_str(), nullptr, 0), 1);
    ASSERT_EQ(g_photoViewer.views.size(), 1u);
    PanoView& v = *g_photoViewer.views[0];
    EXPECT_EQ(v.record.ovalH, 480 * 301 / 201);
    EXPECT_EQ(GetWindowText(g_photoViewer.frame), kPhotoViewerTitle);
    EXPECT_NE(v.frames.output, nullptr);
    v.record.firstRadius = 77;
    v.record.lensType = kLensConvexMirror;
    ASSERT_EQ(PictureAppendCCTVData(&v), 1);
    const auto withTrailer = ReadFile(path);
    EXPECT_EQ(withTrailer.size(), MakeBmp(301, 201, 24, false).size() + 2993);
    ASSERT_EQ(PictureAppendCCTVData(&v), 1);
    EXPECT_EQ(ReadFile(path).size(), withTrailer.size());  // replaced, not added

    ASSERT_EQ(AppendPanoramicImage(nullptr, path.c_str(), nullptr, 0), 1);
    ASSERT_EQ(g_photoViewer.views.size(), 2u);  // one more view in the same viewer
    EXPECT_EQ(g_photoViewer.views[1]->record.firstRadius, 77);
    EXPECT_EQ(g_photoViewer.views[1]->record.lensType, kLensConvexMirror);
    // The picture still loads with its trailer, and the snapshot viewer opens it with the
    // general loader.
    ASSERT_NE(OpenSnapshot(nullptr, nullptr), nullptr);
    ASSERT_EQ(OpenSnapshotFile(g_snapViewer, path, true), 1);
    EXPECT_TRUE(g_snapViewer.view->snapshot.nonJpeg);
    EXPECT_EQ(g_snapViewer.view->record.firstRadius, 77);
    EXPECT_EQ(g_snapViewer.view->frames.currentW, 301);

    // No file chosen (no dialog answers), a file that is no picture: 0.
    EXPECT_EQ(ProcessPanoramicImage(nullptr), 0);
    EXPECT_EQ(AppendPanoramicImage(nullptr, w.home.path("missing.png").c_str(), nullptr, 0), 0);
    EXPECT_EQ(g_photoViewer.views.size(), 2u);
}
