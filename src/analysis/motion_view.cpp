#include "analysis/motion_view.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "config/library_state.h"
#include "platform/dib.h"

namespace orb {

namespace {

void CopyName(char (&field)[32], const char* text) {
    std::memset(field, 0, sizeof field);
    if (text) std::memcpy(field, text, strnlen(text, sizeof field));
}

bool NameSet(const char (&field)[32]) { return field[0] != 0; }

}  // namespace

namespace {

std::shared_ptr<MotionState> DetectorOf(AnalysisView& view) {
    std::lock_guard lock(view.motionZones.guard);
    return view.motionZones.detector;
}

}  // namespace

bool StartMotionDetector(AnalysisView& view) {
    StopMotionDetector(view);
    std::shared_ptr<MotionState> m;
    try {
        m = std::make_shared<MotionState>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    InitMotionState(*m, &view, &view.record);
    std::lock_guard lock(view.motionZones.guard);
    view.motionZones.detector = std::move(m);
    return true;
}

void StopMotionDetector(AnalysisView& view) {
    std::shared_ptr<MotionState> old;
    {
        std::lock_guard lock(view.motionZones.guard);
        old.swap(view.motionZones.detector);
    }
    // The maps go with the last reference; a picture being processed keeps its own.
}

void SetMotionDetection(AnalysisView& view, bool on) {
    if (on) {
        view.record.motionOn = 1;
        if (!view.motionZones.detector) StartMotionDetector(view);
    } else {
        StopMotionDetector(view);
        view.record.motionOn = 0;
    }
}

int32_t RunMotionDetector(AnalysisView& view, HDIB picture, int32_t scale) {
    const auto m = DetectorOf(view);
    return m ? ProcessMotionPicture(*m, picture, scale) : kMotionNone;
}

int32_t MotionStateOf(AnalysisView& view) {
    const auto m = DetectorOf(view);
    return m ? m->state.load() : kMotionNone;
}

void PrepareViewZones(AnalysisView& view) {
    std::lock_guard lock(view.motionZones.guard);
    ExpandZoneCells(view.motionZones.zones, view.record);
    view.motionZones.zonesReady = 0;
}

void ApplyViewZones(AnalysisView& view, HDIB picture, int32_t scale) {
    const uint32_t style = std::atomic_ref<uint32_t>(view.record.zoneStyle).load(std::memory_order_relaxed);
    if (!picture || !(style & kZoneOn)) return;
    std::lock_guard lock(view.motionZones.guard);
    ZoneContext& z = view.motionZones.zones;
    if (!view.motionZones.zonesReady) {
        int width = 0, height = 0;
        {
            DibLock lock(picture);
            if (!lock) return;
            width = lock.width() * std::max(scale, 1);
            height = lock.height() * std::max(scale, 1);
        }
        SetZoneGeometry(z, style, width, height);
        view.motionZones.zonesReady = 1;
    }
    ApplyZones(z, picture, scale);
}

void PrepareMotionHook(AnalysisView& view) {
    std::lock_guard lock(view.motionZones.guard);
    const CameraRecord& r = view.record;
    if (!r.hookOn || !NameSet(r.hookLibrary) || !NameSet(r.hookFunction) || view.motionZones.hook.library) return;
    if (LoadMotionHook(view.motionZones.hook, r.hookLibrary, r.hookFunction) == kHookRefused)
        ShowMotionStatus(&view, kHookRefusedLine, kHookRefusedText);
}

int CallMotionHook(AnalysisView& view, const uint8_t* jpeg, int32_t length) {
    if (!view.record.hookOn || g_lib.callerId == 2 || MotionStateOf(view) != kMotionSeen) return 0;
    // Held during the call, so the dialog cannot unload the library under it.
    std::lock_guard lock(view.motionZones.guard);
    if (!view.motionZones.hook.proc) return 0;
    view.motionZones.hook.proc(&view.record, 1, jpeg, length);
    return 1;
}

int EventDialogOk(AnalysisView& view, bool on, const char* library, const char* function) {
    std::lock_guard lock(view.motionZones.guard);
    UnloadMotionHook(view.motionZones.hook);
    if (!on) {
        view.record.hookOn = 0;
        return 0;
    }
    const int result = LoadMotionHook(view.motionZones.hook, library ? library : "", function ? function : "");
    if (result == kHookRefused) return kHookNoLibrary;
    if (result != kHookLoaded) return result;
    view.record.hookOn = 1;
    CopyName(view.record.hookLibrary, library);
    CopyName(view.record.hookFunction, function);
    return 0;
}

void EventDialogCancel(AnalysisView& view) {
    std::lock_guard lock(view.motionZones.guard);
    const CameraRecord& r = view.record;
    if (r.hookOn && NameSet(r.hookLibrary) && NameSet(r.hookFunction))
        LoadMotionHook(view.motionZones.hook, r.hookLibrary, r.hookFunction);
}

}  // namespace orb
