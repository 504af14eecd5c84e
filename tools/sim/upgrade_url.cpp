// SPDX-License-Identifier: MIT
// Parses the TFTP source named in an upgrade request.
#include "upgrade_url.h"

#include "options.h"

std::optional<UpgradeSource> parseUpgradeQuery(std::string_view query) {
    constexpr std::string_view scheme = "tftp://";
    if (!query.starts_with(scheme))
        return std::nullopt;
    query.remove_prefix(scheme.size());
    const auto colon = query.find(':');
    const auto slash = query.find('/');
    if (colon == std::string_view::npos || slash == std::string_view::npos || slash < colon)
        return std::nullopt;
    const auto server = parseIpv4(query.substr(0, colon));
    const auto port = parseNumber(query.substr(colon + 1, slash - colon - 1), 1, 65535);
    if (!server || !port || query.substr(colon + 1, slash - colon - 1).size() > 5)
        return std::nullopt;
    const std::string_view name = query.substr(slash);
    if (name.size() < 2 || name.size() > 255)
        return std::nullopt;
    for (char c : name)
        if (c <= 0x20 || c >= 0x7f)
            return std::nullopt;
    return UpgradeSource{*server, static_cast<std::uint16_t>(*port), std::string(name)};
}
