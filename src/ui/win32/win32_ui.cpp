// The user-interface seam on Windows: modal dialogs from the program's templates, and the modeless
// progress windows with their message pumping.
#include <windows.h>

#include <commctrl.h>

#include <new>

#include "app/context.h"
#include "dialogs.h"
#include "resource.h"
#include "ui/ui.h"

struct ProgressWindowState {
    HWND window;
};

namespace {

HINSTANCE programInstance() {
    return static_cast<HINSTANCE>(upgradeContext.instance);
}

// Modal, no owner. A template that cannot be shown (-1) counts as Cancel.
bool runModal(int templateId, DLGPROC procedure) {
    return ::DialogBoxParamA(programInstance(), MAKEINTRESOURCEA(templateId), nullptr, procedure,
                             0) == 1;
}

// Hands one message of the window (or one of its controls) to its procedure; false when none
// was waiting. No dialog keyboard processing, so Tab and Escape do nothing here.
bool handlePendingMessage(HWND window) {
    MSG message;
    if (!::PeekMessageA(&message, window, 0, 0, PM_REMOVE))
        return false;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
    return true;
}

} // namespace

void initUiControls() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;                           // 8
    classes.dwICC = ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS; // 0x820
    ::InitCommonControlsEx(&classes);
}

bool runNoticeDialog() {
    return runModal(IDD_NOTICE, noticeDialogProc);
}
bool runAddressDialog() {
    return runModal(IDD_ADDRESS, addressDialogProc);
}
bool runConfirmDialog() {
    return runModal(IDD_CONFIRM, confirmDialogProc);
}
bool runPasswordDialog() {
    return runModal(IDD_PASSWORD, passwordDialogProc);
}
void runSuccessDialog() {
    runModal(IDD_SUCCESS, successDialogProc);
}

ProgressWindow openProgressWindow(ProgressKind kind) {
    int templateId = IDD_CONNECTING;
    DLGPROC procedure = connectingDialogProc;
    if (kind == ProgressKind::waiting) {
        templateId = IDD_WAITING;
        procedure = progressDialogProc;
    } else if (kind == ProgressKind::uploading) {
        templateId = IDD_UPLOADING;
        procedure = progressDialogProc;
    }
    HWND window = ::CreateDialogParamA(programInstance(), MAKEINTRESOURCEA(templateId), nullptr,
                                       procedure, 0);
    if (window == nullptr)
        return nullptr; // callers carry on without a window
    auto* state = new (std::nothrow) ProgressWindowState{window};
    if (state == nullptr) {
        ::DestroyWindow(window);
        return nullptr;
    }
    ::ShowWindow(window, SW_SHOWNORMAL);
    return state;
}

void setProgressTitle(ProgressWindow window, const char* title) {
    if (window != nullptr)
        ::SetWindowTextA(window->window, title);
}

void setProgressRange(ProgressWindow window, int low, int high) {
    if (window != nullptr)
        ::SendDlgItemMessageA(window->window, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void setProgressPosition(ProgressWindow window, int position) {
    if (window != nullptr)
        ::SendDlgItemMessageA(window->window, IDC_PROGRESS, PBM_SETPOS,
                              static_cast<WPARAM>(position), 0);
}

void handleOneProgressMessage(ProgressWindow window) {
    if (window != nullptr)
        handlePendingMessage(window->window);
}

void handleAllProgressMessages(ProgressWindow window) {
    if (window == nullptr)
        return;
    // Bounded, so a window that keeps posting to itself cannot hold its thread here for good.
    for (int handled = 0; handled < 10000 && handlePendingMessage(window->window); ++handled) {
    }
}

void destroyProgressWindow(ProgressWindow window) {
    if (window == nullptr)
        return;
    ::DestroyWindow(window->window);
    delete window;
}
