// The room filmed through a lens: each lens model's own projection between directions in
// the room and points of the lens picture (equidistant fisheye, the ring lenses' linear
// elevation model, the mirror's reversed picture, the half-sphere lenses' equidistant
// model), and the pictures rendered through it: one moment, or the whole loop as JPEG
// pictures, kept in a cache folder so that a second run reads them instead.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/room_scene.h"
#include "common/scene_renderer.h"
#include "orbiscope.h"

namespace orbtools {

// Where a camera hangs and where it looks: the lens axis, and the directions of the
// lens picture's right and down. The 360-degree lenses hang from the middle of the ceiling
// looking down, north at the top of their picture; the 180- and 90-degree lenses sit on
// the north wall looking south; a plain camera looks south from there too.
struct RoomPose {
    Vec3 position, axis, right, down;
};
RoomPose RoomPoseOf(const SceneLens& lens);

// The lens picture point (pixels; the centre of the top-left pixel is 0, 0) where the
// direction `dir` (room, unit) lands. True inside the lens circle or ring; outside it the
// point is still given where the model reaches.
bool LensPointOf(const SceneLens& lens, const RoomPose& pose, Vec3 dir, double& x, double& y);
// The direction (room, unit) that a lens picture point sees; false outside the lens.
bool LensRayOf(const SceneLens& lens, const RoomPose& pose, double x, double y, Vec3& dir);
// The angle (radians) between neighbouring pixels along the lens radius.
double LensPixelAngle(const SceneLens& lens);

// A new 24-bit picture of the room in that state through the lens (black outside it).
HDIB RenderRoom(const SceneLens& lens, const RoomState& state);

struct RoomLoop {
    int frames = 1;           // pictures over the loop, evenly spaced in time
    bool walkers = true;      // false: nobody comes in
    bool door = true;         // false: the door stays shut
    std::string cacheFolder;  // when set, pictures are read from and written to it
};
// The moment of picture `frame` of `frames`.
RoomMoment RoomLoopMoment(const RoomLoop& loop, int frame);
// The loop's pictures as JPEG (quality 80).
std::vector<std::vector<uint8_t>> RenderRoomLoop(const SceneLens& lens, const RoomLoop& loop);
// Where the loop of that lens is cached under a cache folder (by picture size first).
std::string RoomLoopFolder(const SceneLens& lens, const RoomLoop& loop);

// The lens picture rectangle [x0, x1) x [y0, y1) that holds what a box of the room shows
// (a little larger); empty (x0 >= x1) when none of it is in the picture.
struct PixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
PixelRect LensRectOf(const SceneLens& lens, const RoomPose& pose, const RoomBox& box);

}  // namespace orbtools
