// The full-screen editors of a view, each over a copy of the camera's picture: the motion
// mask (class "Orbiscope Motion Mask") and the privacy zones (class "Orbiscope MaskZome");
// and the motion commands of the view.
#pragma once
#include "platform/window.h"

struct PanoView;

namespace orb {

// Registers both editors' window procedures and the view commands 2600-2602 and 3020.
void InstallEditorWindows();
// The colour balance dialog of command 935 (modeless, one per process), or null.
HWND BalanceDialog();
void InstallBalanceDialog();
// The motion-event hook dialog of a Ctrl+Shift click on a view.
void InstallEventDialog();
// Opens an editor for a view; false (and nothing shown) without a picture (and, for the
// mask, without a detector) or while another editor is open.
bool OpenMaskEditorWindow(PanoView* view);
bool OpenZoneEditorWindow(PanoView* view);
// The open editor windows, or null.
HWND MaskEditorWindow();
HWND ZoneEditorWindow();

}  // namespace orb
