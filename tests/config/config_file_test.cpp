#include <gtest/gtest.h>

#include <cstring>

#include "config/config_file.h"
#include "config/settings.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "support/test_support.h"

using namespace orb;
using orbtest::ReadFile;
using orbtest::WriteFile;

namespace {

// A Config.ure of n slots; slot i has camera id ids[i], a location "Cam i" and a tail of
// 16 marker bytes.
std::vector<uint8_t> MakeConfig(const std::vector<int32_t>& ids) {
    std::vector<uint8_t> bytes(ids.size() * kSlotSize);
    for (size_t i = 0; i < ids.size(); ++i) {
        uint8_t* s = bytes.data() + i * kSlotSize;
        for (int k = 0; k < kSlotSize; ++k) s[k] = static_cast<uint8_t>(k * 13 + i);  // preserved noise
        std::memcpy(s + 2000, &ids[i], 4);
        const std::string loc = "Cam " + std::to_string(i);
        std::memcpy(s + 720, loc.c_str(), loc.size() + 1);
    }
    return bytes;
}

struct ConfigFile : ::testing::Test {
    orbtest::TempHome home;
    void SetUp() override {
        g_lib = LibraryState{};
        TakeMessages();
        orbtest::WriteText(home.path("Halo360Web_003906.r"), "[Texts]\n2301=no config\n2327=none chosen\n");
        LoadLanguageResource();
    }
    void TearDown() override { UnloadLanguage(); }
};

}  // namespace

TEST_F(ConfigFile, FindLoadWrapAndSaveRoundTrip) {
    const std::vector<uint8_t> original = MakeConfig({7, 12, 7});
    WriteFile(ConfigPath(), original);
    EXPECT_EQ(FindSlotById(12), 1);
    EXPECT_EQ(FindSlotById(7), 0);  // the first match wins
    EXPECT_EQ(FindSlotById(99), -1);

    PanoView view;
    ASSERT_EQ(LoadRecordIntoView(&view, 5), 1);  // 5 mod 3 = 2
    EXPECT_EQ(std::memcmp(&view.record, original.data() + 2 * kSlotSize, kRecordSize), 0);
    // Saving an unchanged record of the first id leaves the file byte-identical.
    ASSERT_EQ(LoadRecordIntoView(&view, 0), 1);
    ASSERT_EQ(SaveCameraConfigure(&view), 1);
    EXPECT_EQ(ReadFile(ConfigPath()), original);

    // An empty account is written as 20 zero bytes even with stale bytes after its NUL.
    view.record.account[0] = 0;
    view.record.password[0] = 'x';
    SetText(view.record.name, "Renamed");
    ASSERT_EQ(SaveCameraConfigure(&view), 1);
    const std::vector<uint8_t> after = ReadFile(ConfigPath());
    ASSERT_EQ(after.size(), original.size());
    for (int k = 56; k < 76; ++k) EXPECT_EQ(after[k], 0) << k;
    EXPECT_EQ(after[92], 'x');
    EXPECT_STREQ(reinterpret_cast<const char*>(after.data() + 640), "Renamed");
    EXPECT_TRUE(std::equal(after.begin() + kRecordSize, after.end(), original.begin() + kRecordSize));

    // A record whose id is in no slot is never written; the file never grows.
    view.record.cameraId = 1234;
    EXPECT_EQ(SaveCameraConfigure(&view), 0);
    EXPECT_EQ(ReadFile(ConfigPath()).size(), original.size());
}

TEST_F(ConfigFile, ShortEmptyAndMissingFiles) {
    PanoView view;
    EXPECT_EQ(LoadRecordIntoView(&view, 0), 0);  // missing
    std::vector<ListedCamera> list;
    EXPECT_FALSE(ListCameras(list));
    auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "no config");
    EXPECT_EQ(shown[0].caption, "???");

    WriteFile(ConfigPath(), {});
    EXPECT_EQ(LoadRecordIntoView(&view, 0), 0);
    EXPECT_TRUE(ListCameras(list));
    EXPECT_TRUE(list.empty());

    // One record without its 16-byte tail: listed once and loadable as slot 0.
    std::vector<uint8_t> one = MakeConfig({42});
    one.resize(kRecordSize);
    WriteFile(ConfigPath(), one);
    EXPECT_TRUE(ListCameras(list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].location, "Cam 0");
    EXPECT_EQ(list[0].slot[2999], 0);  // zero-filled past the short read
    EXPECT_TRUE(ListCamerasWhole(list));
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(LoadRecordIntoView(&view, 3), 1);
    EXPECT_EQ(view.record.cameraId, 42);

    // A short read leaves the previous record intact.
    one.resize(1000);
    WriteFile(ConfigPath(), one);
    EXPECT_EQ(LoadRecordIntoView(&view, 0), 0);
    EXPECT_EQ(view.record.cameraId, 42);
}

TEST_F(ConfigFile, LoadByViewKeyMapping) {
    WriteFile(ConfigPath(), MakeConfig({5, 12, 30, 31}));
    PanoView view;
    view.viewIndex = 3;
    g_lib.callerId = 0;
    orbtest::WriteText(home.path("orbiscfg.ini"), "[CCTV]\nCCTV3=12, 4\nCCTV1=-1, -1\n");
    ASSERT_EQ(LoadViewRecordByMapping(&view), 1);
    EXPECT_EQ(view.record.cameraId, 12);
    view.viewIndex = 1;  // the empty-view mark finds no record: slot 1 is loaded
    ASSERT_EQ(LoadViewRecordByMapping(&view), 1);
    EXPECT_EQ(view.record.cameraId, 12);
    view.viewIndex = 2;  // no key
    ASSERT_EQ(LoadViewRecordByMapping(&view), 1);
    EXPECT_EQ(view.record.cameraId, 30);
}

TEST_F(ConfigFile, ExportChosenSlotsAndCameraTable) {
    const std::vector<uint8_t> original = MakeConfig({1, 2, 3, 4});
    WriteFile(ConfigPath(), original);
    const std::string out = home.path("export.ure");
    g_exportSelection = {};
    EXPECT_EQ(BuildPackInfo(nullptr, out.c_str()), 0);
    EXPECT_EQ(TakeMessages().at(0).text, "none chosen");
    g_exportSelection = {3, 0, 2};
    ASSERT_EQ(BuildPackInfo(nullptr, out.c_str()), 1);
    const std::vector<uint8_t> exported = ReadFile(out);
    ASSERT_EQ(exported.size(), 9000u);
    EXPECT_TRUE(std::equal(exported.begin(), exported.begin() + 3000, original.begin() + 9000));
    EXPECT_TRUE(std::equal(exported.begin() + 3000, exported.begin() + 6000, original.begin()));
    EXPECT_EQ(BuildPackInfo(nullptr, "/nonexistent/dir/x.ure"), -1);
    EXPECT_EQ(TakeMessages().at(0).text, "File Create fail ");
    g_exportSelection = {9};
    EXPECT_EQ(BuildPackInfo(nullptr, out.c_str()), -1);

    std::vector<uint8_t> shortLast = original;
    shortLast.resize(original.size() - 50);
    WriteFile(ConfigPath(), shortLast);
    LoadCameraTable();
    EXPECT_EQ(g_cameraTable.count(), 3);  // counted 4, the short one could not be read
    EXPECT_EQ(g_cameraTable.record(2)->cameraId, 3);
    EXPECT_EQ(g_cameraTable.record(3), nullptr);
    FreeCameraTable();
    EXPECT_EQ(g_cameraTable.count(), 0);
}

TEST_F(ConfigFile, UserFileKeepsItsBytes) {
    std::vector<uint8_t> user(180);
    for (int i = 0; i < 180; ++i) user[i] = static_cast<uint8_t>(255 - i);
    WriteFile(UserFilePath(), user);
    g_userBlock.fill(0);
    ReadUserFile();
    EXPECT_EQ(g_userBlock[0], 255);
    EXPECT_EQ(g_userBlock[179], 76);
    std::memcpy(g_userBlock.data() + 68, "secret", 7);
    WriteUserFile();
    std::vector<uint8_t> expected = user;
    std::memcpy(expected.data() + 68, "secret", 7);
    EXPECT_EQ(ReadFile(UserFilePath()), expected);
    g_userBlock.fill(0);
}
