// SPDX-License-Identifier: MIT
// Loopback peers for the TFTP server tests, built on the platform seam so they run under Wine too.
#include "tftp_test_peer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/socket_io.h"

namespace {
std::uint16_t be16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

// The OACK a correct server sends for an image of `size` bytes, spelled out independently.
std::vector<std::uint8_t> expectedOack(std::uint32_t size) {
    const std::string text = std::string("\0\6tsize\0", 8) + std::to_string(size) +
                             std::string("\0timeout\0"
                                         "5\0",
                                         11);
    return {text.begin(), text.end()};
}
} // namespace

std::string dottedAddress(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool LoopbackUdp::bindExactly(std::uint32_t bindAddress, std::uint16_t bindPort) {
    if (socket.get() == kInvalidSocket || !bindSocket(socket.get(), bindAddress, bindPort))
        return false;
    address = bindAddress;
    port = bindPort;
    return true;
}

bool LoopbackUdp::bindFrom(std::uint32_t bindAddress, std::uint16_t firstPort) {
    for (std::uint32_t p = firstPort; p < firstPort + 500u && p <= 65535u; ++p)
        if (bindExactly(bindAddress, static_cast<std::uint16_t>(p)))
            return true;
    return false;
}

void LoopbackUdp::sendTo(std::span<const std::uint8_t> bytes, std::uint32_t toAddress,
                         std::uint16_t toPort) const {
    Ipv4SocketAddress to{};
    fillSocketAddress(toAddress, toPort, to);
    sendDatagram(socket.get(), bytes, to);
}

std::optional<Datagram> LoopbackUdp::receive(std::uint32_t milliseconds) const {
    if (!waitReadable(socket.get(), milliseconds))
        return std::nullopt;
    std::uint8_t buffer[2048];
    Ipv4SocketAddress from{};
    const int n = receiveDatagram(socket.get(), buffer, from);
    if (n < 0)
        return std::nullopt;
    Datagram d;
    d.bytes.assign(buffer, buffer + n);
    readSocketAddress(from, d.address, d.port);
    return d;
}

std::vector<std::uint8_t> tftpRequest(std::uint16_t opcode, const std::string& name) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(opcode >> 8),
                                    static_cast<std::uint8_t>(opcode)};
    const std::string rest = name + std::string("\0octet\0tsize\0"
                                                "0\0",
                                                15);
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

std::vector<std::uint8_t> tftpAck(std::uint32_t block) {
    return {0, 4, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block)};
}

std::vector<std::uint8_t> tftpErrorPacket() {
    const std::string text = std::string("\0\5\0\10", 4) + "Option refused" + std::string(1, '\0');
    return {text.begin(), text.end()};
}

bool ScriptedDevice::open(std::uint32_t address, std::uint32_t toAddress, std::uint16_t toPort) {
    serverAddress = toAddress;
    serverPort = toPort;
    return udp.bindFrom(address, 42000) && strayPort.bindFrom(address, 43000);
}

bool ScriptedDevice::openStrayAddress() {
    return strayAddress.bindExactly(udp.address + 8, udp.port);
}

bool ScriptedDevice::step() {
    bool cancel = false;
    auto answer = [&](std::uint32_t block) {
        if (block >= script.silentFrom)
            return;
        if (block >= script.floodFrom) {
            seen.floodBlock = block;
            return;
        }
        if (script.dropAckEvery != 0 && block > seen.lastDroppedEvery &&
            block % script.dropAckEvery == 0) {
            seen.lastDroppedEvery = block;
            return;
        }
        if (block == script.dropAckOnce && !seen.dropped) {
            seen.dropped = true;
            return;
        }
        if (block == script.repeatRrqAt && !seen.rrqRepeated) {
            seen.rrqRepeated = true;
            udp.sendTo(tftpRequest(1, requestName), serverAddress, serverPort);
        }
        if ((block == script.strayPortAt || block == script.strayAddressAt) && !seen.strayed) {
            seen.strayed = true;
            const LoopbackUdp& stray = block == script.strayPortAt ? strayPort : strayAddress;
            stray.sendTo(tftpAck(block), serverAddress, serverPort);
            return;
        }
        if (block == script.shortAckAt && !seen.cut) {
            seen.cut = true;
            const auto ack = tftpAck(block);
            udp.sendTo(std::span(ack).first(2), serverAddress, serverPort);
            udp.sendTo(std::span(ack).first(3), serverAddress, serverPort);
            return;
        }
        if (block == script.staleAt && !seen.stale) {
            seen.stale = true;
            for (int i = 0; i < 120; ++i)
                udp.sendTo(tftpAck(block - 1), serverAddress, serverPort);
        }
        udp.sendTo(tftpAck(block), serverAddress, serverPort);
        if (script.duplicateAcks)
            udp.sendTo(tftpAck(block), serverAddress, serverPort);
    };

    while (const auto d = udp.receive(0)) {
        const auto& bytes = d->bytes;
        if (d->address != serverAddress || d->port != serverPort || bytes.size() < 2) {
            ++seen.unexpected;
            continue;
        }
        const std::uint16_t opcode = be16(bytes, 0);
        if (opcode == 6) {
            if (++seen.oacks == 1)
                seen.oackBytesRight = bytes == expectedOack(imageSize);
            if (script.refuseOack) {
                udp.sendTo(tftpErrorPacket(), serverAddress, serverPort);
                ++seen.errorsSent;
            } else if (seen.oacks > script.ignoreOacks && seen.nextBlock == 1) {
                answer(0);
            }
        } else if (opcode == 3 && bytes.size() >= 4) {
            ++seen.dataPackets;
            seen.dataTimes.push_back(millisecondClock());
            seen.lastDataLength = static_cast<int>(bytes.size());
            const std::uint32_t block = be16(bytes, 2);
            if (block == (seen.nextBlock & 0xFFFF) && !seen.lastBlockSeen) {
                seen.image.insert(seen.image.end(), bytes.begin() + 4, bytes.end());
                ++seen.nextBlock;
                seen.lastBlockSeen = bytes.size() < 4 + 512;
                answer(block);
            } else if (block == ((seen.nextBlock - 1) & 0xFFFF)) {
                ++seen.resends;
                answer(block);
            } else {
                ++seen.unexpected;
            }
            if (block >= script.cancelAt)
                cancel = true;
        } else {
            ++seen.unexpected;
        }
    }
    if (seen.floodBlock != 0 && seen.floodSent < 40000) {
        for (int i = 0; i < 5; ++i)
            udp.sendTo(tftpAck(seen.floodBlock - 1), serverAddress, serverPort);
        seen.floodSent += 5;
        sleepMilliseconds(5);
    }
    return cancel;
}

int ScriptedDevice::strayReplies() const {
    int count = 0;
    while (strayPort.receive(0))
        ++count;
    while (strayAddress.port != 0 && strayAddress.receive(0))
        ++count;
    return count;
}

std::vector<std::uint8_t> makeTestImage(std::uint32_t size) {
    std::vector<std::uint8_t> image(size);
    std::uint32_t state = 12345;
    for (auto& byte : image) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    return image;
}
