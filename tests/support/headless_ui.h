// The state a test of the library's windows starts from when it runs without a display:
// the headless window layer with no windows, no views, the library's defaults and no hooks.
#pragma once
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

}  // namespace orbtest
