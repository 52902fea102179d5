// The state a test of the library's windows starts from when it runs without a display:
// the headless window layer with no windows, no views, the library's defaults and no hooks.
#pragma once
#include <chrono>
#include <thread>

#include "config/library_state.h"
#include "platform/window.h"
#include "ui/main_window.h"
#include "ui/ui_state.h"

namespace orbtest {

inline void ResetHeadlessUi() {
    orb::SetBackend(orb::Backend::Headless);
    orb::ResetWindowing();
    orb::g_ui = {};
    orb::g_lib = orb::LibraryState{};
    orb::Hooks() = {};
}

// Serves the window thread (real time) until the condition holds; bounded by a budget that
// holds under the sanitizers on a loaded machine (a passing wait ends at its event).
template <typename F>
bool PumpUntil(F condition, int seconds = 90) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        orb::PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace orbtest
