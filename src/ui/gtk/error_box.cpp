// The error box, the one way a failure is reported; shown from whichever thread met it.
#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/ansi_text.h"
#include "ui/messages.h"
#include "ui/ui.h"

void showErrorBox(const UpgradeFailure& failure) {
    const FailureText text = failureText(failure);
    runModalDialog(
        "error",
        [&text] {
            // No icon, one "OK", modal over the program's other windows.
            GtkWidget* box =
                gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                       GTK_BUTTONS_NONE, "%s", displayText(text.data()).c_str());
            gtk_window_set_title(GTK_WINDOW(box), kErrorBoxCaption);
            gtk_dialog_add_button(GTK_DIALOG(box), kOkButton, kAffirmative);
            gtk_dialog_set_default_response(GTK_DIALOG(box), kAffirmative);
            gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
            return box;
        },
        [](GtkWidget*, int) { return 1; });
}
