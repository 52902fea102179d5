// The pack builder: a recording or a snapshot, the stand-alone player and what it needs,
// zipped (Debian's zip) and turned into one executable package: a small /bin/sh stub of
// ours followed by the archive. Run, the package unpacks into a fresh temporary folder
// and starts the player on the recording or snapshot.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace orb {

// The save dialog that asks for the package's path.
namespace pack {
constexpr int kSaveTitleText = 2056;
constexpr const char* kSaveFilter = "Windows Exe File *.exe";
constexpr const char* kSaveExtension = "exe";
constexpr size_t kOutputMax = 199;
constexpr const char* kRecordingMarker = "RecVault.dvr";
constexpr const char* kSnapshotMarker = "SnapView.snap";
constexpr const char* kDefaultPlayer = "orbiscope-player";
constexpr const char* kWebAddress = "https://orbiscope.example/";
constexpr const char* kMailAddress = "support@orbiscope.example";
}  // namespace pack

struct PackEntry {
    std::string path;        // relative to the library's folder, or absolute
    bool removeAfter = false;
};

struct PackNames {
    std::string archive;   // the output path with ".zip" for its extension
    std::string baseName;  // the output's last component without its extension
    std::string program;   // the archive path with ".exe" for its extension
};
PackNames DerivePackNames(const std::string& outputPath);

// The process-wide file list of the build in progress.
struct PackList {
    std::vector<PackEntry> entries;
    int copyErrors = 0;
    PackNames names;
};
extern PackList g_packList;

// Adds a file to the list. The same name (case-blind) is listed as it stands; otherwise
// the target in the library's folder is listed, kept if it already exists, else created
// as a copy of the source and marked for removal. 1, or 0 after a failed copy.
int AddPackEntry(PackList& list, const std::string& source, const std::string& target);

// Progress while packing: a rough percentage and what is being done. Called with 0 first
// and 100 last; the window layer shows its wait cursor in between.
using PackProgress = std::function<void(int percent, const std::string& step)>;
// The window layer's progress window, used by builds whose options name no progress.
extern PackProgress g_packProgress;

struct PackOptions {
    std::string player = pack::kDefaultPlayer;  // the stand-alone player program
    std::string zipProgram = "zip";
    PackProgress progress;
    int toolTimeoutMs = 10 * 60 * 1000;
};

// Builds a package of a recording into outputPath (empty: the save dialog was cancelled,
// nothing happens). 1 on success, 0 on failure; the result is also shown (2054 / 2055).
int BuildRecordingPack(void* owner, const std::string& recordingPath, const std::string& outputPath,
                       const PackOptions& options = {});
// The save-file dialog that asks where a package goes: the path, or empty when cancelled.
std::string ChoosePackPath(void* owner);
// The same for a snapshot file.
int BuildSnapshotPack(void* owner, const std::string& snapshotPath, const std::string& outputPath,
                      const PackOptions& options = {});

// The camera export dialog ("ExportCamera", modeless): every slot of Config.ure listed,
// several chosen; its build writes the chosen slots, in list order, to a file of the
// same format (BuildPackInfo).
struct ExportCameraDialog {
    std::vector<std::string> locations;  // one entry per listed slot
    std::vector<bool> chosen;
};
ExportCameraDialog OpenExportCameraDialog(void* owner);
void ExportCameraToggle(ExportCameraDialog& d, int entry);
// Hands the chosen entries to BuildPackInfo's copy and runs it: 1, 0 (none chosen) or -1.
int ExportCameraBuild(void* owner, const ExportCameraDialog& d, const std::string& outputPath);

// What the stub of a package is told.
struct SelfExtractor {
    std::string zipPath;
    std::string programPath;
    std::string player;     // the program started after unpacking (a name inside the archive)
    std::string marker;     // the file inside the archive naming the recording or snapshot
    std::string title;
    std::string intro;
    std::string website;
    std::string folderPrefix = "RecVault";  // the temporary folder's name starts with it
};
// The stub text with its size field left for PatchStubSize.
std::string SelfExtractorStub(const SelfExtractor& sfx);
// Writes stub + archive to the program path, fixes the archive's offsets with "zip -A" and
// records the package's final size in the stub. True on success.
bool WriteSelfExtractor(const SelfExtractor& sfx, const PackOptions& options);

}  // namespace orb
