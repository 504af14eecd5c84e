// SPDX-License-Identifier: MIT
// The address parser of the address dialog. Checks run in a fixed order and the first failure
// decides the code; "." and "*" are interchangeable separators and runs of them count as one.
#include "ui/dotted_address.h"

#include <cstring>

int parseDottedAddress(const char* text, std::uint32_t* address) {
    *address = 0;
    const std::size_t length = std::strlen(text);
    if (length < 7 || length > 15)
        return kAddressBadLength;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (!(c >= '0' && c <= '9') && c != '.' && c != '*')
            return kAddressBadCharacter;
    }

    std::uint32_t parts[4] = {};
    int count = 0;
    std::size_t i = 0;
    while (i < length) {
        while (i < length && (text[i] == '.' || text[i] == '*'))
            ++i;
        if (i == length)
            break;
        if (count == 4)
            return kAddressTooManyParts;
        // A text without separators can hold a 15-digit part: stop growing once past 255 so
        // the value can neither overflow nor wrap back into range.
        std::uint32_t value = 0;
        while (i < length && text[i] >= '0' && text[i] <= '9') {
            if (value <= 255)
                value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
            ++i;
        }
        if (value > 255)
            return kAddressPartTooLarge;
        parts[count++] = value;
    }
    if (count < 4)
        return kAddressTooFewParts;
    *address = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
    return kAddressValid;
}
