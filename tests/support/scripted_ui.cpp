// SPDX-License-Identifier: MIT
// The scripted user interface linked into the tests in place of a real front-end.
#include "scripted_ui.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "ui/dialog_texts.h"

struct ProgressWindowState {
    ProgressKind kind;
    std::string deviceAddressText;
    bool settlingShown = false;
    std::atomic<bool> cancelled{false};
};

namespace {
std::mutex uiMutex;
ScriptedUi answers;
std::vector<std::string> events;
int positions[3] = {-1, -1, -1};
ShownValues shown;
std::vector<UploadProgress> uploads;
std::vector<UpgradeFailure> failures;

void record(std::string line) {
    std::lock_guard lock(uiMutex);
    events.push_back(std::move(line));
}

std::function<bool(ProgressKind)> cancelAnswer() {
    std::lock_guard lock(uiMutex);
    return answers.cancelProgress;
}

void handleMessages(ProgressWindow window) {
    if (window->cancelled || !cancelAnswer()(window->kind))
        return;
    record(std::string("cancel: ") + progressKindName(window->kind));
    window->cancelled = true;
}
} // namespace

ScriptedUi& scriptedUi() {
    return answers;
}

void resetScriptedUi() {
    std::lock_guard lock(uiMutex);
    answers = ScriptedUi{};
    answers.address = [](const AddressDialogView& view, AddressChoice& choice) {
        return acceptAddressEntry("127.0.0.2", 0, view.localAddresses, choice);
    };
    answers.password = [](Credentials& credentials) {
        storeCredentials("admin", "secret", credentials);
        return true;
    };
    events.clear();
    for (int& p : positions)
        p = -1;
    shown = {};
    uploads.clear();
    failures.clear();
}

std::vector<std::string> uiEvents() {
    std::lock_guard lock(uiMutex);
    return events;
}

int lastProgressPosition(ProgressKind kind) {
    std::lock_guard lock(uiMutex);
    return positions[static_cast<int>(kind)];
}

ShownValues shownValues() {
    std::lock_guard lock(uiMutex);
    return shown;
}

std::vector<UploadProgress> uploadProgressShown() {
    std::lock_guard lock(uiMutex);
    return uploads;
}

std::vector<UpgradeFailure> failuresShown() {
    std::lock_guard lock(uiMutex);
    return failures;
}

void initUiControls() {}

void showErrorBox(const UpgradeFailure& failure) {
    const FailureText shownText = failureText(failure);
    const char* text = shownText.data();
    {
        std::lock_guard lock(uiMutex);
        failures.push_back(failure);
    }
    record(std::string("error: ") + text);
    std::function<void(const char*)> hook;
    {
        std::lock_guard lock(uiMutex);
        hook = answers.errorBox;
    }
    if (hook)
        hook(text);
    // Death tests read this from the dying child's stderr.
    std::fprintf(stderr, "error box: %s\n", text);
    std::fflush(stderr);
}

bool offerTryAgain(const UpgradeFailure& failure) {
    showErrorBox(failure);
    record("offer: try-again");
    std::function<bool(const UpgradeFailure&)> answer;
    {
        std::lock_guard lock(uiMutex);
        answer = answers.tryAgain;
    }
    return answer(failure);
}

bool runNoticeDialog(const char* productName) {
    record("dialog: notice");
    {
        std::lock_guard lock(uiMutex);
        shown.noticeProduct = productName;
    }
    return scriptedUi().notice();
}
bool runAddressDialog(const AddressDialogView& view, AddressChoice& choice) {
    record("dialog: address");
    if (!scriptedUi().address)
        resetScriptedUi();
    return scriptedUi().address(view, choice);
}
bool runConfirmDialog(const DeviceValues& device, const char* imageVersion) {
    record("dialog: confirm");
    {
        std::lock_guard lock(uiMutex);
        shown.confirmTitle = confirmTitle(imageVersion).data();
        shown.device = std::string("serial=") + device.serialNumber + " mac=" + device.macAddress +
                       " software=" + device.softwareVersion +
                       " hardware=" + device.hardwareVersion + " product=" + device.productName;
    }
    return scriptedUi().confirm();
}
bool runImageCheckWarning(const ImageFindings& findings) {
    constexpr const char* kOrders[] = {"newer", "same", "older", "unknown"};
    constexpr const char* kModels[] = {"matches", "mismatch", "unnamed"};
    record(std::string("dialog: image-check version=") +
           kOrders[static_cast<int>(findings.version)] +
           " model=" + kModels[static_cast<int>(findings.model)]);
    return scriptedUi().imageCheck(findings);
}
bool runPasswordDialog(Credentials& credentials) {
    record("dialog: password");
    if (!scriptedUi().password)
        return false;
    return scriptedUi().password(credentials);
}
void runSuccessDialog(const char* deviceAddressText, const char* softwareVersion) {
    record("dialog: success");
    {
        std::lock_guard lock(uiMutex);
        shown.successTitle = successTitle(deviceAddressText).data();
        shown.successVersion = softwareVersion;
    }
    std::fprintf(stderr, "success dialog\n");
    scriptedUi().success();
}

ProgressWindow openProgressWindow(const ProgressSubject& subject) {
    record(std::string("open: ") + progressKindName(subject.kind));
    auto* window = new ProgressWindowState;
    window->kind = subject.kind;
    window->deviceAddressText = subject.deviceAddressText;
    return window;
}
void showUploadProgress(ProgressWindow window, const UploadProgress& progress) {
    {
        std::lock_guard lock(uiMutex);
        uploads.push_back(progress);
    }
    record(std::string("title: ") + progressKindName(window->kind) + ": " +
           uploadCaption(window->deviceAddressText.c_str(), progress.bytesAcknowledged,
                         progress.imageSize)
               .data());
}
void showSettlingProgress(ProgressWindow window, const SettlingProgress&) {
    if (window->settlingShown)
        return;
    window->settlingShown = true;
    record(std::string("title: ") + progressKindName(window->kind) + ": " +
           settlingCaption(window->deviceAddressText.c_str()).data());
}
void setProgressRange(ProgressWindow window, int low, int high) {
    record(std::string("range: ") + progressKindName(window->kind) + ": " + std::to_string(low) +
           "-" + std::to_string(high));
}
void setProgressPosition(ProgressWindow window, int position) {
    std::lock_guard lock(uiMutex);
    positions[static_cast<int>(window->kind)] = position;
}
void handleAllProgressMessages(ProgressWindow window) {
    handleMessages(window);
}
bool progressCancelled(ProgressWindow window) {
    return window->cancelled;
}
void destroyProgressWindow(ProgressWindow window) {
    record(std::string("destroy: ") + progressKindName(window->kind));
    delete window;
}
