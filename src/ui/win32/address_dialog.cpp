// The address entry: the device's address, the computer's own address, the carried version.
#include <array>

#include "app/context.h"
#include "app/firmware_image.h"
#include "app/text.h"
#include "dialogs.h"
#include "resource.h"
#include "ui/dialog_logic.h"
#include "ui/messages.h"

namespace {

void fillLocalAddresses(HWND dialog) {
    for (std::uint32_t address : upgradeContext.localAddresses) {
        if (address == 0)
            break; // the filled slots come first
        std::array<char, 16> text;
        formatText(text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff,
                   (address >> 8) & 0xff, address & 0xff);
        // The list is not sorted: entry i is slot i.
        ::SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(text.data()));
    }
    ::SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_SETCURSEL, 0, 0);
}

// OK: stores the entry through the shared dialog logic; an invalid address keeps the dialog open.
void acceptEntry(HWND dialog) {
    // The address control yields at most 15 characters; the buffer takes up to 31.
    std::array<char, sizeof upgradeContext.deviceAddressText> typed{};
    ::GetDlgItemTextA(dialog, IDC_ADDRESS_ENTRY, typed.data(), static_cast<int>(typed.size()));
    // CB_ERR (-1) when the list is empty: the address start-up chose stays.
    const int selected =
        static_cast<int>(::SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_GETCURSEL, 0, 0));
    if (acceptAddressEntry(typed.data(), selected)) {
        ::EndDialog(dialog, 1);
        return;
    }
    ::MessageBoxA(dialog, "Invalid IP Address", "Error", MB_OK);
    ::SetFocus(::GetDlgItem(dialog, IDC_ADDRESS_ENTRY)); // the text stays for correction
}

} // namespace

INT_PTR CALLBACK addressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        fillLocalAddresses(dialog);
        std::array<char, 80> text;
        formatText(text, "%s Firmware Upgrade", upgradeContext.productName);
        ::SetWindowTextA(dialog, text.data());
        ::SetDlgItemTextA(dialog, IDC_MESSAGE, messageTexts[1]);
        ::SetDlgItemTextA(dialog, IDC_ADDRESS_HELP, messageTexts[2]);
        formatText(text, "Version %s", imageVersion());
        ::SetDlgItemTextA(dialog, IDC_IMAGE_VERSION, text.data());
        ::SetFocus(::GetDlgItem(dialog, IDC_ADDRESS_ENTRY));
        centerWindow(dialog);
        return FALSE; // keep the focus in the address entry
    }
    case WM_COMMAND:
        switch (commandId(wParam)) {
        case kAffirmativeId:
            acceptEntry(dialog);
            return TRUE;
        case kCancelId:
            ::EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
