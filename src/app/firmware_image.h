// SPDX-License-Identifier: MIT
// The embedded firmware image: where it is, its header copy, product name and version text.
#pragma once

#include <cstdint>
#include <span>

#include "app/context.h"

inline constexpr std::size_t kImageVersionOffset = 92;

// Stores the image in `firmware` (data, size, 128-byte header copy). False, and nothing stored,
// when there is no image or it is shorter than its 128-byte header.
bool loadFirmwareImage(std::span<const std::uint8_t> image, FirmwareImage& firmware);

// "TOV-3000", "TOV-1000/2000" or "ODM-Product" from the first 7 header characters.
const char* productNameFor(std::span<const std::uint8_t, 128> header);

// The version text at byte 92 of the header copy; it always ends by byte 127 of the copy.
const char* imageVersion(const FirmwareImage& firmware);

// The image's bytes.
std::span<const std::uint8_t> imageBytes(const FirmwareImage& firmware);
