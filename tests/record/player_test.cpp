#include <gtest/gtest.h>

#include <cstring>

#include "config/settings.h"
#include "host/library_state.h"
#include "host/panoview.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "record/player.h"
#include "support/test_support.h"

using namespace orb;

namespace {

struct PlayerWorld {
    orbtest::TempHome home;
    std::string root;
    std::vector<int> presentedShades;
    PlayerWorld() {
        root = home.path("disk");
        MakeDirs(root);
        SetDriveProbe({[] { return std::vector<MountEntry>{}; },
                       [](const std::string&, double& f, double& t) {
                           f = 1e9, t = 1e12;
                           return true;
                       }});
        WriteSetting("DVR", "StorageRoots", root);
        BuildDriveTable();
        SetSleeper([](int) {});
        g_player = PlayerState{};
        g_player.createFrame = [](void*) { return static_cast<void*>(&g_player); };
        g_player.present = [this](PanoView*, HDIB pic) {
            DibLock lock(pic);
            presentedShades.push_back(lock.bits()[0]);
        };
        g_lib.speed = 0;
    }
    ~PlayerWorld() {
        ClosePlayerFrame(g_player);
        g_player = PlayerState{};
        SetDriveProbe({});
        SetSleeper({});
        g_drives = DriveTable{};
    }
    // A recording of n frames whose picture shade is 10 + 5 * frame.
    void Record(const char* name, int n) {
        DvrContext w;
        CameraRecord rec{};
        rec.sourceWidth = 128;
        ASSERT_EQ(CreateRecording(w, g_drives.entries[0].folder + name, rec, SystemTime{2011, 5, 0, 1, 2, 3, 4, 0}), 1);
        for (int i = 0; i < n; ++i) {
            HDIB pic = CreateDIB(112, 112, 24);
            {
                DibLock lock(pic);
                std::memset(lock.bits(), 10 + 5 * i, static_cast<size_t>(lock.rowBytes()) * lock.height());
            }
            std::vector<uint8_t> jpeg;
            ASSERT_TRUE(JpegEncodeMemory(pic, 95, jpeg));
            DestroyDIB(pic);
            ASSERT_EQ(AppendFrame(w, jpeg.data(), int32_t(jpeg.size()), SystemTime{2011, 5, 0, 1, 2, 3, uint16_t(i), 0}), 1);
        }
    }
    int Shown() const { return (presentedShades.back() - 10 + 2) / 5; }
};

}  // namespace

TEST(Player, StepsSeeksAndDirectionsOverARecording) {
    PlayerWorld w;
    w.Record("201105010200Hall.P360", 20);
    w.Record("201105010300Hall.P360", 3);
    TakeMessages();
    ASSERT_TRUE(OpenPlayerFrame(g_player, nullptr, "201105010200Hall.P360"));
    ASSERT_EQ(g_player.playlist.size(), 2u);
    EXPECT_EQ(g_player.selected, 1);
    EXPECT_FALSE(OpenPlayerFrame(g_player, nullptr, nullptr));  // only one player
    g_player.loopRunning = true;  // as inside the loop: opens in place
    ASSERT_TRUE(OpenPlayerRecording(g_player, CataloguePath(g_player.playlist[1]), true));
    EXPECT_EQ(g_player.view->record.sourceWidth, 128);
    DvrContext* dvr = PlayerDvr(g_player);
    EXPECT_EQ(dvr->shown, 0);
    EXPECT_EQ(dvr->current, 1);
    EXPECT_EQ(g_player.barMax, 19);
    EXPECT_EQ(g_player.timeText, "2011/05/01 02:03:00");
    ASSERT_EQ(PlayStep(g_player), 1);
    EXPECT_EQ(w.Shown(), 1);
    EXPECT_EQ(g_player.width, 112);
    EXPECT_EQ(g_player.rowBytes, 336);
    for (int i = 0; i < 6; ++i) PlayerCommand(g_player, 1604);
    EXPECT_EQ(dvr->step, 5);
    PlayStep(g_player);
    EXPECT_EQ(w.Shown(), 2);
    PlayStep(g_player);
    EXPECT_EQ(w.Shown(), 7);
    PlayerCommand(g_player, 1605);
    EXPECT_EQ(dvr->step, -1);
    PlayerCommand(g_player, 1605);
    PlayerCommand(g_player, 1605);
    EXPECT_EQ(dvr->step, -3);
    PlayStep(g_player);  // 12
    PlayStep(g_player);  // 9
    EXPECT_EQ(w.Shown(), 9);
    PlayStep(g_player);  // 6
    PlayStep(g_player);  // 3
    PlayStep(g_player);  // 0
    PlayStep(g_player);  // clamped onto 0: no new frame, 300 ms
    EXPECT_EQ(w.Shown(), 0);
    EXPECT_EQ(g_player.waits.back(), 300);
    // Single steps pause.
    PlayerCommand(g_player, 1601);
    EXPECT_TRUE(g_player.paused);
    EXPECT_EQ(w.Shown(), 0);  // current was clamped onto shown
    PlayerScroll(g_player, ScrollRequest::Thumb, 10);
    PlayerCommand(g_player, 1601);
    EXPECT_EQ(w.Shown(), 10);
    PlayerCommand(g_player, 1601);
    EXPECT_EQ(w.Shown(), 11);
    PlayerScroll(g_player, ScrollRequest::Bottom);
    EXPECT_EQ(dvr->current, 19);
    PlayerScroll(g_player, ScrollRequest::PageRight);
    EXPECT_EQ(dvr->current, 19);
    PlayerScroll(g_player, ScrollRequest::PageLeft);
    EXPECT_EQ(dvr->current, 6);
    PlayerScroll(g_player, ScrollRequest::LineLeft);
    EXPECT_EQ(dvr->current, 4);
    PlayerScroll(g_player, ScrollRequest::Top);
    EXPECT_EQ(g_player.barPos, 0);
    PlayerCommand(g_player, 1602);
    EXPECT_EQ(w.Shown(), 0);
    // Speed: written and used as the delay.
    PlayerCommand(g_player, 2761);
    EXPECT_EQ(ReadSetting("DVR", "Speed", ""), "4");
    PlayerCommand(g_player, 1701);
    PlayerScroll(g_player, ScrollRequest::LineRight);
    PlayStep(g_player);
    EXPECT_EQ(w.Shown(), 1);
    EXPECT_EQ(g_player.waits.back(), 1000);
    PlayerCommand(g_player, 2750);
    // The bar in steps of 16 for long recordings.
    dvr->frameCount = 40000;
    dvr->current = 1600;
    SetBarPosition(g_player);
    EXPECT_EQ(g_player.barMax, 2499);
    EXPECT_EQ(g_player.barPos, 100);
    PlayerScroll(g_player, ScrollRequest::Thumb, 100);
    EXPECT_EQ(dvr->current, 1600);
    // A bad file leaves no file; the play step says so.
    orbtest::WriteFile(w.home.path("bad.P360"), std::vector<uint8_t>(20, 1));
    EXPECT_FALSE(OpenPlayerRecording(g_player, w.home.path("bad.P360"), true));
    ASSERT_GE(g_player.status.size(), 2u);
    EXPECT_EQ(g_player.status[g_player.status.size() - 2].text, "Bad DVR File !   ");
    EXPECT_EQ(g_player.status.back().text, "DVR file open failed, and closed !");
    EXPECT_EQ(PlayStep(g_player), 0);
    EXPECT_EQ(g_player.status.back().text, "DVR File Not Open Yet !!");
    EXPECT_EQ(g_player.waits.back(), 1000);
    g_player.loopRunning = false;
}

TEST(Player, PlayLoopManagementAndDeletion) {
    PlayerWorld w;
    w.Record("201105010200Hall.P360", 4);
    w.Record("201105010300Hall.P360", 2);
    w.Record("201105010400Hall.P360", 2);
    // PlayDVR plays the newest recording to its end; closing the frame ends the loop.
    int turns = 0;
    g_player.pumpMessages = [&turns] {
        if (++turns == 6) PlayerCommand(g_player, 907);
    };
    EXPECT_EQ(PlayDVR(nullptr, nullptr), nullptr);
    EXPECT_FALSE(g_player.frameOpen);
    EXPECT_EQ(w.presentedShades.size(), 2u);  // two frames, then waits on the last one
    // The management dialog deletes the selected items; the first selected item 0 makes
    // the item after the last selected one play.
    g_player.pumpMessages = nullptr;
    ASSERT_TRUE(OpenPlayerFrame(g_player, nullptr, nullptr));
    g_player.loopRunning = true;
    ASSERT_TRUE(OpenManagement(g_player, nullptr));
    ASSERT_EQ(g_player.managementList.size(), 3u);
    EXPECT_EQ(ManagementDelete(g_player, {0, 1}), 2);
    ASSERT_EQ(g_player.managementList.size(), 1u);
    EXPECT_STREQ(g_player.managementList[0]->name, "201105010200Hall.P360");
    EXPECT_EQ(PlayerDvr(g_player)->path, CataloguePath(g_player.managementList[0]));
    EXPECT_EQ(ManagementDelete(g_player, {0}), 1);
    EXPECT_TRUE(g_player.managementList.empty());
    TakeMessages();
    CloseManagement(g_player);
    EXPECT_FALSE(OpenManagement(g_player, nullptr));
    const auto msgs = TakeMessages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_FALSE(g_player.frameOpen);
    g_player.loopRunning = false;
    EXPECT_EQ(PlayDVR(nullptr, nullptr), nullptr);
    EXPECT_EQ(TakeMessages().back().text, "No DVR File Found !!!");
}
