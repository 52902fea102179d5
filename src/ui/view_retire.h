// A view that stops while the program runs (restarted, given another camera, its window
// closed) leaves its window at once: its capture is asked to stop, and its threads are joined
// and its recording closed on a thread of their own, so the window thread never waits for
// a camera. Its state stays as it was until those threads are gone (the capture thread may
// be finishing a picture); then the window thread frees it and hands its recording slot to
// the view that took its place.
#pragma once
#include <cstdint>

struct PanoView;

namespace orb {

// Posted to the main window when a retired view's threads are gone.
constexpr uint32_t kMsgViewsRetired = 1126;

// Hands a detached view (its window no longer knows it) over; window thread.
void RetireView(PanoView* view);
// Frees the retired views whose threads are gone; window thread, at any time.
void FinishRetiredViews();
// Waits for every retired view and frees it: the program closes. Window thread.
void DrainRetiredViews();
// Whether a retired view still holds the recording slot (a view's control identifier).
bool RecordingSlotRetiring(int slot);
// Retired views not yet freed.
int RetiredViewCount();
// Frees a view whose threads are gone (what other subsystems hold in it too); window thread.
void FreeStoppedView(PanoView* view);

}  // namespace orb
