// SPDX-License-Identifier: MIT
// RFC 2617 digest arithmetic on the device's side, with OpenSSL's MD5.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using Md5Bytes = std::array<std::uint8_t, 16>;

Md5Bytes md5(std::string_view data);
std::string lowerHex(const Md5Bytes& digest);

struct DigestInputs {
    std::string_view user, realm, password, nonce, cnonce, nonceCount, qop, algorithm, method, uri;
};

// The request digest the client must send: H(A1) in its md5-sess form (raw 16 bytes of the first
// digest, then ":nonce:cnonce") when the algorithm is md5-sess in any case; H(A2) over the hash of
// an empty body when qop is auth-int in any case; nc, cnonce and qop joined in only when qop is
// not empty.
std::string expectedResponse(const DigestInputs& in);
