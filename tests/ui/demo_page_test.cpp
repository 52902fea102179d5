// The demo's page of results as a person opens it: the demo host runs its cameras headless,
// the shoppers set off motion in every camera, and Debian's Chromium opens out/index.html
// from the disk, loads every picture at its own size and takes a screenshot of the page.
// The motion-event library got the very pictures the cameras sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/room_renderer.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

bool Have(const char* program) { return orbtest::Run(std::string("command -v ") + program + " >/dev/null 2>&1") == 0; }

// Width and height of a JPEG or PNG file, 0 x 0 when it is neither.
std::pair<int, int> PictureSize(const std::string& path) {
    const std::vector<uint8_t> bytes = orbtest::ReadFile(path);
    if (bytes.size() > 24 && bytes[0] == 0x89 && bytes[1] == 'P') {
        auto be = [&](size_t at) { return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3]; };
        return {be(16), be(20)};
    }
    HDIB h = orb::JpegDecodeBuffer(bytes.data(), bytes.size());
    if (!h) return {0, 0};
    std::pair<int, int> size;
    {
        orb::DibLock l(h);
        size = {l.width(), l.height()};
    }
    orb::DestroyDIB(h);
    return size;
}

std::string Chromium(const std::string& profile) {
    return "timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
           "--disable-background-networking --disable-component-update --disable-sync --user-data-dir=" + profile + " ";
}

}  // namespace

TEST(DemoPage, ChromiumOpensThePageWithEveryPictureAndMotionInEveryCamera) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a page and a browser have nothing for the race checker";
#endif
    if (!Have("chromium")) GTEST_SKIP() << "no chromium here (tools/deps.sh installs it)";
    orbtest::TempHome home;
    const std::string out = home.path("out"), log = home.path("demo.txt");
    ASSERT_EQ(orbtest::Run("ASAN_OPTIONS=detect_leaks=0 timeout 300 " + std::string(ORB_BINARY_DIR) + "/orbiscope-demo " +
                           out + " --headless --seconds 6 --width 320 >" + log + " 2>&1"),
              0)
        << orbtest::ReadText(log);
    const std::string said = orbtest::ReadText(log);

    // Every camera's row of the summary counts at least one motion event.
    std::istringstream summary(orbtest::ReadText(out + "/summary.txt"));
    int rows = 0;
    for (std::string line; std::getline(summary, line);) {
        std::istringstream f(line);
        std::vector<std::string> words;
        for (std::string w; f >> w;) words.push_back(w);
        if (words.size() < 7 || words[0] == "camera" || line.find(':') != std::string::npos) continue;
        ++rows;
        EXPECT_GE(std::atoi(words.back().c_str()), 1) << line;
    }
    EXPECT_EQ(rows, 4) << said;

    // What the motion-event library kept of each event is a picture the camera sent as it
    // is: one of the rendered loop's pictures, byte for byte, from the part of the loop
    // where the door or the shoppers move.
    std::map<std::vector<uint8_t>, double> loop;  // picture -> its moment in the loop
    const char* shared = std::getenv("ORBISCOPE_SCENE_CACHE");
    for (const auto& e : fs::recursive_directory_iterator((shared && *shared ? std::string(shared) : out + "/scene") + "/320x240")) {
        if (e.path().extension() != ".jpg") continue;
        const int index = std::atoi(e.path().stem().c_str());
        const int frames = static_cast<int>(std::distance(fs::directory_iterator(e.path().parent_path()), fs::directory_iterator()));
        loop[orbtest::ReadFile(e.path().string())] = orbtools::room::kLoopSeconds * index / frames;
    }
    ASSERT_FALSE(loop.empty());
    int kept = 0;
    for (const auto& e : fs::directory_iterator(out + "/motion")) {
        const std::string name = e.path().filename().string();
        if (name.find("-camera.jpg") == std::string::npos) continue;
        ++kept;
        const auto found = loop.find(orbtest::ReadFile(e.path().string()));
        ASSERT_NE(found, loop.end()) << name << " is no picture the cameras sent";
        EXPECT_GT(found->second, 0.8) << name;
        EXPECT_LT(found->second, 11.5) << name;
    }
    EXPECT_GE(kept, 4);

    // The browser: every picture of the page loaded, at the size of its file.
    const std::string page = "file://" + out + "/index.html";
    const std::string dom = home.path("dom.html");
    ASSERT_EQ(orbtest::Run(Chromium(home.path("profile-dom")) + "--virtual-time-budget=10000 --dump-dom '" + page + "' >" + dom +
                           " 2>/dev/null"),
              0);
    const std::string html = orbtest::ReadText(dom);
    const size_t at = html.find("data-pictures=\"");
    ASSERT_NE(at, std::string::npos) << html.substr(0, 2000);
    std::istringstream list(html.substr(at + 15, html.find('"', at + 15) - at - 15));
    int pictures = 0, views = 0, events = 0;
    for (std::string item; std::getline(list, item, ';');) {
        const size_t space = item.rfind(' ');
        const std::string src = item.substr(0, space);
        int w = 0, h = 0;
        ASSERT_EQ(std::sscanf(item.c_str() + space + 1, "%dx%d", &w, &h), 2) << item;
        const auto size = PictureSize(out + "/" + src);
        EXPECT_GT(w, 0) << src << " did not load";
        EXPECT_EQ(std::make_pair(w, h), size) << src;
        ++pictures;
        views += src.rfind("view", 0) == 0;
        events += src.rfind("motion/", 0) == 0;
    }
    EXPECT_EQ(views, 4);
    EXPECT_GE(events, 4);
    EXPECT_EQ(pictures, views + events + 1);  // and the whole window

    // And the screenshot a person would look at (kept beside the desktop tests' pictures).
    const std::string shots = std::string(ORB_BINARY_DIR) + "/desktop-shots";
    fs::create_directories(shots);
    const std::string shot = shots + "/demo-page.png";
    fs::remove(shot);
    ASSERT_EQ(orbtest::Run(Chromium(home.path("profile-shot")) + "--hide-scrollbars --window-size=1400,3000 "
                           "--virtual-time-budget=10000 --screenshot=" + shot + " '" + page + "' >/dev/null 2>&1"),
              0);
    EXPECT_EQ(PictureSize(shot), std::make_pair(1400, 3000));
}
