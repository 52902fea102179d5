// Still panoramic pictures from common picture files (JPEG, BMP, PNG), given lens settings
// from their trailer or from defaults for their size, and shown in the photo viewer.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "orbiscope.h"
#include "platform/window.h"

struct PanoView;
struct CameraRecord;

namespace orb {

constexpr int kStillMinSide = 100;
constexpr int kStillMaxSide = 32000;
constexpr const char* kPhotoViewerTitle = "Panoramic Photo Image Viewer";
constexpr const char* kPhotoChildClass = "Orbiscope MDI Client";

// Reads a picture file (by its contents: JPEG, BMP or PNG) into a new 24-bit picture, or 0.
HDIB LoadStillPicture(const std::string& path);
// A BMP file image (1, 4, 8, 24 or 32 bits, uncompressed, either row order) as 24 bits.
HDIB DecodeBmp(std::span<const uint8_t> file);
// The record a picture without trailer gets: defaults made for its size.
void DefaultStillRecord(CameraRecord& r, int width, int height);
// A view holding the picture: the trailer's record or the defaults, the picture path, and
// marked non-JPEG. Null (the picture freed) when a side lies outside 100..32000.
std::unique_ptr<PanoView> PrepareStill(HDIB picture, const std::string& path);

struct PhotoViewer {
    HWND frame = nullptr;
    std::vector<std::unique_ptr<PanoView>> views;
};
extern PhotoViewer g_photoViewer;
// The window side of the photo viewer (menu, placement, painting of its views), plugged in
// by the window layer; told after a view was added.
extern void (*g_photoViewerChanged)(PhotoViewer&);
// Adds the view to the photo viewer, creating the viewer when none is open. 1 or 0.
int AddToPhotoViewer(void* owner, std::unique_ptr<PanoView> view);
void ClosePhotoViewer();

}  // namespace orb
