// What the host's tests share: running the host's command lines and waiting for what they do.
#pragma once
#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace hosttest {

// Runs a command line, its output into a file; the status and the output.
inline int Capture(const std::string& command, std::string& output, const std::string& scratch) {
    const int rc = orbtest::Run(command + " >" + scratch + " 2>&1");
    output = orbtest::ReadText(scratch);
    return rc;
}

template <typename F>
bool WaitFor(F condition, int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace hosttest
