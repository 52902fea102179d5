// Starting other programs: never through a shell. A command line is split into words by our
// own rule (blanks separate, double quotes group, nothing else is special) and started with
// posix_spawnp. "Hidden" sends the program's output to /dev/null. A started program inherits
// only its standard streams (0-2).
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orb {

// Words of a command line. Double quotes group blanks into a word and are removed; an
// unclosed quote runs to the end. No expansion of any kind.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The program's full path: names with a "/" are taken as they stand, others are looked up
// in $PATH. Empty when there is no such executable file.
std::string FindProgram(const std::string& name);

enum class SpawnStatus { kNotStarted, kExited, kSignalled, kTimedOut };

struct SpawnResult {
    SpawnStatus status = SpawnStatus::kNotStarted;
    int exitCode = -1;  // the exit status when kExited, the signal when kSignalled
    bool ran() const { return status == SpawnStatus::kExited || status == SpawnStatus::kSignalled; }
    bool succeeded() const { return status == SpawnStatus::kExited && exitCode == 0; }
};

// No wait at all: the program runs on and is reaped in the background.
constexpr int kNoWait = 0;
// Waits are bounded; the longest we wait for a program the user started.
constexpr int kLongWaitMs = 10 * 60 * 1000;

// Starts argv[0] with the arguments and waits up to timeoutMs for its end. A program still
// running after the time-out is stopped (terminated, then killed) and kTimedOut given. With
// kNoWait the result is kExited with code 0 once the program has started.
// onTick (optional) is called now and then while waiting, for progress displays.
SpawnResult RunProgram(const std::vector<std::string>& argv, bool hidden, int timeoutMs,
                       const std::function<void()>& onTick = {});
// The same for a command line split by SplitCommandLine. Only for a command line the user
// typed as such (the network-storage log-in); the library builds its own commands as
// argument vectors and never joins words into a text to split again.
SpawnResult RunCommandLine(std::string_view line, bool hidden, int timeoutMs,
                           const std::function<void()>& onTick = {});

// The user's text viewer for a file: $VISUAL, else $EDITOR (each may carry arguments),
// else xdg-open. Empty when none is present.
std::vector<std::string> TextViewerCommand(const std::string& path);
// Opens a file with the desktop's default program (xdg-open). Empty when absent.
std::vector<std::string> ShellOpenCommand(const std::string& path);

}  // namespace orb
