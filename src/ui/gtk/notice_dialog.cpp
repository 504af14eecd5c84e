// SPDX-License-Identifier: MIT
// The first window: the warning about upgrading without the service provider's approval.
// "Cancel" is the default button (left of "Continue", as GNOME orders them), so Enter ends the
// program; the user must pick "Continue".
#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"
#include "ui/translation.h"
#include "ui/ui.h"

namespace {

GtkWidget* buildNotice(const char* productName) {
    GtkWidget* dialog = newDialogWindow(programTitle(productName, translated).data());
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newTextPanel(translated(kOpeningWarningText)), 0, 0, 1, 1);
    addDialogButtons(dialog,
                     {{translated(kCancelButton), "C", kCancel},
                      {translated(kContinueButton), "o", kAffirmative}},
                     kCancel);
    setInitialFocus(dialog, dialogButton(dialog, kCancel));
    return dialog;
}

} // namespace

bool runNoticeDialog(const char* productName) {
    return runModalDialog(
               "notice", [productName] { return buildNotice(productName); },
               [](GtkWidget*, int response) { return response == kAffirmative ? 1 : 0; }) == 1;
}
