#include "config/library_state.h"

#include "orbiscope.h"

namespace orb {
constinit LibraryState g_lib;
}

extern "C" {
// The show-motion-blocks flag, read by the host in place.
int32_t gfMotionBlock = 1;
}
