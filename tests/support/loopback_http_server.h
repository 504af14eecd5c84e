// A stand-in web server on 127.0.0.1 for the exchange tests: answers each connection with the
// next scripted answer, records every request, and closes. Built on the platform seam only, so
// it runs natively and under Wine alike.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

struct LoopbackAnswer {
    std::string bytes;                 // sent as they stand, then the connection is closed
    std::function<void()> beforeClose; // runs after sending, while the client is still connected
};

// Each answer waits at most this long for its connection and its request.
inline constexpr std::uint32_t kLoopbackWaitMilliseconds = 5000;

class LoopbackHttpServer {
  public:
    // Each answer is sent as it stands, then `beforeClose` (if any) runs while the client is
    // still connected, then the connection is closed.
    explicit LoopbackHttpServer(std::vector<std::string> answers,
                                std::function<void()> beforeClose = {});
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // 0 when no port could be bound.
    std::uint16_t port() const { return port_; }
    // Waits until every answer has been given (or timed out) and returns the requests received.
    std::vector<std::string> finish();

  private:
    void serve(const std::vector<std::string>& answers, const std::function<void()>& beforeClose);

    SocketHandle listener_ = kInvalidSocket;
    std::uint16_t port_ = 0;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// Binds a fresh TCP socket to the first free port of 127.0.0.1 from a moving base (each call
// starts higher, so ports still closing from earlier tests are skipped). Returns the socket
// (kInvalidSocket when none was free) and its port.
SocketHandle bindFreeLoopbackPort(std::uint16_t& port);

inline constexpr std::uint32_t kLoopbackAddress = 0x7f000001; // 127.0.0.1
