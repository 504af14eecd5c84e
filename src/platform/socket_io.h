// SPDX-License-Identifier: MIT
// Conversion between host-order IPv4 address and port and the platform's socket address.
#pragma once

#include <cstdint>

#include "platform/socket_address.h"

// Family IPv4, address and port in network byte order (0 stays 0: any local address).
void fillSocketAddress(std::uint32_t address, std::uint16_t port, Ipv4SocketAddress& record);
void readSocketAddress(const Ipv4SocketAddress& record, std::uint32_t& address,
                       std::uint16_t& port);
