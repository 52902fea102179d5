// Exports whose work belongs to parts of the library that are built elsewhere. They are weak,
// so the real definitions replace them without any change here; until then each one gives
// its failure value.
#include <cstdint>

#include "orbiscope.h"

#define ORB_WEAK extern "C" ORB_EXPORT __attribute__((weak))
