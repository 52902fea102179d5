#include "common/simulated_cameras.h"

#include <cstdio>
#include <cstring>

#include "platform/base64.h"
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
    switch (kind) {
    case SimulatedLens::Fisheye: l.lensType = orb::kLensFisheye; break;
    case SimulatedLens::Mirror: l.lensType = orb::kLensConvexMirror; break;
    case SimulatedLens::Annular: l.lensType = orb::kLensAnnularFisheye; break;
    case SimulatedLens::HalfSphere: l.lensType = orb::kLens180; break;
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
    }
    return "Camera";
}

}  // namespace

SimulatedCamera MakeSimulatedCamera(SimulatedLens kind, int width, int height, int frames, double step) {
    SimulatedCamera cam;
    cam.name = NameOf(kind);
    cam.lens = SimulatedLensOf(kind, width, height);
    orb::FillDefaultPresets(cam.record);
    cam.record.effectiveAngle = 60.0;
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
    }
    orb::ValidateLensFields(cam.record);
    cam.record.sourceWidth = width;
    cam.record.sourceHeight = height;
    orb::SetText(cam.record.location, ("Simulated " + cam.name).c_str());
    orb::SetText(cam.record.name, ("Simulated " + cam.name).c_str());
    for (int i = 0; i < (frames < 1 ? 1 : frames); ++i) {
        SceneLens l = cam.lens;
        l.rotation = i * step;
        HDIB pic = RenderScene(l);
        std::vector<uint8_t> jpeg;
        if (pic) orb::JpegEncodeMemory(pic, 80, jpeg);
        orb::DestroyDIB(pic);
        if (!jpeg.empty()) cam.frames.push_back(std::move(jpeg));
    }
    return cam;
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
