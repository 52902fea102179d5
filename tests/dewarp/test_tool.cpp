#include <gtest/gtest.h>

#include <string>

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
