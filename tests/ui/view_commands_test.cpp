// Every command of a live view's menus, sent to views that stream from fake cameras on
// 127.0.0.1 through the library's own wiring, has its effect; a menu item that nobody
// handles fails the table.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "common/fake_camera.h"
#include "common/simulated_cameras.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "ui/alignment.h"
#include "dewarp/dewarp.h"
#include "dewarp/navigation.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "record/backup.h"
#include "record/recorder.h"
#include "record/recording_file.h"
#include "record/snapshot.h"
#include "support/headless_ui.h"
#include "support/test_support.h"
#include "analysis/motion.h"
#include "ui/accessories.h"
#include "ui/editor_windows.h"
#include "ui/snapshot_viewer.h"
#include "ui/main_window.h"
#include "ui/view_commands.h"

using namespace orb;
using orbtest::PumpUntil;
using orbtools::FakeCamera;
using orbtools::FakeCameraOptions;
using orbtools::SimulatedLens;

namespace {

constexpr int kFisheye = 0, kHalf = 1, kPtz = 2, kSpare = 3;

struct ViewCommands : ::testing::Test {
    orbtest::TempHome home;
    std::vector<std::unique_ptr<FakeCamera>> cameras;
    HWND main = nullptr;

    void SetUp() override {
        orbtest::ResetHeadlessUi();
        SetHeadlessScreen(640, 480);
        orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    }
    void TearDown() override {
        if (main && IsWindow(main)) DestroyWindow(main);
        for (auto& c : cameras) c->Stop();
        ResetWindowing();
        UnloadLanguage();
        ClearDialogScripts();
        g_ui = {};
        Hooks() = {};
    }

    // By default a fisheye, a 180-degree lens, a mechanical pan/tilt/zoom camera and another
    // fisheye.
    void Open(std::vector<SimulatedLens> lenses = {SimulatedLens::Fisheye, SimulatedLens::HalfSphere,
                                                   SimulatedLens::Fisheye, SimulatedLens::Fisheye},
              const std::function<void(CameraRecord&, int)>& tweak = {}) {
        const int n = static_cast<int>(lenses.size());
        std::vector<CameraRecord> records;
        for (int i = 0; i < n; ++i) {
            auto sim = std::make_shared<orbtools::SimulatedCamera>(orbtools::MakeSimulatedCamera(lenses[i], 320, 240, 8));
            FakeCameraOptions o;
            o.account = "admin";
            o.password = "secret";
            o.framesPerSecond = 15;
            o.picture = [sim](int frame) { return sim->frames[static_cast<size_t>(frame) % sim->frames.size()]; };
            cameras.push_back(std::make_unique<FakeCamera>(o));
            const int port = cameras.back()->Start();
            ASSERT_GT(port, 0);
            CameraRecord r = sim->record;
            orbtools::PointAtFakeCamera(r, port, 700 + i, "admin", "secret");
            if (i == kPtz && n == 4) r.modelIndex = 131;
            std::snprintf(r.location, sizeof r.location, "Camera %d", i);
            if (tweak) tweak(r, i);
            records.push_back(r);
        }
        ASSERT_TRUE(orbtools::WriteCameraConfig(home.path("Config.ure"), records));
        const std::string disk = home.path("disk");
        MakeDirs(disk);
        WriteSetting("DVR", "StorageRoots", disk);
        OrbiscopeInit();
        BuildDriveTable();
        EnableDVRRecording(0);  // the player's row switches recording on
        void* out = nullptr;
        main = static_cast<HWND>(RunOrbiscope(nullptr, 0, n, &out, 0, nullptr, 0, nullptr));
        ASSERT_TRUE(main);
    }
    PanoView* View(int i) { return ViewOf(g_ui.views[static_cast<size_t>(i)]); }
    // Changes a running view's record as the window thread does: under its picture lock.
    template <typename F>
    static void Edit(PanoView* v, F change) {
        std::lock_guard lock(v->ui.viewMutex);
        change(v->record);
    }
    // A copy of a running view's record (the capture thread writes the windows back).
    static CameraRecord RecordOf(PanoView* v) {
        std::lock_guard lock(v->ui.viewMutex);
        return v->record;
    }
    // A view's picture count stays while another view takes `more` pictures.
    bool HoldsWhileOtherFlows(int held, int other, int more = 5) {
        const int before = View(held)->frames.pictures, target = View(other)->frames.pictures + more;
        if (!PumpUntil([&] { return View(other)->frames.pictures >= target; })) return false;
        return View(held)->frames.pictures == before;
    }
    bool Flows(int view, int more = 3) {
        const int target = View(view)->frames.pictures + more;
        return PumpUntil([&] { return View(view) && View(view)->frames.pictures >= target; });
    }
    // The view's slot in Config.ure as saved now.
    CameraRecord Saved(int slot) {
        const auto bytes = orbtest::ReadFile(home.path("Config.ure"));
        CameraRecord r{};
        const size_t at = static_cast<size_t>(slot) * kSlotSize;
        if (bytes.size() >= at + sizeof r) std::memcpy(&r, bytes.data() + at, sizeof r);
        return r;
    }
    // The context menu of a view, as the right button shows it.
    std::vector<MenuItem> ContextMenu(int view) {
        TakeShownMenus();
        ScriptMenuChoices({0});
        SendMessage(g_ui.views[static_cast<size_t>(view)], WM_RBUTTONUP, 0, MakePoint(20, 20));
        auto shown = TakeShownMenus();
        return shown.empty() ? std::vector<MenuItem>{} : shown[0];
    }
    void Command(int view, int command) {
        SendMessage(g_ui.views[static_cast<size_t>(view)], WM_COMMAND, static_cast<WPARAM>(command), 0);
    }
    bool Shown(const std::string& dialog) {
        for (const auto& d : TakeShownDialogs())
            if (d == dialog) return true;
        return false;
    }
};

uint32_t FlagsOf(const std::vector<MenuItem>& items, int id) {
    for (const auto& i : items)
        if (i.id == id) return i.flags | 0x80000000u;
    return 0;
}

struct Row {
    int command;
    int view;
    std::function<void()> act;     // what the person does (default: the command to the view)
    std::function<bool()> effect;  // what must then be true
};

}  // namespace

TEST_F(ViewCommands, EveryMenuCommandOfALiveViewHasItsEffect) {
    Open();
    for (int i : {kFisheye, kHalf, kSpare}) ASSERT_TRUE(Flows(i, 3)) << i;
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(View(i));
    PanoView* fish = View(kFisheye);
    Edit(fish, [](CameraRecord& r) { r.cruiseSpeed = 0; });  // the windows stay where the commands put them

    std::vector<Row> table;
    auto add = [&](int command, int view, std::function<bool()> effect, std::function<void()> act = {}) {
        table.push_back({command, view, std::move(act), std::move(effect)});
    };
    add(kCmdPlayer, kFisheye, [&] {
        // Nothing recorded yet: the player says so. Then recording starts for the rows below.
        bool said = false;
        for (const auto& m : TakeMessages()) said = said || m.text.find("No DVR File Found") != std::string::npos;
        EnableDVRRecording(1);
        return said && PumpUntil([&] { return View(kFisheye)->frames.recorded >= 2; });
    });
    // Capture.
    add(kCmdPause, kFisheye, [&] { return View(kFisheye)->ui.paused && HoldsWhileOtherFlows(kFisheye, kSpare); });
    add(kCmdResume, kFisheye, [&] { return !View(kFisheye)->ui.paused && Flows(kFisheye); });
    add(kCmdPauseAll, kFisheye, [&] { return View(0)->ui.paused && View(1)->ui.paused && View(3)->ui.paused; });
    add(kCmdResumeAll, kFisheye, [&] { return !View(0)->ui.paused && !View(3)->ui.paused && Flows(kSpare); });
    uint32_t before = 0;
    add(kCmdRestart, kSpare, [&] { return View(kSpare) && View(kSpare)->id != before && Flows(kSpare); },
        [&] { before = View(kSpare)->id, Command(kSpare, kCmdRestart); });
    // Dialogs and windows of other subsystems.
    add(kCmdChooseCamera, kFisheye, [&] { return Shown("Source"); });
    add(kCmdSnapshot, kFisheye, [&] {
        const bool ok = g_snapViewer.view && orbtest::ReadFile(g_snapViewer.view->snapshot.picturePath).size() > 3000;
        CloseSnapshotViewer();
        return ok;
    });
    add(kCmdBalance, kFisheye, [&] {
        HWND d = BalanceDialog();
        const bool ok = d && IsWindowVisible(d) && !View(kFisheye)->ui.paused;
        if (d) SendMessage(d, WM_COMMAND, IDCANCEL, 0);
        return ok;
    });
    add(kCmdAlign, kFisheye, [&] { return Shown("Blank"); });
    add(kCmdCruise, kFisheye, [&] { return Shown("Cruise") && View(kFisheye)->record.cruiseSpeed == 7; },
        [&] {
            ScriptDialog("Cruise", {{DialogStep::SetValue, 1220, "", 7}, {DialogStep::Press, IDOK}});
            Command(kFisheye, kCmdCruise);
        });
    // Motion and privacy editors; capture goes on while they are open.
    add(kCmdMotionOn, kFisheye, [&] { return View(kFisheye)->record.motionOn == 1 && View(kFisheye)->motionZones.detector; });
    add(kCmdMotionMask, kFisheye, [&] {
        HWND w = MaskEditorWindow();
        const bool ok = w && Flows(kFisheye);
        if (w) SendMessage(w, WM_CLOSE, 0, 0);
        return ok;
    });
    add(kCmdMotionOff, kFisheye, [&] { return View(kFisheye)->record.motionOn == 0 && !View(kFisheye)->motionZones.detector; });
    add(kCmdZoneEditor, kFisheye, [&] {
        HWND w = ZoneEditorWindow();
        const bool ok = w && Flows(kFisheye);
        if (w) SendMessage(w, WM_CLOSE, 0, 0);
        return ok;
    });
    const int32_t blocks = gfMotionBlock;
    add(kCmdMotionBlocks, kFisheye, [&] { return gfMotionBlock != blocks; });
    const int32_t location = g_lib.showLocation;
    add(kCmdShowLocation, kFisheye, [&] { return g_lib.showLocation != location; });
    add(kCmdLockOn, kFisheye, [&] { return g_lib.lockScreen == 1; });
    add(kCmdLockOff, kFisheye, [&] { return g_lib.lockScreen == 0; });
    add(kCmdEmptyView, kSpare, [&] {
        return ReadSetting(CurrentCallerSection(), ViewKeyName(kSpare).c_str(), "", 64) == EmptyViewMark();
    });
    // The main window.
    add(kCmdMinimise, kFisheye, [&] {
        const bool ok = IsIconic(main);
        ShowWindow(main, SW_RESTORE);
        return ok;
    });
    add(kCmdToBackground, kFisheye, [&] {
        return TheTray().added && !IsWindowVisible(main) && ReadSetting("Panorama", "Background", "", 8) == "1";
    });
    add(kCmdFromBackground, kFisheye, [&] {
        return !TheTray().added && IsWindowVisible(main) && ReadSetting("Panorama", "Background", "", 8) == "0";
    }, [&] { SendMessage(TheTray().owner, WM_COMMAND, kCmdFromBackground, 0); });
    Rect placed{};
    add(kCmdFullScreenOn, kFisheye, [&] { return g_lib.fullScreen && GetWindowRect(main) == ScreenRect(); },
        [&] {
            MoveWindow(main, 20, 30, 500, 400, true);
            placed = GetWindowRect(main);
            Command(kFisheye, kCmdFullScreenOn);
        });
    add(kCmdFullScreenOff, kFisheye, [&] { return !g_lib.fullScreen && GetWindowRect(main) == placed; });
    // Showing modes: the record's mode, saved at once, and the menu checks and greys it.
    struct Mode {
        int command, view, mode;
    };
    const Mode modes[] = {{2658, kFisheye, 7}, {2659, kFisheye, 1}, {2661, kFisheye, 2}, {2662, kFisheye, 4},
                          {2671, kFisheye, 8}, {2672, kFisheye, 9}, {2673, kFisheye, 10}, {2656, kFisheye, 3},
                          {kCmdShowMode5, kFisheye, 5}, {2668, kFisheye, 6}, {2657, kFisheye, 0},
                          {2670, kHalf, 5}, {2664, kHalf, 1}, {2665, kHalf, 0}, {2655, kHalf, 6},
                          {2666, kHalf, 2}, {2667, kHalf, 3}, {2669, kHalf, 4}};
    for (const Mode& m : modes)
        add(m.command, m.view, [this, m] {
            const CameraRecord& r = View(m.view)->record;
            const int32_t mode = m.view == kHalf ? r.showMode180 : r.showMode360;
            const CameraRecord saved = Saved(m.view);
            // The 360-degree lists of modes 1 and 2 leave their own item out; the others
            // check and grey it.
            const uint32_t flags = FlagsOf(ContextMenu(m.view), m.command);
            const bool own = m.view == kFisheye && (m.mode == 1 || m.mode == 2)
                                 ? flags == 0
                                 : (flags & (MF_CHECKED | MF_GRAYED)) == (MF_CHECKED | MF_GRAYED);
            return mode == m.mode && (m.view == kHalf ? saved.showMode180 : saved.showMode360) == m.mode && own &&
                   Flows(m.view, 2);
        });
    add(2681, kHalf, [&] { return View(kHalf)->record.perspective180 == 1 && Saved(kHalf).perspective180 == 1 && Flows(kHalf, 2); });
    add(2680, kHalf, [&] { return View(kHalf)->record.perspective180 == 0 && Saved(kHalf).perspective180 == 0; });
    add(2663, kFisheye, [&] { return RecordOf(View(kFisheye)).presets360[0].pan == 0.0 && Saved(kFisheye).presets360[0].pan == 0.0; },
        [&] {
            Edit(View(kFisheye), [](CameraRecord& r) { r.presets360[0].pan = 33.0; });
            Command(kFisheye, 2663);
        });
    // The mechanical camera's controls reach it with their arguments.
    const std::map<int, std::vector<std::string>> ptz = {
        {3200, {"Dir=Left "}}, {3201, {"Dir=Right "}}, {3202, {"Dir=Up "}}, {3203, {"Dir=Down "}},
        {3204, {"Dir=Point0 "}}, {3210, {"PTZSpeed=1 "}}, {3214, {"PTZSpeed=5 "}}, {3218, {"PTZSpeed=9 "}},
        {3231, {"Dir=Preset1 "}}, {3233, {"Dir=Preset3 "}}, {3238, {"Dir=Preset8 "}}, {3241, {"Dir=Point1 "}},
        {3248, {"Dir=Point8 "}}, {3270, {"Dir=ZoomIn "}}, {3271, {"Dir=ZoomOut "}}, {3272, {"Dir=FocusFar "}},
        {3273, {"Dir=FocusNesr "}}, {3274, {"Dir=IRISLarge "}}, {3275, {"Dir=IRISSmall "}},
        {3276, {"Dir=PanStart "}}, {3277, {"Dir=PanStop "}}, {3278, {"Dir=PatroStart "}},
        {3279, {"Dir=PatroStop "}}, {3280, {"Dir=PanStop ", "Dir=PatroStop "}}};
    for (int id = 3200; id <= 3280; ++id) {
        if (!IsPtzMenuCommand(id)) continue;
        std::vector<std::string> expect;
        if (auto it = ptz.find(id); it != ptz.end()) expect = it->second;
        else if (id >= 3210 && id <= 3218) expect = {"PTZSpeed=" + std::to_string(id - 3209) + " "};
        else if (id >= 3231 && id <= 3238) expect = {"Dir=Preset" + std::to_string(id - 3230) + " "};
        else if (id >= 3241 && id <= 3248) expect = {"Dir=Point" + std::to_string(id - 3240) + " "};
        auto seen = std::make_shared<size_t>(0);  // commands the camera had before this row
        add(id, kPtz, [this, expect, seen] {
            return PumpUntil([&] {
                const auto got = cameras[kPtz]->Commands();
                if (got.size() < *seen + expect.size()) return false;
                for (size_t i = 0; i < expect.size(); ++i)
                    if (got[*seen + i].find("Get /SetPTZ.cgi?" + expect[i]) != 0) return false;
                return true;
            }, 20);
        }, [this, id, seen] {
            *seen = cameras[kPtz]->Commands().size();
            Command(kPtz, id);
        });
    }
    // Closing last: the records are saved, and each open recording gets its camera as it
    // is now.
    add(kCmdClose, kFisheye, [&] {
        if (!g_ui.closed || !PumpUntil([&] { return !IsWindow(main); })) return false;
        const std::string folder = g_drives.entries.at(0).folder;
        for (const std::string& name : ListBackupFolder(folder)) {
            DvrContext reader;
            CameraRecord stored{};
            if (OpenRecordingForRead(reader, folder + name, &stored) != OpenResult::Ok) continue;
            if (std::strcmp(stored.location, "Camera 0") != 0) continue;
            return stored.cruiseSpeed == 7 && stored.showMode360 == 0 && Saved(kFisheye).cruiseSpeed == 7;
        }
        return false;
    });

    // Every item of every menu of these views is in the table.
    std::set<int> inTable;
    for (const Row& r : table) inTable.insert(r.command);
    std::set<int> items;
    for (int v : {kFisheye, kHalf, kPtz})
        for (const auto& i : ContextMenu(v))
            if (i.id) items.insert(i.id);
    for (const std::string& line : ResourceSection("Menu ViewBox"))
        if (int id; std::sscanf(line.c_str(), " ITEM %d", &id) == 1) items.insert(id);
    for (int id : {kCmdFromBackground, kCmdPlayer, kCmdClose, kCmdFullScreenOn, kCmdFullScreenOff}) items.insert(id);
    for (int id : items) {
        EXPECT_TRUE(inTable.count(id)) << "menu item " << id << " (" << Text(id) << ") has no row";
        EXPECT_NE(Text(id).rfind('#', 0), 0u) << id;
    }

    TakeShownDialogs();
    TakeMessages();
    // Ctrl+Shift+click on a view opens its motion-event dialog.
    add(-1, kFisheye, [&] { return Shown("Event"); }, [&] {
        int x = 0, y = 0;
        ClientToTop(g_ui.views[kFisheye], x, y);
        InjectMouse(main, WM_LBUTTONDOWN, x + 40, y + 40, MK_LBUTTON | MK_CONTROL | MK_SHIFT);
        InjectMouse(main, WM_LBUTTONUP, x + 40, y + 40, MK_CONTROL | MK_SHIFT);
    });
    std::rotate(table.begin(), table.end() - 1, table.end());
    for (const Row& r : table) {
        SCOPED_TRACE(testing::Message() << "command " << r.command << " on view " << r.view);
        if (r.act) r.act();
        else Command(r.view, r.command);
        EXPECT_TRUE(r.effect());
    }
}


namespace {

std::vector<uint8_t> Pixels(HDIB pic) {
    DibLock l(pic);
    if (!l) return {};
    return {l.bits(), l.bits() + static_cast<size_t>(l.rowBytes()) * l.height()};
}

// Pixels of exactly this colour in a band of rows of a window's picture.
int CountColour(HDIB pic, int top, int bottom, int left, int right, uint32_t colour) {
    DibLock l(pic);
    if (!l) return 0;
    int n = 0;
    for (int y = std::max(0, top); y < std::min(l.height(), bottom); ++y) {
        const uint8_t* row = l.rowFromTop(y);
        for (int x = std::max(0, left); x < std::min(l.width(), right); ++x)
            n += Rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]) == colour;
    }
    return n;
}

const std::string kShots = std::string(ORB_BINARY_DIR) + "/view-shots";

}  // namespace

// A person drags inside the window above the strip: it pans and tilts, and its picture
// follows at once, also while the camera is paused. A click on the strip centres it there.
TEST_F(ViewCommands, MouseDragPansAWindowAndAClickOnTheStripCentresIt) {
    Open({SimulatedLens::Fisheye, SimulatedLens::Fisheye});
    ASSERT_TRUE(Flows(0, 3) && Flows(1, 3));
    PanoView* v = View(0);
    Edit(v, [](CameraRecord& r) { r.cruiseSpeed = 0; });
    Command(0, 2661);  // one window above the panorama strip
    ASSERT_EQ(v->record.showMode360, 2);
    ASSERT_TRUE(Flows(0, 2));
    Command(0, kCmdPause);
    ASSERT_TRUE(HoldsWhileOtherFlows(0, 1));  // a paused stream takes no pictures
    const int pictures = v->frames.pictures;
    const std::vector<uint8_t> still = Pixels(v->frames.output);
    const double pan = v->record.presets360[4].pan;

    int ox = 0, oy = 0;
    ClientToTop(g_ui.views[0], ox, oy);
    const int W = v->dewarp.W, H = v->dewarp.H;
    ASSERT_EQ(GetClientRect(g_ui.views[0]).width(), W);
    const int x0 = W / 3, y0 = H / 4;
    InjectMouse(main, WM_LBUTTONDOWN, ox + x0, oy + y0, MK_LBUTTON);
    for (int step = 1; step <= 5; ++step) InjectMouse(main, WM_MOUSEMOVE, ox + x0 + 10 * step, oy + y0 + 4 * step, MK_LBUTTON);
    EXPECT_EQ(v->ui.dragging, 1);  // no automatic panning meanwhile
    InjectMouse(main, WM_LBUTTONUP, ox + x0 + 50, oy + y0 + 20, 0);
    EXPECT_EQ(v->ui.dragging, 0);
    // 50 pixels right pan the window by 5 degrees (0.1 a pixel); the picture changed
    // without a new picture from the camera.
    EXPECT_NEAR(v->record.presets360[4].pan, WrapPan(pan + 5.0), 1e-9);
    EXPECT_EQ(v->ui.currentPane, 4);
    EXPECT_EQ(v->frames.pictures, pictures);
    const std::vector<uint8_t> dragged = Pixels(v->frames.output);
    EXPECT_NE(dragged, still);

    // A click on the strip a quarter of the way across: the window looks there.
    const int sx = W / 4, sy = H - H / 6;
    InjectMouse(main, WM_LBUTTONDOWN, ox + sx, oy + sy, MK_LBUTTON);
    InjectMouse(main, WM_LBUTTONUP, ox + sx, oy + sy, 0);
    EXPECT_NEAR(v->record.presets360[4].pan, sx * 360.0 / W - 90.0, 1e-9);
    EXPECT_NE(Pixels(v->frames.output), dragged);
    EXPECT_EQ(v->frames.pictures, pictures);

    // Resumed, pictures flow again and the window stays where the person put it.
    const double placed = RecordOf(v).presets360[4].pan;
    Command(0, kCmdResume);
    EXPECT_TRUE(Flows(0, 3));
    EXPECT_EQ(RecordOf(v).presets360[4].pan, placed);
}

// Automatic panning turns the window of the mode by the cruise speed per picture; speed 0
// and the 180/90 lenses stay.
TEST_F(ViewCommands, PanoramasTurnByThemselvesAtTheCruiseSpeed) {
    // Cameras set up with the speed a new camera gets (3).
    Open({SimulatedLens::Fisheye, SimulatedLens::HalfSphere}, [](CameraRecord& r, int) { r.cruiseSpeed = 3; });
    ASSERT_TRUE(Flows(0, 2) && Flows(1, 2));
    PanoView* v = View(0);
    ASSERT_EQ(v->record.cruiseSpeed, 3);
    ASSERT_EQ(v->record.showMode360, 4);  // window 4 turns in mode 4
    const double start = RecordOf(v).presets360[4].pan;
    const double p1 = RecordOf(View(1)).presets180[0].pan;
    ASSERT_TRUE(PumpUntil([&] { return std::abs(RecordOf(v).presets360[4].pan - start) >= 6.0; }));
    EXPECT_EQ(RecordOf(View(1)).presets180[0].pan, p1);
    {
        std::lock_guard lock(v->ui.viewMutex);
        v->record.cruiseSpeed = 0;
    }
    ASSERT_TRUE(Flows(0, 1));
    const double stopped = RecordOf(v).presets360[4].pan;
    ASSERT_TRUE(Flows(0, 3));
    EXPECT_EQ(RecordOf(v).presets360[4].pan, stopped);
}

// Two kinds of status lines at once: the size warning (line -1, red on the picture) and the
// lost connection (line 0, yellow on a red band), each at x = 10, y = (line + 2) x 16.
TEST_F(ViewCommands, StatusLinesOfTwoKindsAtOnceWithTheirColours) {
    // The record says 640 wide, the camera sends 320 x 240: the size warning.
    Open({SimulatedLens::Fisheye}, [](CameraRecord& r, int) { r.sourceWidth = 640; });
    ASSERT_TRUE(Flows(0, 2));
    PanoView* v = View(0);
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(v->ui.statusMutex);
        return v->ui.statusLines[1].find("Bad Image Source Resolution") == 0;
    }));
    cameras[0]->Stop();  // the connection is lost
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(v->ui.statusMutex);
        return !v->ui.statusLines[2].empty() && !v->ui.statusLines[1].empty();
    }));
    InvalidateRect(g_ui.views[0]);
    PumpMessages();
    HDIB shot = CaptureWindowPicture(g_ui.views[0]);
    ASSERT_TRUE(shot);
    MakeDirs(kShots);
    JpegEncodeFile(shot, (kShots + "/status-lines.jpg").c_str());
    const uint32_t red = Rgb(255, 0, 0), yellow = Rgb(255, 255, 0);
    // Line -1 at y = 16: red letters, no band (the picture shows between them).
    EXPECT_GT(CountColour(shot, 16, 16 + kFontHeight, 10, 200, red), 20);
    EXPECT_EQ(CountColour(shot, 16, 16 + kFontHeight, 10, 200, yellow), 0);
    EXPECT_LT(CountColour(shot, 16, 16 + kFontHeight, 10, 200, red), 190 * kFontHeight / 2);
    // Line 0 at y = 32: yellow letters on a red band that covers the line.
    EXPECT_GT(CountColour(shot, 32, 32 + kFontHeight, 10, 60, yellow), 20);
    EXPECT_GT(CountColour(shot, 32, 32 + kFontHeight, 10, 60, red), 50 * kFontHeight / 2);
    // Nothing is drawn left of x = 8.
    EXPECT_EQ(CountColour(shot, 16, 16 + 2 * kFontHeight + 16, 0, 7, yellow), 0);
    // The camera's location, white on a dark label at the bottom left, while shown; 1901
    // hides it.
    const int bottom = GetClientRect(g_ui.views[0]).height();
    const uint32_t white = Rgb(255, 255, 255);
    ASSERT_TRUE(g_lib.showLocation);
    EXPECT_GT(CountColour(shot, bottom - 20, bottom, 8, 70, white), 30);
    DestroyDIB(shot);
    Command(0, kCmdShowLocation);
    ASSERT_FALSE(g_lib.showLocation);
    PumpMessages();
    shot = CaptureWindowPicture(g_ui.views[0]);
    EXPECT_EQ(CountColour(shot, bottom - 20, bottom, 8, 70, white), 0);
    DestroyDIB(shot);
}

// Stopping a view whose camera never completes the connection (its listen queue is full)
// returns at once: the window thread is never held.
TEST_F(ViewCommands, StopDuringAHangingConnectIsPrompt) {
    Socket listener = CreateTcpSocket();
    ASSERT_TRUE(listener.Valid());
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener.Fd(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener.Fd(), 0), 0);
    socklen_t len = sizeof a;
    getsockname(listener.Fd(), reinterpret_cast<sockaddr*>(&a), &len);
    const int port = ntohs(a.sin_port);
    // Fill the queue until a connect hangs.
    std::vector<Socket> fillers;
    for (int i = 0; i < 16; ++i) {
        Socket s = CreateTcpSocket();
        const bool done = ConnectTo(s, a, 300);
        fillers.push_back(std::move(s));
        if (!done) break;
    }
    auto synSent = [port] {  // our sockets still waiting for the camera's answer
        std::ifstream tcp("/proc/net/tcp");
        char hex[8];
        std::snprintf(hex, sizeof hex, ":%04X", port);
        int n = 0;
        for (std::string line; std::getline(tcp, line);) {
            std::istringstream f(line);
            std::string slot, local, remote, state;
            f >> slot >> local >> remote >> state;
            n += remote.size() > 5 && remote.substr(remote.size() - 5) == hex && state == "02";
        }
        return n;
    };
    const int hanging = synSent();

    auto sim = orbtools::MakeSimulatedCamera(SimulatedLens::Fisheye, 320, 240, 1);
    CameraRecord r = sim.record;
    orbtools::PointAtFakeCamera(r, port, 900, "admin", "secret");
    ASSERT_TRUE(orbtools::WriteCameraConfig(home.path("Config.ure"), {r}));
    OrbiscopeInit();
    void* out = nullptr;
    main = static_cast<HWND>(RunOrbiscope(nullptr, 0, 1, &out, 0, nullptr, 0, nullptr));
    ASSERT_TRUE(main && View(0));
    // The view's connect is under way (or its set-up command's): one more socket waits.
    ASSERT_TRUE(PumpUntil([&] { return synSent() > hanging; }, 30)) << hanging;
    const auto t0 = std::chrono::steady_clock::now();
    Hooks().stopCapture(View(0));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 100.0);
    View(0)->captureStarted = 0;
}

// Dragging the outer circle in the alignment picture rebuilds the live view's tables: its
// maps equal those of a view built afresh from the same record. Without a picture the
// alignment only beeps.
TEST_F(ViewCommands, AlignmentDragRebuildsTheLiveViewAndNoPictureBeeps) {
    PanoView empty;
    const int beeps = BeepCount();
    EXPECT_EQ(DoAlignment(&empty), 0);
    EXPECT_EQ(BeepCount(), beeps + 1);

    Open({SimulatedLens::Fisheye});
    PanoView* v = View(0);
    ASSERT_TRUE(Flows(0, 3));
    const int32_t cx = v->record.centerX, cy = v->record.centerY, radius = v->record.firstRadius;
    ASSERT_GT(radius, 80);
    if (!IsClassRegistered(kAlignmentClass)) RegisterWindowClass({kAlignmentClass, AlignmentPictureProc});
    RegisterWindowClass({"Align Frame", DefWindowProc});
    HWND top = CreateWindow("Align Frame", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, 0, nullptr);
    HWND picture = CreateWindow(kAlignmentClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 640, 480, top, kAlignPictureId, nullptr);
    g_align = {};
    g_align.view = v;
    g_align.picture = picture;
    InjectMouse(top, WM_MOUSEMOVE, cx + radius, cy, 0);
    ASSERT_EQ(g_align.mode, kAlignOuter);
    InjectMouse(top, WM_LBUTTONDOWN, cx + radius, cy, MK_LBUTTON);
    for (int step = 1; step <= 5; ++step) InjectMouse(top, WM_MOUSEMOVE, cx + radius - 10 * step, cy, MK_LBUTTON);
    EXPECT_EQ(v->record.firstRadius, radius - 50);
    // While the button is still down, the next pictures already use the new circle.
    ASSERT_TRUE(Flows(0, 2));
    std::vector<MapCoord> live;
    int W, H;
    {
        std::lock_guard lock(v->ui.viewMutex);
        live = v->dewarp.coordMap;
        W = v->dewarp.W, H = v->dewarp.H;
        PanoView fresh;
        fresh.record = v->record;
        HDIB out = CreateDIB(W, H, 24);
        SetViewSize(fresh, W, H);
        AttachPictures(fresh, v->frames.current, out);
        RebuildPanorama(fresh);
        ASSERT_EQ(UpdatePanorama(fresh), 1);
        ASSERT_EQ(fresh.dewarp.coordMap.size(), live.size());
        size_t differ = 0;
        for (size_t i = 0; i < live.size(); ++i)
            differ += live[i].x != fresh.dewarp.coordMap[i].x || live[i].y != fresh.dewarp.coordMap[i].y;
        EXPECT_EQ(differ, 0u) << "of " << live.size();
        fresh.dewarp.source = fresh.dewarp.destination = nullptr;
        DestroyDIB(out);
    }
    InjectMouse(top, WM_LBUTTONUP, cx + radius - 50, cy, 0);
    g_align = {};
    DestroyWindow(top);
}

// A view takes its record: the fifth window links to the first when its view angle is below
// 10 degrees, and a damaged record (no circle, no reference frame, tilts that are not
// numbers) still shows a dewarped picture.
TEST_F(ViewCommands, LoadedRecordsAreLinkedAndChecked) {
    Open({SimulatedLens::Fisheye, SimulatedLens::Fisheye}, [](CameraRecord& r, int i) {
        if (i == 0) {
            r.presets360[0].zoom = 80, r.presets360[0].pan = 40, r.presets360[0].tilt = -20;
            r.presets360[4].zoom = 5, r.presets360[4].pan = -100;
        } else {
            r.firstRadius = 0;
            r.ovalH = r.ovalV = 0;
            for (auto& p : r.presets360) p.tilt = std::nan("");
        }
    });
    EXPECT_EQ(RecordOf(View(0)).presets360[4].pan, 40.0);
    EXPECT_EQ(RecordOf(View(0)).presets360[4].zoom, 80.0);
    ASSERT_TRUE(Flows(1, 3));
    PanoView* damaged = View(1);
    EXPECT_GT(RecordOf(damaged).firstRadius, 0);
    double lit = 0;
    EXPECT_TRUE(PumpUntil([&] {
        std::lock_guard lock(damaged->ui.viewMutex);
        DibLock l(damaged->frames.output);
        if (!l) return false;
        long n = 0;
        const int bpp = l.bitCount() / 8;
        for (int y = 0; y < l.height(); ++y) {
            const uint8_t* row = l.rowFromTop(y);
            for (int x = 0; x < l.width(); ++x) n += (row[bpp * x] | row[bpp * x + 1] | row[bpp * x + 2]) > 24;
        }
        lit = static_cast<double>(n) / (static_cast<double>(l.width()) * l.height());
        return lit > 0.5;
    })) << lit;
}

// The tool bar's buttons are pictures of what they do, each different, and the button under
// the mouse says what it does in a tool tip.
TEST_F(ViewCommands, ToolBarButtonsAreIconsWithToolTips) {
    Open();
    ASSERT_TRUE(IsWindow(g_toolBar.window));
    ASSERT_TRUE(g_toolBar.picture);
    std::vector<std::vector<uint32_t>> faces;
    {
        DibLock l(g_toolBar.picture);
        for (int k = 0; k < 5; ++k) {
            std::vector<uint32_t> face;
            std::set<uint32_t> colours;
            for (int y = 2; y < 30; ++y)
                for (int x = k * 32 + 2; x < k * 32 + 30; ++x) {
                    const uint8_t* p = l.rowFromTop(y) + 3 * x;
                    face.push_back(Rgb(p[2], p[1], p[0]));
                    colours.insert(face.back());
                }
            EXPECT_GE(colours.size(), 2u) << k;
            faces.push_back(face);
        }
    }
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b) EXPECT_NE(faces[static_cast<size_t>(a)], faces[static_cast<size_t>(b)]) << a << " " << b;
    // Over a view the tool bar comes; over its buttons, their tips.
    SendMessage(g_ui.views[0], WM_MOUSEMOVE, 0, MakePoint(30, 30));
    ASSERT_EQ(g_toolBar.buttons, (std::vector<int>{2, 3, 0, 1, 4}));
    const std::vector<std::string> tips{Text(2652), Text(910), Text(920), Text(903), Text(916)};
    for (int i = 0; i < 5; ++i) {
        InjectMouse(g_toolBar.window, WM_MOUSEMOVE, i * 32 + 10, 10, 0);
        ASSERT_TRUE(IsWindow(g_tip.window)) << i;
        EXPECT_EQ(g_tip.text, std::wstring(tips[static_cast<size_t>(i)].begin(), tips[static_cast<size_t>(i)].end())) << i;
    }
}

// On a 180-degree lens in mode 0 the top-left cell shows the whole panorama: a click there
// centres the current crop on that spot; a drag in a crop moves it.
TEST_F(ViewCommands, ClickOnTheHalfSpherePanoramaCentresTheCurrentCrop) {
    Open({SimulatedLens::HalfSphere}, [](CameraRecord& r, int) {
        r.showMode180 = 0;
        r.perspective180 = 0;
    });
    ASSERT_TRUE(Flows(0, 2));
    PanoView* v = View(0);
    const Cell pano = WindowCell(*v, 3), crop = WindowCell(*v, 1);
    int ox = 0, oy = 0;
    ClientToTop(g_ui.views[0], ox, oy);
    // Make window 1 the current one with a click, then click the panorama's centre.
    InjectMouse(main, WM_LBUTTONDOWN, ox + crop.x + crop.w / 2, oy + crop.y + crop.h / 2, MK_LBUTTON);
    InjectMouse(main, WM_LBUTTONUP, ox + crop.x + crop.w / 2, oy + crop.y + crop.h / 2, 0);
    EXPECT_EQ(v->ui.currentPane, 1);
    Edit(v, [](CameraRecord& r) { r.presets180[1].pan = 0.36, r.presets180[1].tilt = 0.4; });
    InjectMouse(main, WM_LBUTTONDOWN, ox + pano.x + pano.w / 2, oy + pano.y + pano.h / 2, MK_LBUTTON);
    InjectMouse(main, WM_LBUTTONUP, ox + pano.x + pano.w / 2, oy + pano.y + pano.h / 2, 0);
    EXPECT_NEAR(v->record.presets180[1].pan, 0.5, 0.01);
    EXPECT_NEAR(v->record.presets180[1].tilt, 0.5, 0.01);
    // A drag to the left in the crop moves it by 0.1 dx / cellW.
    const double before = v->record.presets180[1].pan;
    const int x0 = ox + crop.x + crop.w / 2, y0 = oy + crop.y + crop.h / 2;
    InjectMouse(main, WM_LBUTTONDOWN, x0, y0, MK_LBUTTON);
    InjectMouse(main, WM_MOUSEMOVE, x0 - 40, y0, MK_LBUTTON);
    InjectMouse(main, WM_LBUTTONUP, x0 - 40, y0, 0);
    EXPECT_NEAR(v->record.presets180[1].pan, before - 0.1 * 40 / crop.w, 1e-6);
}
