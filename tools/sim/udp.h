// SPDX-License-Identifier: MIT
// UDP endpoints and sockets, shared by the device's TFTP client and the hostile hosts of the fault
// options.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "unique_fd.h"

struct Endpoint {
    std::uint32_t address = 0; // host byte order
    std::uint16_t port = 0;
    std::string text() const;
    bool operator==(const Endpoint&) const = default;
    auto operator<=>(const Endpoint&) const = default;
};

// A UDP socket bound to `localAddress` and a port of the system's choosing; invalid on failure.
UniqueFd openUdp(std::uint32_t localAddress);
// Where the socket is bound.
Endpoint localEndpoint(int fd);
// One datagram; true when the whole of it was handed to the system.
bool sendDatagram(int fd, std::span<const std::uint8_t> bytes, const Endpoint& to);
// One datagram into `buffer` (cut to its size), its length and sender; nothing when none was read
// (`flags` MSG_DONTWAIT and none waiting, or an error report from an earlier send).
std::optional<std::size_t> receiveDatagram(int fd, std::span<std::uint8_t> buffer, Endpoint& from,
                                           int flags);
