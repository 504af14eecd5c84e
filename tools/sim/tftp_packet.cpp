// SPDX-License-Identifier: MIT
// Building and reading TFTP packets, every read inside the received bytes.
#include "tftp_packet.h"

#include <algorithm>

namespace {

void putBe16(Packet& p, std::uint16_t v) {
    p.push_back(static_cast<std::uint8_t>(v >> 8));
    p.push_back(static_cast<std::uint8_t>(v & 0xff));
}

void putText(Packet& p, std::string_view s) {
    p.insert(p.end(), s.begin(), s.end());
    p.push_back(0);
}

} // namespace

const char* opcodeName(std::uint16_t op) {
    switch (op) {
    case kRrq:
        return "RRQ";
    case kWrq:
        return "WRQ";
    case kData:
        return "DATA";
    case kAck:
        return "ACK";
    case kError:
        return "ERROR";
    case kOack:
        return "OACK";
    default:
        return "unknown";
    }
}

std::uint16_t readBe16(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at + 2 > bytes.size())
        return 0;
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

Packet buildRrq(std::string_view name, bool withOptions, std::uint32_t timeoutSeconds) {
    Packet p;
    putBe16(p, kRrq);
    putText(p, name);
    putText(p, "octet");
    if (withOptions) {
        putText(p, "tsize");
        putText(p, "0");
        putText(p, "timeout");
        putText(p, std::to_string(timeoutSeconds));
    }
    return p;
}

Packet buildAck(std::uint16_t block) {
    Packet p;
    putBe16(p, kAck);
    putBe16(p, block);
    return p;
}

Packet buildError(std::uint16_t code, std::string_view message) {
    Packet p;
    putBe16(p, kError);
    putBe16(p, code);
    putText(p, message);
    return p;
}

std::optional<std::vector<TftpOption>> parseOackOptions(std::span<const std::uint8_t> packet) {
    std::vector<TftpOption> options;
    std::size_t at = 2;
    auto nextText = [&](std::string& out) {
        const auto begin = packet.begin() + static_cast<std::ptrdiff_t>(at);
        const auto nul = std::find(begin, packet.end(), std::uint8_t{0});
        if (nul == packet.end())
            return false;
        out.assign(begin, nul);
        at = static_cast<std::size_t>(nul - packet.begin()) + 1;
        return true;
    };
    if (packet.size() < 2)
        return std::nullopt;
    while (at < packet.size()) {
        TftpOption option;
        if (!nextText(option.name) || option.name.empty() || !nextText(option.value))
            return std::nullopt;
        options.push_back(std::move(option));
    }
    return options;
}

std::string errorMessage(std::span<const std::uint8_t> packet) {
    std::string text;
    for (std::size_t i = 4; i < packet.size() && packet[i] != 0 && text.size() < 200; ++i)
        text += static_cast<char>(packet[i]);
    return text;
}
