// Reading recordings, whatever their files hold: the player, the hosts' readers and the
// tools reach recordings only through this. Two kinds of file stand behind it: the JPEG
// recording files (.P360), read frame by frame through their index, and the video files that
// keep a camera's packets as received, which are looked through and decoded on a thread of
// their own so that the window thread never waits on a long group of pictures.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/camera_record.h"
#include "orbiscope.h"
#include "record/recording_file.h"

namespace orb {

enum class FrameFetch {
    Ready,         // the picture is handed over
    Pending,       // being decoded: ask again (AwaitFetch waits a little for it)
    ReadFailed,    // "Frame Image Read Failed !"
    DecodeFailed,  // read, but its picture cannot be decoded
};

struct RecordingSource {
    virtual ~RecordingSource() = default;
    // The reduction the reader's view can take (JPEG files decode at it where it divides the
    // picture), and the one the last fetched picture was decoded at.
    int decodeScale = 1;
    int fetchedScale = 1;
    std::vector<uint8_t> fetchedJpeg;  // a reduced picture's whole frame, for snapshots and zoom
    // Frames that can be read now (a file being recorded grows), -1 when the file cannot be
    // read any more. settled: wait until the whole file as it is now has been looked
    // through (a video file's frames are counted as it is read).
    virtual int32_t FrameCount(bool settled = false) = 0;
    // The local time frame n was recorded at, without decoding it.
    virtual bool FrameTime(int32_t n, SystemTime& time) = 0;
    // Frame n as a new 24-bit picture the caller owns, and its time (also when decoding
    // failed). step: where play goes next, so the frames that follow are decoded meanwhile.
    // wait: block until the frame is ready (hosts and tools; never the window thread).
    virtual FrameFetch Fetch(int32_t n, int step, HDIB& picture, SystemTime& time, bool wait = false) = 0;
    // Waits at most ms for the frame asked last to be ready.
    virtual void AwaitFetch(int ms) {}
    // True while the file is being looked through and more of its frames are about to be
    // counted (not a file being recorded, whose end is its end for now).
    virtual bool Counting() { return false; }
    // Waits at most ms until at least `frames` frames are counted or counting stops.
    virtual void AwaitCount(int32_t frames, int ms) {}
    // Puts the record back where the file keeps it (JPEG files: through their read stream,
    // so it does not land).
    virtual bool WriteBackRecord(const CameraRecord& record) { return false; }
};

// Opens a recording of either kind, by its contents, with the checks and results of the JPEG
// files; *record receives the camera record the file carries.
OpenResult OpenRecordingSource(const std::string& path, std::unique_ptr<RecordingSource>& source,
                               CameraRecord* record);

// The video kind (video_source.cpp).
OpenResult OpenVideoSource(const std::string& path, std::unique_ptr<RecordingSource>& source, CameraRecord* record);

}  // namespace orb
