// The desktop backend under a virtual X server: the main window shows its views on the
// screen, as a screenshot proves. Skipped where Xvfb or ImageMagick is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/room_scene.h"
#include "platform/texts.h"
#include "support/test_support.h"

namespace {

bool Have(const char* program) { return orbtest::Run(std::string("command -v ") + program + " >/dev/null 2>&1") == 0; }

// A binary PPM (P6, maxval 255).
bool ReadPpm(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval;
    if (!(in >> magic >> w >> h >> maxval) || magic != "P6" || maxval != 255 || w <= 0 || h <= 0) return false;
    in.get();
    rgb.resize(static_cast<size_t>(w) * h * 3);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(rgb.data()), rgb.size()));
}

}  // namespace

TEST(Desktop, MainWindowAppearsOnTheScreen) {
    if (!Have("xvfb-run") || !Have("import")) GTEST_SKIP() << "no Xvfb or ImageMagick here";
    orbtest::TempHome home;
    orbtest::WriteFile(home.path(orb::kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    const std::string shot = home.path("screen.ppm");
    const std::string cmd = "cd " + home.dir + " && ORBISCOPE_HOME=" + home.dir + " ORBISCOPE_SYSTEM_DIR=" + home.dir +
                            " ASAN_OPTIONS=detect_leaks=0" +
                            " flock /tmp/orbiscope-xvfb.lock timeout 60 xvfb-run -a -s '-screen 0 640x480x24' " + ORB_BINARY_DIR + "/window-probe ppm:" + shot +
                            " >/dev/null 2>&1";
    const int status = orbtest::Run(cmd);
    if (status == 77) GTEST_SKIP() << "the desktop backend did not start";
    ASSERT_EQ(status, 0) << cmd;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPpm(shot, w, h, rgb));
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    const auto at = [&](int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    // Four views of 320 x 240 in their colours (red, green, blue, yellow).
    EXPECT_EQ(at(160, 180), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(480, 180), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(at(160, 420), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ(at(480, 420), (std::vector<int>{255, 255, 0}));
    // The view's label is drawn in black over its colour.
    int ink = 0;
    for (int y = 8; y < 20; ++y)
        for (int x = 8; x < 50; ++x) ink += at(x, y) == std::vector<int>{0, 0, 0};
    EXPECT_GT(ink, 10);
}

// The screen shows the window layer's picture byte for byte: views full of noise, one of
// them painted again after the first draw, so that the desktop's copy was brought up to date
// piecemeal.
TEST(Desktop, ScreenShowsTheLayersPictureExactly) {
    if (!Have("xvfb-run") || !Have("import")) GTEST_SKIP() << "no Xvfb or ImageMagick here";
    orbtest::TempHome home;
    orbtest::WriteFile(home.path(orb::kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    const std::string shot = home.path("screen.ppm"), layer = home.path("layer.ppm");
    const std::string cmd = "cd " + home.dir + " && ORBISCOPE_HOME=" + home.dir + " ORBISCOPE_SYSTEM_DIR=" + home.dir +
                            " ASAN_OPTIONS=detect_leaks=0" +
                            " flock /tmp/orbiscope-xvfb.lock timeout 60 xvfb-run -a -s '-screen 0 640x480x24' " +
                            ORB_BINARY_DIR + "/window-probe ppm:" + shot + " " + layer + " >/dev/null 2>&1";
    const int status = orbtest::Run(cmd);
    if (status == 77) GTEST_SKIP() << "the desktop backend did not start";
    ASSERT_EQ(status, 0) << cmd;
    int w = 0, h = 0, lw = 0, lh = 0;
    std::vector<uint8_t> screen, picture;
    ASSERT_TRUE(ReadPpm(shot, w, h, screen));
    ASSERT_TRUE(ReadPpm(layer, lw, lh, picture));
    ASSERT_LE(lw, w);
    ASSERT_LE(lh, h);
    // Where the window's first row of noise lies on the screen.
    int ox = -1, oy = -1;
    const size_t probe = static_cast<size_t>(std::min(lw, 64)) * 3;
    for (int y = 0; y + lh <= h && ox < 0; ++y)
        for (int x = 0; x + lw <= w; ++x)
            if (std::equal(picture.begin(), picture.begin() + probe, screen.begin() + (static_cast<size_t>(y) * w + x) * 3)) {
                ox = x, oy = y;
                break;
            }
    ASSERT_GE(ox, 0) << "the window's picture is not on the screen";
    long wrong = 0;
    for (int y = 0; y < lh; ++y)
        wrong += !std::equal(picture.begin() + static_cast<size_t>(y) * lw * 3, picture.begin() + static_cast<size_t>(y + 1) * lw * 3,
                             screen.begin() + (static_cast<size_t>(y + oy) * w + ox) * 3);
    EXPECT_EQ(wrong, 0) << "rows that differ, of " << lh;
}

TEST(Desktop, AlignmentWindowAndToolBarOnTheScreen) {
    if (!Have("xvfb-run") || !Have("import")) GTEST_SKIP() << "no Xvfb or ImageMagick here";
    orbtest::TempHome home;
    orbtest::WriteFile(home.path(orb::kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    const std::string shot = home.path("align.ppm");
    const std::string cmd = "cd " + home.dir + " && ORBISCOPE_HOME=" + home.dir + " ORBISCOPE_SYSTEM_DIR=" + home.dir +
                            " ASAN_OPTIONS=detect_leaks=0" +
                            " flock /tmp/orbiscope-xvfb.lock timeout 60 xvfb-run -a -s '-screen 0 1024x768x24' " + ORB_BINARY_DIR + "/align-probe ppm:" + shot +
                            " >/dev/null 2>&1";
    const int status = orbtest::Run(cmd);
    if (status == 77) GTEST_SKIP() << "the desktop backend did not start";
    ASSERT_EQ(status, 0) << cmd;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPpm(shot, w, h, rgb));
    ASSERT_EQ(w, 1024);
    const auto at = [&](int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    // The picture in grey with the outer circle in red through its rim.
    EXPECT_EQ(at(320, 240), (std::vector<int>{128, 128, 128}));
    EXPECT_EQ(at(520, 240), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(320, 40), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(120, 240), (std::vector<int>{255, 0, 0}));
    // The view, and the tool bar (97 wide: view menu, player, snapshot) at its bottom-right.
    EXPECT_EQ(at(750, 50), (std::vector<int>{0, 0, 160}));
    // Their pictures: the four views, the green play triangle, the camera's blue lens.
    EXPECT_EQ(at(1000 - 97 + 10, 167 + 10), (std::vector<int>{30, 40, 70}));
    EXPECT_EQ(at(1000 - 97 + 32 + 14, 167 + 16), (std::vector<int>{40, 150, 60}));
    EXPECT_EQ(at(1000 - 97 + 64 + 16, 167 + 18), (std::vector<int>{40, 120, 200}));
}

#if defined(__SANITIZE_THREAD__)
constexpr int kDemoSeconds = 8;  // slower start under the race checker
#else
constexpr int kDemoSeconds = 5;
#endif

// The demo host on the screen: four live cameras dewarped into the views, and a key press
// that pans the first view.
TEST(Desktop, LiveDemoShowsDewarpedCamerasAndAKeySteers) {
    if (!Have("xvfb-run") || !Have("import")) GTEST_SKIP() << "no Xvfb or ImageMagick here";
    orbtest::TempHome home;
    const std::string shot = home.path("demo.ppm"), log = home.path("demo.txt");
    const std::string cmd = "ASAN_OPTIONS=detect_leaks=0 flock /tmp/orbiscope-xvfb.lock timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' " +
                            std::string(ORB_BINARY_DIR) + "/orbiscope-demo " + home.path("out") +
                            " --seconds " + std::to_string(kDemoSeconds) + " --fps 10 --steer --screenshot ppm:" + shot +
                            " >" + log + " 2>&1";
    const int status = orbtest::Run(cmd);
    const std::string said = orbtest::ReadText(log);
    if (said.find("views running headless") != std::string::npos) GTEST_SKIP() << "the desktop backend did not start";
    ASSERT_EQ(status, 0) << said;
    EXPECT_NE(said.find("views open on the desktop"), std::string::npos) << said;
    EXPECT_NE(said.find("steer: view 0, window 0 panned from 0.0 to -3.0 degrees"), std::string::npos) << said;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPpm(shot, w, h, rgb)) << said;
    ASSERT_EQ(w, 1280);
    // Every quarter of the screen (one view each) is mostly the room's walls and floor.
    // Under the race checker the toolkit's drawing lags too far behind to judge the picture.
    for (int q = 0; q < (kDemoSeconds > 5 ? 0 : 4); ++q) {
        const int x0 = (q % 2) * w / 2, y0 = (q / 2) * h / 2;
        long scene = 0, all = 0;
        for (int y = y0; y < y0 + h / 2; y += 4)
            for (int x = x0; x < x0 + w / 2; x += 4) {
                const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
                ++all;
                scene += orbtools::IsRoomColour(p[0], p[1], p[2]);
            }
        EXPECT_GT(static_cast<double>(scene) / all, 0.3) << "view " << q;
    }
}
