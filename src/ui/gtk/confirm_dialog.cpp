// SPDX-License-Identifier: MIT
// The confirmation: what the device reported about itself, and the version it will receive.
#include <array>

#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"
#include "ui/translation.h"
#include "ui/ui.h"

namespace {

GtkWidget* buildConfirm(const DeviceValues& device, const char* imageVersion) {
    GtkWidget* dialog = newDialogWindow(confirmTitle(imageVersion, translated).data());
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newTextPanel(translated(kConfirmText)), 0, 0, 2, 1);

    struct Row {
        const char* label;
        const char* mnemonic;
        const char* name;
        const char* value;
    };
    // In the order the terminal program lists them.
    const std::array<Row, 5> rows = {{
        {translated(kProductNameCaption), "P", "product-name", device.productName},
        {translated(kMacAddressCaption), "M", "mac-address", device.macAddress},
        {translated(kSoftwareVersionCaption), "o", "software-version", device.softwareVersion},
        {translated(kHardwareVersionCaption), "H", "hardware-version", device.hardwareVersion},
        {translated(kSerialNumberCaption), "S", "serial-number", device.serialNumber},
    }};
    int top = 1;
    for (const Row& row : rows) {
        GtkWidget* value = newValueLabel(row.name, row.value);
        gtk_grid_attach(grid, newCaption(row.label, row.mnemonic, value, 1.0f), 0, top, 1, 1);
        gtk_grid_attach(grid, value, 1, top, 1, 1);
        ++top;
    }
    addDialogButtons(dialog,
                     {{translated(kCancelButton), "C", kCancel},
                      {translated(kUpgradeButton), "U", kAffirmative}},
                     kAffirmative);
    setInitialFocus(dialog, dialogButton(dialog, kAffirmative));
    return dialog;
}

} // namespace

bool runConfirmDialog(const DeviceValues& device, const char* imageVersion) {
    return runModalDialog(
               "confirm", [&device, imageVersion] { return buildConfirm(device, imageVersion); },
               [](GtkWidget*, int response) { return response == kAffirmative ? 1 : 0; }) == 1;
}
