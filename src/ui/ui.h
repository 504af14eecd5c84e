// What the core asks of a user interface. Each front-end (Win32, GTK, the tests' scripted UI)
// implements these functions; CMake links exactly one of them into each program.
#pragma once

// Registers the controls the dialogs use (common controls on Windows); nothing elsewhere.
void initUiControls();

// The error box: caption "TOV Firwmare Upgrade Error", one OK button, no owner, task-modal.
// Returns when the user closes it; it does not end the program.
void showErrorBox(const char* text);

// Modal dialogs. Each returns true for its affirmative button and false for Cancel, Escape or
// the close box. The address and password dialogs store what the user entered through the
// dialog logic (ui/dialog_logic.h) before they return true.
bool runNoticeDialog();
bool runAddressDialog();
bool runConfirmDialog();
bool runPasswordDialog();
void runSuccessDialog();

// Modeless progress windows. Cancel (or the close box) inside one of the message-handling calls
// destroys the window, shows "Upgrade Failed: User Abort" and ends the process.
enum class ProgressKind {
    connecting, // "Connecting with TOV@<address>", set by the window itself on opening
    waiting,    // "Waiting For Firmware Upload Request From TOV"
    uploading,  // "Uploading Firmware To TOV", retitled by the transfer session
};
// The kind's name, for logs and test records.
inline const char* progressKindName(ProgressKind kind) {
    switch (kind) {
    case ProgressKind::connecting:
        return "connecting";
    case ProgressKind::waiting:
        return "waiting";
    case ProgressKind::uploading:
        return "uploading";
    }
    return "progress";
}

struct ProgressWindowState;
using ProgressWindow = ProgressWindowState*;

ProgressWindow openProgressWindow(ProgressKind kind);
void setProgressTitle(ProgressWindow window, const char* title);
void setProgressRange(ProgressWindow window, int low, int high);
void setProgressPosition(ProgressWindow window, int position);
// Handles at most one pending message of the window (the runner and the transfer loop).
void handleOneProgressMessage(ProgressWindow window);
// Handles every pending message of the window (the listener's wait and the settling wait).
void handleAllProgressMessages(ProgressWindow window);
void destroyProgressWindow(ProgressWindow window);
