// SPDX-License-Identifier: MIT
// SHA-256 (FIPS 180-4), for the firmware image's fingerprint.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

using Sha256Digest = std::array<std::uint8_t, 32>;
// 64 lower-case hex digits and the terminating zero.
using Sha256Hex = std::array<char, 65>;

Sha256Digest sha256(std::span<const std::uint8_t> data);

Sha256Hex sha256Hex(const Sha256Digest& digest);
// A digest from 64 hex digits in either case; none for anything else.
std::optional<Sha256Digest> parseSha256Hex(std::string_view text);
