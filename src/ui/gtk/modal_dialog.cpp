// SPDX-License-Identifier: MIT
// Modal dialogs for the core's threads: shown on the GUI thread, answered to the caller.
#include "modal_dialog.h"

#include <string>

#include "dialog_parts.h"
#include "gui_thread.h"
#include "progress_windows.h"
#include "ui_log.h"

namespace {

struct OpenDialog {
    std::string kind;
    const std::function<int(GtkWidget*, int)>* respond; // the caller's, alive while it waits
    GuiAnswer* answer;
};

void onResponse(GtkDialog* dialog, int response, gpointer data) {
    auto* open = static_cast<OpenDialog*>(data);
    // Escape and the close box arrive as GTK's delete-event response: Cancel.
    const int command = response == kAffirmative ? kAffirmative : kCancel;
    const int result = (*open->respond)(GTK_WIDGET(dialog), command);
    if (result == kKeepOpen)
        return;
    logUiLine("close: " + open->kind + " " + std::to_string(result));
    g_signal_handlers_disconnect_by_data(dialog, data);
    gtk_widget_destroy(GTK_WIDGET(dialog));
    progressWindowAfterDialog();
    open->answer->give(result);
    delete open;
}

} // namespace

int runModalDialog(const char* kind, const std::function<GtkWidget*()>& build,
                   const std::function<int(GtkWidget* dialog, int response)>& respond) {
    GuiAnswer answer;
    postToGuiThread([kind, &build, &respond, &answer] {
        progressWindowMakeWayForDialog();
        GtkWidget* dialog = build();
        auto* open = new OpenDialog{kind, &respond, &answer};
        g_signal_connect(dialog, "response", G_CALLBACK(onResponse), open);
        gtk_widget_show_all(dialog);
        takeInitialFocus(dialog);
        centreWindow(dialog);
        logWindowContents(dialog, kind);
    });
    return answer.wait();
}
