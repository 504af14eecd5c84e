// The tests' stand-in web server: one thread, one connection at a time, bounded waits.
#include "loopback_http_server.h"

#include <atomic>
#include <span>
#include <string_view>

namespace {

std::atomic<std::uint16_t> nextPortBase{31000};

std::span<std::uint8_t> bytesOf(char* data, std::size_t size) {
    return {reinterpret_cast<std::uint8_t*>(data), size};
}

// Reads until the blank line that ends the request head, the peer's close, 64 KiB or the wait.
std::string readRequest(SocketHandle connection) {
    std::string request;
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        if (!waitReadable(connection, kLoopbackWaitMilliseconds))
            break;
        const int n = receiveBytes(connection, bytesOf(chunk, sizeof chunk));
        if (n <= 0)
            break;
        request.append(chunk, static_cast<std::size_t>(n));
    }
    return request;
}

void sendAll(SocketHandle connection, std::string_view bytes) {
    while (!bytes.empty()) {
        const int n =
            sendBytes(connection,
                      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

SocketHandle bindFreeLoopbackPort(std::uint16_t& port) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        const std::uint16_t candidate = nextPortBase.fetch_add(1);
        const SocketHandle socket = openTcpSocket();
        if (socket == kInvalidSocket)
            return kInvalidSocket;
        if (bindSocket(socket, kLoopbackAddress, candidate)) {
            port = candidate;
            return socket;
        }
        closeSocket(socket);
    }
    return kInvalidSocket;
}

LoopbackHttpServer::LoopbackHttpServer(std::vector<std::string> answers,
                                       std::function<void()> beforeClose) {
    std::uint16_t port = 0;
    listener_ = bindFreeLoopbackPort(port);
    if (listener_ == kInvalidSocket || !listenSocket(listener_, 4))
        return;
    port_ = port;
    thread_ = std::thread([this, answers = std::move(answers),
                           beforeClose = std::move(beforeClose)] { serve(answers, beforeClose); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    finish();
}

std::vector<std::string> LoopbackHttpServer::finish() {
    if (thread_.joinable())
        thread_.join();
    if (listener_ != kInvalidSocket) {
        closeSocket(listener_);
        listener_ = kInvalidSocket;
    }
    return requests_;
}

void LoopbackHttpServer::serve(const std::vector<std::string>& answers,
                               const std::function<void()>& beforeClose) {
    for (const std::string& answer : answers) {
        if (!waitReadable(listener_, kLoopbackWaitMilliseconds))
            return;
        SocketGuard connection(acceptConnection(listener_));
        if (connection.get() == kInvalidSocket)
            return;
        requests_.push_back(readRequest(connection.get()));
        sendAll(connection.get(), answer);
        if (beforeClose)
            beforeClose();
    }
}
