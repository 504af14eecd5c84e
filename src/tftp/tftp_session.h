// The transfer session: OACK, then 512-byte DATA blocks in lock-step with the device's ACKs, the
// last packet sent again after silence, the transfer given up after too much of it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/platform.h"
#include "tftp/tftp_packet.h"

// Silence on the clock before the last packet is sent again, and the expiry at which the
// transfer is given up: at least 3 s without an accepted ACK.
inline constexpr std::uint32_t kTftpResendMilliseconds = 100;
inline constexpr int kTftpExpiryLimit = 30;
// The caller's periodic work (its window) runs at least this often, however busy the socket.
inline constexpr std::uint32_t kTftpPeriodicMilliseconds = 10;

// Where the transfer stands; the block counter carries it (see tftpTransferState).
enum class TftpSessionState { awaitOptionAck, sendingBlocks, settling };

struct TftpSession {
    std::uint8_t packet[kTftpPacketSize]; // every receive and every outgoing packet
    std::uint32_t peerAddress;            // source of the accepted RRQ, host byte order
    std::uint16_t peerPort;               // the device's transfer identifier
    SocketHandle socket = kInvalidSocket; // the listener's socket, closed when the transfer ends
    std::span<const std::uint8_t> image;  // sent whole, from byte 0
    std::uint32_t blockCounter;           // 0: OACK unacknowledged; n: DATA n is in flight
    std::uint32_t imageSize;
    std::uint32_t blockCount;         // imageSize / 512 + 1: the last block may be empty
    std::uint32_t bytesAcknowledged;  // sum of the acknowledged blocks' lengths
    std::uint32_t lastBlockLength;    // 0 to 511
    std::uint32_t currentBlockLength; // length of the DATA block in flight
};

enum class TransferOutcome {
    complete,  // the last block was acknowledged
    givenUp,   // the 30th expiry without an accepted ACK
    cancelled, // the caller stopped it (the user's Cancel)
};

// What the transfer tells its caller, and asks it.
struct TransferHooks {
    // After each accepted ACK: the block counter (1 after the OACK's ACK, blockCount + 1 after
    // the last block's) and the bytes acknowledged so far.
    std::function<void(std::uint32_t blockCounter, std::uint32_t bytesAcknowledged)> acknowledged;
    // The caller's periodic work (its window), at least every 10 ms; true stops the transfer.
    std::function<bool()> periodic;
    // Asked before every packet leaves: true stops the transfer first (a Cancel elsewhere).
    std::function<bool()> stopRequested;
};

// Block numbering for `image` (block counter 0, nothing acknowledged). The image must fit in
// 16-bit block numbers (tftpImageFits).
void setTftpImageGeometry(TftpSession& session, std::span<const std::uint8_t> image);
// The state of a transfer that has not been given up.
TftpSessionState tftpTransferState(const TftpSession& session);
// The bytes of DATA block `block` (1 to blockCount) inside the image.
std::span<const std::uint8_t> tftpBlockData(const TftpSession& session, std::uint32_t block);

// Sends the OACK and then the image to the session's peer. Only the peer's ACK of the block in
// flight counts: datagrams from anyone else, and anything else from the peer, neither speed up a
// resend nor end the transfer. Closes the socket on every outcome.
TransferOutcome transferTftpImage(TftpSession& session, const TransferHooks& hooks);
