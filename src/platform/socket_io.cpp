// SPDX-License-Identifier: MIT
// Socket-address conversion, shared by the HTTP exchange and the TFTP server.
#include "platform/socket_io.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#endif

void fillSocketAddress(std::uint32_t address, std::uint16_t port, Ipv4SocketAddress& record) {
    record = Ipv4SocketAddress{};
    record.sin_family = AF_INET;
    record.sin_port = htons(port);
    record.sin_addr.s_addr = htonl(address);
}

void readSocketAddress(const Ipv4SocketAddress& record, std::uint32_t& address,
                       std::uint16_t& port) {
    address = ntohl(record.sin_addr.s_addr);
    port = ntohs(record.sin_port);
}
