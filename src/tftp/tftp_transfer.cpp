// The lock-step transfer: one block in flight, the next one leaves as soon as its predecessor's
// ACK arrives; silence is counted in polls and answered by resending the last packet.
#include "platform/debug_log.h"
#include "platform/socket_io.h"
#include "tftp/tftp_session.h"

namespace {

void sendCurrentBlock(TftpSession& session, const Ipv4SocketAddress& peer) {
    sendTftpData(session.socket, session.packet, tftpBlockData(session, session.blockCounter),
                 session.blockCounter, peer);
}

// The peer's ACK for the block in flight: count it, then send the next block. True when it was
// the last block's.
bool acceptAck(TftpSession& session, const TransferHooks& hooks, const Ipv4SocketAddress& peer) {
    ++session.blockCounter;
    session.bytesAcknowledged += session.currentBlockLength;
    hooks.acknowledged(session.blockCounter, session.bytesAcknowledged);
    if (session.blockCounter > session.blockCount) {
        trace("All blocks ack'd");
        return true;
    }
    session.currentBlockLength =
        session.blockCounter == session.blockCount ? session.lastBlockLength : kTftpBlockSize;
    sendCurrentBlock(session, peer);
    trace("Send block %u (%u)", session.blockCounter, session.currentBlockLength);
    return false;
}

TransferOutcome sendImage(TftpSession& session, const TransferHooks& hooks) {
    setNonBlocking(session.socket);
    Ipv4SocketAddress peer{};
    fillSocketAddress(session.peerAddress, session.peerPort, peer);
    sendTftpOack(session.socket, session.packet, peer, session.imageSize);

    int idlePolls = 0;
    int expiries = 0;
    for (;;) {
        Ipv4SocketAddress from{};
        const int received = receiveDatagram(session.socket, session.packet, from);
        if (received <= 0) {
            if (hooks.idle())
                return TransferOutcome::cancelled;
        } else {
            std::uint32_t fromAddress = 0;
            std::uint16_t fromPort = 0;
            readSocketAddress(from, fromAddress, fromPort);
            if (fromAddress == session.peerAddress && fromPort == session.peerPort) {
                const auto block = tftpAckBlock(std::span<const std::uint8_t>(
                    session.packet, static_cast<std::size_t>(received)));
                if (block) {
                    if (*block != session.blockCounter)
                        continue; // a repeated or stale ACK: no resend, the count stands
                    idlePolls = 0;
                    expiries = 0;
                    if (acceptAck(session, hooks, peer))
                        return TransferOutcome::complete;
                    continue;
                }
                // Anything else from the peer (a repeated RRQ, an ERROR) ends nothing.
            } else {
                trace("Unknown source request in session: %x:%u", fromAddress, fromPort);
            }
        }

        // An idle poll. Waiting on the socket rather than sleeping lets an ACK be answered the
        // moment it arrives; the poll counts the same either way.
        waitReadable(session.socket, 1);
        if (++idlePolls < kTftpIdlePollsPerResend)
            continue;
        idlePolls = 0;
        if (++expiries == kTftpExpiryLimit) {
            trace("Timeout for ack; upgrade failed");
            return TransferOutcome::givenUp;
        }
        if (tftpTransferState(session) == TftpSessionState::awaitOptionAck) {
            trace("ReSend option ack");
            sendTftpOack(session.socket, session.packet, peer, session.imageSize);
        } else {
            trace("ReSend block %u", session.blockCounter);
            sendCurrentBlock(session, peer);
        }
    }
}

} // namespace

TransferOutcome transferTftpImage(TftpSession& session, const TransferHooks& hooks) {
    const TransferOutcome outcome = sendImage(session, hooks);
    closeSocket(session.socket);
    session.socket = kInvalidSocket;
    return outcome;
}
