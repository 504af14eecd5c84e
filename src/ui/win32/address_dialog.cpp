// SPDX-License-Identifier: MIT
// The address entry: the device's address, the computer's own address, the carried version.
#include <array>

#include "dialogs.h"
#include "resource.h"
#include "ui/dialog_texts.h"
#include "ui/messages.h"

namespace {

void fillLocalAddresses(HWND dialog, const AddressDialogView& view) {
    for (const std::uint32_t address : view.localAddresses) {
        // The list is not sorted: entry i is slot i.
        ::SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(addressText(address).data()));
    }
    ::SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_SETCURSEL, 0, 0);
}

// OK: stores the entry through the shared dialog logic; an invalid address keeps the dialog open.
void acceptEntry(HWND dialog, const AddressDialogData& data) {
    // The address control yields at most 15 characters; the buffer takes up to 31.
    std::array<char, sizeof data.choice->deviceAddressText> typed{};
    ::GetDlgItemTextA(dialog, IDC_ADDRESS_ENTRY, typed.data(), static_cast<int>(typed.size()));
    // CB_ERR (-1) when the list is empty: the default address stays.
    const int selected =
        static_cast<int>(::SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_GETCURSEL, 0, 0));
    if (acceptAddressEntry(typed.data(), selected, data.view->localAddresses, *data.choice)) {
        ::EndDialog(dialog, 1);
        return;
    }
    ::MessageBoxA(dialog, kInvalidAddressText, kInvalidAddressTitle, MB_OK);
    ::SetFocus(::GetDlgItem(dialog, IDC_ADDRESS_ENTRY)); // the text stays for correction
}

} // namespace

INT_PTR CALLBACK addressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const AddressDialogView& view =
            *rememberDialogData<AddressDialogData>(dialog, lParam)->view;
        fillLocalAddresses(dialog, view);
        ::SetWindowTextA(dialog, programTitle(view.productName).data());
        ::SetDlgItemTextA(dialog, IDC_MESSAGE, kAddressIntroText);
        ::SetDlgItemTextA(dialog, IDC_ADDRESS_HELP, kAddressHelpText);
        ::SetDlgItemTextA(dialog, IDC_IMAGE_VERSION, versionLabel(view.imageVersion).data());
        ::SetFocus(::GetDlgItem(dialog, IDC_ADDRESS_ENTRY));
        centreWindow(dialog);
        return FALSE; // keep the focus in the address entry
    }
    case WM_COMMAND:
        switch (commandId(wParam)) {
        case kAffirmativeId:
            acceptEntry(dialog, *dialogData<AddressDialogData>(dialog));
            return TRUE;
        case kCancelId:
            ::EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
