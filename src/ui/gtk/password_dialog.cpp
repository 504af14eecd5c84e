// SPDX-License-Identifier: MIT
// The password prompt: "admin" preset and the password empty every time it opens.
#include <cstring>
#include <string>

#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/ansi_text.h"
#include "ui/dialog_logic.h"
#include "ui/messages.h"
#include "ui/translation.h"
#include "ui/ui.h"

namespace {

GtkWidget* buildPassword() {
    GtkWidget* dialog = newDialogWindow(translated(kPasswordTitle));
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newTextPanel(translated(kPasswordNoticeText)), 0, 0, 2, 1);
    GtkWidget* user = newEntryField("user", "admin", false);
    GtkWidget* password = newEntryField("password", "", true);
    gtk_grid_attach(grid, newCaption(translated(kUserLabel), "U", user, 1.0f), 0, 1, 1, 1);
    gtk_grid_attach(grid, user, 1, 1, 1, 1);
    gtk_grid_attach(grid, newCaption(translated(kPasswordLabel), "P", password, 1.0f), 0, 2, 1, 1);
    gtk_grid_attach(grid, password, 1, 2, 1, 1);
    addDialogButtons(
        dialog,
        {{translated(kCancelButton), "C", kCancel}, {translated(kOkButton), "O", kAffirmative}},
        kAffirmative);
    setInitialFocus(dialog, password);
    g_object_set_data(G_OBJECT(dialog), "tov-user", user);
    g_object_set_data(G_OBJECT(dialog), "tov-password", password);
    return dialog;
}

std::string fieldText(GtkWidget* dialog, const char* key) {
    auto* entry = static_cast<GtkEntry*>(g_object_get_data(G_OBJECT(dialog), key));
    return ansiText(gtk_entry_get_text(entry));
}

} // namespace

bool runPasswordDialog(Credentials& credentials) {
    return runModalDialog("password", buildPassword,
                          [&credentials](GtkWidget* dialog, int response) {
                              if (response != kAffirmative)
                                  return 0; // the earlier credentials stay
                              // No validation: empty texts are stored as they are.
                              storeCredentials(fieldText(dialog, "tov-user"),
                                               fieldText(dialog, "tov-password"), credentials);
                              return 1;
                          }) == 1;
}
