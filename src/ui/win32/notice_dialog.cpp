// The opening notice: the warning about forced upgrades; its default button is Cancel.
#include <array>

#include "app/context.h"
#include "app/text.h"
#include "dialogs.h"
#include "resource.h"
#include "ui/messages.h"

INT_PTR CALLBACK noticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        std::array<char, 80> title;
        formatText(title, "%s Firmware Upgrade", upgradeContext.productName);
        ::SetWindowTextA(dialog, title.data());
        ::SetDlgItemTextA(dialog, IDC_NOTICE_TEXT, messageTexts[9]);
        // The user must choose Continue on purpose; Enter cancels.
        ::SetFocus(::GetDlgItem(dialog, kCancelId));
        centerWindow(dialog);
        return FALSE; // keep the focus we set
    }
    case WM_COMMAND:
        return endModalOnCommand(dialog, wParam);
    }
    return FALSE;
}
