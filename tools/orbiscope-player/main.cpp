// The stand-alone player that packages carry: it plays a recording (or shows a snapshot)
// through the camera record stored in the file. With a display it opens the library's
// player window; without one (or with --headless) it plays every frame through the same
// decoding and dewarping and writes the last one as a picture.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "common/program_info.h"
#include "dewarp/dewarp.h"
#include "host/panoview.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "record/player.h"
#include "record/recording_file.h"
#include "record/snapshot.h"

namespace {

namespace fs = std::filesystem;

int Usage(FILE* out = stderr) {
    std::fprintf(out,
                 "usage: orbiscope-player [--headless] [--out FOLDER] FILE.P360|FILE.360\n"
                 "Plays a recording (.P360) or shows a snapshot (.360) through the camera record stored\n"
                 "in the file. On a desktop it opens the player window; without a display (or with\n"
                 "--headless) it plays every frame and writes the last one, dewarped, as a picture.\n"
                 "  --headless    never open a window (also: ORBISCOPE_HEADLESS set)\n"
                 "  --out FOLDER  where the headless run writes its picture (default: here)\n"
                 "  --help        this text\n"
                 "  --version     the program's version\n");
    return out == stderr ? 2 : 0;
}

// Dewarps one decoded picture through the view's record into a 1280 x 720 picture.
bool WriteDewarped(PanoView& view, HDIB source, const std::string& path) {
    constexpr int kW = 1280, kH = 720;
    HDIB out = orb::CreateDIB(kW, kH, 24);
    if (!out) return false;
    orb::SetViewSize(view, kW, kH);
    orb::AttachPictures(view, source, out);
    orb::RebuildPanorama(view);
    const bool ok = orb::UpdatePanorama(view) == 1 && orb::JpegEncodeFile(out, path.c_str()) == 1;
    orb::AttachPictures(view, nullptr, nullptr);
    orb::DestroyDIB(out);
    return ok;
}

int PlayHeadless(const std::string& file, const std::string& outDir) {
    auto view = std::make_unique<PanoView>();
    const std::string stem = fs::path(file).stem().string();
    const std::string picture = (fs::path(outDir) / (stem + "-last.jpg")).string();
    if (fs::path(file).extension() == ".360") {
        HDIB pic = LoadJpeg(file.c_str());
        if (!pic) {
            std::fprintf(stderr, "orbiscope-player: %s is not a readable snapshot\n", file.c_str());
            return 1;
        }
        const bool withRecord = orb::ReadTrailer(file, view->record) == 1;
        const bool ok = WriteDewarped(*view, pic, picture);
        orb::DestroyDIB(pic);
        if (!ok) return std::fprintf(stderr, "orbiscope-player: the snapshot could not be dewarped\n"), 1;
        std::printf("snapshot %s%s: %s\n", file.c_str(), withRecord ? "" : " (no camera record)", picture.c_str());
        return 0;
    }
    orb::DvrContext reader;
    const orb::OpenResult r = orb::OpenRecordingForRead(reader, file, &view->record);
    if (r != orb::OpenResult::Ok) {
        std::fprintf(stderr, "orbiscope-player: %s: %s\n", file.c_str(), orb::OpenResultMessage(r));
        return 1;
    }
    const int32_t frames = orb::ReadFrameCount(reader);
    int played = 0, bad = 0;
    for (int32_t n = 0; n < frames; ++n) {
        if (!orb::ReadFrame(reader, n) || reader.loadedSize <= 0) {
            ++bad;
            continue;
        }
        HDIB pic = DecodeFromJPEGBuffer(reader.picture.data(), reader.loadedSize);
        if (!pic) {
            ++bad;
            continue;
        }
        // Every frame goes through the dewarping; only the last is kept as a picture.
        const bool last = n == frames - 1;
        if (last ? WriteDewarped(*view, pic, picture) : true) ++played;
        orb::DestroyDIB(pic);
    }
    orb::CloseRecording(reader);
    std::printf("played %d of %d frames of %s", played, frames, file.c_str());
    if (bad) std::printf(" (%d unreadable)", bad);
    std::printf("\nlast frame: %s\n", picture.c_str());
    return played > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (orbtools::AnswerVersion(argc, argv, "orbiscope-player")) return 0;
    bool headless = std::getenv("ORBISCOPE_HEADLESS") != nullptr;
    std::string outDir = ".", file;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--headless") headless = true;
        else if (a == "--out" && i + 1 < argc) outDir = argv[++i];
        else if (a == "--help" || a == "-h") return Usage(stdout);
        else if (!a.empty() && a[0] != '-' && file.empty()) file = a;
        else return Usage();
    }
    if (file.empty()) return Usage();
    if (!fs::exists(file)) {
        std::fprintf(stderr, "orbiscope-player: %s does not exist\n", file.c_str());
        return 1;
    }
    OrbiscopeInit();
    if (!headless && orb::InitWindowing() == orb::Backend::Desktop) {
        const bool snapshot = fs::path(file).extension() == ".360";
        if (snapshot) {
            if (!OpenSnapshot(nullptr, file.c_str())) return 1;
            return orb::RunMessageLoop();
        }
        PlayDVR(nullptr, file.c_str());
        // Without the library's player window a double-clicked recording would seem to do
        // nothing at all: say so, on the screen and on the terminal.
        if (!orb::ThePlayer().createFrame) {
            const std::string text = "The player window is not available in this build, so " + file +
                                     " cannot be shown.\norbiscope-player --headless plays it into a picture.";
            std::fprintf(stderr, "orbiscope-player: %s\n", text.c_str());
            orb::MessageBox(nullptr, text, "Orbiscope Player", orb::kMbOk | orb::kMbIconError);
            return 1;
        }
        return 0;
    }
    return PlayHeadless(file, outDir);
}
