// SPDX-License-Identifier: MIT
// Bounded text helpers.
#include "base/text.h"

#include <cstdio>
#include <cstring>

int formatText(std::span<char> dest, const char* format, ...) {
    if (dest.empty())
        return 0;
    va_list args;
    va_start(args, format);
    const int wanted = std::vsnprintf(dest.data(), dest.size(), format, args);
    va_end(args);
    if (wanted < 0) {
        dest[0] = '\0';
        return 0;
    }
    const auto limit = static_cast<int>(dest.size() - 1);
    return wanted < limit ? wanted : limit;
}

std::size_t copyText(std::span<char> dest, std::string_view text) {
    if (dest.empty())
        return 0;
    const std::size_t length = text.size() < dest.size() - 1 ? text.size() : dest.size() - 1;
    // An empty view may carry no pointer at all, which memcpy must not be given.
    if (length > 0)
        std::memcpy(dest.data(), text.data(), length);
    dest[length] = '\0';
    return length;
}

std::string_view textIn(std::span<const char> buffer) {
    const void* end = std::memchr(buffer.data(), '\0', buffer.size());
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer.data())
            : buffer.size();
    return {buffer.data(), length};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool sameLettersAndDigits(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    const auto counts = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    std::size_t i = 0;
    std::size_t j = 0;
    for (;;) {
        while (i < a.size() && !counts(a[i]))
            ++i;
        while (j < b.size() && !counts(b[j]))
            ++j;
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        if (lower(a[i++]) != lower(b[j++]))
            return false;
    }
}

AddressText addressText(std::uint32_t address) {
    AddressText text;
    formatText(text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff, (address >> 8) & 0xff,
               address & 0xff);
    return text;
}

void wipeText(std::span<char> secret) {
    volatile char* bytes = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        bytes[i] = 0;
}

void wipeText(std::string& secret) {
    secret.resize(secret.capacity()); // the whole buffer, beyond the text too
    wipeText(std::span<char>(secret.data(), secret.size()));
    secret.clear();
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
