// Picture files of the common formats through the desktop's picture library (GdkPixbuf:
// BMP, GIF, ICO, PNG, PNM, TGA, TIFF, XBM, XPM, JPEG) and, for what it lacks (PCX, WBMP and
// others), a second picture library. The result is a new 24-bit picture, or null.
#pragma once
#include <string>

#include "orbiscope.h"

namespace orb {

// Pictures larger than this on a side are refused before their pixels are read.
HDIB LoadPictureFile(const std::string& path, int maxSide);
// Which libraries this build reads pictures with, e.g. "GdkPixbuf FreeImage".
std::string PictureLoaders();

}  // namespace orb
