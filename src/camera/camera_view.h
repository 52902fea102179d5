// The part of a view the camera client works on: everything below it, the pictures of the
// frame pipeline and the capture state (connection, receive buffer, capture thread).
#pragma once
#include "camera/frame_pipeline.h"
#include "camera/http.h"
#include "record/recorder.h"

namespace orb {

struct CameraView : RecordView {
    FrameState frames;  // current, previous and dewarped pictures
    CaptureState capture;
};

}  // namespace orb
