// The privacy-zone editor: the user marks cells of the 32 x 32 grid over a full-screen copy
// of the camera's picture and picks the style. Pure state; the window shows `preview`
// stretched to the screen, draws `band` and forwards the mouse in screen pixels.
#pragma once
#include <cstdint>

#include "analysis/rubber_band.h"
#include "analysis/zones.h"
#include "orbiscope.h"

struct PanoView;

namespace orb {

// Radio buttons of the "MaskZone" dialog.
constexpr int kZoneStrength2 = 301;
constexpr int kZoneStrength4 = 302;
constexpr int kZoneStrength8 = 303;
constexpr int kZoneStrengthFull = 304;
constexpr int kZoneDarken = 305;
constexpr int kZoneBrightenButton = 306;
constexpr int kZoneOnButton = 307;
constexpr int kZoneOffButton = 308;

struct ZoneEditor {
    HDIB source = nullptr;   // untouched copy of the camera's picture
    HDIB preview = nullptr;  // the copy with the zones applied
    ZoneContext context;
    int screenWidth = 0, screenHeight = 0;
    RubberBand band;
    bool open = false;
};

// The style word from the dialog's radio buttons, and the buttons to check for a style.
uint32_t ZoneStyleFromButtons(bool on, bool brighten, int strengthButton);
struct ZoneButtons {
    int onOff;      // 307 or 308
    int shade;      // 305 or 306
    int strength;   // 301..304
};
ZoneButtons ZoneButtonsFromStyle(uint32_t style);

bool OpenZoneEditor(ZoneEditor& e, PanoView& view, HDIB picture, int screenWidth, int screenHeight);
void ZoneEditorButtonDown(ZoneEditor& e, int x, int y, bool left);
bool ZoneEditorMouseMove(ZoneEditor& e, int x, int y);
void ZoneEditorButtonUp(ZoneEditor& e, int x, int y);
// Sets every cell between two screen points (inclusive) to the value; rebuilds the preview.
void ApplyZoneBand(ZoneEditor& e, int x1, int y1, int x2, int y2, uint8_t value);
// A radio button click: the style is rebuilt from all three groups.
void SetZoneEditorStyle(ZoneEditor& e, uint32_t style);
void RenderZonePreview(ZoneEditor& e);
// OK, Cancel or window closed: the edits go to the view and its record either way.
void CloseZoneEditor(ZoneEditor& e, PanoView& view);

}  // namespace orb
