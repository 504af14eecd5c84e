// SPDX-License-Identifier: MIT
// Parsing of numeric option values and of fault occurrence lists.
#include "fault_list.h"

#include <algorithm>

bool FaultList::contains(std::uint32_t n) const {
    return all || std::find(numbers.begin(), numbers.end(), n) != numbers.end();
}

std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t min,
                                         std::uint32_t max) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value < min || value > max)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<FaultList> parseFaultList(std::string_view text) {
    FaultList list;
    if (text == "all") {
        list.all = true;
        return list;
    }
    while (true) {
        const auto comma = text.find(',');
        const auto number = parseNumber(text.substr(0, comma), 1, 1000000);
        if (!number)
            return std::nullopt;
        list.numbers.push_back(*number);
        if (comma == std::string_view::npos)
            return list;
        text.remove_prefix(comma + 1);
    }
}
