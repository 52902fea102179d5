// The faults of the fake camera that hold a client without failing it: a camera that takes
// the connection and never answers, and one that answers one byte a second.
#pragma once
#include <atomic>

#include "common/fake_camera.h"

namespace orbtools {

// Keeps a connection open without reading or sending anything until the client closes its
// end or the camera stops.
void HoldSilently(int fd, const std::atomic<bool>& stop);
// Milliseconds between two bytes of everything the camera sends under the fault (0: no pause).
int BytePauseMs(FakeFault fault);
// Waits that long, or less when the camera stops; false on the stop.
bool PauseBetweenBytes(int ms, const std::atomic<bool>& stop);

}  // namespace orbtools
