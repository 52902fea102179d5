// The runtime state of one view window. Each subsystem keeps its own part; the camera
// record is the view's own copy.
#pragma once
#include <cstdint>

#include "analysis/motion_view.h"
#include "camera/camera_view.h"
#include "config/camera_record.h"
#include "dewarp/dewarp.h"
#include "record/recorder.h"
#include "record/snapshot.h"
#include "ui/ui_state.h"

// The whole view, assembled from the parts each subsystem works on.
struct PanoView : orb::CameraView {};

namespace orb {

// Views are found by id, never by a pointer stored in a record or file.
uint32_t RegisterView(PanoView* view);
void UnregisterView(PanoView* view);
PanoView* FindView(uint32_t id);
// The view that owns a record (its owner link names a live view holding that record).
PanoView* OwnerOf(const CameraRecord* record);
// The view at a tiled position, or null.
PanoView* ViewAt(int position);
void SetViewAt(int position, PanoView* view);
// Marks a record as taken by a view: owner link and tag.
void TakeRecord(PanoView* view);
// Writes the display options and the record of every started view back.
void SaveAllViewRecords();

}  // namespace orb
