// SPDX-License-Identifier: MIT
// Formatting of the titles and captions; each is cut at its buffer, never written past it.
#include "ui/dialog_texts.h"

#include "base/text.h"
#include "ui/messages.h"

DialogTitle programTitle(const char* productName) {
    DialogTitle title;
    formatText(title, "%s Firmware Upgrade", productName);
    return title;
}

DialogTitle confirmTitle(const char* imageVersion) {
    DialogTitle title;
    formatText(title, "Confirm Upgrade to Ver. %s", imageVersion);
    return title;
}

DialogTitle successTitle(const char* deviceAddressText) {
    DialogTitle title;
    formatText(title, "TOV@%s Upgrade Successful!", deviceAddressText);
    return title;
}

DialogTitle connectingTitle(const char* deviceAddressText) {
    DialogTitle title;
    formatText(title, "Connecting with TOV@%s", deviceAddressText);
    return title;
}

DialogTitle versionLabel(const char* imageVersion) {
    DialogTitle label;
    formatText(label, "Version %s", imageVersion);
    return label;
}

DialogTitle progressTitle(const ProgressSubject& subject) {
    switch (subject.kind) {
    case ProgressKind::connecting:
        return connectingTitle(subject.deviceAddressText);
    case ProgressKind::waiting:
        break;
    case ProgressKind::uploading: {
        DialogTitle title;
        copyText(title, kUploadingTitle);
        return title;
    }
    }
    DialogTitle title;
    copyText(title, kWaitingTitle);
    return title;
}

WindowCaption uploadCaption(const char* deviceAddressText, std::uint32_t bytesAcknowledged,
                            std::uint32_t imageSize) {
    WindowCaption caption;
    formatText(caption, "Uploading Firmware to TOV@%s %d/%d Bytes", deviceAddressText,
               static_cast<int>(bytesAcknowledged), static_cast<int>(imageSize));
    return caption;
}

WindowCaption settlingCaption(const char* deviceAddressText) {
    WindowCaption caption;
    formatText(caption, "Updating Firmware to TOV@%s", deviceAddressText);
    return caption;
}
