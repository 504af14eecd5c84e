// SPDX-License-Identifier: MIT
// Where the history lives and how a line is added to it: one file per platform.
#pragma once

#include <optional>
#include <string>

// The history file's path (its folder made, private to the user); none without a home.
std::optional<std::string> historyFilePath();
// Appends `line` and a newline in one write, under a lock, so neither a crash nor another
// process writing at the same time leaves half a line.
bool appendLineWhole(const std::string& path, const std::string& line);
