// SPDX-License-Identifier: MIT
// One transfer's session: the peer, the socket, the image and where the lock-step of blocks
// stands (the transfer itself: tftp_transfer.h).
#pragma once

#include <cstdint>
#include <span>

#include "platform/platform.h"
#include "tftp/tftp_packet.h"

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

// Block numbering for `image` (block counter 0, nothing acknowledged). The image must fit in
// 16-bit block numbers (tftpImageFits).
void setTftpImageGeometry(TftpSession& session, std::span<const std::uint8_t> image);
// The state of a transfer that has not been given up.
TftpSessionState tftpTransferState(const TftpSession& session);
// The bytes of DATA block `block` (1 to blockCount) inside the image.
std::span<const std::uint8_t> tftpBlockData(const TftpSession& session, std::uint32_t block);
