// One received picture's road through a view: decode, keep as the current picture, motion,
// privacy zones, dewarping into the view's picture, repaint, the user's motion library, and
// the hand-over of the bytes as received to the recorder. Run by the capture threads; the
// player and the viewers feed their pictures through the same decode and dewarp.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "orbiscope.h"
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
struct FrameState {
    HDIB current = nullptr, previous = nullptr, output = nullptr;
    int32_t currentW = 0, currentH = 0, previousW = 0, previousH = 0;
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

// Dewarps a decoded picture into the view's output picture (sized to the view's client
// area, at least 16 x 16) and marks the window for repaint. Used by the pipeline and the
// player. 1 on success.
int ShowPicture(CameraView& view, HDIB picture);

// Paints the view's output picture over the whole canvas (the window draws the status line
// over it); installed as the view window's paint hook.
void PaintView(CameraView* view, const Canvas& canvas);

// Frees every picture the view holds.
void ReleaseFrames(CameraView& view);

}  // namespace orb
