// Menus on the desktop: context menus at the pointer and menu bars of frames, built from the
// layer's menu state (texts, separators, submenus, check marks, greyed items) each time a
// menu opens, so that what the owner changed in WM_INITMENUPOPUP shows.
#ifdef ORBISCOPE_HAVE_GTK
#include <cctype>
#include <string>

#include "platform/accelerators.h"
#include "platform/window/gtk/gtk_internal.h"

namespace orb::gtkui {

namespace {

struct PopupRun {
    int chosen = 0;
    bool done = false, ending = false;
};

constexpr const char* kCommandKey = "orb-command";

void FillMenu(GtkWidget* menu, HMENU source, void (*onActivate)(GtkMenuItem*, gpointer), gpointer data);

// A key written after a tab ("Colour balance...\tCtrl+B") shows at the item's right, the
// way the desktop shows its own shortcuts; the window layer does the key's work.
void ShowKey(GtkWidget* item, const std::string& keyName) {
    uint32_t key = 0, modifiers = 0;
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    if (!GTK_IS_ACCEL_LABEL(label) || !ParseKeyName(keyName, key, modifiers)) return;
    int mask = 0;
    if (modifiers & kKeyShift) mask |= GDK_SHIFT_MASK;
    if (modifiers & kKeyCtrl) mask |= GDK_CONTROL_MASK;
    if (modifiers & kKeyAlt) mask |= GDK_MOD1_MASK;
    const guint keyval = key < 0x80 ? gdk_unicode_to_keyval(static_cast<guint32>(std::tolower(static_cast<int>(key)))) : key;
    gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), keyval, static_cast<GdkModifierType>(mask));
}

GtkWidget* NewItem(const MenuItem& item, void (*onActivate)(GtkMenuItem*, gpointer), gpointer data) {
    if (item.flags & MF_SEPARATOR) return gtk_separator_menu_item_new();
    const size_t tab = item.text.find('\t');
    const std::string text = item.text.substr(0, tab);
    GtkWidget* w;
    if (item.flags & MF_CHECKED) {
        w = gtk_check_menu_item_new_with_label(text.c_str());
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), TRUE);
    } else {
        w = gtk_menu_item_new_with_label(text.c_str());
    }
    if (tab != std::string::npos) ShowKey(w, item.text.substr(tab + 1));
    gtk_widget_set_sensitive(w, !(item.flags & MF_GRAYED));
    if (item.submenu) {
        GtkWidget* sub = gtk_menu_new();
        FillMenu(sub, item.submenu, onActivate, data);
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(w), sub);
    } else {
        g_object_set_data(G_OBJECT(w), kCommandKey, GINT_TO_POINTER(item.id));
        g_signal_connect(w, "activate", G_CALLBACK(onActivate), data);
    }
    return w;
}

void FillMenu(GtkWidget* menu, HMENU source, void (*onActivate)(GtkMenuItem*, gpointer), gpointer data) {
    for (const MenuItem& item : GetMenuItems(source))
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), NewItem(item, onActivate, data));
    gtk_widget_show_all(menu);
}

void OnPopupActivate(GtkMenuItem* item, gpointer data) {
    static_cast<PopupRun*>(data)->chosen = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kCommandKey));
}

gboolean MarkDone(gpointer data) {
    static_cast<PopupRun*>(data)->done = true;
    return G_SOURCE_REMOVE;
}

// The item's activation comes after the menu's deactivation; the run ends after both.
void OnPopupDeactivate(GtkMenuShell*, gpointer data) {
    auto* run = static_cast<PopupRun*>(data);
    if (!run->ending) g_idle_add(MarkDone, data);
    run->ending = true;
}

// ---- Menu bars ----

void OnBarActivate(GtkMenuItem* item, gpointer data) {
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kCommandKey));
    if (id) PostMessage(static_cast<HWND>(data), WM_COMMAND, MakeWParam(id, 0), 0);
}

// A drop-down of the bar is rebuilt from the layer's state whenever it opens.
void OnBarMenuShow(GtkWidget* menu, gpointer data) {
    HWND owner = static_cast<HWND>(data);
    auto source = static_cast<HMENU>(g_object_get_data(G_OBJECT(menu), "orb-menu"));
    SendMessage(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(source), 0);
    GList* old = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* c = old; c; c = c->next) gtk_widget_destroy(GTK_WIDGET(c->data));
    g_list_free(old);
    FillMenu(menu, source, OnBarActivate, owner);
}

}  // namespace

int RunPopupMenu(HMENU menu, HWND owner) {
    PopupRun run;
    GtkWidget* popup = gtk_menu_new();
    g_object_ref_sink(popup);
    FillMenu(popup, menu, OnPopupActivate, &run);
    g_signal_connect(popup, "deactivate", G_CALLBACK(OnPopupDeactivate), &run);
    GtkWindow* top = DesktopWindowOf(owner);
    if (top) gtk_menu_attach_to_widget(GTK_MENU(popup), GTK_WIDGET(top), nullptr);
    GdkEvent* trigger = gtk_get_current_event();
    if (trigger) {
        gtk_menu_popup_at_pointer(GTK_MENU(popup), trigger);
        gdk_event_free(trigger);
    } else if (top && gtk_widget_get_window(GTK_WIDGET(top))) {
        // No event in hand (a menu opened by a key or a timer): at the pointer all the same.
        GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(top));
        GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(gw));
        int x = 0, y = 0;
        gdk_window_get_device_position(gw, gdk_seat_get_pointer(seat), &x, &y, nullptr);
        GdkRectangle at{x, y, 1, 1};
        gtk_menu_popup_at_rect(GTK_MENU(popup), gw, &at, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
    } else {
        gtk_menu_popup_at_pointer(GTK_MENU(popup), nullptr);
    }
    if (!gtk_widget_get_visible(popup)) run.done = true;  // the desktop refused the grab
    RunNestedUntil(run.done);
    g_signal_handlers_disconnect_by_data(popup, &run);
    gtk_widget_destroy(popup);
    g_object_unref(popup);
    return run.chosen;
}

void SetMenuBar(TopWindow& t, HMENU menu) {
    int before = 0;
    if (t.menubar) {
        GtkRequisition req;
        gtk_widget_get_preferred_size(t.menubar, &req, nullptr);
        before = req.height;
        gtk_widget_destroy(t.menubar);
        t.menubar = nullptr;
    }
    int after = 0;
    if (menu) {
        t.menubar = gtk_menu_bar_new();
        for (const MenuItem& item : GetMenuItems(menu)) {
            if (item.flags & MF_SEPARATOR) continue;
            GtkWidget* top = gtk_menu_item_new_with_label(item.text.c_str());
            if (item.submenu) {
                GtkWidget* drop = gtk_menu_new();
                g_object_set_data(G_OBJECT(drop), "orb-menu", item.submenu);
                FillMenu(drop, item.submenu, OnBarActivate, t.hwnd);
                g_signal_connect(drop, "show", G_CALLBACK(OnBarMenuShow), t.hwnd);
                gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), drop);
            } else {
                g_object_set_data(G_OBJECT(top), kCommandKey, GINT_TO_POINTER(item.id));
                g_signal_connect(top, "activate", G_CALLBACK(OnBarActivate), t.hwnd);
            }
            gtk_menu_shell_append(GTK_MENU_SHELL(t.menubar), top);
        }
        gtk_box_pack_start(GTK_BOX(t.box), t.menubar, FALSE, FALSE, 0);
        gtk_widget_show_all(t.menubar);
        GtkRequisition req;
        gtk_widget_get_preferred_size(t.menubar, &req, nullptr);
        after = req.height;
    }
    // The client area keeps its size: the window grows by the bar.
    // The layer's rectangle is the client area on the screen: the window starts a bar higher.
    if (!t.dialog && after != before) {
        const Rect r = GetWindowRect(t.hwnd);
        gtk_window_move(GTK_WINDOW(t.window), r.left, r.top - after);
        gtk_window_resize(GTK_WINDOW(t.window), std::max(1, r.width()), std::max(1, r.height() + after));
    }
}

}  // namespace orb::gtkui
#endif
