// One GET exchange with the device's web server: connect, send, read to close, classify, and
// cut the device's identification out of the page.
#include "http/http_exchange.h"

#include <optional>
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

// The whole answer's length from a complete head that carries Content-Length; none when the head
// has none (the answer then ends at the device's close) or a value that is not a plain number.
std::optional<std::size_t> announcedLength(std::string_view head) {
    constexpr std::size_t kMostBody = 1u << 30; // far beyond any buffer; keeps the sum small
    std::size_t lineStart = head.find("\r\n");
    while (lineStart != std::string_view::npos && lineStart + 2 < head.size()) {
        const std::string_view rest = head.substr(lineStart + 2);
        const std::string_view line = rest.substr(0, rest.find("\r\n"));
        lineStart = head.find("\r\n", lineStart + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !equalsIgnoringCase(line.substr(0, colon), "Content-Length"))
            continue;
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        std::size_t length = 0;
        for (const char c : value) {
            if (c < '0' || c > '9' || length > kMostBody)
                return std::nullopt;
            length = length * 10 + static_cast<std::size_t>(c - '0');
        }
        if (value.empty() || length > kMostBody)
            return std::nullopt;
        return head.size() + 2 + length; // the head, the empty line, the body
    }
    return std::nullopt;
}

// A device that closes after its answer (as the TOV does) is given a moment to do so before the
// program closes: whoever closes first keeps the connection's port in TIME_WAIT, and the program
// has only 101 local ports. Bytes beyond the answer are not waited for.
void awaitDeviceClose(SocketHandle socket) {
    constexpr std::uint32_t kCloseGraceMilliseconds = 250;
    std::uint8_t discard[512];
    if (waitReadable(socket, kCloseGraceMilliseconds))
        receiveBytes(socket, discard);
}

// Reads until the answer is complete: as long as its Content-Length says, or else until the
// device closes the connection; or until a read fails or the buffer is full (one byte stays for
// the terminating zero). The text stays terminated after every read.
int readAnswer(SocketHandle socket, std::span<char> buffer) {
    const std::size_t capacity = buffer.size() - 1;
    std::size_t received = 0;
    std::size_t headSearchedTo = 0;
    std::optional<std::size_t> complete;
    bool headSeen = false;
    buffer[0] = '\0';
    while (received < capacity && (!complete || received < *complete)) {
        const int n = receiveBytes(
            socket, std::span(reinterpret_cast<std::uint8_t*>(buffer.data()) + received,
                              capacity - received));
        if (n <= 0)
            break;
        received += static_cast<std::size_t>(n);
        buffer[received] = '\0';
        if (!headSeen) {
            // Only the new bytes (and the three before them) can complete the empty line.
            const std::string_view text(buffer.data(), received);
            const std::size_t end = text.find("\r\n\r\n", headSearchedTo);
            headSearchedTo = received < 3 ? 0 : received - 3;
            if (end != std::string_view::npos) {
                headSeen = true;
                complete = announcedLength(text.substr(0, end + 2));
            }
        }
    }
    if (complete && received >= *complete)
        awaitDeviceClose(socket);
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
    // The challenge is read from the head alone: nothing in the body is taken for a header.
    std::string_view text(response);
    text = text.substr(0, text.find("\r\n\r\n"));
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
