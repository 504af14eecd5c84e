// SPDX-License-Identifier: MIT
// Binding with the reason for a refusal, and the port a socket was given. Windows lets any user
// bind the low ports, so a refusal is never for lack of privilege here.
#include "platform/platform.h"

BindOutcome bindSocketTellingWhy(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    return bindSocket(socket, address, port) ? BindOutcome::bound : BindOutcome::failed;
}

std::uint16_t boundLocalPort(SocketHandle socket) {
    sockaddr_in local{};
    int length = sizeof local;
    if (::getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&local), &length) !=
        0)
        return 0;
    return ntohs(local.sin_port);
}
