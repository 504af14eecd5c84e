// SPDX-License-Identifier: MIT
// The hostile hosts of the fault options. All they send goes to the TFTP server named in the
// upgrade request; nothing is logged per datagram sent, as there are tens of thousands.
#include "hostile.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <poll.h>
#include <random>
#include <sys/socket.h>

#include "event_log.h"
#include "tftp_client.h"
#include "tftp_packet.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kLastProgramNumber = 0x7fff; // the program's names: "%x" of 0 to 32767

long long millisecondsSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// "/tov%x.bin", as the program names the image it serves.
std::string programFileName(std::uint32_t number) {
    char name[16];
    std::snprintf(name, sizeof name, "/tov%x.bin", static_cast<unsigned>(number));
    return name;
}

// The floods' second host: the hijacker's address, else 127.0.0.9 (127.0.0.10 when the device
// itself is 127.0.0.9).
std::uint32_t otherHost(const SimOptions& o) {
    if (o.hijacker != 0)
        return o.hijacker;
    return o.address == 0x7f000009 ? 0x7f00000a : 0x7f000009;
}

// What the hijacker took so far from one server transfer port.
struct StolenFile {
    std::uint16_t lastBlock = 0;
    std::uint64_t bytes = 0;
    bool complete = false;
};

// Answers as a client that wants the file: ACK 0 for an OACK, an ACK for the next DATA block or a
// repeat of one already taken. Returns the new payload bytes.
std::uint64_t answerAsClient(int fd, std::span<const std::uint8_t> p, const Endpoint& from,
                             StolenFile& file) {
    const std::uint16_t op = readBe16(p, 0);
    if (op == kOack && file.lastBlock == 0) {
        sendDatagram(fd, buildAck(0), from);
        return 0;
    }
    if (op != kData || p.size() < 4 || p.size() > 4 + kBlockSize)
        return 0;
    const std::uint16_t block = readBe16(p, 2);
    if (block == 0 || block > file.lastBlock + 1u)
        return 0; // a lock-step client never acknowledges a block it cannot take yet
    sendDatagram(fd, buildAck(block), from);
    if (block != file.lastBlock + 1u || file.complete)
        return 0;
    file.lastBlock = block;
    const std::size_t payload = p.size() - 4;
    file.bytes += payload;
    if (payload < kBlockSize) {
        file.complete = true;
        logEvent(Event("hijack_file")
                     .text("from", from.text())
                     .number("bytes", static_cast<std::int64_t>(file.bytes))
                     .number("blocks", block));
    }
    return payload;
}

// One datagram of the floods' mix; `round` picks the kind.
Packet junk(std::uint64_t round, std::minstd_rand& random, std::uint16_t current,
            const std::string& fileName) {
    switch (round % 6) {
    case 0: // an ACK of a block neither acknowledged last nor in flight
        return buildAck(static_cast<std::uint16_t>(current + 2 + random() % 1000));
    case 1: // the ACK the server waits for, from the wrong port or host
        return buildAck(static_cast<std::uint16_t>(current + 1));
    case 2: // the last block's ACK again, from the wrong port or host
        return buildAck(current);
    case 3: { // bytes of no shape at all
        Packet p(1 + random() % 600);
        for (auto& b : p)
            b = static_cast<std::uint8_t>(random());
        return p;
    }
    case 4:
        return buildError(static_cast<std::uint16_t>(random() % 9), "junk");
    default: { // a request for a name the program may draw, never the one it serves now
        const auto number = static_cast<std::uint32_t>(random() % (kLastProgramNumber + 1));
        std::string name = programFileName(number);
        if (name == fileName)
            name = programFileName((number + 1) % (kLastProgramNumber + 1));
        return buildRrq(name, true, 5);
    }
    }
}

// Reads whatever waits on the socket; returns how many datagrams.
std::uint64_t drain(int fd, std::span<std::uint8_t> buffer) {
    std::uint64_t n = 0;
    Endpoint from;
    while (receiveDatagram(fd, buffer, from, MSG_DONTWAIT))
        ++n;
    return n;
}

} // namespace

void HostileHosts::beforeRequest(const UpgradeSource& source) {
    fileName_ = source.fileName;
    currentBlock_ = 0;
    const Endpoint server{source.server, source.port};
    if (o_.hijacker != 0)
        hijack(server);
    if (o_.floodWhileWaitingMs != 0)
        flood({server, o_.floodWhileWaitingMs, "while waiting", fileName_});
}

void HostileHosts::blockAcknowledged(const Endpoint& serverPort, std::uint16_t block) {
    currentBlock_ = block;
    if (o_.floodAfterBlock == 0 || block != o_.floodAfterBlock)
        return;
    const Flood plan{serverPort, o_.floodMs, "after block " + std::to_string(block), fileName_};
    std::lock_guard lock(mutex_);
    if (!stopped_)
        floods_.emplace_back([this, plan] { flood(plan); });
}

void HostileHosts::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopped_)
            return;
        stopped_ = true;
    }
    stop_ = true;
    if (hijackListener_.joinable())
        hijackListener_.join();
    for (auto& f : floods_)
        f.join();
}

// One socket for every upgrade, listening from the first one until the device ends.
bool HostileHosts::openHijacker() {
    std::lock_guard lock(mutex_);
    if (stopped_)
        return false;
    hijacker_ = openUdp(o_.hijacker);
    if (!hijacker_.valid()) {
        logEvent(Event("hijack_failed").text("address", formatIpv4(o_.hijacker)));
        return false;
    }
    hijackListener_ = std::thread([this] { listenAsHijacker(); });
    return true;
}

// Every name the program can draw, as fast as the socket takes them, so that they all reach the
// server before the device's own request.
void HostileHosts::hijack(const Endpoint& server) {
    if (!hijacker_.valid() && !openHijacker())
        return;
    const auto began = Clock::now();
    std::int64_t sent = 0, failed = 0;
    for (std::uint32_t number = 0; number <= kLastProgramNumber && !stop_; ++number) {
        const Packet rrq =
            buildRrq(programFileName(number), !o_.tftpNoOptions, o_.requestTimeoutOption);
        ++(sendDatagram(hijacker_.get(), rrq, server) ? sent : failed);
    }
    logEvent(Event("hijack_sent")
                 .number("count", sent)
                 .number("failed", failed)
                 .number("elapsed_ms", millisecondsSince(began))
                 .text("from", localEndpoint(hijacker_.get()).text())
                 .text("to", server.text()));
}

void HostileHosts::listenAsHijacker() {
    std::vector<std::uint8_t> buffer(65536);
    std::map<Endpoint, StolenFile> files;
    std::int64_t datagrams = 0, dataBytes = 0;
    while (!stop_) {
        pollfd p{hijacker_.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) // short slices, so that the device's end is seen quickly
            continue;
        Endpoint from;
        const auto n = receiveDatagram(hijacker_.get(), buffer, from, MSG_DONTWAIT);
        if (!n)
            continue;
        const std::span<const std::uint8_t> packet(buffer.data(), *n);
        ++datagrams;
        logEvent(packetEvent("hijack_received", packet, from, "from"));
        dataBytes +=
            static_cast<std::int64_t>(answerAsClient(hijacker_.get(), packet, from, files[from]));
    }
    logEvent(Event("hijack_end").number("received", datagrams).number("data_bytes", dataBytes));
}

// Junk from the device's address (another port) and from a second host, alternately, as fast as
// the sockets take it, while the device's own transfer goes on from its own port.
void HostileHosts::flood(const Flood& plan) {
    const UniqueFd sockets[] = {openUdp(o_.address), openUdp(otherHost(o_))};
    if (!sockets[0].valid() || !sockets[1].valid()) {
        logEvent(Event("flood_failed").text("when", plan.when));
        return;
    }
    logEvent(Event("flood_begin")
                 .text("when", plan.when)
                 .text("to", plan.to.text())
                 .texts("from", {localEndpoint(sockets[0].get()).text(),
                                 localEndpoint(sockets[1].get()).text()})
                 .number("ms", plan.ms));
    std::minstd_rand random(20240611); // the same junk in every run
    std::vector<std::uint8_t> buffer(65536);
    std::int64_t sent = 0, failed = 0, answers = 0;
    const auto began = Clock::now();
    const auto end = began + std::chrono::milliseconds(plan.ms);
    for (std::uint64_t round = 0; !stop_; ++round) {
        // The clock and the server's answers every 64 datagrams, to keep the pace.
        if (round % 64 == 0) {
            if (Clock::now() >= end)
                break;
            for (const auto& s : sockets)
                answers += static_cast<std::int64_t>(drain(s.get(), buffer));
        }
        // Each kind of junk from both sockets in turn.
        const Packet p = junk(round / 2, random, currentBlock_, plan.fileName);
        ++(sendDatagram(sockets[round % 2].get(), p, plan.to) ? sent : failed);
    }
    logEvent(Event("flood_end")
                 .text("when", plan.when)
                 .number("sent", sent)
                 .number("failed", failed)
                 .number("answers", answers)
                 .number("elapsed_ms", millisecondsSince(began)));
}
