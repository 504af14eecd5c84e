// SPDX-License-Identifier: MIT
// The warning before the confirmation when the image does not plainly suit the device: what the
// checks found, Cancel the default, and a button to go on all the same.
#include <string>

#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/ui.h"

namespace {

constexpr char kImageCheckTitle[] = "Check the Firmware Image";
constexpr char kUpgradeAnywayButton[] = "Upgrade Anyway";
constexpr char kCancelLabel[] = "Cancel";

// The findings in words; the device's texts come as the device sent them (ANSI, like the rest).
std::string findingsText(const ImageFindings& f) {
    std::string text = "Before this TOV is upgraded, note:\n\n";
    switch (f.version) {
    case VersionOrder::same:
        text += std::string("- The TOV already runs version ") + f.deviceVersion +
                ", the version of this image.\n";
        break;
    case VersionOrder::older:
        text += std::string("- This image's version ") + f.imageVersion +
                " is older than the TOV's version " + f.deviceVersion + ".\n";
        break;
    case VersionOrder::unknown:
        text += std::string("- The TOV's software version \"") + f.deviceVersion +
                "\" is unknown: it cannot be compared with this image's version " + f.imageVersion +
                ".\n";
        break;
    case VersionOrder::newer:
        break;
    }
    switch (f.model) {
    case ModelMatch::mismatch:
        text += std::string("- This image is for the ") + f.imageProduct +
                ", but the TOV reports the product name \"" + f.deviceProduct + "\".\n";
        break;
    case ModelMatch::unnamed:
        text += std::string("- The TOV reports no product name; this image is for the ") +
                f.imageProduct + ".\n";
        break;
    case ModelMatch::matches:
        break;
    }
    text += "\nUpgrade anyway only if you are sure this image is right for this TOV.";
    return text;
}

GtkWidget* buildWarning(const ImageFindings& findings) {
    GtkWidget* dialog = newDialogWindow(kImageCheckTitle);
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newLabel(findingsText(findings).c_str(), 0.0f, 60), 0, 0, 1, 1);
    addDialogButtons(
        dialog, {{kCancelLabel, "C", kCancel}, {kUpgradeAnywayButton, "A", kAffirmative}}, kCancel);
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
