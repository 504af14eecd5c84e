// SPDX-License-Identifier: MIT
// The user-interface seam on Windows: modal dialogs from the program's templates, and the modeless
// progress windows with their message pumping.
#include <windows.h>

#include <commctrl.h>

#include <new>

#include "base/text.h"
#include "dialogs.h"
#include "resource.h"
#include "ui/dialog_texts.h"
#include "ui/ui.h"

namespace {

// The module holding the templates: the program itself.
HINSTANCE programInstance() {
    return ::GetModuleHandleA(nullptr);
}

// Modal, no owner. A template that cannot be shown (-1) counts as Cancel.
bool runModal(int templateId, DLGPROC procedure, const void* data) {
    return ::DialogBoxParamA(programInstance(), MAKEINTRESOURCEA(templateId), nullptr, procedure,
                             reinterpret_cast<LPARAM>(data)) == 1;
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

bool runNoticeDialog(const char* productName) {
    return runModal(IDD_NOTICE, noticeDialogProc, productName);
}
bool runAddressDialog(const AddressDialogView& view, AddressChoice& choice) {
    const AddressDialogData data{&view, &choice};
    return runModal(IDD_ADDRESS, addressDialogProc, &data);
}
// The Windows program carries its image and sends it as it is: no window of its own here.
bool runImageCheckWarning(const ImageFindings&) {
    return true;
}

bool runConfirmDialog(const DeviceValues& device, const char* imageVersion) {
    const ConfirmDialogData data{&device, imageVersion};
    return runModal(IDD_CONFIRM, confirmDialogProc, &data);
}
bool runPasswordDialog(Credentials& credentials) {
    return runModal(IDD_PASSWORD, passwordDialogProc, &credentials);
}
void runSuccessDialog(const char* deviceAddressText, const char* softwareVersion) {
    const SuccessDialogData data{deviceAddressText, softwareVersion};
    runModal(IDD_SUCCESS, successDialogProc, &data);
}

ProgressWindow openProgressWindow(const ProgressSubject& subject) {
    const ProgressKind kind = subject.kind;
    const DialogTitle title = progressTitle(subject);
    int templateId = IDD_CONNECTING;
    DLGPROC procedure = connectingDialogProc;
    if (kind == ProgressKind::waiting) {
        templateId = IDD_WAITING;
        procedure = progressDialogProc;
    } else if (kind == ProgressKind::uploading) {
        templateId = IDD_UPLOADING;
        procedure = progressDialogProc;
    }
    auto* state =
        new (std::nothrow) ProgressWindowState{nullptr, kind, title.data(), false, {}, false};
    if (state == nullptr)
        return nullptr; // callers carry on without a window
    if (subject.deviceAddressText != nullptr)
        copyText(state->deviceAddressText, subject.deviceAddressText);
    HWND window = ::CreateDialogParamA(programInstance(), MAKEINTRESOURCEA(templateId), nullptr,
                                       procedure, reinterpret_cast<LPARAM>(state));
    if (window == nullptr) {
        delete state;
        return nullptr;
    }
    state->title = nullptr;
    ::ShowWindow(window, SW_SHOWNORMAL);
    return state;
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

void showUploadProgress(ProgressWindow window, const UploadProgress& progress) {
    if (window == nullptr)
        return;
    ::SetWindowTextA(window->window, uploadCaption(window->deviceAddressText,
                                                   progress.bytesAcknowledged, progress.imageSize)
                                         .data());
}

void showSettlingProgress(ProgressWindow window, const SettlingProgress&) {
    // The caption names the wait; only the bar moves while it lasts.
    if (window == nullptr || window->settlingShown)
        return;
    ::SetWindowTextA(window->window, settlingCaption(window->deviceAddressText).data());
    window->settlingShown = true;
}

void handleAllProgressMessages(ProgressWindow window) {
    if (window == nullptr)
        return;
    // Bounded, so a window that keeps posting to itself cannot hold its thread here for good.
    for (int handled = 0; handled < 10000 && handlePendingMessage(window->window); ++handled) {
    }
}

bool progressCancelled(ProgressWindow window) {
    return window != nullptr && window->cancelled;
}

void destroyProgressWindow(ProgressWindow window) {
    if (window == nullptr)
        return;
    ::DestroyWindow(window->window);
    delete window;
}
