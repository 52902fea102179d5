// The simulated cameras of the demo, the end-to-end tests and the load benchmark: the market
// hall of room_scene.h through a lens, a loop of JPEG pictures ready for the fake camera
// (people coming in, the door, the clock's second hand); the Config.ure a host writes for
// them, and the motion mask that keeps the clock out of motion detection.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/room_renderer.h"
#include "common/scene_renderer.h"
#include "config/camera_record.h"

namespace orbtools {

// The demo's four lenses in turn; the 90-degree lens besides.
enum class SimulatedLens { Fisheye, Mirror, Annular, HalfSphere, Ninety };
constexpr SimulatedLens kSimulatedLenses[] = {SimulatedLens::Fisheye, SimulatedLens::Mirror, SimulatedLens::Annular,
                                              SimulatedLens::HalfSphere};

struct SimulatedCamera {
    std::string name;
    SceneLens lens;
    CameraRecord record{};  // lens geometry and location filled; address and port by the caller
    std::vector<std::vector<uint8_t>> frames;  // the loop, evenly spaced over its twelve seconds
};

// The lens of a simulated camera: centred, filling the picture's height; the 360-degree
// lenses see 5 degrees above their horizon.
SceneLens SimulatedLensOf(SimulatedLens kind, int width, int height);
// The loop in `loop.frames` pictures of width x height (at least one), read from and kept
// in `loop.cacheFolder` when it is given.
SimulatedCamera MakeSimulatedCamera(SimulatedLens kind, int width, int height, const RoomLoop& loop);
// frames pictures of width x height. (`step` was the turning angle of an earlier scene; the
// room stands still and does not use it.)
SimulatedCamera MakeSimulatedCamera(SimulatedLens kind, int width, int height, int frames, double step = 3.0);
// What the demo's views show of the room: a showing mode that suits the lens, and windows
// turned to the door, the clock and the sign.
void ChooseRoomViews(CameraRecord& record, SimulatedLens kind);
// Gives the record camera key number n (a hardware address of our own), which names its
// motion mask file.
void GiveCameraKey(CameraRecord& record, int n);
// The mask blocks (top band first, bw x bh) that cover the clock in the camera's picture.
std::vector<uint8_t> ClockMask(const SceneLens& lens);
// Writes the clock mask as the camera's mask file under `libraryFolder`/Temp (the record
// needs its key and its model word set); false on failure.
bool WriteClockMask(const CameraRecord& record, const SceneLens& lens, const std::string& libraryFolder);
// Points the record at a fake camera on 127.0.0.1 (push-stream model 2, Basic credentials).
void PointAtFakeCamera(CameraRecord& record, int port, int32_t cameraId, const std::string& account,
                       const std::string& password);
// Writes the records as Config.ure slots (record, then its zeroed tail); false on failure.
bool WriteCameraConfig(const std::string& path, const std::vector<CameraRecord>& records);

}  // namespace orbtools
