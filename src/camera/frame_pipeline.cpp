#include "camera/frame_pipeline.h"

#include <algorithm>
#include <cstdio>

#include "analysis/motion_view.h"
#include "config/settings.h"
#include "dewarp/dewarp.h"
#include "dewarp/navigation.h"
#include "config/library_state.h"
#include "camera/camera_view.h"
#include "camera/picture_scale.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/window.h"
#include "record/recorder.h"

namespace orb {

FrameState::~FrameState() {
    DestroyDIB(current);
    DestroyDIB(previous);
    DestroyDIB(output);
}

void StageFigures::AddLatency(int64_t ns) {
    latencySum.fetch_add(ns, std::memory_order_relaxed);
    latencyCount.fetch_add(1, std::memory_order_relaxed);
    int64_t seen = latencyMax.load(std::memory_order_relaxed);
    while (ns > seen && !latencyMax.compare_exchange_weak(seen, ns, std::memory_order_relaxed)) {
    }
}

void ReleaseFrames(CameraView& view) {
    std::lock_guard lock(view.ui.viewMutex);
    FrameState& f = view.frames;
    AttachPictures(view, nullptr, nullptr);
    DestroyDIB(f.current);
    DestroyDIB(f.previous);
    DestroyDIB(f.output);
    f.current = f.previous = f.output = nullptr;
    f.currentW = f.currentH = f.previousW = f.previousH = 0;
}

namespace {

// The view picture follows the window's client size; a view without a window (tests, the
// tools) keeps the size its maps were built for, or the picture's own.
void ViewSize(CameraView& view, HDIB picture, int& w, int& h) {
    w = view.ui.clientWidth;
    h = view.ui.clientHeight;
    if (w <= 0 || h <= 0) {
        w = view.dewarp.W;
        h = view.dewarp.H;
    }
    if (w <= 0 || h <= 0) {
        DibLock l(picture);
        w = l.width();
        h = l.height();
    }
    w = std::max(w, 16);
    h = std::max(h, 16);
}

}  // namespace

int64_t ViewPictureBudget(CameraView& view) {
    int64_t budget = view.frames.pictureBudget.load(std::memory_order_relaxed);
    if (budget <= 0) {
        // Read once per view: the settings file is not read for every picture.
        const int megapixels = ReadSettingInt(kBudgetSection, kBudgetKey, "64");
        budget = megapixels > 0 ? static_cast<int64_t>(megapixels) * 1000 * 1000 : kDefaultPictureBudget;
        view.frames.pictureBudget.store(budget, std::memory_order_relaxed);
    }
    return budget;
}

std::string OverBudgetText(int width, int height, int64_t budget) {
    char text[160];
    std::snprintf(text, sizeof text, "Picture of %d x %d refused: above the picture budget of %lld megapixels",
                  width, height, static_cast<long long>(budget / 1000000));
    return text;
}

int ShowPicture(CameraView& view, HDIB picture) {
    if (!picture) return 0;
    FrameState& f = view.frames;
    int w = 0, h = 0;
    ViewSize(view, picture, w, h);
    bool resized = false;
    if (!f.output || view.dewarp.W != w || view.dewarp.H != h) {
        DestroyDIB(f.output);
        // 32 bits, the desktop's own pixels: the dewarp writes what the desktop shows, and
        // the paint and the desktop copy it row by row.
        f.output = CreateDIB(w, h, 32);
        if (!f.output) return 0;
        SetViewSize(view, w, h);
        resized = true;
    }
    const bool current = picture == f.current;
    auto attach = [&] {
        if (current) AttachScaledPicture(view, f.current, f.output, f.currentScale, f.currentW, f.currentH);
        else AttachPictures(view, picture, f.output);
    };
    attach();
    if (resized) RebuildPanorama(view);
    int ok = UpdatePanorama(view);
    // The maps just built may want more of the picture than a reduced one holds.
    if (current && SharpenCurrentPicture(view)) {
        attach();
        ok = UpdatePanorama(view);
    }
    const DewarpState& d = view.dewarp;
    const int32_t s = d.mapScale;
    f.shownScale.store(s, std::memory_order_relaxed);
    f.pictureW.store(d.srcW, std::memory_order_relaxed);
    f.pictureH.store(d.srcH, std::memory_order_relaxed);
    f.decodedW.store((d.srcW + s - 1) / s, std::memory_order_relaxed);
    f.decodedH.store((d.srcH + s - 1) / s, std::memory_order_relaxed);
    f.density.store(MapDensity(view), std::memory_order_relaxed);
    if (view.ui.window) InvalidateRect(view.ui.window);
    return ok;
}

// Automatic panning: one window of the panorama turns by the cruise speed per picture,
// unless the user drags, the lens is a 180/90 one or the speed is 0.
static void AutoPan(CameraView& view) {
    const CameraRecord& r = view.record;
    if (view.ui.dragging || r.lensType == kLens180 || r.lensType == kLens90 || r.cruiseSpeed == 0) return;
    int window;
    switch (r.showMode360) {
    case kShow360WindowStrip: case kShow360TwoWindowsStrip: window = 4; break;
    case kShow360SixWindowsStrip: case kShow360SixWindows: window = 5; break;
    case kShow360QuadStill: case kShow360QuadSource: case kShow360Source: case kShow360TwoStrips: return;
    default: window = 3; break;
    }
    MoveViewPosition(view, 2025, window, r.cruiseSpeed);
}

ScaledPicture DecodeForView(CameraView& view, const uint8_t* jpeg, size_t length, DecodeStatus* status) {
    // Nothing is shown in the background: the detector's blocks are all a picture is for.
    const bool background = g_lib.callerId == 0 && g_lib.background;
    const int32_t scale = background ? kMaxDecodeScale : ViewDecodeScale(view);
    return JpegDecodeScaled(jpeg, length, ViewPictureBudget(view), scale, status);
}

// The picture becomes the view's current one and goes through motion, zones and the
// dewarp, under the view's picture mutex.
static FrameResult TakePicture(CameraView& view, ScaledPicture picture, std::span<const uint8_t> jpeg,
                               const SizeCheck& accept, int* motion) {
    HDIB fresh = picture.picture;
    if (!fresh) return FrameResult::Dropped;
    StageFigures& figures = view.frames.stages;
    int pixelsW, pixelsH;
    {
        DibLock l(fresh);
        pixelsW = l.width();
        pixelsH = l.height();
    }
    const int32_t scale = picture.scale > 1 && picture.width > 0 && picture.height > 0 ? picture.scale : 1;
    const int w = scale > 1 ? picture.width : pixelsW, h = scale > 1 ? picture.height : pixelsH;
    if (accept && !accept(w, h)) {
        DestroyDIB(fresh);
        return FrameResult::Dropped;
    }
    std::lock_guard lock(view.ui.viewMutex);
    FrameState& f = view.frames;
    DestroyDIB(f.previous);
    f.previous = f.current;
    f.previousW = f.currentW;
    f.previousH = f.currentH;
    f.current = fresh;
    f.currentW = w;
    f.currentH = h;
    f.currentScale = scale;
    // A reduced picture keeps its bytes for whoever needs it whole.
    if (scale > 1) f.currentJpeg.assign(jpeg.begin(), jpeg.end());
    else f.currentJpeg.clear();
    if (f.previous && (w != f.previousW || h != f.previousH)) f.sizeChanged = 1;

    const int64_t t0 = ThreadCpuNanoseconds();
    if (g_lib.callerId == 0 && g_lib.background) {
        *motion = RunMotionDetector(view, f.current, scale);  // the tray: detect, show nothing
        figures.Add(kStageMotion, ThreadCpuNanoseconds() - t0);
        return FrameResult::Shown;
    }
    if (g_lib.callerId != 2 && view.motionZones.detector) *motion = RunMotionDetector(view, f.current, scale);
    const int64_t t1 = ThreadCpuNanoseconds();
    figures.Add(kStageMotion, t1 - t0);
    if (g_lib.callerId == 0 || g_lib.callerId == 1 || g_lib.callerId == 2) ApplyViewZones(view, f.current, scale);
    AutoPan(view);
    ShowPicture(view, f.current);
    figures.Add(kStageDewarp, ThreadCpuNanoseconds() - t1);
    ++f.pictures;
    view.ui.hasPicture = 1;
    return FrameResult::Shown;
}

FrameResult ShowDecodedPicture(CameraView& view, ScaledPicture picture, std::span<const uint8_t> jpeg,
                               const SizeCheck& accept, int* motion) {
    *motion = kNoMotionDetector;
    const FrameResult shown = TakePicture(view, picture, jpeg, accept, motion);
    if (!view.motionZones.detector) *motion = kNoMotionDetector;
    return shown;
}

int RunDecodedPicture(CameraView& view, HDIB picture) {
    // Video frames come whole: there are no bytes to decode again for a snapshot.
    ScaledPicture whole;
    whole.picture = picture;
    int motion = kNoMotionDetector;
    ShowDecodedPicture(view, whole, {}, {}, &motion);
    return motion;
}

FrameResult RunFramePipeline(CameraView& view, const uint8_t* jpeg, size_t length, const std::atomic<int32_t>* stop,
                             const SizeCheck& accept) {
    if (!jpeg || length == 0 || length > INT32_MAX) return FrameResult::Dropped;
    // Pictures of the background (the tray: probed only, or only checked for motion) are
    // recorded whatever the recording switch says; the others only while it is on.
    StageFigures& figures = view.frames.stages;
    const bool background = g_lib.callerId == 0 && g_lib.background;
    auto record = [&](int motion) {
        if (motion == 0) return;  // a detector runs and saw nothing
        const int64_t t0 = ThreadCpuNanoseconds();
        if (RecordFrame(&view, jpeg, length, motion, background) == 1) ++view.frames.recorded;
        figures.Add(kStageRecord, ThreadCpuNanoseconds() - t0);
    };

    // In the background nothing is shown: a picture is only checked and recorded.
    if (background && !view.motionZones.detector) {
        if (!JpegProbe(jpeg, length)) return FrameResult::Dropped;
        record(kNoMotionDetector);
        return FrameResult::Recorded;
    }

    const int64_t decodeCpu = ThreadCpuNanoseconds(), decodeWall = MonotonicNanoseconds();
    DecodeStatus decoded = DecodeStatus::Unreadable;
    ScaledPicture picture = DecodeForView(view, jpeg, length, &decoded);
    figures.Add(kStageDecode, ThreadCpuNanoseconds() - decodeCpu);
    figures.decodeWall.fetch_add(MonotonicNanoseconds() - decodeWall, std::memory_order_relaxed);
    if (stop && stop->load()) {
        DestroyDIB(picture.picture);
        return FrameResult::Stopped;
    }
    if (decoded == DecodeStatus::OverBudget) {
        ++view.frames.overBudget;
        ShowViewStatus(&view, kBudgetStatusLine, OverBudgetText(picture.width, picture.height, ViewPictureBudget(view)));
    }
    int motion = kNoMotionDetector;
    const FrameResult shown = ShowDecodedPicture(view, picture, {jpeg, length}, accept, &motion);
    if (shown != FrameResult::Shown) return shown;
    if (g_lib.callerId == 2) return FrameResult::Shown;
    CallMotionHook(view, jpeg, static_cast<int32_t>(length));
    record(motion);
    return FrameResult::Shown;
}

void PaintView(CameraView* view, const Canvas& canvas) {
    if (!view) return;
    const int64_t t0 = ThreadCpuNanoseconds();
    std::lock_guard lock(view->ui.viewMutex);
    if (view->frames.output)
        StretchPicture(canvas, Rect{0, 0, canvas.width, canvas.height}, view->frames.output);
    else
        FillRect(canvas, Rect{0, 0, canvas.width, canvas.height}, Rgb(0, 0, 0));
    view->frames.stages.Add(kStagePaint, ThreadCpuNanoseconds() - t0);
}

}  // namespace orb
