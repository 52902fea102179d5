#include "analysis/motion_view.h"

#include <cstring>
#include <new>

#include "host/library_state.h"
#include "host/panoview.h"
#include "platform/dib.h"

namespace orb {

namespace {

void CopyName(char (&field)[32], const char* text) {
    std::memset(field, 0, sizeof field);
    if (text) std::memcpy(field, text, strnlen(text, sizeof field));
}

bool NameSet(const char (&field)[32]) { return field[0] != 0; }

}  // namespace

bool StartMotionDetector(PanoView& view) {
    StopMotionDetector(view);
    try {
        auto m = std::make_unique<MotionState>();
        InitMotionState(*m, &view, &view.record);
        view.motionZones.detector = std::move(m);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void StopMotionDetector(PanoView& view) {
    if (!view.motionZones.detector) return;
    ReleaseMotionState(*view.motionZones.detector);
    view.motionZones.detector.reset();
}

void SetMotionDetection(PanoView& view, bool on) {
    if (on) {
        view.record.motionOn = 1;
        if (!view.motionZones.detector) StartMotionDetector(view);
    } else {
        StopMotionDetector(view);
        view.record.motionOn = 0;
    }
}

int32_t RunMotionDetector(PanoView& view, HDIB picture) {
    return view.motionZones.detector ? ProcessMotionPicture(*view.motionZones.detector, picture) : kMotionNone;
}

int32_t MotionStateOf(const PanoView& view) {
    return view.motionZones.detector ? view.motionZones.detector->state.load() : kMotionNone;
}

void PrepareViewZones(PanoView& view) {
    ExpandZoneCells(view.motionZones.zones, view.record);
    view.motionZones.zonesReady = 0;
}

void ApplyViewZones(PanoView& view, HDIB picture) {
    if (!picture || !(view.record.zoneStyle & kZoneOn)) return;
    ZoneContext& z = view.motionZones.zones;
    if (!view.motionZones.zonesReady) {
        int width = 0, height = 0;
        {
            DibLock lock(picture);
            if (!lock) return;
            width = lock.width();
            height = lock.height();
        }
        SetZoneGeometry(z, view.record.zoneStyle, width, height);
        view.motionZones.zonesReady = 1;
    }
    ApplyZones(z, picture);
}

void PrepareMotionHook(PanoView& view) {
    const CameraRecord& r = view.record;
    if (!r.hookOn || !NameSet(r.hookLibrary) || !NameSet(r.hookFunction) || view.motionZones.hook.library) return;
    LoadMotionHook(view.motionZones.hook, r.hookLibrary, r.hookFunction);
}

int CallMotionHook(PanoView& view, const uint8_t* jpeg, int32_t length) {
    if (!view.record.hookOn || !view.motionZones.hook.proc || g_lib.callerId == 2) return 0;
    if (MotionStateOf(view) != kMotionSeen) return 0;
    view.motionZones.hook.proc(&view.record, 1, jpeg, length);
    return 1;
}

int EventDialogOk(PanoView& view, bool on, const char* library, const char* function) {
    UnloadMotionHook(view.motionZones.hook);
    if (!on) {
        view.record.hookOn = 0;
        return 0;
    }
    const int result = LoadMotionHook(view.motionZones.hook, library ? library : "", function ? function : "");
    if (result != kHookLoaded) return result;
    view.record.hookOn = 1;
    CopyName(view.record.hookLibrary, library);
    CopyName(view.record.hookFunction, function);
    return 0;
}

void EventDialogCancel(PanoView& view) {
    const CameraRecord& r = view.record;
    if (r.hookOn && NameSet(r.hookLibrary) && NameSet(r.hookFunction))
        LoadMotionHook(view.motionZones.hook, r.hookLibrary, r.hookFunction);
}

}  // namespace orb
