// SPDX-License-Identifier: MIT
// Every HTTP request to the device runs through the runner: a worker thread per attempt under a
// cancellable "Connecting with TOV@<address>" window, with the password loop between attempts.
// It works on the Digest state and the device values its caller hands it.
#pragma once

#include <atomic>
#include <cstdint>

#include "http/http_exchange.h"
#include "ui/ui.h"

inline constexpr std::uint16_t kHttpLocalPort = 23456;
inline constexpr std::uint16_t kDeviceHttpPort = 80;

enum class RequestStatus {
    answered,         // `received` bytes (0 or more) are in the response buffer
    cancelled,        // the user cancelled the connecting window or the password prompt
    stopped,          // `stopWhen` turned true: the exchange was abandoned, or never started
    authUnsupported,  // a 401 the program cannot answer: nothing more is to be sent
    cannotOpenSocket, // the exchange's own failures
    cannotBindSocket,
    cannotConnect,
};

struct RequestResult {
    RequestStatus status;
    int received;
    // Cancelled at the password prompt rather than in the connecting window; and whether the
    // device had refused a password sent before that prompt.
    bool atPasswordPrompt = false;
    bool passwordRefused = false;
    int httpStatus = 0; // answered: the answer's status code (0 without a status line)
};

// One request: both ends, the path, and the connecting window's subject (the device's address as
// typed and which request this is).
struct DeviceRequest {
    HttpEndpoints endpoints;
    const char* path;
    ProgressSubject window;
};

// Runs the request to its end, answering challenges with `digest` (updated: nonce, count,
// credentials) and updating `deviceInfo` from an answered page. An abandoned exchange (Cancel, or
// `stopWhen`) may still be blocked on its socket; it works on copies, so nothing it still
// receives reaches `digest` or `deviceInfo`, but the nonce count it may have sent is counted.
// With `stopWhen` true before an attempt (the first, or one after a prompt) nothing is sent.
RequestResult runBackgroundRequest(const DeviceRequest& request, DigestChallenge& digest,
                                   DeviceInfo& deviceInfo,
                                   const std::atomic<bool>* stopWhen = nullptr);
