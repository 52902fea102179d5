// What a view carries for motion detection and privacy zones, and the per-view steps the
// capture thread and the view's commands run.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>

#include "analysis/motion.h"
#include "analysis/zones.h"
#include "dewarp/dewarp.h"


namespace orb {

// The window thread replaces the detector, the hook and the zones while the capture thread
// uses them; `guard` makes each replacement whole. The capture thread keeps its own
// reference to the detector while it runs it, so switching detection off never frees a
// detector in use.
struct MotionZoneView {
    std::shared_ptr<MotionState> detector;  // none while motion detection is off
    MotionHook hook;                        // the user library called on motion
    ZoneContext zones;                      // the view's privacy-zone context
    int32_t zonesReady = 0;                 // style and size taken from the first zoned picture
    std::mutex guard;
    MotionZoneView() = default;
    MotionZoneView(const MotionZoneView&) = delete;
    MotionZoneView& operator=(const MotionZoneView&) = delete;
    ~MotionZoneView() { UnloadMotionHook(hook); }
};

// The part of a view the motion detector and the privacy zones work on.
struct AnalysisView : DewarpView {
    MotionZoneView motionZones;
};

// Creates the view's detector (replacing any); false when it cannot be made.
bool StartMotionDetector(AnalysisView& view);
void StopMotionDetector(AnalysisView& view);
// The camera menu's switch: stores the record flag (1/0) and creates or frees the detector.
void SetMotionDetection(AnalysisView& view, bool on);
// Runs the detector on the view's current picture (decoded at 1/scale of the camera's
// picture); the state, 0 without a detector.
int32_t RunMotionDetector(AnalysisView& view, HDIB picture, int32_t scale = 1);
// The detector's last state; 0 without a detector.
int32_t MotionStateOf(AnalysisView& view);

// At capture start: the record's zone cells into the view's context (the style and size
// follow on the first picture with zones on).
void PrepareViewZones(AnalysisView& view);
// Applies the view's zones when the record's style has them on, to a picture decoded at
// 1/scale of the camera's picture (whose size the zones are laid on).
void ApplyViewZones(AnalysisView& view, HDIB picture, int32_t scale = 1);

// At capture start: loads the user library when the record names one and none is loaded.
void PrepareMotionHook(AnalysisView& view);
// After a picture: calls the user function when the detector saw motion, the hook is on
// and loaded and the caller is not the web control. 1 when it was called.
int CallMotionHook(AnalysisView& view, const uint8_t* jpeg, int32_t length);
// The "Event" dialog's buttons. OK gives 0 when the dialog may close, otherwise the
// number of the text to show while it stays open.
int EventDialogOk(AnalysisView& view, bool on, const char* library, const char* function);
void EventDialogCancel(AnalysisView& view);

}  // namespace orb
