// SPDX-License-Identifier: MIT
// The modeless windows: "Connecting with TOV@..." while a request runs, and the waiting and
// uploading windows of the transfer. Their only action is the user's Cancel, which is marked
// for the thread that owns the window.
#include <windows.h>

#include <commctrl.h>

#include "dialogs.h"
#include "resource.h"

namespace {

void startProgressWindow(HWND dialog, LPARAM lParam) {
    auto* state = rememberDialogData<ProgressWindowState>(dialog, lParam);
    state->window = dialog;
    ::SetWindowTextA(dialog, state->title);
    centreWindow(dialog);
}

INT_PTR markCancel(HWND dialog, WPARAM wParam) {
    if (commandId(wParam) != kCancelId)
        return FALSE;
    dialogData<ProgressWindowState>(dialog)->cancelled = true;
    return TRUE;
}

} // namespace

INT_PTR CALLBACK connectingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        startProgressWindow(dialog, lParam);
        ::SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        return TRUE;
    case WM_COMMAND:
        return markCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        startProgressWindow(dialog, lParam);
        return TRUE; // focus to "Cancel", the only tab stop
    case WM_COMMAND:
        return markCancel(dialog, wParam);
    }
    return FALSE;
}
