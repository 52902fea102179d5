#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "config/settings.h"
#include "ui/panoview.h"
#include "platform/texts.h"
#include "platform/largefile.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "record/backup.h"
#include "record/player.h"
#include "record/recorder.h"
#include "record/recording_file.h"
#include "record/backup_fixture.h"
#include "support/test_support.h"
#include "ui/backup_dialog.h"

using namespace orb;
using backuptest::BackupWorld;
using backuptest::Exists;
using backuptest::Pattern;
using orbtest::ReadFile;
using orbtest::WriteFile;

namespace {

// The headless window layer with the language file, and one roomy disk whose recording
// folder is made; returns that folder (empty when the language file is missing).
std::string HeadlessDesktopWithOneDisk(BackupWorld& w) {
    SetBackend(Backend::Headless);
    ResetWindowing();
    WriteFile(w.home.path(kLanguageFile), ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    if (!LoadLanguageResource()) return {};
    SetDriveProbe({[] { return std::vector<MountEntry>{}; },
                   [](const std::string&, double& f, double& t) {
                       f = 1e9, t = 1e12;
                       return true;
                   }});
    WriteSetting("DVR", "StorageRoots", w.home.path("disk"));
    BuildDriveTable();
    const std::string folder = g_drives.entries[0].folder;
    MakeDirs(folder);
    return folder;
}

}  // namespace

TEST(Backup, DialogCopiesTheChosenRecordingsAndListsTheBackupFolder) {
    BackupWorld w;
    const std::string folder = HeadlessDesktopWithOneDisk(w);
    ASSERT_FALSE(folder.empty());
    DvrContext rec;
    CameraRecord r{};
    ASSERT_EQ(CreateRecording(rec, folder + "201105141300Lobby.P360", r, SystemTime{2011, 5, 0, 14, 13, 0, 0, 0}), 1);
    const uint8_t jpeg[4] = {0xFF, 0xD8, 0xFF, 0xD9};
    ASSERT_EQ(AppendFrame(rec, jpeg, 4, SystemTime{2011, 5, 0, 14, 13, 0, 1, 0}), 1);
    CloseRecording(rec);
    ASSERT_EQ(CreateRecording(rec, folder + "201105141400Gate.P360", r, SystemTime{2011, 5, 0, 14, 14, 0, 0, 0}), 1);
    CloseRecording(rec);
    WriteSetting("Backup", "Dir", w.backup);
    ScriptDialog("Backup", {{DialogStep::Press, 930}, {DialogStep::Press, IDOK}, {DialogStep::Press, IDCANCEL}});
    EXPECT_EQ(Backup(nullptr), 1);
    EXPECT_EQ(ListBackupFolder(w.backup),
              (std::vector<std::string>{"201105141300Lobby.P360", "201105141400Gate.P360"}));
    EXPECT_EQ(ReadFile(w.backup + "201105141300Lobby.P360"), ReadFile(folder + "201105141300Lobby.P360"));
    EXPECT_TRUE(TakeMessages().empty());
    // Without a chosen recording the copy does nothing.
    std::remove((w.backup + "201105141400Gate.P360").c_str());
    ScriptDialog("Backup", {{DialogStep::Press, IDOK}, {DialogStep::Press, IDCANCEL}});
    EXPECT_EQ(Backup(nullptr), 1);
    EXPECT_EQ(ListBackupFolder(w.backup).size(), 1u);

    // Playing from the backup: the backup folder's recording opens in the player.
    std::remove((folder + "201105141300Lobby.P360").c_str());
    ThePlayer() = PlayerState{};
    ThePlayer().createFrame = [](void*) { return static_cast<void*>(&ThePlayer()); };
    ASSERT_TRUE(OpenPlayerFrame(ThePlayer(), nullptr, nullptr));
    ASSERT_EQ(BackupPlaybackList(), (std::vector<std::string>{"201105141300Lobby.P360"}));
    ThePlayer().loopRunning = true;  // as inside the running player
    EXPECT_TRUE(PlayBackupItem(ThePlayer(), 0));
    EXPECT_FALSE(PlayBackupItem(ThePlayer(), 1));
    ThePlayer().loopRunning = false;
    ClosePlayerFrame(ThePlayer());
    ThePlayer() = PlayerState{};
    ResetWindowing();
    SetDriveProbe({});
    g_drives = DriveTable{};
}

TEST(Backup, IntoTheRecordingFolderOrOverARecordingInUseDestroysNothing) {
    BackupWorld w;
    const std::string folder = HeadlessDesktopWithOneDisk(w);
    ASSERT_FALSE(folder.empty());
    const std::string name = "201105141300Lobby.P360";
    const auto recording = Pattern(300000, 5);
    WriteFile(folder + name, recording);
    ThePlayer().rootConfirmed = true;  // the move's password was given

    // The attack: "move" every recording into the recording folder itself, by its own name
    // and through a link to it. Nothing is copied, nothing deleted, and the user is told.
    ::symlink(folder.c_str(), w.home.path("link").c_str());
    for (const std::string& target : {folder, w.home.path("link") + "/"}) {
        SCOPED_TRACE(target);
        WriteSetting("Backup", "Dir", target);
        ScriptDialog("Backup", {{DialogStep::Press, 930}, {DialogStep::Press, 1309}, {DialogStep::Press, IDOK},
                                {DialogStep::Press, IDCANCEL}});
        EXPECT_EQ(Backup(nullptr), 1);
        EXPECT_EQ(ReadFile(folder + name), recording);
        const auto shown = TakeMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, kBackupSameFolderText);
    }

    // A backup whose target is a recording the recorder is writing skips that file with a
    // message and copies the rest; the recording in use keeps every byte.
    DvrContext held;
    CameraRecord r{};
    ASSERT_EQ(CreateRecording(held, w.backup + name, r, SystemTime{2011, 5, 0, 14, 13, 0, 0, 0}), 1);
    const uint8_t jpeg[4] = {0xFF, 0xD8, 0xFF, 0xD9};
    ASSERT_EQ(AppendFrame(held, jpeg, 4, SystemTime{2011, 5, 0, 14, 13, 0, 1, 0}), 1);
    const auto inUse = ReadFile(w.backup + name);
    WriteFile(folder + "201105141400Gate.P360", Pattern(1000, 9));
    BackupJob job;
    job.folder = w.backup;
    job.move = true;
    EXPECT_EQ(CopyRecordings(job, {folder + name, folder + "201105141400Gate.P360"}), 1);
    EXPECT_EQ(job.skipped, (std::vector<std::string>{name}));
    EXPECT_EQ(ReadFile(w.backup + name), inUse);
    EXPECT_EQ(ReadFile(folder + name), recording);  // a skipped file is never moved
    EXPECT_EQ(ReadFile(w.backup + "201105141400Gate.P360"), Pattern(1000, 9));
    EXPECT_FALSE(Exists(folder + "201105141400Gate.P360"));  // the other one moved
    // The same file under another name is never opened for writing either.
    ::link((folder + name).c_str(), w.home.path("hard.P360").c_str());
    BackupJob same;
    EXPECT_EQ(CopyRecordingFile(same, folder + name, w.home.path("hard.P360")), 0);
    EXPECT_EQ(same.lastResult, CopyResult::SameFile);
    EXPECT_EQ(ReadFile(folder + name), recording);
    CloseRecording(held);

    // The dialog says which files were skipped.
    ASSERT_EQ(CreateRecording(held, w.backup + name, r, SystemTime{2011, 5, 0, 14, 13, 0, 0, 0}), 0);  // exists
    ASSERT_EQ(ReopenRecording(held, w.backup + name), 1);
    WriteSetting("Backup", "Dir", w.backup);
    ScriptDialog("Backup", {{DialogStep::Press, 930}, {DialogStep::Press, IDOK}, {DialogStep::Press, IDCANCEL}});
    EXPECT_EQ(Backup(nullptr), 1);
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, std::string(kBackupSkippedText) + "\n" + name);
    CloseRecording(held);
    EXPECT_EQ(ReadFile(w.backup + name), inUse);

    ThePlayer() = PlayerState{};
    ResetWindowing();
    SetDriveProbe({});
    g_drives = DriveTable{};
}
