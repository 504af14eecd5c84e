// SPDX-License-Identifier: MIT
// The Authorization line built from any challenge the device may send, with any credentials the
// user may type, into a request buffer of any size: the line is whole or absent, never past the
// buffer, and always carries a 32-digit response.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "fuzz_check.h"
#include "http/digest.h"
#include "http/http_exchange.h"
#include "ui/dialog_logic.h"

namespace {
// The next piece of the input up to a zero byte (which is consumed).
std::string_view takePiece(std::string_view& rest) {
    const std::size_t end = std::min(rest.find('\0'), rest.size());
    const std::string_view piece = rest.substr(0, end);
    rest.remove_prefix(std::min(rest.size(), end + 1));
    return piece;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > 8192)
        return 0;
    const std::uint32_t nonceCount = data[0] * 0x01010101u;
    // A buffer of 0 to 1023 bytes, or one as large as the request part of the response buffer.
    const std::size_t destSize = data[1] & 1 ? 4096 : (data[1] * 4u + data[2]) % 1024;
    std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::string_view user = takePiece(rest);
    const std::string_view password = takePiece(rest);

    DigestChallenge stored{};
    std::string response = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest ";
    response.append(rest);
    if (classifyAnswer(response.c_str(), stored) != AnswerKind::challenge)
        return 0;
    Credentials credentials{};
    storeCredentials(user, password, credentials);
    copyText(stored.userName, textIn(credentials.userName));
    copyText(stored.password, textIn(credentials.password));
    stored.nonceCount = nonceCount;

    std::vector<char> dest(destSize, '\x7f');
    const std::size_t length = buildAuthorizationHeader(dest, stored);
    if (dest.empty()) {
        FUZZ_CHECK(length == 0);
        return 0;
    }
    FUZZ_CHECK(length < dest.size());
    FUZZ_CHECK(std::strlen(dest.data()) == length);
    // Every field is bounded, so the longest possible line fits the large buffer.
    if (destSize == 4096)
        FUZZ_CHECK(length > 0);
    if (length == 0)
        return 0;
    const std::string_view line(dest.data(), length);
    // The directives in their fixed order, each value exactly as stored, then the digest.
    std::string prefix = "Authorization: Digest username=\"";
    prefix.append(textIn(stored.userName)).append("\",realm=\"").append(textIn(stored.realm));
    prefix.append("\",nonce=\"").append(textIn(stored.nonce)).append("\",uri=\"\",algorithm=\"");
    prefix.append(textIn(stored.algorithm)).append("\",response=\"");
    FUZZ_CHECK(line.starts_with(prefix));
    FUZZ_CHECK(line.ends_with("\r\n"));
    const std::string_view digest = line.substr(prefix.size(), 33);
    FUZZ_CHECK(digest.size() == 33 && digest[32] == '"');
    for (char c : digest.substr(0, 32))
        FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    if (stored.qop[0] != '\0') {
        char nc[32];
        formatText(nc, ",nc=%09x,cnonce=\"", static_cast<unsigned>(nonceCount));
        FUZZ_CHECK(line.find(nc) != std::string_view::npos);
    } else {
        FUZZ_CHECK(line.ends_with("\"\r\n"));
    }
    return 0;
}
