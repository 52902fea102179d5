// Video recording files: a camera's packets as received, in a Matroska file that any video
// player opens, with the camera's record attached so the file dewarps as it was recorded.
// The attachment is the header of the JPEG recording files (magic, version, the codec's
// four letters where those files say "MJPG", the time the file begins at, the record).
// The file is written cluster by cluster and each cluster goes to the system when it is
// ended, so a writer that dies loses only the cluster it had not ended.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/camera_record.h"

struct AVFormatContext;
struct AVStream;

namespace orb {

constexpr const char* kVideoRecordingExtension = ".mkv";
constexpr const char* kCameraAttachmentName = "camera.rec";
constexpr const char* kCameraAttachmentType = "application/x-orbiscope-camera-record";
// The attached header: the JPEG recording files' 3028-byte header.
constexpr int kVideoHeaderBytes = 3028;

// FFmpeg's libraries print nothing: what they say goes to the debug log when it is on.
void QuietVideoLibraries();

// True for a name that ends in the video recording extension (case-blind).
bool IsVideoRecordingName(const char* name);
// True when the file starts like a Matroska file.
bool LooksLikeVideoFile(const std::string& path);
// True when the file was ended (its length written in it): a file being recorded, or whose
// writer died, has none.
bool VideoFileEnded(const std::string& path);

// The codec's four letters as the attached header stores them ("H264", "HEVC", "MJPG"), 0
// for a codec the recorder does not keep.
uint32_t VideoCodecTag(int32_t codecId);

// The parameters a file is made for: a new file is needed when they change.
struct VideoParams {
    int32_t codecId = 0;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> extradata;
    bool operator==(const VideoParams&) const = default;
};

struct VideoFile {
    AVFormatContext* mux = nullptr;
    AVStream* stream = nullptr;
    int fd = -1;
    std::string path;
    int64_t headerAt = -1;  // where the attached header lies in the file
    int64_t packets = 0;
    VideoFile() = default;
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;
    ~VideoFile();
};

// Creates a new file (never over an existing one) with the record (account and password left
// out: a video file travels further than the program) and the time of its first packet. 1; 0
// when the file cannot be created; -1 when its header cannot be written (nothing is left).
int CreateVideoFile(VideoFile& f, const std::string& path, const CameraRecord& record, const SystemTime& begins,
                    const VideoParams& params);
// One packet; times in milliseconds from the file's beginning. False on a write failure.
bool WriteVideoPacket(VideoFile& f, const uint8_t* data, size_t size, int64_t ptsMs, int64_t dtsMs, bool key);
// Ends the cluster and hands every byte to the system. False on a write failure.
bool FlushVideoFile(VideoFile& f);
// Writes the record again into the attached header (the camera as it is when recording ends).
bool WriteBackVideoRecord(VideoFile& f, const CameraRecord& record);
// Ends the file (its index written) and closes it; nothing happens without a file.
void CloseVideoFile(VideoFile& f);

// The attached header of an opened file: the record and the time the file begins at. False
// when the file carries none.
bool ReadVideoHeader(AVFormatContext* demux, CameraRecord* record, SystemTime* begins);

// Local times as a count of milliseconds (days from the civil calendar; no time zone).
int64_t LocalMilliseconds(const SystemTime& t);
SystemTime LocalTimeAt(int64_t milliseconds);

}  // namespace orb
