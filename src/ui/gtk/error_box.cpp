// SPDX-License-Identifier: MIT
// The error box, the one way a failure is reported; shown from whichever thread met it.
#include <string>
#include <string_view>

#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/ansi_text.h"
#include "ui/messages.h"
#include "ui/translation.h"
#include "ui/ui.h"

namespace {

// "Upgrade Failed: Can't connect to TOV" is shown as GNOME words an error: the headline as the
// primary text, what went wrong as the secondary one. A text without ": " is all headline.
struct ErrorWords {
    std::string primary;
    std::string secondary;
};

ErrorWords splitFailure(std::string_view text) {
    const std::size_t colon = text.find(": ");
    if (colon == std::string_view::npos)
        return {std::string(text), {}};
    return {std::string(text.substr(0, colon)), std::string(text.substr(colon + 2))};
}

GtkWidget* buildErrorBox(const FailureText& text, bool offerRetry) {
    const ErrorWords words = splitFailure(displayText(text.data()));
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                            GTK_BUTTONS_NONE, "%s", words.primary.c_str());
    if (!words.secondary.empty())
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(box), "%s",
                                                 words.secondary.c_str());
    // GTK no longer draws the message type's icon by itself: it stands left of the texts.
    GtkWidget* texts = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(box));
    GtkWidget* row = gtk_widget_get_parent(texts);
    GtkWidget* icon = gtk_image_new_from_icon_name("dialog-error", GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    setAccessibleName(icon, displayText(translated(N_("Error"))).c_str());
    if (GTK_IS_BOX(row)) {
        gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
        gtk_box_reorder_child(GTK_BOX(row), icon, 0);
    } else {
        g_object_ref_sink(icon); // no row to stand in: the box goes without it
        g_object_unref(icon);
    }
    gtk_window_set_title(GTK_WINDOW(box), displayText(translated(kErrorBoxCaption)).c_str());
    // "Try Again" is the box's action, right of the OK that ends the upgrade as Escape does;
    // Enter keeps the OK it always had.
    if (offerRetry)
        addDialogButtons(box,
                         {{translated(kOkButton), "O", kCancel},
                          {translated(kTryAgainButton), "T", kAffirmative}},
                         kCancel);
    else
        addDialogButtons(box, {{translated(kOkButton), "O", kAffirmative}}, kAffirmative);
    gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
    return box;
}

} // namespace

void showErrorBox(const UpgradeFailure& failure) {
    const FailureText text = failureText(failure, translated);
    // One "OK", modal over the program's other windows.
    runModalDialog(
        "error", [&text] { return buildErrorBox(text, false); }, [](GtkWidget*, int) { return 1; });
}

bool offerTryAgain(const UpgradeFailure& failure) {
    const FailureText text = failureText(failure, translated);
    return runModalDialog(
               "error", [&text] { return buildErrorBox(text, true); },
               [](GtkWidget*, int response) { return response == kAffirmative ? 1 : 0; }) == 1;
}
