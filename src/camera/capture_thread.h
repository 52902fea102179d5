// The capture thread of a view: connects to its camera, asks for pictures the way the
// camera's model wants, cuts them out of the answers, runs each through the frame pipeline,
// and reconnects after every failure until the view asks it to stop.
#pragma once

namespace orb {
struct CameraView;
}

namespace orb {

// Starts the thread (the loop chosen by the camera model); true when it runs.
bool StartCapture(CameraView* view);
// Asks the thread to stop, cancels what it waits for and joins it (bounded by the waits).
void StopCapture(CameraView* view);

// Receive time-outs of the loops (milliseconds): tests shorten them.
struct CaptureTimeouts {
    int stream = 200000;
    int lengthConnect = 2000000, lengthAnswer = 100000;
    int closeAnswer = 300000;
};
CaptureTimeouts& Timeouts();

}  // namespace orb
