// The library's wiring between its parts, as start-up installs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/nas_settings.h"
#include "config/settings.h"
#include "platform/texts.h"
#include "ui/composition.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "record/recorder.h"
#include "support/test_support.h"

using namespace orb;

// OK in the network storage dialog rebuilds the drive table at once: the storage folder
// becomes entry 0 and the recordings there are listed; with no drive left the user is told.
TEST(Wiring, NetworkStorageSettingsRebuildTheDrives) {
    orbtest::TempHome home;
    std::filesystem::copy_file(orbtest::SourcePath("res/Halo360Web_003906.r"), home.path(kLanguageFile));
    LoadLanguageResource();
    const std::string local = home.path("local"), nas = home.path("nas");
    MakeDirs(local);
    MakeDirs(nas);
    WriteSetting("DVR", "StorageRoots", local);
    InstallSubsystemHooks();
    BuildDriveTable();
    ASSERT_EQ(g_drives.count, 1);
    orbtest::WriteText(nas + "/201105141400Gate.P360", std::string(20000, 'x'));
    TakeMessages();

    EXPECT_EQ(AdvanceOk(nullptr, AdvanceDialog{true, "", nas + "/", false}), 1);
    ASSERT_EQ(g_drives.count, 2);
    EXPECT_EQ(g_drives.entries[0].folder, nas + "/");
    EXPECT_EQ(g_drives.entries[1].folder, local + "/RECVAULT/");
    ASSERT_NE(CatalogueNodes().size(), 0u);
    EXPECT_STREQ(CatalogueNodes()[0]->name, "201105141400Gate.P360");
    EXPECT_TRUE(TakeMessages().empty());

    // Network storage off and the local root gone: no drive is left, and the user hears it.
    WriteSetting("DVR", "StorageRoots", home.path("gone"));
    EXPECT_EQ(AdvanceOk(nullptr, AdvanceDialog{false, "", "", false}), 1);
    EXPECT_EQ(g_drives.count, 0);
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, Text(2764));
    UnloadLanguage();
    g_drives = DriveTable{};
}
