// SPDX-License-Identifier: MIT
// Winsock for the portable core. The program asks for Winsock 1.1; every call used here exists
// in 1.1, and ws2_32 serves them whatever version was negotiated.
#include <winsock2.h>

#include <climits>
#include <cstddef>

#include "platform/platform.h"
#include "platform/socket_io.h"

namespace {
SOCKET raw(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

SocketHandle openSocket(int type, int protocol) {
    const SOCKET s = ::socket(AF_INET, type, protocol);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

// Winsock lengths are int: a larger span moves at most INT_MAX bytes per call.
int lengthOf(std::size_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}
} // namespace

bool initSocketLibrary() {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

SocketHandle openTcpSocket() {
    return openSocket(SOCK_STREAM, IPPROTO_TCP);
}
SocketHandle openUdpSocket() {
    return openSocket(SOCK_DGRAM, IPPROTO_UDP);
}

void closeSocket(SocketHandle socket) {
    ::closesocket(raw(socket));
}

bool bindSocket(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    Ipv4SocketAddress local{};
    fillSocketAddress(address, port, local);
    return ::bind(raw(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool connectSocket(SocketHandle socket, std::uint32_t address, std::uint16_t port) {
    Ipv4SocketAddress remote{};
    fillSocketAddress(address, port, remote);
    return ::connect(raw(socket), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0;
}

int sendBytes(SocketHandle socket, std::span<const std::uint8_t> bytes) {
    return ::send(raw(socket), reinterpret_cast<const char*>(bytes.data()), lengthOf(bytes.size()),
                  0);
}

int receiveBytes(SocketHandle socket, std::span<std::uint8_t> into) {
    return ::recv(raw(socket), reinterpret_cast<char*>(into.data()), lengthOf(into.size()), 0);
}

int sendDatagram(SocketHandle socket, std::span<const std::uint8_t> bytes,
                 const Ipv4SocketAddress& to) {
    return ::sendto(raw(socket), reinterpret_cast<const char*>(bytes.data()),
                    lengthOf(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

int receiveDatagram(SocketHandle socket, std::span<std::uint8_t> into, Ipv4SocketAddress& from) {
    int fromLength = sizeof from;
    // A datagram larger than the buffer fails with WSAEMSGSIZE (and is dropped): SOCKET_ERROR.
    const int n =
        ::recvfrom(raw(socket), reinterpret_cast<char*>(into.data()), lengthOf(into.size()), 0,
                   reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n > lengthOf(into.size()))
        return -1;
    return n;
}

bool listenSocket(SocketHandle socket, int backlog) {
    return ::listen(raw(socket), backlog) == 0;
}

SocketHandle acceptConnection(SocketHandle socket) {
    const SOCKET s = ::accept(raw(socket), nullptr, nullptr);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

bool setNonBlocking(SocketHandle socket) {
    u_long on = 1;
    return ::ioctlsocket(raw(socket), FIONBIO, &on) == 0;
}

bool waitReadable(SocketHandle socket, std::uint32_t milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(raw(socket), &readable);
    timeval limit{static_cast<long>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000L};
    // The first argument is ignored by Winsock.
    return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}
