// A camera on 127.0.0.1 for trying the client by hand: it serves the test scene (or JPEG
// files) the way a camera model does, checks Basic credentials, answers set-up and
// pan/tilt/zoom commands, and can misbehave on request.
#include <sys/prctl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/fake_camera.h"
#include "common/hostile_picture.h"
#include "common/program_info.h"
#include "common/simulated_cameras.h"
#include "config/camera_record.h"
#include "camera/catalogue.h"
#include "orbiscope-fakecam/rtsp_camera.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void Usage(FILE* out = stderr) {
    std::fprintf(out,
                 "usage: orbiscope-fakecam [options]\n"
                 "A camera on 127.0.0.1 for trying the client: serves a test scene (or JPEG files) as\n"
                 "a Motion-JPEG stream, checks Basic credentials and prints the port it listens on.\n"
                 "  --port N         listen port on 127.0.0.1 (0 = any free port, printed)\n"
                 "  --answer push|length|close   how pictures are framed (default push)\n"
                 "  --boundary TEXT  the push stream's boundary (default --myboundary)\n"
                 "  --size WxH       picture size of the test scene (default 640x480)\n"
                 "  --fps N          pictures per second (default 25)\n"
                 "  --user NAME --password TEXT   require these Basic credentials\n"
                 "  --fault none|close|stall|drip|garbage|boundary|refuse|error|short|reset|huge|silent|trickle\n"
                 "  --picture FILE   serve this JPEG file (repeat for several, served in turn)\n"
                 "  --pictures numbered|exif|tiny|huge   generated pictures, different every frame\n"
                 "  --framing LIST   comma-separated: split[:MS] chunked[:N] lower noblank keepalive\n"
                 "                   nolength nofirst dashes extra splitheader http11\n"
                 "  --limit N        end a push stream after N pictures\n"
                 "  --hostile        serve an attacker's picture: a few hundred bytes declaring 16384 x 16384\n"
                 "  --seconds N      stop after N seconds (default: until interrupted)\n"
                 "  --cameras N      N simulated panoramic cameras (fisheye, mirror, annular, 180-degree\n"
                 "                   in turn), one port each, printed one a line\n"
                 "  --config FILE    write the Config.ure a host needs for these cameras (ids 1..N)\n"
                 "  --frames N       pictures of a simulated camera's twelve-second loop (default 60),\n"
                 "                   sent so that the loop takes twelve seconds at any --fps (over RTSP\n"
                 "                   they are encoded once and sent in turn: 12 x fps of them take twelve)\n"
                 "  --cache FOLDER   keep the rendered loops there (by picture size) and read them back\n"
                 "                   (default: $ORBISCOPE_SCENE_CACHE when it is set)\n"
                 "  --motion         the records switch motion detection on, with a mask over the clock\n"
                 "  --hook LIB:FUNC  the records call this motion-event library function\n"
                 "  --random-faults  every second one camera misbehaves for a few seconds\n"
                 "  --camera-faults LIST   with --cameras: each camera's fault in turn (the names of\n"
                 "                   --fault), \"+ptz\" after one makes it a pan/tilt/zoom camera\n"
                 "  --rtsp h264|h265|mjpeg|unknown   stream over RTSP (rtsp://127.0.0.1:PORT/live) instead\n"
                 "                   of HTTP; with --user, --auth basic|digest; --path /PATH; --transport\n"
                 "                   tcp|udp for the records of --config; --control reads commands from\n"
                 "                   the standard input (fault none|stall|drop|garbage, stop, start, size WxH,\n"
                 "                   limit N, credentials A P, dump FILE, stats)\n"
                 "  --with-parent    stop when the program that started this one ends\n"
                 "  --help           this text\n"
                 "  --version        the program's version\n");
}

bool ParseFraming(const std::string& list, orbtools::FakeFraming& f) {
    size_t at = 0;
    while (at <= list.size()) {
        const size_t comma = std::min(list.find(',', at), list.size());
        const std::string item = list.substr(at, comma - at);
        const size_t colon = item.find(':');
        const std::string word = item.substr(0, colon);
        const int value = colon == std::string::npos ? -1 : std::atoi(item.c_str() + colon + 1);
        if (word == "split") f.splitDelayMs = value < 0 ? 20 : value;
        else if (word == "chunked") f.chunkBytes = value;
        else if (word == "lower") f.lowerCaseHeaders = true;
        else if (word == "noblank") f.noBlankAfterColon = true;
        else if (word == "keepalive") f.keepAlive = true;
        else if (word == "nolength") f.partLength = false;
        else if (word == "nofirst") f.firstBoundary = false;
        else if (word == "dashes") f.declaredDashes = true;
        else if (word == "extra") f.extraPartHeaders = true;
        else if (word == "splitheader") f.splitPartHeader = true;
        else if (word == "http11") f.http11 = true;
        else if (!word.empty()) return false;
        at = comma + 1;
    }
    return true;
}

bool ParseFault(const std::string& t, orbtools::FakeFault& f) {
    using orbtools::FakeFault;
    static const std::pair<const char*, FakeFault> kNames[] = {
        {"none", FakeFault::None},       {"close", FakeFault::CloseMidPicture}, {"stall", FakeFault::Stall},
        {"drip", FakeFault::Drip},       {"garbage", FakeFault::Garbage},       {"boundary", FakeFault::WrongBoundary},
        {"refuse", FakeFault::Refuse},   {"error", FakeFault::HttpError},       {"short", FakeFault::ShortAnswer},
        {"reset", FakeFault::Reset},     {"huge", FakeFault::HugePicture},      {"silent", FakeFault::Silent},
        {"trickle", FakeFault::Trickle}};
    for (const auto& [name, fault] : kNames)
        if (t == name) {
            f = fault;
            return true;
        }
    return false;
}

// Faults at random, as a soak run wants them: every second one camera starts to misbehave
// for a few seconds (cut pictures, garbage, a stall, a wrong password, a restart).
struct FaultInjector {
    enum Kind { Cut, Garbage, Stall, Password, Restart, Silent, Trickle, kKinds };
    static constexpr const char* kNames[kKinds] = {"cut picture", "garbage", "stall", "wrong password", "restart",
                                                   "silent", "trickle"};
    std::mt19937 random{20261206};
    struct Active {
        size_t camera;
        Kind kind;
        std::chrono::steady_clock::time_point until;
    };
    std::vector<Active> active;
    std::array<int, kKinds> counts{};

    template <typename Camera>
    void Tick(std::vector<std::unique_ptr<Camera>>& cams, const std::vector<int>& ports, const std::string& account,
              const std::string& password) {
        if (cams.empty()) return;
        const auto now = std::chrono::steady_clock::now();
        for (auto it = active.begin(); it != active.end();) {
            if (now < it->until) {
                ++it;
                continue;
            }
            End(*cams[it->camera], account, password);
            it = active.erase(it);
        }
        const size_t camera = random() % cams.size();
        for (const Active& a : active)
            if (a.camera == camera) return;
        const Kind kind = static_cast<Kind>(random() % kKinds);
        Begin(*cams[camera], kind, ports[camera], account, password);
        ++counts[kind];
        active.push_back({camera, kind, now + std::chrono::milliseconds(2000 + random() % 4000)});
    }

    static void End(orbtools::FakeCamera& c, const std::string& account, const std::string& password) {
        c.SetFault(orbtools::FakeFault::None);
        c.SetCredentials(account, password);
    }
    static void End(orbtools::RtspCamera& c, const std::string& account, const std::string& password) {
        c.SetFault(orbtools::RtspFault::None);
        c.SetCredentials(account, password);
    }
    static void Begin(orbtools::FakeCamera& c, Kind kind, int port, const std::string& account,
                      const std::string& password) {
        switch (kind) {
        case Cut: c.SetFault(orbtools::FakeFault::CloseMidPicture); break;
        case Garbage: c.SetFault(orbtools::FakeFault::Garbage); break;
        case Stall: c.SetFault(orbtools::FakeFault::Stall); break;
        case Silent: c.SetFault(orbtools::FakeFault::Silent); break;
        case Trickle: c.SetFault(orbtools::FakeFault::Trickle); break;
        case Password:
            // Refused from the next connection on, which the cut makes happen now.
            c.SetCredentials(account, password + "-changed");
            c.SetFault(orbtools::FakeFault::Refuse);
            break;
        case Restart:
            c.Stop();
            c.Start(port);
            break;
        default: break;
        }
    }
    // The same faults as an RTSP camera shows them: a dropped client for a cut picture.
    static void Begin(orbtools::RtspCamera& c, Kind kind, int port, const std::string& account,
                      const std::string& password) {
        switch (kind) {
        case Cut: c.SetFault(orbtools::RtspFault::Drop); break;
        case Garbage: c.SetFault(orbtools::RtspFault::Garbage); break;
        case Stall: c.SetFault(orbtools::RtspFault::Stall); break;
        case Password:
            c.SetCredentials(account, password + "-changed");
            c.SetFault(orbtools::RtspFault::Drop);
            break;
        case Restart:
            c.Stop();
            c.Start(port);
            break;
        default: break;
        }
    }
};

// What the command line asks for.
struct Settings {
    orbtools::FakeCameraOptions o;
    int port = 0, seconds = 0, cameras = 0, frames = 60;
    bool motion = false, randomFaults = false;
    std::string configPath, cacheFolder, hookLibrary, hookFunction;
    // RTSP instead of HTTP when rtsp is set.
    bool rtsp = false, control = false;
    orbtools::RtspCameraOptions r;
    int32_t transport = orb::kRtspTcp;
    std::vector<std::vector<uint8_t>> pictures;
    // --camera-faults: the fault of each camera in turn, and whether it is a motorised one.
    std::vector<std::pair<orbtools::FakeFault, bool>> eachCamera;
};

// "none,silent+ptz,trickle": one fault a camera, "+ptz" making it a pan/tilt/zoom camera.
bool ParseCameraFaults(const std::string& list, Settings& s) {
    size_t at = 0;
    while (at <= list.size()) {
        const size_t comma = std::min(list.find(',', at), list.size());
        std::string word = list.substr(at, comma - at);
        const bool ptz = word.size() > 4 && word.compare(word.size() - 4, 4, "+ptz") == 0;
        if (ptz) word.resize(word.size() - 4);
        orbtools::FakeFault f;
        if (!ParseFault(word, f)) return false;
        s.eachCamera.push_back({f, ptz});
        at = comma + 1;
    }
    return true;
}

// The cameras started, their ports and the records a host needs to reach them.
struct Running {
    std::vector<std::unique_ptr<orbtools::FakeCamera>> cameras;
    std::vector<std::unique_ptr<orbtools::RtspCamera>> rtsp;
    std::vector<int> ports;
    std::vector<CameraRecord> records;
};

bool ParseAnswer(const std::string& v, orbtools::FakeAnswer& answer) {
    if (v == "push") answer = orbtools::FakeAnswer::Push;
    else if (v == "length") answer = orbtools::FakeAnswer::Length;
    else if (v == "close") answer = orbtools::FakeAnswer::Close;
    else return false;
    return true;
}

bool ParseGeneratedPictures(const std::string& kind, orbtools::FakeCameraOptions& o) {
    const int w = o.width, h = o.height;
    if (kind == "numbered") o.picture = [w, h](int frame) { return orbtools::NumberedJpeg(w, h, frame); };
    else if (kind == "exif") o.picture = [w, h](int frame) { return orbtools::ExifJpeg(w, h, frame); };
    else if (kind == "tiny") o.picture = [](int frame) { return orbtools::TinyJpeg(frame); };
    else if (kind == "huge") o.picture = [](int frame) { return orbtools::HugeJpeg(frame); };
    else return false;
    return true;
}

// The bytes of a JPEG file, or empty (with a message) when the file is not one.
std::vector<uint8_t> ReadJpegFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) bytes.clear();
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        std::fprintf(stderr, "orbiscope-fakecam: %s is not a JPEG file\n", path.c_str());
        bytes.clear();
    }
    return bytes;
}

// One option with its value; -1 when it was taken, else the exit status.
int TakeValueOption(const std::string& a, const std::string& value, Settings& s) {
    orbtools::FakeCameraOptions& o = s.o;
    if (a == "--port") s.port = std::atoi(value.c_str());
    else if (a == "--answer") return ParseAnswer(value, o.answer) ? -1 : (Usage(), 2);
    else if (a == "--boundary") o.boundary = value;
    else if (a == "--size") {
        if (std::sscanf(value.c_str(), "%dx%d", &o.width, &o.height) != 2 || o.width < 16 || o.height < 16)
            return Usage(), 2;
    } else if (a == "--fps") o.framesPerSecond = std::atoi(value.c_str());
    else if (a == "--user") o.account = value;
    else if (a == "--password") o.password = value;
    else if (a == "--fault") return ParseFault(value, o.fault) ? -1 : (Usage(), 2);
    else if (a == "--picture") {
        std::vector<uint8_t> bytes = ReadJpegFile(value);
        if (bytes.empty()) return 1;
        s.pictures.push_back(std::move(bytes));
    } else if (a == "--pictures") return ParseGeneratedPictures(value, o) ? -1 : (Usage(), 2);
    else if (a == "--framing") return ParseFraming(value, o.framing) ? -1 : (Usage(), 2);
    else if (a == "--limit") o.pictureLimit = std::atoi(value.c_str());
    else if (a == "--seconds") s.seconds = std::atoi(value.c_str());
    else if (a == "--cameras") {
        s.cameras = std::atoi(value.c_str());
        if (s.cameras < 1 || s.cameras > 32) return Usage(), 2;
    } else if (a == "--config") s.configPath = value;
    else if (a == "--frames") s.frames = std::max(1, std::atoi(value.c_str()));
    else if (a == "--cache") s.cacheFolder = value;
    else if (a == "--hook") {
        const size_t colon = value.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == value.size()) return Usage(), 2;
        s.hookLibrary = value.substr(0, colon);
        s.hookFunction = value.substr(colon + 1);
    } else if (a == "--rtsp") {
        s.rtsp = true;
        if (!orbtools::ParseRtspCodec(value, s.r.codec)) return Usage(), 2;
    } else if (a == "--auth") {
        if (value != "basic" && value != "digest") return Usage(), 2;
        s.r.digest = value == "digest";
    } else if (a == "--path") {
        if (value.empty() || value[0] != '/') return Usage(), 2;
        s.r.path = value;
    } else if (a == "--transport") {
        if (value != "tcp" && value != "udp") return Usage(), 2;
        s.transport = value == "udp" ? orb::kRtspUdp : orb::kRtspTcp;
    } else if (a == "--camera-faults") return ParseCameraFaults(value, s) ? -1 : (Usage(), 2);
    return -1;
}

bool TakesValue(const std::string& a) {
    static const char* const kWithValue[] = {"--port", "--answer", "--boundary", "--size", "--fps",
                                             "--user", "--password", "--fault", "--picture", "--pictures",
                                             "--framing", "--limit", "--seconds", "--cameras", "--config",
                                             "--frames", "--cache", "--hook", "--rtsp", "--auth", "--path",
                                             "--transport", "--camera-faults"};
    return std::any_of(std::begin(kWithValue), std::end(kWithValue), [&](const char* w) { return a == w; });
}

// -1 when the command line was read, else the exit status.
int ParseArguments(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (TakesValue(a)) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "orbiscope-fakecam: %s needs a value\n", a.c_str());
                return 2;
            }
            const int status = TakeValueOption(a, argv[++i], s);
            if (status >= 0) return status;
        } else if (a == "--hostile") s.pictures.push_back(orbtools::HostileJpeg());
        else if (a == "--motion") s.motion = true;
        else if (a == "--random-faults") s.randomFaults = true;
        else if (a == "--control") s.control = true;
        else if (a == "--with-parent") prctl(PR_SET_PDEATHSIG, SIGTERM);
        else if (a == "--help" || a == "-h") return Usage(stdout), 0;
        else return Usage(), 2;
    }
    if (!s.pictures.empty())
        s.o.picture = [pictures = s.pictures](int frame) {
            return pictures[static_cast<size_t>(frame) % pictures.size()];
        };
    return -1;
}

// Camera i of a simulated set: its loop and the record that points a host at it.
CameraRecord SimulatedCamera(const Settings& s, const std::shared_ptr<const orbtools::SimulatedCamera>& sim, int i,
                             orbtools::FakeCameraOptions& each) {
    const int offset = i * 7;  // cameras of the same lens do not show the same picture
    // Over HTTP the room's loop runs in real time whatever the camera's rate: picture k goes
    // out k/fps seconds into it. Over RTSP its pictures are encoded once and sent in turn.
    const int64_t n = static_cast<int64_t>(sim->frames.size());
    const int64_t perLoop = s.rtsp ? n : std::lround(std::max(1, s.o.framesPerSecond) * orbtools::room::kLoopSeconds);
    each.picture = [sim, offset, perLoop, n](int frame) {
        return sim->frames[static_cast<size_t>((int64_t{frame} * n / perLoop + offset) % n)];
    };
    CameraRecord r = sim->record;
    orbtools::ChooseRoomViews(r, orbtools::kSimulatedLenses[i % 4]);
    if (s.motion) r.motionOn = 1;
    if (!s.hookLibrary.empty()) {
        r.hookOn = 1;
        orb::SetText(r.hookLibrary, s.hookLibrary.c_str());
        orb::SetText(r.hookFunction, s.hookFunction.c_str());
    }
    if (static_cast<size_t>(i) < s.eachCamera.size()) each.fault = s.eachCamera[static_cast<size_t>(i)].first;
    const std::string name = s.cameras > 4 ? sim->name + " " + std::to_string(i + 1) : sim->name;
    orb::SetText(r.location, ("Simulated " + name).c_str());
    orb::SetText(r.name, ("Simulated " + name).c_str());
    return r;
}

// An RTSP camera serving what the HTTP one would: the same pictures, rate and credentials.
int StartRtspCamera(const Settings& s, const orbtools::FakeCameraOptions& each, int port, Running& run) {
    orbtools::RtspCameraOptions r = s.r;
    r.width = s.o.width;
    r.height = s.o.height;
    r.framesPerSecond = s.o.framesPerSecond;
    r.account = s.o.account;
    r.password = s.o.password;
    r.pictureLimit = s.o.pictureLimit;
    r.loopFrames = s.frames;
    r.picture = each.picture;
    auto camera = std::make_unique<orbtools::RtspCamera>(r);
    const int listening = camera->Start(port);
    if (listening == 0) std::fprintf(stderr, "orbiscope-fakecam: %s\n", camera->Error().c_str());
    else run.rtsp.push_back(std::move(camera));
    return listening;
}

// Points a record at an RTSP camera of ours.
void PointAtRtspCamera(const Settings& s, CameraRecord& record, int port) {
    record.modelIndex = orb::kRtspCamera;
    record.secondPort = port;
    record.httpPort = 80;
    record.rtspTransport = s.transport;
    orb::SetGenericPath(record, s.r.path);
}

bool StartCameras(const Settings& s, Running& run) {
    // One loop a lens, shared by every camera of that lens.
    std::vector<std::shared_ptr<const orbtools::SimulatedCamera>> sims;
    orbtools::RoomLoop loop;
    loop.frames = s.frames;
    loop.cacheFolder = s.cacheFolder;
    if (loop.cacheFolder.empty())
        if (const char* shared = std::getenv("ORBISCOPE_SCENE_CACHE")) loop.cacheFolder = shared;
    for (int k = 0; k < std::min(s.cameras, 4); ++k)
        sims.push_back(std::make_shared<const orbtools::SimulatedCamera>(
            orbtools::MakeSimulatedCamera(orbtools::kSimulatedLenses[k], s.o.width, s.o.height, loop)));
    for (int i = 0; i < (s.cameras > 0 ? s.cameras : 1); ++i) {
        orbtools::FakeCameraOptions each = s.o;
        if (s.cameras > 0) run.records.push_back(SimulatedCamera(s, sims[static_cast<size_t>(i) % sims.size()], i, each));
        const int port = s.cameras > 0 ? 0 : s.port;
        int listening = 0;
        if (s.rtsp) {
            listening = StartRtspCamera(s, each, port, run);
        } else {
            auto camera = std::make_unique<orbtools::FakeCamera>(each);
            listening = camera->Start(port);
            if (listening) run.cameras.push_back(std::move(camera));
        }
        if (listening == 0) {
            std::fprintf(stderr, "orbiscope-fakecam: cannot listen on 127.0.0.1:%d\n", s.port);
            return false;
        }
        if (s.cameras > 0) {
            CameraRecord& r = run.records.back();
            orbtools::PointAtFakeCamera(r, listening, i + 1, s.o.account, s.o.password);
            if (static_cast<size_t>(i) < s.eachCamera.size() && s.eachCamera[static_cast<size_t>(i)].second)
                r.modelIndex = 131;  // a motorised camera
            if (s.rtsp) PointAtRtspCamera(s, r, listening);
            // The mask file names the camera's model: written once the model is settled.
            orbtools::GiveCameraKey(r, i + 1);
            const std::string folder = std::filesystem::path(s.configPath).parent_path().string();
            if (s.motion && !s.configPath.empty() &&
                !orbtools::WriteClockMask(r, sims[static_cast<size_t>(i) % sims.size()]->lens, folder.empty() ? "." : folder))
                std::fprintf(stderr, "orbiscope-fakecam: cannot write the motion mask under %s/Temp\n", folder.c_str());
        }
        std::printf("%d\n", listening);
        run.ports.push_back(listening);
    }
    return true;
}

bool WriteConfig(const Settings& s, Running& run) {
    if (run.records.empty()) {
        CameraRecord r{};
        orbtools::PointAtFakeCamera(r, run.ports[0], 1, s.o.account, s.o.password);
        if (s.rtsp) PointAtRtspCamera(s, r, run.ports[0]);
        run.records.push_back(r);
    }
    if (orbtools::WriteCameraConfig(s.configPath, run.records)) return true;
    std::fprintf(stderr, "orbiscope-fakecam: cannot write %s\n", s.configPath.c_str());
    return false;
}

void StopAndTell(const Settings& s, Running& run, const FaultInjector& injector) {
    for (auto& camera : run.rtsp) {
        camera->Stop();
        std::fprintf(stderr, "orbiscope-fakecam: port %d: %d connections, %d pictures, 0 refused, 0 commands\n",
                     camera->Port(), camera->Sessions(), camera->PicturesSent());
    }
    for (auto& camera : run.cameras) {
        camera->Stop();
        std::fprintf(stderr, "orbiscope-fakecam: port %d: %d connections, %d pictures, %d refused, %zu commands\n",
                     camera->Port(), camera->Connections(), camera->PicturesSent(), camera->Refusals(),
                     camera->Commands().size());
    }
    if (s.randomFaults) {
        std::fprintf(stderr, "orbiscope-fakecam: faults injected:");
        for (int k = 0; k < FaultInjector::kKinds; ++k)
            std::fprintf(stderr, "%s %s %d", k ? "," : "", FaultInjector::kNames[k], injector.counts[k]);
        std::fprintf(stderr, "\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (orbtools::AnswerVersion(argc, argv, "orbiscope-fakecam")) return 0;
    Settings s;
    if (const int status = ParseArguments(argc, argv, s); status >= 0) return status;
    Running run;
    if (!StartCameras(s, run)) return 1;
    if (!s.configPath.empty() && !WriteConfig(s, run)) return 1;
    std::fflush(stdout);
    std::signal(SIGINT, [](int) { g_stop = 1; });
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    // Commands on the standard input, until it ends (the program then ends too).
    static std::atomic<bool> inputEnded{false};
    if (s.control && !run.rtsp.empty())
        std::thread([camera = run.rtsp[0].get()] {
            orbtools::RunRtspControl(*camera, stdin, stdout);
            inputEnded = true;
        }).detach();
    FaultInjector injector;
    for (int waited = 0; !g_stop && !inputEnded && (s.seconds <= 0 || waited < s.seconds * 10); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (s.randomFaults && waited % 10 == 9) {
            injector.Tick(run.cameras, run.ports, s.o.account, s.o.password);
            injector.Tick(run.rtsp, run.ports, s.o.account, s.o.password);
        }
    }
    StopAndTell(s, run, injector);
    if (s.control) {
        // The command reader may still wait on its input: end without unwinding under it.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
