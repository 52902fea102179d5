#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "analysis/motion.h"
#include "analysis/motion_view.h"
#include "platform/base64.h"
#include "camera/frame_pipeline.h"
#include "config/library_state.h"
#include "ui/panoview.h"
#include "ui/run_orbiscope.h"
#include "platform/texts.h"
#include "platform/msgbox.h"
#include "platform/window_script.h"
#include "ui/composition.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/editor_windows.h"
#include "ui/ui_state.h"

using namespace orb;

// The motion commands from the view's menu, and the mask painted with the mouse in the
// editor window, headless.
TEST(MaskEditorWindow, CommandsAndMousePaintTheCamerasMask) {
    orbtest::TempHome home;
    const ViewHooks saved = Hooks();
    UnregisterAllClasses();
    Hooks() = {};
    InstallSubsystemHooks();
    ASSERT_GT(RegisterLibraryClasses(), 0);
    SetHeadlessScreen(640, 480);
    g_lib.recording = 1;

    auto view = std::make_unique<PanoView>();
    RegisterView(view.get());
    SetText(view->record.macText, Base64Encode("00:11:22:33:44:55").c_str());
    view->record.motionSensitivity = 15;
    HDIB grey = CreateDIB(320, 240, 24);
    {
        DibLock l(grey);
        std::memset(l.bits(), 90, size_t(l.rowBytes()) * 240);
    }
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(JpegEncodeMemory(grey, 80, jpeg));
    DestroyDIB(grey);

    // Without a detector the editor does not open.
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdMotionMask));
    EXPECT_EQ(MaskEditorWindow(), nullptr);
    // Detection on, a picture in, then the editor opens over the screen.
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdMotionOn));
    EXPECT_EQ(view->record.motionOn, 1);
    ASSERT_NE(view->motionZones.detector, nullptr);
    RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr);
    RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr);
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdMotionMask));
    HWND w = MaskEditorWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(view->ui.paused, 0);  // capture goes on once the editor holds its copy
    // Mark the top-left quarter of the screen, then keep the mask.
    SendMessage(w, WM_LBUTTONDOWN, MK_LBUTTON, MakePoint(0, 0));
    SendMessage(w, WM_MOUSEMOVE, MK_LBUTTON, MakePoint(319, 239));
    SendMessage(w, WM_LBUTTONUP, 0, MakePoint(319, 239));
    SendMessage(w, WM_KEYDOWN, 0x0D, 0);
    EXPECT_EQ(MaskEditorWindow(), nullptr);
    EXPECT_EQ(view->ui.paused, 0);
    const std::vector<uint8_t> file = orbtest::ReadFile(MaskFilePath(view->record));
    ASSERT_FALSE(file.empty());
    auto mask = CurrentMotionMask(*view->motionZones.detector);
    ASSERT_NE(mask, nullptr);

    // Escape leaves the mask as it was.
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdMotionMask));
    w = MaskEditorWindow();
    ASSERT_NE(w, nullptr);
    SendMessage(w, WM_KEYDOWN, 'C', 0);
    SendMessage(w, WM_KEYDOWN, 0x1B, 0);
    EXPECT_EQ(orbtest::ReadFile(MaskFilePath(view->record)), file);

    // The tool dialog over the editor: its slider sets the sensitivity and OK keeps it.
    orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    ASSERT_TRUE(LoadLanguageResource());
    TakeResourceMisses();  // the editors opened above had no resource file
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdMotionMask));
    HWND tool = nullptr;
    for (HWND t : TopLevelWindows())
        if (GetClassName(t) == "#dialog") tool = t;
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(GetOwner(tool), MaskEditorWindow());
    EXPECT_EQ(SliderGetPos(tool, 110), 15);
    SliderSetPos(tool, 110, 40);
    SendMessage(tool, WM_HSCROLL, MakeWParam(TB_THUMBTRACK, 40), reinterpret_cast<LPARAM>(GetDlgItem(tool, 110)));
    EXPECT_EQ(GetDlgItemText(tool, 112), "40");
    SendMessage(tool, WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(MaskEditorWindow(), nullptr);
    EXPECT_FALSE(IsWindow(tool));
    EXPECT_EQ(view->record.motionSensitivity, 40);
    EXPECT_TRUE(TakeResourceMisses().empty());
    UnloadLanguage();

    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdMotionOff));
    EXPECT_EQ(view->motionZones.detector, nullptr);
    EXPECT_EQ(view->record.motionOn, 0);
    ReleaseFrames(*view);
    UnregisterView(view.get());
    g_lib = LibraryState{};
    Hooks() = saved;
    UnregisterAllClasses();
}

// The zone editor: cells marked with the mouse and the style picked with keys land in the
// record when the editor closes, and the zones then blank the camera's pictures.
TEST(ZoneEditorWindow, MouseAndKeysSetCellsAndStyleOfTheRecord) {
    orbtest::TempHome home;
    const ViewHooks saved = Hooks();
    UnregisterAllClasses();
    Hooks() = {};
    InstallSubsystemHooks();
    ASSERT_GT(RegisterLibraryClasses(), 0);
    SetHeadlessScreen(640, 480);
    g_lib.callerId = 0;

    auto view = std::make_unique<PanoView>();
    RegisterView(view.get());
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdZoneEditor));
    EXPECT_EQ(ZoneEditorWindow(), nullptr);  // no picture yet

    HDIB grey = CreateDIB(320, 240, 24);
    {
        DibLock l(grey);
        std::memset(l.bits(), 200, size_t(l.rowBytes()) * 240);
    }
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(JpegEncodeMemory(grey, 90, jpeg));
    DestroyDIB(grey);
    RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr);
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdZoneEditor));
    HWND w = ZoneEditorWindow();
    ASSERT_NE(w, nullptr);
    // The left half of the top row of cells (screen 640 wide: 20 pixels a cell).
    SendMessage(w, WM_LBUTTONDOWN, MK_LBUTTON, MakePoint(0, 0));
    SendMessage(w, WM_MOUSEMOVE, MK_LBUTTON, MakePoint(310, 5));
    SendMessage(w, WM_LBUTTONUP, 0, MakePoint(310, 5));
    SendMessage(w, WM_KEYDOWN, '4', 0);  // full strength
    SendMessage(w, WM_KEYDOWN, 'D', 0);  // darken
    SendMessage(w, WM_KEYDOWN, 'O', 0);  // on
    SendMessage(w, WM_KEYDOWN, 0x1B, 0);  // closing keeps the edits
    EXPECT_EQ(ZoneEditorWindow(), nullptr);
    EXPECT_EQ(view->record.zoneStyle & 1u, 1u);
    EXPECT_EQ(view->record.zoneCells[0], 0xFF);  // cells 0..7 of row 0
    EXPECT_EQ(view->record.zoneCells[1], 0xFF);
    EXPECT_EQ(view->record.zoneCells[4], 0x00);  // row 1 untouched

    // The next picture is blanked in the marked cells only.
    PrepareViewZones(*view);
    RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr);
    {
        std::lock_guard lock(view->ui.viewMutex);
        DibLock l(view->frames.current);
        EXPECT_LT(l.rowFromTop(2)[3 * 5], 60);     // inside a marked cell
        EXPECT_GT(l.rowFromTop(100)[3 * 5], 150);  // outside
    }
    ReleaseFrames(*view);
    UnregisterView(view.get());
    g_lib = LibraryState{};
    Hooks() = saved;
    UnregisterAllClasses();
}

// The colour balance dialog: modeless, one at a time; the box enables the sliders, a
// slider changes the preview, OK stores the values in the record.
TEST(BalanceDialogWindow, SlidersAndBoxReachTheRecordOnOk) {
    orbtest::TempHome home;
    orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    ASSERT_TRUE(LoadLanguageResource());
    TakeResourceMisses();
    const ViewHooks saved = Hooks();
    UnregisterAllClasses();
    Hooks() = {};
    InstallSubsystemHooks();
    ASSERT_GT(RegisterLibraryClasses(), 0);
    auto view = std::make_unique<PanoView>();
    RegisterView(view.get());
    HDIB grey = CreateDIB(320, 240, 24);
    {
        DibLock l(grey);
        std::memset(l.bits(), 100, size_t(l.rowBytes()) * 240);
    }
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(JpegEncodeMemory(grey, 90, jpeg));
    DestroyDIB(grey);
    RunFramePipeline(*view, jpeg.data(), jpeg.size(), nullptr);

    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdBalance));
    HWND d = BalanceDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, kCmdBalance));
    EXPECT_EQ(BalanceDialog(), d);  // still the one dialog
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, 356)));
    CheckDlgButton(d, 1315, true);
    SendMessage(d, WM_COMMAND, MakeWParam(1315, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, 356)));
    SliderSetPos(d, 356, 127);  // brightness
    SendMessage(d, WM_HSCROLL, MakeWParam(TB_THUMBTRACK, 127), reinterpret_cast<LPARAM>(GetDlgItem(d, 356)));
    EXPECT_EQ(GetDlgItemText(d, 357), "127");
    EXPECT_EQ(view->record.colourShift[3], 0);  // nothing stored before OK
    SendMessage(d, WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(BalanceDialog(), nullptr);
    EXPECT_EQ(view->record.colourBalanceOn, 1);
    EXPECT_EQ(view->record.colourShift[3], 127);
    EXPECT_EQ(view->dewarp.colour.on, 1);
    const auto misses = TakeResourceMisses();
    EXPECT_TRUE(misses.empty()) << misses.front();
    ReleaseFrames(*view);
    UnregisterView(view.get());
    g_lib = LibraryState{};
    Hooks() = saved;
    UnregisterAllClasses();
    UnloadLanguage();
}

// The motion-event dialog of a Ctrl+Shift click: a library that does not load keeps it open
// with text 2616; switched off, OK stores the hook as off.
TEST(EventDialogWindow, FailedLibraryKeepsItOpenAndOffIsStored) {
    orbtest::TempHome home;
    orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    ASSERT_TRUE(LoadLanguageResource());
    TakeResourceMisses();
    TakeMessages();
    TakeShownDialogs();
    const ViewHooks saved = Hooks();
    UnregisterAllClasses();
    Hooks() = {};
    InstallSubsystemHooks();
    auto view = std::make_unique<PanoView>();
    RegisterView(view.get());
    SetText(view->record.name, "Gate");
    view->record.hookOn = 1;
    using S = DialogStep;
    ASSERT_TRUE(ScriptDialog("Event", {{S::SetText, 1814, "orbiscope-no-such-library.so"},
                                       {S::SetText, 1816, "OnMotion"},
                                       {S::Press, IDOK},
                                       {S::SetCheck, 1812, "", 0},
                                       {S::Press, IDOK}}));
    EXPECT_TRUE(Hooks().command(view.get(), nullptr, -1));
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, Text(2616));
    EXPECT_EQ(view->record.hookOn, 0);
    EXPECT_EQ(TakeShownDialogs(), (std::vector<std::string>{"Event"}));
    EXPECT_TRUE(TakeResourceMisses().empty());
    UnregisterView(view.get());
    g_lib = LibraryState{};
    Hooks() = saved;
    UnregisterAllClasses();
    UnloadLanguage();
}
