// The desktop backend on GTK 3: one GtkWindow per top-level window, showing the window's
// picture, and the desktop's mouse and keys turned into the layer's messages.
#include "platform/window_backend.h"

#ifdef ORBISCOPE_HAVE_GTK
#include <gtk/gtk.h>

#include <map>

#include "platform/dib.h"
#include "platform/msgbox.h"

namespace orb {

namespace {

struct GtkBackend : DesktopBackend {
    std::map<HWND, GtkWidget*> windows;

    static HWND HandleOf(GtkWidget* w) { return static_cast<HWND>(g_object_get_data(G_OBJECT(w), "orb-hwnd")); }

    static gboolean OnDraw(GtkWidget* area, cairo_t* cr, gpointer data) {
        HWND h = static_cast<HWND>(data);
        HDIB pic = CaptureWindowPicture(h);
        if (!pic) return FALSE;
        {
            DibLock l(pic);
            const int w = l.width(), hgt = l.height();
            cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, hgt);
            cairo_surface_flush(s);
            uint8_t* dst = cairo_image_surface_get_data(s);
            const int stride = cairo_image_surface_get_stride(s);
            for (int y = 0; y < hgt; ++y) {
                const uint8_t* src = l.rowFromTop(y);
                uint32_t* row = reinterpret_cast<uint32_t*>(dst + y * stride);
                for (int x = 0; x < w; ++x) row[x] = src[x * 3] | (src[x * 3 + 1] << 8) | (src[x * 3 + 2] << 16);
            }
            cairo_surface_mark_dirty(s);
            cairo_set_source_surface(cr, s, 0, 0);
            cairo_paint(cr);
            cairo_surface_destroy(s);
        }
        DestroyDIB(pic);
        return TRUE;
    }

    static WPARAM Keys(guint state) {
        WPARAM k = 0;
        if (state & GDK_BUTTON1_MASK) k |= MK_LBUTTON;
        if (state & GDK_BUTTON3_MASK) k |= MK_RBUTTON;
        if (state & GDK_SHIFT_MASK) k |= MK_SHIFT;
        if (state & GDK_CONTROL_MASK) k |= MK_CONTROL;
        return k;
    }

    static gboolean OnButton(GtkWidget*, GdkEventButton* e, gpointer data) {
        HWND h = static_cast<HWND>(data);
        uint32_t msg = 0;
        if (e->type == GDK_BUTTON_PRESS) msg = e->button == 3 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
        else if (e->type == GDK_2BUTTON_PRESS && e->button == 1) msg = WM_LBUTTONDBLCLK;
        else if (e->type == GDK_BUTTON_RELEASE) msg = e->button == 3 ? WM_RBUTTONUP : WM_LBUTTONUP;
        if (msg) InjectMouse(h, msg, static_cast<int>(e->x), static_cast<int>(e->y), Keys(e->state));
        return TRUE;
    }

    static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
        InjectMouse(static_cast<HWND>(data), WM_MOUSEMOVE, static_cast<int>(e->x), static_cast<int>(e->y), Keys(e->state));
        return TRUE;
    }

    static gboolean OnScroll(GtkWidget*, GdkEventScroll* e, gpointer data) {
        int delta = 0;
        if (e->direction == GDK_SCROLL_UP) delta = kWheelDelta;
        else if (e->direction == GDK_SCROLL_DOWN) delta = -kWheelDelta;
        if (delta) InjectMouse(static_cast<HWND>(data), WM_MOUSEWHEEL, static_cast<int>(e->x), static_cast<int>(e->y), Keys(e->state), delta);
        return TRUE;
    }

    // Desktop key values become the classic key codes the views steer with.
    static uint32_t KeyCode(guint v) {
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

    static gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer data) {
        const uint32_t code = KeyCode(e->keyval);
        if (!code) return FALSE;
        HWND target = GetFocus() ? GetFocus() : static_cast<HWND>(data);
        SendMessage(target, e->type == GDK_KEY_PRESS ? WM_KEYDOWN : WM_KEYUP, code, 0);
        return TRUE;
    }

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
        SendMessage(static_cast<HWND>(data), WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;  // the procedure decides; DestroyWindow removes the widget
    }

    static gboolean OnConfigure(GtkWidget* w, GdkEventConfigure* e, gpointer data) {
        HWND h = static_cast<HWND>(data);
        const Rect r = GetWindowRect(h);
        if (r.width() != e->width || r.height() != e->height) {
            GtkBackend* self = static_cast<GtkBackend*>(g_object_get_data(G_OBJECT(w), "orb-backend"));
            self->inMove = true;
            MoveWindow(h, e->x, e->y, e->width, e->height, true);
            self->inMove = false;
        }
        return FALSE;
    }

    bool inMove = false;

    void WindowCreated(HWND h) override {
        const Rect r = GetWindowRect(h);
        GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(win), GetWindowText(h).c_str());
        const uint32_t style = GetWindowStyle(h);
        if ((style & WS_POPUP) && !(style & WS_BORDER)) gtk_window_set_decorated(GTK_WINDOW(win), FALSE);
        if (style & WS_POPUP) gtk_window_set_decorated(GTK_WINDOW(win), FALSE);
        gtk_window_move(GTK_WINDOW(win), r.left, r.top);
        gtk_window_set_default_size(GTK_WINDOW(win), std::max(1, r.width()), std::max(1, r.height()));
        GtkWidget* area = gtk_drawing_area_new();
        gtk_container_add(GTK_CONTAINER(win), area);
        gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK);
        gtk_widget_add_events(win, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
        g_object_set_data(G_OBJECT(win), "orb-backend", this);
        g_signal_connect(area, "draw", G_CALLBACK(OnDraw), h);
        g_signal_connect(area, "button-press-event", G_CALLBACK(OnButton), h);
        g_signal_connect(area, "button-release-event", G_CALLBACK(OnButton), h);
        g_signal_connect(area, "motion-notify-event", G_CALLBACK(OnMotion), h);
        g_signal_connect(area, "scroll-event", G_CALLBACK(OnScroll), h);
        g_signal_connect(win, "key-press-event", G_CALLBACK(OnKey), h);
        g_signal_connect(win, "key-release-event", G_CALLBACK(OnKey), h);
        g_signal_connect(win, "delete-event", G_CALLBACK(OnDelete), h);
        g_signal_connect(win, "configure-event", G_CALLBACK(OnConfigure), h);
        windows[h] = win;
    }

    void WindowDestroyed(HWND h) override {
        const auto it = windows.find(h);
        if (it == windows.end()) return;
        gtk_widget_destroy(it->second);
        windows.erase(it);
    }

    void WindowShown(HWND h, bool visible) override {
        const auto it = windows.find(h);
        if (it == windows.end()) return;
        if (visible) gtk_widget_show_all(it->second);
        else gtk_widget_hide(it->second);
    }

    void WindowMoved(HWND h, const Rect& r) override {
        const auto it = windows.find(h);
        if (it == windows.end() || inMove) return;
        gtk_window_move(GTK_WINDOW(it->second), r.left, r.top);
        gtk_window_resize(GTK_WINDOW(it->second), std::max(1, r.width()), std::max(1, r.height()));
    }

    void TitleChanged(HWND h, const std::string& title) override {
        const auto it = windows.find(h);
        if (it != windows.end()) gtk_window_set_title(GTK_WINDOW(it->second), title.c_str());
    }

    void PictureChanged(HWND h) override {
        const auto it = windows.find(h);
        if (it != windows.end()) gtk_widget_queue_draw(it->second);
    }

    void Pump() override {
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
};

}  // namespace

DesktopBackend* StartDesktopBackend() {
    static GtkBackend* backend = nullptr;
    if (backend) return backend;
    if (!gtk_init_check(nullptr, nullptr)) return nullptr;
    backend = new GtkBackend;
    // Message boxes become modal desktop dialogs.
    SetMessagePresenter([](void*, const ShownMessage& m) {
        const unsigned buttons = m.flags & 0xF;
        const unsigned icon = m.flags & 0xF0;
        GtkWidget* d = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL,
                                              icon == kMbIconError     ? GTK_MESSAGE_ERROR
                                              : icon == kMbIconWarning ? GTK_MESSAGE_WARNING
                                              : icon == kMbIconQuestion ? GTK_MESSAGE_QUESTION
                                                                        : GTK_MESSAGE_INFO,
                                              buttons == kMbYesNo ? GTK_BUTTONS_YES_NO
                                              : buttons == kMbOkCancel ? GTK_BUTTONS_OK_CANCEL
                                                                       : GTK_BUTTONS_OK,
                                              "%s", m.text.c_str());
        gtk_window_set_title(GTK_WINDOW(d), m.caption.c_str());
        const int r = gtk_dialog_run(GTK_DIALOG(d));
        gtk_widget_destroy(d);
        if (r == GTK_RESPONSE_YES) return kIdYes;
        if (r == GTK_RESPONSE_NO) return kIdNo;
        if (r == GTK_RESPONSE_OK) return kIdOk;
        return buttons == kMbYesNo ? kIdNo : kIdCancel;
    });
    return backend;
}

}  // namespace orb

#else

namespace orb {
DesktopBackend* StartDesktopBackend() { return nullptr; }
}  // namespace orb

#endif
