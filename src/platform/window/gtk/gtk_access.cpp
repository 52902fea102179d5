// What a screen reader hears of a dialog: the window is announced as a dialog, and a control
// that shows no text of its own (an edit field, a list, a slider) is named by the label
// placed just before it in the template, or else by the dialog's caption.
#ifdef ORBISCOPE_HAVE_GTK
#include "platform/window/gtk/gtk_internal.h"

namespace orb::gtkui {

void MarkAsDialog(GtkWidget* window) {
    if (AtkObject* a = gtk_widget_get_accessible(window)) atk_object_set_role(a, ATK_ROLE_DIALOG);
}

void NameForScreenReaders(GtkWidget* inner, GtkWidget* label, const std::string& caption) {
    if (GTK_IS_LABEL(label)) {
        // The label reads as the control's name and moves the focus to it.
        gtk_label_set_mnemonic_widget(GTK_LABEL(label), inner);
        return;
    }
    if (AtkObject* a = gtk_widget_get_accessible(inner)) atk_object_set_name(a, caption.c_str());
    if (GTK_IS_TREE_VIEW(inner))
        if (GtkTreeViewColumn* column = gtk_tree_view_get_column(GTK_TREE_VIEW(inner), 0))
            gtk_tree_view_column_set_title(column, caption.c_str());
}

}  // namespace orb::gtkui
#endif
