// Dewarps one picture on the command line: a JPEG file (or the built-in test scene) with
// lens values given as options or taken from a camera record of a Config.ure file, written
// as the view picture of a showing mode in JPEG and BMP.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "common/program_info.h"
#include "common/scene_renderer.h"
#include "config/camera_record.h"
#include "dewarp/dewarp.h"
#include "config/presets.h"
#include "ui/panoview.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"

namespace {

void Usage(FILE* out = stderr) {
    std::fprintf(out,
                 "usage: orbiscope-dewarp [INPUT.jpg] [--config Config.ure --slot N] [--lens TYPE] [--center X,Y]\n"
                 "         [--radius OUTER[,INNER]] [--fov DEGREES] [--mode M] [--size WxH] [--out BASE]\n"
                 "         [--window K] [--pan P] [--tilt T] [--zoom Z]\n"
                 "         [--model M] [--projection J] [--span DEGREES] [--perspective]\n"
                 "Dewarps one panoramic picture into the view picture of a showing mode.\n"
                 "  Without INPUT the built-in test scene is dewarped (lens 8 and 9: the half-sphere\n"
                 "  scene). Pan/tilt/zoom set window K's preset: degrees for the 360 lenses and the\n"
                 "  perspective windows, 0..1 for the 180/90 crops. Writes BASE.jpg and BASE.bmp.\n"
                 "  --help     this text\n"
                 "  --version  the program's version\n");
}

bool ReadSlot(const char* path, int slot, CameraRecord& record) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    const bool ok = std::fseek(f, static_cast<long>(slot) * orb::kSlotSize, SEEK_SET) == 0 &&
                    std::fread(&record, 1, sizeof record, f) == sizeof record;
    std::fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (orbtools::AnswerVersion(argc, argv, "orbiscope-dewarp")) return 0;
    std::string input, config, out = "dewarped";
    int slot = 0, mode = 0, w = 1280, h = 720, lensType = -1, cx = -1, cy = -1, r1 = -1, r2 = -1;
    double fov = -1, span = -1;
    int window = 0, model = -1, projection = -1, perspective = 0;
    bool hasPan = false, hasTilt = false, hasZoom = false;
    double pan = 0, tilt = 0, zoom = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto need = [&]() -> const char* {
            if (!v) {
                Usage();
                std::exit(2);
            }
            ++i;
            return v;
        };
        if (a == "--config") config = need();
        else if (a == "--slot") slot = std::atoi(need());
        else if (a == "--lens") lensType = std::atoi(need());
        else if (a == "--center") std::sscanf(need(), "%d,%d", &cx, &cy);
        else if (a == "--radius") std::sscanf(need(), "%d,%d", &r1, &r2);
        else if (a == "--fov") fov = std::atof(need());
        else if (a == "--mode") mode = std::atoi(need());
        else if (a == "--window") window = std::atoi(need());
        else if (a == "--pan") pan = std::atof(need()), hasPan = true;
        else if (a == "--tilt") tilt = std::atof(need()), hasTilt = true;
        else if (a == "--zoom") zoom = std::atof(need()), hasZoom = true;
        else if (a == "--model") model = std::atoi(need());
        else if (a == "--projection") projection = std::atoi(need());
        else if (a == "--span") span = std::atof(need());
        else if (a == "--perspective") perspective = 1;
        else if (a == "--size") {
            if (std::sscanf(need(), "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 || w > 8192 || h > 8192) {
                Usage();
                return 2;
            }
        } else if (a == "--out") out = need();
        else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else if (!a.empty() && a[0] != '-' && input.empty()) input = a;
        else {
            Usage();
            return 2;
        }
    }

    auto view = std::make_unique<PanoView>();
    CameraRecord& r = view->record;
    orb::FillDefaultPresets(r);
    r.effectiveAngle = 60.0;
    r.tiltMin = -90.0;
    r.perspectiveDistance = 10.0;
    HDIB source = nullptr;
    const bool half = lensType == orb::kLens180 || lensType == orb::kLens90;
    if (input.empty()) {
        orbtools::SceneLens lens;
        if (half) lens.lensType = lensType;
        source = orbtools::RenderScene(lens, &r);
    } else {
        source = LoadJpeg(input.c_str());
        if (!source) {
            std::fprintf(stderr, "%s: not a JPEG picture this program can read\n", input.c_str());
            return 1;
        }
        orb::DibLock lock(source);
        // A plain picture: a centred fisheye circle filling its height, until told otherwise.
        r.lensType = orb::kLensFisheye;
        r.ovalH = r.sourceWidth = lock.width();
        r.ovalV = r.sourceHeight = lock.height();
        r.centerX = lock.width() / 2;
        r.centerY = lock.height() / 2;
        r.firstRadius = lock.height() / 2 - 2;
        r.secondRadius = r.firstRadius / 4;
        r.halfFov = 90.0;
    }
    if (!config.empty() && !ReadSlot(config.c_str(), slot, r)) {
        std::fprintf(stderr, "%s: no camera record in slot %d\n", config.c_str(), slot);
        orb::DestroyDIB(source);
        return 1;
    }
    if (lensType >= 0) r.lensType = lensType;
    if (cx >= 0 && cy >= 0) r.centerX = cx, r.centerY = cy;
    if (r1 > 0) r.firstRadius = r1;
    if (r2 > 0) r.secondRadius = r2;
    if (fov > 0) r.halfFov = fov / 2;
    r.showMode360 = mode;
    r.showMode180 = mode;
    if (half) {
        // Defaults of a new record for the half-sphere lenses, unless the record set them.
        if (config.empty()) r.lensModel = 2, r.panoramaProjection = 1;
        if (model >= 0) r.lensModel = model;
        if (projection >= 0) r.panoramaProjection = projection;
        if (perspective) r.perspective180 = 1;
        if (span > 0) (lensType == orb::kLens90 ? r.lensSpan90 : r.lensSpan180) = span;
        orb::ValidateLensFields(r);
    }
    if (window < 0 || window > 5 || (half && window > 4)) {
        Usage();
        orb::DestroyDIB(source);
        return 2;
    }
    ViewPreset& preset = !half ? r.presets360[window]
                         : r.perspective180 ? r.presetsDegrees[window]
                         : r.lensType == orb::kLens90 ? r.presets90[window]
                                                      : r.presets180[window];
    if (hasPan) preset.pan = pan;
    if (hasTilt) preset.tilt = tilt;
    if (hasZoom) preset.zoom = zoom;

    HDIB dest = orb::CreateDIB(w, h, 24);
    orb::SetViewSize(*view, w, h);
    orb::AttachPictures(*view, source, dest);
    orb::RebuildPanorama(*view);
    const bool ok = orb::UpdatePanorama(*view) == 1 && orb::JpegEncodeFile(dest, (out + ".jpg").c_str()) == 1 &&
                    orbtools::WriteBmpFile(dest, (out + ".bmp").c_str());
    orb::AttachPictures(*view, nullptr, nullptr);
    orb::DestroyDIB(dest);
    orb::DestroyDIB(source);
    if (!ok) {
        std::fprintf(stderr, "could not dewarp or write %s.jpg / %s.bmp\n", out.c_str(), out.c_str());
        return 1;
    }
    std::printf("%s.jpg %s.bmp: lens type %d, mode %d, %d x %d\n", out.c_str(), out.c_str(), r.lensType, mode, w, h);
    return 0;
}
