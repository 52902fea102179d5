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
// Encodes the picture into path and appends the record; leaves no file behind on failure.
int EncodeSnapshot(HDIB picture, const CameraRecord& record, const std::string& path);

// The snapshot folder (system drive root + the recording folder) with a trailing "/".
std::string SnapshotFolder();
// "<folder>YYYYMMDDhhmmss<view><location>.360".
std::string SnapshotFileName(const SystemTime& t, int viewNumber, const char* location);
// List text of a snapshot name without extension, and the name rebuilt from that text.
std::string SnapshotListText(const std::string& stem);
std::string SnapshotNameFromListText(const std::string& text);
// The stored snapshots, oldest first (file names only).
std::vector<std::string> ListSnapshots();

}  // namespace orb
