// SPDX-License-Identifier: MIT
// Command-line options of the simulated device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fault_list.h"

// --basic-challenge: a Basic challenge instead of the Digest one, or before it.
enum class BasicChallenge { none, only, first };

struct SimOptions {
    // Network.
    std::uint32_t address = 0x7f000002; // 127.0.0.2, host byte order
    std::uint16_t port = 80;
    bool allowAnyAddress = false;       // permits addresses outside 127.0.0.0/8
    std::uint32_t headTimeoutMs = 5000; // the whole request head must arrive in this time
    bool keepAlive = false;             // answers leave the connection open for the client to close

    // Identity shown on /admin/advanced.
    std::string productName = "TOV-2000";
    std::string macAddress = "00:0E:08:12:34:56";
    std::string softwareVersion = "2.0.9(a)";
    std::string hardwareVersion = "1.2";
    std::string serialNumber = "FM2000A123456";

    // Digest authentication; an empty password turns it off.
    std::string user = "admin";
    std::string password;
    std::string realm = "TOV";
    std::string qop;                 // empty: none offered
    std::string algorithm;           // empty: none named
    std::string opaque;              // empty: none sent
    std::string bootNonce;           // empty: a random nonce at every start
    std::uint32_t nonceUses = 0;     // fresh nonce after this many accepted requests; 0: never
    bool acceptRfcDigest = false;    // also accept RFC 2617 headers as other clients write them
    bool keepNonceOnRestart = false; // by default a restart forgets the nonce, as a reboot does

    // TFTP client.
    std::uint32_t tftpTimeoutMs = 1000;
    std::uint32_t tftpRetries = 5;
    bool tftpNoOptions = false;
    std::uint32_t requestTimeoutOption = 5; // value of the "timeout" option in the RRQ
    bool strictSource = false;              // require the server's exact address even on loopback

    // Install.
    std::string imageOut;
    std::uint32_t restartMs = 5000;

    // Observability.
    std::string logPath;
    std::string readyFile;

    // Faults.
    std::uint32_t dropAckBlock = 0;    // drop the first ACK of this block (0: off)
    std::uint32_t dropAckEvery = 0;    // drop the first ACK of every block number divisible by N
    bool dropOackAck = false;          // lose the ACK of the OACK once
    bool duplicateAcks = false;        // send every ACK twice
    bool oackError = false;            // answer the OACK with an ERROR
    std::uint32_t strayAfterBlock = 0; // a stray ACK from another port after this block
    std::uint32_t repeatRrqAfterBlock = 0; // the RRQ again, same port, after this block
    bool wrongNameFirst = false;           // first an RRQ for a wrong file name
    std::uint32_t hijacker = 0;            // a hostile host's 127.x address (0: none)
    std::uint32_t floodAfterBlock = 0;     // junk to the server's transfer port after this block
    std::uint32_t floodMs = 1000;          // for this long
    std::uint32_t floodWhileWaitingMs = 0; // junk to the server's port before the device's RRQ
    bool neverReturn = false;              // the web server stays down after the upgrade
    bool upgradeUnanswered = false;        // act on the upgrade request, never answer or close it
    bool keepOldVersion = false;           // refuse every complete image: store and install nothing
    bool noFetch = false;                  // answer the upgrade request, never fetch the image
    std::string installedVersion;          // reported after an install instead of the image's
    std::uint32_t ackPauseBlock = 0;       // pause before the ACK of this DATA block (0: off)
    std::uint32_t ackPauseMs = 3500;       // for this long, as a device writing its flash
    bool challengeCrlf = false;            // header lines injected into the challenge's nonce
    bool challengeLowerCase = false;       // the challenge's header name in lower case
    BasicChallenge basicChallenge = BasicChallenge::none;
    bool continueFirst = false;      // a "100 Continue" before every answer
    std::uint32_t chunkSize = 0;     // answers' bodies chunked in pieces this long (0: not chunked)
    std::uint32_t upgradeStatus = 0; // answer the upgrade request with this status, fetch nothing
    FaultList closeWithoutAnswer;    // HTTP request numbers
    FaultList neverAnswer;
    FaultList notFound;
    FaultList challengeWithoutNonce;
    FaultList pageWithoutSerial;  // numbers of served information pages
    FaultList pageWithoutVersion; // the same, without the Software Version label
    std::uint32_t noPageFrom = 0; // from this HTTP request on, information pages lack every label
};

// Outcome of parsing: options, or a help request, or an error text (exit status 2).
struct ParsedOptions {
    std::optional<SimOptions> options;
    bool help = false;
    std::string error;
};

ParsedOptions parseOptions(const std::vector<std::string>& args);
std::string optionsHelp();
std::string formatIpv4(std::uint32_t address);
std::optional<std::uint32_t> parseIpv4(std::string_view text);
