// SPDX-License-Identifier: MIT
// BSD sockets for the portable core.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/socket_io.h"

namespace {
int fd(SocketHandle socket) { return static_cast<int>(socket); }

SocketHandle openSocket(int type) {
    const int s = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    return s < 0 ? kInvalidSocket : static_cast<SocketHandle>(s);
}
} // namespace

bool initSocketLibrary() { return true; }

SocketHandle openTcpSocket() { return openSocket(SOCK_STREAM); }
SocketHandle openUdpSocket() { return openSocket(SOCK_DGRAM); }

void closeSocket(SocketHandle socket) { ::close(fd(socket)); }

bool bindSocket(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    Ipv4SocketAddress local{};
    fillSocketAddress(address, port, local);
    return ::bind(fd(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool connectSocket(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    Ipv4SocketAddress remote{};
    fillSocketAddress(address, port, remote);
    int result;
    do {
        result = ::connect(fd(socket), reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

int sendBytes(SocketHandle socket, std::span<const std::uint8_t> bytes) {
    return static_cast<int>(::send(fd(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL));
}

int receiveBytes(SocketHandle socket, std::span<std::uint8_t> into) {
    ssize_t n;
    do {
        n = ::recv(fd(socket), into.data(), into.size(), 0);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int sendDatagram(SocketHandle socket, std::span<const std::uint8_t> bytes,
                 const Ipv4SocketAddress& to) {
    return static_cast<int>(::sendto(fd(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                     reinterpret_cast<const sockaddr*>(&to), sizeof to));
}

int receiveDatagram(SocketHandle socket, std::span<std::uint8_t> into, Ipv4SocketAddress& from) {
    socklen_t fromLength = sizeof from;
    // MSG_TRUNC reports the datagram's real length, so an oversized one fails here as it does
    // under Winsock (WSAEMSGSIZE) instead of arriving cut.
    const ssize_t n = ::recvfrom(fd(socket), into.data(), into.size(), MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n > static_cast<ssize_t>(into.size()))
        return -1;
    return static_cast<int>(n);
}

bool listenSocket(SocketHandle socket, int backlog) { return ::listen(fd(socket), backlog) == 0; }

SocketHandle acceptConnection(SocketHandle socket) {
    int s;
    do {
        s = ::accept4(fd(socket), nullptr, nullptr, SOCK_CLOEXEC);
    } while (s < 0 && errno == EINTR);
    return s < 0 ? kInvalidSocket : static_cast<SocketHandle>(s);
}

bool setNonBlocking(SocketHandle socket) {
    const int flags = ::fcntl(fd(socket), F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd(socket), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool waitReadable(SocketHandle socket, std::uint32_t milliseconds) {
    pollfd entry{fd(socket), POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(milliseconds)) > 0;
}
