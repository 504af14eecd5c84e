// SPDX-License-Identifier: MIT
// The Win32 dialog procedures, what each is handed, and the small helpers they share.
#pragma once

#include <windows.h>

#include "ui/ui.h"

// Moves a top-level window to the middle of the primary screen, size kept, top of the Z order.
void centreWindow(HWND window);

// The command id of a WM_COMMAND: the low 16 bits of wParam; the notification code is ignored.
inline int commandId(WPARAM wParam) {
    return LOWORD(wParam);
}

inline constexpr int kAffirmativeId = IDOK; // "OK", "Continue", "Upgrade"
inline constexpr int kCancelId = IDCANCEL;  // "Cancel", Escape, the close box

// The command handling of a modal dialog that stores nothing: id 1 ends it with 1, id 2 with 0,
// any other id is left unhandled.
inline INT_PTR endModalOnCommand(HWND dialog, WPARAM wParam) {
    switch (commandId(wParam)) {
    case kAffirmativeId:
        ::EndDialog(dialog, 1);
        return TRUE;
    case kCancelId:
        ::EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

// What a dialog was handed (WM_INITDIALOG's lParam), kept with the window for later messages.
template <typename T> T* rememberDialogData(HWND dialog, LPARAM lParam) {
    ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return reinterpret_cast<T*>(lParam);
}
template <typename T> T* dialogData(HWND dialog) {
    return reinterpret_cast<T*>(::GetWindowLongPtrA(dialog, DWLP_USER));
}

// Each dialog's lParam.
struct AddressDialogData {
    const AddressDialogView* view;
    AddressChoice* choice;
};
struct ConfirmDialogData {
    const DeviceValues* device;
    const char* imageVersion;
};
struct SuccessDialogData {
    const char* deviceAddressText;
    const char* softwareVersion;
};
// A modeless progress window's state; its procedure marks the user's Cancel here.
struct ProgressWindowState {
    HWND window;
    ProgressKind kind;
    const char* title; // only while the window is being made
    bool cancelled;
    char deviceAddressText[32]; // for the upload window's captions
    bool settlingShown;         // the settling caption is up
};

// Modal dialogs: id 1 ends with 1, id 2 with 0. Every procedure handles only WM_INITDIALOG and
// WM_COMMAND and leaves the rest to the system's dialog handling.
INT_PTR CALLBACK noticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK addressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK confirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK successDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Modeless windows: their Cancel (or close box) is marked in their ProgressWindowState; the
// owner thread sees it through progressCancelled() and decides.
INT_PTR CALLBACK connectingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
