// Video recordings for the tests: clips that ffmpeg encodes from the simulated pictures, their
// packets demuxed with libavformat as a camera's demuxer gives them, ffmpeg's and ffprobe's
// own reading of the files the recorder writes, and a world of storage roots with a scripted
// clock and views that record.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "orbiscope.h"
#include "record/recorder.h"
#include "record/video_recording.h"
#include "support/test_support.h"
#include "ui/panoview.h"

namespace videotest {

struct ClipPacket {
    std::vector<uint8_t> data;
    int64_t pts = 0, dts = 0;
    bool key = false;
};

struct Clip {
    std::string path;
    CameraRecord record{};  // the simulated camera's lens, for a recording that dewarps
    orb::VideoStreamInfo info;
    std::vector<ClipPacket> packets;
    orb::VideoPacket Packet(size_t i) const;
};

struct ClipRecipe {
    const char* encoder = "libx264";  // or "libx265", "mjpeg"
    int width = 320, height = 240;
    int frames = 45;
    int gop = 15;     // a key frame every gop pictures
    int bframes = 0;  // pictures decoded before those they follow
    double step = 12.0;  // degrees the scene turns a picture: every frame differs clearly
};

// Encodes the simulated fisheye into an MPEG-TS file in folder (parameter sets in the
// stream, as a camera sends them) and demuxes it. False when ffmpeg cannot.
bool MakeClip(const std::string& folder, const ClipRecipe& recipe, Clip& clip);
// Demuxes a file's video packets.
bool DemuxClip(const std::string& path, Clip& clip);

// Each frame of a file as ffmpeg decodes it, in showing order: BGR, rows from the top.
std::vector<std::vector<uint8_t>> FfmpegFrames(const std::string& path, int width, int height);
// Every decoded frame's checksum as ffmpeg gives it ("framemd5"), in showing order.
std::vector<std::string> FrameChecksums(const std::string& path);
// ffprobe's times (seconds) of the file's video packets, and its codec name.
std::vector<double> ProbePacketTimes(const std::string& path);
std::string ProbeCodec(const std::string& path);
// The output of a command line.
std::string Output(const std::string& command);

// The mean of |a - b| over a 24-bit picture and a top-down BGR frame of the same size; a
// large number when the sizes differ.
double MeanDifference(HDIB picture, const std::vector<uint8_t>& bgr);
// The frame of `frames` nearest to the picture.
int NearestFrame(HDIB picture, const std::vector<std::vector<uint8_t>>& frames, double* difference = nullptr);

// Storage roots in a temporary home with scripted sizes, a scripted clock, recording on.
struct VideoWorld {
    orbtest::TempHome home;
    std::map<std::string, std::pair<double, double>> sizes;  // root -> free, total
    SystemTime now{2011, 5, 6, 14, 13, 20, 0, 0};
    std::vector<std::string> status;
    VideoWorld();
    ~VideoWorld();
    std::string AddRoot(const std::string& name, double freeBytes);
    void UseRoots(const std::vector<std::string>& roots);
    // The files in a root's recording folder, sorted.
    std::vector<std::string> Files(const std::string& root) const;
    // Advances the scripted clock.
    void Advance(int ms);
};

struct VideoCamera {
    PanoView view;
    // The camera's record: the clip's lens when given, with its location.
    VideoCamera(const char* location, int slot, const Clip* lens = nullptr);
    ~VideoCamera();
    // Records packet i of the clip: RecordVideoPacket's result.
    int Record(const Clip& clip, size_t i, int motion = orb::kNoMotionDetector);
};

}  // namespace videotest
