// SPDX-License-Identifier: MIT
// The UDP listener: binds port 69 (or the next free one up to 168) and waits for the device's
// read request for the offered file, dropping everything else without a reply.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "platform/platform.h"
#include "tftp/tftp_packet.h"

inline constexpr std::uint16_t kTftpFirstPort = 69;
inline constexpr std::uint16_t kTftpLastPort = 168;
// A quiet wait lasts at most this long before the caller's window work, which also runs at least
// this often however busy the socket.
inline constexpr std::uint32_t kListenerTickMilliseconds = 30;

struct TftpListener {
    std::uint32_t boundAddress; // host byte order, 0 = every local address
    std::uint16_t boundPort;
    SocketHandle socket = kInvalidSocket; // the caller's to close (or hand to the transfer)
    std::uint8_t receiveBuffer[kTftpPacketSize];
};

enum class ListenerStatus { listening, cannotCreateSocket, cannotBind };

// Opens the socket on `address` and binds port 69 or the next free one up to 168. A normal user
// on Linux may bind none of them: when every one was refused for that reason alone, a port the
// system picks is bound instead (the upgrade path names it). A `chosenPort` other than 0 is
// bound alone, or nothing is.
ListenerStatus openTftpListener(TftpListener& listener, std::uint32_t address,
                                std::uint16_t chosenPort = 0);

// The device's read request for the offered file: who sent it.
struct TftpReadRequest {
    std::uint32_t peerAddress; // host byte order
    std::uint16_t peerPort;
};

// Waits for a read request for exactly `fileName` (case-sensitive, leading "/" included) from
// `deviceAddress`; requests from any other host are never answered. After each poll that
// received nothing (having waited up to 30 ms on the socket), and at least every 30 ms however
// busy the socket, `idle` runs the caller's window work; its true ends the wait.
std::optional<TftpReadRequest> waitForReadRequest(TftpListener& listener, std::string_view fileName,
                                                  std::uint32_t deviceAddress,
                                                  const std::function<bool()>& idle);

// Whether a received datagram is a read request for exactly `fileName`.
bool isOfferedFileRequest(std::span<const std::uint8_t> datagram, std::string_view fileName);
