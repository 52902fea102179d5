#include <gtest/gtest.h>

#include <cstring>

#include "config/settings.h"
#include "config/library_state.h"
#include "ui/panoview.h"
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
    int presentedWidth = 0;
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
        ThePlayer() = PlayerState{};
        ThePlayer().createFrame = [](void*) { return static_cast<void*>(&ThePlayer()); };
        ThePlayer().present = [this](orb::RecordView*, HDIB pic) {
            DibLock lock(pic);
            presentedShades.push_back(lock.bits()[0]);
            presentedWidth = lock.width();
        };
        g_lib.speed = 0;
    }
    ~PlayerWorld() {
        ClosePlayerFrame(ThePlayer());
        ThePlayer() = PlayerState{};
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
    ASSERT_TRUE(OpenPlayerFrame(ThePlayer(), nullptr, "201105010200Hall.P360"));
    ASSERT_EQ(ThePlayer().playlist.size(), 2u);
    EXPECT_EQ(ThePlayer().selected, 1);
    EXPECT_FALSE(OpenPlayerFrame(ThePlayer(), nullptr, nullptr));  // only one player
    ThePlayer().loopRunning = true;  // as inside the loop: opens in place
    ASSERT_TRUE(OpenPlayerRecording(ThePlayer(), CataloguePath(ThePlayer().playlist[1]), true));
    EXPECT_EQ(ThePlayer().view->record.sourceWidth, 128);
    DvrContext* dvr = PlayerDvr(ThePlayer());
    EXPECT_EQ(dvr->shown, 0);
    EXPECT_EQ(dvr->current, 1);
    EXPECT_EQ(ThePlayer().barMax, 19);
    EXPECT_EQ(ThePlayer().timeText, "2011/05/01 02:03:00");
    ASSERT_EQ(PlayStep(ThePlayer()), 1);
    EXPECT_EQ(w.Shown(), 1);
    EXPECT_EQ(ThePlayer().width, 112);
    EXPECT_EQ(ThePlayer().rowBytes, 336);
    for (int i = 0; i < 6; ++i) PlayerCommand(ThePlayer(), 1604);
    EXPECT_EQ(dvr->step, 5);
    PlayStep(ThePlayer());
    EXPECT_EQ(w.Shown(), 2);
    PlayStep(ThePlayer());
    EXPECT_EQ(w.Shown(), 7);
    PlayerCommand(ThePlayer(), 1605);
    EXPECT_EQ(dvr->step, -1);
    PlayerCommand(ThePlayer(), 1605);
    PlayerCommand(ThePlayer(), 1605);
    EXPECT_EQ(dvr->step, -3);
    PlayStep(ThePlayer());  // 12
    PlayStep(ThePlayer());  // 9
    EXPECT_EQ(w.Shown(), 9);
    PlayStep(ThePlayer());  // 6
    PlayStep(ThePlayer());  // 3
    PlayStep(ThePlayer());  // 0
    PlayStep(ThePlayer());  // clamped onto 0: no new frame, 300 ms
    EXPECT_EQ(w.Shown(), 0);
    EXPECT_EQ(ThePlayer().waits.back(), 300);
    // Single steps pause.
    PlayerCommand(ThePlayer(), 1601);
    EXPECT_TRUE(ThePlayer().paused);
    EXPECT_EQ(w.Shown(), 0);  // current was clamped onto shown
    PlayerScroll(ThePlayer(), ScrollRequest::Thumb, 10);
    PlayerCommand(ThePlayer(), 1601);
    EXPECT_EQ(w.Shown(), 10);
    PlayerCommand(ThePlayer(), 1601);
    EXPECT_EQ(w.Shown(), 11);
    PlayerScroll(ThePlayer(), ScrollRequest::Bottom);
    EXPECT_EQ(dvr->current, 19);
    PlayerScroll(ThePlayer(), ScrollRequest::PageRight);
    EXPECT_EQ(dvr->current, 19);
    PlayerScroll(ThePlayer(), ScrollRequest::PageLeft);
    EXPECT_EQ(dvr->current, 6);
    PlayerScroll(ThePlayer(), ScrollRequest::LineLeft);
    EXPECT_EQ(dvr->current, 4);
    PlayerScroll(ThePlayer(), ScrollRequest::Top);
    EXPECT_EQ(ThePlayer().barPos, 0);
    PlayerCommand(ThePlayer(), 1602);
    EXPECT_EQ(w.Shown(), 0);
    // Speed: written and used as the delay.
    PlayerCommand(ThePlayer(), 2761);
    EXPECT_EQ(ReadSetting("DVR", "Speed", ""), "4");
    PlayerCommand(ThePlayer(), 1701);
    PlayerScroll(ThePlayer(), ScrollRequest::LineRight);
    PlayStep(ThePlayer());
    EXPECT_EQ(w.Shown(), 1);
    EXPECT_EQ(ThePlayer().waits.back(), 1000);
    PlayerCommand(ThePlayer(), 2750);
    // The bar in steps of 16 for long recordings.
    dvr->frameCount = 40000;
    dvr->current = 1600;
    SetBarPosition(ThePlayer());
    EXPECT_EQ(ThePlayer().barMax, 2499);
    EXPECT_EQ(ThePlayer().barPos, 100);
    PlayerScroll(ThePlayer(), ScrollRequest::Thumb, 100);
    EXPECT_EQ(dvr->current, 1600);
    // A bad file leaves no file; the play step says so.
    orbtest::WriteFile(w.home.path("bad.P360"), std::vector<uint8_t>(20, 1));
    EXPECT_FALSE(OpenPlayerRecording(ThePlayer(), w.home.path("bad.P360"), true));
    ASSERT_GE(ThePlayer().status.size(), 2u);
    EXPECT_EQ(ThePlayer().status[ThePlayer().status.size() - 2].text, "Bad DVR File !   ");
    EXPECT_EQ(ThePlayer().status.back().text, "DVR file open failed, and closed !");
    EXPECT_EQ(PlayStep(ThePlayer()), 0);
    EXPECT_EQ(ThePlayer().status.back().text, "DVR File Not Open Yet !!");
    EXPECT_EQ(ThePlayer().waits.back(), 1000);
    ThePlayer().loopRunning = false;
}

// A small player view takes a quarter of each frame, as its maps ask; the frame stays
// whole in the file and the player knows the recorded size.
TEST(Player, DecodesAtTheReductionItsViewTakes) {
    PlayerWorld w;
    w.Record("201105010200Hall.P360", 3);
    ASSERT_TRUE(OpenPlayerFrame(ThePlayer(), nullptr, "201105010200Hall.P360"));
    ThePlayer().loopRunning = true;
    ASSERT_TRUE(OpenPlayerRecording(ThePlayer(), CataloguePath(ThePlayer().playlist[0]), true));
    ThePlayer().decodeScale = [] { return 4; };
    ASSERT_EQ(PlayStep(ThePlayer()), 1);
    EXPECT_EQ(w.presentedWidth, 28);
    EXPECT_EQ(ThePlayer().pictureScale, 4);
    EXPECT_EQ(ThePlayer().width, 112);
    EXPECT_EQ(w.Shown(), 1);
    ThePlayer().decodeScale = [] { return 1; };
    ASSERT_EQ(PlayStep(ThePlayer()), 1);
    EXPECT_EQ(w.presentedWidth, 112);
    EXPECT_EQ(ThePlayer().pictureScale, 1);
    EXPECT_EQ(w.Shown(), 2);
}

TEST(Player, PlayLoopManagementAndDeletion) {
    PlayerWorld w;
    w.Record("201105010200Hall.P360", 4);
    w.Record("201105010300Hall.P360", 2);
    w.Record("201105010400Hall.P360", 2);
    // PlayDVR plays the newest recording to its end; closing the frame ends the loop.
    int turns = 0;
    ThePlayer().pumpMessages = [&turns] {
        if (++turns == 6) PlayerCommand(ThePlayer(), 907);
    };
    EXPECT_EQ(PlayDVR(nullptr, nullptr), nullptr);
    EXPECT_FALSE(ThePlayer().frameOpen);
    EXPECT_EQ(w.presentedShades.size(), 2u);  // two frames, then waits on the last one
    // The management dialog deletes the selected items; the first selected item 0 makes
    // the item after the last selected one play.
    ThePlayer().pumpMessages = nullptr;
    ASSERT_TRUE(OpenPlayerFrame(ThePlayer(), nullptr, nullptr));
    ThePlayer().loopRunning = true;
    ASSERT_TRUE(OpenManagement(ThePlayer(), nullptr));
    ASSERT_EQ(ThePlayer().managementList.size(), 3u);
    EXPECT_EQ(ManagementDelete(ThePlayer(), {0, 1}), 2);
    ASSERT_EQ(ThePlayer().managementList.size(), 1u);
    EXPECT_STREQ(ThePlayer().managementList[0]->name, "201105010200Hall.P360");
    EXPECT_EQ(PlayerDvr(ThePlayer())->path, CataloguePath(ThePlayer().managementList[0]));
    EXPECT_EQ(ManagementDelete(ThePlayer(), {0}), 1);
    EXPECT_TRUE(ThePlayer().managementList.empty());
    TakeMessages();
    CloseManagement(ThePlayer());
    EXPECT_FALSE(OpenManagement(ThePlayer(), nullptr));
    const auto msgs = TakeMessages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_FALSE(ThePlayer().frameOpen);
    ThePlayer().loopRunning = false;
    EXPECT_EQ(PlayDVR(nullptr, nullptr), nullptr);
    EXPECT_EQ(TakeMessages().back().text, "No DVR File Found !!!");
}
