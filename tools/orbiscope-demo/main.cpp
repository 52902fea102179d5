// The demo host, headless: a simulated fisheye camera picture goes through the library's
// whole picture road. It is encoded as the camera would send it, decoded by the codec,
// dewarped into panorama strips and virtual windows in several showing modes, recorded into
// a recording file, read back from that file and dewarped again. Everything lands in the
// output folder (default "out").
#include <cstdio>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/scene_renderer.h"
#include "dewarp/dewarp.h"
#include "dewarp/presets.h"
#include "host/panoview.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/paths.h"
#include "record/recording_file.h"

namespace {

struct Picture {
    HDIB h = nullptr;
    explicit Picture(HDIB p = nullptr) : h(p) {}
    ~Picture() { orb::DestroyDIB(h); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
};

// Dewarps one decoded picture for a view of w x h in a showing mode and writes it.
bool WriteView(PanoView& view, HDIB source, int mode, int w, int h, const std::string& base) {
    view.record.showMode360 = mode;
    Picture out(orb::CreateDIB(w, h, 24));
    if (!out.h) return false;
    orb::SetViewSize(view, w, h);
    orb::AttachPictures(view, source, out.h);
    orb::RebuildPanorama(view);
    if (orb::UpdatePanorama(view) != 1) return false;
    const bool ok = orb::JpegEncodeFile(out.h, (base + ".jpg").c_str()) == 1 &&
                    orbtools::WriteBmpFile(out.h, (base + ".bmp").c_str());
    orb::AttachPictures(view, nullptr, nullptr);
    if (ok) std::printf("  %s.jpg  (mode %d, %d x %d)\n", base.c_str(), mode, w, h);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string outDir = argc > 1 ? argv[1] : "out";
    if (!orb::MakeDirs(outDir)) {
        std::fprintf(stderr, "cannot create the output folder %s\n", outDir.c_str());
        return 1;
    }
    auto view = std::make_unique<PanoView>();
    orb::FillDefaultPresets(view->record);
    view->record.effectiveAngle = 60.0;
    view->record.tiltMin = -90.0;
    view->record.perspectiveDistance = 10.0;
    orb::SetText(view->record.location, "Demo - Fisheye");

    // The simulated camera: a 1280 x 960 fisheye picture of the test room, sent as JPEG.
    orbtools::SceneLens lens;
    lens.width = 1280;
    lens.height = 960;
    lens.centerX = 640;
    lens.centerY = 480;
    lens.firstRadius = 470;
    Picture scene(orbtools::RenderScene(lens, &view->record));
    std::vector<uint8_t> jpeg;
    if (!scene.h || !orb::JpegEncodeMemory(scene.h, 85, jpeg)) {
        std::fprintf(stderr, "cannot make the camera picture\n");
        return 1;
    }
    const std::string cameraPath = orb::JoinPath(outDir, "camera.jpg");
    if (FILE* f = std::fopen(cameraPath.c_str(), "wb")) {
        std::fwrite(jpeg.data(), 1, jpeg.size(), f);
        std::fclose(f);
    }
    std::printf("camera picture: %s (%zu bytes)\n", cameraPath.c_str(), jpeg.size());

    Picture decoded(DecodeFromJPEGBuffer(jpeg.data(), static_cast<int32_t>(jpeg.size())));
    if (!decoded.h) {
        std::fprintf(stderr, "the codec refused the camera picture\n");
        return 1;
    }
    std::printf("panorama pictures:\n");
    const struct {
        int mode, w, h;
    } modes[] = {{0, 1440, 360}, {2, 1280, 720}, {4, 1280, 720}, {6, 1280, 720}};
    for (const auto& m : modes)
        if (!WriteView(*view, decoded.h, m.mode, m.w, m.h,
                       orb::JoinPath(outDir, "panorama_mode" + std::to_string(m.mode))))
            std::fprintf(stderr, "showing mode %d could not be written\n", m.mode);

    // A short recording of the camera: 25 pictures in one recording file.
    const std::string recDir = orb::JoinPath(outDir, "RECVAULT");
    orb::MakeDirs(recDir);
    const std::string recPath = orb::JoinPath(recDir, "demo.P360");
    std::remove(recPath.c_str());  // the demo's own file from an earlier run
    SystemTime t{2026, 12, 0, 6, 9, 0, 0, 0};
    {
        orb::DvrContext dvr;
        if (orb::CreateRecording(dvr, recPath, view->record, t) != 1) {
            std::fprintf(stderr, "cannot create the recording %s\n", recPath.c_str());
            return 1;
        }
        for (int i = 0; i < 25; ++i) {
            t.milliseconds = static_cast<uint16_t>(i * 40);
            if (orb::AppendFrame(dvr, jpeg.data(), static_cast<int32_t>(jpeg.size()), t) != 1) {
                std::fprintf(stderr, "recording stopped at picture %d\n", i);
                return 1;
            }
        }
        orb::CloseRecording(dvr);
    }
    // Played back: the last picture, dewarped with the record stored in the file.
    orb::DvrContext reader;
    auto played = std::make_unique<PanoView>();
    if (orb::OpenRecordingForRead(reader, recPath, &played->record) != orb::OpenResult::Ok) {
        std::fprintf(stderr, "the recording cannot be read back\n");
        return 1;
    }
    const int32_t frames = orb::ReadFrameCount(reader);
    if (frames < 1 || !orb::ReadFrame(reader, frames - 1)) {
        std::fprintf(stderr, "the recording holds no readable picture\n");
        return 1;
    }
    Picture last(DecodeFromJPEGBuffer(reader.picture.data(), reader.loadedSize));
    std::printf("recording: %s (%d pictures)\n", recPath.c_str(), frames);
    if (!last.h || !WriteView(*played, last.h, 4, 1280, 720, orb::JoinPath(outDir, "playback_mode4"))) {
        std::fprintf(stderr, "the played picture could not be dewarped\n");
        return 1;
    }
    return 0;
}
