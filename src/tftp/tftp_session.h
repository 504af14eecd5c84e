// The transfer session: OACK, 512-byte DATA blocks in lock-step with the ACKs, resends after
// silence, the device's settling wait and the closing check of its information page.
#pragma once

#include <cstdint>
#include <span>

#include "platform/platform.h"
#include "tftp/tftp_packet.h"
#include "ui/ui.h"

// Polls without an accepted ACK before the last packet is sent again, and the expiry at which
// the transfer is given up.
inline constexpr int kTftpIdlePollsPerResend = 100;
inline constexpr int kTftpExpiryLimit = 30;
// The device's time to install and restart: 1562 ticks of 32 ms (49,984 ms).
inline constexpr std::uint32_t kSettlingTickShift = 5;
inline constexpr std::uint32_t kSettlingTicks = 1562;
inline constexpr std::uint32_t kSettlingTickWrap = 1u << (32 - kSettlingTickShift);

// Where the session stands. The block counter and the outcome carry it; see tftpTransferState.
enum class TftpSessionState { awaitOptionAck, sendingBlocks, settling, verifying, ended };

struct TftpSession {
    std::uint8_t packet[kTftpPacketSize]; // every receive and every outgoing packet
    std::uint32_t localAddress;           // the listener's address; also the closing request's
    std::uint32_t peerAddress;            // source of the accepted RRQ, host byte order
    std::uint16_t peerPort;               // the device's transfer identifier
    SocketHandle socket;                  // the listener's socket, closed when the transfer ends
    std::uint32_t blockCounter;           // 0: OACK unacknowledged; n: DATA n is in flight
    std::uint32_t imageSize;
    std::uint32_t blockCount;         // imageSize / 512 + 1: the last block may be empty
    std::uint32_t bytesAcknowledged;  // sum of the acknowledged blocks' lengths
    std::uint32_t lastBlockLength;    // 0 to 511
    std::uint32_t currentBlockLength; // length of the DATA block in flight
};

// Creates the session for an accepted RRQ and runs it; never returns.
[[noreturn]] void startTftpSession(SocketHandle socket, std::uint32_t localAddress,
                                   std::uint32_t peerAddress, std::uint16_t peerPort);
// The transfer, the settling wait and the outcome; frees the session and ends the process.
[[noreturn]] void runTftpSession(TftpSession* session);

// The pieces runTftpSession is made of.
// Block numbering for an image of imageSize bytes (block counter 0, nothing acknowledged).
void setTftpImageGeometry(TftpSession& session, std::uint32_t imageSize);
// The state of a transfer that has not been given up.
TftpSessionState tftpTransferState(const TftpSession& session);
// The bytes of DATA block `block` (1 to blockCount) inside the image.
std::span<const std::uint8_t> tftpBlockData(const TftpSession& session, std::uint32_t block);
// Sends the image; true once the last block is acknowledged, false after the 30th expiry.
// Closes the socket either way.
bool transferTftpImage(TftpSession& session, ProgressWindow window);
// Ticks since `startTick` on the 32 ms tick clock, across one wrap of the millisecond clock.
std::uint32_t settlingTicksSince(std::uint32_t startTick, std::uint32_t nowTick);
// The 49,984 ms wait under "Updating Firmware to TOV@<address>".
void waitForDeviceToSettle(ProgressWindow window);
