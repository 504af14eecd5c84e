// The TFTP listener: port search, the waiting window and the wait for the offered file's RRQ.
#include "tftp/tftp_listener.h"

#include <new>

#include "app/context.h"
#include "app/failure.h"
#include "app/text.h"
#include "platform/socket_io.h"
#include "tftp/tftp_session.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {
// Only the TFTP thread touches it.
ProgressWindow waitingWindow = nullptr;

// One poll that received nothing: wait up to 1 ms for the socket (a request is then taken at
// once), step the bar 1, 2, ... 999, 0 and hand the window its messages.
void idleWaitingPoll(const TftpListener& listener, int& animation) {
    waitReadable(listener.socket, 1);
    if (++animation == 1000)
        animation = 0;
    setProgressPosition(waitingWindow, animation);
    handleAllProgressMessages(waitingWindow);
}
void traceBadName(std::span<const std::uint8_t> datagram) {
    const std::string_view name = tftpRequestedName(datagram).value_or("");
    trace("+++ Bad TFTP RRQ filename %.*s\n", static_cast<int>(name.size()), name.data());
}
// Port 69, or the next free one up to 168. A normal user on Linux may bind none of them; when
// every one was refused for that reason alone, the system picks a port, which the upgrade path
// names. Any other failure in the range ends the upgrade as before.
std::uint16_t bindListenerPort(SocketHandle socket, std::uint32_t address) {
    bool onlyPrivilegeRefusals = true;
    for (std::uint16_t port = kTftpFirstPort; port <= kTftpLastPort; ++port) {
        const BindOutcome outcome = bindSocketTellingWhy(socket, address, port);
        if (outcome == BindOutcome::bound)
            return port;
        onlyPrivilegeRefusals = onlyPrivilegeRefusals && outcome == BindOutcome::permissionDenied;
    }
    if (onlyPrivilegeRefusals && bindSocket(socket, address, 0)) {
        const std::uint16_t chosen = boundLocalPort(socket);
        if (chosen != 0)
            return chosen;
    }
    failUpgrade(kErrorListenerBind);
}
} // namespace

bool isOfferedFileRequest(std::span<const std::uint8_t> datagram, std::string_view fileName) {
    if (tftpOpcode(datagram) != kTftpRrq)
        return false;
    const auto name = tftpRequestedName(datagram);
    return name && *name == fileName;
}

std::uint16_t startTftpListener(std::uint32_t address) {
    // Refuse before the device is ever told to fetch an image whose blocks cannot be numbered.
    if (!tftpImageFits(upgradeContext.firmware.firmwareSize))
        failUpgrade(kErrorImageTooLarge);

    auto* listener = new (std::nothrow) TftpListener{};
    if (listener == nullptr)
        failUpgrade(kErrorListenerAlloc);

    SocketGuard socket(openUdpSocket());
    if (socket.get() == kInvalidSocket)
        failUpgrade(kErrorListenerSocket);

    const std::uint16_t port = bindListenerPort(socket.get(), address);
    listener->boundAddress = address;
    listener->boundPort = port;
    listener->socket = socket.get();

    // The thread keeps running until the process ends; its handle is not needed.
    if (startThread(tftpListenerThread, listener) == nullptr)
        failUpgrade(kErrorListenerThread);
    socket.release();
    return port;
}

int tftpListenerThread(void* argument) {
    TftpListener& listener = *static_cast<TftpListener*>(argument);
    waitingWindow = openProgressWindow(ProgressKind::waiting);
    setProgressRange(waitingWindow, 0, 1000);
    setProgressPosition(waitingWindow, 0);
    setNonBlocking(listener.socket);

    const std::string_view offered = textIn(upgradeContext.fileName);
    int animation = 0;
    for (;;) {
        Ipv4SocketAddress from{};
        const int received = receiveDatagram(listener.socket, listener.receiveBuffer, from);
        if (received <= 0) {
            idleWaitingPoll(listener, animation);
            continue;
        }
        // A received datagram is dealt with at once: no wait, no animation step.
        const std::span<const std::uint8_t> datagram(listener.receiveBuffer,
                                                     static_cast<std::size_t>(received));
        switch (tftpOpcode(datagram)) {
        case kTftpRrq:
            if (isOfferedFileRequest(datagram, offered)) {
                std::uint32_t peerAddress = 0;
                std::uint16_t peerPort = 0;
                readSocketAddress(from, peerAddress, peerPort);
                destroyProgressWindow(waitingWindow);
                waitingWindow = nullptr;
                startTftpSession(listener.socket, listener.boundAddress, peerAddress, peerPort);
            }
            traceBadName(datagram);
            break;
        case kTftpWrq:
            trace("TFTP Rx WRQ?\n");
            break;
        case kTftpData:
            trace("TFTP Rx Data?\n");
            break;
        case kTftpAck:
            trace("TFTP Rx ACK?\n");
            break;
        case kTftpError:
            trace("TFTP Rx Error?\n");
            break;
        default:
            break; // short datagrams and unknown opcodes
        }
    }
}
