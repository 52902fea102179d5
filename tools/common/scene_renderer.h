// A known scene drawn through a lens model into a source picture: the oracle of the
// dewarping tests, the picture of the dewarp tool on a fresh machine and the fake camera's
// frames.
//
// Directions are given by azimuth A (degrees, 0 at the top of the lens picture, growing
// clockwise, so that a 360-degree strip shows azimuth A at column A/360 of its width) and
// elevation E (degrees from the horizon towards the lens axis, 90 on the axis).
// The scene: twelve vertical wall bands of 30 degrees each, band b covering azimuths
// [30b, 30b + 30), for elevations below 60; a grey floor grid from 60 to 84 degrees; a white
// mark around the axis.
// The 180/90-degree lenses (types 8, 9) face the scene instead: an equidistant half sphere
// where longitude L (degrees, right positive) and latitude F (degrees, down positive) show
// the wall band of azimuth L + 90 between F = -30 and 30, white sky above and grey floor below.
#pragma once
#include <cstdint>

#include "config/camera_record.h"
#include "orbiscope.h"

namespace orbtools {

struct Bgr {
    uint8_t b, g, r;
    bool operator==(const Bgr&) const = default;
};

struct SceneLens {
    int32_t lensType = orb::kLensFisheye;  // 2 fisheye, 3..6 ring lenses, 7 annular fisheye, 8/9 half sphere
    int32_t width = 640, height = 480;     // picture size
    int32_t centerX = 320, centerY = 240;  // lens centre, picture pixels
    int32_t firstRadius = 230;             // outer radius, picture pixels
    int32_t secondRadius = 60;             // inner radius of a ring lens
    double halfFov = 90.0;
    double effectiveAngle = 60.0;
    double rotation = 0.0;  // the scene turned by this many degrees of azimuth (moving scenes)
};

constexpr int kSceneBands = 12;
// The colour of wall band b (0..11).
Bgr BandColour(int band);
// The band at an azimuth (any value, wrapped into [0, 360)).
int BandAt(double azimuthDegrees);
// Which band a colour shows, or -1 when it is none of them (within a tolerance per channel).
int BandOfColour(Bgr colour, int tolerance = 40);
// The scene colour in a direction.
Bgr SceneColour(double azimuthDegrees, double elevationDegrees);
// The scene colour of the half-sphere lenses at longitude and latitude (degrees).
Bgr HalfSphereColour(double longitudeDegrees, double latitudeDegrees);

// Fills the lens and alignment fields of a record for the lens (reference frame = picture).
void FillLensRecord(const SceneLens& lens, CameraRecord& record);
// Renders the scene through the lens into a new 24-bit picture; pixels outside the lens
// circle or ring are black. With `record`, its lens fields are filled as well. 0 when the
// size is not positive.
HDIB RenderScene(const SceneLens& lens, CameraRecord* record = nullptr);
// Writes a picture as a .bmp file. True on success.
bool WriteBmpFile(HDIB picture, const char* path);

}  // namespace orbtools
