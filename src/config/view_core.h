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

// Status lines run from line -2 to line 5; line n is drawn at x = 10, y = (n + 2) x 16.
constexpr int kFirstStatusLine = -2, kLastStatusLine = 5;
static_assert(kLastStatusLine - kFirstStatusLine + 1 == kViewStatusLines);

// Writes a status line of a view (any thread) and asks for a repaint; an empty text removes
// it, and an empty line 0 (the camera is fine again) removes lines 1 and 2 too.
void SetViewStatus(ViewCore* view, int line, const char* text);

}  // namespace orb
