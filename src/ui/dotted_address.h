// SPDX-License-Identifier: MIT
// Parsing of the typed device address ("10.1.0.123", or "10*1*0*123" as on a telephone keypad).
#pragma once

#include <cstdint>

enum DottedAddressResult : int {
    kAddressValid = 0,
    kAddressPartTooLarge = 1,
    kAddressTooManyParts = 2,
    kAddressTooFewParts = 3,
    kAddressBadLength = 4,
    kAddressBadCharacter = 5,
};

// Writes the address (host byte order, 0 unless valid) and returns the first failed check.
int parseDottedAddress(const char* text, std::uint32_t* address);
