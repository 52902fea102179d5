#include "platform/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace orb {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

SpawnResult FromWaitStatus(int status) {
    SpawnResult r;
    if (WIFEXITED(status)) {
        r.status = SpawnStatus::kExited;
        r.exitCode = WEXITSTATUS(status);
    } else {
        r.status = SpawnStatus::kSignalled;
        r.exitCode = WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    }
    return r;
}

// Polls for the child's end; true and its status when it ended within the time.
bool WaitFor(pid_t pid, int timeoutMs, int& status, const std::function<void()>& onTick = {}) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const pid_t got = ::waitpid(pid, &status, WNOHANG);
        if (got == pid) return true;
        if (got < 0) {
            status = 0;
            return true;  // already reaped elsewhere: nothing left to wait for
        }
        if (Clock::now() >= deadline) return false;
        if (onTick) onTick();
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(20)) pause *= 2;
    }
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string FindProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const size_t cut = dirs.find(':');
        std::string dir(dirs.substr(0, cut));
        if (dir.empty()) dir.push_back('.');
        std::string candidate = std::move(dir);
        candidate += '/';
        candidate += name;
        if (IsExecutableFile(candidate)) return candidate;
        if (cut == std::string_view::npos) break;
        dirs.remove_prefix(cut + 1);
    }
    return {};
}

SpawnResult RunProgram(const std::vector<std::string>& argv, bool hidden, int timeoutMs,
                       const std::function<void()>& onTick) {
    SpawnResult result;
    if (argv.empty() || argv[0].empty()) return result;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (hidden) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    // The program gets its standard streams and nothing else: no recording, socket or
    // settings file of ours (or of the host's) stays open in it.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The child starts with default signal handling whatever the host did.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0 || pid <= 0) return result;

    if (timeoutMs == kNoWait) {
        std::thread([pid] {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }).detach();
        result.status = SpawnStatus::kExited;
        result.exitCode = 0;
        return result;
    }
    int status = 0;
    if (WaitFor(pid, timeoutMs, status, onTick)) {
        result = FromWaitStatus(status);
        // posix_spawnp reports a missing program through the child's exit code 127.
        if (result.status == SpawnStatus::kExited && result.exitCode == 127 && FindProgram(argv[0]).empty())
            result.status = SpawnStatus::kNotStarted;
        return result;
    }
    ::kill(pid, SIGTERM);
    if (!WaitFor(pid, 2000, status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    result.status = SpawnStatus::kTimedOut;
    result.exitCode = -1;
    return result;
}

SpawnResult RunCommandLine(std::string_view line, bool hidden, int timeoutMs,
                           const std::function<void()>& onTick) {
    return RunProgram(SplitCommandLine(line), hidden, timeoutMs, onTick);
}

namespace {
// A file name handed to a program always starts with "/" (or "./"), so that no program can
// take it for an option.
std::string NotAnOption(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    return "./" + path;
}
}  // namespace

std::vector<std::string> TextViewerCommand(const std::string& path) {
    for (const char* var : {"VISUAL", "EDITOR"}) {
        const char* v = std::getenv(var);
        if (!v || !*v) continue;
        std::vector<std::string> words = SplitCommandLine(v);
        if (words.empty() || FindProgram(words[0]).empty()) continue;
        words.push_back(NotAnOption(path));
        return words;
    }
    return ShellOpenCommand(path);
}

std::vector<std::string> ShellOpenCommand(const std::string& path) {
    const std::string opener = FindProgram("xdg-open");
    if (opener.empty()) return {};
    return {opener, NotAnOption(path)};
}

}  // namespace orb
