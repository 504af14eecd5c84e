// The lock-step transfer: one block in flight, the next one leaves as soon as its predecessor's
// ACK arrives; silence is measured on the clock and answered by resending the last packet.
#include <algorithm>

#include "platform/debug_log.h"
#include "platform/socket_io.h"
#include "tftp/tftp_session.h"

namespace {

// Whether `moment` has come on the wrapping millisecond clock.
bool reached(std::uint32_t now, std::uint32_t moment) {
    return static_cast<std::int32_t>(now - moment) >= 0;
}

class Transfer {
  public:
    Transfer(TftpSession& session, const TransferHooks& hooks) : s_(session), hooks_(hooks) {
        fillSocketAddress(s_.peerAddress, s_.peerPort, peer_);
    }

    TransferOutcome run() {
        setNonBlocking(s_.socket);
        // Bound to the peer, the socket no longer delivers anybody else's datagrams; the address
        // check below stays for a system that would.
        connectSocket(s_.socket, s_.peerAddress, s_.peerPort);
        if (hooks_.stopRequested())
            return TransferOutcome::cancelled;
        sendTftpOack(s_.socket, s_.packet, peer_, s_.imageSize);
        const std::uint32_t start = millisecondClock();
        resendAt_ = start + kTftpResendMilliseconds;
        periodicAt_ = start + kTftpPeriodicMilliseconds;

        for (;;) {
            const int received = receiveDatagram(s_.socket, s_.packet, from_);
            if (received > 0 && isAwaitedAck(static_cast<std::size_t>(received))) {
                if (hooks_.stopRequested())
                    return TransferOutcome::cancelled;
                if (acceptAck())
                    return TransferOutcome::complete;
            }
            std::uint32_t now = millisecondClock();
            if (reached(now, resendAt_)) {
                if (++expiries_ == kTftpExpiryLimit) {
                    trace("Timeout for ack; upgrade failed");
                    return TransferOutcome::givenUp;
                }
                if (hooks_.stopRequested())
                    return TransferOutcome::cancelled;
                resend();
                resendAt_ = now + kTftpResendMilliseconds;
            }
            // The caller's work whenever the socket is quiet, and at least every 10 ms while
            // datagrams pour in, so a flood never keeps the window (and its Cancel) waiting.
            if (received <= 0 || reached(now, periodicAt_)) {
                if (hooks_.periodic())
                    return TransferOutcome::cancelled;
                periodicAt_ = millisecondClock() + kTftpPeriodicMilliseconds;
            }
            if (received <= 0 && !reached(now, resendAt_)) {
                // Nothing pending: wait for the next datagram, at most until the next resend or
                // the next round of the caller's work.
                waitReadableOnClock(s_.socket,
                                    std::min(resendAt_ - now, kTftpPeriodicMilliseconds));
            }
        }
    }

  private:
    // The peer's ACK of the block in flight; everything else is dropped unanswered.
    bool isAwaitedAck(std::size_t length) {
        std::uint32_t fromAddress = 0;
        std::uint16_t fromPort = 0;
        readSocketAddress(from_, fromAddress, fromPort);
        if (fromAddress != s_.peerAddress || fromPort != s_.peerPort) {
            trace("Unknown source request in session: %x:%u", fromAddress, fromPort);
            return false;
        }
        // A repeated or stale ACK, a repeated RRQ, an ERROR: none ends or speeds up anything.
        const auto block = tftpAckBlock(std::span<const std::uint8_t>(s_.packet, length));
        return block && *block == s_.blockCounter;
    }

    // Counts the ACK, then sends the next block. True when it was the last block's.
    bool acceptAck() {
        ++s_.blockCounter;
        s_.bytesAcknowledged += s_.currentBlockLength;
        expiries_ = 0;
        hooks_.acknowledged(s_.blockCounter, s_.bytesAcknowledged);
        if (s_.blockCounter > s_.blockCount) {
            trace("All blocks ack'd");
            return true;
        }
        s_.currentBlockLength =
            s_.blockCounter == s_.blockCount ? s_.lastBlockLength : kTftpBlockSize;
        sendCurrentBlock();
        resendAt_ = millisecondClock() + kTftpResendMilliseconds;
        trace("Send block %u (%u)", s_.blockCounter, s_.currentBlockLength);
        return false;
    }

    void resend() {
        if (tftpTransferState(s_) == TftpSessionState::awaitOptionAck) {
            trace("ReSend option ack");
            sendTftpOack(s_.socket, s_.packet, peer_, s_.imageSize);
        } else {
            trace("ReSend block %u", s_.blockCounter);
            sendCurrentBlock();
        }
    }

    void sendCurrentBlock() {
        sendTftpData(s_.socket, s_.packet, tftpBlockData(s_, s_.blockCounter), s_.blockCounter,
                     peer_);
    }

    TftpSession& s_;
    const TransferHooks& hooks_;
    Ipv4SocketAddress peer_{};
    Ipv4SocketAddress from_{};
    std::uint32_t resendAt_ = 0;
    std::uint32_t periodicAt_ = 0;
    int expiries_ = 0;
};

} // namespace

TransferOutcome transferTftpImage(TftpSession& session, const TransferHooks& hooks) {
    const TransferOutcome outcome = Transfer(session, hooks).run();
    closeSocket(session.socket);
    session.socket = kInvalidSocket;
    return outcome;
}
