#include <gtest/gtest.h>

#include <string>

#include "config/config_file.h"
#include "config/library_state.h"
#include "config/root_password.h"
#include "config/settings.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "platform/texts.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "support/test_support.h"

using namespace orb;

namespace {

// Settings and User.dat in a temporary folder, the texts of the language file, no password.
struct PasswordWorld {
    orbtest::TempHome home;
    PasswordWorld() {
        orbtest::WriteFile(home.path(kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
        LoadLanguageResource();
        g_lib.callerId = 0;
        TakeMessages();
    }
    ~PasswordWorld() {
        ClearDialogScripts();
        UnloadLanguage();
        g_lib.callerId = 4;
        g_lib.protect = 0;
        g_userBlock.fill(0);
    }
};

}  // namespace

TEST(RootPassword, SetAndCheckDialogsAndTheGuard) {
    PasswordWorld w;
    g_userBlock.fill(0);
    using S = DialogStep;
    TakeShownDialogs();
    EXPECT_EQ(CheckPassword(nullptr), 1);  // none stored: no dialog
    EXPECT_TRUE(TakeShownDialogs().empty());
    // First password: old left empty; the new one cut to the 10-character field.
    ASSERT_TRUE(ScriptDialog("Root", {{S::SetText, 3400, ""}, {S::SetText, 3401, "Secret12345"},
                                      {S::SetText, 3402, "SECRET12345"}, {S::SetCheck, 363, "", 1}, {S::Press, IDOK}}));
    EXPECT_EQ(SetRootPassword(nullptr), 0);
    EXPECT_EQ(StoredRootPassword(), "Secret1234");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(g_userBlock.data() + 68)), "Secret1234");
    EXPECT_EQ(orbtest::ReadFile(UserFilePath()).size(), 180u);
    EXPECT_EQ(g_lib.protect, 1);
    EXPECT_EQ(ReadSetting("DVR", "Protected", ""), "1");
    TakeMessages();
    // Wrong old one, then differing new ones, then the old one in another letter case: the
    // dialog stays open after each wrong entry.
    ASSERT_TRUE(ScriptDialog("Root", {{S::SetText, 3400, "nope"}, {S::SetText, 3401, "a"}, {S::SetText, 3402, "a"},
                                      {S::Press, IDOK},
                                      {S::SetText, 3400, "secret1234"}, {S::SetText, 3401, "abc"},
                                      {S::SetText, 3402, "abd"}, {S::Press, IDOK},
                                      {S::SetText, 3400, "SECRET1234"}, {S::SetText, 3401, "Abc"},
                                      {S::SetText, 3402, "aBC"}, {S::SetCheck, 363, "", 0}, {S::Press, IDOK}}));
    EXPECT_EQ(SetRootPassword(nullptr), 0);
    auto msgs = TakeMessages();
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].text, Text(2400));
    EXPECT_EQ(msgs[1].text, Text(2401));
    EXPECT_EQ(msgs[0].flags, kMbIconError);
    EXPECT_EQ(msgs[0].caption, "");
    EXPECT_EQ(StoredRootPassword(), "Abc");
    EXPECT_EQ(g_lib.protect, 0);
    // The check is exact about letter case; Cancel gives 0.
    ASSERT_TRUE(ScriptDialog("Check", {{S::SetText, 3400, "abc"}, {S::Press, IDOK}, {S::SetText, 3400, "Abc"},
                                       {S::Press, IDOK}}));
    EXPECT_EQ(CheckPassword(nullptr), 1);
    EXPECT_EQ(TakeMessages().size(), 1u);
    EXPECT_EQ(CheckPassword(nullptr), 0);
    // The guard asks only while protection is on.
    TakeShownDialogs();
    EXPECT_TRUE(ProtectedActionAllowed(nullptr));
    EXPECT_TRUE(TakeShownDialogs().empty());
    g_lib.protect = 1;
    EXPECT_FALSE(ProtectedActionAllowed(nullptr));
    ASSERT_TRUE(ScriptDialog("Check", {{S::SetText, 3400, "Abc"}, {S::Press, IDOK}}));
    EXPECT_TRUE(ProtectedActionAllowed(nullptr));
    g_lib.protect = 0;
    EXPECT_TRUE(TakeResourceMisses().empty());
}
