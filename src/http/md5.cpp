// SPDX-License-Identifier: MIT
// MD5 as RFC 1321 defines it: four rounds of sixteen steps over 64-byte blocks.
#include "http/md5.h"

#include <cstring>

namespace {

constexpr std::uint32_t rotateLeft(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

constexpr std::uint32_t roundF(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & y) | (~x & z);
}
constexpr std::uint32_t roundG(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & z) | (y & ~z);
}
constexpr std::uint32_t roundH(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return x ^ y ^ z;
}
constexpr std::uint32_t roundI(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return y ^ (x | ~z);
}

// The additive constants: the integer part of 2^32 * |sin(i)|, i = 1 ... 64.
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Rotation amounts, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

std::uint32_t loadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void storeLe32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

void transform(std::uint32_t state[4], const std::uint8_t* block) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = loadLe32(block + 4 * i);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int step = 0; step < 64; ++step) {
        const int round = step / 16;
        std::uint32_t f;
        int word;
        switch (round) {
        case 0:
            f = roundF(b, c, d);
            word = step;
            break;
        case 1:
            f = roundG(b, c, d);
            word = (5 * step + 1) % 16;
            break;
        case 2:
            f = roundH(b, c, d);
            word = (3 * step + 5) % 16;
            break;
        default:
            f = roundI(b, c, d);
            word = (7 * step) % 16;
            break;
        }
        const std::uint32_t rotated =
            b + rotateLeft(a + f + x[word] + kSine[step], kShift[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b = rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

void md5Init(Md5Context& context) {
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.count[0] = 0;
    context.count[1] = 0;
}

void md5Update(Md5Context& context, const void* input, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    const std::size_t buffered = (context.count[0] >> 3) & 0x3f;

    // The bit count runs modulo 2^64, carried from the low word into the high one.
    const auto addedLow = static_cast<std::uint32_t>(length << 3);
    context.count[0] += addedLow;
    if (context.count[0] < addedLow)
        ++context.count[1];
    context.count[1] += static_cast<std::uint32_t>(length >> 29);

    std::size_t used = 0;
    const std::size_t room = 64 - buffered;
    if (length >= room) {
        if (buffered != 0) {
            std::memcpy(context.buffer + buffered, bytes, room);
            transform(context.state, context.buffer);
            used = room;
        }
        for (; length - used >= 64; used += 64)
            transform(context.state, bytes + used);
        std::memcpy(context.buffer, bytes + used, length - used);
    } else if (length != 0) {
        std::memcpy(context.buffer + buffered, bytes, length);
    }
}

void md5Final(std::span<std::uint8_t, kMd5DigestSize> digest, Md5Context& context) {
    std::uint8_t bitCount[8];
    storeLe32(bitCount, context.count[0]);
    storeLe32(bitCount + 4, context.count[1]);

    // A 0x80 byte, zeros up to 56 modulo 64, then the 64-bit bit count.
    static constexpr std::uint8_t kPadding[64] = {0x80};
    const std::size_t buffered = (context.count[0] >> 3) & 0x3f;
    const std::size_t padLength = buffered < 56 ? 56 - buffered : 120 - buffered;
    md5Update(context, kPadding, padLength);
    md5Update(context, bitCount, sizeof bitCount);

    for (int i = 0; i < 4; ++i)
        storeLe32(digest.data() + 4 * i, context.state[i]);
    std::memset(&context, 0, sizeof context);
}
