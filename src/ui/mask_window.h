// The motion commands of a view: detection on and off, and the full-screen mask editor
// window over a copy of the camera's picture (class "Orbiscope Motion Mask").
#pragma once
#include "platform/window.h"

struct PanoView;

namespace orb {

// Registers the editor's window procedure and the view commands 2600-2602.
void InstallMaskEditorWindow();
// Opens the editor for a view; false (and nothing shown) without a detector or picture.
bool OpenMaskEditorWindow(PanoView* view);
// The open editor window, or null.
HWND MaskEditorWindow();

}  // namespace orb
