// SPDX-License-Identifier: MIT
// The failures' texts, one table for every front-end that shows the Windows program's words.
#include "ui/failure.h"

#include "base/text.h"
#include "ui/messages.h"

UpgradeFailure failureWithVersion(Failure reason, const char* version) {
    UpgradeFailure failure{reason};
    copyText(failure.version, version);
    return failure;
}

UpgradeFailure failureWithStatus(Failure reason, int status) {
    UpgradeFailure failure{reason};
    failure.status = status;
    return failure;
}

FailureText failureText(const UpgradeFailure& failure, TextLookup lookup) {
    const char* text = kErrorUserAbort;
    switch (failure.reason) {
    case Failure::socketLibrary:
        text = kErrorWinsockInit;
        break;
    case Failure::imageMissing:
        text = kErrorNoImage;
        break;
    case Failure::standInImage:
        text = kErrorStandInImage;
        break;
    case Failure::cannotOpenHttpSocket:
        text = kErrorHttpSocket;
        break;
    case Failure::cannotBindHttpSocket:
        text = kErrorHttpBind;
        break;
    case Failure::cannotConnect:
        text = kErrorConnect;
        break;
    case Failure::noResponse:
        text = kErrorNoResponse;
        break;
    case Failure::authUnsupported:
        text = kErrorUnanswerableAuthentication;
        break;
    case Failure::upgradeRefused: {
        FailureText formatted;
        formatText(formatted, lookup(kErrorUpgradeRefused), failure.status);
        return formatted;
    }
    // The dialogs tell a Cancel at the password prompt, or while the device installs, as any
    // other Cancel.
    case Failure::userAbort:
    case Failure::passwordNotGiven:
    case Failure::passwordRefused:
    case Failure::cancelledWhileInstalling:
        text = kErrorUserAbort;
        break;
    case Failure::listenerMemory:
        text = kErrorListenerAlloc;
        break;
    case Failure::listenerSocket:
        text = kErrorListenerSocket;
        break;
    case Failure::listenerBind:
        text = kErrorListenerBind;
        break;
    case Failure::listenerThread:
        text = kErrorListenerThread;
        break;
    case Failure::imageTooLarge:
        text = kErrorImageTooLarge;
        break;
    case Failure::uploadIncomplete:
        text = kErrorIncomplete;
        break;
    case Failure::notBack:
        text = kErrorNotBack;
        break;
    case Failure::stillOldVersion: {
        FailureText formatted;
        formatText(formatted, lookup(kErrorStillOldVersion), failure.version.data());
        return formatted;
    }
    case Failure::versionNotConfirmed: {
        FailureText formatted;
        formatText(formatted, lookup(kErrorVersionNotConfirmed), failure.version.data());
        return formatted;
    }
    case Failure::imageNotCarried:
        text = kErrorNoImageCarried;
        break;
    case Failure::imageUnreadable: {
        FailureText formatted;
        formatText(formatted, lookup(kErrorImageUnreadable), failure.version.data());
        return formatted;
    }
    case Failure::imageOversized:
        text = kErrorImageOversized;
        break;
    case Failure::imageTruncated:
        text = kErrorImageTruncated;
        break;
    case Failure::imageUnknownMagic:
        text = kErrorImageUnknownMagic;
        break;
    case Failure::imageBadVersion:
        text = kErrorImageBadVersion;
        break;
    case Failure::imageDigestMismatch:
        text = kErrorImageDigest;
        break;
    // The user chose Cancel at the checks' warning.
    case Failure::deviceChecksRefused:
        text = kErrorUserAbort;
        break;
    }
    FailureText plain;
    copyText(plain, lookup(text));
    return plain;
}

const char* failureName(Failure reason) {
    switch (reason) {
    case Failure::socketLibrary:
        return "socket_library";
    case Failure::imageMissing:
        return "image_missing";
    case Failure::standInImage:
        return "test_image";
    case Failure::cannotOpenHttpSocket:
        return "http_socket";
    case Failure::cannotBindHttpSocket:
        return "http_bind";
    case Failure::cannotConnect:
        return "cannot_connect";
    case Failure::noResponse:
        return "no_response";
    case Failure::authUnsupported:
        return "authentication_unsupported";
    case Failure::upgradeRefused:
        return "upgrade_refused";
    case Failure::userAbort:
        return "cancelled";
    case Failure::passwordNotGiven:
        return "no_password";
    case Failure::passwordRefused:
        return "password_refused";
    case Failure::listenerMemory:
        return "listener_memory";
    case Failure::listenerSocket:
        return "listener_socket";
    case Failure::listenerBind:
        return "listener_bind";
    case Failure::listenerThread:
        return "listener_thread";
    case Failure::imageTooLarge:
        return "image_too_large";
    case Failure::cancelledWhileInstalling:
        return "cancelled_while_installing";
    case Failure::uploadIncomplete:
        return "upload_incomplete";
    case Failure::notBack:
        return "not_back";
    case Failure::stillOldVersion:
        return "still_old_version";
    case Failure::versionNotConfirmed:
        return "version_not_confirmed";
    case Failure::imageNotCarried:
        return "no_image";
    case Failure::imageUnreadable:
        return "image_unreadable";
    case Failure::imageOversized:
        return "image_oversized";
    case Failure::imageTruncated:
        return "image_truncated";
    case Failure::imageUnknownMagic:
        return "image_unknown_magic";
    case Failure::imageBadVersion:
        return "image_bad_version";
    case Failure::imageDigestMismatch:
        return "image_sha256_mismatch";
    case Failure::deviceChecksRefused:
        return "checks_refused";
    }
    return "failure";
}
