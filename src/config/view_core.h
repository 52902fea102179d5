// What every subsystem of a view shares: the view's own copy of its camera record, its
// place among the tiled views, its registry id and its window side. Each subsystem extends
// it with its own part (the dewarp state, the motion detector, the recording, the capture);
// the whole view is assembled where the windows are.
#pragma once
#include <cstdint>

#include "config/camera_record.h"
#include "platform/view_window.h"

namespace orb {

struct ViewCore {
    CameraRecord record;
    int32_t viewIndex = 0;  // position among the tiled views
    uint32_t id = 0;        // registry id, stored in the record's owner link
    int32_t captureStarted = 0;
    ViewUiState ui;
};

// Writes a status line of a view (any thread) and asks for a repaint.
void SetViewStatus(ViewCore* view, int line, const char* text);

}  // namespace orb
