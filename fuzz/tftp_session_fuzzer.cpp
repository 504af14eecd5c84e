// SPDX-License-Identifier: MIT
// The transfer session fed any sequence of datagrams, from the device's own port, from another
// port of its address and from another address with its port, interleaved with proper ACKs.
// Runs the real transfer loop on a loopback socket; the fuzzer plays the device from the upload
// window's message hook (called at every idle poll), so each run is single-threaded and
// deterministic. Once the input is used up the fuzzer acknowledges like a correct device.
// Whatever came before, the session must: send only to the device, send every DATA block with
// exactly the image's bytes for its number, advance only on the device's own ACK of the block in
// flight, and finish the transfer complete.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "fuzz_check.h"
#include "tftp/tftp_packet.h"
#include "tftp/tftp_transfer.h"

namespace {

constexpr std::uint32_t kComputer = 0x7f000001; // 127.0.0.1
constexpr std::uint32_t kDevice = 0x7f000002;   // 127.0.0.2
constexpr std::uint32_t kStranger = 0x7f000003; // 127.0.0.3
constexpr std::size_t kMaxRecords = 1000;       // far below the 3,000 idle polls of a give-up
constexpr int kMaxHookCalls = 100000;

int boundUdp(std::uint32_t address, std::uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(s >= 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

std::uint16_t portOf(int s) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

struct Endpoints {
    int device = -1;       // 127.0.0.2:P, the device's transfer identifier
    int otherPort = -1;    // 127.0.0.2:Q
    int otherAddress = -1; // 127.0.0.3:P (or another port when P is taken there)
    std::uint16_t devicePort = 0;
};

const Endpoints& endpoints() {
    static Endpoints e = [] {
        Endpoints made;
        made.device = boundUdp(kDevice, 0);
        FUZZ_CHECK(made.device >= 0);
        made.devicePort = portOf(made.device);
        made.otherPort = boundUdp(kDevice, 0);
        made.otherAddress = boundUdp(kStranger, made.devicePort);
        if (made.otherAddress < 0)
            made.otherAddress = boundUdp(kStranger, 0);
        FUZZ_CHECK(made.otherPort >= 0 && made.otherAddress >= 0);
        return made;
    }();
    return e;
}

void sendFrom(int s, const std::vector<std::uint8_t>& bytes, std::uint16_t toPort) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(kComputer);
    to.sin_port = htons(toPort);
    ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

std::vector<std::uint8_t> ackOf(std::uint32_t block) {
    return {0, 4, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block)};
}

// One run's device side.
struct Run {
    std::vector<std::uint8_t> image;
    std::uint32_t blockCount = 0;
    std::uint16_t serverPort = 0;
    const std::uint8_t* records = nullptr;
    std::size_t recordBytes = 0;
    std::size_t recordsSent = 0;
    bool oackSeen = false;
    std::uint32_t latestData = 0;  // highest DATA block received
    std::vector<bool> deviceAcked; // ACKs the device has sent, by block number
    std::vector<bool> blockReceived;
    int hookCalls = 0;
};
Run* run = nullptr;

void checkFromServer(const sockaddr_in& from) {
    FUZZ_CHECK(ntohl(from.sin_addr.s_addr) == kComputer && ntohs(from.sin_port) == run->serverPort);
}

void checkOack(const std::uint8_t* p, std::size_t n) {
    std::string expected("\0\6tsize\0", 8);
    expected += std::to_string(run->image.size());
    expected += '\0';
    expected += "timeout";
    expected += '\0';
    expected += "5";
    expected += '\0';
    FUZZ_CHECK(n == expected.size() && std::memcmp(p, expected.data(), n) == 0);
    FUZZ_CHECK(run->deviceAcked.size() > 0);
}

void checkData(const std::uint8_t* p, std::size_t n) {
    FUZZ_CHECK(n >= 4 && n <= 4 + kTftpBlockSize);
    const std::uint32_t block = p[2] << 8 | p[3];
    FUZZ_CHECK(block >= 1 && block <= run->blockCount);
    // Block n leaves only after the device itself acknowledged block n - 1.
    FUZZ_CHECK(run->deviceAcked[block - 1]);
    const std::size_t offset = std::size_t{block - 1} * kTftpBlockSize;
    const std::size_t length =
        block == run->blockCount ? run->image.size() - offset : std::size_t{kTftpBlockSize};
    FUZZ_CHECK(n - 4 == length);
    FUZZ_CHECK(length == 0 || std::memcmp(p + 4, run->image.data() + offset, length) == 0);
    run->blockReceived[block] = true;
    if (block > run->latestData)
        run->latestData = block;
}

// Everything the session sent since the last look: to the device only.
void collect() {
    const Endpoints& e = endpoints();
    std::uint8_t buffer[2048];
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(e.device, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0)
            break;
        checkFromServer(from);
        FUZZ_CHECK(n >= 2 && buffer[0] == 0);
        if (buffer[1] == kTftpOack) {
            checkOack(buffer, static_cast<std::size_t>(n));
            run->oackSeen = true;
        } else {
            FUZZ_CHECK(buffer[1] == kTftpData);
            checkData(buffer, static_cast<std::size_t>(n));
        }
    }
    for (int stranger : {e.otherPort, e.otherAddress})
        FUZZ_CHECK(::recv(stranger, buffer, sizeof buffer, 0) < 0); // never answered
}

void deviceSends(int s, const std::vector<std::uint8_t>& bytes) {
    if (s == endpoints().device && bytes.size() >= 4 && bytes.size() <= kTftpPacketSize &&
        bytes[0] == 0 && bytes[1] == kTftpAck) {
        const std::uint32_t block = bytes[2] << 8 | bytes[3];
        if (block < run->deviceAcked.size())
            run->deviceAcked[block] = true;
    }
    sendFrom(s, bytes, run->serverPort);
}

// The upload window's message hook: one step of the device per idle poll of the session.
bool deviceStep() {
    FUZZ_CHECK(++run->hookCalls < kMaxHookCalls);
    collect();
    const Endpoints& e = endpoints();
    const std::vector<std::uint8_t> properAck = ackOf(run->latestData);
    if (run->recordsSent < kMaxRecords && run->recordBytes >= 2) {
        const std::uint8_t flags = run->records[0];
        const std::size_t length = std::min<std::size_t>(run->records[1], run->recordBytes - 2);
        std::vector<std::uint8_t> bytes(run->records + 2, run->records + 2 + length);
        run->records += 2 + length;
        run->recordBytes -= 2 + length;
        ++run->recordsSent;
        if (flags & 4)
            bytes.resize(bytes.size() + kTftpPacketSize, 0); // too large to be received
        switch (flags & 3) {
        case 0:
            deviceSends(e.device, bytes);
            break;
        case 1:
            deviceSends(e.otherPort, bytes);
            break;
        case 2:
            deviceSends(e.otherAddress, bytes);
            break;
        default:
            deviceSends(e.device, properAck);
            break;
        }
    } else if (run->oackSeen) {
        deviceSends(e.device, properAck); // a correct device from here on
    }
    return false; // never Cancel
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 4096)
        return 0;
    const Endpoints& e = endpoints();
    Run current;
    run = &current;
    const std::uint32_t imageSize = (data[0] << 8 | data[1]) % 1600; // 0 to 3 whole blocks and more
    current.image.resize(imageSize);
    for (std::uint32_t i = 0; i < imageSize; ++i)
        current.image[i] = static_cast<std::uint8_t>(i * 7 + i / kTftpBlockSize);
    current.records = data + 2;
    current.recordBytes = size - 2;

    const int server = boundUdp(kComputer, 0);
    FUZZ_CHECK(server >= 0);
    current.serverPort = portOf(server);
    // Leftovers of an earlier run must not count for this one.
    std::uint8_t scratch[2048];
    for (int s : {e.device, e.otherPort, e.otherAddress})
        while (::recv(s, scratch, sizeof scratch, 0) >= 0) {
        }

    TftpSession session{};
    session.socket = static_cast<SocketHandle>(server);
    session.peerAddress = kDevice;
    session.peerPort = e.devicePort;
    setTftpImageGeometry(session, current.image);
    current.blockCount = session.blockCount;
    current.deviceAcked.assign(session.blockCount + 1, false);
    current.blockReceived.assign(session.blockCount + 1, false);

    TransferHooks hooks;
    hooks.acknowledged = [](std::uint32_t, std::uint32_t) {};
    hooks.periodic = [] { return deviceStep(); };
    hooks.stopRequested = [] { return false; };
    // Closes the server socket.
    const bool complete = transferTftpImage(session, hooks) == TransferOutcome::complete;
    collect();

    FUZZ_CHECK(complete);
    FUZZ_CHECK(session.blockCounter == session.blockCount + 1);
    FUZZ_CHECK(session.bytesAcknowledged == imageSize);
    for (std::uint32_t block = 1; block <= session.blockCount; ++block)
        FUZZ_CHECK(current.blockReceived[block]);
    run = nullptr;
    return 0;
}
