// SPDX-License-Identifier: MIT
// Hostile hosts beside the simulated device, for the fault options: a hijacker that asks the
// upgrade's TFTP server for every file name the program can draw, and floods of junk datagrams.
// They run on threads of their own, beside the device's transfer, and end with the device.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "options.h"
#include "udp.h"
#include "unique_fd.h"
#include "upgrade_url.h"

class HostileHosts {
  public:
    explicit HostileHosts(const SimOptions& options) : o_(options) {}
    HostileHosts(const HostileHosts&) = delete;
    HostileHosts& operator=(const HostileHosts&) = delete;
    ~HostileHosts() { stop(); }

    // Right after the device accepts an upgrade request, before its own RRQ: the hijacker's
    // requests (--fault-hijacker), then the flood while waiting (--fault-flood-while-waiting).
    // Returns when both are over; the hijacker then goes on listening.
    void beforeRequest(const UpgradeSource& source);

    // Follows the device's transfer: after block --fault-flood-after-block, a flood on a thread of
    // its own toward the server's transfer port.
    void blockAcknowledged(const Endpoint& serverPort, std::uint16_t block);

    // Ends every hostile thread; the hijacker logs what it got. Nothing starts afterwards.
    void stop();

  private:
    struct Flood {
        Endpoint to;
        std::uint32_t ms = 0;
        std::string when;     // for the log
        std::string fileName; // the transfer's, which the flood's requests never name
    };
    bool openHijacker();
    void hijack(const Endpoint& server);
    void listenAsHijacker();
    void flood(const Flood& plan);

    const SimOptions& o_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_; // guards the threads and stopped_
    bool stopped_ = false;
    UniqueFd hijacker_;
    std::thread hijackListener_;
    std::vector<std::thread> floods_;
    std::string fileName_; // the current transfer's, on the device's transfer thread only
    std::atomic<std::uint16_t> currentBlock_{0}; // the device's last new block, for the floods
};
