// SPDX-License-Identifier: MIT
// The image's own check, before anything is asked of the device: its size, magic, declared
// length and version text, its SHA-256, and whether it is the build's stand-in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "base/sha256.h"

// 65,535 TFTP blocks of 512 bytes, the last one short: block numbers go no further.
inline constexpr std::uint32_t kLargestImage = 65535u * 512u - 1u;

enum class ImageProduct { tov2000, tov3000, other };

enum class ImageVerdict {
    accepted,
    tooLarge,       // more than kLargestImage bytes
    truncated,      // shorter than its header, or not the length its header declares
    unknownMagic,   // neither "TOV2000" nor "TOV3000" (accepted with `force`)
    badVersion,     // no NUL between bytes 92 and 127, or an empty or unprintable version
    digestMismatch, // not the SHA-256 the user expects
};

struct ImageRules {
    bool force = false;                         // accept another magic
    std::optional<Sha256Digest> expectedSha256; // refuse any other image
};

struct ImageReport {
    ImageVerdict verdict = ImageVerdict::accepted;
    ImageProduct product = ImageProduct::other;
    std::uint32_t size = 0;         // bytes (kLargestImage + 1 for anything larger)
    std::uint32_t declaredSize = 0; // the big-endian length at bytes 88-91
    std::array<char, 36> version{}; // the version text, empty when it is not sound
    Sha256Digest sha256{};
    bool standIn = false; // the build's stand-in test image (made by firmware/)
};

ImageReport checkFirmwareImage(std::span<const std::uint8_t> image, const ImageRules& rules);

// Bytes 16-87 of the stand-in's header follow the recipe's fixed pattern: no maker's image
// carries it, and every image the recipe writes does, whatever its size, magic or version.
bool isStandInImage(std::span<const std::uint8_t> image);

// "TOV-3000", "TOV-1000/2000" or "ODM-Product", as the dialogs name the product.
const char* imageProductName(ImageProduct product);
