// The UDP listener: binds port 69 (or the next free one up to 168), waits under the waiting
// window for the device's read request for the offered file, then hands over to the session.
#pragma once

#include <cstdint>
#include <span>

#include "platform/platform.h"
#include "tftp/tftp_packet.h"

inline constexpr std::uint16_t kTftpFirstPort = 69;
inline constexpr std::uint16_t kTftpLastPort = 168;

// Owned by the TFTP thread from its start; lives until the process ends.
struct TftpListener {
    std::uint32_t boundAddress; // host byte order, 0 = every local address
    std::uint16_t boundPort;
    SocketHandle socket;
    std::uint8_t receiveBuffer[kTftpPacketSize];
};

// Opens the listener on `address` (host byte order, 0 = any) and starts the TFTP thread; returns
// the bound port. Every failure shows its error box and ends the process.
std::uint16_t startTftpListener(std::uint32_t address);

// The TFTP thread: waits for the offered file's read request, then carries the transfer on the
// same socket until the process ends.
[[noreturn]] int tftpListenerThread(void* listener);

// Whether a received datagram is a read request for exactly `fileName` (case-sensitive,
// leading "/" included).
bool isOfferedFileRequest(std::span<const std::uint8_t> datagram, std::string_view fileName);
