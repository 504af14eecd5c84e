// The device's TFTP client: fetches the image named in an upgrade request.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "upgrade_url.h"

// The largest image the device takes: 65,535 blocks, the last one short.
inline constexpr std::size_t kMaxImageBytes = 65535 * 512 - 1;

struct TransferOutcome {
    bool complete = false;
    std::string failure; // why not, when not complete
    std::vector<std::uint8_t> image;
    std::optional<std::uint64_t> tsize; // as the OACK announced it
};

// Runs one read transfer in lock-step, with the fault options applied. Returns when the last
// block is acknowledged (after a short dally for a repeated last block), on an ERROR, after the
// retries, or soon after `stop` turns true.
TransferOutcome runTftpTransfer(const SimOptions& options, const UpgradeSource& source,
                                const std::atomic<bool>& stop);
