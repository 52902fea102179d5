// The dewarping exports.
#include <mutex>

#include "dewarp/dewarp.h"
#include "dewarp/navigation.h"
#include "ui/panoview.h"

extern "C" {

ORB_EXPORT void RebuildPanorama(PanoView* view) {
    if (!view) return;
    try {
        orb::RebuildPanorama(*view);
    } catch (...) {
    }
}

ORB_EXPORT int32_t UpdatePanorama(PanoView* view) {
    if (!view) return 0;
    try {
        return orb::UpdatePanorama(*view);
    } catch (...) {
        return 0;
    }
}

ORB_EXPORT int32_t SetLensType(CameraRecord* record, int32_t lensType) {
    if (!record) return 1;
    try {
        PanoView* view = orb::OwnerOf(record);
        if (!view || &view->record != record) {
            record->lensType = lensType;
            return 1;
        }
        // The capture thread renders from the record and the maps: both change together.
        std::lock_guard lock(view->ui.viewMutex);
        record->lensType = lensType;
        if (view->dewarp.engine) {
            orb::ValidateLensFields(view->record);
            // The 180/90 projection set is loaded by the table build of that family.
            orb::RebuildPanorama(*view);
        }
    } catch (...) {
    }
    return 1;
}

}

extern "C" {

// Five stack words on the 32-bit host: the view, the code, the window and the double step.
ORB_EXPORT void ORBPANOMoveViewPosition(PanoView* view, int32_t code, int32_t window, double step) {
    if (!view) return;
    try {
        std::lock_guard lock(view->ui.viewMutex);  // against the capture thread's rendering
        orb::MoveViewPosition(*view, code, window, step);
    } catch (...) {
    }
}

ORB_EXPORT void ORBPANOZoom(PanoView* view, int32_t direction, int32_t unused, int32_t window) {
    (void)unused;
    if (!view) return;
    try {
        std::lock_guard lock(view->ui.viewMutex);
        orb::ZoomView(*view, direction, window);
    } catch (...) {
    }
}

}
