// The modeless windows: "Connecting with TOV@..." while a request runs, and the waiting and
// uploading windows of the transfer. Their only action is the user's abort.
#include <windows.h>

#include <commctrl.h>

#include <array>

#include "app/context.h"
#include "app/failure.h"
#include "app/text.h"
#include "dialogs.h"
#include "resource.h"
#include "ui/messages.h"

namespace {

// Nothing is handed back to the work in progress: the abort ends the whole process.
[[noreturn]] void abortUpgrade(HWND window) {
    ::DestroyWindow(window);
    failUpgrade(kErrorUserAbort);
}

} // namespace

INT_PTR CALLBACK connectingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        std::array<char, 80> title;
        formatText(title, "Connecting with TOV@%s", upgradeContext.deviceAddressText);
        ::SetWindowTextA(dialog, title.data());
        centerWindow(dialog);
        ::SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        return TRUE;
    }
    case WM_COMMAND:
        if (commandId(wParam) == kCancelId)
            abortUpgrade(dialog);
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        centerWindow(dialog);
        return TRUE; // focus to "Cancel", the only tab stop
    case WM_COMMAND:
        if (commandId(wParam) == kCancelId)
            abortUpgrade(dialog);
        return FALSE;
    }
    return FALSE;
}
