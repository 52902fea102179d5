// The Orbiscope host for real cameras: keeps the cameras of "Config.ure" (add one by its
// URL, list, remove, set its lens and alignment values) and opens their views through the
// shared library, in a window on a desktop or as a headless recorder that stops cleanly on
// SIGINT or SIGTERM with every recording closed.
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "orbiscope.h"
#include "common/program_info.h"
#include "orbiscope/camera_file.h"
#include "orbiscope/desktop_tools.h"
#include "orbiscope_host.h"
#include "orbiscope_record.h"

using namespace orbhost;

namespace {

volatile std::sig_atomic_t g_stop = 0;

int Usage(FILE* out = stderr) {
    std::fprintf(out,
                 "usage: orbiscope add NAME URL --lens fisheye|mirror|annular|180|90|normal [--model N]\n"
                 "                     [--size WxH] [--user ACCOUNT] [--transport tcp|udp]\n"
                 "       orbiscope list\n"
                 "       orbiscope remove NAME\n"
                 "       orbiscope set NAME KEY=VALUE...   (lens, size, centre=X,Y, radius=OUTER[,INNER],\n"
                 "                                          fov=DEGREES, flip=none|h|v|hv, url, model,\n"
                 "                                          transport=tcp|udp)\n"
                 "       orbiscope [run] [--headless] [--record FOLDER] [--no-record] [--seconds N]\n"
                 "       orbiscope player [FILE.P360|FILE.mkv] | recordings | snapshot [FILE.360] | picture [FILE...]\n"
                 "       orbiscope backup | backup-play | pack [FILE] | web | password | recording-settings\n"
                 "       orbiscope --help | --version\n"
                 "URL: http://[account[:password]@]address[:port]/path?query; a path ending in .jpg is\n"
                 "polled as a snapshot, anything else is read as a Motion-JPEG stream. An\n"
                 "rtsp://[account[:password]@]address[:port]/path URL is a video camera (H.264, H.265,\n"
                 "Motion-JPEG; Basic or Digest), over TCP unless --transport udp. Without a\n"
                 "password in the URL (or with --user) the password is asked for.\n"
                 "Config.ure lives in $ORBISCOPE_HOME, else in the library's folder (see the README).\n");
    return 2;
}

std::string ConfigPath() { return LibraryFolder() + "/Config.ure"; }

std::string AskPassword(const std::string& prompt) {
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    termios old{};
    const bool tty = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSANOW, &old);
        std::fprintf(stderr, "\n");
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool ParseSize(const std::string& t, int& w, int& h) {
    return std::sscanf(t.c_str(), "%dx%d", &w, &h) == 2 && w >= 16 && h >= 16 && w <= 16384 && h <= 16384;
}

// How an RTSP camera's stream travels, after its URL; "" for other cameras.
std::string TransportWord(const Slot& s) {
    if (GetInt(s, ORB_REC_MODEL) != ORB_MODEL_RTSP) return "";
    return GetInt(s, ORB_REC_RTSP_TRANSPORT) == 1 ? " over UDP" : " over TCP";
}

bool ParseTransport(const std::string& word, int32_t& transport) {
    if (word != "tcp" && word != "udp") return false;
    transport = word == "udp" ? 1 : 0;
    return true;
}

// The record of a new camera: the library's defaults for its lens and size, then its URL.
bool NewRecord(Slot& s, const std::string& name, int32_t lens, int w, int h) {
    const CameraRecord* made = CreateConfigure(lens, w, h, name.c_str());
    if (!made) return false;
    s.assign(ORB_SLOT_SIZE, 0);
    std::memcpy(s.data(), made, ORB_RECORD_SIZE);
    return SetText(s, ORB_REC_NAME, 80, name) && SetText(s, ORB_REC_LOCATION, 440, name);
}

int Add(int argc, char** argv) {
    if (argc < 4) return Usage();
    const std::string name = argv[2], text = argv[3];
    int32_t lens = -1, model = 0, transport = -1;
    int w = 640, h = 480;
    std::string user;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!v) return Usage();
        ++i;
        if (a == "--lens") {
            if (!LensTypeOf(v, lens)) return std::fprintf(stderr, "orbiscope: unknown lens \"%s\"\n", v), 2;
        } else if (a == "--model") {
            model = std::atoi(v);
            if (model <= 0) return Usage();
        } else if (a == "--size") {
            if (!ParseSize(v, w, h)) return std::fprintf(stderr, "orbiscope: size must look like 1280x960\n"), 2;
        } else if (a == "--user") {
            user = v;
        } else if (a == "--transport") {
            if (!ParseTransport(v, transport)) return std::fprintf(stderr, "orbiscope: the transport is tcp or udp\n"), 2;
        } else {
            return Usage();
        }
    }
    if (lens < 0) return std::fprintf(stderr, "orbiscope: say which lens the camera has with --lens\n"), 2;
    if (name.empty() || name.size() >= 80) return std::fprintf(stderr, "orbiscope: the name must be 1 to 79 characters\n"), 2;
    CameraUrl url;
    std::string why;
    if (!ParseCameraUrl(text, url, why)) return std::fprintf(stderr, "orbiscope: %s\n", why.c_str()), 2;
    if (!user.empty()) url.user = user, url.hasPassword = false;
    if (!url.user.empty() && !url.hasPassword) url.password = AskPassword("Password for " + url.user + "@" + url.host + ": ");
    if (model == 0) model = ModelForUrl(url);
    if (transport >= 0 && !url.rtsp) return std::fprintf(stderr, "orbiscope: --transport is for rtsp:// cameras\n"), 2;
    std::vector<Slot> slots;
    ReadSlots(ConfigPath(), slots);
    if (FindCamera(slots, name) >= 0) return std::fprintf(stderr, "orbiscope: a camera named \"%s\" exists\n", name.c_str()), 1;
    Slot s;
    if (!NewRecord(s, name, lens, w, h) || !SetCameraUrl(s, url, model, why))
        return std::fprintf(stderr, "orbiscope: %s\n", why.empty() ? "cannot make the camera's record" : why.c_str()), 1;
    int32_t id = 0;
    for (const Slot& o : slots) id = std::max(id, GetInt(o, ORB_REC_CAMERA_ID));
    SetInt(s, ORB_REC_CAMERA_ID, id + 1);
    if (url.rtsp) SetInt(s, ORB_REC_RTSP_TRANSPORT, transport > 0 ? 1 : 0);
    slots.push_back(s);
    if (!WriteSlots(ConfigPath(), slots)) return std::fprintf(stderr, "orbiscope: cannot write %s\n", ConfigPath().c_str()), 1;
    std::printf("added %s: %s%s, model %d, %s lens, %dx%d\n", name.c_str(), UrlOf(s).c_str(), TransportWord(s).c_str(), model,
                LensWord(lens).c_str(), w, h);
    return 0;
}

int List() {
    std::vector<Slot> slots;
    if (!ReadSlots(ConfigPath(), slots) || slots.empty()) {
        std::printf("no cameras in %s\n", ConfigPath().c_str());
        return 0;
    }
    for (size_t i = 0; i < slots.size(); ++i) {
        const Slot& s = slots[i];
        std::printf("%zu  %-20s %-40s model %-3d %-8s %dx%d\n", i, GetText(s, ORB_REC_LOCATION, 440).c_str(),
                    (UrlOf(s) + TransportWord(s)).c_str(), GetInt(s, ORB_REC_MODEL), LensWord(GetInt(s, ORB_REC_LENS_TYPE)).c_str(),
                    GetInt(s, ORB_REC_SOURCE_WIDTH), GetInt(s, ORB_REC_SOURCE_HEIGHT));
    }
    return 0;
}

int Remove(int argc, char** argv) {
    if (argc != 3) return Usage();
    std::vector<Slot> slots;
    ReadSlots(ConfigPath(), slots);
    const int at = FindCamera(slots, argv[2]);
    if (at < 0) return std::fprintf(stderr, "orbiscope: no camera named \"%s\"\n", argv[2]), 1;
    slots.erase(slots.begin() + at);
    if (!WriteSlots(ConfigPath(), slots)) return std::fprintf(stderr, "orbiscope: cannot write %s\n", ConfigPath().c_str()), 1;
    std::printf("removed %s\n", argv[2]);
    return 0;
}

// One KEY=VALUE of `set`; an empty result is success, else the reason.
std::string SetValue(Slot& s, const std::string& key, const std::string& value) {
    int a = 0, b = 0;
    if (key == "lens") {
        int32_t lens;
        if (!LensTypeOf(value, lens)) return "unknown lens";
        SetInt(s, ORB_REC_LENS_TYPE, lens);
    } else if (key == "size") {
        if (!ParseSize(value, a, b)) return "size must look like 1280x960";
        SetInt(s, ORB_REC_SOURCE_WIDTH, a);
        SetInt(s, ORB_REC_SOURCE_HEIGHT, b);
        SetInt(s, ORB_REC_OVAL_H, a * 480 / b);  // round lens circles stay round
        SetInt(s, ORB_REC_OVAL_V, 480);
    } else if (key == "centre" || key == "center") {
        if (std::sscanf(value.c_str(), "%d,%d", &a, &b) != 2) return "centre must look like 320,240";
        SetInt(s, ORB_REC_CENTRE_X, a);
        SetInt(s, ORB_REC_CENTRE_Y, b);
    } else if (key == "radius") {
        const int n = std::sscanf(value.c_str(), "%d,%d", &a, &b);
        if (n < 1 || a <= 0) return "radius must look like 240 or 240,60";
        SetInt(s, ORB_REC_OUTER_RADIUS, a);
        if (n == 2) SetInt(s, ORB_REC_INNER_RADIUS, b);
    } else if (key == "fov") {
        const double fov = std::atof(value.c_str());
        if (fov <= 0 || fov > 360) return "fov is in degrees, 1 to 360";
        SetDouble(s, ORB_REC_HALF_FOV, fov / 2);
    } else if (key == "flip") {
        if (value != "none" && value != "h" && value != "v" && value != "hv") return "flip is none, h, v or hv";
        SetInt(s, ORB_REC_FLIP_H, value.find('h') != std::string::npos);
        SetInt(s, ORB_REC_FLIP_V, value.find('v') != std::string::npos);
    } else if (key == "transport") {
        int32_t transport;
        if (GetInt(s, ORB_REC_MODEL) != ORB_MODEL_RTSP) return "the transport is for rtsp:// cameras";
        if (!ParseTransport(value, transport)) return "the transport is tcp or udp";
        SetInt(s, ORB_REC_RTSP_TRANSPORT, transport);
    } else if (key == "url" || key == "model") {
        CameraUrl url;
        std::string why, text = key == "url" ? value : UrlOf(s);
        if (!ParseCameraUrl(text, url, why)) return why;
        if (key == "model") {
            // The stored credentials stay; only the model changes.
            const int32_t model = std::atoi(value.c_str());
            if (model <= 0) return "model must be a number";
            if ((model == ORB_MODEL_RTSP) != url.rtsp) return "model 403 takes an rtsp:// URL, and only it";
            SetInt(s, ORB_REC_MODEL, model);
            return SetText(s, ORB_REC_URL_PATH, ORB_REC_URL_PATH_MAX + 1, url.path) ? "" : "path too long";
        }
        if (!url.user.empty() && !url.hasPassword) url.password = AskPassword("Password for " + url.user + "@" + url.host + ": ");
        // An rtsp:// URL makes an HTTP camera a video camera, an http:// one the other way.
        int32_t model = GetInt(s, ORB_REC_MODEL);
        if ((model == ORB_MODEL_RTSP) != url.rtsp) model = ModelForUrl(url);
        if (!SetCameraUrl(s, url, model, why)) return why;
    } else {
        return "unknown setting";
    }
    return "";
}

int Set(int argc, char** argv) {
    if (argc < 4) return Usage();
    std::vector<Slot> slots;
    ReadSlots(ConfigPath(), slots);
    const int at = FindCamera(slots, argv[2]);
    if (at < 0) return std::fprintf(stderr, "orbiscope: no camera named \"%s\"\n", argv[2]), 1;
    for (int i = 3; i < argc; ++i) {
        const std::string item = argv[i];
        const size_t eq = item.find('=');
        if (eq == std::string::npos) return Usage();
        const std::string why = SetValue(slots[static_cast<size_t>(at)], item.substr(0, eq), item.substr(eq + 1));
        if (!why.empty()) return std::fprintf(stderr, "orbiscope: %s: %s\n", item.c_str(), why.c_str()), 2;
    }
    if (!WriteSlots(ConfigPath(), slots)) return std::fprintf(stderr, "orbiscope: cannot write %s\n", ConfigPath().c_str()), 1;
    std::printf("%s: %s%s, %s lens\n", argv[2], UrlOf(slots[static_cast<size_t>(at)]).c_str(),
                TransportWord(slots[static_cast<size_t>(at)]).c_str(),
                LensWord(GetInt(slots[static_cast<size_t>(at)], ORB_REC_LENS_TYPE)).c_str());
    return 0;
}

void Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

int Run(int argc, char** argv, int first) {
    bool headless = false, record = true;
    int seconds = 0;
    std::string folder;
    for (int i = first; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--headless") headless = true;
        else if (a == "--no-record") record = false;
        else if (a == "--record" && i + 1 < argc) folder = argv[++i];
        else if (a == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
        else return Usage();
    }
    std::vector<Slot> slots;
    if (!ReadSlots(ConfigPath(), slots) || slots.empty())
        return std::fprintf(stderr, "orbiscope: no cameras yet; add one with: orbiscope add NAME URL --lens ...\n"), 1;
    if (slots.size() > 32) return std::fprintf(stderr, "orbiscope: at most 32 cameras can be shown at once\n"), 1;
    if (headless) {
        setenv("ORBISCOPE_HEADLESS", "1", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }
    // The views show slot after slot: no mapping of an earlier session stays in the way.
    for (size_t i = 0; i < slots.size(); ++i) {
        const std::string key = "CCTV" + std::to_string(i);
        OrbiscopeWriteSetting("SCCTV", key.c_str(), std::to_string(GetInt(slots[i], ORB_REC_CAMERA_ID)).c_str());
    }
    if (!folder.empty() && !OrbiscopeWriteSetting("DVR", "StorageRoots", folder.c_str()))
        return std::fprintf(stderr, "orbiscope: cannot write the settings\n"), 1;
    std::signal(SIGINT, [](int) { g_stop = 1; });
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    SetCallerID(4);
    EnableDVRRecording(record ? 1 : 0);
    void* mainWindow = nullptr;
    void* frame = RunOrbiscope(nullptr, 0, static_cast<int32_t>(slots.size()), &mainWindow, 4, nullptr, 0, nullptr);
    if (!frame) return std::fprintf(stderr, "orbiscope: the views could not be opened\n"), 1;
    std::printf("showing %zu camera%s %s%s\n", slots.size(), slots.size() == 1 ? "" : "s",
                OrbiscopeHasDisplay() ? "in a window" : "headless", record ? ", recording" : "");
    std::fflush(stdout);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool closing = false;
    while (OrbiscopeIsWindow(frame)) {
        if (!closing && (g_stop || (seconds > 0 && std::chrono::steady_clock::now() >= until))) {
            // The close command stops every capture and closes every recording.
            OrbiscopeSendMessage(OrbiscopeViewWindow(0), ORB_WM_COMMAND, ORB_CMD_CLOSE, 0);
            closing = true;
        }
        OrbiscopePumpMessages();
        Nap();
    }
    UnloadLanguageResource();
    std::printf("stopped; every recording is closed\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (orbtools::AnswerVersion(argc, argv, "orbiscope")) return 0;
    if (argc < 2) return Run(argc, argv, 1);
    const std::string command = argv[1];
    if (command == "add") return Add(argc, argv);
    if (command == "list") return List();
    if (command == "remove") return Remove(argc, argv);
    if (command == "set") return Set(argc, argv);
    if (command == "run") return Run(argc, argv, 2);
    if (IsDesktopTool(command)) return RunDesktopTool(command, argc, argv);
    if (command == "--help" || command == "-h" || command == "help") return Usage(stdout), 0;
    if (command.compare(0, 2, "--") == 0) return Run(argc, argv, 1);
    return Usage();
}
