// The demo host: four simulated panoramic cameras (fisheye, mirror, annular and 180-degree
// lenses) served by the fake camera program at 127.0.0.1, opened the way a host opens the
// shipped library: its exports and the headers under include/ only. Config.ure comes from the
// fake cameras; then OrbiscopeInit, RunOrbiscope. The views stream live, dewarp and record.
// With a display the views show in a window; without one (or with --headless) the demo runs
// for a while and writes what every view showed, the recordings, a summary and a page of
// results (index.html) into the output folder (default "out").
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "orbiscope.h"
#include "orbiscope_host.h"
#include "motion_events.h"
#include "report_page.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kLanguageFile = "Halo360Web_003906.r";
constexpr const char* kStageNames[ORB_STAGE_COUNT] = {"receive", "decode", "motion", "dewarp", "paint", "record"};
// The fake camera program serves the lenses in this order.
constexpr const char* kLensNames[4] = {"Fisheye", "Mirror", "Annular", "180 degrees"};

struct Options {
    std::string out = "out";
    int seconds = -1;  // -1: 8 s headless, until the window closes on a desktop
    bool headless = false;
    int size = 640;    // picture width; height is 3/4 of it
    int fps = 15;
    int cameras = 4;
    int views = 0;            // the views of the window; 0: one a camera (the others are chosen into them)
    bool faults = false;      // inject camera faults at random (a soak run)
    bool motion = true;       // run every camera's motion detector (recording follows motion)
    bool steer = false;       // half-way, click the first view and press the left arrow key
    bool watch = false;       // print every move of the first view's windows (mouse steering)
    std::string screenshot;   // on a desktop: a picture of the screen before closing (ImageMagick)
    std::string cameraFaults; // each camera's fault (orbiscope-fakecam --camera-faults)
    std::string rtsp;         // the cameras stream over RTSP with this codec (h264, h265, mjpeg)
};

int Usage() {
    std::fprintf(stderr,
                 "usage: orbiscope-demo [OUTPUT-FOLDER] [--seconds N] [--headless] [--cameras 1-32] [--views N] [--width W]\n"
                 "                      [--fps N] [--steer] [--watch] [--screenshot FILE] [--faults] [--no-motion]\n"
                 "                      [--rtsp [h264|h265|mjpeg]] [--camera-faults LIST]\n");
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
        } else if (a == "--views") {
            if (!value(o.views) || o.views < 1 || o.views > 32) return false;
        } else if (a == "--faults") {
            o.faults = true;
        } else if (a == "--motion") {
            o.motion = true;
        } else if (a == "--no-motion") {
            o.motion = false;
        } else if (a == "--steer") {
            o.steer = true;
        } else if (a == "--watch") {
            o.watch = true;
        } else if (a == "--camera-faults" && i + 1 < argc) {
            o.cameraFaults = argv[++i];
        } else if (a == "--screenshot" && i + 1 < argc) {
            o.screenshot = argv[++i];
        } else if (a == "--rtsp") {
            o.rtsp = "h264";
            if (i + 1 < argc && (std::string(argv[i + 1]) == "h264" || std::string(argv[i + 1]) == "h265" ||
                                 std::string(argv[i + 1]) == "mjpeg"))
                o.rtsp = argv[++i];
        } else if (a == "--headless") {
            o.headless = true;
        } else if (!a.empty() && a[0] != '-') {
            o.out = a;
        } else {
            return false;
        }
    }
    if (o.views == 0 || o.views > o.cameras) o.views = o.cameras;
    return true;
}

std::string ProgramFolder() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = 0;
    return fs::path(buf).parent_path().string();
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
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

bool SaveWindowPicture(void* window, const std::string& path) {
    HDIB picture = OrbiscopeWindowPicture(window);
    const bool ok = picture && OrbiscopeSavePictureJpeg(picture, path.c_str()) == 1;
    OrbiscopeFreePicture(picture);
    return ok;
}

// Where a host reaches a simulated camera.
std::string CameraUrl(const Options& o, int port) {
    return (o.rtsp.empty() ? "http://127.0.0.1:" : "rtsp://127.0.0.1:") + std::to_string(port) + (o.rtsp.empty() ? "/" : "/live");
}

// Pictures in the room's twelve-second loop: fifteen a second (the cameras send them in real
// time, at any rate), as far as the four loops fit in about 400 MB (a JPEG of the room takes
// some 0.15 bytes a pixel); beyond that fewer, each shown for longer. Over RTSP the loop is
// encoded once and sent picture by picture: one for each picture the camera sends.
int LoopFrames(const Options& o, int width, int height) {
    const double fit = 400e6 / (4 * 0.15 * width * height);
    return std::max(24, std::min(o.rtsp.empty() ? 15 * 12 : o.fps * 12, static_cast<int>(fit)));
}

// The cameras: the fake camera program, one port a camera, its Config.ure written for us.
struct Cameras {
    pid_t pid = -1;
    std::vector<int> ports;
    std::string log;  // what the program reports when it stops
    std::string cache, hook;  // where the rendered loops are kept; the motion-event library

    bool Start(const Options& o, const std::string& config, int width, int height) {
        const std::string program = ProgramFolder() + "/orbiscope-fakecam";
        std::vector<std::string> args = {program, "--cameras", std::to_string(o.cameras), "--config", config,
                                         "--size", std::to_string(width) + "x" + std::to_string(height),
                                         "--fps", std::to_string(o.fps), "--user", "demo", "--password", "orbiscope",
                                         "--frames", std::to_string(LoopFrames(o, width, height)), "--cache", cache,
                                         "--with-parent"};
        // Motion detection with the mask over the clock, and the events to the demo's library.
        if (o.motion) args.insert(args.end(), {"--motion", "--hook", hook});
        if (o.faults) args.push_back("--random-faults");
        if (!o.cameraFaults.empty()) args.insert(args.end(), {"--camera-faults", o.cameraFaults});
        if (!o.rtsp.empty()) args.insert(args.end(), {"--rtsp", o.rtsp, "--auth", "digest"});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            pid = -1;
            return false;
        }
        FILE* in = fdopen(fds[0], "r");
        for (int port = 0; in && static_cast<int>(ports.size()) < o.cameras && std::fscanf(in, "%d", &port) == 1;)
            ports.push_back(port);
        if (in) std::fclose(in);
        return static_cast<int>(ports.size()) == o.cameras;
    }
    // Stops the program; its figures per port: pictures sent and connections.
    void Stop(std::vector<int>& sent, std::vector<int>& connections, std::string& faults) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
        sent.assign(ports.size(), 0);
        connections.assign(ports.size(), 0);
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            int port = 0, c = 0, s = 0;
            if (std::sscanf(line.c_str(), "orbiscope-fakecam: port %d: %d connections, %d pictures", &port, &c, &s) == 3) {
                const auto it = std::find(ports.begin(), ports.end(), port);
                if (it != ports.end()) sent[it - ports.begin()] = s, connections[it - ports.begin()] = c;
            } else if (line.rfind("orbiscope-fakecam: faults injected:", 0) == 0) {
                faults = line.substr(std::string("orbiscope-fakecam: ").size());
            }
        }
    }
};

// The user's part: a click on the first view makes it current, the left arrow pans it.
void Steer() {
    void* w = OrbiscopeViewWindow(0);
    PanoView* v = OrbiscopeViewOf(w);
    if (!v) return;
    double before[6] = {}, after = 0;
    for (int k = 0; k < 6; ++k) OrbiscopeViewPosition(v, k, &before[k], nullptr, nullptr);
    OrbiscopeSendMessage(w, ORB_WM_LBUTTONDOWN, 0, 0);
    OrbiscopeSendMessage(w, ORB_WM_KEYDOWN, 37, 0);  // the left arrow
    OrbiscopePumpMessages();
    for (int k = 0; k < 6; ++k)
        if (OrbiscopeViewPosition(v, k, &after, nullptr, nullptr) && after != before[k])
            std::printf("steer: view 0, window %d panned from %.1f to %.1f degrees\n", k, before[k], after);
}

// Prints the first view's windows that moved since the last call (pan and tilt, degrees).
void WatchWindows() {
    static double last[6][2];
    static bool known = false;
    PanoView* v = OrbiscopeViewOf(OrbiscopeViewWindow(0));
    if (!v) return;
    for (int k = 0; k < 6; ++k) {
        double pan = 0, tilt = 0;
        if (!OrbiscopeViewPosition(v, k, &pan, &tilt, nullptr)) continue;
        if (known && (std::fabs(pan - last[k][0]) > 0.05 || std::fabs(tilt - last[k][1]) > 0.05)) {
            std::printf("watch: window %d pan %.1f -> %.1f tilt %.1f -> %.1f\n", k, last[k][0], pan, last[k][1], tilt);
            std::fflush(stdout);
        }
        last[k][0] = pan;
        last[k][1] = tilt;
    }
    known = true;
}

struct ViewFigures {
    OrbViewFigures f{};
    int32_t paints = 0;         // after the start-up
    int64_t longestGapNs = 0;   // between two paints of the view
};

// Plays every recording in the folder to its last indexed frame; the files that fail.
int UnplayableRecordings(const std::string& folder, long long& frames) {
    int bad = 0;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return 0;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.path().extension() != ".P360" && e.path().extension() != ".mkv") continue;
        int32_t decodable = 0;
        const int32_t n = OrbiscopeRecordingFrames(e.path().c_str(), &decodable);
        if (n < 0 || decodable < n) ++bad;
        if (decodable > 0) frames += decodable;
    }
    return bad;
}

// Everything the library keeps (Config.ure, settings, recordings) stays in the output
// folder: the host's settings file is written before the library starts its work.
bool PrepareHome(const Options& opt, const std::string& out, const std::string& home) {
    std::error_code ec;
    fs::create_directories(home, ec);
    if (ec) {
        std::fprintf(stderr, "orbiscope-demo: cannot create %s: %s\n", home.c_str(), ec.message().c_str());
        return false;
    }
    fs::copy_file(ProgramFolder() + "/" + kLanguageFile, home + "/" + kLanguageFile,
                  fs::copy_options::overwrite_existing, ec);
    if (ec) {
        std::fprintf(stderr, "orbiscope-demo: the text resource file %s is missing beside the program\n", kLanguageFile);
        return false;
    }
    setenv("ORBISCOPE_HOME", home.c_str(), 1);
    setenv("ORBISCOPE_SYSTEM_DIR", home.c_str(), 1);
    if (opt.headless) setenv("ORBISCOPE_HEADLESS", "1", 1);
    // More than 24 views need two screens side by side, which the host names.
    // The motion-event library the records name lies beside the program.
    return OrbiscopeWriteSetting("DVR", "StorageRoots", out.c_str()) == 1 &&
           OrbiscopeWriteSetting("Orbiscope", "HookFolder", ProgramFolder().c_str()) == 1 &&
           OrbiscopeWriteSetting("Panorama", "MultiScreen", opt.views > 24 ? "1" : "2") == 1;
}

// Serves the window layer until every view has been painted `times` more times (the
// desktop's drawing can lag behind the pictures on a slow machine); at most 20 seconds.
void WaitForPaints(size_t views, int times) {
    constexpr int kPaint = 4;  // the paint stage of OrbViewFigures
    std::vector<int64_t> start(views, 0), seen(views, 0);
    std::vector<int> paints(views, 0);
    for (size_t i = 0; i < views; ++i) {
        OrbViewFigures f{};
        OrbiscopeViewFigures(OrbiscopeViewOf(OrbiscopeViewWindow(static_cast<int32_t>(i))), &f);
        start[i] = seen[i] = f.stageCpuNs[kPaint];
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (bool done = false; !done && std::chrono::steady_clock::now() < until;) {
        OrbiscopePumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        done = true;
        for (size_t i = 0; i < views; ++i) {
            OrbViewFigures f{};
            if (!OrbiscopeViewFigures(OrbiscopeViewOf(OrbiscopeViewWindow(static_cast<int32_t>(i))), &f)) continue;
            if (f.stageCpuNs[kPaint] != seen[i]) seen[i] = f.stageCpuNs[kPaint], ++paints[i];
            done = done && paints[i] >= times;
        }
    }
}

// What all views have done by now, for the page's plots.
demo::RunSample SampleViews(size_t views, double seconds) {
    demo::RunSample s;
    s.seconds = seconds;
    for (size_t i = 0; i < views; ++i) {
        OrbViewFigures f{};
        if (!OrbiscopeViewFigures(OrbiscopeViewOf(OrbiscopeViewWindow(static_cast<int32_t>(i))), &f)) continue;
        s.shown += f.picturesShown;
        for (int k = 0; k < demo::kStages; ++k) s.stageCpuNs[k] += f.stageCpuNs[k];
    }
    return s;
}

struct RunFigures {
    double wall = 0, cpu = 0;
    long settledKb = 0, endKb = 0, peakKb = 0;
};

// Serves the views until the time is up (or, on a desktop, the user closes the window),
// then takes the views' pictures and figures and closes the window.
RunFigures RunViews(const Options& opt, void* frame, const std::string& out, std::vector<ViewFigures>& figures,
                    const std::vector<std::string>& names, demo::MotionEvents& events, std::vector<demo::RunSample>& samples) {
    const bool desktop = OrbiscopeHasDisplay() == 1;
    const int seconds = opt.seconds >= 0 ? opt.seconds : desktop ? 0 : 8;
    std::printf("%s", desktop ? "views open on the desktop; close the window to end\n" : "views running headless\n");
    auto takeViews = [&](bool report) {
        if (report) std::printf("views:\n");
        for (size_t i = 0; i < figures.size(); ++i) {
            void* w = OrbiscopeViewWindow(static_cast<int32_t>(i));
            if (!OrbiscopeViewFigures(OrbiscopeViewOf(w), &figures[i].f)) continue;
            OrbiscopeViewPaints(OrbiscopeViewOf(w), &figures[i].paints, &figures[i].longestGapNs, 0);
            const std::string path = out + "/view" + std::to_string(i) + ".jpg";
            if (SaveWindowPicture(w, path) && report) std::printf("  %s  (%s)\n", path.c_str(), names[i].c_str());
        }
        if (SaveWindowPicture(frame, out + "/screen.jpg") && report)
            std::printf("  %s/screen.jpg  (the whole window)\n", out.c_str());
    };
    RunFigures r;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    auto lastTaken = start;
    bool steered = false;
    r.peakKb = ResidentKilobytes();
    int lastSecond = 0;
    samples.push_back({});
    events.StartRun();
    while (OrbiscopeIsWindow(frame) &&
           (seconds == 0 ? desktop : std::chrono::steady_clock::now() < start + std::chrono::seconds(seconds))) {
        OrbiscopePumpMessages();
        if (opt.watch) WatchWindows();
        events.Poll(out);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto now = std::chrono::steady_clock::now();
        if (opt.steer && !steered && now > start + std::chrono::milliseconds(seconds * 500)) {
            steered = true;
            Steer();
        }
        const int second = static_cast<int>(std::chrono::duration<double>(now - start).count());
        if (second != lastSecond) {
            lastSecond = second;
            const long kb = ResidentKilobytes();
            r.peakKb = std::max(r.peakKb, kb);
            if (second == std::max(5, seconds / 10)) r.settledKb = kb;  // after the start-up
            samples.push_back(SampleViews(figures.size(), std::chrono::duration<double>(now - start).count()));
            // The gaps between paints count from here: the views have started.
            if (second == 3)
                for (size_t i = 0; i < figures.size(); ++i)
                    OrbiscopeViewPaints(OrbiscopeViewOf(OrbiscopeViewWindow(static_cast<int32_t>(i))), nullptr, nullptr, 1);
        }
        if (desktop && now - lastTaken >= std::chrono::seconds(1) && OrbiscopeIsWindow(frame)) {
            takeViews(false);
            lastTaken = now;
        }
    }
    if (opt.screenshot.size() && desktop && OrbiscopeIsWindow(frame)) {
        WaitForPaints(figures.size(), 8);
        const std::string cmd = "import -window root -depth 8 '" + opt.screenshot + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "orbiscope-demo: the screenshot failed (ImageMagick's import)\n");
    }
    r.endKb = ResidentKilobytes();
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpu = CpuSeconds() - cpuStart;
    if (OrbiscopeIsWindow(frame)) {
        takeViews(true);
        // Ended as a person ends it, through Exit: the views' records are saved.
        OrbiscopeSendMessage(frame, ORB_WM_COMMAND, ORB_CMD_CLOSE, 0);
        for (int i = 0; i < 2000 && OrbiscopeIsWindow(frame); ++i) {
            OrbiscopePumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (OrbiscopeIsWindow(frame)) OrbiscopeDestroyWindow(frame);
    }
    OrbiscopePumpMessages();
    return r;
}

struct Summary {
    std::ofstream file;
    char line[512];
    std::vector<std::string> lines;
    void Say(const std::string& text) {
        std::printf("%s\n", text.c_str());
        file << text << "\n";
        lines.push_back(text);
    }
    template <typename... A>
    void Sayf(const char* format, A... args) {
        std::snprintf(line, sizeof line, format, args...);
        Say(line);
    }
};

// What a view decodes of its camera's pictures, as its figures say: the reduction its maps
// chose and why (the source pixels one view pixel covers where its lens is densest).
std::string DecodeText(const OrbViewFigures& f) {
    if (f.decodeScale <= 0) return "nothing decoded yet";
    char text[160];
    std::snprintf(text, sizeof text, "%s %d x %d of %d x %d (%.1f source pixels a view pixel where the lens is densest)",
                  f.decodeScale > 1 ? ("1/" + std::to_string(f.decodeScale)).c_str() : "whole,", f.decodedWidth,
                  f.decodedHeight, f.pictureWidth, f.pictureHeight, f.density / 100.0);
    return text;
}

// The library's CPU time per shown picture by stage, and how long a picture took from its
// last byte to the view's picture (beside its decoding alone).
void SayStages(Summary& s, const std::vector<ViewFigures>& figures, int shown) {
    int64_t cpu[ORB_STAGE_COUNT] = {}, decodeWall = 0, latencySum = 0, latencyMax = 0, latencyCount = 0;
    for (const ViewFigures& v : figures) {
        for (int k = 0; k < ORB_STAGE_COUNT; ++k) cpu[k] += v.f.stageCpuNs[k];
        decodeWall += v.f.decodeWallNs;
        latencySum += v.f.latencySumNs;
        latencyMax = std::max(latencyMax, v.f.latencyMaxNs);
        latencyCount += v.f.latencyCount;
    }
    std::string split = "CPU per shown picture (ms):";
    int64_t total = 0;
    char part[64];
    for (int k = 0; k < ORB_STAGE_COUNT; ++k) {
        total += cpu[k];
        std::snprintf(part, sizeof part, " %s %.3f,", kStageNames[k], shown > 0 ? cpu[k] / 1e6 / shown : 0.0);
        split += part;
    }
    std::snprintf(part, sizeof part, " library total %.3f", shown > 0 ? total / 1e6 / shown : 0.0);
    s.Say(split + part);
    s.Sayf("latency: %.2f ms on average from the last byte to the view updated (at most %.2f ms); decoding alone %.2f ms",
           latencyCount > 0 ? latencySum / 1e6 / latencyCount : 0.0, latencyMax / 1e6,
           shown > 0 ? decodeWall / 1e6 / shown : 0.0);
}

// What went out of the cameras and what the views made of it. The exit status: 1 when a
// recording does not play or no picture reached a view.
int Summarise(const Options& opt, const std::string& out, const std::vector<ViewFigures>& figures,
              const std::vector<std::string>& names, const std::vector<int>& sentBy, const std::vector<int>& connections,
              const std::string& faults, const RunFigures& run, const demo::MotionEvents& events,
              std::vector<std::string>& lines) {
    Summary s{std::ofstream(out + "/summary.txt"), {}, {}};
    s.Sayf("%-14s %8s %8s %8s %8s %12s %8s", "camera", "sent", "shown", "dropped", "recorded", "connections", "events");
    int sent = 0, shown = 0, reconnections = 0;
    for (size_t i = 0; i < figures.size(); ++i) {
        const OrbViewFigures& f = figures[i].f;
        sent += sentBy[i];
        shown += f.picturesShown;
        reconnections += std::max(0, connections[i] - 1);
        s.Sayf("%-14s %8d %8d %8d %8d %12d %8s", names[i].c_str(), sentBy[i], f.picturesShown,
               std::max(0, sentBy[i] - f.picturesShown), f.picturesRecorded, connections[i],
               opt.motion ? std::to_string(events.EventsOf(static_cast<int>(i))).c_str() : "off");
        s.Say("  decoded: " + DecodeText(f));
        if (f.status[0]) s.Say(std::string("  status: ") + f.status);
    }
    long long recordingBytes = 0;
    int recordingFiles = 0;
    std::error_code ec;
    if (fs::exists(out + "/RECVAULT"))
        for (const auto& e : fs::recursive_directory_iterator(out + "/RECVAULT", ec))
            if (e.is_regular_file()) {
                ++recordingFiles;
                recordingBytes += static_cast<long long>(e.file_size());
                s.Say("recording: " + e.path().string() + " (" + std::to_string(e.file_size()) + " bytes)");
            }
    s.Sayf("total: %d pictures sent, %d shown, %d recording file(s), %lld bytes recorded", sent, shown, recordingFiles,
           recordingBytes);
    s.Sayf("rate: %.1f pictures/s shown over %.1f s (%.3f of those sent), %.2f ms CPU per shown picture (library)",
           run.wall > 0 ? shown / run.wall : 0.0, run.wall, sent > 0 ? static_cast<double>(shown) / sent : 0.0,
           shown > 0 ? run.cpu * 1000.0 / shown : 0.0);
    SayStages(s, figures, shown);
    std::string gaps;
    for (size_t i = 0; i < figures.size(); ++i)
        if (figures[i].paints > 1) {
            char one[96];
            std::snprintf(one, sizeof one, "%s%s %.0f ms (%d paints)", gaps.empty() ? "" : ", ", names[i].c_str(),
                          figures[i].longestGapNs / 1e6, figures[i].paints);
            gaps += one;
        }
    if (!gaps.empty()) s.Say("longest gap between two paints after the start-up: " + gaps);
    long long playable = 0;
    const int unplayable = UnplayableRecordings(out + "/RECVAULT", playable);
    s.Sayf("recordings: %lld frames play back, %d file(s) unplayable", playable, unplayable);
    s.Sayf("memory: %ld KB resident after start-up, %ld KB at the end, %ld KB at most; %d reconnections", run.settledKb,
           run.endKb, run.peakKb, reconnections);
    if (opt.faults) s.Say(faults.empty() ? "faults injected: none reported" : faults);
    if (opt.motion)
        s.Sayf("motion: %d event(s) (a pause of 1.5 s ends one); the page: %s", static_cast<int>(events.Events().size()),
               (out + "/index.html").c_str());
    lines = s.lines;
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

// The page of results beside the summary.
void WriteResults(const Options& opt, const std::string& out, const std::vector<ViewFigures>& figures,
                  const std::vector<std::string>& names, const std::vector<int>& ports, const std::vector<int>& sent,
                  const std::vector<int>& connections, const demo::MotionEvents& events,
                  std::vector<demo::RunSample> samples, std::vector<std::string> lines) {
    demo::Page page;
    page.title = "Orbiscope demo: results";
    const std::time_t now = std::time(nullptr);
    char started[64];
    std::strftime(started, sizeof started, "%Y-%m-%d %H:%M", std::localtime(&now));
    page.started = started;
    for (size_t i = 0; i < figures.size(); ++i) {
        const std::string view = "view" + std::to_string(i) + ".jpg";
        if (fs::exists(out + "/" + view)) page.views.push_back(view);
        const OrbViewFigures& f = figures[i].f;
        demo::PageCamera c;
        c.name = names[i];
        c.url = CameraUrl(opt, ports[i]);
        c.status = f.status;
        c.sent = sent[i], c.shown = f.picturesShown, c.dropped = std::max(0, sent[i] - f.picturesShown);
        c.recorded = f.picturesRecorded, c.connections = connections[i];
        c.motion = opt.motion && events.IsOpen();
        c.events = events.EventsOf(static_cast<int>(i));
        c.motionPictures = events.PicturesOf(static_cast<int>(i));
        page.cameras.push_back(c);
    }
    if (fs::exists(out + "/screen.jpg")) page.window = "screen.jpg";
    page.samples = std::move(samples);
    page.events = events.Events();
    page.summary = std::move(lines);
    if (!demo::WritePage(out + "/index.html", page))
        std::fprintf(stderr, "orbiscope-demo: cannot write %s/index.html\n", out.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // a log file shows each line as it happens
    Options opt;
    if (!ParseArgs(argc, argv, opt)) return Usage();
    std::error_code ec;
    fs::create_directories(opt.out, ec);
    const std::string out = fs::absolute(opt.out).lexically_normal().string();
    const std::string home = out + "/home";
    if (!PrepareHome(opt, out, home)) return 1;

    // The cameras: the four lenses in turn, each camera on its own port with a password.
    const int width = opt.size & ~15, height = width * 3 / 4;
    std::printf("simulated cameras (%d x %d, %d pictures/s):\n", width, height, opt.fps);
    Cameras cameras;
    cameras.log = out + "/cameras.txt";
    // The rendered room is kept in the output folder, or where $ORBISCOPE_SCENE_CACHE says
    // (the tests share one).
    const char* sharedCache = std::getenv("ORBISCOPE_SCENE_CACHE");
    cameras.cache = sharedCache && *sharedCache ? sharedCache : out + "/scene";
    cameras.hook = "orbiscope-demo-events:OrbiscopeDemoMotion";
    if (!fs::exists(cameras.cache + "/" + std::to_string(width) + "x" + std::to_string(height)))
        std::printf("  (rendering the room for this size once; kept in %s)\n", cameras.cache.c_str());
    if (!cameras.Start(opt, home + "/Config.ure", width, height)) {
        std::fprintf(stderr, "orbiscope-demo: the simulated cameras did not start (see %s)\n", cameras.log.c_str());
        return 1;
    }
    std::vector<std::string> names;
    for (int i = 0; i < opt.cameras; ++i) {
        const std::string lens = kLensNames[i % 4];
        names.push_back(opt.cameras > 4 ? lens + " " + std::to_string(i + 1) : lens);
        std::printf("  %-14s %s\n", names.back().c_str(), CameraUrl(opt, cameras.ports[static_cast<size_t>(i)]).c_str());
    }

    // The host's part: start the library again on this folder's settings and open the views.
    OrbiscopeInit();
    EnableDVRRecording(1);
    void* mainWindow = nullptr;
    const int32_t twoScreens[8] = {0, 0, 1920, 1080, 1920, 0, 3840, 1080};
    void* frame = RunOrbiscope(nullptr, 0, opt.views, &mainWindow, 0, nullptr, 0,
                               opt.views > 24 ? twoScreens : nullptr);
    if (!frame) {
        std::fprintf(stderr, "orbiscope-demo: the library opened no window\n");
        return 1;
    }
    std::vector<ViewFigures> figures(static_cast<size_t>(opt.cameras));
    demo::MotionEvents events;
    if (opt.motion && !events.Open(ProgramFolder() + "/liborbiscope-demo-events.so", opt.cameras))
        std::fprintf(stderr, "orbiscope-demo: the motion-event library is missing beside the program: no events counted\n");
    std::vector<demo::RunSample> samples;
    const RunFigures run = RunViews(opt, frame, out, figures, names, events, samples);
    events.Poll(out);
    std::vector<int> sent, connections;
    std::string faults;
    cameras.Stop(sent, connections, faults);
    std::vector<std::string> lines;
    const int status = Summarise(opt, out, figures, names, sent, connections, faults, run, events, lines);
    WriteResults(opt, out, figures, names, cameras.ports, sent, connections, events, std::move(samples), std::move(lines));
    return status;
}
