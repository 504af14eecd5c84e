// SPDX-License-Identifier: MIT
// GtkFileChooserNative: the portal's chooser where the desktop has one, GTK's own otherwise.
#include "file_chooser.h"

#include <gtk/gtk.h>

#include "gui_thread.h"
#include "ui/ansi_text.h"
#include "ui/translation.h"
#include "ui_log.h"

namespace {

constexpr char kChooserTitle[] = N_("Choose a TOV Firmware Image");

struct Choosing {
    GtkFileChooserNative* chooser;
    std::optional<std::string> chosen;
    GuiAnswer answer;
};

void onChosen(GtkNativeDialog* dialog, int response, gpointer data) {
    auto* choosing = static_cast<Choosing*>(data);
    if (response == GTK_RESPONSE_ACCEPT) {
        if (gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            choosing->chosen = path;
            g_free(path);
        }
    }
    logUiLine(std::string("close: file-chooser ") + (choosing->chosen ? "1" : "0"));
    g_object_unref(choosing->chooser);
    choosing->answer.give(0);
}

// GTK's own chooser, when it stands in for the portal's, goes into the window log like every
// other window (the scenarios find and answer it there).
gboolean logChooserWindow(gpointer data) {
    auto* tries = static_cast<int*>(data);
    bool found = false;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr && !found; w = w->next)
        if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data))) {
            logWindowContents(GTK_WIDGET(w->data), "file-chooser");
            found = true;
        }
    g_list_free(windows);
    return found || --*tries <= 0 ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

} // namespace

std::optional<std::string> chooseFirmwareFile() {
    startGuiThread();
    Choosing choosing{};
    postToGuiThread([&choosing] {
        choosing.chooser = gtk_file_chooser_native_new(
            displayText(translated(kChooserTitle)).c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
            displayText(translated(N_("_Open"))).c_str(),
            displayText(translated(N_("_Cancel"))).c_str());
        GtkFileFilter* images = gtk_file_filter_new();
        gtk_file_filter_set_name(images,
                                 displayText(translated(N_("TOV firmware images"))).c_str());
        gtk_file_filter_add_mime_type(images, "application/x-tov-firmware");
        gtk_file_filter_add_pattern(images, "*.bin");
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(choosing.chooser), images);
        GtkFileFilter* all = gtk_file_filter_new();
        gtk_file_filter_set_name(all, displayText(translated(N_("All files"))).c_str());
        gtk_file_filter_add_pattern(all, "*");
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(choosing.chooser), all);
        g_signal_connect(choosing.chooser, "response", G_CALLBACK(onChosen), &choosing);
        gtk_native_dialog_show(GTK_NATIVE_DIALOG(choosing.chooser));
        static int tries = 0;
        tries = 50; // 5 s: a portal's chooser is not ours to log
        g_timeout_add(100, logChooserWindow, &tries);
    });
    choosing.answer.wait();
    return choosing.chosen;
}
