// The scripted user interface linked into the tests in place of a real front-end.
#include "scripted_ui.h"

#include <cstdio>
#include <mutex>

#include "platform/platform.h"
#include "ui/dialog_logic.h"
#include "ui/messages.h"

struct ProgressWindowState {
    ProgressKind kind;
};

namespace {
std::mutex uiMutex;
ScriptedUi answers;
std::vector<std::string> events;
int positions[3] = {-1, -1, -1};

void record(std::string line) {
    std::lock_guard lock(uiMutex);
    events.push_back(std::move(line));
}

std::function<bool(ProgressKind)> cancelAnswer() {
    std::lock_guard lock(uiMutex);
    return answers.cancelProgress;
}

void handleMessages(ProgressWindow window) {
    if (cancelAnswer()(window->kind)) {
        record(std::string("cancel: ") + progressKindName(window->kind));
        destroyProgressWindow(window);
        showErrorBox(kErrorUserAbort);
        endProcess();
    }
}
} // namespace

ScriptedUi& scriptedUi() {
    return answers;
}

void resetScriptedUi() {
    std::lock_guard lock(uiMutex);
    answers = ScriptedUi{};
    answers.address = [] { return acceptAddressEntry("127.0.0.2", 0); };
    answers.password = [] {
        storeCredentials("admin", "secret");
        return true;
    };
    events.clear();
    for (int& p : positions)
        p = -1;
}

std::vector<std::string> uiEvents() {
    std::lock_guard lock(uiMutex);
    return events;
}

int lastProgressPosition(ProgressKind kind) {
    std::lock_guard lock(uiMutex);
    return positions[static_cast<int>(kind)];
}

void initUiControls() {}

void showErrorBox(const char* text) {
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

bool runNoticeDialog() {
    record("dialog: notice");
    return scriptedUi().notice();
}
bool runAddressDialog() {
    record("dialog: address");
    if (!scriptedUi().address)
        resetScriptedUi();
    return scriptedUi().address();
}
bool runConfirmDialog() {
    record("dialog: confirm");
    return scriptedUi().confirm();
}
bool runPasswordDialog() {
    record("dialog: password");
    if (!scriptedUi().password)
        return false;
    return scriptedUi().password();
}
void runSuccessDialog() {
    record("dialog: success");
    std::fprintf(stderr, "success dialog\n");
    scriptedUi().success();
}

ProgressWindow openProgressWindow(ProgressKind kind) {
    record(std::string("open: ") + progressKindName(kind));
    return new ProgressWindowState{kind};
}
void setProgressTitle(ProgressWindow window, const char* title) {
    record(std::string("title: ") + progressKindName(window->kind) + ": " + title);
}
void setProgressRange(ProgressWindow window, int low, int high) {
    record(std::string("range: ") + progressKindName(window->kind) + ": " + std::to_string(low) +
           "-" + std::to_string(high));
}
void setProgressPosition(ProgressWindow window, int position) {
    std::lock_guard lock(uiMutex);
    positions[static_cast<int>(window->kind)] = position;
}
void handleOneProgressMessage(ProgressWindow window) {
    handleMessages(window);
}
void handleAllProgressMessages(ProgressWindow window) {
    handleMessages(window);
}
void destroyProgressWindow(ProgressWindow window) {
    record(std::string("destroy: ") + progressKindName(window->kind));
    delete window;
}
