#include "config/nas_settings.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <sys/stat.h>

#include "config/settings.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "support/test_support.h"

namespace {

using namespace orb;

struct Nas : ::testing::Test {
    orbtest::TempHome home;
    void SetUp() override {
        g_nas = NasSettings{};
        g_nasLoggedIn = false;
        TakeMessages();
        orbtest::WriteText(home.path("Halo360Web_003906.r"), "[Texts]\n2555=pick\n2764=no drive left\n");
        LoadLanguageResource();
    }
    void TearDown() override {
        UnloadLanguage();
        g_rebuildRecordingDrives = [] { return 1; };
        g_reloadRecordingList = [] {};
        TakeMessages();
    }
    // A log-in command that leaves a mark each time it runs.
    std::string MarkingCommand() {
        const std::string script = home.path("login.sh");
        orbtest::WriteText(script, "#!/bin/sh\necho \"$@\" >> \"" + home.path("ran.txt") + "\"\n");
        ::chmod(script.c_str(), 0755);
        return "\"" + script + "\" //server/share \"pass word\"";
    }
};

int g_rebuilds = 0, g_reloads = 0;

TEST_F(Nas, KeysDefaultsOrderAndCuts) {
    ReadNasSettings();
    EXPECT_FALSE(g_nas.inUse);
    EXPECT_TRUE(g_nas.launch);
    EXPECT_EQ(g_nas.folder, "");
    EXPECT_EQ(g_nas.command, "");

    g_nas = {true, "/srv/rec/", "mount-share x", false};
    ASSERT_TRUE(WriteNasSettings());
    const std::string ini = orbtest::ReadText(SettingsPath());
    const size_t a = ini.find("NAS=1"), b = ini.find("NASLaunch=0"), c = ini.find("NASDir=/srv/rec/"),
                 d = ini.find("NASConfig=mount-share x");
    ASSERT_NE(d, std::string::npos) << ini;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, d);
    EXPECT_NE(ini.find("[DVR]"), std::string::npos);

    g_nas = NasSettings{};
    ReadNasSettings();
    EXPECT_TRUE(g_nas.inUse);
    EXPECT_FALSE(g_nas.launch);
    EXPECT_EQ(g_nas.folder, "/srv/rec/");
    EXPECT_EQ(g_nas.command, "mount-share x");

    // Read back cut to the buffers: 259 and 499 characters.
    WriteSetting("DVR", "NASDir", std::string(300, 'd'));
    WriteSetting("DVR", "NASConfig", std::string(600, 'c'));
    ReadNasSettings();
    EXPECT_EQ(g_nas.folder.size(), 259u);
    EXPECT_EQ(g_nas.command.size(), 499u);
}

TEST_F(Nas, LogInRunsOnceOnlyWhenNeeded) {
    const std::string cmd = MarkingCommand();
    // Storage not in use, or launching off: nothing runs, the flag stays clear.
    g_nas = {false, home.path("absent/"), cmd, true};
    LogIntoNAS();
    g_nas = {true, home.path("absent/"), cmd, false};
    LogIntoNAS();
    EXPECT_FALSE(g_nasLoggedIn);
    // The folder already reachable: nothing runs, the flag stays clear.
    g_nas = {true, home.dir + "/", cmd, true};
    LogIntoNAS();
    EXPECT_FALSE(g_nasLoggedIn);
    EXPECT_EQ(orbtest::ReadText(home.path("ran.txt")), "");

    // Unreachable: the command runs (arguments split by our rule), once per process.
    g_nas = {true, home.path("absent/"), cmd, true};
    LogIntoNAS();
    LogIntoNAS();
    EXPECT_TRUE(g_nasLoggedIn);
    EXPECT_EQ(orbtest::ReadText(home.path("ran.txt")), "//server/share pass word\n");

    // A command that cannot start is passed over silently, and not tried again.
    g_nasLoggedIn = false;
    g_nas.command = "/no/such/login-tool --now";
    LogIntoNAS();
    EXPECT_TRUE(g_nasLoggedIn);
    EXPECT_TRUE(TakeMessages().empty());
}

// At start-up the log-in runs beside the window: started at once, joined when the system
// closes, the drives measured again once it ended.
TEST_F(Nas, StartedLogInRunsOnItsOwnThreadAndIsJoined) {
    const std::string gate = home.path("gate");
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    const std::string script = home.path("slow-login.sh");
    orbtest::WriteText(script, "#!/bin/sh\nread go < \"" + gate + "\"\necho \"$@\" >> \"" + home.path("ran.txt") + "\"\n");
    ::chmod(script.c_str(), 0755);
    g_rebuilds = 0;
    g_rebuildRecordingDrives = [] { return ++g_rebuilds; };
    g_nas = {true, home.path("absent/"), "\"" + script + "\" //server/share", true};
    ASSERT_TRUE(StartNasLogIn());
    EXPECT_FALSE(StartNasLogIn());  // once per process
    // The program waits for the gate: the call above came back without it.
    EXPECT_FALSE(JoinNasCommands(20));
    EXPECT_EQ(g_rebuilds, 0);
    {
        std::FILE* g = std::fopen(gate.c_str(), "w");  // opens once the program reads
        ASSERT_NE(g, nullptr);
        std::fputs("go\n", g);
        std::fclose(g);
    }
    EXPECT_TRUE(JoinNasCommands(60000));
    EXPECT_TRUE(g_nasLoggedIn);
    EXPECT_EQ(g_rebuilds, 1);
    EXPECT_EQ(orbtest::ReadText(home.path("ran.txt")), "//server/share\n");
}

TEST_F(Nas, AdvanceDialogEnablingBrowseRunOkAndCancel) {
    g_nas = {false, "/srv/rec/", "abcd", true};
    AdvanceDialog d = OpenAdvanceDialog();
    EXPECT_FALSE(d.inUse);
    EXPECT_EQ(d.folder, "/srv/rec/");
    for (int id : {1852, 1853, 1855, 1856, 1857}) EXPECT_FALSE(AdvanceControlEnabled(d, id)) << id;
    EXPECT_TRUE(AdvanceControlEnabled(d, 1850));
    EXPECT_TRUE(AdvanceControlEnabled(d, 1851));
    d.inUse = true;  // 1851 clicked
    for (int id : {1852, 1853, 1855, 1857}) EXPECT_TRUE(AdvanceControlEnabled(d, id)) << id;
    EXPECT_FALSE(AdvanceControlEnabled(d, 1856)) << "4 characters leave the run button disabled";
    d.command = "abcde";
    EXPECT_TRUE(AdvanceControlEnabled(d, 1856));

    AdvanceChooseFolder(d, "/mnt/rec");
    EXPECT_EQ(d.folder, "/mnt/rec/");
    AdvanceChooseFolder(d, "D:\\rec\\");
    EXPECT_EQ(d.folder, "D:\\rec\\");
    AdvanceChooseFolder(d, "");  // browser cancelled
    EXPECT_EQ(d.folder, "D:\\rec\\");
    EXPECT_EQ(AdvanceBrowseTitle(), "pick");

    // Run: visible, waited for; one that cannot start says so.
    d.command = MarkingCommand();
    EXPECT_EQ(AdvanceRun(nullptr, d), 1);
    EXPECT_EQ(orbtest::ReadText(home.path("ran.txt")), "//server/share pass word\n");
    d.command = "/no/such/tool";
    EXPECT_EQ(AdvanceRun(nullptr, d), 0);
    auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("/no/such/tool"), std::string::npos);

    // Cancel writes nothing.
    EXPECT_EQ(AdvanceCancel(), 0);
    struct stat st {};
    EXPECT_NE(::stat(SettingsPath().c_str(), &st), 0);

    // OK writes and lets the recorder rebuild; with no drive left, message 2764.
    g_rebuilds = g_reloads = 0;
    g_rebuildRecordingDrives = [] { return ++g_rebuilds, 0; };
    g_reloadRecordingList = [] { ++g_reloads; };
    d.command = "mount it";
    d.launch = false;
    EXPECT_EQ(AdvanceOk(nullptr, d), 1);
    EXPECT_EQ(g_rebuilds, 1);
    EXPECT_EQ(g_reloads, 0);
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "no drive left");
    EXPECT_EQ(shown[0].caption, "");
    g_nas = NasSettings{};
    ReadNasSettings();
    EXPECT_TRUE(g_nas.inUse);
    EXPECT_FALSE(g_nas.launch);
    EXPECT_EQ(g_nas.folder, "D:\\rec\\");
    EXPECT_EQ(g_nas.command, "mount it");

    g_rebuildRecordingDrives = [] { return ++g_rebuilds, 2; };
    EXPECT_EQ(AdvanceOk(nullptr, d), 1);
    EXPECT_EQ(g_reloads, 1);
    EXPECT_TRUE(TakeMessages().empty());
}

}  // namespace
