// SPDX-License-Identifier: MIT
// The query of "/admin/upgrade?tftp://A.B.C.D:PORT/NAME".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct UpgradeSource {
    std::uint32_t server = 0; // host byte order
    std::uint16_t port = 0;
    std::string fileName; // from the slash after the port on, which the RRQ names as it stands
};

// Strict: dotted quad of 1-3 digit parts up to 255, port 1-65535, a name of 1 to 255 printable
// characters starting with "/". Nothing on any other text.
std::optional<UpgradeSource> parseUpgradeQuery(std::string_view query);
