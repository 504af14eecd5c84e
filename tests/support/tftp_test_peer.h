// SPDX-License-Identifier: MIT
// Loopback peers for the TFTP server tests: a UDP endpoint and a scripted device that answers the
// session from inside the upload window's message hook.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

inline constexpr std::uint32_t kLoopback1 = 0x7f000001; // 127.0.0.1

std::string dottedAddress(std::uint32_t address);

struct Datagram {
    std::vector<std::uint8_t> bytes;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// A UDP socket bound to a loopback address, on a given port or the first free one upward.
struct LoopbackUdp {
    SocketGuard socket{openUdpSocket()};
    std::uint32_t address = 0;
    std::uint16_t port = 0;

    bool bindExactly(std::uint32_t bindAddress, std::uint16_t bindPort);
    bool bindFrom(std::uint32_t bindAddress, std::uint16_t firstPort);
    void sendTo(std::span<const std::uint8_t> bytes, std::uint32_t toAddress,
                std::uint16_t toPort) const;
    // One datagram, waiting at most `milliseconds`; none when nothing came.
    std::optional<Datagram> receive(std::uint32_t milliseconds) const;
};

std::vector<std::uint8_t> tftpRequest(std::uint16_t opcode, const std::string& name);
std::vector<std::uint8_t> tftpAck(std::uint32_t block);
std::vector<std::uint8_t> tftpErrorPacket();

inline constexpr std::uint32_t kNever = 0xFFFFFFFF;

// What the scripted device does; block numbers are those of its ACKs (0 = the OACK's).
struct DeviceScript {
    int ignoreOacks = 0;                // OACKs left unanswered before one is acknowledged
    bool refuseOack = false;            // every OACK is answered with ERROR 8 (option refused)
    std::uint32_t dropAckOnce = kNever; // the first ACK of this block is never sent
    std::uint32_t dropAckEvery = 0;     // nor that of every block number divisible by this
    bool duplicateAcks = false;         // every ACK is sent twice
    std::uint32_t staleAt = kNever;     // before this block's ACK, 120 copies of the previous ACK
    std::uint32_t silentFrom = kNever;  // from this block on, nothing is acknowledged
    // From this block on nothing is acknowledged either; instead every step sends 5 stale ACKs
    // and lets 5 ms pass on the clock, for 40 s on the clock (longer than the transfer waits).
    std::uint32_t floodFrom = kNever;
    std::uint32_t repeatRrqAt = kNever; // the RRQ is sent again before this block's ACK
    // Instead of this block's first ACK, the same ACK comes from another port of the device's
    // address, or from another address with the device's port.
    std::uint32_t strayPortAt = kNever;
    std::uint32_t strayAddressAt = kNever;
    bool openStrayAddress = false;     // the endpoint strayAddressAt needs
    std::uint32_t shortAckAt = kNever; // instead of this block's first ACK, ACKs of 2 and 3 bytes
    std::uint32_t cancelAt = kNever;   // Cancel in the upload window once this block has arrived
    bool cancelWhileSettling = false;
};

// What the device saw.
struct DeviceRecord {
    int oacks = 0;
    bool oackBytesRight = false; // the first OACK equals the expected bytes
    int errorsSent = 0;
    int dataPackets = 0;
    int resends = 0;    // DATA packets repeating the block before the expected one
    int unexpected = 0; // anything else that arrived
    int lastDataLength = -1;
    std::vector<std::uint32_t> dataTimes; // the clock as each DATA packet arrived
    int floodSent = 0;
    std::uint32_t floodBlock = 0; // the block whose ACK the flood repeats
    bool lastBlockSeen = false;
    std::uint32_t nextBlock = 1;
    std::uint32_t lastDroppedEvery = 0;
    std::vector<std::uint8_t> image;
    bool dropped = false, rrqRepeated = false, strayed = false, stale = false,
         cut = false; // one-off script steps done
};

// The device on 127.0.0.1 (or `address`) talking to a session socket; steps from the upload
// window's message hook, so the exchange is lock-step and deterministic.
struct ScriptedDevice {
    DeviceScript script;
    DeviceRecord seen;
    LoopbackUdp udp;
    LoopbackUdp strayPort;    // same address, another port
    LoopbackUdp strayAddress; // another address, same port as the device
    std::uint32_t serverAddress = 0;
    std::uint16_t serverPort = 0;
    std::string requestName = "/tov1a2b.bin";
    std::uint32_t imageSize = 0; // the size the OACK must announce

    bool open(std::uint32_t address, std::uint32_t toAddress, std::uint16_t toPort);
    // The endpoint on another address with the device's port, for the one case that needs it.
    bool openStrayAddress();
    // Reads everything pending and answers it; true when the script says Cancel now.
    bool step();
    // Datagrams that reached either stray endpoint (the session must never answer them).
    int strayReplies() const;
};

// Makes a test image of `size` bytes whose every 512-byte block differs from its neighbours.
std::vector<std::uint8_t> makeTestImage(std::uint32_t size);
