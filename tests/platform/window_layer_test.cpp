// The window layer, driven headless: messages, window data, subclassing, timers, painting,
// menus and scripted dialogs.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/texts.h"
#include "platform/dib.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "support/test_support.h"

using namespace orb;

namespace {

struct Log {
    std::vector<uint32_t> messages;
    std::vector<uintptr_t> timers;
    std::vector<std::thread::id> threads;
};
Log g_log;

LRESULT Recorder(HWND h, uint32_t m, WPARAM w, LPARAM l) {
    g_log.messages.push_back(m);
    g_log.threads.push_back(std::this_thread::get_id());
    if (m == WM_TIMER) g_log.timers.push_back(w);
    if (m == WM_USER + 1) return static_cast<LRESULT>(w * 2 + l);
    if (m == WM_PAINT) {
        Canvas c = BeginPaint(h);
        FillRect(c, GetClientRect(h), Rgb(10, 20, 30));
        EndPaint(h);
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

WndProc g_previous = nullptr;
LRESULT Subclass(HWND h, uint32_t m, WPARAM w, LPARAM l) {
    if (m == WM_USER + 1) return 7;
    return CallWindowProc(g_previous, h, m, w, l);
}

struct WindowLayer : ::testing::Test {
    void SetUp() override {
        SetBackend(Backend::Headless);
        ResetWindowing();
        g_log = {};
        ASSERT_TRUE(RegisterWindowClass({"Test Class", Recorder}));
    }
    void TearDown() override { ResetWindowing(); }
};

}  // namespace

TEST_F(WindowLayer, ClassesWindowsAndWindowData) {
    EXPECT_FALSE(RegisterWindowClass({"Test Class", Recorder}));  // taken
    EXPECT_FALSE(RegisterWindowClass({"", Recorder}));
    EXPECT_FALSE(RegisterWindowClass({"No Proc", nullptr}));
    EXPECT_EQ(CreateWindow("Unknown", "", 0, 0, 0, 10, 10, nullptr, 0, nullptr), nullptr);

    HWND top = CreateWindow("Test Class", "Top", WS_POPUP, 10, 20, 300, 200, nullptr, 0, nullptr);
    ASSERT_TRUE(top);
    EXPECT_EQ(g_log.messages.front(), WM_CREATE);
    EXPECT_EQ(GetWindowText(top), "Top");
    EXPECT_EQ(GetClientRect(top), (Rect{0, 0, 300, 200}));
    HWND child = CreateWindow("Test Class", "", WS_CHILD | WS_VISIBLE, 50, 40, 100, 80, top, 7, nullptr);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetDlgItem(top, 7), child);
    EXPECT_EQ(GetDlgCtrlID(child), 7);
    EXPECT_EQ(ChildWindowFromPoint(top, 60, 50), child);
    EXPECT_EQ(ChildWindowFromPoint(top, 5, 5), top);

    // Twelve bytes: three words; anything else is refused.
    EXPECT_EQ(SetWindowLong(child, 0, 11), 0);
    EXPECT_EQ(SetWindowLong(child, 8, -5), 0);
    EXPECT_EQ(SetWindowLong(child, 8, 6), -5);
    EXPECT_EQ(GetWindowLong(child, 0), 11);
    EXPECT_EQ(GetWindowLong(child, 12), 0);
    EXPECT_EQ(GetWindowLong(child, 2), 0);

    // Subclassing replaces the procedure and forwards the rest.
    EXPECT_EQ(SendMessage(child, WM_USER + 1, 3, 1), 7);
    g_previous = SetWindowProc(child, Subclass);
    EXPECT_EQ(SendMessage(child, WM_USER + 1, 3, 1), 7);
    SetWindowProc(child, g_previous);
    EXPECT_EQ(SendMessage(child, WM_USER + 1, 3, 1), 7);

    // Destroying the parent destroys the child; stale handles do nothing.
    g_log = {};
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(std::count(g_log.messages.begin(), g_log.messages.end(), WM_DESTROY), 2);
    EXPECT_EQ(SendMessage(child, WM_USER + 1, 3, 1), 0);
    EXPECT_FALSE(PostMessage(child, WM_USER));
    EXPECT_FALSE(DestroyWindow(top));
}

TEST_F(WindowLayer, PostedSentAndCrossThreadMessages) {
    HWND w = CreateWindow("Test Class", "", WS_POPUP, 0, 0, 10, 10, nullptr, 0, nullptr);
    PumpMessages();
    g_log = {};
    PostMessage(w, WM_USER + 2, 1, 0);
    PostMessage(w, WM_USER + 3, 2, 0);
    EXPECT_TRUE(g_log.messages.empty());  // nothing runs before the pump
    EXPECT_EQ(PumpMessages(), 2);
    EXPECT_EQ(g_log.messages, (std::vector<uint32_t>{WM_USER + 2, WM_USER + 3}));

    // A message sent from another thread runs on the window's thread.
    g_log = {};
    std::atomic<LRESULT> result{-1};
    std::thread other([&] { result = SendMessage(w, WM_USER + 1, 20, 2); });
    while (result == -1) PumpMessages();
    other.join();
    EXPECT_EQ(result, 42);
    ASSERT_FALSE(g_log.threads.empty());
    EXPECT_EQ(g_log.threads.back(), std::this_thread::get_id());

    // A thread with its own queue pumps its own messages.
    std::atomic<int> pumped{0};
    std::thread worker([&] {
        HWND mine = CreateWindow("Test Class", "", WS_POPUP, 0, 0, 4, 4, nullptr, 0, nullptr);
        PostMessage(mine, WM_USER + 5);
        Message m;
        while (PeekMessage(m)) {
            if (m.message == WM_USER + 5) ++pumped;
            DispatchMessage(m);
        }
        DestroyWindow(mine);
    });
    worker.join();
    EXPECT_EQ(pumped, 1);

    // The quit message ends the loop with its code.
    PostMessage(w, WM_USER + 2);
    PostQuitMessage(3);
    EXPECT_EQ(RunMessageLoop(), 3);
}

TEST_F(WindowLayer, TimersFollowTheInjectedClock) {
    ManualClock clock;
    SetTimerClock(&clock);
    HWND w = CreateWindow("Test Class", "", WS_POPUP, 0, 0, 10, 10, nullptr, 0, nullptr);
    ASSERT_TRUE(SetTimer(w, 902, 1000));
    EXPECT_FALSE(SetTimer(w, 1, 0));
    PumpMessages();
    EXPECT_TRUE(g_log.timers.empty());
    clock.now = 999;
    PumpMessages();
    EXPECT_TRUE(g_log.timers.empty());
    clock.now = 1000;
    PumpMessages();
    EXPECT_EQ(g_log.timers, std::vector<uintptr_t>{902});
    // Late timers do not pile up: one message however long it was.
    clock.now = 5500;
    PumpMessages();
    EXPECT_EQ(g_log.timers.size(), 2u);
    clock.now = 6500;
    PumpMessages();
    EXPECT_EQ(g_log.timers.size(), 3u);
    EXPECT_TRUE(KillTimer(w, 902));
    EXPECT_FALSE(HasTimer(w, 902));
    clock.now = 100000;
    PumpMessages();
    EXPECT_EQ(g_log.timers.size(), 3u);
    // A destroyed window's timers go with it.
    SetTimer(w, 5, 10);
    DestroyWindow(w);
    EXPECT_FALSE(HasTimer(w, 5));
}

TEST_F(WindowLayer, PaintingTextStretchAndComposition) {
    HWND top = CreateWindow("Test Class", "", WS_POPUP | WS_VISIBLE, 0, 0, 40, 30, nullptr, 0, nullptr);
    HWND child = CreateWindow("Test Class", "", WS_CHILD | WS_VISIBLE, 8, 4, 16, 12, top, 1, nullptr);
    PumpMessages();  // both paint
    EXPECT_EQ(std::count(g_log.messages.begin(), g_log.messages.end(), WM_PAINT), 2);
    Canvas c = BeginPaint(child);
    FillRect(c, {0, 0, 16, 12}, Rgb(255, 0, 0));
    FillRect(c, {-5, -5, 2, 2}, Rgb(0, 0, 255));  // clipped
    HDIB pic = CaptureWindowPicture(top);
    {
        DibLock l(pic);
        ASSERT_EQ(l.width(), 40);
        ASSERT_EQ(l.height(), 30);
        const uint8_t* p = l.rowFromTop(0);
        EXPECT_EQ(p[0], 30);  // B, G, R of the parent's fill
        EXPECT_EQ(p[1], 20);
        EXPECT_EQ(p[2], 10);
        const uint8_t* q = l.rowFromTop(4) + 8 * 3;
        EXPECT_EQ((std::vector<int>{q[0], q[1], q[2]}), (std::vector<int>{255, 0, 0}));
        const uint8_t* r = l.rowFromTop(10) + 20 * 3;
        EXPECT_EQ((std::vector<int>{r[0], r[1], r[2]}), (std::vector<int>{0, 0, 255}));
    }
    DestroyDIB(pic);

    // Text: "I" has ink in its middle column, a space none; the width is 6 a character.
    HDIB surface = CreateDIB(30, 14, 24);
    Canvas t{surface, 30, 14};
    EXPECT_EQ(DrawText(t, 0, 0, "I I", Rgb(255, 255, 255)), 18);
    {
        DibLock l(surface);
        int inkFirst = 0, inkSpace = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 6; ++x) {
                inkFirst += l.rowFromTop(y)[x * 3] == 255;
                inkSpace += l.rowFromTop(y)[(x + 6) * 3] == 255;
            }
        EXPECT_GT(inkFirst, 5);
        EXPECT_EQ(inkSpace, 0);
    }
    // Stretch: a 2 x 1 picture (black, white) doubled fills halves.
    HDIB src = CreateDIB(2, 1, 24);
    {
        DibLock l(src);
        std::fill_n(l.rowFromTop(0) + 3, 3, 255);
    }
    ASSERT_TRUE(StretchPicture(t, {0, 0, 4, 2}, src));
    {
        DibLock l(surface);
        EXPECT_EQ(l.rowFromTop(1)[1 * 3], 0);
        EXPECT_EQ(l.rowFromTop(1)[2 * 3], 255);
        EXPECT_EQ(l.rowFromTop(0)[3 * 3], 255);
    }
    EXPECT_FALSE(StretchPicture(t, {0, 0, 0, 2}, src));
    DestroyDIB(src);
    DestroyDIB(surface);
}

TEST_F(WindowLayer, MouseCaptureFocusAndKeys) {
    HWND top = CreateWindow("Test Class", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100, nullptr, 0, nullptr);
    HWND left = CreateWindow("Test Class", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top, 1, nullptr);
    HWND right = CreateWindow("Test Class", "", WS_CHILD | WS_VISIBLE, 100, 0, 100, 100, top, 2, nullptr);
    PumpMessages();
    g_log = {};
    InjectMouse(top, WM_LBUTTONDOWN, 150, 10);
    ASSERT_FALSE(g_log.messages.empty());
    EXPECT_EQ(g_log.messages.back(), WM_LBUTTONDOWN);
    SetCapture(left);
    EXPECT_EQ(GetCapture(), left);
    InjectMouse(top, WM_MOUSEMOVE, 150, 10);  // goes to the capture window
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    SetFocus(right);
    g_log = {};
    InjectKey(WM_KEYDOWN, 37);
    EXPECT_EQ(g_log.messages, std::vector<uint32_t>{WM_KEYDOWN});
    EXPECT_EQ(SetCursor(IDC_HAND), IDC_ARROW);
    EXPECT_EQ(GetCursor(), IDC_HAND);
    int x, y;
    GetCursorPos(x, y);
    EXPECT_EQ(x, 250);
    EXPECT_EQ(y, 110);
}

TEST_F(WindowLayer, MenusFromLinesAndScriptedChoices) {
    HMENU m = CreatePopupMenu();
    ASSERT_TRUE(ParseMenuLines({"ITEM 900 Pause", "SEPARATOR", "POPUP \"More things\"", "  ITEM 905 \"Go on\"", "END",
                                "ITEM 907 Exit"},
                               m));
    const auto items = GetMenuItems(m);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].id, 900);
    EXPECT_EQ(items[1].flags, MF_SEPARATOR);
    EXPECT_EQ(items[2].text, "More things");
    EXPECT_EQ(GetMenuItems(items[2].submenu)[0].text, "Go on");
    EXPECT_EQ(CheckMenuItem(m, 905, true), 0);  // found in the submenu
    EXPECT_EQ(GetMenuState(m, 905), static_cast<int>(MF_CHECKED));
    EXPECT_EQ(EnableMenuItem(m, 907, false), 0);
    EXPECT_EQ(CheckMenuItem(m, 12345, true), -1);

    HWND w = CreateWindow("Test Class", "", WS_POPUP, 0, 0, 10, 10, nullptr, 0, nullptr);
    ScriptMenuChoices({907, 905, 4242});
    EXPECT_EQ(TrackPopupMenu(m, w, 0, 0), 0);    // greyed: cannot be chosen
    EXPECT_EQ(TrackPopupMenu(m, w, 0, 0), 905);  // inside the submenu
    EXPECT_EQ(TrackPopupMenu(m, w, 0, 0), 0);    // not in the menu
    EXPECT_EQ(TrackPopupMenu(m, w, 0, 0), 0);    // no script left
    EXPECT_EQ(TakeShownMenus().size(), 4u);
    EXPECT_EQ(std::count(g_log.messages.begin(), g_log.messages.end(), WM_INITMENUPOPUP), 4);

    HMENU bad = CreatePopupMenu();
    EXPECT_FALSE(ParseMenuLines({"POPUP open"}, bad));  // unclosed
    EXPECT_FALSE(ParseMenuLines({"BOGUS 1"}, bad));
    DestroyMenu(bad);
    DestroyMenu(m);
}

namespace {
int g_changes = 0;
LRESULT CountingDialog(HWND dlg, uint32_t msg, WPARAM w, LPARAM l) {
    if (msg == WM_INITDIALOG) {
        SpinSetRange(dlg, 20, 0, 10);
        SetDlgItemText(dlg, 30, "start");
        return 1;
    }
    if (msg == WM_COMMAND && HiWord(w) == kNotifyChanged) ++g_changes;
    if (msg == WM_COMMAND && LoWord(w) == 40) {
        EndDialog(dlg, 40 + SpinGetPos(dlg, 20));
        return 1;
    }
    return 0;
}
}  // namespace

TEST_F(WindowLayer, DialogTemplatesAndScripts) {
    DialogTemplate t;
    ASSERT_TRUE(ParseDialogTemplate("T", {"CAPTION \"A title\"", "SIZE 200 100", "CONTROL 20 spin \"\" 1 2 3 4",
                                          "CONTROL 30 edit \"x\" 5 6 70 8", "CONTROL 40 button Go 9 10 11 12"},
                                    t));
    EXPECT_EQ(t.caption, "A title");
    ASSERT_EQ(t.controls.size(), 3u);
    EXPECT_EQ(t.controls[1].kind, ControlKind::Edit);
    EXPECT_EQ(t.controls[2].text, "Go");
    EXPECT_EQ(t.controls[2].height, 12);
    EXPECT_FALSE(ParseDialogTemplate("T", {"SIZE 0 0"}, t));
    EXPECT_FALSE(ParseDialogTemplate("T", {"SIZE 10 10", "CONTROL 1 wobble x 1 2 3 4"}, t));
    EXPECT_FALSE(ParseDialogTemplate("T", {"SIZE 10 10", "CONTROL 1 button"}, t));

    // Dialogs come from the text resource file.
    orbtest::TempHome home;
    orbtest::WriteText(home.path(kLanguageFile), "[Texts]\n5=Five\n[Dialog Counter]\nCAPTION #5\nSIZE 200 100\n"
                                                   "CONTROL 20 spin \"\" 1 2 3 4\nCONTROL 30 edit \"\" 5 6 70 8\n"
                                                   "CONTROL 40 button Go 9 10 11 12\n");
    ASSERT_TRUE(LoadLanguageResource());
    g_changes = 0;
    ScriptDialog("Counter", {{DialogStep::SetValue, 20, "", 99}, {DialogStep::SetText, 30, "typed"}, {DialogStep::Press, 40}});
    EXPECT_EQ(DialogBox("Counter", nullptr, CountingDialog, 0), 50);  // 99 clamped to 10
    EXPECT_EQ(g_changes, 2);
    // Without a script the dialog is cancelled.
    EXPECT_EQ(DialogBox("Counter", nullptr, CountingDialog, 0), IDCANCEL);
    EXPECT_EQ(DialogBox("Missing", nullptr, CountingDialog, 0), -1);
    EXPECT_EQ(TakeShownDialogs(), (std::vector<std::string>{"Counter", "Counter"}));
    // A modeless dialog stays until destroyed.
    HWND d = CreateDialog("Counter", nullptr, CountingDialog, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(GetWindowText(d), "Five");
    EXPECT_EQ(GetDlgItemText(d, 30), "start");
    EXPECT_EQ(ListAddString(d, 30, "a"), 0);
    EXPECT_TRUE(ListSetSelection(d, 30, 0));
    EXPECT_FALSE(ListSetSelection(d, 30, 1));
    DestroyWindow(d);
    UnloadLanguage();
}
