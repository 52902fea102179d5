// Message boxes on the desktop: a message dialog with the icon and buttons the flags ask
// for, over the owner's window, answered by the person.
#ifdef ORBISCOPE_HAVE_GTK
#include "platform/msgbox.h"
#include "platform/window/gtk/gtk_internal.h"
#include "platform/window_internal.h"

namespace orb::gtkui {

namespace {

struct BoxRun {
    int response = GTK_RESPONSE_NONE;
    bool done = false;
};

void OnResponse(GtkDialog*, int response, gpointer data) {
    auto* run = static_cast<BoxRun*>(data);
    run->response = response;
    run->done = true;
}

GtkMessageType TypeOf(unsigned flags) {
    switch (flags & 0xF0) {
    case kMbIconError: return GTK_MESSAGE_ERROR;
    case kMbIconWarning: return GTK_MESSAGE_WARNING;
    case kMbIconQuestion: return GTK_MESSAGE_QUESTION;
    case kMbIconInfo: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
    }
}

int Present(void* owner, const ShownMessage& m) {
    const unsigned buttons = m.flags & 0xF;
    // Only the desktop's own thread may run its loop; elsewhere the box takes its default.
    if (!IsDesktopThread()) return buttons == kMbYesNo ? kIdYes : kIdOk;
    GtkWindow* parent = owner ? DesktopWindowOf(static_cast<HWND>(owner)) : nullptr;
    GtkWidget* d = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, TypeOf(m.flags),
                                          buttons == kMbYesNo      ? GTK_BUTTONS_YES_NO
                                          : buttons == kMbOkCancel ? GTK_BUTTONS_OK_CANCEL
                                                                   : GTK_BUTTONS_OK,
                                          "%s", m.text.c_str());
    // An empty caption still names the program in the title bar.
    gtk_window_set_title(GTK_WINDOW(d), m.caption.empty() ? "Orbiscope" : m.caption.c_str());
    BoxRun run;
    g_signal_connect(d, "response", G_CALLBACK(OnResponse), &run);
    gtk_widget_show_all(d);
    RunNestedUntil(run.done);
    g_signal_handlers_disconnect_by_data(d, &run);
    gtk_widget_destroy(d);
    if (run.response == GTK_RESPONSE_YES) return kIdYes;
    if (run.response == GTK_RESPONSE_NO) return kIdNo;
    if (run.response == GTK_RESPONSE_OK) return kIdOk;
    return buttons == kMbYesNo ? kIdNo : buttons == kMbOkCancel ? kIdCancel : kIdOk;
}

}  // namespace

void InstallMessagePresenter() { SetMessagePresenter(Present); }

}  // namespace orb::gtkui
#endif
