// SPDX-License-Identifier: MIT
// The warning before the confirmation when the image does not plainly suit the device: what the
// checks found, Cancel the default, and a button to go on all the same.
#include <cstdarg>
#include <string>

#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/translation.h"
#include "ui/ui.h"

namespace {

constexpr char kImageCheckTitle[] = N_("Check the Firmware Image");
constexpr char kUpgradeAnywayButton[] = N_("Upgrade Anyway");
constexpr char kCancelLabel[] = N_("Cancel");

// A template in the user's language with the values put in.
std::string filled(const char* form, ...) G_GNUC_PRINTF(1, 2);
std::string filled(const char* form, ...) {
    va_list values;
    va_start(values, form);
    gchar* text = g_strdup_vprintf(form, values);
    va_end(values);
    std::string out = text;
    g_free(text);
    return out;
}

// The findings in words; the device's texts come as the device sent them (ANSI, like the rest).
std::string findingsText(const ImageFindings& f) {
    std::string text = translated(N_("Before this TOV is upgraded, note:"));
    text += "\n\n";
    switch (f.version) {
    case VersionOrder::same:
        text +=
            filled(translated(N_("- The TOV already runs version %s, the version of this image.")),
                   f.deviceVersion);
        text += "\n";
        break;
    case VersionOrder::older:
        text +=
            filled(translated(N_("- This image's version %s is older than the TOV's version %s.")),
                   f.imageVersion, f.deviceVersion);
        text += "\n";
        break;
    case VersionOrder::unknown:
        text += filled(translated(N_("- The TOV's software version \"%s\" is unknown: it cannot be "
                                     "compared with this image's version %s.")),
                       f.deviceVersion, f.imageVersion);
        text += "\n";
        break;
    case VersionOrder::newer:
        break;
    }
    switch (f.model) {
    case ModelMatch::mismatch:
        text += filled(translated(N_("- This image is for the %s, but the TOV reports the product "
                                     "name \"%s\".")),
                       f.imageProduct, f.deviceProduct);
        text += "\n";
        break;
    case ModelMatch::unnamed:
        text +=
            filled(translated(N_("- The TOV reports no product name; this image is for the %s.")),
                   f.imageProduct);
        text += "\n";
        break;
    case ModelMatch::matches:
        break;
    }
    text += "\n";
    text += translated(N_("Upgrade anyway only if you are sure this image is right for this TOV."));
    return text;
}

GtkWidget* buildWarning(const ImageFindings& findings) {
    GtkWidget* dialog = newDialogWindow(translated(kImageCheckTitle));
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newLabel(findingsText(findings).c_str(), 0.0f, 60), 0, 0, 1, 1);
    addDialogButtons(dialog,
                     {{translated(kCancelLabel), "C", kCancel},
                      {translated(kUpgradeAnywayButton), "A", kAffirmative}},
                     kCancel);
    setInitialFocus(dialog, dialogButton(dialog, kCancel));
    return dialog;
}

} // namespace

bool runImageCheckWarning(const ImageFindings& findings) {
    if (findings.clear())
        return true;
    return runModalDialog(
               "image-check", [&findings] { return buildWarning(findings); },
               [](GtkWidget*, int response) { return response == kAffirmative ? 1 : 0; }) == 1;
}
