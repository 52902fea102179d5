// Timers: a window's timers fire as WM_TIMER through its thread's queue, on the layer's
// replaceable clock.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/window.h"
#include "platform/window_internal.h"

namespace orb {

bool SetTimer(HWND hwnd, uintptr_t id, int intervalMs) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    if (!Find(hwnd) || intervalMs <= 0) return false;
    const int64_t due = TimerNowMs() + intervalMs;
    for (auto& tm : g_timers)
        if (tm.window == ToId(hwnd) && tm.id == id) {
            tm.interval = intervalMs;
            tm.due = due;
            return true;
        }
    g_timers.push_back({ToId(hwnd), id, intervalMs, due});
    return true;
}

bool KillTimer(HWND hwnd, uintptr_t id) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    return std::erase_if(g_timers, [&](const Timer& tm) { return tm.window == ToId(hwnd) && tm.id == id; }) > 0;
}

bool HasTimer(HWND hwnd, uintptr_t id) {
    auto& t = Tables();
    std::lock_guard lock(t.lock);
    return std::any_of(g_timers.begin(), g_timers.end(),
                       [&](const Timer& tm) { return tm.window == ToId(hwnd) && tm.id == id; });
}

}  // namespace orb
