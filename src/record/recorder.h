// The recorder: storage drives, the per-picture decision, hourly files, the catalogue of
// recordings and the recording switches.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/motion_view.h"
#include "record/recording_file.h"
#include "record/snapshot.h"


namespace orb {

constexpr int kMaxDrives = 27;
constexpr double kMinDriveBytes = 6000000000.0;
constexpr const char* kRecordingFolder = "RECVAULT";
// The recording folder under a root, with a trailing "/": an existing folder of any spelling
// of kRecordingFolder, else that name.
std::string RecordingFolderOf(const std::string& root);

struct DriveEntry {
    std::string folder;  // recording folder, with a trailing "/"
    std::string root;    // where free space is measured
};

struct DriveTable {
    int32_t count = 0;
    std::array<DriveEntry, kMaxDrives> entries;
};
extern DriveTable g_drives;

// One mounted file system as the mount table lists it.
struct MountEntry {
    std::string device, mountPoint, type, options;
};
// Parses the text of /proc/self/mounts (octal escapes such as \040 decoded).
std::vector<MountEntry> ParseMounts(const std::string& text);
// Local, writable, real or network file systems.
bool IsStorageMount(const MountEntry& m);

// Where drives come from and how big they are; tests install a fake.
struct DriveProbe {
    std::function<std::vector<MountEntry>()> mounts;
    // Free and total bytes of a root; false when it cannot be measured.
    std::function<bool(const std::string& root, double& freeBytes, double& totalBytes)> space;
};
void SetDriveProbe(DriveProbe probe);  // empty members restore the real ones

// Storage roots named in the settings ("StorageRoots" in section "DVR", separated by ";");
// when empty the mount table decides.
std::vector<std::string> ConfiguredStorageRoots();
// The NAS folder in use (switch on and folder given), or "".
std::string NasFolderInUse();

void BuildDriveTable();
// Builds the table once, if no one has yet; safe from any thread.
void EnsureDriveTable();
double FreeBytes(int entry, double* total = nullptr);
int ChooseDrive();
// The chosen drive's recording folder, "" without any drive.
std::string ChooseDriveFolder();

// Process-wide switches read when the recorder starts.
struct RecorderSwitches {
    int32_t skipSystemDisk = 0;
};
extern RecorderSwitches g_recorderSwitches;
// Reads the switches (and the recording flag) from the settings, then builds the drives.
void StartRecorder();

// A video camera's recording (its packets as received): made and ended with the context.
struct VideoRecorder;
struct VideoRecorderDeleter {
    void operator()(VideoRecorder* r) const;
};

// The per-view recording part of a view.
struct ViewRecording {
    std::unique_ptr<DvrContext> dvr;
    std::unique_ptr<VideoRecorder, VideoRecorderDeleter> video;
    int32_t slot = -1;  // recording slot, -1 for none
    // The hour's file could not be opened; the next try waits until retryAt (local seconds).
    int32_t failing = 0;
    int64_t retryAt = 0;
};

// The part of a view the recorder and the player work on: everything below, the recording
// and the file its picture came from.
struct RecordView : AnalysisView {
    ViewRecording recording;
    SnapshotState snapshot;
};
// Seconds between tries to open a recording file that could not be opened.
constexpr int kRecorderRetrySeconds = 2;

// Recording slots: one per view control identifier; of views showing cameras with the same
// location text only the last one records.
struct RecordingSlot {
    RecordView* view = nullptr;
    char location[80] = {};
    int32_t duplicate = 0;
};
extern std::array<RecordingSlot, 32> g_recordingSlots;
void ClearRecordingSlots();
// Puts a camera's view into slot id and recomputes the duplicate flags; closing views
// (closing(view) true) do not make earlier slots duplicates.
void AssignRecordingSlot(RecordView* view, int id, int numViews, const std::function<bool(RecordView*)>& closing = {});

// Capture start and stop: the view's context is (re)created and discarded.
void StartRecordingContext(RecordView* view);
void StopRecordingContext(RecordView* view);
// A closed view gives its slot up: views opened later in the same process (a host that
// reopens its views) must not be taken for duplicates of it and left unrecorded.
void ReleaseRecordingSlot(RecordView* view);

// Motion flag argument when the view has no motion detector running.
constexpr int kNoMotionDetector = -1;
// Called by the capture thread once per picture that passed its checks, with the JPEG
// bytes as received. motion: the detector's flag, or kNoMotionDetector. 1 when the frame
// was stored.
// A picture of the background (tray) path is recorded whatever the recording switch says.
int RecordFrame(RecordView* view, const uint8_t* jpeg, size_t size, int motion, bool background = false);
// The checks before any picture or packet is recorded, motion aside: the caller, the
// recording switch (not for the background), the view's recording slot and context.
bool RecordingAllowed(RecordView* view, bool background);
// Opening an hour's file that failed is tried again after a pause: false while it lasts.
bool HourFileRetryDue(RecordView* view, const SystemTime& now);
// The result of opening an hour's file (1; 0 cannot be created, message 2553; -1 its header
// cannot be written, 2554): the status line says so, or is cleared again.
void HourFileOpened(RecordView* view, int opened, const SystemTime& now);
// The path of an hour's file: folder + "YYYYMMDDHH00" + location + extension.
std::string HourFileName(const std::string& folder, const SystemTime& t, const char* location, int suffix = 0,
                         const char* extension = ".P360");
// True for the name of a recording file of either kind (".P360" or a video file).
bool IsRecordingName(const char* name);

// Status lines of a view (drawn by the window layer; tests read them).
using RecorderStatusSink = std::function<void(RecordView* view, int line, const std::string& text)>;
void SetStatusSink(RecorderStatusSink sink);
void ShowViewStatus(RecordView* view, int line, const std::string& text);

// The catalogue node handed to the host: a fixed 64-bit layout.
struct DvrNode {
    int32_t entry;      // 0: drive table entry
    char name[160];     // 4: file name without folder
    uint32_t reserved;  // 164
    DvrNode* next;      // 168: toward the tail sentinel; the tail's is null
    DvrNode* prev;      // 176
};
static_assert(sizeof(DvrNode) == 184);
static_assert(offsetof(DvrNode, next) == 168 && offsetof(DvrNode, prev) == 176);

// Builds the catalogue again (newest hour first) and returns the head sentinel.
DvrNode* BuildCatalogue();
DvrNode* CatalogueHead();
DvrNode* CatalogueTail();
std::vector<DvrNode*> CatalogueNodes();
void UnlinkCatalogueNode(DvrNode* node);  // frees it
// "2011/05/14 13:00  -- Lobby"
std::string CatalogueText(const char* name);
// The drive entry folder + name.
std::string CataloguePath(const DvrNode* node);

}  // namespace orb
