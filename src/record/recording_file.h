// Recording files (.P360): a header with the camera record, a two-level index of signed
// 64-bit offsets and the frames of one camera and clock hour. The writer orders its
// updates so that a reader trusting the frame count only follows complete entries.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/camera_record.h"

namespace orb {
struct RecordView;
struct RecordingSource;
}

namespace orb {

constexpr int64_t kHeaderSize = 3028;
constexpr int64_t kTopIndexOffset = 3028;
constexpr int kTopEntries = 512;
constexpr int kBlockSlots = 1024;
constexpr int64_t kBlockIndexBytes = 8192;
constexpr int64_t kFirstBlockOffset = 7124;
constexpr int64_t kFirstFrameOffset = 15316;
constexpr int kFrameHeadSize = 24;
constexpr uint32_t kRecordingVersion = 256;
constexpr uint32_t kCompressionMjpg = 0x47504A4D;
// The successor slot of the last frame must exist, so the last block keeps one slot free.
constexpr int32_t kMaxFramesPerFile = kTopEntries * kBlockSlots - 1;

// The recording context of a view (recording side) or of the player (reading side).
struct DvrContext {
    FILE* stream = nullptr;
    RecordView* view = nullptr;
    std::array<int64_t, kTopEntries> topIndex{};
    std::array<int64_t, kBlockSlots> blockIndex{};
    int32_t frameCount = 0;
    SystemTime now{};
    SystemTime fileHour{};
    int64_t appendPos = 0;
    // Writing side: where the block index holding slot frameCount lies. The writer keeps
    // its own index positions, so an append reads nothing back from the file.
    int64_t blockOffset = 0;
    std::string path;
    uint32_t version = kRecordingVersion;
    uint32_t compression = kCompressionMjpg;
    uint32_t reserved = 0;
    // Reading side. The player reads through the recording's source, whatever its kind;
    // `pending` is the frame asked for and not decoded yet, -1 for none.
    std::shared_ptr<RecordingSource> source;
    int32_t pending = -1;
    bool awaitingCount = false;  // the frame asked for is not counted yet (a file looked through)
    bool pastCount = false;      // current went past the frames counted at the time
    std::vector<uint8_t> picture;
    std::vector<uint8_t> extra;
    int32_t current = 0;
    int32_t shown = -1;
    std::array<uint8_t, kFrameHeadSize> recordHead{};
    int32_t loadedSize = -1;
    int32_t loadedExtraSize = 0;
    SystemTime loadedTime{};
    int32_t step = 1;

    DvrContext() = default;
    DvrContext(const DvrContext&) = delete;
    DvrContext& operator=(const DvrContext&) = delete;
    ~DvrContext();
};

// Closes the context's stream (if any) and forgets it.
void CloseRecording(DvrContext& dvr);

// Creates a new file (never over an existing one). 1; 0 when the open fails; -1 when a
// header write fails (the stream is then closed).
int CreateRecording(DvrContext& dvr, const std::string& path, const CameraRecord& record, const SystemTime& created);
// Reopens an existing file for appending at its stored append position. 1, or 0 when the
// file cannot be continued (its header, count or index cannot be read or make no sense).
int ReopenRecording(DvrContext& dvr, const std::string& path);
// Appends one picture. 1, or 0 after which the stream is closed and forgotten.
int AppendFrame(DvrContext& dvr, const uint8_t* jpeg, int32_t size, const SystemTime& stamp);

// Results of opening for reading, in the order of the checks.
enum class OpenResult {
    Ok,
    Missing,      // "DVR file open failed !"
    OpenFailed,   // no message of its own
    ShortHeader,  // "DVR file open failed, and closed !"
    BadMagic,     // "Bad DVR File !   "
    BadVersion,   // "Unsupport DVR Version"
    Empty,        // "DVR content is empty !"
    BadCompression,  // "Unknown Compression Type !"
    ShortRecord,  // "DVR file open failed, and closed !"
};
// The specific message of a result ("" for none); every refusal after the open also shows
// "DVR file open failed, and closed !".
const char* OpenResultMessage(OpenResult r);
constexpr const char* kOpenFailedClosed = "DVR file open failed, and closed !";
constexpr const char* kOpenFailed = "DVR file open failed !";

// Opens for reading and checks the header; on success the record copy lands in *record.
OpenResult OpenRecordingForRead(DvrContext& dvr, const std::string& path, CameraRecord* record);
// The frame count at offset 16, read again (the file may be growing); -1 on failure.
int32_t ReadFrameCount(DvrContext& dvr);
// Reads frame n into the context's buffers (loadedSize, loadedTime, picture, extra).
bool ReadFrame(DvrContext& dvr, int32_t n);
// Writes a record copy back at offset 44 (needs a stream opened for update to land).
bool WriteBackRecord(DvrContext& dvr, const CameraRecord& record);

// Little-endian helpers of the file layouts.
void PutSystemTime(uint8_t* out, const SystemTime& t);
SystemTime GetSystemTime(const uint8_t* in);

// Registry of files a recorder holds open, by device and inode: such a file is never
// deleted or moved.
bool IsRecordingOpen(const std::string& path);
// The same registry for a file written through a descriptor (the video files).
void RegisterOpenRecording(const void* owner, int fd);
void UnregisterOpenRecording(const void* owner);

}  // namespace orb
