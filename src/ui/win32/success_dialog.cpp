// SPDX-License-Identifier: MIT
// The last window: the device is back and reports its new software version.
#include "dialogs.h"
#include "resource.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"

INT_PTR CALLBACK successDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto& data = *reinterpret_cast<const SuccessDialogData*>(lParam);
        ::SetWindowTextA(dialog, successTitle(data.deviceAddressText).data());
        ::SetDlgItemTextA(dialog, IDC_MESSAGE, kSuccessText);
        ::SetDlgItemTextA(dialog, IDC_SOFTWARE_VERSION, data.softwareVersion);
        centreWindow(dialog);
        return TRUE; // focus to "OK"
    }
    case WM_COMMAND:
        return endModalOnCommand(dialog, wParam);
    }
    return FALSE;
}
