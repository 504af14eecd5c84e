// SPDX-License-Identifier: MIT
// Binding with the reason for a refusal, and the port a socket was given.
#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/socket_io.h"

BindOutcome bindSocketTellingWhy(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    Ipv4SocketAddress local{};
    fillSocketAddress(address, port, local);
    if (::bind(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) ==
        0)
        return BindOutcome::bound;
    // EACCES: a port below the unprivileged start (1024) without CAP_NET_BIND_SERVICE.
    return errno == EACCES ? BindOutcome::permissionDenied : BindOutcome::failed;
}

std::uint16_t boundLocalPort(SocketHandle socket) {
    Ipv4SocketAddress local{};
    socklen_t length = sizeof local;
    if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    readSocketAddress(local, address, port);
    return port;
}
