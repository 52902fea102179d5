// The pictures on the room's surfaces, drawn once with cairo: the four walls, the front of
// the shelves, the door and the clock face. Each is kept with its halved copies, so a
// surface seen from afar is sampled from a copy of about its seen size (no shimmer).
#pragma once
#include <cstdint>
#include <vector>

#include "common/room_scene.h"

namespace orbtools {

enum class Surface { SouthWall, NorthWall, EastWall, WestWall, ShelfFront, Door, ClockFace, SignBoard, kCount };

struct Texture {
    double widthMetres = 0, heightMetres = 0, pixelsPerMetre = 0;
    struct Level {
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;  // rows from the top
    };
    std::vector<Level> levels;  // [0] full size, then each half the last
};

// The surface's picture (drawn on first use, kept for the process).
const Texture& SurfaceTexture(Surface surface);
// The colour at (u, v) metres from the surface's top-left corner as seen from the room,
// from the copy that suits a sample `footprint` metres wide.
Rgb SampleTexture(const Texture& texture, double u, double v, double footprint);

}  // namespace orbtools
