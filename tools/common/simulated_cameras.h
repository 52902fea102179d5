// The simulated cameras of the demo, the end-to-end tests and the load benchmark: the test
// scene through a lens, turning slowly so every picture differs, as JPEG pictures ready for
// the fake camera; and the Config.ure a host writes for them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/scene_renderer.h"
#include "config/camera_record.h"

namespace orbtools {

enum class SimulatedLens { Fisheye, Mirror, Annular, HalfSphere };
constexpr SimulatedLens kSimulatedLenses[] = {SimulatedLens::Fisheye, SimulatedLens::Mirror, SimulatedLens::Annular,
                                              SimulatedLens::HalfSphere};

struct SimulatedCamera {
    std::string name;
    SceneLens lens;
    CameraRecord record{};  // lens geometry and location filled; address and port by the caller
    std::vector<std::vector<uint8_t>> frames;  // the scene turning by `step` degrees a picture
};

// The lens of a simulated camera: centred, filling the picture's height.
SceneLens SimulatedLensOf(SimulatedLens kind, int width, int height);
// frames pictures of width x height (at least one).
SimulatedCamera MakeSimulatedCamera(SimulatedLens kind, int width, int height, int frames, double step = 3.0);
// Points the record at a fake camera on 127.0.0.1 (push-stream model 2, Basic credentials).
void PointAtFakeCamera(CameraRecord& record, int port, int32_t cameraId, const std::string& account,
                       const std::string& password);
// Writes the records as Config.ure slots (record, then its zeroed tail); false on failure.
bool WriteCameraConfig(const std::string& path, const std::vector<CameraRecord>& records);

}  // namespace orbtools
