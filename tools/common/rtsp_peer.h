// A real RTSP peer for the tests and benchmarks: the fake camera program serving over
// GStreamer's RTSP server on 127.0.0.1, driven through its command input (faults, stop and
// start, a new picture size, its figures). It runs as a process of its own, so the GStreamer
// threads stay out of the sanitizers' sight of this one.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace orbtools {

struct RtspStats {
    int sent = 0, sessions = 0, tcp = 0, udp = 0, digest = 0, basic = 0, active = 0;
};

class RtspPeer {
public:
    RtspPeer() = default;
    RtspPeer(const RtspPeer&) = delete;
    RtspPeer& operator=(const RtspPeer&) = delete;
    ~RtspPeer() { Stop(); }

    // Starts the fake camera program with these options (after "--rtsp CODEC --control");
    // the first port it serves, or 0 when it could not serve (the reason in error). Its
    // report when it ends goes to `report` when one is named.
    int Start(const std::string& program, const std::string& codec, const std::vector<std::string>& options,
              const std::string& report = "") {
        std::vector<std::string> args = {program, "--rtsp", codec, "--control", "--with-parent"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        // The peer is not under test: the sanitizers of a sanitized build leave it alone.
        std::vector<std::string> env = {"ASAN_OPTIONS=detect_leaks=0", "TSAN_OPTIONS=report_bugs=0",
                                        "UBSAN_OPTIONS=halt_on_error=0"};
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "ASAN_OPTIONS=", 13) && std::strncmp(*e, "TSAN_OPTIONS=", 13) &&
                std::strncmp(*e, "UBSAN_OPTIONS=", 14))
                env.push_back(*e);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (!report.empty()) posix_spawn_file_actions_addopen(&actions, 2, report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        if (rc != 0) {
            close(in[1]);
            close(out[0]);
            pid_ = -1;
            return 0;
        }
        to_ = fdopen(in[1], "w");
        from_ = fdopen(out[0], "r");
        const std::string first = Line();
        port_ = std::atoi(first.c_str());
        if (port_ <= 0) error = first.empty() ? "the fake camera ended" : first;
        return port_;
    }

    int Port() const { return port_; }
    // The further ports of a program serving several cameras (one a line after the first).
    int NextPort() { return std::atoi(Line().c_str()); }
    std::string error;

    // Sends a command; its answer line ("ok", "error ..." or the figures).
    std::string Command(const std::string& line) {
        if (!to_) return "";
        std::fprintf(to_, "%s\n", line.c_str());
        std::fflush(to_);
        return Line();
    }
    bool Ok(const std::string& line) { return Command(line) == "ok"; }

    RtspStats Stats() {
        RtspStats s;
        std::sscanf(Command("stats").c_str(), "sent %d sessions %d tcp %d udp %d digest %d basic %d active %d", &s.sent,
                    &s.sessions, &s.tcp, &s.udp, &s.digest, &s.basic, &s.active);
        return s;
    }

    // CPU seconds the program has used so far.
    double CpuSeconds() const {
        FILE* f = std::fopen(("/proc/" + std::to_string(pid_) + "/stat").c_str(), "r");
        if (!f) return 0;
        char text[1024] = {};
        const size_t n = std::fread(text, 1, sizeof text - 1, f);
        std::fclose(f);
        text[n] = 0;
        const char* rest = std::strrchr(text, ')');  // the program's name may hold blanks
        unsigned long utime = 0, stime = 0;
        if (!rest || std::sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
            return 0;
        return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    }

    void Stop() {
        if (to_) std::fclose(to_);  // the end of its input ends it
        to_ = nullptr;
        if (pid_ > 0) {
            int status = 0;
            for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
        pid_ = -1;
        if (from_) std::fclose(from_);
        from_ = nullptr;
    }

private:
    std::string Line() {
        char buffer[512];
        if (!from_ || !std::fgets(buffer, sizeof buffer, from_)) return "";
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return line;
    }

    pid_t pid_ = -1;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
    int port_ = 0;
};

}  // namespace orbtools
