// The confirmation: what the device reported about itself and the version it will receive.
#include <array>

#include "app/context.h"
#include "app/firmware_image.h"
#include "app/text.h"
#include "dialogs.h"
#include "resource.h"
#include "ui/messages.h"

INT_PTR CALLBACK confirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        std::array<char, 80> title;
        formatText(title, "Confirm Upgrade to Ver. %s", imageVersion());
        ::SetWindowTextA(dialog, title.data());
        ::SetDlgItemTextA(dialog, IDC_MESSAGE, messageTexts[3]);
        const DeviceInfo& info = upgradeContext.deviceInfo;
        ::SetDlgItemTextA(dialog, IDC_SERIAL_NUMBER, info.serialNumber);
        ::SetDlgItemTextA(dialog, IDC_MAC_ADDRESS, info.macAddress);
        ::SetDlgItemTextA(dialog, IDC_SOFTWARE_VERSION, info.softwareVersion);
        ::SetDlgItemTextA(dialog, IDC_HARDWARE_VERSION, info.hardwareVersion);
        ::SetDlgItemTextA(dialog, IDC_PRODUCT_NAME, info.deviceProductName);
        centerWindow(dialog);
        return TRUE; // focus to the first tab stop, "Upgrade"
    }
    case WM_COMMAND:
        return endModalOnCommand(dialog, wParam);
    }
    return FALSE;
}
