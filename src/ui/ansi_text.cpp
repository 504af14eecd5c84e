// SPDX-License-Identifier: MIT
// Code page 1252 to and from UTF-8.
#include "ui/ansi_text.h"

#include <array>
#include <cstdint>

namespace {

// 0x80-0x9F of code page 1252; 0 where the code page has no character (shown as U+FFFD,
// typed never).
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ansiOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

// One UTF-8 sequence from text[i]; advances i. A malformed byte counts as one unknown character.
char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    int extra = 0;
    char32_t c = 0;
    if (lead < 0x80)
        return lead;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return c;
}

} // namespace

char32_t ansiCharacter(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        const char32_t c = kHighControls[byte - 0x80];
        return c == 0 ? 0xFFFD : c;
    }
    return byte;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string displayText(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        if (ansi[i] == '\r' && i + 1 < ansi.size() && ansi[i + 1] == '\n')
            continue; // the "\n" that follows makes the break
        appendUtf8(out, ansiCharacter(static_cast<unsigned char>(ansi[i])));
    }
    return out;
}

std::string ansiText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();)
        out += ansiOf(nextCodePoint(utf8, i));
    return out;
}

std::string terminalText(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (const char byte : ansi) {
        const char32_t c = ansiCharacter(static_cast<unsigned char>(byte));
        if (c < 0x20 || c == 0x7F || c == 0xFFFD)
            out += '?';
        else
            appendUtf8(out, c);
    }
    return out;
}
