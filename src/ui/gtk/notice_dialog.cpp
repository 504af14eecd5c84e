// The first window: the warning about upgrading without the service provider's approval.
// "Cancel" is the default button, so Enter ends the program; the user must pick "Continue".
#include <array>

#include "app/context.h"
#include "app/text.h"
#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

GtkWidget* buildNotice() {
    std::array<char, 80> title;
    formatText(title, "%s Firmware Upgrade", upgradeContext.productName);
    GtkWidget* dialog = newDialogWindow(title.data());
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newTextPanel(messageTexts[9]), 0, 0, 1, 1);
    gtk_grid_attach(
        grid, newButtonRow(dialog, {{"Continue", kAffirmative}, {"Cancel", kCancel}}, kCancel), 0,
        1, 1, 1);
    setInitialFocus(dialog, dialogButton(dialog, kCancel));
    return dialog;
}

} // namespace

bool runNoticeDialog() {
    return runModalDialog("notice", buildNotice, [](GtkWidget*, int response) {
               return response == kAffirmative ? 1 : 0;
           }) == 1;
}
