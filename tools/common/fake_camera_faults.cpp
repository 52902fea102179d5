#include "common/fake_camera_faults.h"

#include <poll.h>

#include <chrono>
#include <thread>

namespace orbtools {

void HoldSilently(int fd, const std::atomic<bool>& stop) {
    // What the client sends stays unread; only its hang-up is looked for.
    while (!stop) {
        pollfd p{fd, POLLRDHUP, 0};
        if (poll(&p, 1, 50) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) return;
    }
}

int BytePauseMs(FakeFault fault) { return fault == FakeFault::Trickle ? 1000 : 0; }

bool PauseBetweenBytes(int ms, const std::atomic<bool>& stop) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !stop;
}

}  // namespace orbtools
