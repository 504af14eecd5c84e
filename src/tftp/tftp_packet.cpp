// SPDX-License-Identifier: MIT
// The TFTP codec: big-endian fields, bounded reads of received datagrams, OACK and DATA.
#include "tftp/tftp_packet.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {
// Appends text and its NUL at offset; the OACK's longest form (a 10-digit size) needs 29 bytes.
std::size_t putText(TftpPacket packet, std::size_t offset, std::string_view text) {
    std::memcpy(packet.data() + offset, text.data(), text.size());
    packet[offset + text.size()] = 0;
    return offset + text.size() + 1;
}
} // namespace

void putBe16(std::span<std::uint8_t, 2> destination, std::uint32_t value) {
    destination[0] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    destination[1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t getBe16(std::span<const std::uint8_t, 2> source) {
    return static_cast<std::uint16_t>(source[0] * 256 + source[1]);
}

std::uint16_t tftpOpcode(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < 2)
        return 0;
    return getBe16(datagram.first<2>());
}

std::optional<std::string_view> tftpRequestedName(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < 2)
        return std::nullopt;
    const auto rest = datagram.subspan(2);
    const auto end = std::find(rest.begin(), rest.end(), std::uint8_t{0});
    if (end == rest.end())
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(rest.data()),
                            static_cast<std::size_t>(end - rest.begin()));
}

std::optional<std::uint16_t> tftpAckBlock(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < 4 || tftpOpcode(datagram) != kTftpAck)
        return std::nullopt;
    return getBe16(datagram.subspan<2, 2>());
}

std::size_t buildTftpOack(TftpPacket packet, std::uint32_t imageSize) {
    char digits[10];
    const auto converted = std::to_chars(digits, digits + sizeof digits, imageSize);
    putBe16(packet.first<2>(), kTftpOack);
    std::size_t length = putText(packet, 2, "tsize");
    length = putText(packet, length,
                     std::string_view(digits, static_cast<std::size_t>(converted.ptr - digits)));
    length = putText(packet, length, "timeout");
    return putText(packet, length, "5");
}

std::size_t buildTftpData(TftpPacket packet, std::uint32_t block,
                          std::span<const std::uint8_t> data) {
    const std::size_t length = std::min<std::size_t>(data.size(), kTftpBlockSize);
    putBe16(packet.first<2>(), kTftpData);
    putBe16(packet.subspan<2, 2>(), block);
    if (length > 0)
        std::memcpy(packet.data() + 4, data.data(), length);
    return 4 + length;
}

void sendTftpOack(SocketHandle socket, TftpPacket packet, const Ipv4SocketAddress& peer,
                  std::uint32_t imageSize) {
    const std::size_t length = buildTftpOack(packet, imageSize);
    sendDatagram(socket, packet.first(length), peer);
}

void sendTftpData(SocketHandle socket, TftpPacket packet, std::span<const std::uint8_t> data,
                  std::uint32_t block, const Ipv4SocketAddress& peer) {
    const std::size_t length = buildTftpData(packet, block, data);
    sendDatagram(socket, packet.first(length), peer);
}
