// SPDX-License-Identifier: MIT
// TFTP read transfer as a small embedded client performs it: RRQ, OACK and ACK 0, DATA blocks in
// lock-step, resend of the last packet after the client's own time-out.
#include "tftp_client.h"

#include <chrono>
#include <poll.h>
#include <set>

#include "event_log.h"
#include "tftp_packet.h"
#include "udp.h"
#include "unique_fd.h"

namespace {

using Clock = std::chrono::steady_clock;

void sendTo(int fd, const Packet& p, const Endpoint& to, const char* why = nullptr) {
    const bool sent = sendDatagram(fd, p, to);
    Event e = packetEvent("tftp_send", p, to, "to");
    if (why != nullptr)
        e.text("why", why);
    if (!sent)
        e.flag("send_failed", true);
    logEvent(e);
}

class Transfer {
  public:
    Transfer(const SimOptions& o, const UpgradeSource& s, const std::atomic<bool>& stop,
             const TransferWatch& watch)
        : o_(o), source_(s), stop_(stop), watch_(watch), server_{s.server, s.port} {}

    TransferOutcome run();

  private:
    enum class Wait { packet, timedOut, stopped };
    Wait receive(int fd, Clock::time_point deadline, Endpoint& from);
    bool fromServerAddress(std::uint32_t address) const;
    void requestWrongNameFirst();
    void sendAck(std::uint16_t block);
    bool onOack(std::span<const std::uint8_t> p);
    bool onData(std::span<const std::uint8_t> p, bool& finished);
    void afterAckFaults(std::uint16_t block);
    void pauseBeforeAck(std::uint16_t block);
    void dally();
    void fail(const std::string& why, std::uint16_t code = 0, const char* message = nullptr);
    void restartTimer() {
        deadline_ = Clock::now() + std::chrono::milliseconds(o_.tftpTimeoutMs);
        retries_ = 0;
    }

    const SimOptions& o_;
    const UpgradeSource& source_;
    const std::atomic<bool>& stop_;
    const TransferWatch& watch_;
    Endpoint server_; // where the RRQ goes
    Endpoint peer_;   // the server's transfer identifier, known from its first answer
    bool peerKnown_ = false;
    UniqueFd socket_;
    Packet lastSent_;
    Endpoint lastTo_;
    long lastAcked_ = -1; // -1: nothing yet; 0: the OACK
    bool paused_ = false; // --fault-ack-pause taken
    std::set<std::uint16_t> droppedOnce_;
    Clock::time_point deadline_;
    std::uint32_t retries_ = 0;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(65536);
    std::size_t received_ = 0;
    std::span<const std::uint8_t> received() const { return {buffer_.data(), received_}; }
    TransferOutcome out_;
};

Transfer::Wait Transfer::receive(int fd, Clock::time_point deadline, Endpoint& from) {
    while (true) {
        if (stop_.load())
            return Wait::stopped;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Wait::timedOut;
        pollfd p{fd, POLLIN, 0};
        // Short slices so that a stop request is seen quickly.
        if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) <= 0)
            continue;
        const auto n = receiveDatagram(fd, buffer_, from, 0);
        if (!n)
            continue; // for example a port-unreachable report from an earlier send
        received_ = *n;
        return Wait::packet;
    }
}

// A UDP socket on the computer's 127.0.0.3 may answer from 127.0.0.1 (Wine), so on loopback any
// 127.x source is taken unless --strict-source asks for the exact address.
bool Transfer::fromServerAddress(std::uint32_t address) const {
    if (!o_.strictSource && (server_.address >> 24) == 127)
        return (address >> 24) == 127;
    return address == server_.address;
}

void Transfer::fail(const std::string& why, std::uint16_t code, const char* message) {
    if (message != nullptr && peerKnown_)
        sendTo(socket_.get(), buildError(code, message), peer_);
    out_.complete = false;
    out_.failure = why;
}

void Transfer::requestWrongNameFirst() {
    std::string wrong = source_.fileName;
    bool changed = false;
    for (auto& c : wrong) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
            changed = true;
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
            changed = true;
        }
    }
    if (!changed)
        wrong += "x";
    logEvent(Event("fault").text("kind", "wrong-name-first").text("name", wrong));
    UniqueFd other = openUdp(o_.address);
    if (!other.valid())
        return;
    sendTo(other.get(), buildRrq(wrong, !o_.tftpNoOptions, o_.requestTimeoutOption), server_,
           "wrong name");
    const auto deadline = Clock::now() + std::chrono::milliseconds(o_.tftpTimeoutMs);
    Endpoint from;
    while (receive(other.get(), deadline, from) == Wait::packet) {
        Event e = packetEvent("tftp_recv", received(), from, "from");
        logEvent(e.flag("unexpected", true).text("why", "answer to the wrong name"));
    }
}

void Transfer::sendAck(std::uint16_t block) {
    lastSent_ = buildAck(block);
    lastTo_ = peer_;
    const bool firstChance = !droppedOnce_.contains(block);
    const bool drop = firstChance &&
                      ((block == 0 && o_.dropOackAck) || (block != 0 && block == o_.dropAckBlock) ||
                       (block != 0 && o_.dropAckEvery != 0 && block % o_.dropAckEvery == 0));
    if (drop) {
        droppedOnce_.insert(block);
        logEvent(Event("tftp_ack_dropped").number("block", block));
        return;
    }
    sendTo(socket_.get(), lastSent_, peer_);
    if (o_.duplicateAcks)
        sendTo(socket_.get(), lastSent_, peer_, "duplicate");
}

void Transfer::afterAckFaults(std::uint16_t block) {
    if (o_.strayAfterBlock != 0 && block == o_.strayAfterBlock) {
        UniqueFd other = openUdp(o_.address);
        if (other.valid()) {
            logEvent(Event("fault").text("kind", "stray-datagram").number("block", block));
            sendTo(other.get(), buildAck(static_cast<std::uint16_t>(block + 1)), peer_, "stray");
        }
    }
    if (o_.repeatRrqAfterBlock != 0 && block == o_.repeatRrqAfterBlock) {
        logEvent(Event("fault").text("kind", "repeat-rrq").number("block", block));
        sendTo(socket_.get(),
               buildRrq(source_.fileName, !o_.tftpNoOptions, o_.requestTimeoutOption), server_,
               "repeated request");
    }
}

// --fault-ack-pause: silent for a while before the ACK, reading nothing, as a device that writes
// the block to flash first; what the server resends meanwhile waits in the socket.
void Transfer::pauseBeforeAck(std::uint16_t block) {
    if (paused_ || block != o_.ackPauseBlock)
        return;
    paused_ = true;
    logEvent(Event("fault")
                 .text("kind", "ack-pause")
                 .number("block", block)
                 .number("ms", o_.ackPauseMs));
    const auto until = Clock::now() + std::chrono::milliseconds(o_.ackPauseMs);
    while (!stop_.load() && Clock::now() < until)
        ::poll(nullptr, 0, 10);
}

bool Transfer::onOack(std::span<const std::uint8_t> p) {
    if (lastAcked_ == 0) {
        sendAck(0); // the server did not get our ACK 0
        return true;
    }
    if (lastAcked_ > 0) {
        logEvent(Event("tftp_ignored").text("why", "OACK after DATA"));
        return true;
    }
    const auto options = parseOackOptions(p);
    if (!options) {
        fail("malformed OACK", 8, "Malformed option acknowledgement");
        return false;
    }
    std::set<std::string> seen;
    for (const auto& option : *options) {
        std::string name = option.name;
        for (auto& c : name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        if (!seen.insert(name).second) {
            fail("option acknowledged twice", 8, "Option acknowledged twice");
            return false;
        }
        if (name == "tsize") {
            const auto size = parseNumber(option.value, 0, 4000000000u);
            if (!size) {
                fail("bad tsize value", 8, "Bad tsize value");
                return false;
            }
            if (*size > kMaxImageBytes) {
                fail("image too large", 3, "Image too large");
                return false;
            }
            out_.tsize = *size;
        } else if (name == "timeout") {
            const auto seconds = parseNumber(option.value, 1, 255);
            if (!seconds) {
                fail("bad timeout value", 8, "Bad timeout value");
                return false;
            }
            if (!o_.tftpNoOptions && *seconds != o_.requestTimeoutOption)
                logEvent(Event("tftp_note").text("why", "timeout differs from the request"));
        } else {
            // Even a request without options takes tsize and timeout, never anything else.
            fail("unrequested option " + name, 8, "Unrequested option");
            return false;
        }
    }
    if (o_.oackError) {
        logEvent(Event("fault").text("kind", "oack-error"));
        fail("OACK refused (fault)", 8, "Option negotiation refused");
        return false;
    }
    lastAcked_ = 0;
    restartTimer();
    sendAck(0);
    return true;
}

bool Transfer::onData(std::span<const std::uint8_t> p, bool& finished) {
    const std::size_t payload = p.size() - 4;
    if (payload > kBlockSize) {
        fail("DATA longer than 512 bytes", 4, "Block larger than 512 bytes");
        return false;
    }
    const std::uint16_t block = readBe16(p, 2);
    if (lastAcked_ >= 1 && block == lastAcked_) {
        sendAck(block); // our ACK was lost: acknowledge the repeated block again
        return true;
    }
    if (block == 0 || static_cast<long>(block) != lastAcked_ + 1 + (lastAcked_ < 0 ? 1 : 0)) {
        logEvent(Event("tftp_ignored").text("why", "unexpected block").number("block", block));
        return true;
    }
    if (out_.image.size() + payload > kMaxImageBytes) {
        fail("image too large", 3, "Image too large");
        return false;
    }
    out_.image.insert(out_.image.end(), p.begin() + 4, p.end());
    lastAcked_ = block;
    pauseBeforeAck(block);
    restartTimer();
    sendAck(block);
    afterAckFaults(block);
    if (watch_.blockAcknowledged)
        watch_.blockAcknowledged(peer_, block);
    finished = payload < kBlockSize;
    return true;
}

// RFC 1350: the side that sends the last ACK lingers, in case that ACK is lost.
void Transfer::dally() {
    const auto until = Clock::now() + std::chrono::milliseconds(o_.tftpTimeoutMs);
    Endpoint from;
    while (receive(socket_.get(), until, from) == Wait::packet) {
        const auto p = received();
        logEvent(packetEvent("tftp_recv", p, from, "from"));
        const bool fromPeer = from.port == peer_.port && fromServerAddress(from.address);
        if (fromPeer && p.size() >= 4 && readBe16(p, 0) == kData && readBe16(p, 2) == lastAcked_)
            sendAck(static_cast<std::uint16_t>(lastAcked_));
    }
}

TransferOutcome Transfer::run() {
    if (o_.wrongNameFirst)
        requestWrongNameFirst();
    socket_ = openUdp(o_.address);
    if (!socket_.valid()) {
        fail("cannot open the UDP socket");
        return out_;
    }
    lastSent_ = buildRrq(source_.fileName, !o_.tftpNoOptions, o_.requestTimeoutOption);
    lastTo_ = server_;
    sendTo(socket_.get(), lastSent_, server_);
    restartTimer();
    while (true) {
        Endpoint from;
        const Wait w = receive(socket_.get(), deadline_, from);
        if (w == Wait::stopped) {
            fail("stopped");
            return out_;
        }
        if (w == Wait::timedOut) {
            if (++retries_ > o_.tftpRetries) {
                fail("no answer after " + std::to_string(o_.tftpRetries) + " resends");
                return out_;
            }
            deadline_ = Clock::now() + std::chrono::milliseconds(o_.tftpTimeoutMs);
            logEvent(Event("tftp_resend").number("retry", retries_));
            sendTo(socket_.get(), lastSent_, lastTo_, "time-out");
            continue;
        }
        const auto packet = received();
        logEvent(packetEvent("tftp_recv", packet, from, "from"));
        const bool fromPeer = peerKnown_
                                  ? (from.port == peer_.port && fromServerAddress(from.address))
                                  : fromServerAddress(from.address);
        if (!fromPeer) {
            // RFC 1350: a packet from a foreign transfer identifier is answered with ERROR 5 to
            // its sender and does not disturb the transfer.
            logEvent(Event("tftp_stray").text("from", from.text()));
            sendTo(socket_.get(), buildError(5, "Unknown transfer ID"), from, "stray");
            continue;
        }
        if (!peerKnown_) {
            peer_ = from;
            peerKnown_ = true;
        }
        const std::uint16_t op = readBe16(packet, 0);
        if (packet.size() < 4 && op != kOack) {
            logEvent(Event("tftp_ignored").text("why", "datagram too short"));
            continue;
        }
        bool finished = false;
        bool going = true;
        switch (op) {
        case kOack:
            going = onOack(packet);
            break;
        case kData:
            going = onData(packet, finished);
            break;
        case kError:
            fail("server sent ERROR " + std::to_string(readBe16(packet, 2)) + ": " +
                 errorMessage(packet));
            return out_;
        default:
            fail(std::string("illegal ") + opcodeName(op) + " from the server", 4,
                 "Illegal TFTP operation");
            return out_;
        }
        if (!going)
            return out_;
        if (finished) {
            dally();
            out_.complete = true;
            return out_;
        }
    }
}

} // namespace

Event packetEvent(const char* name, std::span<const std::uint8_t> p, const Endpoint& peer,
                  const char* peerKey) {
    const std::uint16_t op = readBe16(p, 0);
    Event e(name);
    e.text("op", opcodeName(op)).number("opcode", op).number("len", static_cast<int>(p.size()));
    if ((op == kData || op == kAck) && p.size() >= 4)
        e.number("block", readBe16(p, 2));
    if (op == kError && p.size() >= 4)
        e.number("code", readBe16(p, 2)).text("message", errorMessage(p));
    e.text(peerKey, peer.text());
    return e;
}

TransferOutcome runTftpTransfer(const SimOptions& options, const UpgradeSource& source,
                                const std::atomic<bool>& stop, const TransferWatch& watch) {
    Transfer transfer(options, source, stop, watch);
    TransferOutcome outcome = transfer.run();
    Event e("tftp_end");
    e.flag("complete", outcome.complete).number("bytes", static_cast<long>(outcome.image.size()));
    if (!outcome.complete)
        e.text("failure", outcome.failure);
    logEvent(e);
    return outcome;
}
