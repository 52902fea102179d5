// The tray icon on the desktop: a status icon where the desktop has a tray; its right click
// opens the tray menu (a real popup menu, gtk_menus.cpp).
#include <string>

#ifdef ORBISCOPE_HAVE_GTK
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <gtk/gtk.h>
#endif

namespace orb {

#ifdef ORBISCOPE_HAVE_GTK
namespace {
GtkStatusIcon* g_icon = nullptr;
void (*g_onMenu)() = nullptr;
void OnPopup(GtkStatusIcon*, guint, guint, gpointer) {
    if (g_onMenu) g_onMenu();
}
}  // namespace

bool ShowDesktopTrayIcon(const std::string& tip, void (*onMenu)()) {
    g_onMenu = onMenu;
    if (!g_icon) {
        g_icon = gtk_status_icon_new_from_icon_name("camera-web");
        g_signal_connect(g_icon, "popup-menu", G_CALLBACK(OnPopup), nullptr);
    }
    gtk_status_icon_set_tooltip_text(g_icon, tip.c_str());
    gtk_status_icon_set_visible(g_icon, TRUE);
    for (int i = 0; i < 64 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    return gtk_status_icon_is_embedded(g_icon);
}

void HideDesktopTrayIcon() {
    if (g_icon) gtk_status_icon_set_visible(g_icon, FALSE);
}
#else
bool ShowDesktopTrayIcon(const std::string&, void (*)()) { return false; }
void HideDesktopTrayIcon() {}
#endif

}  // namespace orb
