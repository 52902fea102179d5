// The capture thread of a view: connects to its camera, asks for pictures the way the
// camera's model wants, cuts them out of the answers, runs each through the frame pipeline,
// and reconnects after every failure until the view asks it to stop.
#pragma once
#include "platform/view_window.h"

namespace orb {
struct CameraView;
}

namespace orb {

// Starts the thread (the loop chosen by the camera model); true when it runs.
bool StartCapture(CameraView* view);
// Asks the thread to stop, cancels what it waits for and joins it (bounded by the waits).
void StopCapture(CameraView* view);
// The two halves of it: the request returns at once (the window thread makes it); the
// finish joins the capture thread and the view's command worker and closes the sockets.
// Pan/tilt/zoom stops still queued go out on their way, unless the program closes
// (`closing`).
void RequestCaptureStop(CameraView* view, bool closing = false);
void FinishCaptureStop(CameraView* view);
// What the watchdog cancels in a stalled capture: the stream's receive and a set-up command
// it waits for (pan/tilt/zoom commands go on).
void CancelBlockingCalls(CameraView* view);

// Receive time-outs of the loops (milliseconds): tests shorten them.
struct CaptureTimeouts {
    int stream = 200000;
    int lengthConnect = 2000000, lengthAnswer = 100000;
    int closeAnswer = 300000;
    // Video cameras: the longest wait for a camera to answer while connecting, and for its
    // next packet once it streams.
    int videoConnect = 10000, videoSilence = 10000;
};
CaptureTimeouts& Timeouts();

// After a picture was shown: the resolution lines when its size is not the record's, else
// the connection lines cleared (what was said of a dropped picture stays a while).
void ShowResolutionCheck(CameraView& view, CaptureRoutine loop);

}  // namespace orb
