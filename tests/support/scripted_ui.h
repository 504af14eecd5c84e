// SPDX-License-Identifier: MIT
// A user interface for tests: every shown text is recorded, every answer comes from the test.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/ui.h"

struct ScriptedUi {
    // Modal answers; the defaults go through a whole upgrade.
    std::function<bool()> notice = [] { return true; };
    // Default: "127.0.0.2", local slot 0.
    std::function<bool(const AddressDialogView&, AddressChoice&)> address;
    std::function<bool()> confirm = [] { return true; };
    // The checks of the image against the device (recorded as "dialog: image-check ...").
    std::function<bool(const ImageFindings&)> imageCheck = [](const ImageFindings&) {
        return true;
    };
    std::function<bool(Credentials&)> password; // default: "admin" / "secret"
    std::function<void()> success = [] {};
    // Asked at every message-handling call of a progress window: true acts as its Cancel.
    std::function<bool(ProgressKind)> cancelProgress = [](ProgressKind) { return false; };
    // Called with the text of every error box as it is shown (empty: nothing is called).
    std::function<void(const char*)> errorBox;
    // Asked when an error box offers "Try Again" (recorded as "offer: try-again"); true takes it.
    std::function<bool(const UpgradeFailure&)> tryAgain = [](const UpgradeFailure&) {
        return false;
    };
};

// The answers in force; resetScriptedUi() restores the defaults and clears the record.
ScriptedUi& scriptedUi();
void resetScriptedUi();

// What the user would have seen, in order, one line each, for example
// "error: Upgrade Failed: User Abort", "open: uploading", "title: uploading: Updating ...",
// "range: waiting: 0-1000", "destroy: connecting", "dialog: password", "cancel: waiting".
std::vector<std::string> uiEvents();
// Last position given to each kind of progress window (-1 before any).
int lastProgressPosition(ProgressKind kind);
// Every upload progress the upload window was given, in order.
std::vector<UploadProgress> uploadProgressShown();
// The failures the error box was given, in order.
std::vector<UpgradeFailure> failuresShown();
// What the last confirmation and success dialogs were given to show.
struct ShownValues {
    std::string noticeProduct;  // the product name the notice was given
    std::string confirmTitle;   // "Confirm Upgrade to Ver. ..."
    std::string device;         // "serial=... mac=... software=... hardware=... product=..."
    std::string successTitle;   // "TOV@... Upgrade Successful!"
    std::string successVersion; // the version the success dialog shows
};
ShownValues shownValues();
