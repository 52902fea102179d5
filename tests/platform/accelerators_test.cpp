// Keyboard accelerators: the resource section's lines, the key names, and a key down that
// becomes the command of the window (or parent) holding the table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/accelerators.h"
#include "platform/window.h"

using namespace orb;

namespace {

std::vector<Message> g_got;
LRESULT Record(HWND h, uint32_t m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND || m == WM_KEYDOWN) g_got.push_back({h, m, w, l});
    return DefWindowProc(h, m, w, l);
}

}  // namespace

TEST(Accelerators, SectionLinesBecomeKeysAndCommands) {
    AcceleratorTable t;
    std::string error;
    ASSERT_TRUE(ParseAccelerators({"KEY Ctrl+B 935", "  key-less lines are not allowed"}, t, error) == false);
    EXPECT_NE(error.find("\"  key-less lines are not allowed\""), std::string::npos) << error;

    ASSERT_TRUE(ParseAccelerators({"KEY Ctrl+B 935", "", "KEY ctrl+shift+z 3020", "KEY F11 916", "KEY Alt+7 2600"}, t, error))
        << error;
    ASSERT_EQ(t.keys.size(), 4u);
    EXPECT_EQ(t.keys[0].key, 66u);  // 'B'
    EXPECT_EQ(t.keys[0].modifiers, kKeyCtrl);
    EXPECT_EQ(t.keys[0].command, 935);
    EXPECT_EQ(t.keys[1].key, 90u);  // 'Z'
    EXPECT_EQ(t.keys[1].modifiers, kKeyCtrl | kKeyShift);
    EXPECT_EQ(t.keys[2].key, 0xFFC8u);  // the desktop's F11
    EXPECT_EQ(t.keys[2].modifiers, 0u);
    EXPECT_EQ(t.keys[3].key, 55u);  // '7'
    EXPECT_EQ(t.keys[3].modifiers, kKeyAlt);
    EXPECT_EQ(FindAccelerator(t, 90, kKeyCtrl | kKeyShift), 3020);
    EXPECT_EQ(FindAccelerator(t, 90, kKeyCtrl), 0);  // Shift missing
    EXPECT_EQ(FindAccelerator(t, 66, 0), 0);         // the plain letter stays the view's
    EXPECT_EQ(AcceleratorLabel(t, 3020), "Ctrl+Shift+Z");
    EXPECT_EQ(AcceleratorLabel(t, 916), "F11");
    EXPECT_EQ(AcceleratorLabel(t, 900), "");
}

TEST(Accelerators, BadLinesAreRejectedWithTheLine) {
    for (const std::string bad : {"KEY Ctrl+B", "KEY Ctrl+B x935", "KEY Hyper+B 935", "KEY Ctrl+ 935", "KEY Ctrl+BB 935",
                                  "KEY F13 935", "KEY Ctrl+B 0", "KEY Ctrl+B 935 extra", "PRESS Ctrl+B 935"}) {
        AcceleratorTable t;
        t.keys.push_back({1, 0, 1});
        std::string error;
        EXPECT_FALSE(ParseAccelerators({bad}, t, error)) << bad;
        EXPECT_EQ(error, "bad accelerator line \"" + bad + "\" (expected KEY <keys like Ctrl+B> <command>)");
        EXPECT_EQ(t.keys.size(), 1u);  // the table is left as it was
    }
    AcceleratorTable t;
    std::string error;
    EXPECT_FALSE(ParseAccelerators({"KEY Ctrl+B 935", "KEY ctrl+b 938"}, t, error));
    EXPECT_EQ(error, "the key Ctrl+B is given twice");
}

TEST(Accelerators, AKeyDownBecomesTheTableHoldersCommand) {
    SetBackend(Backend::Headless);
    ResetWindowing();
    g_got.clear();
    RegisterWindowClass({"Accel Frame", Record});
    HWND frame = CreateWindow("Accel Frame", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, 0, nullptr);
    HWND child = CreateWindow("Accel Frame", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, frame, 7, nullptr);
    AcceleratorTable t;
    std::string error;
    ASSERT_TRUE(ParseAccelerators({"KEY Ctrl+B 935"}, t, error));
    ASSERT_TRUE(SetAccelerators(frame, t));
    SetFocus(child);

    EXPECT_EQ(InjectKey(WM_KEYDOWN, 'B', kKeyCtrl), 1);
    InjectKey(WM_KEYUP, 'B', kKeyCtrl);  // only key downs are translated: the up is the focus window's
    InjectKey(WM_KEYDOWN, 'B');
    ASSERT_EQ(g_got.size(), 2u);
    EXPECT_EQ(g_got[0].hwnd, frame);
    EXPECT_EQ(g_got[0].message, static_cast<uint32_t>(WM_COMMAND));
    EXPECT_EQ(g_got[0].wParam, MakeWParam(935, 1));
    EXPECT_EQ(g_got[1].hwnd, child);  // without Ctrl the focus window has the key
    EXPECT_EQ(g_got[1].message, static_cast<uint32_t>(WM_KEYDOWN));
    EXPECT_EQ(g_got[1].wParam, static_cast<WPARAM>('B'));

    ASSERT_TRUE(SetAccelerators(frame, {}));
    g_got.clear();
    InjectKey(WM_KEYDOWN, 'B', kKeyCtrl);
    ASSERT_EQ(g_got.size(), 1u);
    EXPECT_EQ(g_got[0].message, static_cast<uint32_t>(WM_KEYDOWN));
    ResetWindowing();
}
