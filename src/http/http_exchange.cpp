// One GET exchange with the device's web server: connect, send, read to close, classify, and
// cut the device's identification out of the page.
#include "http/http_exchange.h"

#include <cstring>
#include <span>
#include <string_view>

#include "app/context.h"
#include "app/failure.h"
#include "app/text.h"
#include "http/digest.h"
#include "ui/messages.h"

namespace {

// The device's page labels, in the order of the DeviceInfo fields they fill.
constexpr int kFirstLabel = 4;
constexpr int kPageValueLimit = 127;

// Writes the request into `request` (always terminated) and returns its length. Once a password
// is known every request is authorized pre-emptively from the last stored challenge.
std::size_t writeRequest(std::span<char> request, const char* path) {
    std::size_t length = static_cast<std::size_t>(
        formatText(request, "GET %s HTTP/1.1\r\nHost: 192.168.2.110\r\n", path));
    DigestChallenge& digest = upgradeContext.digest;
    if (digest.password[0] != '\0') {
        ++digest.nonceCount;
        length += buildAuthorizationHeader(request.subspan(length));
    }
    length += static_cast<std::size_t>(formatText(request.subspan(length), "\r\n"));
    return length;
}

// Reads until the device closes the connection, a read fails or `size` bytes have arrived,
// keeping the text terminated after every read.
int readAnswer(SocketHandle socket, char* buffer, int size) {
    int received = 0;
    buffer[0] = '\0';
    while (received < size) {
        const int n =
            receiveBytes(socket, std::span(reinterpret_cast<std::uint8_t*>(buffer) + received,
                                           static_cast<std::size_t>(size - received)));
        if (n <= 0)
            break;
        received += n;
        buffer[received] = '\0';
    }
    return received;
}

void extractDeviceInfo(const char* page) {
    DeviceInfo& info = upgradeContext.deviceInfo;
    char* const fields[] = {info.deviceProductName, info.macAddress, info.softwareVersion,
                            info.hardwareVersion, info.serialNumber};
    static_assert(sizeof info.deviceProductName > kPageValueLimit);
    for (int i = 0; i < 5; ++i)
        extractPageValue(page, messageTexts[kFirstLabel + i], fields[i], kPageValueLimit);
}

} // namespace

SocketHandle openDeviceConnection(std::uint32_t localAddress, std::uint16_t localPort,
                                  std::uint32_t deviceAddress, std::uint16_t devicePort) {
    const SocketHandle socket = openTcpSocket();
    if (socket == kInvalidSocket)
        failUpgrade(kErrorHttpSocket);

    // Another program (or an earlier connection still closing) may hold the port: try the next,
    // 101 ports in all.
    int failures = 0;
    std::uint16_t port = localPort;
    while (!bindSocket(socket, localAddress, port)) {
        if (++failures >= 101)
            failUpgrade(kErrorHttpBind);
        ++port;
    }

    if (!connectSocket(socket, deviceAddress, devicePort))
        failUpgrade(kErrorConnect);
    return socket;
}

int httpExchange(std::uint32_t localAddress, std::uint16_t localPort, std::uint32_t deviceAddress,
                 std::uint16_t devicePort, const char* path, char* buffer, int size) {
    SocketGuard connection(
        openDeviceConnection(localAddress, localPort, deviceAddress, devicePort));
    if (size < 0)
        size = 0;

    const std::size_t requestLength =
        writeRequest(std::span(buffer, static_cast<std::size_t>(size) + 1), path);
    trace("%s", buffer);
    sendBytes(connection.get(),
              std::span(reinterpret_cast<const std::uint8_t*>(buffer), requestLength));

    const int received = readAnswer(connection.get(), buffer, size);
    trace("recv done\n");
    trace("%s", buffer);
    trace("\n");

    if (parseHttpResponse(buffer))
        return -1;
    if (received > 0)
        extractDeviceInfo(buffer);
    return received;
}

bool parseHttpResponse(const char* response) {
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
    return parseDigestChallenge(status.substr(header));
}

bool extractPageValue(const char* page, const char* label, char* dest, int limit) {
    const std::string_view text(page);
    std::size_t p = text.find(label);
    if (p == std::string_view::npos)
        return false;

    // Step over the label's own closing tag and any run of adjacent tags.
    do {
        const std::size_t close = text.find('>', p);
        if (close == std::string_view::npos)
            return false;
        p = close + 1;
    } while (p < text.size() && text[p] == '<');

    const std::string_view rest = text.substr(p);
    std::string_view value = rest.substr(0, rest.find('<'));
    if (limit < 0)
        limit = 0;
    if (value.size() > static_cast<std::size_t>(limit))
        value = value.substr(0, static_cast<std::size_t>(limit));
    std::memcpy(dest, value.data(), value.size());
    dest[value.size()] = '\0';
    return true;
}
