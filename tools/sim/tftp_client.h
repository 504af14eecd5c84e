// SPDX-License-Identifier: MIT
// The device's TFTP client: fetches the image named in an upgrade request.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "event_log.h"
#include "options.h"
#include "udp.h"
#include "upgrade_url.h"

// The largest image the device takes: 65,535 blocks, the last one short.
inline constexpr std::size_t kMaxImageBytes = 65535 * 512 - 1;

struct TransferOutcome {
    bool complete = false;
    std::string failure; // why not, when not complete
    std::vector<std::uint8_t> image;
    std::optional<std::uint64_t> tsize; // as the OACK announced it
};

// Told of the transfer's progress; the hostile hosts of the fault options follow it here.
struct TransferWatch {
    // Once each new DATA block is taken (and acknowledged, unless a fault drops that ACK), with
    // the server's transfer port.
    std::function<void(const Endpoint& serverPort, std::uint16_t block)> blockAcknowledged;
};

// Runs one read transfer in lock-step, with the fault options applied. Returns when the last
// block is acknowledged (after a short dally for a repeated last block), on an ERROR, after the
// retries, or soon after `stop` turns true.
TransferOutcome runTftpTransfer(const SimOptions& options, const UpgradeSource& source,
                                const std::atomic<bool>& stop, const TransferWatch& watch);

// A logged TFTP datagram: op, opcode, len, the block (DATA, ACK) or code and message (ERROR), and
// the peer under `peerKey`.
Event packetEvent(const char* name, std::span<const std::uint8_t> p, const Endpoint& peer,
                  const char* peerKey);
