// SPDX-License-Identifier: MIT
// The device's check of a received firmware image before it installs it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct ImageVerdict {
    bool accepted = false;
    std::string reason;  // why it was refused; "ok" when accepted
    std::string version; // bytes 92 up to the NUL, when the header holds one
};

// Size equal to the announced tsize (when one was announced); magic "ToV2000" or "ToV3000" in any
// case; big-endian length at bytes 88-91 equal to the size; a version of 1 to 35 printable
// characters at byte 92 whose NUL lies inside the 128-byte header.
ImageVerdict checkImage(std::span<const std::uint8_t> image, std::optional<std::uint64_t> tsize);
