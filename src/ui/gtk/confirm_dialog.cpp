// The confirmation: what the device reported about itself, and the version it will receive.
#include <array>

#include "app/context.h"
#include "app/firmware_image.h"
#include "app/text.h"
#include "dialog_parts.h"
#include "modal_dialog.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

GtkWidget* buildConfirm() {
    std::array<char, 80> title;
    formatText(title, "Confirm Upgrade to Ver. %s", imageVersion());
    GtkWidget* dialog = newDialogWindow(title.data());
    GtkGrid* grid = dialogGrid(dialog);
    gtk_grid_attach(grid, newTextPanel(messageTexts[3]), 0, 0, 2, 1);

    const DeviceInfo& info = upgradeContext.deviceInfo;
    struct Row {
        const char* label;
        const char* name;
        const char* value;
    };
    const std::array<Row, 5> rows = {{
        {"Serial Number", "serial-number", info.serialNumber},
        {"MAC Address", "mac-address", info.macAddress},
        {"Software Version", "software-version", info.softwareVersion},
        {"Hardware Version", "hardware-version", info.hardwareVersion},
        {"Product Name", "product-name", info.deviceProductName},
    }};
    int top = 1;
    for (const Row& row : rows) {
        gtk_grid_attach(grid, newLabel(row.label, 1.0f), 0, top, 1, 1);
        gtk_grid_attach(grid, newValueBox(row.name, row.value), 1, top, 1, 1);
        ++top;
    }
    gtk_grid_attach(
        grid, newButtonRow(dialog, {{"Upgrade", kAffirmative}, {"Cancel", kCancel}}, kAffirmative),
        0, top, 2, 1);
    setInitialFocus(dialog, dialogButton(dialog, kAffirmative));
    return dialog;
}

} // namespace

bool runConfirmDialog() {
    return runModalDialog("confirm", buildConfirm, [](GtkWidget*, int response) {
               return response == kAffirmative ? 1 : 0;
           }) == 1;
}
