#include <cstdio>
#include <cstring>
#include <string>

#include "orbiscope-fakecam/rtsp_camera.h"

namespace orbtools {

namespace {

bool ParseFault(const std::string& word, RtspFault& fault) {
    if (word == "none") fault = RtspFault::None;
    else if (word == "stall") fault = RtspFault::Stall;
    else if (word == "drop") fault = RtspFault::Drop;
    else if (word == "garbage") fault = RtspFault::Garbage;
    else return false;
    return true;
}

bool Dump(const RtspCamera& camera, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    for (const auto& buffer : camera.Loop()) ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), f) == buffer.size();
    return std::fclose(f) == 0 && ok;
}

// One command; "" when it was done, else what went wrong (or the figures asked for).
std::string Perform(RtspCamera& camera, const std::string& line) {
    char word[32] = {}, a[512] = {}, b[512] = {};
    const int n = std::sscanf(line.c_str(), "%31s %511s %511s", word, a, b);
    const std::string command = n >= 1 ? word : "";
    if (command == "fault") {
        RtspFault fault;
        if (n < 2 || !ParseFault(a, fault)) return "unknown fault";
        camera.SetFault(fault);
    } else if (command == "stop") {
        camera.Stop();
    } else if (command == "start") {
        if (camera.Start(camera.Port()) == 0) return camera.Error();
    } else if (command == "size") {
        int w = 0, h = 0;
        if (n < 2 || std::sscanf(a, "%dx%d", &w, &h) != 2 || w < 16 || h < 16) return "size looks like 640x480";
        if (!camera.SetSize(w, h)) return camera.Error();
    } else if (command == "limit") {
        if (n < 2) return "limit needs a number";
        camera.SetPictureLimit(std::atoi(a));
    } else if (command == "credentials") {
        if (n < 3) return "credentials need an account and a password";
        camera.SetCredentials(a, b);
    } else if (command == "dump") {
        if (n < 2 || !Dump(camera, a)) return "cannot write the loop";
    } else if (command == "stats") {
        char figures[160];
        std::snprintf(figures, sizeof figures, "sent %d sessions %d tcp %d udp %d digest %d basic %d active %d",
                      camera.PicturesSent(), camera.Sessions(), camera.TcpSetups(), camera.UdpSetups(),
                      camera.DigestRequests(), camera.BasicRequests(), camera.ActiveStreams());
        return figures;
    } else {
        return "unknown command";
    }
    return "";
}

}  // namespace

void RunRtspControl(RtspCamera& camera, std::FILE* in, std::FILE* out) {
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, in)) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.empty()) continue;
        const std::string answer = Perform(camera, line);
        if (answer.empty()) std::fprintf(out, "ok\n");
        else if (answer.rfind("sent ", 0) == 0) std::fprintf(out, "%s\n", answer.c_str());
        else std::fprintf(out, "error %s\n", answer.c_str());
        std::fflush(out);
    }
}

}  // namespace orbtools
