// SPDX-License-Identifier: MIT
// The opening notice: the warning about forced upgrades; its default button is Cancel.
#include "dialogs.h"
#include "resource.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"

INT_PTR CALLBACK noticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        ::SetWindowTextA(dialog, programTitle(reinterpret_cast<const char*>(lParam)).data());
        ::SetDlgItemTextA(dialog, IDC_NOTICE_TEXT, kOpeningWarningText);
        // The user must choose Continue on purpose; Enter cancels.
        ::SetFocus(::GetDlgItem(dialog, kCancelId));
        centreWindow(dialog);
        return FALSE; // keep the focus we set
    case WM_COMMAND:
        return endModalOnCommand(dialog, wParam);
    }
    return FALSE;
}
