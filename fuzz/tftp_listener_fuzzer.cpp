// SPDX-License-Identifier: MIT
// Any datagram reaching the waiting listener: its opcode, the requested name and the decision
// to start the transfer, read only within the received bytes (the buffer is exactly the
// datagram). Only an RRQ naming exactly the offered file, NUL included, starts a transfer.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "tftp/tftp_listener.h"
#include "tftp/tftp_packet.h"

namespace {
bool referenceMatch(const std::vector<std::uint8_t>& d, std::string_view name) {
    if (d.size() < 2 + name.size() + 1 || d[0] != 0 || d[1] != 1)
        return false;
    return std::memcmp(d.data() + 2, name.data(), name.size()) == 0 && d[2 + name.size()] == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kTftpPacketSize)
        return 0; // the listener's receive fails for larger datagrams
    const std::vector<std::uint8_t> datagram(data, data + size);
    const std::span<const std::uint8_t> received(datagram);

    const std::uint16_t opcode = tftpOpcode(received);
    FUZZ_CHECK(size >= 2 ? opcode == (data[0] << 8 | data[1]) : opcode == 0);

    const auto name = tftpRequestedName(received);
    if (name) {
        FUZZ_CHECK(name->data() == reinterpret_cast<const char*>(datagram.data() + 2));
        FUZZ_CHECK(2 + name->size() < size && datagram[2 + name->size()] == 0);
        FUZZ_CHECK(std::memchr(name->data(), 0, name->size()) == nullptr);
    } else {
        FUZZ_CHECK(size < 3 || std::memchr(datagram.data() + 2, 0, size - 2) == nullptr);
    }

    const auto ack = tftpAckBlock(received);
    FUZZ_CHECK(ack.has_value() == (size >= 4 && opcode == kTftpAck));
    if (ack)
        FUZZ_CHECK(*ack == (data[2] << 8 | data[3]));

    for (std::string_view offered : {"/tov1a2b.bin", "/tov0.bin", "/tov7fff.bin"})
        FUZZ_CHECK(isOfferedFileRequest(received, offered) == referenceMatch(datagram, offered));
    return 0;
}
