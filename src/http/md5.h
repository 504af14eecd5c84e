// SPDX-License-Identifier: MIT
// The MD5 message digest of RFC 1321, incremental: init, update any number of times, final.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t kMd5DigestSize = 16;

// Owned by the caller, a plain value on its stack.
struct Md5Context {
    std::uint32_t state[4];  // chaining words A, B, C, D
    std::uint32_t count[2];  // message length in bits modulo 2^64, low word first
    std::uint8_t buffer[64]; // bytes of the block not yet processed
};

void md5Init(Md5Context& context);
// Feeds `length` bytes (0 included). Whole blocks are processed straight from `input`.
void md5Update(Md5Context& context, const void* input, std::size_t length);
// Pads, writes the digest (A, B, C, D, each least significant byte first) and zeroes the
// context, which must be started again with md5Init before further use.
void md5Final(std::span<std::uint8_t, kMd5DigestSize> digest, Md5Context& context);
