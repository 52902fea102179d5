#include <gtest/gtest.h>

#include <string>

#include "common/scene_renderer.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "support/test_support.h"

// The command-line dewarper: scene in, view picture out; bad arguments give the usage.
TEST(DewarpTool, WritesTheViewPictureAndRefusesBadArguments) {
    orbtest::TempHome home;
    const std::string tool = std::string(ORB_BINARY_DIR) + "/orbiscope-dewarp";
    const std::string base = home.path("view");
    ASSERT_EQ(orbtest::Run(tool + " --mode 4 --size 640x360 --out " + base + " > /dev/null"), 0);
    HDIB pic = LoadJpeg((base + ".jpg").c_str());
    ASSERT_NE(pic, nullptr);
    {
        orb::DibLock lock(pic);
        EXPECT_EQ(lock.width(), 640);
        EXPECT_EQ(lock.height(), 360);
    }
    orb::DestroyDIB(pic);
    const std::vector<uint8_t> bmp = orbtest::ReadFile(base + ".bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    // Its own output as input: a JPEG file goes through as well.
    EXPECT_EQ(orbtest::Run(tool + " " + base + ".jpg --out " + base + "2 > /dev/null"), 0);
    EXPECT_EQ(orbtest::Run(tool + " --size 0x5 2> /dev/null"), 2);
    EXPECT_EQ(orbtest::Run(tool + " --nonsense 2> /dev/null"), 2);
    EXPECT_EQ(orbtest::Run(tool + " /nonexistent.jpg 2> /dev/null"), 1);
    EXPECT_EQ(orbtest::Run(tool + " --config /nonexistent/Config.ure 2> /dev/null"), 1);
}

// Pan/tilt/zoom options steer a window; the half-sphere lenses dewarp their own scene.
TEST(DewarpTool, PanTiltZoomAndHalfSphereLenses) {
    orbtest::TempHome home;
    const std::string tool = std::string(ORB_BINARY_DIR) + "/orbiscope-dewarp";
    const std::string base = home.path("view");
    auto centre = [&](const std::string& args, int x, int y) {
        EXPECT_EQ(orbtest::Run(tool + " " + args + " --out " + base + " > /dev/null"), 0) << args;
        const std::vector<uint8_t> bmp = orbtest::ReadFile(base + ".bmp");
        orbtools::Bgr c{0, 0, 0};
        if (bmp.size() > 54) {
            // Bottom-up rows padded to 4 bytes after the 54-byte headers.
            const int w = bmp[18] | bmp[19] << 8, h = bmp[22] | bmp[23] << 8, stride = (w * 3 + 3) & ~3;
            const size_t at = 54 + size_t(h - 1 - y) * stride + size_t(x) * 3;
            if (at + 2 < bmp.size()) c = {bmp[at], bmp[at + 1], bmp[at + 2]};
        }
        return c;
    };
    // Mode 7: window 3 over the whole view; pan P looks at azimuth P + 90.
    for (double pan : {-60.0, 30.0, 120.0}) {
        const auto c = centre("--mode 7 --size 320x240 --window 3 --zoom 40 --tilt -30 --pan " + std::to_string(pan), 160, 120);
        EXPECT_EQ(orbtools::BandOfColour(c), orbtools::BandAt(pan + 90.0)) << pan;
    }
    // The 180-degree lens, whole panorama: sky on top, floor below.
    auto sky = centre("--lens 8 --mode 1 --size 360x180", 180, 3);
    EXPECT_GT(int(sky.b) + sky.g + sky.r, 700);
    auto floor = centre("--lens 8 --mode 1 --size 360x180", 180, 176);
    EXPECT_NEAR(int(floor.g), 190, 8);
    // A perspective window of the 90-degree lens looking at longitude 45.
    const auto p = centre("--lens 9 --mode 4 --perspective --size 320x240 --window 4 --pan 45 --tilt 0 --zoom 30", 160, 120);
    EXPECT_EQ(orbtools::BandOfColour(p), orbtools::BandAt(135.0));
    EXPECT_EQ(orbtest::Run(tool + " --lens 8 --window 5 2> /dev/null"), 2);
}
