// The simulated cameras' scene: a small market hall a person recognises at once. Floor
// tiles, four walls with a door, windows, shelves, a large wall clock and a name sign, a
// counter, and two people who come in through the door, walk round and leave again on a
// loop of twelve seconds while the door opens and shuts behind them.
//
// Room coordinates are metres: x east, y north, z up, the floor at z = 0. Everything is a
// pure function of the moment asked for, so every rendering is the same on every run.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

namespace orbtools {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Unit(Vec3 a) { return a * (1.0 / Length(a)); }
// The plain square root: the library's careful hypot is many times slower per pixel.
inline double Hypot(double x, double y) { return std::sqrt(x * x + y * y); }

// The room's extent and the places of what the tests look for.
namespace room {
constexpr double kEast = 5.0, kWest = -5.0, kNorth = 3.5, kSouth = -3.5, kHeight = 3.0;
// The door in the south wall: hinged on its west edge, opening out into the passage.
constexpr double kDoorWest = 1.25, kDoorEast = 2.2, kDoorHeight = 2.1;
// The clock on the south wall, facing north.
constexpr double kClockX = 0.0, kClockZ = 2.35, kClockRadius = 0.45;
// The name sign on the south wall, west of the clock.
constexpr double kSignWest = -4.3, kSignEast = -0.8, kSignBottom = 2.05, kSignTop = 2.65;
constexpr const char* kSignText = "CITY MARKET";
constexpr double kLoopSeconds = 12.0;
}  // namespace room

// Which moment of the loop to show, and what of it.
struct RoomMoment {
    double seconds = 0;   // into the loop, wrapped into [0, kLoopSeconds)
    bool walkers = true;  // false: nobody comes in
    bool door = true;     // false: the door stays shut
};

struct Walker {
    Vec3 feet;             // on the floor
    Vec3 heading;          // unit, horizontal
    double gait = 0;       // stride phase, radians
    int look = 0;          // which of the two people
};

// Where everything moving is at a moment.
struct RoomState {
    double doorDegrees = 0;  // 0 shut, up to 80 open
    int clockSecond = 0;     // the second hand's position, 0..59
    std::vector<Walker> walkers;
};
RoomState RoomStateAt(const RoomMoment& moment);
// The state of the empty, still room (the door shut, nobody in, the second hand at 0).
RoomState StillRoom();

// The colour (0..255 per channel, R G B) seen from `from` looking along the unit vector
// `dir`. `spread` is the angle one sample covers (radians): it picks the texture detail.
// With `changing`, it says whether what is seen there can differ from the still room.
struct Rgb {
    double r = 0, g = 0, b = 0;
};
Rgb TraceRoom(const RoomState& state, Vec3 from, Vec3 dir, double spread, bool* changing = nullptr);

// The parts of the loop that change a picture, as boxes of room space (to re-render only
// what moved): the clock always, the door while it is open, each walker.
struct RoomBox {
    Vec3 low, high;
};
std::vector<RoomBox> MovingParts(const RoomState& state);

// True for the colours most of any view of the room shows: its walls and floor tiles (a
// quick check that a picture shows the room at all).
bool IsRoomColour(uint8_t r, uint8_t g, uint8_t b);

// The pictures drawn on the walls (for the sign's template in the tests): the sign board
// as seen from the room, `pixelsPerMetre` across, R G B rows from the top.
std::vector<uint8_t> SignBoardPicture(double pixelsPerMetre, int& width, int& height);

}  // namespace orbtools
