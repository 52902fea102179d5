// The windows of the snapshot viewer and the panoramic photo viewer (their logic is in
// record/snapshot.h and record/still_picture.h).
#pragma once
#include "platform/window.h"

namespace orb {

struct SnapshotViewer;
struct PhotoViewer;

// The snapshot viewer's windows, built once its frame and view exist: the view window, the
// snapshot list box, the menu and the placement.
void BuildSnapshotWindows(SnapshotViewer& v);
// The viewer's picture or list changed (called with the view's picture lock held).
void SnapshotViewerChanged(SnapshotViewer& v);
// The photo viewer got a view: its menu, placement and the views' painting.
void PhotoViewerChanged(PhotoViewer& v);
// The snapshot viewer's view window while it is open.
HWND SnapshotViewWindow();

}  // namespace orb
