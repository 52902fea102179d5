// Shared by the desktop backend's files: the top-level windows it shows and the pieces
// (dialogs, menus, choosers, message boxes) that each live in their own file.
#pragma once
#ifdef ORBISCOPE_HAVE_GTK
#include <gtk/gtk.h>

#include <map>
#include <string>

#include "platform/choosers.h"
#include "platform/window.h"

namespace orb::gtkui {

// One top-level window of the layer on the desktop.
struct TopWindow {
    HWND hwnd = nullptr;
    GtkWidget* window = nullptr;   // the GtkWindow
    GtkWidget* box = nullptr;      // menu bar over the content
    GtkWidget* menubar = nullptr;
    GtkWidget* area = nullptr;     // plain windows: the window's picture
    GtkWidget* fixed = nullptr;    // dialogs: the controls at their places
    bool dialog = false;
    std::map<HWND, GtkWidget*> controls;  // dialogs: a widget per child window
    bool childrenDirty = false;
    bool iconified = false, fullScreen = false;
};

TopWindow* FindTop(HWND hwnd);
// The desktop window of a layer window (its top-level's), or null.
GtkWindow* DesktopWindowOf(HWND hwnd);

// A drawing area that shows `drawn` (a window of the layer) and hands the mouse to the layer
// as input of `top` at the drawn window's place.
GtkWidget* NewPictureArea(HWND top, HWND drawn);

// Dialogs (gtk_dialogs.cpp).
void BuildDialogContent(TopWindow& t);
void SyncDialogChildren(TopWindow& t);
void ApplyControl(TopWindow& t, HWND control);
void FocusControl(TopWindow& t, HWND control);
gboolean DialogKeyPress(GtkWidget*, GdkEventKey* e, gpointer data);
// Compact look for dialog controls, so that template positions hold.
void InstallDialogStyle();

// Screen readers (gtk_access.cpp): the window read as a dialog; a control without text of its
// own named by the label just before it, or else by the dialog's caption.
void MarkAsDialog(GtkWidget* window);
void NameForScreenReaders(GtkWidget* inner, GtkWidget* label, const std::string& caption);

// Menus (gtk_menus.cpp).
void SetMenuBar(TopWindow& t, HMENU menu);
int RunPopupMenu(HMENU menu, HWND owner);

// Choosers and message boxes (gtk_choosers.cpp, gtk_msgbox.cpp).
std::string RunFileChooser(HWND owner, const FileRequest& request);
std::string RunFolderChooser(HWND owner, const std::string& title, const std::string& initial);
void InstallMessagePresenter();

// Runs the layer's messages and the desktop's events until `done` is set.
void RunNestedUntil(const bool& done);

}  // namespace orb::gtkui
#endif
