// The commands a camera is sent besides its pictures (the set-up at capture start, the
// pan/tilt/zoom commands of the view's controls) go out one after another on a thread of
// the view's own, so that the window thread never waits for the camera's answer. The thread
// starts with the first command and ends with the view's capture.
#pragma once
#include <cstdint>

namespace orb {
struct CameraView;
}

namespace orb {

// Queues a pan/tilt/zoom command and returns at once; its failures reach the view's status
// line. A move (zoom, direction, focus, iris) still waiting is replaced by the newer command;
// a stop (pan stop, patrol stop) is never dropped. False when nothing is queued: a view of a
// kind that steers no camera, a view that stops, or a full queue (said on the status line).
bool QueuePtzCommand(CameraView& view, int code, int argument);

// Sends the model's set-up commands on the worker, after what is queued, and waits until they
// are done or the capture stops. Run by the capture thread before it streams.
void RunSetupOnWorker(CameraView& view);

// Asks the worker to end and returns at once. Waiting commands are dropped but for the stops
// (the last of each kind), which still go out within a budget counted from now: a few
// seconds, or with `closing` (the program closes) a moment.
void EndCommandWorker(CameraView& view, bool closing);
// Waits until the worker has ended (after EndCommandWorker): at the end of the budget what
// is still going out is cut and what waits is dropped.
void JoinCommandWorker(CameraView& view);
// Cuts a set-up command that is going out (the capture that waits for it is stalled).
void CancelSetupInFlight(CameraView& view);

// Commands queued or being sent.
int PendingCommands(CameraView& view);

}  // namespace orb
