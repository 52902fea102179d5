// The windows of the snapshot viewer and the panoramic photo viewer (their logic is in
// record/snapshot.h and record/still_picture.h).
#pragma once
#include "platform/window.h"

namespace orb {

// Plugs the viewers' windows into the viewers.
void InstallPictureViewers();
// The snapshot viewer's view window while it is open.
HWND SnapshotViewWindow();

}  // namespace orb
