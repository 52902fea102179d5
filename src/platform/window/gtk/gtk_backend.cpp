// The desktop backend on GTK 3: one GtkWindow per top-level window of the layer. Plain
// windows show their picture and turn the desktop's mouse and keys into the layer's
// messages; dialogs get real widgets (gtk_dialogs.cpp); menus, choosers and message boxes
// have files of their own.
#include "platform/window_backend.h"

#ifdef ORBISCOPE_HAVE_GTK
#include <algorithm>
#include <map>
#include <memory>
#include <thread>

#include "platform/dib.h"
#include "platform/window/gtk/gtk_internal.h"
#include "platform/window_internal.h"

namespace orb {
namespace gtkui {

namespace {

std::map<HWND, std::unique_ptr<TopWindow>>& Tops() {
    static auto* v = new std::map<HWND, std::unique_ptr<TopWindow>>;
    return *v;
}

struct AreaTarget {
    HWND top = nullptr, drawn = nullptr;
    // The drawn window's picture and a desktop surface over its very pixels, kept from one
    // draw to the next.
    WindowPicture picture;
    cairo_surface_t* surface = nullptr;
    ~AreaTarget() {
        if (surface) cairo_surface_destroy(surface);
    }
};

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* t = static_cast<AreaTarget*>(data);
    const uint32_t* before = t->picture.pixels.data();
    const Rect changed = UpdateWindowPicture(t->drawn, t->picture);
    const WindowPicture& p = t->picture;
    if (p.pixels.empty()) return FALSE;
    if (t->surface && (p.pixels.data() != before || cairo_image_surface_get_width(t->surface) != p.width ||
                       cairo_image_surface_get_height(t->surface) != p.height)) {
        cairo_surface_destroy(t->surface);
        t->surface = nullptr;
    }
    if (!t->surface) {
        t->surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(t->picture.pixels.data()),
                                                         CAIRO_FORMAT_RGB24, p.width, p.height, p.width * 4);
    } else if (changed.left < changed.right) {
        cairo_surface_mark_dirty_rectangle(t->surface, changed.left, changed.top, changed.width(), changed.height());
    }
    cairo_set_source_surface(cr, t->surface, 0, 0);
    cairo_paint(cr);
    return TRUE;
}

WPARAM Keys(guint state) {
    WPARAM k = 0;
    if (state & GDK_BUTTON1_MASK) k |= MK_LBUTTON;
    if (state & GDK_BUTTON3_MASK) k |= MK_RBUTTON;
    if (state & GDK_SHIFT_MASK) k |= MK_SHIFT;
    if (state & GDK_CONTROL_MASK) k |= MK_CONTROL;
    return k;
}

// A point of the area in the top-level window's client coordinates.
void ToTop(const AreaTarget* t, double x, double y, int& tx, int& ty) {
    int ox = 0, oy = 0;
    if (t->drawn != t->top) {
        ClientToTop(t->drawn, ox, oy);
        const Rect r = GetWindowRect(t->drawn);
        ox += r.left;
        oy += r.top;
    }
    tx = static_cast<int>(x) + ox;
    ty = static_cast<int>(y) + oy;
}

gboolean OnButton(GtkWidget* w, GdkEventButton* e, gpointer data) {
    const auto* t = static_cast<AreaTarget*>(data);
    uint32_t msg = 0;
    if (e->type == GDK_BUTTON_PRESS) msg = e->button == 3 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
    else if (e->type == GDK_2BUTTON_PRESS && e->button == 1) msg = WM_LBUTTONDBLCLK;
    else if (e->type == GDK_BUTTON_RELEASE) msg = e->button == 3 ? WM_RBUTTONUP : WM_LBUTTONUP;
    if (e->type == GDK_BUTTON_PRESS) gtk_widget_grab_focus(w);
    int x, y;
    ToTop(t, e->x, e->y, x, y);
    if (msg) InjectMouse(t->top, msg, x, y, Keys(e->state));
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
    const auto* t = static_cast<AreaTarget*>(data);
    int x, y;
    ToTop(t, e->x, e->y, x, y);
    InjectMouse(t->top, WM_MOUSEMOVE, x, y, Keys(e->state));
    return TRUE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* e, gpointer data) {
    const auto* t = static_cast<AreaTarget*>(data);
    int delta = 0;
    if (e->direction == GDK_SCROLL_UP) delta = kWheelDelta;
    else if (e->direction == GDK_SCROLL_DOWN) delta = -kWheelDelta;
    int x, y;
    ToTop(t, e->x, e->y, x, y);
    if (delta) InjectMouse(t->top, WM_MOUSEWHEEL, x, y, Keys(e->state), delta);
    return TRUE;
}

// Desktop key values become the classic key codes the views steer with.
uint32_t KeyCode(guint v) {
    switch (v) {
    case GDK_KEY_Left: return 37;
    case GDK_KEY_Up: return 38;
    case GDK_KEY_Right: return 39;
    case GDK_KEY_Down: return 40;
    case GDK_KEY_KP_Add: return 107;
    case GDK_KEY_KP_Subtract: return 109;
    default: return v < 0x10000 ? (v >= 'a' && v <= 'z' ? v - 32 : v) : 0;
    }
}

gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer data) {
    const uint32_t code = KeyCode(e->keyval);
    if (!code) return FALSE;
    HWND target = GetFocus() ? GetFocus() : static_cast<HWND>(data);
    uint32_t modifiers = 0;
    if (e->state & GDK_SHIFT_MASK) modifiers |= kKeyShift;
    if (e->state & GDK_CONTROL_MASK) modifiers |= kKeyCtrl;
    if (e->state & GDK_MOD1_MASK) modifiers |= kKeyAlt;
    DeliverKey(target, e->type == GDK_KEY_PRESS ? WM_KEYDOWN : WM_KEYUP, code, modifiers);
    return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    SendMessage(static_cast<HWND>(data), WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;  // the procedure decides; DestroyWindow removes the widget
}

bool g_inMove = false;

int MenuBarHeight(const TopWindow& t) {
    if (!t.menubar) return 0;
    GtkRequisition req;
    gtk_widget_get_preferred_size(t.menubar, &req, nullptr);
    return req.height;
}

void OnAreaAllocate(GtkWidget*, GdkRectangle* a, gpointer data) {
    HWND h = static_cast<HWND>(data);
    TopWindow* t = FindTop(h);
    if (!t || t->dialog || !t->area) return;
    // The picture area's size is the layer's client size (the menu bar sits above it).
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(t->window), &x, &y);
    const Rect r = GetWindowRect(h);
    if (a->width > 1 && a->height > 1 && (r.width() != a->width || r.height() != a->height)) {
        g_inMove = true;
        MoveWindow(h, x, y + MenuBarHeight(*t), a->width, a->height, true);
        g_inMove = false;
    }
}

// The person (or the window manager) moved the window: the layer's rectangle follows, so that
// the window's procedure hears WM_MOVE and a placement saved from it is where the window is.
gboolean OnConfigure(GtkWidget* win, GdkEventConfigure*, gpointer data) {
    HWND h = static_cast<HWND>(data);
    TopWindow* t = FindTop(h);
    if (!t || t->dialog || t->iconified || g_inMove || !gtk_widget_get_mapped(win)) return FALSE;
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(win), &x, &y);
    y += MenuBarHeight(*t);
    const Rect r = GetWindowRect(h);
    if (x != r.left || y != r.top) {
        g_inMove = true;
        MoveWindow(h, x, y, r.width(), r.height(), true);
        g_inMove = false;
    }
    return FALSE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer data) {
    HWND h = static_cast<HWND>(data);
    TopWindow* t = FindTop(h);
    if (!t) return FALSE;
    const bool iconified = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (iconified != t->iconified) {
        t->iconified = iconified;
        // The person minimised or restored the window from the desktop: the layer follows.
        if (iconified != IsIconic(h)) {
            std::lock_guard lock(Tables().lock);
            if (WindowData* w = Find(h)) w->minimised = iconified;
        }
        const Rect r = GetWindowRect(h);
        SendMessage(h, WM_SIZE, iconified ? SIZE_MINIMIZED : SIZE_RESTORED, iconified ? 0 : MakePoint(r.width(), r.height()));
    }
    return FALSE;
}

void ConnectPictureSignals(GtkWidget* area, AreaTarget* t) {
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK);
    gtk_widget_set_can_focus(area, TRUE);
    g_signal_connect(area, "draw", G_CALLBACK(OnDraw), t);
    g_signal_connect(area, "button-press-event", G_CALLBACK(OnButton), t);
    g_signal_connect(area, "button-release-event", G_CALLBACK(OnButton), t);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(OnMotion), t);
    g_signal_connect(area, "scroll-event", G_CALLBACK(OnScroll), t);
}

}  // namespace

TopWindow* FindTop(HWND hwnd) {
    const auto it = Tops().find(hwnd);
    return it == Tops().end() ? nullptr : it->second.get();
}

GtkWindow* DesktopWindowOf(HWND hwnd) {
    for (HWND h = hwnd; h; h = GetParent(h))
        if (!GetParent(h)) {
            TopWindow* t = FindTop(h);
            return t ? GTK_WINDOW(t->window) : nullptr;
        }
    return nullptr;
}

GtkWidget* NewPictureArea(HWND top, HWND drawn) {
    GtkWidget* area = gtk_drawing_area_new();
    auto* t = new AreaTarget{top, drawn};
    g_object_set_data_full(G_OBJECT(area), "orb-target", t, [](gpointer p) { delete static_cast<AreaTarget*>(p); });
    ConnectPictureSignals(area, t);
    return area;
}

void RunNestedUntil(const bool& done) {
    Message m;
    while (!done) {
        if (PeekMessage(m, true)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                break;
            }
            DispatchMessage(m);
        } else if (!done) {
            g_usleep(3000);  // PeekMessage has run the desktop's events
        }
    }
}

namespace {

struct GtkBackend : DesktopBackend {
    void Beep() override { gdk_display_beep(gdk_display_get_default()); }
    void WindowCreated(HWND h) override {
        auto t = std::make_unique<TopWindow>();
        t->hwnd = h;
        t->dialog = GetClassName(h) == "#dialog";
        const Rect r = GetWindowRect(h);
        GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        t->window = win;
        gtk_window_set_title(GTK_WINDOW(win), GetWindowText(h).c_str());
        const uint32_t style = GetWindowStyle(h);
        if ((style & WS_POPUP) && !t->dialog) gtk_window_set_decorated(GTK_WINDOW(win), FALSE);
        if (style & WS_EX_TOPMOST) gtk_window_set_keep_above(GTK_WINDOW(win), TRUE);
        gtk_window_move(GTK_WINDOW(win), r.left, r.top);
        t->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_container_add(GTK_CONTAINER(win), t->box);
        if (t->dialog) {
            gtk_window_set_resizable(GTK_WINDOW(win), FALSE);
            gtk_window_set_type_hint(GTK_WINDOW(win), GDK_WINDOW_TYPE_HINT_DIALOG);
            BuildDialogContent(*t);
            g_signal_connect(win, "key-press-event", G_CALLBACK(DialogKeyPress), h);
        } else {
            gtk_window_set_default_size(GTK_WINDOW(win), std::max(1, r.width()), std::max(1, r.height()));
            t->area = NewPictureArea(h, h);
            gtk_widget_set_size_request(t->area, 1, 1);
            gtk_box_pack_end(GTK_BOX(t->box), t->area, TRUE, TRUE, 0);
            gtk_widget_add_events(win, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
            g_signal_connect(win, "key-press-event", G_CALLBACK(OnKey), h);
            g_signal_connect(win, "key-release-event", G_CALLBACK(OnKey), h);
            g_signal_connect(t->area, "size-allocate", G_CALLBACK(OnAreaAllocate), h);
            g_signal_connect(win, "configure-event", G_CALLBACK(OnConfigure), h);
        }
        g_signal_connect(win, "delete-event", G_CALLBACK(OnDelete), h);
        g_signal_connect(win, "window-state-event", G_CALLBACK(OnWindowState), h);
        Tops()[h] = std::move(t);
    }

    void WindowDestroyed(HWND h) override {
        const auto it = Tops().find(h);
        if (it == Tops().end()) return;
        GtkWidget* w = it->second->window;
        Tops().erase(it);
        gtk_widget_destroy(w);
    }

    void WindowShown(HWND h, bool visible) override {
        TopWindow* t = FindTop(h);
        if (!t) return;
        if (t->dialog && t->childrenDirty) SyncDialogChildren(*t);
        if (visible) {
            // Shown minimised: asked for before the window maps, so that the window manager
            // maps it minimised at once instead of showing it for a moment.
            if (IsIconic(h) && !t->iconified) gtk_window_iconify(GTK_WINDOW(t->window));
            gtk_widget_show_all(t->window);
            // Hidden controls stay hidden after show_all.
            if (t->dialog)
                for (auto& [c, w] : t->controls) gtk_widget_set_visible(w, IsWindowVisible(c));
        } else {
            gtk_widget_hide(t->window);
        }
    }

    void WindowMoved(HWND h, const Rect& r) override {
        TopWindow* t = FindTop(h);
        if (!t || g_inMove) return;
        const int menuHeight = t->dialog ? 0 : MenuBarHeight(*t);
        gtk_window_move(GTK_WINDOW(t->window), r.left, r.top - menuHeight);
        if (t->dialog) return;
        gtk_window_resize(GTK_WINDOW(t->window), std::max(1, r.width()), std::max(1, r.height() + menuHeight));
    }

    void TitleChanged(HWND h, const std::string& title) override {
        if (TopWindow* t = FindTop(h)) gtk_window_set_title(GTK_WINDOW(t->window), title.c_str());
    }

    void PictureChanged(HWND h) override {
        if (TopWindow* t = FindTop(h)) gtk_widget_queue_draw(t->window);
    }

    void Pump() override {
        for (auto& [h, t] : Tops())
            if (t->dialog && t->childrenDirty) SyncDialogChildren(*t);
        for (int i = 0; i < 64 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    }

    Rect Screen() override {
        GdkDisplay* d = gdk_display_get_default();
        GdkMonitor* m = d ? gdk_display_get_primary_monitor(d) : nullptr;
        if (!m && d) m = gdk_display_get_monitor(d, 0);
        if (!m) return {0, 0, 1024, 768};
        GdkRectangle g;
        gdk_monitor_get_geometry(m, &g);
        return {g.x, g.y, g.x + g.width, g.y + g.height};
    }

    void ChildrenChanged(HWND top) override {
        if (TopWindow* t = FindTop(top); t && t->dialog) t->childrenDirty = true;
    }

    void ControlChanged(HWND control) override {
        HWND top = GetParent(control);
        if (TopWindow* t = FindTop(top); t && t->dialog) ApplyControl(*t, control);
    }

    void FocusChanged(HWND control) override {
        if (TopWindow* t = FindTop(GetParent(control)); t && t->dialog) FocusControl(*t, control);
    }

    void MenuChanged(HWND top) override {
        if (TopWindow* t = FindTop(top)) SetMenuBar(*t, GetMenu(top));
    }

    void StateChanged(HWND h) override {
        TopWindow* t = FindTop(h);
        if (!t) return;
        GtkWindow* w = GTK_WINDOW(t->window);
        if (IsIconic(h) && !t->iconified) gtk_window_iconify(w);
        else if (!IsIconic(h) && t->iconified) gtk_window_deiconify(w);
        if (IsFullScreen(h) != t->fullScreen) {
            t->fullScreen = IsFullScreen(h);
            if (t->fullScreen) gtk_window_fullscreen(w);
            else gtk_window_unfullscreen(w);
        }
        gtk_window_set_keep_above(w, (GetWindowStyle(h) & WS_EX_TOPMOST) != 0);
        HWND owner = GetOwner(h);
        GtkWindow* parent = owner ? DesktopWindowOf(owner) : nullptr;
        gtk_window_set_transient_for(w, parent);
        if (t->dialog) {
            // A modal dialog keeps the person's input away from the other windows; a dialog
            // opened by a modal one (the Stop of a running backup) takes it above its owner.
            bool modal = false;
            {
                std::lock_guard lock(Tables().lock);
                if (WindowData* d = Find(h)) modal = d->modal;
                if (WindowData* o = owner ? Find(owner) : nullptr) modal = modal || (o->isDialog && o->modal);
            }
            gtk_window_set_modal(w, modal);
        }
    }

    int TrackPopup(HMENU menu, HWND owner) override { return RunPopupMenu(menu, owner); }

    std::string ChooseFile(HWND owner, const FileRequest& request) override { return RunFileChooser(owner, request); }

    std::string ChooseFolder(HWND owner, const std::string& title, const std::string& initial) override {
        return RunFolderChooser(owner, title, initial);
    }
};

}  // namespace
}  // namespace gtkui

DesktopBackend* StartDesktopBackend() {
    static gtkui::GtkBackend* backend = nullptr;
    if (backend) return backend;
    if (!gtk_init_check(nullptr, nullptr)) return nullptr;
    backend = new gtkui::GtkBackend;
    gtkui::InstallDialogStyle();
    gtkui::InstallMessagePresenter();
    return backend;
}

}  // namespace orb

#else

namespace orb {
DesktopBackend* StartDesktopBackend() { return nullptr; }
}  // namespace orb

#endif
