// SPDX-License-Identifier: MIT
// Centring of every dialog on the primary screen.
#include "dialogs.h"

#include "ui/window_placement.h"

void centreWindow(HWND window) {
    RECT rect;
    if (!::GetWindowRect(window, &rect))
        return; // leave it where it is
    const WindowOrigin origin =
        centredOrigin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), rect.left,
                      rect.top, rect.right, rect.bottom);
    // HWND_TOP with SWP_NOSIZE alone: the dialog comes to the front as it is centred.
    ::SetWindowPos(window, HWND_TOP, origin.x, origin.y, 0, 0, SWP_NOSIZE);
}
