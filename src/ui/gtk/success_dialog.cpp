// SPDX-License-Identifier: MIT
// The last window: the device is back and reports its new software version.
#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"
#include "ui/translation.h"
#include "ui/ui.h"

namespace {

GtkWidget* buildSuccess(const char* deviceAddressText, const char* softwareVersion) {
    GtkWidget* dialog = newDialogWindow(successTitle(deviceAddressText, translated).data());
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newTextPanel(translated(kSuccessText)), 0, 0, 1, 1);
    gtk_grid_attach(grid, newLabel(kWebAddressText, 0.5f), 0, 1, 1, 1);
    GtkWidget* version = newValueLabel("software-version", softwareVersion);
    gtk_label_set_xalign(GTK_LABEL(version), 0.5f);
    gtk_grid_attach(grid, version, 0, 2, 1, 1);
    addDialogButtons(dialog, {{translated(kOkButton), "O", kAffirmative}}, kAffirmative);
    setInitialFocus(dialog, dialogButton(dialog, kAffirmative));
    return dialog;
}

} // namespace

void runSuccessDialog(const char* deviceAddressText, const char* softwareVersion) {
    // Escape and the close box end it as "OK" does; the program ends after it either way.
    runModalDialog(
        "success",
        [deviceAddressText, softwareVersion] {
            return buildSuccess(deviceAddressText, softwareVersion);
        },
        [](GtkWidget*, int response) { return response == kAffirmative ? 1 : 0; });
}
