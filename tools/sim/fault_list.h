// SPDX-License-Identifier: MIT
// Which numbered occurrences (1-based) a fault applies to: none, a list such as "1,3", or "all".
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

struct FaultList {
    bool all = false;
    std::vector<std::uint32_t> numbers;

    bool empty() const { return !all && numbers.empty(); }
    bool contains(std::uint32_t n) const;
};

// Parses "all" or comma-separated numbers from 1 to 1,000,000; nothing on any other text.
std::optional<FaultList> parseFaultList(std::string_view text);
// A decimal number from min to max, digits only; nothing on any other text.
std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t min,
                                         std::uint32_t max);
