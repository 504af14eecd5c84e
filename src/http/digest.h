// SPDX-License-Identifier: MIT
// HTTP Digest authentication (RFC 2617) against the device: the authentication state, reading a
// challenge into it and writing the Authorization line of each request from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "http/md5.h"

// The authentication state: the device's last challenge, the credentials the user gave and the
// nonce count. Field order and sizes as the device exchange expects; every text is terminated
// inside its field (values longer than a field are cut at it).
struct DigestChallenge {
    std::uint32_t nonceCount;
    char lastNonce[128];
    char nonce[128];
    char cnonce[128];
    char userName[128];
    char password[128];
    char realm[128];
    char qop[16];
    char algorithm[16];
    char uri[128]; // always empty: the device is sent an empty digest URI
    char opaque[128];
};
static_assert(sizeof(DigestChallenge) == 1060);

// 32 lower-case hexadecimal digits and a terminating zero.
inline constexpr std::size_t kDigestHexSize = 2 * kMd5DigestSize + 1;

// Reads the challenge from `text` (a Digest challenge up to the end of the answer's head) into
// `digest`, drawing a fresh client nonce. True when both a quoted realm and a quoted nonce were
// found and the algorithm, if named, is MD5 or MD5-sess (a challenge naming another changes
// nothing); a nonce other than the last one starts the count afresh. Of a qop list one value is
// kept: auth when offered, else auth-int.
bool parseDigestChallenge(std::string_view text, DigestChallenge& digest);

// The request digest of RFC 2617 section 3.2.2.1. An empty qop selects the form without
// nonce count, cnonce and qop; "md5-sess" and "auth-int" (any letter case) select their forms.
void computeDigestResponse(std::string_view nonce, std::string_view cnonce,
                           std::string_view userName, std::string_view realm,
                           std::string_view password, std::string_view algorithm,
                           std::string_view nonceCountText, std::string_view method,
                           std::string_view qop, std::string_view uri, std::string_view entityBody,
                           std::span<char, kDigestHexSize> response);

// Writes the whole "Authorization: Digest ...\r\n" line from the stored challenge and the
// current nonce count, followed by a terminating zero, and returns its length. When the line
// does not fit in `dest` nothing is written (dest holds the empty text) and 0 is returned.
std::size_t buildAuthorizationHeader(std::span<char> dest, const DigestChallenge& digest);

void toLowerHex(std::span<const std::uint8_t, kMd5DigestSize> digest,
                std::span<char, kDigestHexSize> hex);
