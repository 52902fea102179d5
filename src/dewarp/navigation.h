// Steering of the virtual windows: move and zoom commands, mouse drag, click-to-centre and
// the perspective checks of the 180/90 lens family.
#pragma once
#include <cstdint>

#include "config/camera_record.h"

namespace orb {
struct DewarpView;
}

namespace orb {

// Move codes: pan 1110, 1112, 2024, 2025; tilt 1111, 1113, 2022, 2023. Step 0: default.
void MoveViewPosition(DewarpView& view, int32_t code, int32_t window, double step);
// Direction 2 zooms out, anything else zooms in.
void ZoomView(DewarpView& view, int32_t direction, int32_t window);
// Moves window k by the difference of the view's current and previous mouse positions.
void DragWindow(DewarpView& view, int32_t window);
// Centres window k on a click at (x, y): client coordinates for the 360-degree strip,
// coordinates inside the panorama cell for the 180/90 family.
void CenterOnClick(DewarpView& view, int32_t x, int32_t y, int32_t window);
// The window under a client position among the windows of the current mode (0 if none).
int32_t PaneAt(const DewarpView& view, int32_t x, int32_t y);

// Wraps a pan angle into [-180, 180]; a value that is not finite becomes 0.
double WrapPan(double p);
// Validity test of a perspective view of the 180/90 family on window k: adjusts P and T,
// and on success stores (P, T, Z) as the window's working values.
bool PerspectiveValid(DewarpView& view, int32_t k, double& P, double& T, double Z);
// Keeps a normalised crop preset inside the panorama extents.
void FitCrop(ViewPreset& p, double extentH, double extentV);

// A record a view takes: the fifth 360-degree window links to the first when its view angle
// is below 10 degrees, and lens, alignment and preset values that could not make a picture
// become their fall-backs.
void CheckViewRecord(CameraRecord& r);

}  // namespace orb
