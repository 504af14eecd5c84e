// SPDX-License-Identifier: MIT
// MD5 against RFC 1321's own vectors and digests computed by Python's hashlib.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "http/digest.h"
#include "http/md5.h"

namespace {

std::string hexOf(const std::uint8_t (&digest)[kMd5DigestSize]) {
    char hex[kDigestHexSize];
    toLowerHex(digest, hex);
    return hex;
}

// Feeds `message` in pieces of the given sizes (the last size repeats until the end).
std::string md5InPieces(const std::vector<std::uint8_t>& message, std::vector<std::size_t> sizes) {
    Md5Context context;
    md5Init(context);
    std::size_t at = 0;
    for (std::size_t i = 0; at < message.size(); ++i) {
        const std::size_t piece =
            std::min(sizes[std::min(i, sizes.size() - 1)], message.size() - at);
        md5Update(context, message.data() + at, piece);
        at += piece;
    }
    std::uint8_t digest[kMd5DigestSize];
    md5Final(digest, context);
    return hexOf(digest);
}

std::string md5Of(std::string_view text) {
    return md5InPieces(std::vector<std::uint8_t>(text.begin(), text.end()), {text.size() + 1});
}

// 128 bytes covering every value class; its digest comes from Python's hashlib.
std::vector<std::uint8_t> sampleMessage() {
    std::vector<std::uint8_t> message(128);
    for (std::size_t i = 0; i < message.size(); ++i)
        message[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return message;
}
constexpr char kSampleDigest[] = "3e93b378458b77da96b2357c3bda8cc2";

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(md5Of(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Of("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Of("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Of("1234567890123456789012345678901234567890"
                    "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PaddingBoundaries) {
    // 55, 56 and 64 bytes: the length field fits, just misses, and a whole block of padding.
    EXPECT_EQ(md5Of(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(md5Of(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(md5Of(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

TEST(Md5, PiecesGiveTheSameDigest) {
    const auto message = sampleMessage();
    EXPECT_EQ(md5InPieces(message, {128}), kSampleDigest);
    EXPECT_EQ(md5InPieces(message, {1}), kSampleDigest);
    EXPECT_EQ(md5InPieces(message, {63, 1, 64}), kSampleDigest);
    EXPECT_EQ(md5InPieces(message, {64, 64}), kSampleDigest);
    EXPECT_EQ(md5InPieces(message, {100, 28}), kSampleDigest);
    EXPECT_EQ(md5InPieces(message, {0, 5, 0, 120, 3}), kSampleDigest);
    EXPECT_EQ(md5InPieces(message, {1, 127}), kSampleDigest);
}

TEST(Md5, MillionBytesInOddPieces) {
    const std::vector<std::uint8_t> message(1000000, 'a');
    EXPECT_EQ(md5InPieces(message, {1000000}), "7707d6ae4e027c70eea2a935c2296f21");
    EXPECT_EQ(md5InPieces(message, {7, 4093}), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, ContextIsZeroAfterFinal) {
    Md5Context context;
    std::memset(&context, 0xa5, sizeof context);
    md5Init(context);
    const auto message = sampleMessage();
    md5Update(context, message.data(), 100);
    std::uint8_t digest[kMd5DigestSize];
    md5Final(digest, context);

    const auto* bytes = reinterpret_cast<const unsigned char*>(&context);
    for (std::size_t i = 0; i < sizeof context; ++i)
        ASSERT_EQ(bytes[i], 0u) << "byte " << i;
}

} // namespace
