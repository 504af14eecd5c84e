// Every HTTP request to the device runs through the runner: a worker thread per attempt under a
// cancellable "Connecting with TOV@<address>" window, with the password loop between attempts.
// It works on the process-wide state: the response buffer, DeviceInfo and the Digest state.
#pragma once

#include <atomic>
#include <cstdint>

#include "http/http_exchange.h"

inline constexpr std::uint16_t kHttpLocalPort = 23456;
inline constexpr std::uint16_t kDeviceHttpPort = 80;

enum class RequestStatus {
    answered,         // `received` bytes (0 or more) are in the response buffer
    cancelled,        // the user cancelled the connecting window or the password prompt
    stopped,          // `stopWhen` turned true while the exchange ran: it was abandoned
    cannotOpenSocket, // the exchange's own failures
    cannotBindSocket,
    cannotConnect,
};

struct RequestResult {
    RequestStatus status;
    int received;
};

// Runs the request to its end. An abandoned exchange (Cancel, or `stopWhen`) may still be
// blocked on its socket; it works on copies of the state, so nothing it still receives reaches
// the response buffer, DeviceInfo or the Digest state.
RequestResult runBackgroundRequest(const HttpEndpoints& endpoints, const char* path,
                                   const std::atomic<bool>* stopWhen = nullptr);
