// The program's fixed texts: the message table, the success text and the error-box texts.
#pragma once

inline constexpr int kMessageTextCount = 10;
// 0 password notice, 1-2 address dialog, 3 confirmation, 4-8 the labels searched for in the
// device's page, 9 the opening warning.
extern const char* const messageTexts[kMessageTextCount];
extern const char successText[];

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
inline constexpr char kErrorSessionAlloc[] = "Upgrade Failed: Can't malloc for TFTP session";
inline constexpr char kErrorNotBack[] = "Upgrade Failed: TOV not responding after firmware upload";
inline constexpr char kErrorIncomplete[] = "Upgrade Failed: Firmware Upload Incomplete";
// Sound ends where the device would otherwise be sent a broken image or an unserved port.
inline constexpr char kErrorImageTooLarge[] = "Upgrade Failed: Firmware image too large for TFTP";
inline constexpr char kErrorListenerThread[] = "Upgrade Failed: Can't start TFTP listener";
// Shown when the program carries no usable firmware image.
inline constexpr char kErrorNoImage[] = "Upgrade Failed: Firmware image missing";
