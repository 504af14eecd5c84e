// SPDX-License-Identifier: MIT
// The TFTP listener: port search and the wait for the offered file's RRQ.
#include "tftp/tftp_listener.h"

#include "platform/debug_log.h"
#include "platform/socket_io.h"

namespace {

void traceBadName(std::span<const std::uint8_t> datagram) {
    const std::string_view name = tftpRequestedName(datagram).value_or("");
    trace("+++ Bad TFTP RRQ filename %.*s", static_cast<int>(name.size()), name.data());
}

// Drops everything that is not the offered file's read request, tracing what it was.
void traceDropped(std::span<const std::uint8_t> datagram) {
    switch (tftpOpcode(datagram)) {
    case kTftpRrq:
        traceBadName(datagram);
        break;
    case kTftpWrq:
        trace("TFTP Rx WRQ?");
        break;
    case kTftpData:
        trace("TFTP Rx Data?");
        break;
    case kTftpAck:
        trace("TFTP Rx ACK?");
        break;
    case kTftpError:
        trace("TFTP Rx Error?");
        break;
    default:
        break; // short datagrams and unknown opcodes
    }
}

} // namespace

ListenerStatus openTftpListener(TftpListener& listener, std::uint32_t address,
                                std::uint16_t chosenPort) {
    SocketGuard socket(openUdpSocket());
    if (socket.get() == kInvalidSocket)
        return ListenerStatus::cannotCreateSocket;

    bool onlyPrivilegeRefusals = chosenPort == 0;
    std::uint16_t bound = 0;
    const std::uint16_t first = chosenPort != 0 ? chosenPort : kTftpFirstPort;
    const std::uint16_t last = chosenPort != 0 ? chosenPort : kTftpLastPort;
    for (std::uint32_t port = first; port <= last && bound == 0; ++port) {
        const BindOutcome outcome =
            bindSocketTellingWhy(socket.get(), address, static_cast<std::uint16_t>(port));
        if (outcome == BindOutcome::bound)
            bound = static_cast<std::uint16_t>(port);
        onlyPrivilegeRefusals = onlyPrivilegeRefusals && outcome == BindOutcome::permissionDenied;
    }
    if (bound == 0 && onlyPrivilegeRefusals && bindSocket(socket.get(), address, 0))
        bound = boundLocalPort(socket.get());
    if (bound == 0)
        return ListenerStatus::cannotBind;

    listener.boundAddress = address;
    listener.boundPort = bound;
    listener.socket = socket.release();
    return ListenerStatus::listening;
}

bool isOfferedFileRequest(std::span<const std::uint8_t> datagram, std::string_view fileName) {
    if (tftpOpcode(datagram) != kTftpRrq)
        return false;
    const auto name = tftpRequestedName(datagram);
    return name && *name == fileName;
}

std::optional<TftpReadRequest> waitForReadRequest(TftpListener& listener, std::string_view fileName,
                                                  std::uint32_t deviceAddress,
                                                  const std::function<bool()>& idle) {
    setNonBlocking(listener.socket);
    std::uint32_t idleAt = millisecondClock() + kListenerTickMilliseconds;
    for (;;) {
        Ipv4SocketAddress from{};
        const int received = receiveDatagram(listener.socket, listener.receiveBuffer, from);
        if (received <= 0) {
            // Asleep until a datagram arrives or the window's next turn: waiting costs nothing.
            waitReadableOnClock(listener.socket, kListenerTickMilliseconds);
            if (idle())
                return std::nullopt;
            idleAt = millisecondClock() + kListenerTickMilliseconds;
            continue;
        }
        // A received datagram is dealt with at once, but a stream of them never keeps the
        // window's work (and its Cancel) waiting for long.
        const std::span<const std::uint8_t> datagram(listener.receiveBuffer,
                                                     static_cast<std::size_t>(received));
        TftpReadRequest request{};
        readSocketAddress(from, request.peerAddress, request.peerPort);
        if (request.peerAddress != deviceAddress)
            trace("TFTP datagram from %x ignored: not the device", request.peerAddress);
        else if (isOfferedFileRequest(datagram, fileName))
            return request;
        else
            traceDropped(datagram);
        if (static_cast<std::int32_t>(millisecondClock() - idleAt) >= 0) {
            if (idle())
                return std::nullopt;
            idleAt = millisecondClock() + kListenerTickMilliseconds;
        }
    }
}
