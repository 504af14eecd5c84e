// The program's fixed texts: what the dialogs say, the window titles and the error-box texts.
#pragma once

// Dialog panels.
extern const char kPasswordNoticeText[]; // the password dialog
extern const char kAddressIntroText[];   // the address dialog, above the version
extern const char kAddressHelpText[];    // the address dialog, above the entry
extern const char kConfirmText[];        // the confirmation
extern const char kOpeningWarningText[]; // the notice
extern const char kSuccessText[];        // the success dialog

// Titles of the windows whose title never depends on the upgrade.
inline constexpr char kWaitingTitle[] = "Waiting For Firmware Upload Request From TOV";
inline constexpr char kUploadingTitle[] = "Uploading Firmware To TOV";
inline constexpr char kPasswordTitle[] = "Enter Password Information";
inline constexpr char kInvalidAddressTitle[] = "Error";
inline constexpr char kInvalidAddressText[] = "Invalid IP Address";

inline constexpr char kErrorBoxCaption[] = "TOV Firwmare Upgrade Error";

inline constexpr char kErrorWinsockInit[] = "Upgrade Failed: Winsock init error";
inline constexpr char kErrorNoResponse[] = "Upgrade Failed: No Response From TOV";
inline constexpr char kErrorUserAbort[] = "Upgrade Failed: User Abort";
inline constexpr char kErrorHttpSocket[] = "Upgrade Failed: Can't open HTTP socket";
inline constexpr char kErrorHttpBind[] = "Upgrade Failed: Can't bind HTTP socket";
inline constexpr char kErrorConnect[] = "Upgrade Failed: Can't connect to TOV";
inline constexpr char kErrorListenerAlloc[] = "Upgrade Failed: Can't malloc for TFTP listener";
inline constexpr char kErrorListenerSocket[] = "Upgrade Failed: Can't create TFTP listener socket";
inline constexpr char kErrorListenerBind[] = "Upgrade Failed: Can't bind TFTP listener socket";
inline constexpr char kErrorNotBack[] = "Upgrade Failed: TOV not responding after firmware upload";
inline constexpr char kErrorIncomplete[] = "Upgrade Failed: Firmware Upload Incomplete";
// Sound ends where the device would otherwise be sent a broken image or an unserved port.
inline constexpr char kErrorImageTooLarge[] = "Upgrade Failed: Firmware image too large for TFTP";
inline constexpr char kErrorListenerThread[] = "Upgrade Failed: Can't start TFTP listener";
// A device that came back from its restart still running the version it ran before (%s), while
// the image carries another: it refused the image.
inline constexpr char kErrorStillOldVersion[] =
    "Upgrade Failed: TOV still reports software version %s";
// The build's stand-in image is never sent to a device off loopback.
inline constexpr char kErrorStandInImage[] =
    "Upgrade Failed: This program carries a test image, not TOV firmware";
// Shown when the program carries no usable firmware image.
inline constexpr char kErrorNoImage[] = "Upgrade Failed: Firmware image missing";
