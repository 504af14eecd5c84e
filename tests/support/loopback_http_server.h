// SPDX-License-Identifier: MIT
// A stand-in web server on loopback for the tests: answers each connection with the next scripted
// answer, records every request, and closes. Built on the platform seam only, so it runs natively
// and under Wine alike.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

inline constexpr std::uint32_t kLoopbackAddress = 0x7f000001; // 127.0.0.1

// Each answer waits at most this long for its connection and its request.
inline constexpr std::uint32_t kLoopbackWaitMilliseconds = 5000;

struct LoopbackHttpOptions {
    std::uint32_t address = kLoopbackAddress;
    std::uint16_t port = 0; // 0: the next free port from a moving base
    std::uint32_t waitMilliseconds = kLoopbackWaitMilliseconds;
    std::size_t pieceSize = 0; // send each answer in pieces this long, 1 ms apart (0: whole)
    // Runs after each answer is sent, while the client is still connected.
    std::function<void()> beforeClose;
};

class LoopbackHttpServer {
  public:
    explicit LoopbackHttpServer(std::vector<std::string> answers,
                                std::function<void()> beforeClose = {});
    LoopbackHttpServer(std::vector<std::string> answers, LoopbackHttpOptions options);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // 0 when no port could be bound.
    std::uint16_t port() const { return port_; }
    // Answers sent so far; safe from any thread.
    int served() const { return served_.load(); }
    // Waits until every answer has been given (or timed out) and returns the requests received.
    std::vector<std::string> finish();

  private:
    void serve(const std::vector<std::string>& answers);

    LoopbackHttpOptions options_;
    SocketHandle listener_ = kInvalidSocket;
    std::uint16_t port_ = 0;
    std::atomic<int> served_{0};
    std::vector<std::string> requests_;
    std::thread thread_;
};

// Binds a fresh TCP socket to the first free port of 127.0.0.1 from a moving base (each call
// starts higher, so ports still closing from earlier tests are skipped). Returns the socket
// (kInvalidSocket when none was free) and its port.
SocketHandle bindFreeLoopbackPort(std::uint16_t& port);
