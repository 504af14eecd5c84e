// SPDX-License-Identifier: MIT
// One GET exchange with the device's web server: connect, send, read to close, classify, and
// cut the device's identification out of the page.
#include "http/http_exchange.h"

#include <optional>
#include <string_view>

#include "base/text.h"
#include "http/http_answer.h"
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

// A device that closes after its answer (as the TOV does) is given a moment to do so before the
// program closes: whoever closes first keeps the connection's port in TIME_WAIT, and the program
// has only 101 local ports. Bytes beyond the answer are not waited for.
void awaitDeviceClose(SocketHandle socket) {
    constexpr std::uint32_t kCloseGraceMilliseconds = 250;
    std::uint8_t discard[512];
    if (waitReadable(socket, kCloseGraceMilliseconds))
        receiveBytes(socket, discard);
}

// Reads until the answer is complete: as long as its Content-Length says, to its last chunk, or
// else until the device closes the connection; or until a read fails or the buffer is full (one
// byte stays for the terminating zero). Returns the length of the answer's text.
std::size_t readAnswer(SocketHandle socket, std::span<char> buffer) {
    AnswerAssembly answer = startAnswer(buffer);
    for (std::span<char> room = answerRoom(answer); !room.empty(); room = answerRoom(answer)) {
        const int n = receiveBytes(
            socket, std::span(reinterpret_cast<std::uint8_t*>(room.data()), room.size()));
        if (n <= 0)
            break;
        answerArrived(answer, static_cast<std::size_t>(n));
    }
    if (answer.complete)
        awaitDeviceClose(socket);
    return finishAnswer(answer);
}

// Where the Digest challenge begins in a WWW-Authenticate value: at the scheme word "Digest"
// (any letter case) that opens the value or follows a comma outside quotes. Other schemes'
// challenges before it lend it nothing.
std::optional<std::size_t> digestSchemeAt(std::string_view value) {
    bool quoted = false;
    bool challengeMayStart = true;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            quoted = !quoted;
            challengeMayStart = false;
        } else if (!quoted && c == ',') {
            challengeMayStart = true;
        } else if (c != ' ' && c != '\t') {
            // The word ends at a blank or with the value; checked only once it is six long.
            if (!quoted && challengeMayStart && equalsIgnoringCase(value.substr(i, 6), "Digest") &&
                (i + 6 == value.size() || value[i + 6] == ' ' || value[i + 6] == '\t'))
                return i;
            challengeMayStart = false;
        }
    }
    return std::nullopt;
}

// The text from the Digest scheme of the first WWW-Authenticate header (name in any letter case)
// that carries one, to the end of the head; none when no header offers Digest.
std::optional<std::string_view> digestChallengeIn(std::string_view head) {
    std::size_t lineEnd = head.find("\r\n");
    while (lineEnd != std::string_view::npos && lineEnd + 2 < head.size()) {
        const std::size_t lineStart = lineEnd + 2;
        const std::string_view rest = head.substr(lineStart);
        const std::string_view line = rest.substr(0, rest.find("\r\n"));
        lineEnd = head.find("\r\n", lineStart);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !equalsIgnoringCase(line.substr(0, colon), "WWW-Authenticate"))
            continue;
        if (const auto scheme = digestSchemeAt(line.substr(colon + 1)))
            return head.substr(lineStart + colon + 1 + *scheme);
    }
    return std::nullopt;
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
        return {failure, 0, 0};
    if (buffer.empty())
        return {HttpOutcome::answered, 0, 0};

    const std::size_t requestLength = writeRequest(buffer, path, digest);
    trace("%s", buffer.data());
    sendBytes(connection.get(),
              std::span(reinterpret_cast<const std::uint8_t*>(buffer.data()), requestLength));

    const int received = static_cast<int>(readAnswer(connection.get(), buffer));
    trace("recv done: %d bytes", received);

    const std::string_view text(buffer.data());
    const int status = answerStatus(text.substr(0, text.find("\r\n"))).value_or(0);
    switch (classifyAnswer(buffer.data(), digest)) {
    case AnswerKind::challenge:
        return {HttpOutcome::challenged, received, status};
    case AnswerKind::unanswerableChallenge:
        return {HttpOutcome::authUnsupported, received, status};
    case AnswerKind::page:
        break;
    }
    if (received > 0)
        extractDeviceInfo(buffer.data(), deviceInfo);
    return {HttpOutcome::answered, received, status};
}

AnswerKind classifyAnswer(const char* response, DigestChallenge& digest) {
    // The challenge is read from the head alone: nothing in the body is taken for a header.
    std::string_view text(response);
    text = text.substr(0, text.find("\r\n\r\n"));
    if (!text.starts_with("HTTP/1.1"))
        return AnswerKind::page;
    // The character after the version (normally a blank), then any blanks and tabs.
    std::size_t at = 8;
    if (at >= text.size())
        return AnswerKind::page;
    ++at;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    if (!text.substr(at).starts_with("401"))
        return AnswerKind::page;

    // A 401 is never the page: either its Digest challenge is answered, or the upgrade ends.
    const auto challenge = digestChallengeIn(text);
    if (challenge && parseDigestChallenge(*challenge, digest))
        return AnswerKind::challenge;
    return AnswerKind::unanswerableChallenge;
}
