// SPDX-License-Identifier: MIT
// The TFTP wire format this server speaks (RFC 1350 with the tsize and timeout options of
// RFC 2347/2349): opcodes, sizes, the big-endian codec and the two packets it sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/platform.h"

// Every datagram is received into, and every packet built in, a buffer of this size.
inline constexpr std::size_t kTftpPacketSize = 1024;
inline constexpr std::uint32_t kTftpBlockSize = 512;
// Block numbers are 16 bits on the wire and never wrap here, so an image may need at most
// 65,535 blocks (the last one possibly empty): 33,553,919 bytes.
inline constexpr std::uint32_t kTftpMaxBlocks = 65535;
inline constexpr std::uint32_t kTftpMaxImageSize = kTftpMaxBlocks * kTftpBlockSize - 1;

inline constexpr std::uint16_t kTftpRrq = 1;
inline constexpr std::uint16_t kTftpWrq = 2;
inline constexpr std::uint16_t kTftpData = 3;
inline constexpr std::uint16_t kTftpAck = 4;
inline constexpr std::uint16_t kTftpError = 5;
inline constexpr std::uint16_t kTftpOack = 6;

using TftpPacket = std::span<std::uint8_t, kTftpPacketSize>;

// 16-bit big-endian store (the low 16 bits of value, high byte first) and load.
void putBe16(std::span<std::uint8_t, 2> destination, std::uint32_t value);
std::uint16_t getBe16(std::span<const std::uint8_t, 2> source);

// Whether an image of this size can be sent without the block number outgrowing 16 bits.
constexpr bool tftpImageFits(std::uint32_t imageSize) {
    return imageSize <= kTftpMaxImageSize;
}

// Reading received datagrams; every read stays inside the received bytes.
// The opcode, or 0 (an opcode nobody serves) for a datagram shorter than 2 bytes.
std::uint16_t tftpOpcode(std::span<const std::uint8_t> datagram);
// The file name of an RRQ: the text from byte 2 up to its NUL. None when the datagram holds no
// NUL after byte 2, so a cut-off name can never match anything.
std::optional<std::string_view> tftpRequestedName(std::span<const std::uint8_t> datagram);
// The block number of an ACK. None for anything else, including an ACK shorter than 4 bytes.
std::optional<std::uint16_t> tftpAckBlock(std::span<const std::uint8_t> datagram);

// Building the packets the server sends; each returns the packet's length.
// OACK: opcode 6, "tsize", the size in decimal, "timeout", "5", each NUL-terminated.
std::size_t buildTftpOack(TftpPacket packet, std::uint32_t imageSize);
// DATA: opcode 3, the low 16 bits of the block number, then at most 512 data bytes.
std::size_t buildTftpData(TftpPacket packet, std::uint32_t block,
                          std::span<const std::uint8_t> data);

// Build and send; a failed send is not examined, the resend rule covers it.
void sendTftpOack(SocketHandle socket, TftpPacket packet, const Ipv4SocketAddress& peer,
                  std::uint32_t imageSize);
void sendTftpData(SocketHandle socket, TftpPacket packet, std::span<const std::uint8_t> data,
                  std::uint32_t block, const Ipv4SocketAddress& peer);
