// SPDX-License-Identifier: MIT
// The confirmation: what the device reported about itself and the version it will receive.
#include "dialogs.h"
#include "resource.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"

INT_PTR CALLBACK confirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto& data = *reinterpret_cast<const ConfirmDialogData*>(lParam);
        ::SetWindowTextA(dialog, confirmTitle(data.imageVersion).data());
        ::SetDlgItemTextA(dialog, IDC_MESSAGE, kConfirmText);
        const DeviceValues& device = *data.device;
        ::SetDlgItemTextA(dialog, IDC_SERIAL_NUMBER, device.serialNumber);
        ::SetDlgItemTextA(dialog, IDC_MAC_ADDRESS, device.macAddress);
        ::SetDlgItemTextA(dialog, IDC_SOFTWARE_VERSION, device.softwareVersion);
        ::SetDlgItemTextA(dialog, IDC_HARDWARE_VERSION, device.hardwareVersion);
        ::SetDlgItemTextA(dialog, IDC_PRODUCT_NAME, device.productName);
        centreWindow(dialog);
        return TRUE; // focus to the first tab stop, "Upgrade"
    }
    case WM_COMMAND:
        return endModalOnCommand(dialog, wParam);
    }
    return FALSE;
}
