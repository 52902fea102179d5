// Snapshot files: a view's picture as a JPEG file followed by a trailer that carries the
// camera record, so the picture opens again with its lens settings. The same trailer can
// be put onto other picture files. Also the snapshot viewer's logic.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "orbiscope.h"
#include "platform/window.h"

struct PanoView;
struct CameraRecord;
struct SystemTime;

namespace orb {

constexpr char kSnapshotMagic[9] = {'O', 'r', 'b', 'i', 's', 'c', 'o', 'p', 'e'};
constexpr size_t kSnapshotMagicSize = 9;
constexpr size_t kTrailerSize = kSnapshotMagicSize + 2984;  // 2993
constexpr const char* kSnapshotFrameClass = "Quill Snapshot MainFrame";

// The snapshot side of a view: where its picture came from.
struct SnapshotState {
    std::string picturePath;  // the snapshot or picture file shown
    bool nonJpeg = false;     // the picture was read by the general picture loader
};

// The trailer at the end of a file image, when there is a valid one.
bool ParseTrailer(std::span<const uint8_t> file, CameraRecord& out);
// The file's trailer (the last 2993 bytes); 1 when it is there and its record was read.
int ReadTrailer(const std::string& path, CameraRecord& out);
// Replaces the record of an existing trailer; a file without one stays unchanged.
int WriteBackTrailer(const std::string& path, const CameraRecord& record);
// Replaces the trailer, or appends one when the file has none.
int AppendOrReplaceTrailer(const std::string& path, const CameraRecord& record);
// Encodes the source's current picture into path and appends its record; leaves no file
// behind on failure. The viewer's picture path becomes the path.
int WriteSnapshot(PanoView* viewer, PanoView& source, const std::string& path);

// The snapshot folder (system drive root + the recording folder) with a trailing "/".
std::string SnapshotFolder();
// "<folder>YYYYMMDDhhmmss<view><location>.360".
std::string SnapshotFileName(const SystemTime& t, int viewNumber, const char* location);
// List text of a snapshot name without extension, and the name rebuilt from that text.
std::string SnapshotListText(const std::string& stem);
std::string SnapshotNameFromListText(const std::string& text);
// The stored snapshots, oldest first (file names only).
std::vector<std::string> ListSnapshots();

// The snapshot viewer (at most one).
struct SnapshotViewer {
    HWND frame = nullptr;
    std::unique_ptr<PanoView> view;
    std::vector<std::string> listNames;  // file names of the snapshot list
    std::vector<std::string> listTexts;
    int selected = -1;
    std::string timeText;
    bool commandPackDisabled = false;  // menu command 2057
    int beeps = 0;
};
extern SnapshotViewer g_snapViewer;
// The window side of the viewer (its view window, snapshot list box, menu and placement),
// plugged in by the window layer: built once the frame and its view exist; told when the
// viewer's picture or list changed.
struct SnapshotViewerWindows {
    void (*build)(SnapshotViewer&) = nullptr;
    void (*changed)(SnapshotViewer&) = nullptr;
};
extern SnapshotViewerWindows g_snapWindows;

// Creates the viewer frame (closing an open one); null when it cannot be made.
HWND CreateSnapshotViewer(void* parent);
void CloseSnapshotViewer();
void FillSnapshotList(SnapshotViewer& v);
// Opens a snapshot (or, with generalLoader, any picture file) into the viewer; 1 on success.
int OpenSnapshotFile(SnapshotViewer& v, const std::string& path, bool generalLoader = false);
// Hands a picture with its record to the viewer's view and rebuilds the dewarping.
void ShowInViewer(SnapshotViewer& v, HDIB picture, const CameraRecord& record);
// The frame's window procedure: its commands, and the viewer's end when it is destroyed.
LRESULT SnapFrameProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l);
// A command of the viewer frame.
void SnapshotCommand(SnapshotViewer& v, int command);

}  // namespace orb
