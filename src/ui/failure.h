// SPDX-License-Identifier: MIT
// Every way an upgrade can end badly, as a value. The core reports one; each front-end renders it
// (the Windows and GTK programs with failureText(), the terminal program in its own words and
// its exit status).
#pragma once

#include <array>
#include <cstddef>

#include "ui/text_lookup.h"

enum class Failure {
    socketLibrary, // the socket library would not start
    imageMissing,  // no usable firmware image is carried
    standInImage,  // the carried test image was meant for a device off loopback
    cannotOpenHttpSocket,
    cannotBindHttpSocket,
    cannotConnect,
    noResponse,       // the information page came back empty
    authUnsupported,  // a 401 the program cannot answer: Basic only, Digest without nonce, ...
    upgradeRefused,   // an error status to the upgrade request, and no read request after it
    userAbort,        // the user declined or cancelled
    passwordNotGiven, // the device asks for a password and none was given
    passwordRefused,  // the device refused the password given, and no other was given
    listenerMemory,
    listenerSocket,
    listenerBind,
    listenerThread,
    imageTooLarge,            // more blocks than TFTP can number
    cancelledWhileInstalling, // the device held the whole image when the user stopped waiting
    uploadIncomplete,
    notBack,         // no software version after the restart
    stillOldVersion, // back on the version it ran before: it refused the image
    // Neither the image's version nor, with none known from before, a version seen to change.
    versionNotConfirmed,
    // The image's own check (terminal and GTK programs), before any request.
    imageNotCarried,     // the build carries none and no file was given
    imageUnreadable,     // the file cannot be read, or is not a regular file (argument: path)
    imageOversized,      // more than 65,535 TFTP blocks
    imageTruncated,      // shorter than its header or than the length it declares
    imageUnknownMagic,   // neither TOV2000 nor TOV3000, and not forced
    imageBadVersion,     // no NUL-terminated, printable version text
    imageDigestMismatch, // not the SHA-256 asked for (argument: the image's)
    // The checks against the device refused the upgrade; nothing was asked of it.
    deviceChecksRefused,
};

inline constexpr std::size_t kFailureArgumentSize = 128;

struct UpgradeFailure {
    Failure reason;
    // stillOldVersion, versionNotConfirmed: the software version the device reports after its
    // restart; imageUnreadable: the file's path; imageDigestMismatch: the image's SHA-256; empty
    // otherwise.
    std::array<char, kFailureArgumentSize> version{};
    // upgradeRefused: the HTTP status the device answered with; 0 otherwise.
    int status = 0;
};

UpgradeFailure failureWithVersion(Failure reason, const char* version);
UpgradeFailure failureWithStatus(Failure reason, int status);

// The error box's text for the failure, byte for byte as the Windows program shows it; `lookup`
// gives its words (or template) in the user's language, the value goes in as it is.
using FailureText = std::array<char, 256>;
FailureText failureText(const UpgradeFailure& failure, TextLookup lookup = untranslated);

// A stable lower-case name for logs and scripts ("password_refused").
const char* failureName(Failure reason);
