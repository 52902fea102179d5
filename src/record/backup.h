// Backup of recordings: copying (or moving) chosen recordings into a backup folder with a
// running byte count, a stop request between files, and playing from that folder. A source
// is deleted only after its copy was verified complete.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace orb {

struct PlayerState;
constexpr size_t kBackupChunk = 1000000;

// Why a copy ended.
// SameFile: the target is the source under another name; TargetHeld: the target is a
// recording the recorder is writing; SameFolder: the backup folder is the source's folder.
// None of these touches the target.
enum class CopyResult {
    Ok, SourceMissing, TargetFailed, ReadFailed, DiskFull, WriteFailed, Incomplete, SameFile, TargetHeld, SameFolder
};
constexpr const char* kBackupSameFolderText =
    "The backup folder is the recording folder: nothing was copied. Choose another folder.";
constexpr const char* kBackupSkippedText =
    "These recordings were skipped: their copy would have overwritten a recording in use:";

struct BackupJob {
    std::string folder;  // the backup folder, ending in "/"
    bool move = false;   // delete each source after its verified copy
    std::atomic<int32_t> stop{0};  // looked at after each file
    // Progress: the file being copied (bar position 0..99 before it starts) and the running
    // byte count as the dialog shows it ("%I64d").
    std::function<void(int percent, const std::string& name)> onFile;
    std::function<void(const std::string& count)> onBytes;
    std::function<void()> pumpMessages;  // lets the stop dialog be pressed between files
    // The chunk writer (tests stand in a disk that fills up); empty: the file stream.
    std::function<size_t(const void* data, size_t size, FILE* stream)> write;
    CopyResult lastResult = CopyResult::Ok;
    std::string lastName;  // the file the last failure concerns
    int kept = 0;          // moved files whose source stayed because the recorder holds it
    std::vector<std::string> skipped;  // files not copied: their target was in use or the source
};

// Copies one file in 1,000,000-byte chunks with 64-bit sizes; 1 when the whole file was
// written and the target verified at the source's size taken at the start.
int CopyRecordingFile(BackupJob& job, const std::string& source, const std::string& target);
// Copies the sources in order into the folder; stops at the first failure or a stop
// request, and before anything when the folder is a source's own folder (SameFolder). A
// target in use or identical with its source is skipped (listed in skipped). Returns the
// number of files copied.
int CopyRecordings(BackupJob& job, const std::vector<std::string>& sources);

// The backup folder's recordings (".p360" and video files, case-blind), sorted by name.
std::vector<std::string> ListBackupFolder(const std::string& folder);
// "2011/05/14 13:00 -- Lobby" from "201105141300Lobby.P360".
std::string BackupListText(const std::string& name);
// Deletes the named backups (last to first) after the root password check; the number
// deleted, or -1 when the check failed.
int DeleteBackups(void* owner, const std::string& folder, const std::vector<std::string>& names);
// The backup folder setting, with a trailing "/" (empty when none is set).
std::string BackupFolderSetting();
// False when the settings cannot keep it (a name with a line break is refused).
bool StoreBackupFolder(const std::string& folder);
constexpr const char* kFolderNotKeptText =
    "This folder is used now but cannot be kept in the settings: its name holds a line break.";
// The move needs the root password unless it was confirmed since the player or a snapshot
// viewer was last opened.
bool BackupPasswordAllowed(void* owner);

// Backup play: the "Playback" dialog lists the backup folder; choosing an item opens that
// recording in the open player the way its playlist does. False when nothing opened.
std::vector<std::string> BackupPlaybackList();
bool PlayBackupItem(PlayerState& p, int item);


}  // namespace orb
