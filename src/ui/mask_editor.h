// The motion mask editor: the user paints excluded blocks over a full-screen copy of the
// camera's picture and sets the detector's sensitivity. Pure state; the window shows
// `preview` stretched to the screen, draws `band` and forwards the mouse in screen pixels.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "analysis/motion.h"
#include "analysis/rubber_band.h"
#include "orbiscope.h"

struct PanoView;

namespace orb {

constexpr int kMinMaskSensitivity = 5;
constexpr int kMaxMaskSensitivity = 80;
constexpr int kMaskResetButton = 111;

struct MaskEditor {
    HDIB source = nullptr;   // untouched copy of the camera's picture
    HDIB preview = nullptr;  // the copy with excluded blocks tinted red
    int32_t width = 0, height = 0, bw = 0, bh = 0;
    std::vector<uint8_t> mask;  // bw x bh, row 0 the top band; non-zero = excluded
    int32_t sensitivity = kDefaultSensitivity;
    int screenWidth = 0, screenHeight = 0;
    RubberBand band;
    bool open = false;
};

// True while an editor is open (the tool bar consults it).
bool MaskEditorIsOpen();

// Opens the editor over a copy of `picture` for a screen of the given size. False (editor
// cleared, nothing to show) when there is no detector or the copies cannot be made.
bool OpenMaskEditor(MaskEditor& e, PanoView& view, HDIB picture, int screenWidth, int screenHeight);
// Mouse in screen pixels: left marks blocks excluded, right includes them again.
void MaskEditorButtonDown(MaskEditor& e, int x, int y, bool left);
bool MaskEditorMouseMove(MaskEditor& e, int x, int y);
void MaskEditorButtonUp(MaskEditor& e, int x, int y);
// Applies a band between two screen points with a value, then renders the preview.
void ApplyMaskBand(MaskEditor& e, int x1, int y1, int x2, int y2, uint8_t value);
void ClearMask(MaskEditor& e);
void InvertMask(MaskEditor& e);
// Slider (clamped to 5..80) and the reset button (15).
void SetMaskSensitivity(MaskEditor& e, int value);
void ResetMaskSensitivity(MaskEditor& e);
// Tints the excluded blocks of the source into the preview.
void RenderMaskPreview(MaskEditor& e);
// Stores the mask: deletes the file and drops the detector's mask when nothing is
// excluded, else writes the file and hands the mask to the detector. False on a write
// failure (the detector keeps what it had).
bool SaveMotionMask(MaskEditor& e, PanoView& view);
// OK: sensitivity into the record, save the mask, close. Returns the save result.
bool MaskEditorOk(MaskEditor& e, PanoView& view);
// Cancel or window closed: frees the copies and clears the open flag.
void CloseMaskEditor(MaskEditor& e);

}  // namespace orb
