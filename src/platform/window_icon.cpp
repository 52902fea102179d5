#include "platform/window_icon.h"

#include "platform/debug_log.h"
#include "platform/paths.h"

#ifdef ORBISCOPE_HAVE_GTK
#include <gtk/gtk.h>
#include <sys/stat.h>
#endif

namespace orb {

void SetProductWindowIcon() {
#ifdef ORBISCOPE_HAVE_GTK
    // Once, before windows open: the toolkit gives the icon to every window made after this.
    static bool done = false;
    if (done) return;
    done = true;
    const std::string file = DataFile("orbiscope.png");
    struct stat st {};
    if (stat(file.c_str(), &st) == 0) {
        // Loaded here so that a file the picture loaders cannot read costs no warning.
        GError* error = nullptr;
        if (GdkPixbuf* icon = gdk_pixbuf_new_from_file(file.c_str(), &error)) {
            gtk_window_set_default_icon(icon);
            g_object_unref(icon);
            DebugLog("window icon %s", file.c_str());
            return;
        }
        DebugLog("window icon %s: %s", file.c_str(), error ? error->message : "unreadable");
        g_clear_error(&error);
    }
    gtk_window_set_default_icon_name("orbiscope");
#endif
}

}  // namespace orb
