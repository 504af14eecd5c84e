// SPDX-License-Identifier: MIT
// The address parser against a reference written from the parser's rules with the C library's
// own tokenizer: the same code and the same address for any text the user can type.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/text.h"
#include "fuzz_check.h"
#include "ui/dialog_logic.h"
#include "ui/dotted_address.h"

namespace {
// Length, characters, then the parts split at runs of "." and "*". A part is read in 64 bits so
// that a run of 15 digits (a text without separators) cannot overflow the reference either.
int referenceParse(const char* text, std::uint32_t* address) {
    *address = 0;
    const std::size_t length = std::strlen(text);
    if (length < 7 || length > 15)
        return 4;
    for (std::size_t i = 0; i < length; ++i)
        if (std::strchr("0123456789.*", text[i]) == nullptr || text[i] == '\0')
            return 5;
    char copy[16];
    std::memcpy(copy, text, length + 1);
    std::uint32_t parts[4] = {};
    int count = 0;
    char* state = nullptr;
    for (char* part = strtok_r(copy, "*.", &state); part != nullptr;
         part = strtok_r(nullptr, "*.", &state)) {
        if (count == 4)
            return 2;
        const long long value = std::strtoll(part, nullptr, 10);
        if (value < 0 || value > 255)
            return 1;
        parts[count++] = static_cast<std::uint32_t>(value);
    }
    if (count < 4)
        return 3;
    *address = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
    return 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64)
        return 0;
    std::vector<char> text(data, data + size);
    text.push_back('\0');

    std::uint32_t address = 0xdeadbeef;
    const int code = parseDottedAddress(text.data(), &address);
    std::uint32_t expected = 0xdeadbeef;
    const int expectedCode = referenceParse(text.data(), &expected);
    FUZZ_CHECK(code >= 0 && code <= 5);
    FUZZ_CHECK(code == expectedCode);
    FUZZ_CHECK(address == expected);
    if (code != 0)
        FUZZ_CHECK(address == 0);

    // The dialog's OK with the same text (cut at the field's 31 characters) and any selection.
    constexpr int kLocalAddressSlots = 8;
    std::uint32_t localAddresses[kLocalAddressSlots];
    for (int i = 0; i < kLocalAddressSlots; ++i)
        localAddresses[i] = 0x0a000001u + static_cast<std::uint32_t>(i);
    AddressChoice ctx{};
    ctx.deviceAddress = 1;
    copyText(ctx.fileName, "unchanged");
    ctx.localAddress = 0x0a000001u;
    const int selected = size > 0 ? static_cast<int>(data[0] % 20) - 5 : -1; // -5 to 14
    const std::string_view typed(text.data()); // a window text ends at its first NUL
    const bool valid = acceptAddressEntry(typed, selected, localAddresses, ctx);
    FUZZ_CHECK(std::memchr(ctx.deviceAddressText, 0, sizeof ctx.deviceAddressText) != nullptr);
    FUZZ_CHECK(textIn(ctx.deviceAddressText) ==
               typed.substr(0, std::min<std::size_t>(typed.size(), 31)));
    std::uint32_t cut = 0;
    parseDottedAddress(ctx.deviceAddressText, &cut);
    FUZZ_CHECK(valid == (cut != 0) && ctx.deviceAddress == cut);
    if (!valid) {
        FUZZ_CHECK(textIn(ctx.fileName) == "unchanged");
        FUZZ_CHECK(ctx.localAddress == 0x0a000001u);
    } else {
        const std::string_view name = textIn(ctx.fileName);
        FUZZ_CHECK(name.starts_with("/tov") && name.ends_with(".bin") && name.size() <= 12);
        if (selected >= 0 && selected < kLocalAddressSlots)
            FUZZ_CHECK(ctx.localAddress == localAddresses[selected]);
        else
            FUZZ_CHECK(ctx.localAddress == 0x0a000001u);
    }
    return 0;
}
