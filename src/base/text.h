// SPDX-License-Identifier: MIT
// Bounded text helpers over fixed-size, zero-terminated buffers.
#pragma once

#include <array>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Formats into dest, always terminated, never past its end; returns the characters written.
int formatText(std::span<char> dest, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Copies at most dest.size() - 1 characters of text and terminates; returns the length copied.
std::size_t copyText(std::span<char> dest, std::string_view text);

// The text in a zero-terminated buffer, never reading past the buffer's end.
std::string_view textIn(std::span<const char> buffer);

// Overwrites a secret with zeros in a way the compiler keeps; the string is emptied after.
void wipeText(std::span<char> secret);
void wipeText(std::string& secret);

// The value of a hexadecimal digit (either case); -1 for any other character.
int hexDigitValue(char c);

// Equal apart from ASCII letter case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The same ASCII letters and digits in the same order, apart from letter case; every other
// character is left out ("2.0.10(e)" and "2.0.10E" are the same version).
bool sameLettersAndDigits(std::string_view a, std::string_view b);

// "a.b.c.d" from a host-order IPv4 address, most significant byte first.
using AddressText = std::array<char, 16>;
AddressText addressText(std::uint32_t address);
