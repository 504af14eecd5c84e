// SPDX-License-Identifier: MIT
// The error box: the one way a failure is reported to the user.
#include <windows.h>

#include "ui/messages.h"
#include "ui/ui.h"

void showErrorBox(const UpgradeFailure& failure) {
    // No owner and task-modal, so it works from any thread, even with no window left.
    const FailureText text = failureText(failure);
    ::MessageBoxA(nullptr, text.data(), kErrorBoxCaption, MB_OK | MB_TASKMODAL);
}

bool offerTryAgain(const UpgradeFailure& failure) {
    showErrorBox(failure); // every failure ends the Windows program
    return false;
}
