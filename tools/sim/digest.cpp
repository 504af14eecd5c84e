// SPDX-License-Identifier: MIT
// MD5 through OpenSSL's EVP interface and the RFC 2617 request digest.
#include "digest.h"

#include <openssl/evp.h>
#include <stdexcept>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

Md5Bytes md5(std::string_view data) {
    Md5Bytes out{};
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), out.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != out.size())
        throw std::runtime_error("OpenSSL MD5 failed");
    return out;
}

std::string lowerHex(const Md5Bytes& digest) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (auto b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

std::string expectedResponse(const DigestInputs& in) {
    Md5Bytes ha1 =
        md5(std::string(in.user) + ":" + std::string(in.realm) + ":" + std::string(in.password));
    if (equalsIgnoringCase(in.algorithm, "md5-sess")) {
        std::string sess(reinterpret_cast<const char*>(ha1.data()), ha1.size());
        sess += ":" + std::string(in.nonce) + ":" + std::string(in.cnonce);
        ha1 = md5(sess);
    }
    std::string a2 = std::string(in.method) + ":" + std::string(in.uri);
    if (equalsIgnoringCase(in.qop, "auth-int"))
        a2 += ":" + lowerHex(md5(""));
    std::string request = lowerHex(ha1) + ":" + std::string(in.nonce) + ":";
    if (!in.qop.empty())
        request += std::string(in.nonceCount) + ":" + std::string(in.cnonce) + ":" +
                   std::string(in.qop) + ":";
    request += lowerHex(md5(a2));
    return lowerHex(md5(request));
}
