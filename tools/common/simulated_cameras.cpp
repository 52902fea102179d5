#include "common/simulated_cameras.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "analysis/motion.h"
#include "platform/base64.h"
#include "platform/safe_names.h"
#include "dewarp/dewarp.h"
#include "dewarp/halfsphere.h"
#include "config/presets.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"

namespace orbtools {

SceneLens SimulatedLensOf(SimulatedLens kind, int width, int height) {
    SceneLens l;
    l.width = width;
    l.height = height;
    l.centerX = width / 2;
    l.centerY = height / 2;
    l.firstRadius = height / 2 - 4;
    l.secondRadius = height / 8;
    // A 190-degree fisheye, so that the clock above the camera's horizon stays in view.
    l.halfFov = 95.0;
    switch (kind) {
    case SimulatedLens::Fisheye: l.lensType = orb::kLensFisheye; break;
    case SimulatedLens::Mirror: l.lensType = orb::kLensConvexMirror; break;
    case SimulatedLens::Annular:
        // An equidistant fisheye with a hole: the ring covers the angles the radii say.
        l.lensType = orb::kLensAnnularFisheye;
        l.effectiveAngle = l.halfFov * (l.firstRadius - l.secondRadius) / l.firstRadius;
        break;
    case SimulatedLens::HalfSphere:
        l.lensType = orb::kLens180;
        l.halfFov = 90.0;
        break;
    case SimulatedLens::Ninety:
        l.lensType = orb::kLens90;
        l.halfFov = 45.0;
        break;
    }
    return l;
}

namespace {

const char* NameOf(SimulatedLens kind) {
    switch (kind) {
    case SimulatedLens::Fisheye: return "Fisheye";
    case SimulatedLens::Mirror: return "Mirror";
    case SimulatedLens::Annular: return "Annular";
    case SimulatedLens::HalfSphere: return "180 degrees";
    case SimulatedLens::Ninety: return "90 degrees";
    }
    return "Camera";
}

}  // namespace

SimulatedCamera MakeSimulatedCamera(SimulatedLens kind, int width, int height, const RoomLoop& loop) {
    SimulatedCamera cam;
    cam.name = NameOf(kind);
    cam.lens = SimulatedLensOf(kind, width, height);
    orb::FillDefaultPresets(cam.record);
    cam.record.tiltMin = -90.0;
    cam.record.perspectiveDistance = 10.0;
    cam.record.showMode360 = 4;
    FillLensRecord(cam.lens, cam.record);
    if (kind == SimulatedLens::HalfSphere) {
        cam.record.lensModel = orb::kModelEquidistant;
        cam.record.panoramaProjection = orb::kProjEquirectangular;
        cam.record.lensSpan180 = 180.0;
        cam.record.verticalSpan180 = 125.0;
        cam.record.showMode180 = 5;
    } else if (kind == SimulatedLens::Ninety) {
        cam.record.lensModel = orb::kModelEquidistant;
        cam.record.panoramaProjection = orb::kProjEquirectangular;
        cam.record.lensSpan90 = 90.0;
        cam.record.verticalSpan90 = 90.0;
        cam.record.showMode180 = 1;
    }
    orb::ValidateLensFields(cam.record);
    cam.record.sourceWidth = width;
    cam.record.sourceHeight = height;
    orb::SetText(cam.record.location, ("Simulated " + cam.name).c_str());
    orb::SetText(cam.record.name, ("Simulated " + cam.name).c_str());
    cam.frames = RenderRoomLoop(cam.lens, loop);
    std::erase_if(cam.frames, [](const std::vector<uint8_t>& f) { return f.empty(); });
    return cam;
}

SimulatedCamera MakeSimulatedCamera(SimulatedLens kind, int width, int height, int frames, double) {
    RoomLoop loop;
    loop.frames = frames < 1 ? 1 : frames;
    return MakeSimulatedCamera(kind, width, height, loop);
}

void ChooseRoomViews(CameraRecord& r, SimulatedLens kind) {
    auto aim = [](ViewPreset& p, double zoom, double pan, double tilt) {
        p.zoom = zoom;
        p.pan = pan;
        p.tilt = tilt;
    };
    switch (kind) {
    case SimulatedLens::Fisheye:
        r.showMode360 = orb::kShow360TwoWindowsStrip;
        aim(r.presets360[4], 90, 90, -30);  // the south wall: door, clock and sign
        break;
    case SimulatedLens::Mirror:
        // A mirror's windows come out upside down under the ring lenses' flip rule; its two
        // half-turn strips show the room the right way up.
        r.showMode360 = orb::kShow360TwoStrips;
        break;
    case SimulatedLens::Annular:
        r.showMode360 = orb::kShow360WindowStrip;
        aim(r.presets360[4], 110, 90, -30);
        break;
    case SimulatedLens::HalfSphere:
        // Three crops (door and clock, the sign, the shelves) beside the whole panorama.
        r.showMode180 = 0;
        aim(r.presets180[0], 0.3, 0.45, 0.55);
        aim(r.presets180[1], 0.3, 0.62, 0.52);
        aim(r.presets180[2], 0.35, 0.85, 0.62);
        break;
    case SimulatedLens::Ninety: r.showMode180 = 1; break;
    }
}

void GiveCameraKey(CameraRecord& record, int n) {
    char mac[18];
    std::snprintf(mac, sizeof mac, "02:4F:52:42:%02X:%02X", (n >> 8) & 0xFF, n & 0xFF);
    orb::SetText(record.macText, orb::Base64Encode(mac).c_str());
}

std::vector<uint8_t> ClockMask(const SceneLens& lens) {
    const int bw = orb::BlockCount(lens.width), bh = orb::BlockCount(lens.height);
    std::vector<uint8_t> mask(static_cast<size_t>(bw) * bh, 0);
    const double r = room::kClockRadius + 0.03;
    const RoomBox clock{{room::kClockX - r, room::kSouth, room::kClockZ - r}, {room::kClockX + r, room::kSouth, room::kClockZ + r}};
    const PixelRect px = LensRectOf(lens, RoomPoseOf(lens), clock);
    if (px.x0 >= px.x1) return mask;
    // The detector's blocks are counted from the picture's bottom row up; the mask's rows
    // from the top, so the top row of blocks may be a short one.
    for (int row = 0; row < bh; ++row) {
        const int band = bh - 1 - row;
        const int bottom = lens.height - 1 - 8 * band, top = std::max(0, lens.height - 1 - (8 * band + 7));
        if (bottom < px.y0 || top >= px.y1) continue;
        for (int col = 0; col < bw; ++col)
            if (8 * col + 7 >= px.x0 && 8 * col < px.x1) mask[static_cast<size_t>(row) * bw + col] = 1;
    }
    return mask;
}

bool WriteClockMask(const CameraRecord& record, const SceneLens& lens, const std::string& libraryFolder) {
    const std::string key(record.macText, strnlen(record.macText, sizeof record.macText));
    if (key.empty()) return false;
    orb::MaskHeader header{record.modelIndex, lens.width, lens.height, orb::BlockCount(lens.width), orb::BlockCount(lens.height)};
    const std::vector<uint8_t> file = orb::EncodeMaskFile(header, ClockMask(lens));
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(libraryFolder) / "Temp";
    std::filesystem::create_directories(folder, ec);
    FILE* f = std::fopen((folder / orb::SafeFileName(key)).c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

void PointAtFakeCamera(CameraRecord& record, int port, int32_t cameraId, const std::string& account,
                       const std::string& password) {
    orb::SetText(record.address, "127.0.0.1");
    record.httpPort = port;
    record.modelIndex = 2;
    record.cameraId = cameraId;
    orb::SetText(record.account, orb::Base64Encode(account).c_str());
    orb::SetText(record.password, orb::Base64Encode(password).c_str());
}

bool WriteCameraConfig(const std::string& path, const std::vector<CameraRecord>& records) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    for (const CameraRecord& r : records) {
        uint8_t slot[orb::kSlotSize] = {};
        std::memcpy(slot, &r, sizeof r);
        ok = ok && std::fwrite(slot, 1, sizeof slot, f) == sizeof slot;
    }
    return std::fclose(f) == 0 && ok;
}

}  // namespace orbtools
