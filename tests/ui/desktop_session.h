// What the tests that drive the host's windows on a virtual X server share: finding the
// programs they need, running a script of real input on its own screen, and reading what the
// script measured. One virtual X server at a time (the lock): two `xvfb-run -a` started
// together can take the same display and end each other's programs; "-noreset" keeps the
// server up between one client and the next.
#pragma once
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace desktop {

inline const std::string kShots = std::string(ORB_BINARY_DIR) + "/desktop-shots";

inline bool Have(const char* program) {
    return orbtest::Run(std::string("command -v ") + program + " >/dev/null 2>&1") == 0;
}

// The programs a person runs, built beside the tests (a sanitizer stage may build tests only).
inline bool ProgramsBuilt() {
    for (const char* p : {"orbiscope", "orbiscope-demo", "orbiscope-player"})
        if (orbtest::Run(std::string("test -x '") + ORB_BINARY_DIR + "/" + p + "'") != 0) return false;
    return true;
}

// Runs tests/ui/SCRIPT with the binary and screenshot folders and ARGS on a fresh 1280 x 1024
// screen; its output goes to desktop-shots/script-NAME.txt. The exit status of the script.
inline int RunScript(const std::string& script, const std::string& name, const std::string& args = "") {
    orbtest::Run("mkdir -p " + kShots);
    const std::string cmd = "flock /tmp/orbiscope-xvfb.lock timeout 280 xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' " +
                            orbtest::SourcePath("tests/ui/" + script) + " " + ORB_BINARY_DIR + " " + kShots +
                            (args.empty() ? "" : " " + args) + " >" + kShots + "/script-" + name + ".txt 2>&1";
    return orbtest::Run(cmd);
}

inline bool Says(const std::string& log, const std::string& line) { return log.find(line + "\n") != std::string::npos; }

// The measured value after the words of a log line ("paused 0.0012"), or -1 when absent.
inline double Measured(const std::string& log, const std::string& words) {
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(words + " ", 0) == 0) return std::stod(line.substr(words.size() + 1));
    return -1;
}

}  // namespace desktop
