#include "platform/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef ORBISCOPE_HAVE_GLIB
#include <glib.h>
#endif

namespace orb {

bool DebugEnabled() {
    static const bool on = [] {
        const char* v = std::getenv("ORBISCOPE_DEBUG");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    return on;
}

void DebugLog(const char* format, ...) {
    if (!DebugEnabled()) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
#ifdef ORBISCOPE_HAVE_GLIB
    // Message level: GLib's default writer shows it without further switches, on the
    // journal when stderr is connected to it, else on stderr; a host may route the
    // domain elsewhere with g_log_set_handler.
    g_log("Orbiscope", G_LOG_LEVEL_MESSAGE, "%s", text);
#else
    std::fprintf(stderr, "Orbiscope: %s\n", text);
#endif
}

}  // namespace orb
