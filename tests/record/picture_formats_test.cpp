// Still pictures in the formats the photo viewer's open dialog offers, made by ImageMagick
// and read back through the picture libraries: a known colour and size come out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/dib.h"
#include "platform/picture_loader.h"
#include "record/still_picture.h"
#include "support/test_support.h"

using namespace orb;

namespace {

bool HaveConvert() { return orbtest::Run("command -v convert >/dev/null 2>&1") == 0; }

// The picture's pixel (x, y) from the top as R, G, B.
void Pixel(HDIB pic, int x, int y, int& r, int& g, int& b) {
    DibLock l(pic);
    const uint8_t* p = l.rowFromTop(y) + x * 3;
    b = p[0], g = p[1], r = p[2];
}

}  // namespace

TEST(PictureFormats, EveryOfferedFormatLoadsWithItsColourAndSize) {
    if (!HaveConvert()) GTEST_SKIP() << "no ImageMagick to make the pictures";
    if (PictureLoaders().empty()) GTEST_SKIP() << "built without picture libraries";
    orbtest::TempHome home;
    // A 160 x 120 picture, orange on the left half, blue on the right.
    const std::string make = "convert -size 80x120 xc:'#f08020' -size 80x120 xc:'#2040c0' +append ";
    for (const char* ext : {"png", "gif", "tif", "pcx", "tga", "ppm", "xpm", "bmp", "jpg"}) {
        const std::string path = home.path(std::string("still.") + ext);
        ASSERT_EQ(orbtest::Run(make + "'" + path + "'"), 0) << ext;
        HDIB pic = LoadStillPicture(path);
        ASSERT_NE(pic, nullptr) << ext << " through " << PictureLoaders();
        {
            DibLock l(pic);
            EXPECT_EQ(l.width(), 160) << ext;
            EXPECT_EQ(l.height(), 120) << ext;
            EXPECT_EQ(l.bitCount(), 24) << ext;
        }
        int r, g, b;
        Pixel(pic, 20, 60, r, g, b);
        EXPECT_NEAR(r, 0xf0, 12) << ext;
        EXPECT_NEAR(g, 0x80, 12) << ext;
        EXPECT_NEAR(b, 0x20, 12) << ext;
        Pixel(pic, 140, 60, r, g, b);
        EXPECT_NEAR(r, 0x20, 12) << ext;
        EXPECT_NEAR(g, 0x40, 12) << ext;
        EXPECT_NEAR(b, 0xc0, 12) << ext;
        DestroyDIB(pic);
    }
}

TEST(PictureFormats, OneBitWirelessBitmapLoadsBlackAndWhite) {
    if (!HaveConvert()) GTEST_SKIP() << "no ImageMagick to make the pictures";
    if (PictureLoaders().find("FreeImage") == std::string::npos) GTEST_SKIP() << "built without the second library";
    orbtest::TempHome home;
    const std::string path = home.path("still.wbmp");
    ASSERT_EQ(orbtest::Run("convert -size 80x120 xc:white -size 80x120 xc:black +append '" + path + "'"), 0);
    HDIB pic = LoadStillPicture(path);
    ASSERT_NE(pic, nullptr);
    int r, g, b;
    Pixel(pic, 20, 60, r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);
    Pixel(pic, 140, 60, r, g, b);
    EXPECT_EQ(r + g + b, 0);
    DestroyDIB(pic);
}

TEST(PictureFormats, BrokenAndOversizedFilesAreRefusedWithoutACrash) {
    orbtest::TempHome home;
    const std::string junk = home.path("junk.gif");
    orbtest::WriteText(junk, "GIF89a this is not a picture");
    EXPECT_EQ(LoadStillPicture(junk), nullptr);
    if (!HaveConvert()) return;
    const std::string wide = home.path("wide.png");
    ASSERT_EQ(orbtest::Run("convert -size 200x10 xc:red '" + wide + "'"), 0);
    EXPECT_EQ(LoadPictureFile(wide, 100), nullptr);  // above the side limit: not read
}
