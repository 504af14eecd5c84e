// SPDX-License-Identifier: MIT
// TFTP packets as the device's client writes and reads them (RFC 1350, RFC 2347, RFC 2349).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum TftpOpcode : std::uint16_t {
    kRrq = 1,
    kWrq = 2,
    kData = 3,
    kAck = 4,
    kError = 5,
    kOack = 6,
};

inline constexpr std::size_t kBlockSize = 512;

using Packet = std::vector<std::uint8_t>;

// "RRQ", "DATA" and so on, for the event log; "unknown" for other numbers.
const char* opcodeName(std::uint16_t op);

std::uint16_t readBe16(std::span<const std::uint8_t> bytes, std::size_t at);

// RRQ: name, "octet", then "tsize" "0" and "timeout" <seconds> unless withOptions is false.
Packet buildRrq(std::string_view name, bool withOptions, std::uint32_t timeoutSeconds);
Packet buildAck(std::uint16_t block);
Packet buildError(std::uint16_t code, std::string_view message);

struct TftpOption {
    std::string name, value;
};

// The option/value pairs after an OACK's opcode: each NUL-terminated inside the datagram, names
// not empty. Nothing when the bytes break that shape.
std::optional<std::vector<TftpOption>> parseOackOptions(std::span<const std::uint8_t> packet);

// The text of an ERROR packet, up to its NUL or the datagram's end, at most 200 bytes.
std::string errorMessage(std::span<const std::uint8_t> packet);
