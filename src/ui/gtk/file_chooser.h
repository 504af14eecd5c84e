// SPDX-License-Identifier: MIT
// The desktop's own file chooser, for a build that carries no image and was given no file.
#pragma once

#include <optional>
#include <string>

// The image file the user chose; none when the chooser was cancelled.
std::optional<std::string> chooseFirmwareFile();
