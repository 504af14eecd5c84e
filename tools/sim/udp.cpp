// SPDX-License-Identifier: MIT
// Thin POSIX calls behind udp.h.
#include "udp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "options.h"

namespace {

sockaddr_in socketAddress(const Endpoint& e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(e.address);
    a.sin_port = htons(e.port);
    return a;
}

} // namespace

std::string Endpoint::text() const {
    return formatIpv4(address) + ":" + std::to_string(port);
}

UniqueFd openUdp(std::uint32_t localAddress) {
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return fd;
    const sockaddr_in a = socketAddress({localAddress, 0});
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        fd.reset();
    return fd;
}

Endpoint localEndpoint(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return {};
    return {ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
}

std::optional<std::size_t> receiveDatagram(int fd, std::span<std::uint8_t> buffer, Endpoint& from,
                                           int flags) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    const ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), flags,
                                 reinterpret_cast<sockaddr*>(&a), &length);
    if (n < 0)
        return std::nullopt;
    from = {ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
    return static_cast<std::size_t>(n);
}

bool sendDatagram(int fd, std::span<const std::uint8_t> bytes, const Endpoint& to) {
    const sockaddr_in a = socketAddress(to);
    const ssize_t sent = ::sendto(fd, bytes.data(), bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&a), sizeof a);
    return sent == static_cast<ssize_t>(bytes.size());
}
