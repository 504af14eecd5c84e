// SPDX-License-Identifier: MIT
// The transfer: the OACK, then 512-byte DATA blocks in lock-step with the device's ACKs, the
// last packet sent again after silence, the transfer given up after too much of it.
#pragma once

#include <cstdint>
#include <functional>

#include "tftp/tftp_session.h"

// Silence on the clock before the last packet is sent again: 100 ms after a new packet, twice as
// long after each resend, at most 1 s; the transfer is given up at the 30th expiry without an
// accepted ACK, 27.5 s after the last new packet (the OACK announces a 5 s timeout).
inline constexpr std::uint32_t kTftpResendMilliseconds = 100;
inline constexpr std::uint32_t kTftpLongestResendMilliseconds = 1000;
inline constexpr int kTftpExpiryLimit = 30;
// The silence allowed after `expiries` expiries since the last accepted ACK.
std::uint32_t tftpResendDelay(int expiries);
// The caller's periodic work (its window) runs at least this often, however busy the socket.
inline constexpr std::uint32_t kTftpPeriodicMilliseconds = 10;

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

// Sends the OACK and then the image to the session's peer. Only the peer's ACK of the block in
// flight counts: datagrams from anyone else, and anything else from the peer, neither speed up a
// resend nor end the transfer. Closes the socket on every outcome.
TransferOutcome transferTftpImage(TftpSession& session, const TransferHooks& hooks);
