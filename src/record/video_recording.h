// Recording of cameras that send a video stream (H.264, H.265, Motion-JPEG over RTSP) rather
// than JPEG pictures: the camera's own packets go into the hour's file as received, with no
// re-encoding. The capture thread of such a camera calls RecordVideoPacket for every packet
// it receives, in order, as the JPEG capture calls RecordFrame for every picture.
//
// Every rule of the recorder holds: the drive with the most free space at each new file,
// one file per camera and clock hour named like the JPEG files ("YYYYMMDDHH00" + location,
// here with the video extension), the recording switch, the background, recording that
// follows motion, the retry when a file cannot be made. A video file can only be read from
// a key frame on, so:
// - a file begins with a key frame; the hour turns at the first key frame of the new hour;
// - recording that follows motion keeps the packets since the last key frame, so a
//   stretch that starts on motion begins with the key frame before it and plays from its
//   first picture;
// - a new connection with the same parameters goes on in the same file; other parameters
//   (codec, size, parameter sets) begin a file beside it ("~1", "~2", ...).
// The file's times are the camera's, kept within a few seconds of the local clock, from the
// file's beginning, which the attached header stores.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "record/recorder.h"

namespace orb {

// What the recorder needs to write a camera's stream: the codec and its set-up bytes as the
// camera's demuxer gives them. `generation` changes whenever the stream's parameters change
// (a new connection, a new picture size), so the recorder knows the packets that follow
// belong to a new stream.
struct VideoStreamInfo {
    int32_t codecId = 0;  // FFmpeg's AVCodecID
    int32_t width = 0, height = 0;
    int32_t timeBaseNum = 1, timeBaseDen = 90000;  // of the packets' pts and dts
    std::vector<uint8_t> extradata;                // parameter sets as the demuxer gives them; may be empty
    uint32_t generation = 0;
};

// One packet as received. Times are in the stream's time base; kNoVideoTime when unknown.
constexpr int64_t kNoVideoTime = INT64_MIN;
struct VideoPacket {
    const uint8_t* data = nullptr;
    size_t size = 0;
    int64_t pts = kNoVideoTime, dts = kNoVideoTime;
    bool key = false;
};

// motion and background as for RecordFrame. 1 when the packet was stored.
int RecordVideoPacket(RecordView* view, const VideoStreamInfo& stream, const VideoPacket& packet, int motion,
                      bool background = false);

// The camera record into the open video file (as when the system closes); false without one.
bool WriteBackVideoRecord(RecordView* view);
// The path of the view's open video file, "" when none is open.
std::string OpenVideoRecordingPath(RecordView* view);

// How long the written packets may wait in memory before they go to the system (what a
// killed writer can lose at most), and how far the packets kept for a stretch that begins on
// motion may reach.
constexpr int kVideoFlushMilliseconds = 500;
constexpr size_t kVideoHeldBytesMax = 32u << 20;

VideoRecorder* NewVideoRecorder();

}  // namespace orb
