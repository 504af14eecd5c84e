// SPDX-License-Identifier: MIT
// Formatting of the titles and captions; each is cut at its buffer, never written past it.
#include "ui/dialog_texts.h"

#include "base/text.h"
#include "ui/messages.h"

DialogTitle programTitle(const char* productName, TextLookup lookup) {
    DialogTitle title;
    formatText(title, lookup(N_("%s Firmware Upgrade")), productName);
    return title;
}

DialogTitle confirmTitle(const char* imageVersion, TextLookup lookup) {
    DialogTitle title;
    formatText(title, lookup(N_("Confirm Upgrade to Ver. %s")), imageVersion);
    return title;
}

DialogTitle successTitle(const char* deviceAddressText, TextLookup lookup) {
    DialogTitle title;
    formatText(title, lookup(N_("TOV@%s Upgrade Successful!")), deviceAddressText);
    return title;
}

DialogTitle connectingTitle(const char* deviceAddressText, TextLookup lookup) {
    DialogTitle title;
    formatText(title, lookup(N_("Connecting with TOV@%s")), deviceAddressText);
    return title;
}

DialogTitle versionLabel(const char* imageVersion, TextLookup lookup) {
    DialogTitle label;
    formatText(label, lookup(N_("Version %s")), imageVersion);
    return label;
}

DialogTitle progressTitle(const ProgressSubject& subject, TextLookup lookup) {
    switch (subject.kind) {
    case ProgressKind::connecting:
        return connectingTitle(subject.deviceAddressText, lookup);
    case ProgressKind::waiting:
        break;
    case ProgressKind::uploading: {
        DialogTitle title;
        copyText(title, lookup(kUploadingTitle));
        return title;
    }
    }
    DialogTitle title;
    copyText(title, lookup(kWaitingTitle));
    return title;
}

WindowCaption uploadCaption(const char* deviceAddressText, std::uint32_t bytesAcknowledged,
                            std::uint32_t imageSize, TextLookup lookup) {
    WindowCaption caption;
    formatText(caption, lookup(N_("Uploading Firmware to TOV@%s %d/%d Bytes")), deviceAddressText,
               static_cast<int>(bytesAcknowledged), static_cast<int>(imageSize));
    return caption;
}

WindowCaption settlingCaption(const char* deviceAddressText, TextLookup lookup) {
    WindowCaption caption;
    formatText(caption, lookup(N_("Updating Firmware to TOV@%s")), deviceAddressText);
    return caption;
}
