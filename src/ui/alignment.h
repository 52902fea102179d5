// The alignment window: the lens circles dragged over the camera picture, with every change
// copied at once into the live view, and the modal alignment dialog around it.
#pragma once
#include <cstdint>

#include "config/camera_record.h"
#include "platform/window.h"

struct PanoView;

namespace orb {

constexpr const char* kAlignmentClass = "Orbiscope Alignment";
constexpr int kAlignPictureId = 1299;
constexpr int kAlignHoverSlack = 8;

enum AlignMode : int32_t { kAlignOuter = 0, kAlignCentre = 2, kAlignOutside = 3, kAlignInner = 4 };

struct AlignmentState {
    PanoView* view = nullptr;  // the live view being aligned; null when no alignment runs
    HWND dialog = nullptr, picture = nullptr;
    int32_t mode = kAlignOutside;
    int32_t dragging = 0;
    int32_t startX = 0, startY = 0, mouseX = 0, mouseY = 0;
    int32_t startCX = 0, startCY = 0, startR1 = 0, startR2 = 0;
    Rect outer, inner;
    HDIB zoomed = nullptr;  // the camera picture at the window's size
    int32_t zoomW = 0, zoomH = 0;
    CameraRecord before{};  // the values at the opening, restored on cancel
};
extern AlignmentState g_align;

bool AlignmentActive();
// The mouse logic of the picture window, in window pixels.
void AlignHover(int x, int y);
void AlignPress(int x, int y);
void AlignDrag(int x, int y);
void AlignRelease();
// Beeps sounded for an alignment asked without a picture.
int AlignmentBeeps();

LRESULT AlignmentPictureProc(HWND, uint32_t, WPARAM, LPARAM);
// DoAlignment's work.
int32_t RunAlignment(PanoView* view);

}  // namespace orb
