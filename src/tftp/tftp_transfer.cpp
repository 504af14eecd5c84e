// SPDX-License-Identifier: MIT
// The lock-step transfer: one block in flight, the next one leaves as soon as its predecessor's
// ACK arrives; silence is measured on the clock and answered by resending the last packet.
#include <algorithm>

#include "platform/debug_log.h"
#include "platform/socket_io.h"
#include "tftp/tftp_transfer.h"

namespace {

// When the last packet goes again and when the caller's work is next due, on the wrapping
// millisecond clock; and how often the silence has run out since the last accepted ACK.
struct TransferClock {
    std::uint32_t resendAt;
    std::uint32_t periodicAt;
    int expiries;
};

bool reached(std::uint32_t now, std::uint32_t moment) {
    return static_cast<std::int32_t>(now - moment) >= 0;
}

void sendCurrentBlock(TftpSession& s, const Ipv4SocketAddress& peer) {
    sendTftpData(s.socket, s.packet, tftpBlockData(s, s.blockCounter), s.blockCounter, peer);
}

// The peer's ACK of the block in flight; everything else is dropped unanswered: a datagram from
// anyone else, a repeated or stale ACK, a repeated RRQ, an ERROR. None ends or hurries anything.
bool isAwaitedAck(const TftpSession& s, const Ipv4SocketAddress& from, std::size_t length) {
    std::uint32_t fromAddress = 0;
    std::uint16_t fromPort = 0;
    readSocketAddress(from, fromAddress, fromPort);
    if (fromAddress != s.peerAddress || fromPort != s.peerPort) {
        trace("Unknown source request in session: %x:%u", fromAddress, fromPort);
        return false;
    }
    const auto block = tftpAckBlock(std::span<const std::uint8_t>(s.packet, length));
    return block && *block == s.blockCounter;
}

// Counts the ACK, then sends the next block. True when it was the last block's.
bool acceptAck(TftpSession& s, const TransferHooks& hooks, const Ipv4SocketAddress& peer,
               TransferClock& clock) {
    ++s.blockCounter;
    s.bytesAcknowledged += s.currentBlockLength;
    clock.expiries = 0;
    hooks.acknowledged(s.blockCounter, s.bytesAcknowledged);
    if (s.blockCounter > s.blockCount) {
        trace("All blocks ack'd");
        return true;
    }
    s.currentBlockLength = s.blockCounter == s.blockCount ? s.lastBlockLength : kTftpBlockSize;
    sendCurrentBlock(s, peer);
    clock.resendAt = millisecondClock() + tftpResendDelay(0);
    trace("Send block %u (%u)", s.blockCounter, s.currentBlockLength);
    return false;
}

void resend(TftpSession& s, const Ipv4SocketAddress& peer) {
    if (tftpTransferState(s) == TftpSessionState::awaitOptionAck) {
        trace("ReSend option ack");
        sendTftpOack(s.socket, s.packet, peer, s.imageSize);
    } else {
        trace("ReSend block %u", s.blockCounter);
        sendCurrentBlock(s, peer);
    }
}

TransferOutcome sendImage(TftpSession& s, const TransferHooks& hooks) {
    setNonBlocking(s.socket);
    // Bound to the peer, the socket no longer delivers anybody else's datagrams; the address
    // check stays for a system that would.
    connectSocket(s.socket, s.peerAddress, s.peerPort);
    Ipv4SocketAddress peer{};
    fillSocketAddress(s.peerAddress, s.peerPort, peer);
    if (hooks.stopRequested())
        return TransferOutcome::cancelled;
    sendTftpOack(s.socket, s.packet, peer, s.imageSize);
    const std::uint32_t start = millisecondClock();
    TransferClock clock{start + tftpResendDelay(0), start + kTftpPeriodicMilliseconds, 0};

    for (;;) {
        Ipv4SocketAddress from{};
        const int received = receiveDatagram(s.socket, s.packet, from);
        if (received > 0 && isAwaitedAck(s, from, static_cast<std::size_t>(received))) {
            if (hooks.stopRequested())
                return TransferOutcome::cancelled;
            if (acceptAck(s, hooks, peer, clock))
                return TransferOutcome::complete;
        }
        const std::uint32_t now = millisecondClock();
        if (reached(now, clock.resendAt)) {
            if (++clock.expiries == kTftpExpiryLimit) {
                trace("Timeout for ack; upgrade failed");
                return TransferOutcome::givenUp;
            }
            if (hooks.stopRequested())
                return TransferOutcome::cancelled;
            resend(s, peer);
            // Measured from this resend on the clock, never from datagrams that came meanwhile.
            clock.resendAt = millisecondClock() + tftpResendDelay(clock.expiries);
        }
        // The caller's work whenever the socket is quiet, and at least every 10 ms while
        // datagrams pour in, so a flood never keeps the window (and its Cancel) waiting.
        if (received <= 0 || reached(now, clock.periodicAt)) {
            if (hooks.periodic())
                return TransferOutcome::cancelled;
            clock.periodicAt = millisecondClock() + kTftpPeriodicMilliseconds;
        }
        // Nothing pending: wait for the next datagram, at most until the next resend or the next
        // round of the caller's work.
        if (received <= 0 && !reached(now, clock.resendAt))
            waitReadableOnClock(s.socket,
                                std::min(clock.resendAt - now, kTftpPeriodicMilliseconds));
    }
}

} // namespace

std::uint32_t tftpResendDelay(int expiries) {
    std::uint32_t delay = kTftpResendMilliseconds;
    for (int i = 0; i < expiries && delay < kTftpLongestResendMilliseconds; ++i)
        delay *= 2;
    return std::min(delay, kTftpLongestResendMilliseconds);
}

TransferOutcome transferTftpImage(TftpSession& session, const TransferHooks& hooks) {
    const TransferOutcome outcome = sendImage(session, hooks);
    closeSocket(session.socket);
    session.socket = kInvalidSocket;
    return outcome;
}
