// SPDX-License-Identifier: MIT
// What the core asks of a user interface. Each front-end (Win32, GTK, the tests' scripted UI)
// implements these functions; CMake links exactly one of them into each program. Every dialog gets
// what it shows as arguments and returns what the user chose; what an answer means is decided by
// the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ui/dialog_logic.h"
#include "ui/failure.h"
#include "ui/image_findings.h"

// Registers the controls the dialogs use (common controls on Windows); nothing elsewhere.
void initUiControls();

// The error box: caption "TOV Firwmare Upgrade Error", one OK button, no owner, task-modal, with
// the failure's text (failureText()). Returns when the user closes it; it does not end the program.
void showErrorBox(const UpgradeFailure& failure);

// A failure met before the device was told to fetch anything, shown as the error box shows it.
// The Linux program offers "Try Again" beside its OK, back to the address; true when the user
// chose it. The Windows and terminal programs show the box and return false.
bool offerTryAgain(const UpgradeFailure& failure);

// ---- Modal dialogs: true for the affirmative button, false for Cancel, Escape or the close box.

// The opening warning, titled "<product> Firmware Upgrade".
bool runNoticeDialog(const char* productName);

// What the address dialog shows: its title's product name, the carried image's version and the
// computer's addresses (the filled slots, in order; the first is selected).
struct AddressDialogView {
    const char* productName;
    const char* imageVersion;
    std::span<const std::uint32_t> localAddresses;
    // Where the image comes from, for the programs that check it (the Windows program shows
    // none of it): its SHA-256 in hex, its file (null: carried), and whether it is the test image.
    const char* imageSha256 = nullptr;
    const char* imageFile = nullptr;
    bool testImage = false;
    // What the user typed and chose the time before, when the address is asked again after a
    // failure (null: the entry starts empty, the first address is selected).
    const char* typedAddress = nullptr;
    std::size_t selectedAddress = 0;
};
// On OK the entry goes through acceptAddressEntry() (ui/dialog_logic.h) into `choice`; an invalid
// address keeps the dialog open with "Invalid IP Address". `choice` comes in holding the
// computer's default address.
bool runAddressDialog(const AddressDialogView& view, AddressChoice& choice);

// The five values the device reported, as the confirmation shows them.
struct DeviceValues {
    const char* productName;
    const char* macAddress;
    const char* softwareVersion;
    const char* hardwareVersion;
    const char* serialNumber;
};
bool runConfirmDialog(const DeviceValues& device, const char* imageVersion);

// What the checks of the image against the device found, before the confirmation (the terminal
// and GTK programs only). True to go on to the confirmation, false to end with nothing done.
bool runImageCheckWarning(const ImageFindings& findings);

// "admin" preset, the password empty; on OK the entries go through storeCredentials() into
// `credentials`. On Cancel `credentials` is left as it was.
bool runPasswordDialog(Credentials& credentials);

// The device is back: "TOV@<address> Upgrade Successful!" with the version it now reports.
void runSuccessDialog(const char* deviceAddressText, const char* softwareVersion);

// ---- Modeless progress windows: opened, updated and pumped by the thread that owns them.

enum class ProgressKind {
    connecting, // "Connecting with TOV@<address>"; range 0-100, set by the window itself
    waiting,    // "Waiting For Firmware Upload Request From TOV"
    uploading,  // "Uploading Firmware To TOV", retitled as the transfer goes on
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

// Which request a connecting window stands for.
enum class RequestStage {
    informationPage,  // what the device reports, before the confirmation
    upgradeRequest,   // the device is told to fetch the image
    pageAfterRestart, // the version the device runs after its restart
};

// What a progress window is about: its kind, the device's address as typed (the connecting and
// upload windows' titles carry it) and, for a connecting window, its request.
struct ProgressSubject {
    ProgressKind kind;
    const char* deviceAddressText;
    RequestStage stage = RequestStage::informationPage;
    // The upgrade request's window: where the device is told to fetch the image from.
    std::uint32_t tftpAddress = 0;
    std::uint16_t tftpPort = 0;
};

// The upload as the device acknowledges it.
struct UploadProgress {
    std::uint32_t bytesAcknowledged;
    std::uint32_t imageSize;
    std::uint32_t blocksAcknowledged;
    std::uint32_t blockCount;
};

// The device's settling wait after the upload, on the millisecond clock.
struct SettlingProgress {
    std::uint32_t elapsedMilliseconds;
    std::uint32_t totalMilliseconds;
};

struct ProgressWindowState;
// Null when the window could not be made; every call below then does nothing.
using ProgressWindow = ProgressWindowState*;

ProgressWindow openProgressWindow(const ProgressSubject& subject);
void setProgressRange(ProgressWindow window, int low, int high);
void setProgressPosition(ProgressWindow window, int position);
// The upload window's caption follows the bytes acknowledged
// ("Uploading Firmware to TOV@<address> <acknowledged>/<size> Bytes").
void showUploadProgress(ProgressWindow window, const UploadProgress& progress);
// The upload window during the settling wait ("Updating Firmware to TOV@<address>").
void showSettlingProgress(ProgressWindow window, const SettlingProgress& progress);
// Handles every pending message of the window (a waiting thread calls it at least every 30 ms).
void handleAllProgressMessages(ProgressWindow window);
// Whether the user pressed Cancel (or the close box) in a message handled so far. The window
// stays until the owner destroys it.
bool progressCancelled(ProgressWindow window);
void destroyProgressWindow(ProgressWindow window);
