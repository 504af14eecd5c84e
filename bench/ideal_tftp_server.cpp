// SPDX-License-Identifier: MIT
// The benchmark's reference: an ideal lock-step TFTP server, written for the benchmark only. One
// fetch of FILE, then it exits: blocking receive, each ACK answered at once with the next block,
// no window, no clock but the socket's own time-out. It speaks as our server does (an OACK with
// "tsize" and "timeout" first, 512-byte blocks), so both serve a client the same exchange.
//   ideal-tftp-server ADDRESS FILE      prints "port P" once it listens (the system picks P)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = 512;

void put16(std::vector<std::uint8_t>& packet, unsigned value) {
    packet.push_back(static_cast<std::uint8_t>(value >> 8));
    packet.push_back(static_cast<std::uint8_t>(value));
}

std::vector<std::uint8_t> oack(std::size_t size) {
    std::vector<std::uint8_t> p;
    put16(p, 6);
    const std::string text =
        std::string("tsize") + '\0' + std::to_string(size) + '\0' + "timeout" + '\0' + "5" + '\0';
    p.insert(p.end(), text.begin(), text.end());
    return p;
}

// DATA `block` built in `packet`; returns its length.
std::size_t data(const std::vector<std::uint8_t>& file, unsigned block, std::uint8_t* packet) {
    packet[0] = 0;
    packet[1] = 3;
    packet[2] = static_cast<std::uint8_t>(block >> 8);
    packet[3] = static_cast<std::uint8_t>(block);
    const std::size_t from = (block - 1) * kBlock;
    const std::size_t length = std::min(kBlock, file.size() - from);
    std::memcpy(packet + 4, file.data() + from, length);
    return 4 + length;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ideal-tftp-server ADDRESS FILE\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<std::uint8_t> file(std::istreambuf_iterator<char>(in), {});
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::inet_pton(AF_INET, argv[1], &local.sin_addr) != 1 ||
        ::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        return 1;
    socklen_t length = sizeof local;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&local), &length);
    std::printf("port %u\n", ntohs(local.sin_port));
    std::fflush(stdout);

    std::uint8_t buffer[1024];
    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    ssize_t n = 0;
    do // the read request
        n = ::recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer),
                       &peerLength);
    while (n < 2 || buffer[1] != 1);
    const timeval oneSecond{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &oneSecond, sizeof oneSecond);

    const unsigned blocks = static_cast<unsigned>(file.size() / kBlock + 1);
    unsigned expected = 0; // the OACK is acknowledged as block 0
    const std::vector<std::uint8_t> options = oack(file.size());
    std::uint8_t packet[4 + kBlock];
    std::memcpy(packet, options.data(), options.size());
    std::size_t packetLength = options.size();
    for (int silences = 0; silences < 5;) {
        ::sendto(s, packet, packetLength, 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
        for (;;) {
            n = ::recv(s, buffer, sizeof buffer, 0);
            if (n < 0) {
                ++silences; // resend the last packet
                break;
            }
            if (n >= 4 && buffer[1] == 4 &&
                (buffer[2] << 8 | buffer[3]) == int(expected & 0xffff)) {
                if (expected == blocks)
                    return 0;
                ++expected;
                packetLength = data(file, expected, packet);
                break;
            }
        }
    }
    return 1;
}
