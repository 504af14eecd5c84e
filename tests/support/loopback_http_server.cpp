// SPDX-License-Identifier: MIT
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
                                       std::function<void()> beforeClose)
    : LoopbackHttpServer(std::move(answers), LoopbackHttpOptions{.beforeClose = beforeClose}) {}

LoopbackHttpServer::LoopbackHttpServer(std::vector<std::string> answers,
                                       LoopbackHttpOptions options)
    : options_(std::move(options)) {
    std::uint16_t port = options_.port;
    if (port == 0) {
        listener_ = bindFreeLoopbackPort(port);
    } else {
        listener_ = openTcpSocket();
        if (listener_ != kInvalidSocket && !bindSocket(listener_, options_.address, port)) {
            closeSocket(listener_);
            listener_ = kInvalidSocket;
        }
    }
    if (listener_ == kInvalidSocket || !listenSocket(listener_, 4))
        return;
    port_ = port;
    thread_ = std::thread([this, answers = std::move(answers)] { serve(answers); });
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

void LoopbackHttpServer::serve(const std::vector<std::string>& answers) {
    for (const std::string& answer : answers) {
        if (!waitReadable(listener_, options_.waitMilliseconds))
            return;
        SocketGuard connection(acceptConnection(listener_));
        if (connection.get() == kInvalidSocket)
            return;
        requests_.push_back(readRequest(connection.get()));
        const std::size_t piece = options_.pieceSize == 0 ? answer.size() : options_.pieceSize;
        for (std::size_t sent = 0; sent < answer.size(); sent += piece) {
            sendAll(connection.get(), std::string_view(answer).substr(sent, piece));
            if (options_.pieceSize != 0)
                sleepMilliseconds(1);
        }
        served_.fetch_add(1);
        if (options_.beforeClose)
            options_.beforeClose();
    }
}
