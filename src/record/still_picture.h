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
}  // namespace orb
