// Dialogs on the desktop: every control of a dialog becomes a real widget at its template
// position. The layer keeps the control's state; a widget shows it (ApplyControl) and what
// the person does goes back into that state and to the dialog procedure as the usual
// messages (WM_COMMAND with its notification, WM_HSCROLL for sliders).
#ifdef ORBISCOPE_HAVE_GTK
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/window/gtk/gtk_internal.h"
#include "platform/window_internal.h"

namespace orb::gtkui {

namespace {

// Set while the layer's state is written into widgets, so that their signals stay quiet.
int g_applying = 0;
struct Applying {
    Applying() { ++g_applying; }
    ~Applying() { --g_applying; }
};

struct ControlView {
    bool control = false;  // a control of the template (else a window of its own class)
    ControlKind kind = ControlKind::Static;
    int id = 0;
    std::string title;
    Rect rect;
    bool visible = false, enabled = true, checked = false;
    int value = 0, low = 0, high = 100, limit = 0, selection = -1;
    std::vector<std::string> items;
    std::vector<bool> chosen;
};

bool ReadControl(HWND c, ControlView& v) {
    std::lock_guard lock(Tables().lock);
    WindowData* w = Find(c);
    if (!w) return false;
    v.control = w->className == "#control";
    v.kind = w->control.kind;
    v.id = w->ctrlId;
    v.title = w->title;
    v.rect = w->rect;
    v.visible = w->visible;
    v.enabled = w->enabled;
    v.checked = w->control.checked;
    v.value = w->control.value;
    v.low = w->control.low;
    v.high = w->control.high;
    v.limit = w->control.limit;
    v.selection = w->control.selection;
    v.items = w->control.items;
    v.chosen = w->control.chosen;
    return true;
}

template <class F>
void WriteControl(HWND c, F f) {
    std::lock_guard lock(Tables().lock);
    if (WindowData* w = Find(c)) f(*w);
}

HWND ControlOf(GtkWidget* w) { return static_cast<HWND>(g_object_get_data(G_OBJECT(w), "orb-control")); }

void Command(HWND c, int code) {
    HWND dlg = GetParent(c);
    SendMessage(dlg, WM_COMMAND, MakeWParam(GetDlgCtrlID(c), code), reinterpret_cast<LPARAM>(c));
}

// ---- From the person to the layer ----

void OnClicked(GtkButton*, gpointer data) {
    if (!g_applying) Command(static_cast<HWND>(data), BN_CLICKED);
}

void OnCheckToggled(GtkToggleButton* b, gpointer data) {
    if (g_applying) return;
    HWND c = static_cast<HWND>(data);
    const bool on = gtk_toggle_button_get_active(b);
    WriteControl(c, [&](WindowData& w) { w.control.checked = on; });
    Command(c, BN_CLICKED);
}

void OnRadioToggled(GtkToggleButton* b, gpointer data) {
    if (g_applying || !gtk_toggle_button_get_active(b)) return;
    HWND c = static_cast<HWND>(data);
    // The group's other buttons are no longer chosen.
    for (GSList* g = gtk_radio_button_get_group(GTK_RADIO_BUTTON(b)); g; g = g->next)
        if (HWND other = ControlOf(GTK_WIDGET(g->data)))
            WriteControl(other, [&](WindowData& w) { w.control.checked = other == c; });
    Command(c, BN_CLICKED);
}

void OnEntryChanged(GtkEditable* e, gpointer data) {
    if (g_applying) return;
    HWND c = static_cast<HWND>(data);
    const std::string text = gtk_entry_get_text(GTK_ENTRY(e));
    WriteControl(c, [&](WindowData& w) {
        w.title = text;
        w.control.value = std::atoi(text.c_str());
    });
    Command(c, EN_CHANGE);
}

void OnSpinChanged(GtkSpinButton* s, gpointer data) {
    if (g_applying) return;
    HWND c = static_cast<HWND>(data);
    const int v = gtk_spin_button_get_value_as_int(s);
    WriteControl(c, [&](WindowData& w) {
        w.control.value = v;
        w.title = std::to_string(v);
    });
    Command(c, EN_CHANGE);
}

void OnSliderChanged(GtkRange* r, gpointer data) {
    if (g_applying) return;
    HWND c = static_cast<HWND>(data);
    const int v = static_cast<int>(gtk_range_get_value(r) + (gtk_range_get_value(r) >= 0 ? 0.5 : -0.5));
    WriteControl(c, [&](WindowData& w) {
        w.control.value = v;
        w.title = std::to_string(v);
    });
    SendMessage(GetParent(c), WM_HSCROLL, MakeWParam(TB_THUMBTRACK, static_cast<uint32_t>(v)), reinterpret_cast<LPARAM>(c));
}

void OnListSelection(GtkTreeSelection* sel, gpointer data) {
    if (g_applying) return;
    HWND c = static_cast<HWND>(data);
    GtkTreeView* view = gtk_tree_selection_get_tree_view(sel);
    GtkTreeModel* model = gtk_tree_view_get_model(view);
    const int n = gtk_tree_model_iter_n_children(model, nullptr);
    std::vector<bool> chosen(n, false);
    int first = -1;
    GList* rows = gtk_tree_selection_get_selected_rows(sel, nullptr);
    for (GList* r = rows; r; r = r->next) {
        const int i = gtk_tree_path_get_indices(static_cast<GtkTreePath*>(r->data))[0];
        if (i >= 0 && i < n) chosen[i] = true;
        if (first < 0 || i < first) first = i;
    }
    g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    // The caret is the row the person touched last, when it is chosen.
    GtkTreePath* cursor = nullptr;
    gtk_tree_view_get_cursor(view, &cursor, nullptr);
    int caret = first;
    if (cursor) {
        const int i = gtk_tree_path_get_indices(cursor)[0];
        if (i >= 0 && i < n && chosen[i]) caret = i;
        gtk_tree_path_free(cursor);
    }
    WriteControl(c, [&](WindowData& w) {
        if (w.control.items.size() != chosen.size()) return;
        w.control.chosen = chosen;
        w.control.selection = caret;
    });
    Command(c, LBN_SELCHANGE);
}

void OnRowActivated(GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer data) {
    if (!g_applying) Command(static_cast<HWND>(data), LBN_DBLCLK);
}

void OnComboChanged(GtkComboBox* b, gpointer data) {
    if (g_applying) return;
    HWND c = static_cast<HWND>(data);
    const int i = gtk_combo_box_get_active(b);
    WriteControl(c, [&](WindowData& w) {
        if (i >= static_cast<int>(w.control.items.size())) return;
        std::fill(w.control.chosen.begin(), w.control.chosen.end(), false);
        w.control.selection = i;
        if (i >= 0) w.control.chosen[i] = true;
        w.title = i >= 0 ? w.control.items[i] : std::string{};
    });
    Command(c, CBN_SELCHANGE);
}

// ---- Widgets ----

// Buttons, boxes and frames say their own text; the others need a label.
bool HasOwnText(ControlKind k) {
    return k == ControlKind::Static || k == ControlKind::Button || k == ControlKind::DefButton || k == ControlKind::Check ||
           k == ControlKind::Radio || k == ControlKind::Group;
}

GtkWidget* InnerOf(GtkWidget* w) {
    auto* inner = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(w), "orb-inner"));
    return inner ? inner : w;
}

GtkWidget* NewList(HWND c, bool multiple) {
    GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
    GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view), FALSE);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", gtk_cell_renderer_text_new(), "text", 0, nullptr);
    GtkTreeSelection* sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
    gtk_tree_selection_set_mode(sel, multiple ? GTK_SELECTION_MULTIPLE : GTK_SELECTION_SINGLE);
    g_signal_connect(sel, "changed", G_CALLBACK(OnListSelection), c);
    g_signal_connect(view, "row-activated", G_CALLBACK(OnRowActivated), c);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    g_object_set_data(G_OBJECT(scroll), "orb-inner", view);
    g_object_set_data(G_OBJECT(view), "orb-control", c);
    return scroll;
}

// Radio buttons that follow each other share a group, with a hidden member that is active
// while the layer has none of them chosen.
GtkWidget* NewRadio(HWND c, const std::string& text, GtkWidget* previous) {
    GtkWidget* r;
    if (previous && GTK_IS_RADIO_BUTTON(previous)) {
        r = gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(previous), text.c_str());
        g_object_set_data(G_OBJECT(r), "orb-none", g_object_get_data(G_OBJECT(previous), "orb-none"));
    } else {
        GtkWidget* none = gtk_radio_button_new(nullptr);
        g_object_ref_sink(none);
        r = gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(none), text.c_str());
        g_object_set_data_full(G_OBJECT(r), "orb-none", none, g_object_unref);
    }
    g_signal_connect(r, "toggled", G_CALLBACK(OnRadioToggled), c);
    return r;
}

GtkWidget* NewWidget(TopWindow& t, HWND c, const ControlView& v, GtkWidget* previous) {
    if (!v.control) return NewPictureArea(t.hwnd, c);
    GtkWidget* w = nullptr;
    switch (v.kind) {
    case ControlKind::Static: {
        w = gtk_label_new(v.title.c_str());
        gtk_label_set_xalign(GTK_LABEL(w), 0);
        if (v.rect.height() > 24) {
            // A text of several lines wraps at the control's width instead of widening the
            // dialog to its length on one line.
            gtk_label_set_line_wrap(GTK_LABEL(w), TRUE);
            gtk_label_set_max_width_chars(GTK_LABEL(w), 1);
        }
        break;
    }
    case ControlKind::Button:
    case ControlKind::DefButton:
        w = gtk_button_new_with_label(v.title.c_str());
        if (v.kind == ControlKind::DefButton) {
            gtk_widget_set_can_default(w, TRUE);
            gtk_style_context_add_class(gtk_widget_get_style_context(w), "suggested-action");
        }
        g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), c);
        break;
    case ControlKind::Edit:
    case ControlKind::Password:
        w = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
        gtk_entry_set_visibility(GTK_ENTRY(w), v.kind != ControlKind::Password);
        g_signal_connect(w, "changed", G_CALLBACK(OnEntryChanged), c);
        break;
    case ControlKind::Check:
        w = gtk_check_button_new_with_label(v.title.c_str());
        g_signal_connect(w, "toggled", G_CALLBACK(OnCheckToggled), c);
        break;
    case ControlKind::Radio:
        w = NewRadio(c, v.title, previous);
        break;
    case ControlKind::List:
    case ControlKind::MultiList:
        w = NewList(c, v.kind == ControlKind::MultiList);
        break;
    case ControlKind::Combo:
        w = gtk_combo_box_text_new();
        g_signal_connect(w, "changed", G_CALLBACK(OnComboChanged), c);
        break;
    case ControlKind::Spin:
        w = gtk_spin_button_new_with_range(0, 100, 1);
        gtk_entry_set_width_chars(GTK_ENTRY(w), 3);
        g_signal_connect(w, "value-changed", G_CALLBACK(OnSpinChanged), c);
        break;
    case ControlKind::Slider:
        w = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1);
        gtk_scale_set_draw_value(GTK_SCALE(w), FALSE);
        g_signal_connect(w, "value-changed", G_CALLBACK(OnSliderChanged), c);
        break;
    case ControlKind::Progress:
        w = gtk_progress_bar_new();
        break;
    case ControlKind::Group:
        w = gtk_frame_new(v.title.empty() ? nullptr : v.title.c_str());
        break;
    case ControlKind::Picture:
        w = gtk_drawing_area_new();
        break;
    }
    g_object_set_data(G_OBJECT(w), "orb-control", c);
    return w;
}

void ApplyList(GtkWidget* w, const ControlView& v) {
    GtkTreeView* view = GTK_TREE_VIEW(InnerOf(w));
    GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(view));
    GtkTreeModel* model = GTK_TREE_MODEL(store);
    // Rebuilt only when the items differ, so that the person's scrolling stays.
    bool same = gtk_tree_model_iter_n_children(model, nullptr) == static_cast<int>(v.items.size());
    GtkTreeIter it;
    for (int i = 0; same && i < static_cast<int>(v.items.size()); ++i) {
        gchar* text = nullptr;
        if (gtk_tree_model_iter_nth_child(model, &it, nullptr, i)) gtk_tree_model_get(model, &it, 0, &text, -1);
        same = text && v.items[i] == text;
        g_free(text);
    }
    if (!same) {
        gtk_list_store_clear(store);
        for (const auto& s : v.items) gtk_list_store_insert_with_values(store, nullptr, -1, 0, s.c_str(), -1);
    }
    GtkTreeSelection* sel = gtk_tree_view_get_selection(view);
    for (int i = 0; i < static_cast<int>(v.items.size()); ++i) {
        if (!gtk_tree_model_iter_nth_child(model, &it, nullptr, i)) break;
        const bool on = i < static_cast<int>(v.chosen.size()) && v.chosen[i];
        if (on != static_cast<bool>(gtk_tree_selection_iter_is_selected(sel, &it))) {
            if (on) gtk_tree_selection_select_iter(sel, &it);
            else gtk_tree_selection_unselect_iter(sel, &it);
        }
    }
    if (v.selection >= 0 && v.selection < static_cast<int>(v.items.size())) {
        GtkTreePath* p = gtk_tree_path_new_from_indices(v.selection, -1);
        gtk_tree_view_scroll_to_cell(view, p, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(p);
    }
}

void ApplyCombo(GtkWidget* w, const ControlView& v) {
    GtkComboBox* box = GTK_COMBO_BOX(w);
    GtkTreeModel* model = gtk_combo_box_get_model(box);
    if (gtk_tree_model_iter_n_children(model, nullptr) != static_cast<int>(v.items.size())) {
        gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(w));
        for (const auto& s : v.items) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w), s.c_str());
    }
    if (gtk_combo_box_get_active(box) != v.selection) gtk_combo_box_set_active(box, v.selection);
}

void ApplyState(GtkWidget* w, const ControlView& v) {
    switch (v.kind) {
    case ControlKind::Static:
        if (GTK_IS_LABEL(w) && v.title != gtk_label_get_text(GTK_LABEL(w))) gtk_label_set_text(GTK_LABEL(w), v.title.c_str());
        break;
    case ControlKind::Button:
    case ControlKind::DefButton:
        gtk_button_set_label(GTK_BUTTON(w), v.title.c_str());
        break;
    case ControlKind::Edit:
    case ControlKind::Password:
        gtk_entry_set_max_length(GTK_ENTRY(w), v.limit);
        if (v.title != gtk_entry_get_text(GTK_ENTRY(w))) gtk_entry_set_text(GTK_ENTRY(w), v.title.c_str());
        break;
    case ControlKind::Check:
        gtk_button_set_label(GTK_BUTTON(w), v.title.c_str());
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), v.checked);
        break;
    case ControlKind::Radio:
        gtk_button_set_label(GTK_BUTTON(w), v.title.c_str());
        if (v.checked) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), TRUE);
        else if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)))
            if (auto* none = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(w), "orb-none")))
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(none), TRUE);
        break;
    case ControlKind::List:
    case ControlKind::MultiList:
        ApplyList(w, v);
        break;
    case ControlKind::Combo:
        ApplyCombo(w, v);
        break;
    case ControlKind::Spin:
        gtk_spin_button_set_range(GTK_SPIN_BUTTON(w), v.low, v.high);
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(w), v.value);
        break;
    case ControlKind::Slider:
        gtk_range_set_range(GTK_RANGE(w), v.low, std::max(v.high, v.low + 1));
        gtk_range_set_value(GTK_RANGE(w), v.value);
        break;
    case ControlKind::Progress: {
        const double span = std::max(1, v.high - v.low);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(w), std::clamp((v.value - v.low) / span, 0.0, 1.0));
        break;
    }
    case ControlKind::Group:
        gtk_frame_set_label(GTK_FRAME(w), v.title.empty() ? nullptr : v.title.c_str());
        break;
    case ControlKind::Picture:
        break;
    }
}

}  // namespace

void InstallDialogStyle() {
    static const char* kCss =
        ".orb-dialog entry { min-height: 0; padding-top: 2px; padding-bottom: 2px; }"
        ".orb-dialog button { min-height: 0; padding: 2px 8px; }"
        ".orb-dialog spinbutton button { padding: 0 4px; min-width: 14px; }"
        ".orb-dialog spinbutton entry { min-width: 0; }"
        ".orb-dialog scale { padding-top: 4px; padding-bottom: 4px; }"
        ".orb-dialog progressbar trough, .orb-dialog progressbar progress { min-height: 12px; }";
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
    if (GdkScreen* s = gdk_screen_get_default())
        gtk_style_context_add_provider_for_screen(s, GTK_STYLE_PROVIDER(css), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

void BuildDialogContent(TopWindow& t) {
    gtk_style_context_add_class(gtk_widget_get_style_context(t.window), "orb-dialog");
    MarkAsDialog(t.window);
    t.fixed = gtk_fixed_new();
    const Rect r = GetWindowRect(t.hwnd);
    gtk_widget_set_size_request(t.fixed, std::max(1, r.width()), std::max(1, r.height()));
    gtk_box_pack_end(GTK_BOX(t.box), t.fixed, TRUE, TRUE, 0);
    t.childrenDirty = true;
}

void SyncDialogChildren(TopWindow& t) {
    t.childrenDirty = false;
    const std::vector<HWND> children = GetChildren(t.hwnd);
    // Widgets of children that are gone.
    for (auto it = t.controls.begin(); it != t.controls.end();) {
        if (std::find(children.begin(), children.end(), it->first) == children.end()) {
            gtk_widget_destroy(it->second);
            it = t.controls.erase(it);
        } else {
            ++it;
        }
    }
    GtkWidget* previous = nullptr;
    GtkWidget* previousLabel = nullptr;  // a static text just before: the next control's label
    for (HWND c : children) {
        ControlView v;
        if (!ReadControl(c, v)) continue;
        const auto found = t.controls.find(c);
        if (found != t.controls.end()) {
            previous = found->second;
            previousLabel = v.control && v.kind == ControlKind::Static && !v.title.empty() ? previous : nullptr;
            continue;
        }
        Applying quiet;
        GtkWidget* w = NewWidget(t, c, v, v.kind == ControlKind::Radio ? previous : nullptr);
        gtk_widget_set_size_request(w, std::max(1, v.rect.width()), std::max(1, v.rect.height()));
        gtk_fixed_put(GTK_FIXED(t.fixed), w, v.rect.left, v.rect.top);
        t.controls[c] = w;
        previous = w;
        if (v.control) ApplyState(w, v);
        gtk_widget_show_all(w);
        gtk_widget_set_visible(w, v.visible && v.rect.width() > 0 && v.rect.height() > 0);
        gtk_widget_set_sensitive(w, v.enabled);
        if (v.control && !HasOwnText(v.kind)) NameForScreenReaders(InnerOf(w), previousLabel, GetWindowText(t.hwnd));
        previousLabel = v.control && v.kind == ControlKind::Static && !v.title.empty() ? w : nullptr;
    }
}

void ApplyControl(TopWindow& t, HWND control) {
    if (t.childrenDirty) SyncDialogChildren(t);
    const auto it = t.controls.find(control);
    if (it == t.controls.end()) return;
    ControlView v;
    if (!ReadControl(control, v)) return;
    Applying quiet;
    if (v.control) ApplyState(it->second, v);
    gtk_widget_set_visible(it->second, v.visible && v.rect.width() > 0 && v.rect.height() > 0);
    gtk_widget_set_sensitive(it->second, v.enabled);
    gtk_fixed_move(GTK_FIXED(t.fixed), it->second, v.rect.left, v.rect.top);
}

void FocusControl(TopWindow& t, HWND control) {
    if (t.childrenDirty) SyncDialogChildren(t);
    const auto it = t.controls.find(control);
    if (it != t.controls.end()) gtk_widget_grab_focus(InnerOf(it->second));
}

// Enter presses the default button (unless a push button has the focus and takes it);
// Escape cancels.
gboolean DialogKeyPress(GtkWidget* win, GdkEventKey* e, gpointer data) {
    HWND dlg = static_cast<HWND>(data);
    if (e->keyval == GDK_KEY_Escape) {
        SendMessage(dlg, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
        return TRUE;
    }
    if (e->keyval != GDK_KEY_Return && e->keyval != GDK_KEY_KP_Enter) return FALSE;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(win));
    if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) return FALSE;
    int id = IDOK;
    for (HWND c : GetChildren(dlg)) {
        ControlView v;
        if (ReadControl(c, v) && v.control && v.kind == ControlKind::DefButton) {
            id = v.id;
            break;
        }
    }
    HWND button = GetDlgItem(dlg, id);
    if (button && !IsWindowEnabled(button)) return TRUE;
    SendMessage(dlg, WM_COMMAND, MakeWParam(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return TRUE;
}

}  // namespace orb::gtkui
#endif
