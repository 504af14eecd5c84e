// One GET exchange with the device's web server: connect, send, read to close, classify, and
// cut the device's identification out of the page.
#include "http/http_exchange.h"

#include <string_view>

#include "base/text.h"
#include "platform/debug_log.h"

namespace {

constexpr int kLocalPortsTried = 101;

// Writes the request into `request` (always terminated) and returns its length. Once a password
// is known every request is authorized pre-emptively from the last stored challenge.
std::size_t writeRequest(std::span<char> request, const char* path, DigestChallenge& digest) {
    std::size_t length = static_cast<std::size_t>(
        formatText(request, "GET %s HTTP/1.1\r\nHost: 192.168.2.110\r\n", path));
    if (digest.password[0] != '\0') {
        ++digest.nonceCount;
        length += buildAuthorizationHeader(request.subspan(length), digest);
    }
    length += static_cast<std::size_t>(formatText(request.subspan(length), "\r\n"));
    return length;
}

// Reads until the device closes the connection, a read fails or the buffer is full (one byte
// stays for the terminating zero), keeping the text terminated after every read.
int readAnswer(SocketHandle socket, std::span<char> buffer) {
    const std::size_t capacity = buffer.size() - 1;
    std::size_t received = 0;
    buffer[0] = '\0';
    while (received < capacity) {
        const int n = receiveBytes(
            socket, std::span(reinterpret_cast<std::uint8_t*>(buffer.data()) + received,
                              capacity - received));
        if (n <= 0)
            break;
        received += static_cast<std::size_t>(n);
        buffer[received] = '\0';
    }
    return static_cast<int>(received);
}

} // namespace

SocketHandle openDeviceConnection(const HttpEndpoints& endpoints, HttpOutcome& failure) {
    SocketGuard socket(openTcpSocket());
    if (socket.get() == kInvalidSocket) {
        failure = HttpOutcome::cannotOpenSocket;
        return kInvalidSocket;
    }

    // Another program (or an earlier connection still closing) may hold the port: try the next.
    std::uint16_t port = endpoints.localPort;
    int failures = 0;
    while (!bindSocket(socket.get(), endpoints.localAddress, port)) {
        if (++failures == kLocalPortsTried) {
            failure = HttpOutcome::cannotBindSocket;
            return kInvalidSocket;
        }
        ++port;
    }

    if (!connectSocket(socket.get(), endpoints.deviceAddress, endpoints.devicePort)) {
        failure = HttpOutcome::cannotConnect;
        return kInvalidSocket;
    }
    return socket.release();
}

HttpResult httpExchange(const HttpEndpoints& endpoints, const char* path, std::span<char> buffer,
                        DigestChallenge& digest, DeviceInfo& deviceInfo) {
    HttpOutcome failure = HttpOutcome::answered;
    SocketGuard connection(openDeviceConnection(endpoints, failure));
    if (connection.get() == kInvalidSocket)
        return {failure, 0};
    if (buffer.empty())
        return {HttpOutcome::answered, 0};

    const std::size_t requestLength = writeRequest(buffer, path, digest);
    trace("%s", buffer.data());
    sendBytes(connection.get(),
              std::span(reinterpret_cast<const std::uint8_t*>(buffer.data()), requestLength));

    const int received = readAnswer(connection.get(), buffer);
    trace("recv done: %d bytes", received);

    if (parseHttpResponse(buffer.data(), digest))
        return {HttpOutcome::challenged, received};
    if (received > 0)
        extractDeviceInfo(buffer.data(), deviceInfo);
    return {HttpOutcome::answered, received};
}

bool parseHttpResponse(const char* response, DigestChallenge& digest) {
    const std::string_view text(response);
    if (!text.starts_with("HTTP/1.1"))
        return false;
    // The character after the version (normally a blank), then any blanks and tabs.
    std::size_t at = 8;
    if (at >= text.size())
        return false;
    ++at;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    const std::string_view status = text.substr(at);
    if (status.empty() || !status.starts_with("401"))
        return false;

    const std::size_t header = status.find("WWW-Authenticate:");
    if (header == std::string_view::npos)
        return false;
    return parseDigestChallenge(status.substr(header), digest);
}
