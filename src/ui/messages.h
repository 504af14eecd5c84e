// SPDX-License-Identifier: MIT
// The program's fixed texts: what the dialogs say, the window titles and the error-box texts.
#pragma once

#include "ui/control_texts.h"

// Dialog panels.
extern const char kPasswordNoticeText[]; // the password dialog
extern const char kAddressIntroText[];   // the address dialog, above the version
extern const char kAddressHelpText[];    // the address dialog, above the entry
extern const char kConfirmText[];        // the confirmation
extern const char kOpeningWarningText[]; // the notice
extern const char kSuccessText[];        // the success dialog

// Titles of the windows whose title never depends on the upgrade.
inline constexpr char kWaitingTitle[] = TOV_TEXT_WAITING_TITLE;
inline constexpr char kUploadingTitle[] = TOV_TEXT_UPLOADING_TITLE;
inline constexpr char kPasswordTitle[] = TOV_TEXT_PASSWORD_TITLE;

// Buttons, labels and notes, as the Windows program's templates carry them.
inline constexpr char kOkButton[] = TOV_TEXT_OK;
inline constexpr char kCancelButton[] = TOV_TEXT_CANCEL;
inline constexpr char kContinueButton[] = TOV_TEXT_CONTINUE;
inline constexpr char kUpgradeButton[] = TOV_TEXT_UPGRADE;
inline constexpr char kYourAddressLabel[] = TOV_TEXT_YOUR_ADDRESS;
inline constexpr char kSerialNumberCaption[] = TOV_TEXT_SERIAL_NUMBER;
inline constexpr char kMacAddressCaption[] = TOV_TEXT_MAC_ADDRESS;
inline constexpr char kSoftwareVersionCaption[] = TOV_TEXT_SOFTWARE_VERSION;
inline constexpr char kHardwareVersionCaption[] = TOV_TEXT_HARDWARE_VERSION;
inline constexpr char kProductNameCaption[] = TOV_TEXT_PRODUCT_NAME;
inline constexpr char kUserLabel[] = TOV_TEXT_USER;
inline constexpr char kPasswordLabel[] = TOV_TEXT_PASSWORD;
inline constexpr char kWebAddressText[] = TOV_TEXT_WEB_ADDRESS;
inline constexpr char kWaitingNoteText[] = TOV_TEXT_WAITING_NOTE;
inline constexpr char kUploadNoteText[] = TOV_TEXT_UPLOAD_NOTE;
// The Linux program's error box, for a failure that may be tried again.
inline constexpr char kTryAgainButton[] = N_("Try Again");
inline constexpr char kInvalidAddressTitle[] = N_("Error");
inline constexpr char kInvalidAddressText[] = N_("Invalid IP Address");

inline constexpr char kErrorBoxCaption[] = N_("TOV Firwmare Upgrade Error");

inline constexpr char kErrorWinsockInit[] = N_("Upgrade Failed: Winsock init error");
inline constexpr char kErrorNoResponse[] = N_("Upgrade Failed: No Response From TOV");
// A 401 the program cannot answer (Basic only, a Digest challenge without nonce, another
// algorithm): the password is never sent in another form.
inline constexpr char kErrorUnanswerableAuthentication[] =
    N_("Upgrade Failed: TOV asks for an authentication this program cannot give");
// The device answered the upgrade request with this error status (%d) and never asked for the
// image.
inline constexpr char kErrorUpgradeRefused[] =
    N_("Upgrade Failed: TOV refused the upgrade request (HTTP %d)");
inline constexpr char kErrorUserAbort[] = N_("Upgrade Failed: User Abort");
inline constexpr char kErrorHttpSocket[] = N_("Upgrade Failed: Can't open HTTP socket");
inline constexpr char kErrorHttpBind[] = N_("Upgrade Failed: Can't bind HTTP socket");
inline constexpr char kErrorConnect[] = N_("Upgrade Failed: Can't connect to TOV");
inline constexpr char kErrorListenerAlloc[] = N_("Upgrade Failed: Can't malloc for TFTP listener");
inline constexpr char kErrorListenerSocket[] =
    N_("Upgrade Failed: Can't create TFTP listener socket");
inline constexpr char kErrorListenerBind[] = N_("Upgrade Failed: Can't bind TFTP listener socket");
inline constexpr char kErrorNotBack[] =
    N_("Upgrade Failed: TOV not responding after firmware upload");
inline constexpr char kErrorIncomplete[] = N_("Upgrade Failed: Firmware Upload Incomplete");
// Sound ends where the device would otherwise be sent a broken image or an unserved port.
inline constexpr char kErrorImageTooLarge[] =
    N_("Upgrade Failed: Firmware image too large for TFTP");
inline constexpr char kErrorListenerThread[] = N_("Upgrade Failed: Can't start TFTP listener");
// A device that came back from its restart still running the version it ran before (%s), while
// the image carries another: it refused the image.
inline constexpr char kErrorStillOldVersion[] =
    N_("Upgrade Failed: TOV still reports software version %s");
// A device that came back with a version (%s) that is not the image's, while the version it ran
// before is not known: nothing shows that it installed the image.
inline constexpr char kErrorVersionNotConfirmed[] =
    N_("Upgrade Failed: TOV reports software version %s, not the new one");
// The build's stand-in image is never sent to a device off loopback.
inline constexpr char kErrorStandInImage[] =
    N_("Upgrade Failed: This program carries a test image, not TOV firmware");
// Shown when the program carries no usable firmware image.
inline constexpr char kErrorNoImage[] = N_("Upgrade Failed: Firmware image missing");
// The terminal and GTK programs check the image before any request, and against the device
// before the confirmation.
inline constexpr char kErrorNoImageCarried[] =
    N_("Upgrade Failed: This program carries no firmware image; choose an image file");
inline constexpr char kErrorImageUnreadable[] =
    N_("Upgrade Failed: Can't read firmware image file %s");
inline constexpr char kErrorImageOversized[] =
    N_("Upgrade Failed: Firmware image larger than 65,535 TFTP blocks");
inline constexpr char kErrorImageTruncated[] =
    N_("Upgrade Failed: Firmware image truncated or damaged");
inline constexpr char kErrorImageUnknownMagic[] =
    N_("Upgrade Failed: Not a TOV2000 or TOV3000 firmware image");
inline constexpr char kErrorImageBadVersion[] =
    N_("Upgrade Failed: Firmware image carries no readable version");
inline constexpr char kErrorImageDigest[] =
    N_("Upgrade Failed: Firmware image's SHA-256 is not the one expected");
