// SPDX-License-Identifier: MIT
// The password prompt, shown when the device demands authentication.
#include <array>

#include "dialogs.h"
#include "resource.h"
#include "ui/messages.h"

namespace {

void storeEnteredCredentials(HWND dialog, Credentials& credentials) {
    // One byte more than the stored length, so storeCredentials sees when input was cut.
    std::array<char, 128> userName{};
    std::array<char, 128> password{};
    ::GetDlgItemTextA(dialog, IDC_USER_NAME, userName.data(), static_cast<int>(userName.size()));
    ::GetDlgItemTextA(dialog, IDC_PASSWORD, password.data(), static_cast<int>(password.size()));
    storeCredentials(userName.data(), password.data(), credentials);
    ::SecureZeroMemory(password.data(), password.size()); // no stray copy on the stack
}

} // namespace

INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        rememberDialogData<Credentials>(dialog, lParam);
        ::SetDlgItemTextA(dialog, IDC_MESSAGE, kPasswordNoticeText);
        // "admin" every time, whatever was typed before; the password starts empty.
        ::SetDlgItemTextA(dialog, IDC_USER_NAME, "admin");
        ::SetFocus(::GetDlgItem(dialog, IDC_PASSWORD));
        centreWindow(dialog);
        return FALSE; // keep the focus in the password field
    case WM_COMMAND:
        switch (commandId(wParam)) {
        case kAffirmativeId:
            storeEnteredCredentials(dialog, *dialogData<Credentials>(dialog));
            ::EndDialog(dialog, 1);
            return TRUE;
        case kCancelId:
            ::EndDialog(dialog, 0); // earlier credentials stay as they were
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
