// The last window: the device is back and reports its new software version.
#include <array>

#include "app/context.h"
#include "app/text.h"
#include "dialogs.h"
#include "resource.h"
#include "ui/messages.h"

INT_PTR CALLBACK successDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        std::array<char, 80> title;
        formatText(title, "TOV@%s Upgrade Successful!", upgradeContext.deviceAddressText);
        ::SetWindowTextA(dialog, title.data());
        ::SetDlgItemTextA(dialog, IDC_MESSAGE, successText);
        ::SetDlgItemTextA(dialog, IDC_SOFTWARE_VERSION, upgradeContext.deviceInfo.softwareVersion);
        centerWindow(dialog);
        return TRUE; // focus to "OK"
    }
    case WM_COMMAND:
        return endModalOnCommand(dialog, wParam);
    }
    return FALSE;
}
