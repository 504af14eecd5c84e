// SPDX-License-Identifier: MIT
// The failures sorted into the exit statuses.
#include "exit_status.h"

int exitStatusFor(Failure reason) {
    switch (reason) {
    case Failure::uploadIncomplete:
    case Failure::notBack:
    case Failure::stillOldVersion:
    case Failure::versionNotConfirmed:
    case Failure::upgradeRefused:
        return kExitDeviceFailed;
    case Failure::noResponse:
    case Failure::cannotConnect:
        return kExitUnreachable;
    case Failure::passwordNotGiven:
    case Failure::passwordRefused:
    case Failure::authUnsupported:
        return kExitAuthentication;
    case Failure::userAbort:
    case Failure::cancelledWhileInstalling:
        return kExitCancelled;
    case Failure::imageNotCarried:
    case Failure::imageUnreadable:
    case Failure::imageOversized:
    case Failure::imageTruncated:
    case Failure::imageUnknownMagic:
    case Failure::imageBadVersion:
    case Failure::imageDigestMismatch:
        return kExitUsage; // the image given is refused before the TOV hears of it
    case Failure::deviceChecksRefused:
        return kExitNothingDone;
    case Failure::socketLibrary:
    case Failure::imageMissing:
    case Failure::standInImage:
    case Failure::cannotOpenHttpSocket:
    case Failure::cannotBindHttpSocket:
    case Failure::listenerMemory:
    case Failure::listenerSocket:
    case Failure::listenerBind:
    case Failure::listenerThread:
    case Failure::imageTooLarge:
        break;
    }
    return kExitLocalFailure; // sockets, ports, threads, the image
}
