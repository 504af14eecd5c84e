// SPDX-License-Identifier: MIT
// The image's details as the terminal prints them, before an upgrade or for --check.
#pragma once

#include <cstdint>
#include <string>

struct ImageLines {
    std::string version;
    std::string product; // "TOV-1000/2000", ...
    std::string sha256;  // hex
    std::string file;    // empty: the carried image
    bool testImage = false;
    std::uint32_t size = 0; // shown when not 0
};

void sayImageDetails(const ImageLines& image);
