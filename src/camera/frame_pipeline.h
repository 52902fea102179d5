// One received picture's road through a view: decode, keep as the current picture, motion,
// privacy zones, dewarping into the view's picture, repaint, the user's motion library, and
// the hand-over of the bytes as received to the recorder. Run by the capture threads; the
// player and the viewers feed their pictures through the same decode and dewarp.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "orbiscope.h"
#include "platform/jpeg_codec.h"
#include "platform/window.h"

namespace orb {
struct CameraView;
}

namespace orb {

// Where a view's CPU time goes, per stage, in thread CPU nanoseconds; and how long a picture
// takes from its last byte received to the view's picture updated. Counted by the capture
// thread (receive .. record) and the painting thread (paint); read by whoever reports.
enum Stage { kStageReceive, kStageDecode, kStageMotion, kStageDewarp, kStagePaint, kStageRecord, kStageCount };
struct StageFigures {
    std::atomic<int64_t> cpu[kStageCount] = {};
    std::atomic<int64_t> decodeWall{0};                                    // decode alone, wall time
    std::atomic<int64_t> latencySum{0}, latencyMax{0}, latencyCount{0};    // last byte -> view updated
    void Add(Stage s, int64_t ns) { cpu[s].fetch_add(ns, std::memory_order_relaxed); }
    void AddLatency(int64_t ns);
};

// The pictures a view holds. current/previous are the last two decoded pictures; output is
// the dewarped view picture that painting shows. Guarded by the view's picture mutex.
// currentW x currentH is the camera's picture; `current` may be a reduced decode of it
// (1/currentScale a side), in which case currentJpeg keeps the bytes it came from, so that
// the full picture can be had again (snapshots, dialogs, a view zoomed in).
struct FrameState {
    HDIB current = nullptr, previous = nullptr, output = nullptr;
    int32_t currentW = 0, currentH = 0, previousW = 0, previousH = 0;
    int32_t currentScale = 1;
    std::vector<uint8_t> currentJpeg;
    // The last shown picture's reduction and decoded size, and the source pixels per view
    // pixel where the view's lens is densest (1/100): the view's figures.
    std::atomic<int32_t> shownScale{0}, pictureW{0}, pictureH{0}, decodedW{0}, decodedH{0}, density{0};
    std::atomic<int32_t> scaledDecode{-1};  // reduced decoding: 1 on, 0 off, -1 not read yet
    std::atomic<int32_t> sizeChanged{0};  // read and cleared by the view
    std::atomic<int32_t> pictures{0};     // pictures shown since the view started
    std::atomic<int32_t> recorded{0};     // pictures handed to the recorder
    std::atomic<int32_t> overBudget{0};   // pictures refused for their size
    std::atomic<int64_t> pictureBudget{0};  // pixels; 0 until read from the settings
    StageFigures stages;
    FrameState() = default;
    FrameState(const FrameState&) = delete;
    FrameState& operator=(const FrameState&) = delete;
    ~FrameState();
};

// What became of one picture.
enum class FrameResult {
    Shown,     // decoded, dewarped and shown (and recorded when due)
    Recorded,  // background mode without display: only probed and recorded
    Dropped,   // not a usable picture
    Stopped,   // the view asked the capture to end meanwhile
};

// The picture budget of a view: "PictureBudget" (megapixels) of section "Orbiscope",
// default 64, read when the view decodes its first picture. A picture above it is refused
// from its header with a status line.
constexpr const char* kBudgetSection = "Orbiscope";
constexpr const char* kBudgetKey = "PictureBudget";
constexpr int kBudgetStatusLine = 2;
int64_t ViewPictureBudget(CameraView& view);
std::string OverBudgetText(int width, int height, int64_t budget);

// Runs the pipeline on one cut picture. stop may be null.
// `accept` (when given) decides on the decoded size; a refused picture is dropped.
using SizeCheck = std::function<bool(int width, int height)>;
FrameResult RunFramePipeline(CameraView& view, const uint8_t* jpeg, size_t length, const std::atomic<int32_t>* stop,
                             const SizeCheck& accept = {});
// The pipeline from a whole decoded picture on (a video frame): ShowDecodedPicture at
// reduction 1, without bytes to decode again. The view takes the picture. The motion value
// for the recorder (kNoMotionDetector without a detector).
int RunDecodedPicture(CameraView& view, HDIB picture);

// The pipeline's decode: the picture at the reduction the view's maps allow (see
// ViewDecodeScale), with the size of the picture as the camera sent it.
ScaledPicture DecodeForView(CameraView& view, const uint8_t* jpeg, size_t length, DecodeStatus* status);
// The rest of the road up to the recorder, for a picture already decoded, of any size and
// reduction (1/picture.scale of picture.width x picture.height; a reduced picture is
// exactly that size): the size check (`accept`, on the camera's size), the current
// picture, panning, motion, zones, dewarping and the repaint. Takes the picture over.
// `jpeg`, when not empty, is what the picture was decoded from. The detector's state goes
// to *motion (kNoMotionDetector without one). Shown, or Dropped when refused.
FrameResult ShowDecodedPicture(CameraView& view, ScaledPicture picture, std::span<const uint8_t> jpeg,
                               const SizeCheck& accept, int* motion);

// Dewarps a decoded picture into the view's output picture (sized to the view's client
// area, at least 16 x 16) and marks the window for repaint. Used by the pipeline and the
// player. The view's current picture is taken at its reduction, and decoded again larger
// from its bytes when the view now needs more of it. 1 on success.
int ShowPicture(CameraView& view, HDIB picture);

// Paints the view's output picture over the whole canvas (the window draws the status line
// over it); installed as the view window's paint hook.
void PaintView(CameraView* view, const Canvas& canvas);

// Frees every picture the view holds.
void ReleaseFrames(CameraView& view);

}  // namespace orb
