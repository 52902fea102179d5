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

// What the command line asks for.
struct Options {
    std::string input, config, out = "dewarped";
    int slot = 0, mode = 0, w = 1280, h = 720, lensType = -1, cx = -1, cy = -1, r1 = -1, r2 = -1;
    double fov = -1, span = -1;
    int window = 0, model = -1, projection = -1, perspective = 0;
    bool hasPan = false, hasTilt = false, hasZoom = false;
    double pan = 0, tilt = 0, zoom = 0;
    bool Half() const { return lensType == orb::kLens180 || lensType == orb::kLens90; }
};

// One option with its value; false when the option is not one of them.
bool TakeValueOption(const std::string& a, const char* v, Options& o) {
    if (a == "--config") o.config = v;
    else if (a == "--slot") o.slot = std::atoi(v);
    else if (a == "--lens") o.lensType = std::atoi(v);
    else if (a == "--center") std::sscanf(v, "%d,%d", &o.cx, &o.cy);
    else if (a == "--radius") std::sscanf(v, "%d,%d", &o.r1, &o.r2);
    else if (a == "--fov") o.fov = std::atof(v);
    else if (a == "--mode") o.mode = std::atoi(v);
    else if (a == "--window") o.window = std::atoi(v);
    else if (a == "--pan") o.pan = std::atof(v), o.hasPan = true;
    else if (a == "--tilt") o.tilt = std::atof(v), o.hasTilt = true;
    else if (a == "--zoom") o.zoom = std::atof(v), o.hasZoom = true;
    else if (a == "--model") o.model = std::atoi(v);
    else if (a == "--projection") o.projection = std::atoi(v);
    else if (a == "--span") o.span = std::atof(v);
    else if (a == "--size") {
        if (std::sscanf(v, "%dx%d", &o.w, &o.h) != 2) o.w = -1;
    } else if (a == "--out") o.out = v;
    else return false;
    return true;
}

bool TakesValue(const std::string& a) {
    static const char* const kWithValue[] = {"--config", "--slot",  "--lens",  "--center",     "--radius", "--fov",
                                             "--mode",   "--window", "--pan",  "--tilt",       "--zoom",   "--model",
                                             "--projection", "--span", "--size", "--out"};
    for (const char* w : kWithValue)
        if (a == w) return true;
    return false;
}

// -1 when the command line was read, else the exit status.
int ParseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (TakesValue(a)) {
            if (i + 1 >= argc) return Usage(), 2;
            TakeValueOption(a, argv[++i], o);
            if (a == "--size" && (o.w <= 0 || o.h <= 0 || o.w > 8192 || o.h > 8192)) return Usage(), 2;
        } else if (a == "--perspective") o.perspective = 1;
        else if (a == "-h" || a == "--help") return Usage(stdout), 0;
        else if (!a.empty() && a[0] != '-' && o.input.empty()) o.input = a;
        else return Usage(), 2;
    }
    return -1;
}

// The picture to dewarp: the input file, or the test scene of the lens.
HDIB LoadSource(const Options& o, CameraRecord& r) {
    if (o.input.empty()) {
        orbtools::SceneLens lens;
        if (o.Half()) lens.lensType = o.lensType;
        return orbtools::RenderScene(lens, &r);
    }
    HDIB source = LoadJpeg(o.input.c_str());
    if (!source) {
        std::fprintf(stderr, "%s: not a JPEG picture this program can read\n", o.input.c_str());
        return nullptr;
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
    return source;
}

// The lens and view options over the record; false when the window does not exist.
bool ApplyOptions(const Options& o, CameraRecord& r) {
    const bool half = o.Half();
    if (o.lensType >= 0) r.lensType = o.lensType;
    if (o.cx >= 0 && o.cy >= 0) r.centerX = o.cx, r.centerY = o.cy;
    if (o.r1 > 0) r.firstRadius = o.r1;
    if (o.r2 > 0) r.secondRadius = o.r2;
    if (o.fov > 0) r.halfFov = o.fov / 2;
    r.showMode360 = o.mode;
    r.showMode180 = o.mode;
    if (half) {
        // Defaults of a new record for the half-sphere lenses, unless the record set them.
        if (o.config.empty()) r.lensModel = 2, r.panoramaProjection = 1;
        if (o.model >= 0) r.lensModel = o.model;
        if (o.projection >= 0) r.panoramaProjection = o.projection;
        if (o.perspective) r.perspective180 = 1;
        if (o.span > 0) (o.lensType == orb::kLens90 ? r.lensSpan90 : r.lensSpan180) = o.span;
        orb::ValidateLensFields(r);
    }
    if (o.window < 0 || o.window > 5 || (half && o.window > 4)) return false;
    ViewPreset& preset = !half ? r.presets360[o.window]
                         : r.perspective180 ? r.presetsDegrees[o.window]
                         : r.lensType == orb::kLens90 ? r.presets90[o.window]
                                                      : r.presets180[o.window];
    if (o.hasPan) preset.pan = o.pan;
    if (o.hasTilt) preset.tilt = o.tilt;
    if (o.hasZoom) preset.zoom = o.zoom;
    return true;
}

// Dewarps the source into a picture of the asked size and writes it as JPEG and BMP.
bool WriteDewarped(PanoView& view, HDIB source, const Options& o) {
    HDIB dest = orb::CreateDIB(o.w, o.h, 24);
    orb::SetViewSize(view, o.w, o.h);
    orb::AttachPictures(view, source, dest);
    orb::RebuildPanorama(view);
    const bool ok = orb::UpdatePanorama(view) == 1 && orb::JpegEncodeFile(dest, (o.out + ".jpg").c_str()) == 1 &&
                    orbtools::WriteBmpFile(dest, (o.out + ".bmp").c_str());
    orb::AttachPictures(view, nullptr, nullptr);
    orb::DestroyDIB(dest);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (orbtools::AnswerVersion(argc, argv, "orbiscope-dewarp")) return 0;
    Options o;
    if (const int status = ParseArguments(argc, argv, o); status >= 0) return status;
    auto view = std::make_unique<PanoView>();
    CameraRecord& r = view->record;
    orb::FillDefaultPresets(r);
    r.effectiveAngle = 60.0;
    r.tiltMin = -90.0;
    r.perspectiveDistance = 10.0;
    HDIB source = LoadSource(o, r);
    if (!source) return 1;
    if (!o.config.empty() && !ReadSlot(o.config.c_str(), o.slot, r)) {
        std::fprintf(stderr, "%s: no camera record in slot %d\n", o.config.c_str(), o.slot);
        orb::DestroyDIB(source);
        return 1;
    }
    if (!ApplyOptions(o, r)) {
        Usage();
        orb::DestroyDIB(source);
        return 2;
    }
    const bool ok = WriteDewarped(*view, source, o);
    orb::DestroyDIB(source);
    if (!ok) {
        std::fprintf(stderr, "could not dewarp or write %s.jpg / %s.bmp\n", o.out.c_str(), o.out.c_str());
        return 1;
    }
    std::printf("%s.jpg %s.bmp: lens type %d, mode %d, %d x %d\n", o.out.c_str(), o.out.c_str(), r.lensType, o.mode,
                o.w, o.h);
    return 0;
}
