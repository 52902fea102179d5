// The open-file, save-file and folder choosers on the desktop: the toolkit's file chooser
// with the filters, title, first folder and default extension the caller asks for.
#ifdef ORBISCOPE_HAVE_GTK
#include <sys/stat.h>

#include <string>

#include "platform/window/gtk/gtk_internal.h"

namespace orb::gtkui {

namespace {

struct ChooserRun {
    int response = GTK_RESPONSE_NONE;
    bool done = false;
};

void OnResponse(GtkDialog*, int response, gpointer data) {
    auto* run = static_cast<ChooserRun*>(data);
    run->response = response;
    run->done = true;
}

// Any letter case matches: "*.jpg" also takes "A.JPG".
void AddPatterns(GtkFileFilter* f, const std::string& patterns) {
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos) end = patterns.size();
        std::string p = patterns.substr(start, end - start);
        start = end + 1;
        if (p.empty()) continue;
        std::string blind;
        for (char c : p) {
            const char lo = static_cast<char>(g_ascii_tolower(c)), up = static_cast<char>(g_ascii_toupper(c));
            blind += lo == up ? std::string(1, c) : std::string("[") + lo + up + "]";
        }
        gtk_file_filter_add_pattern(f, blind.c_str());
    }
}

bool IsFolder(const std::string& p) {
    struct stat st{};
    return !p.empty() && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Run(GtkWidget* chooser, HWND owner) {
    ChooserRun run;
    if (GtkWindow* parent = owner ? DesktopWindowOf(owner) : nullptr)
        gtk_window_set_transient_for(GTK_WINDOW(chooser), parent);
    gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
    g_signal_connect(chooser, "response", G_CALLBACK(OnResponse), &run);
    gtk_widget_show_all(chooser);
    RunNestedUntil(run.done);
    std::string path;
    if (run.response == GTK_RESPONSE_ACCEPT) {
        if (gchar* f = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = f;
            g_free(f);
        }
    }
    g_signal_handlers_disconnect_by_data(chooser, &run);
    gtk_widget_destroy(chooser);
    return path;
}

}  // namespace

std::string RunFileChooser(HWND owner, const FileRequest& r) {
    GtkWidget* c = gtk_file_chooser_dialog_new(r.title.c_str(), nullptr,
                                               r.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
                                               "_Cancel", GTK_RESPONSE_CANCEL, r.save ? "_Save" : "_Open",
                                               GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(c), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* fc = GTK_FILE_CHOOSER(c);
    gtk_file_chooser_set_local_only(fc, TRUE);
    if (r.save) gtk_file_chooser_set_do_overwrite_confirmation(fc, TRUE);
    for (const auto& f : r.filters) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, f.description.c_str());
        AddPatterns(filter, f.patterns);
        gtk_file_chooser_add_filter(fc, filter);
    }
    if (IsFolder(r.initialFolder)) gtk_file_chooser_set_current_folder(fc, r.initialFolder.c_str());
    if (r.save && !r.initialName.empty()) gtk_file_chooser_set_current_name(fc, r.initialName.c_str());
    std::string path = Run(c, owner);
    // A saved name without an extension takes the default one.
    if (r.save && !path.empty() && !r.defaultExtension.empty()) {
        const size_t slash = path.find_last_of('/');
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (name.find('.') == std::string::npos) path += "." + r.defaultExtension;
    }
    return path;
}

std::string RunFolderChooser(HWND owner, const std::string& title, const std::string& initial) {
    GtkWidget* c = gtk_file_chooser_dialog_new(title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
                                               GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(c), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(c), TRUE);
    if (IsFolder(initial)) gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(c), initial.c_str());
    return Run(c, owner);
}

}  // namespace orb::gtkui
#endif
