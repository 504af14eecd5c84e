// A user interface for tests: every shown text is recorded, every answer comes from the test.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/ui.h"

struct ScriptedUi {
    // Modal answers; the defaults go through a whole upgrade.
    std::function<bool()> notice = [] { return true; };
    std::function<bool()> address;  // default: "127.0.0.2", local slot 0
    std::function<bool()> confirm = [] { return true; };
    std::function<bool()> password; // default: "admin" / "secret"
    std::function<void()> success = [] {};
    // Asked at every message-handling call of a progress window: true acts as its Cancel.
    std::function<bool(ProgressKind)> cancelProgress = [](ProgressKind) { return false; };
    // Called with the text of every error box as it is shown (empty: nothing is called).
    std::function<void(const char*)> errorBox;
};

// The answers in force; resetScriptedUi() restores the defaults and clears the record.
ScriptedUi& scriptedUi();
void resetScriptedUi();

// What the user would have seen, in order, one line each, for example
// "error: Upgrade Failed: User Abort", "open: uploading", "title: uploading: Updating ...",
// "range: waiting: 0-1000", "destroy: connecting", "dialog: password".
std::vector<std::string> uiEvents();
// Last position given to each kind of progress window (-1 before any).
int lastProgressPosition(ProgressKind kind);
