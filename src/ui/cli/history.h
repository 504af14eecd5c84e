// SPDX-License-Identifier: MIT
// The record of upgrades: one JSON line per run that reached a TOV, appended to
// $XDG_STATE_HOME/tov-upgrade/history.jsonl (~/.local/state/...; %LOCALAPPDATA%\tov-upgrade\ on
// Windows). The password never goes into it.
#pragma once

#include <string>

struct UpgradeRecord {
    std::string productName, macAddress, serialNumber;
    std::string versionBefore, versionAfter, imageVersion;
    std::string outcome; // "success", or the failure's name
    int exitStatus = 0;
};

// The record as its history line (without the newline).
std::string historyLine(const UpgradeRecord& record);
// Appends the line whole (a crash never leaves half of one); false when it could not.
bool appendToHistory(const UpgradeRecord& record);
// --history: the file as a table, or its lines as they are (json). Returns the exit status.
int printHistory(bool json);
