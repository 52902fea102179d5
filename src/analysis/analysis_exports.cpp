// Exports of picture analysis.
#include "orbiscope.h"

extern "C" int32_t IsMotionBlockEnabled(void) { return gfMotionBlock; }
