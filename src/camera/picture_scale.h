// How much of its camera's picture a view decodes: the reduction its maps allow (a small
// view of a five-megapixel camera needs an eighth of each side), the full picture again
// when something needs it whole, and the switch that turns reduced decoding off.
#pragma once
#include <cstdint>

#include "orbiscope.h"

namespace orb {
struct CameraView;
}

namespace orb {

// "ScaledDecode" of section "Orbiscope": "0" decodes every picture whole; read once a view.
constexpr const char* kScaledDecodeSection = "Orbiscope";
constexpr const char* kScaledDecodeKey = "ScaledDecode";

// The reduction (1, 2, 4 or 8) the view's next picture is decoded at: the one its maps
// allow, 1 when reduced decoding is off for the view. Any thread.
int32_t ViewDecodeScale(CameraView& view);
// Tests and tools: reduced decoding on or off for the view, whatever the settings say.
void SetViewScaledDecode(CameraView& view, bool on);

// The view's current picture at full size, as a new picture the caller frees (with the
// view's privacy zones on it), or 0 when the view has none. A reduced current picture is
// decoded again from its bytes. The caller holds the view's picture mutex.
HDIB FullCurrentPicture(CameraView& view);

// When the view's maps now want more of the picture than its current one holds (it was
// zoomed in, enlarged, or given another mode), decodes the current picture again at that
// reduction from its bytes, with the zones on it, and makes it the current one. True when
// it did. The caller holds the view's picture mutex.
bool SharpenCurrentPicture(CameraView& view);

}  // namespace orb
