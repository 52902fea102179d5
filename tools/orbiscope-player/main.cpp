// The stand-alone player that packages carry: it plays a recording (or shows a snapshot)
// through the camera record stored in the file. With a display it opens the library's
// player window; without one (or with --headless) it plays every frame through the same
// decoding and dewarping and writes the last one as a picture. A host of the shipped
// library: it uses its exports only.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "common/program_info.h"
#include "orbiscope.h"
#include "orbiscope_host.h"

namespace {

namespace fs = std::filesystem;

int Usage(FILE* out = stderr) {
    std::fprintf(out,
                 "usage: orbiscope-player [--headless] [--out FOLDER] FILE.P360|FILE.mkv|FILE.360\n"
                 "Plays a recording (.P360, or .mkv of a video camera) or shows a snapshot (.360) through\n"
                 "the camera record stored in the file. On a desktop it opens the player window; without\n"
                 "a display (or with\n"
                 "--headless) it plays every frame and writes the last one, dewarped, as a picture.\n"
                 "  --headless    never open a window (also: ORBISCOPE_HEADLESS set)\n"
                 "  --out FOLDER  where the headless run writes its picture (default: here)\n"
                 "  --help        this text\n"
                 "  --version     the program's version\n");
    return out == stderr ? 2 : 0;
}

// Dewarps one decoded picture through the record into a 1280 x 720 picture file.
bool WriteDewarped(const CameraRecord* record, HDIB source, const std::string& path) {
    HDIB out = OrbiscopeDewarpPicture(record, source, 1280, 720);
    const bool ok = out && OrbiscopeSavePictureJpeg(out, path.c_str()) == 1;
    OrbiscopeFreePicture(out);
    return ok;
}

int ShowSnapshotHeadless(const std::string& file, const std::string& picture) {
    HDIB pic = LoadJpeg(file.c_str());
    int32_t withRecord = 0;
    CameraRecord* record = pic ? OrbiscopeSnapshotRecord(file.c_str(), &withRecord) : nullptr;
    const bool ok = record && WriteDewarped(record, pic, picture);
    OrbiscopeFreeRecord(record);
    OrbiscopeFreePicture(pic);
    if (!pic) return std::fprintf(stderr, "orbiscope-player: %s is not a readable snapshot\n", file.c_str()), 1;
    if (!ok) return std::fprintf(stderr, "orbiscope-player: the snapshot could not be dewarped\n"), 1;
    std::printf("snapshot %s%s: %s\n", file.c_str(), withRecord ? "" : " (no camera record)", picture.c_str());
    return 0;
}

int PlayHeadless(const std::string& file, const std::string& outDir) {
    const std::string stem = fs::path(file).stem().string();
    const std::string picture = (fs::path(outDir) / (stem + "-last.jpg")).string();
    if (fs::path(file).extension() == ".360") return ShowSnapshotHeadless(file, picture);
    const char* why = "";
    OrbRecordingReader* reader = OrbiscopeOpenRecording(file.c_str(), &why);
    if (!reader) {
        std::fprintf(stderr, "orbiscope-player: %s: %s\n", file.c_str(), why);
        return 1;
    }
    const int32_t frames = OrbiscopeRecordingFrameCount(reader);
    int played = 0, bad = 0;
    for (int32_t n = 0; n < frames; ++n) {
        HDIB pic = OrbiscopeRecordingPicture(reader, n);
        if (!pic) {
            ++bad;
            continue;
        }
        // Every frame is decoded; the last one goes through the dewarping into a picture.
        const bool last = n == frames - 1;
        if (last ? WriteDewarped(OrbiscopeRecordingCamera(reader), pic, picture) : true) ++played;
        OrbiscopeFreePicture(pic);
    }
    OrbiscopeCloseRecording(reader);
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
    // The window layer decides on a desktop by the display and ORBISCOPE_HEADLESS.
    if (headless) setenv("ORBISCOPE_HEADLESS", "1", 1);
    if (!headless && OrbiscopeHasDisplay()) {
        // The snapshot viewer, or the player when its first recording would not open,
        // stays until the person closes it; the player's own loop returns when it closes.
        void* window = fs::path(file).extension() == ".360" ? OpenSnapshot(nullptr, file.c_str())
                                                            : PlayDVR(nullptr, file.c_str());
        while (window && OrbiscopeIsWindow(window)) {
            OrbiscopePumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }
    return PlayHeadless(file, outDir);
}
