// SPDX-License-Identifier: MIT
// One HTTP/1.1 GET exchange with the device's web server over a fresh TCP connection.
#pragma once

#include <cstdint>
#include <span>

#include "http/device_page.h"
#include "http/digest.h"
#include "platform/platform.h"

// Both ends of the connection; addresses and ports in host byte order.
struct HttpEndpoints {
    std::uint32_t localAddress; // 0: any local address
    std::uint16_t localPort;    // the first local port tried; 101 ports in all
    std::uint32_t deviceAddress;
    std::uint16_t devicePort;
};

enum class HttpOutcome {
    answered,         // `received` bytes arrived (0: the device closed without a byte)
    challenged,       // a 401 with a usable Digest challenge, now stored in the digest state
    authUnsupported,  // a 401 whose challenge the program cannot answer (see AnswerKind)
    cannotOpenSocket, // no TCP socket
    cannotBindSocket, // every one of the 101 local ports refused
    cannotConnect,    // refused, unreachable or timed out
};

struct HttpResult {
    HttpOutcome outcome;
    int received; // bytes of the answer (status line, head and body, decoded)
    int status;   // the answer's status code; 0 without a status line
};

// Sends one request for `path` and reads the answer: to the end its head announces (its length,
// its last chunk), or until the device closes the connection. Interim (1xx) answers are skipped
// and a chunked body is decoded. `buffer` holds the request, then the answer's text: at most
// buffer.size() - 1 bytes and a terminating zero. With a password in `digest` the request is
// authorized (the nonce count goes up by one first); a challenge is stored in `digest`; an answered
// page updates `deviceInfo`.
HttpResult httpExchange(const HttpEndpoints& endpoints, const char* path, std::span<char> buffer,
                        DigestChallenge& digest, DeviceInfo& deviceInfo);

// A connected TCP socket bound from the local port upward (101 ports), or kInvalidSocket with
// `failure` saying why.
SocketHandle openDeviceConnection(const HttpEndpoints& endpoints, HttpOutcome& failure);

enum class AnswerKind {
    page,      // anything but an HTTP/1.1 401
    challenge, // a 401 with a usable Digest challenge, now stored in `digest`
    // A 401 whose challenge the program cannot answer: no Digest challenge (Basic only, or
    // none), a Digest one without realm or nonce, or an algorithm other than MD5 and MD5-sess.
    unanswerableChallenge,
};

// Classifies the zero-terminated answer. The Digest challenge is looked for in every
// WWW-Authenticate header (its name in any letter case) and read from its own scheme onward.
AnswerKind classifyAnswer(const char* response, DigestChallenge& digest);
