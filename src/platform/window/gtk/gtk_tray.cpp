// The tray icon on the desktop: a status icon where the desktop has a tray; its right click
// opens the tray menu (a real popup menu, gtk_menus.cpp). Whether a tray is there is asked of
// the X server (the tray owns the system-tray selection of the screen), so the answer does not
// depend on how fast the tray embeds the icon.
#include <chrono>
#include <string>

#ifdef ORBISCOPE_HAVE_GTK
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#endif

namespace orb {

#ifdef ORBISCOPE_HAVE_GTK
namespace {
GtkStatusIcon* g_icon = nullptr;
void (*g_onMenu)() = nullptr;
void (*g_onLost)() = nullptr;
bool g_wasEmbedded = false;

void OnPopup(GtkStatusIcon*, guint, guint, gpointer) {
    if (g_onMenu) g_onMenu();
}

// The tray went away under a shown icon: the owner falls back to its stand-in.
void OnEmbedded(GObject*, GParamSpec*, gpointer) {
    const bool now = gtk_status_icon_is_embedded(g_icon);
    if (g_wasEmbedded && !now && gtk_status_icon_get_visible(g_icon) && g_onLost) g_onLost();
    g_wasEmbedded = now;
}

bool TrayPresent() {
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
    return XGetSelectionOwner(x, XInternAtom(x, name.c_str(), False)) != None;
#else
    return false;
#endif
}
}  // namespace

bool ShowDesktopTrayIcon(const std::string& tip, void (*onMenu)(), void (*onLost)()) {
    g_onMenu = onMenu;
    g_onLost = onLost;
    if (!TrayPresent()) return false;
    if (!g_icon) {
        g_icon = gtk_status_icon_new_from_icon_name("camera-web");
        gtk_status_icon_set_title(g_icon, "Orbiscope");
        g_signal_connect(g_icon, "popup-menu", G_CALLBACK(OnPopup), nullptr);
        g_signal_connect(g_icon, "notify::embedded", G_CALLBACK(OnEmbedded), nullptr);
    }
    gtk_status_icon_set_tooltip_text(g_icon, tip.c_str());
    gtk_status_icon_set_visible(g_icon, TRUE);
    // The tray embeds the icon in a few round trips; wait for it a while so that the caller
    // hides its window only once the icon can be seen.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!gtk_status_icon_is_embedded(g_icon) && std::chrono::steady_clock::now() < until) {
        if (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        else g_usleep(2000);
    }
    g_wasEmbedded = gtk_status_icon_is_embedded(g_icon);
    return g_wasEmbedded;
}

void HideDesktopTrayIcon() {
    if (g_icon) gtk_status_icon_set_visible(g_icon, FALSE);
    g_wasEmbedded = false;
}
#else
bool ShowDesktopTrayIcon(const std::string&, void (*)(), void (*)()) { return false; }
void HideDesktopTrayIcon() {}
#endif

}  // namespace orb
