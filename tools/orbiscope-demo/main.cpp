// The demo host: four simulated panoramic cameras (fisheye, mirror, annular and 180-degree
// lenses) on the fake camera at 127.0.0.1, opened the way a host opens the library:
// Config.ure written, OrbiscopeInit, RunOrbiscope. The views stream live, dewarp and record.
// With a display the views show in a window; without one (or with --headless) the demo runs
// for a while and writes what every view showed, the recordings and a summary into the
// output folder (default "out").
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <random>
#include <thread>
#include <vector>

#include "common/fake_camera.h"
#include "common/hostile_picture.h"
#include "common/simulated_cameras.h"
#include "config/settings.h"
#include "host/panoview.h"
#include "host/texts.h"
#include "orbiscope.h"
#include "platform/dib.h"
#include "platform/jpeg_codec.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "record/recording_file.h"
#include "ui/main_window.h"

namespace {

namespace fs = std::filesystem;
using orb::HWND;

struct Options {
    std::string out = "out";
    int seconds = -1;  // -1: 8 s headless, until the window closes on a desktop
    bool headless = false;
    int size = 640;    // picture width; height is 3/4 of it
    int fps = 15;
    int cameras = 4;
    bool faults = false;      // inject camera faults at random (a soak run)
    bool hostile = false;     // the last camera is an attacker's: it sends a 16384 x 16384 picture
    bool motion = false;      // run every camera's motion detector (recording follows motion)
    bool steer = false;       // half-way, click the first view and press the left arrow key
    std::string screenshot;   // on a desktop: a picture of the screen before closing (ImageMagick)
};

int Usage() {
    std::fprintf(stderr,
                 "usage: orbiscope-demo [OUTPUT-FOLDER] [--seconds N] [--headless] [--cameras 1-32] [--width W] [--fps N]\n"
                 "                      [--steer] [--screenshot FILE] [--faults] [--motion]\n"
                 "                      [--hostile]\n");
    return 2;
}

bool ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](int& into) {
            if (i + 1 >= argc) return false;
            into = std::atoi(argv[++i]);
            return true;
        };
        if (a == "--seconds") {
            if (!value(o.seconds)) return false;
        } else if (a == "--width") {
            if (!value(o.size) || o.size < 160 || o.size > 2592) return false;
        } else if (a == "--fps") {
            if (!value(o.fps) || o.fps < 1 || o.fps > 60) return false;
        } else if (a == "--cameras") {
            if (!value(o.cameras) || o.cameras < 1 || o.cameras > 32) return false;
        } else if (a == "--faults") {
            o.faults = true;
        } else if (a == "--hostile") {
            o.hostile = true;
        } else if (a == "--motion") {
            o.motion = true;
        } else if (a == "--steer") {
            o.steer = true;
        } else if (a == "--screenshot" && i + 1 < argc) {
            o.screenshot = argv[++i];
        } else if (a == "--headless") {
            o.headless = true;
        } else if (!a.empty() && a[0] != '-') {
            o.out = a;
        } else {
            return false;
        }
    }
    return true;
}

std::string ProgramFolder() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = 0;
    return fs::path(buf).parent_path().string();
}

bool WriteJpeg(HDIB picture, const std::string& path) {
    return picture && orb::JpegEncodeFile(picture, path.c_str()) == 1;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The user's part: a click on the first view makes it current, the left arrow pans it.
void Steer(HWND frame) {
    HWND w = orb::g_ui.views[0];
    PanoView* v = w ? orb::ViewOf(w) : nullptr;
    if (!v || !orb::IsWindow(frame)) return;
    std::array<double, 6> before{};
    for (size_t k = 0; k < before.size(); ++k) before[k] = v->record.presets360[k].pan;
    orb::SendMessage(w, orb::WM_LBUTTONDOWN, 0, 0);
    orb::SendMessage(w, orb::WM_KEYDOWN, 37, 0);  // the left arrow
    orb::PumpMessages();
    for (size_t k = 0; k < before.size(); ++k)
        if (v->record.presets360[k].pan != before[k])
            std::printf("steer: view 0, window %zu panned from %.1f to %.1f degrees\n", k, before[k],
                        v->record.presets360[k].pan);
}

long ResidentKilobytes() {
    std::ifstream in("/proc/self/status");
    std::string key;
    long value = 0;
    while (in >> key) {
        if (key == "VmRSS:") {
            in >> value;
            return value;
        }
        in.ignore(4096, '\n');
    }
    return 0;
}

// Faults at random, as a soak run wants them: every second one camera starts to misbehave
// for a few seconds (cut pictures, garbage, a stall, a wrong password, a restart).
struct FaultInjector {
    enum Kind { Cut, Garbage, Stall, Password, Restart, kKinds };
    static constexpr const char* kNames[kKinds] = {"cut picture", "garbage", "stall", "wrong password", "restart"};
    std::mt19937 random{20261206};
    struct Active {
        size_t camera;
        Kind kind;
        std::chrono::steady_clock::time_point until;
    };
    std::vector<Active> active;
    std::array<int, kKinds> counts{};

    void Tick(std::vector<std::unique_ptr<orbtools::FakeCamera>>& cams, const std::vector<int>& ports) {
        const auto now = std::chrono::steady_clock::now();
        for (auto it = active.begin(); it != active.end();) {
            if (now < it->until) {
                ++it;
                continue;
            }
            orbtools::FakeCamera& c = *cams[it->camera];
            c.SetFault(orbtools::FakeFault::None);
            c.SetCredentials("demo", "orbiscope");
            it = active.erase(it);
        }
        const size_t camera = random() % cams.size();
        for (const Active& a : active)
            if (a.camera == camera) return;
        const Kind kind = static_cast<Kind>(random() % kKinds);
        orbtools::FakeCamera& c = *cams[camera];
        switch (kind) {
        case Cut: c.SetFault(orbtools::FakeFault::CloseMidPicture); break;
        case Garbage: c.SetFault(orbtools::FakeFault::Garbage); break;
        case Stall: c.SetFault(orbtools::FakeFault::Stall); break;
        case Password:
            // Refused from the next connection on, which the cut makes happen now.
            c.SetCredentials("demo", "changed");
            c.SetFault(orbtools::FakeFault::Refuse);
            break;
        case Restart:
            c.Stop();
            c.Start(ports[camera]);
            break;
        default: break;
        }
        ++counts[kind];
        active.push_back({camera, kind, now + std::chrono::milliseconds(2000 + random() % 4000)});
    }
};

// Plays every recording in the folder to its last indexed frame; the files that fail.
int UnplayableRecordings(const std::string& folder, long long& frames) {
    int bad = 0;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return 0;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.path().extension() != ".P360") continue;
        orb::DvrContext reader;
        if (orb::OpenRecordingForRead(reader, e.path().string(), nullptr) != orb::OpenResult::Ok) {
            ++bad;
            continue;
        }
        const int32_t n = orb::ReadFrameCount(reader);
        for (int32_t i = 0; i < n; ++i) {
            if (!orb::ReadFrame(reader, i) || reader.loadedSize <= 0) {
                ++bad;
                break;
            }
            ++frames;
        }
    }
    return bad;
}

struct ViewFigures {
    int shown = 0, recorded = 0;
    std::string status;
    int64_t cpu[orb::kStageCount] = {};
    int64_t decodeWall = 0, latencySum = 0, latencyMax = 0, latencyCount = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!ParseArgs(argc, argv, opt)) return Usage();
    std::error_code ec;
    fs::create_directories(opt.out, ec);
    const std::string out = fs::absolute(opt.out).lexically_normal().string();
    const std::string home = out + "/home";
    fs::create_directories(home, ec);
    if (ec) {
        std::fprintf(stderr, "orbiscope-demo: cannot create %s: %s\n", home.c_str(), ec.message().c_str());
        return 1;
    }
    // Everything the library keeps (Config.ure, settings, recordings) stays in the output folder.
    setenv("ORBISCOPE_HOME", home.c_str(), 1);
    setenv("ORBISCOPE_SYSTEM_DIR", home.c_str(), 1);
    if (opt.headless) setenv("ORBISCOPE_HEADLESS", "1", 1);
    const std::string language = std::string(orb::kLanguageFile);
    fs::copy_file(ProgramFolder() + "/" + language, home + "/" + language, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        std::fprintf(stderr, "orbiscope-demo: the text resource file %s is missing beside the program\n",
                     language.c_str());
        return 1;
    }
    orb::WriteSetting("DVR", "StorageRoots", out);
    // More than 24 views need two screens side by side, which the host names.
    orb::WriteSettingInt("Panorama", "MultiScreen", opt.cameras > 24 ? 1 : 2);

    // The cameras: the four lenses in turn, each camera on its own fake camera with a password.
    const int width = opt.size & ~15, height = width * 3 / 4;
    std::printf("simulated cameras (%d x %d, %d pictures/s):\n", width, height, opt.fps);
    std::vector<orbtools::SimulatedCamera> sims;
    for (orbtools::SimulatedLens kind : orbtools::kSimulatedLenses)
        sims.push_back(orbtools::MakeSimulatedCamera(kind, width, height, 60));
    std::vector<std::unique_ptr<orbtools::FakeCamera>> cameras;
    std::vector<int> ports;
    std::vector<CameraRecord> records;
    std::vector<std::string> names;
    const int32_t modes[] = {4, 0, 2, 4};
    for (int i = 0; i < opt.cameras; ++i) {
        const orbtools::SimulatedCamera& sim = sims[static_cast<size_t>(i) % sims.size()];
        orbtools::FakeCameraOptions fo;
        fo.account = "demo";
        fo.password = "orbiscope";
        fo.framesPerSecond = opt.fps;
        fo.width = width;
        fo.height = height;
        auto frames = std::make_shared<const std::vector<std::vector<uint8_t>>>(sim.frames);
        const int offset = i * 7;  // cameras of the same lens do not show the same picture
        fo.picture = [frames, offset](int frame) { return (*frames)[static_cast<size_t>(frame + offset) % frames->size()]; };
        if (opt.hostile && i == opt.cameras - 1) {
            const auto evil = std::make_shared<const std::vector<uint8_t>>(orbtools::HostileJpeg());
            fo.picture = [evil](int) { return *evil; };
        }
        cameras.push_back(std::make_unique<orbtools::FakeCamera>(fo));
        const int port = cameras.back()->Start();
        ports.push_back(port);
        if (port == 0 || sim.frames.empty()) {
            std::fprintf(stderr, "orbiscope-demo: cannot start the simulated camera %s\n", sim.name.c_str());
            return 1;
        }
        CameraRecord r = sim.record;
        orbtools::PointAtFakeCamera(r, port, 1000 + i, "demo", "orbiscope");
        r.showMode360 = modes[i % 4];
        if (opt.motion) r.motionOn = 1;
        names.push_back(opt.cameras > 4 ? sim.name + " " + std::to_string(i + 1) : sim.name);
        orb::SetText(r.location, ("Simulated " + names.back()).c_str());
        records.push_back(r);
        std::printf("  %-14s http://127.0.0.1:%d/\n", names.back().c_str(), port);
    }
    if (!orbtools::WriteCameraConfig(home + "/Config.ure", records)) {
        std::fprintf(stderr, "orbiscope-demo: cannot write %s/Config.ure\n", home.c_str());
        return 1;
    }

    // The host's part: start the library and open the views.
    OrbiscopeInit();
    EnableDVRRecording(1);
    void* mainWindow = nullptr;
    const int32_t twoScreens[8] = {0, 0, 1920, 1080, 1920, 0, 3840, 1080};
    HWND frame = static_cast<HWND>(RunOrbiscope(nullptr, 0, static_cast<int32_t>(records.size()), &mainWindow, 0,
                                               nullptr, 0, records.size() > 24 ? twoScreens : nullptr));
    if (!frame) {
        std::fprintf(stderr, "orbiscope-demo: the library opened no window\n");
        return 1;
    }
    const bool desktop = orb::CurrentBackend() == orb::Backend::Desktop;
    const int seconds = opt.seconds >= 0 ? opt.seconds : desktop ? 0 : 8;
    std::printf("%s", desktop ? "views open on the desktop; close the window to end\n"
                              : "views running headless\n");
    // What the views show and their figures, taken every second while the window is open
    // (on a desktop the user may close it at any moment).
    std::vector<ViewFigures> figures(records.size());
    auto takeViews = [&](bool report) {
        if (report) std::printf("views:\n");
        for (size_t i = 0; i < records.size(); ++i) {
            HWND w = orb::g_ui.views[i];
            PanoView* v = w ? orb::ViewOf(w) : nullptr;
            if (!v) continue;
            figures[i].shown = v->frames.pictures.load();
            figures[i].recorded = v->frames.recorded.load();
            const orb::StageFigures& st = v->frames.stages;
            for (int k = 0; k < orb::kStageCount; ++k) figures[i].cpu[k] = st.cpu[k].load();
            figures[i].decodeWall = st.decodeWall.load();
            figures[i].latencySum = st.latencySum.load();
            figures[i].latencyMax = st.latencyMax.load();
            figures[i].latencyCount = st.latencyCount.load();
            {
                std::lock_guard lock(v->ui.viewMutex);
                figures[i].status = v->ui.status;
            }
            HDIB shot = orb::CaptureWindowPicture(w);
            const std::string path = out + "/view" + std::to_string(i) + ".jpg";
            if (WriteJpeg(shot, path) && report)
                std::printf("  %s  (%s)\n", path.c_str(), names[i].c_str());
            orb::DestroyDIB(shot);
        }
        HDIB screen = orb::CaptureWindowPicture(frame);
        if (WriteJpeg(screen, out + "/screen.jpg") && report) std::printf("  %s/screen.jpg  (the whole window)\n", out.c_str());
        orb::DestroyDIB(screen);
    };
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    auto lastTaken = start;
    bool steered = false;
    FaultInjector injector;
    long peakKb = ResidentKilobytes(), settledKb = 0;
    int lastSecond = 0;
    while (orb::IsWindow(frame) &&
           (seconds == 0 ? desktop : std::chrono::steady_clock::now() < start + std::chrono::seconds(seconds))) {
        orb::PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (opt.steer && !steered && std::chrono::steady_clock::now() > start + std::chrono::milliseconds(seconds * 500)) {
            steered = true;
            Steer(frame);
        }
        const int second = static_cast<int>(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (second != lastSecond) {
            lastSecond = second;
            if (opt.faults) injector.Tick(cameras, ports);
            const long kb = ResidentKilobytes();
            peakKb = std::max(peakKb, kb);
            if (seconds > 0 && second == std::max(5, seconds / 10)) settledKb = kb;  // after the start-up
        }
        if (desktop && std::chrono::steady_clock::now() - lastTaken >= std::chrono::seconds(1) && orb::IsWindow(frame)) {
            takeViews(false);
            lastTaken = std::chrono::steady_clock::now();
        }
    }
    if (opt.screenshot.size() && desktop && orb::IsWindow(frame)) {
        orb::PumpMessages();
        const std::string cmd = "import -window root -depth 8 '" + opt.screenshot + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "orbiscope-demo: the screenshot failed (ImageMagick's import)\n");
    }
    const long endKb = ResidentKilobytes();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuStart;
    if (orb::IsWindow(frame)) {
        takeViews(true);
        orb::DestroyWindow(frame);
    }
    orb::PumpMessages();
    for (auto& c : cameras) c->Stop();

    // The summary: what went out of the cameras and what the views made of it.
    std::ofstream summary(out + "/summary.txt");
    auto both = [&](const std::string& line) {
        std::printf("%s\n", line.c_str());
        summary << line << "\n";
    };
    char line[256];
    std::snprintf(line, sizeof line, "%-14s %8s %8s %8s %8s %12s", "camera", "sent", "shown", "dropped", "recorded",
                  "connections");
    both(line);
    int sent = 0, shown = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const int s = cameras[i]->PicturesSent();
        sent += s;
        shown += figures[i].shown;
        std::snprintf(line, sizeof line, "%-14s %8d %8d %8d %8d %12d", names[i].c_str(), s, figures[i].shown,
                      s > figures[i].shown ? s - figures[i].shown : 0, figures[i].recorded, cameras[i]->Connections());
        both(line);
        if (!figures[i].status.empty()) both("  status: " + figures[i].status);
    }
    long long recordingBytes = 0;
    int recordingFiles = 0;
    if (fs::exists(out + "/RECVAULT"))
        for (const auto& e : fs::recursive_directory_iterator(out + "/RECVAULT", ec))
            if (e.is_regular_file()) {
                ++recordingFiles;
                recordingBytes += static_cast<long long>(e.file_size());
                both("recording: " + e.path().string() + " (" + std::to_string(e.file_size()) + " bytes)");
            }
    std::snprintf(line, sizeof line, "total: %d pictures sent, %d shown, %d recording file(s), %lld bytes recorded",
                  sent, shown, recordingFiles, recordingBytes);
    both(line);
    std::snprintf(line, sizeof line,
                  "rate: %.1f pictures/s shown over %.1f s (%.3f of those sent), %.2f ms CPU per shown picture "
                  "(cameras and library together)",
                  wall > 0 ? shown / wall : 0.0, wall, sent > 0 ? static_cast<double>(shown) / sent : 0.0,
                  shown > 0 ? cpu * 1000.0 / shown : 0.0);
    both(line);
    // Where the library's CPU time went, per shown picture, and how long a picture took from
    // its last byte to the view's picture (beside its decoding alone).
    {
        int64_t cpu[orb::kStageCount] = {}, decodeWall = 0, latencySum = 0, latencyMax = 0, latencyCount = 0;
        for (const ViewFigures& f : figures) {
            for (int k = 0; k < orb::kStageCount; ++k) cpu[k] += f.cpu[k];
            decodeWall += f.decodeWall;
            latencySum += f.latencySum;
            latencyMax = std::max(latencyMax, f.latencyMax);
            latencyCount += f.latencyCount;
        }
        static const char* const kStageNames[orb::kStageCount] = {"receive", "decode", "motion", "dewarp", "paint", "record"};
        std::string split = "CPU per shown picture (ms):";
        int64_t total = 0;
        for (int k = 0; k < orb::kStageCount; ++k) {
            total += cpu[k];
            std::snprintf(line, sizeof line, " %s %.3f,", kStageNames[k], shown > 0 ? cpu[k] / 1e6 / shown : 0.0);
            split += line;
        }
        std::snprintf(line, sizeof line, " library total %.3f", shown > 0 ? total / 1e6 / shown : 0.0);
        both(split + line);
        std::snprintf(line, sizeof line,
                      "latency: %.2f ms on average from the last byte to the view updated (at most %.2f ms); "
                      "decoding alone %.2f ms",
                      latencyCount > 0 ? latencySum / 1e6 / latencyCount : 0.0, latencyMax / 1e6,
                      shown > 0 ? decodeWall / 1e6 / shown : 0.0);
        both(line);
    }
    long long playable = 0;
    const int unplayable = UnplayableRecordings(out + "/RECVAULT", playable);
    std::snprintf(line, sizeof line, "recordings: %lld frames play back, %d file(s) unplayable", playable, unplayable);
    both(line);
    int reconnections = 0;
    for (auto& c : cameras) reconnections += std::max(0, c->Connections() - 1);
    std::snprintf(line, sizeof line, "memory: %ld KB resident after start-up, %ld KB at the end, %ld KB at most; %d reconnections",
                  settledKb, endKb, peakKb, reconnections);
    both(line);
    if (opt.faults) {
        std::string faults = "faults injected:";
        for (int k = 0; k < FaultInjector::kKinds; ++k)
            faults += std::string(" ") + FaultInjector::kNames[k] + " " + std::to_string(injector.counts[k]) + ",";
        faults.pop_back();
        both(faults);
    }
    if (unplayable > 0) {
        std::fprintf(stderr, "orbiscope-demo: %d recording file(s) do not play\n", unplayable);
        return 1;
    }
    if (shown == 0) {
        std::fprintf(stderr, "orbiscope-demo: no picture reached a view\n");
        return 1;
    }
    return 0;
}
