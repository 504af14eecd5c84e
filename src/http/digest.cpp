// SPDX-License-Identifier: MIT
// Digest authentication: challenge parsing, request digest and the Authorization line.
#include "http/digest.h"

#include <cstring>
#include <initializer_list>

#include "base/random.h"
#include "base/text.h"

namespace {

// The value of `name="..."` (first occurrence, case-sensitive) up to the next quote or the end
// of the text, and never past a control character: a CR or LF inside the quotes must not carry
// a header line into a later request. A parameter written without quotes is not found.
bool findQuotedValue(std::string_view text, std::string_view nameWithQuote,
                     std::string_view& value) {
    const std::size_t at = text.find(nameWithQuote);
    if (at == std::string_view::npos)
        return false;
    const std::string_view rest = text.substr(at + nameWithQuote.size());
    value = rest.substr(0, rest.find('"'));
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c < 0x20 || c == 0x7f) {
            value = value.substr(0, i);
            break;
        }
    }
    return true;
}

// Stores the value in a fixed field, cut at the field's size; the empty text when absent.
template <std::size_t N>
void storeQuotedValue(std::string_view text, std::string_view name, char (&field)[N]) {
    std::string_view value;
    if (!findQuotedValue(text, name, value))
        value = {};
    copyText(field, value);
}

// The one quality of protection answered from the offered list ("auth,auth-int"): auth when
// offered, else auth-int; a value that names neither is taken whole, as offered.
std::string_view chosenQop(std::string_view offered) {
    std::string_view authInt;
    for (std::string_view rest = offered; !rest.empty();) {
        const std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (equalsIgnoringCase(item, "auth"))
            return item;
        if (authInt.empty() && equalsIgnoringCase(item, "auth-int"))
            authInt = item;
    }
    return authInt.empty() ? offered : authInt;
}

// MD5 of the pieces, joined by single colons.
void md5Joined(std::span<std::uint8_t, kMd5DigestSize> digest,
               std::initializer_list<std::string_view> pieces) {
    Md5Context context;
    md5Init(context);
    bool first = true;
    for (std::string_view piece : pieces) {
        if (!first)
            md5Update(context, ":", 1);
        md5Update(context, piece.data(), piece.size());
        first = false;
    }
    md5Final(digest, context);
}

std::string_view hexView(std::span<const char, kDigestHexSize> hex) {
    return {hex.data(), kDigestHexSize - 1};
}

} // namespace

bool parseDigestChallenge(std::string_view text, DigestChallenge& digest) {
    std::string_view value;
    // Only MD5 and MD5-sess can be answered: a challenge naming another algorithm changes nothing.
    if (findQuotedValue(text, "algorithm=\"", value) && !value.empty() &&
        !equalsIgnoringCase(value, "MD5") && !equalsIgnoringCase(value, "MD5-sess"))
        return false;

    if (!findQuotedValue(text, "realm=\"", value))
        return false;
    copyText(digest.realm, value);

    if (!findQuotedValue(text, "nonce=\"", value))
        return false;
    copyText(digest.nonce, value);

    // A new nonce starts counting afresh; the same nonce again means the count goes on.
    if (textIn(digest.nonce) != textIn(digest.lastNonce)) {
        copyText(digest.lastNonce, textIn(digest.nonce));
        digest.nonceCount = 0;
    }

    formatText(digest.cnonce, "%x", static_cast<unsigned>(drawRandom()));

    storeQuotedValue(text, "algorithm=\"", digest.algorithm);
    if (!findQuotedValue(text, "qop=\"", value))
        value = {};
    copyText(digest.qop, chosenQop(value));
    storeQuotedValue(text, "opaque=\"", digest.opaque);
    return true;
}

void computeDigestResponse(std::string_view nonce, std::string_view cnonce,
                           std::string_view userName, std::string_view realm,
                           std::string_view password, std::string_view algorithm,
                           std::string_view nonceCountText, std::string_view method,
                           std::string_view qop, std::string_view uri, std::string_view entityBody,
                           std::span<char, kDigestHexSize> response) {
    std::uint8_t hash[kMd5DigestSize];
    char ha1[kDigestHexSize];
    char ha2[kDigestHexSize];

    md5Joined(hash, {userName, realm, password});
    if (equalsIgnoringCase(algorithm, "md5-sess")) {
        // The session key hashes the raw bytes of the first digest, not its hex text.
        const std::string_view raw(reinterpret_cast<const char*>(hash), sizeof hash);
        std::uint8_t sessionHash[kMd5DigestSize];
        md5Joined(sessionHash, {raw, nonce, cnonce});
        std::memcpy(hash, sessionHash, sizeof hash);
    }
    toLowerHex(hash, ha1);

    if (equalsIgnoringCase(qop, "auth-int")) {
        char bodyHex[kDigestHexSize];
        md5Joined(hash, {entityBody});
        toLowerHex(hash, bodyHex);
        md5Joined(hash, {method, uri, hexView(bodyHex)});
    } else {
        md5Joined(hash, {method, uri});
    }
    toLowerHex(hash, ha2);

    if (qop.empty())
        md5Joined(hash, {hexView(ha1), nonce, hexView(ha2)});
    else
        md5Joined(hash, {hexView(ha1), nonce, nonceCountText, cnonce, qop, hexView(ha2)});
    toLowerHex(hash, response);
}

std::size_t buildAuthorizationHeader(std::span<char> dest, const DigestChallenge& digest) {
    char nonceCountText[16] = "";
    if (digest.qop[0] != '\0')
        formatText(nonceCountText, "%09x", static_cast<unsigned>(digest.nonceCount));

    char response[kDigestHexSize];
    computeDigestResponse(textIn(digest.nonce), textIn(digest.cnonce), textIn(digest.userName),
                          textIn(digest.realm), textIn(digest.password), textIn(digest.algorithm),
                          nonceCountText, "GET", textIn(digest.qop), textIn(digest.uri), "",
                          response);

    // The line goes into dest only whole: a cut header line would never be sent.
    std::size_t length = 0;
    bool fits = true;
    const auto append = [&](std::string_view piece) {
        if (!fits || piece.size() + 1 > dest.size() - length) {
            fits = false;
            return;
        }
        std::memcpy(dest.data() + length, piece.data(), piece.size());
        length += piece.size();
    };
    append("Authorization: Digest username=\"");
    append(textIn(digest.userName));
    append("\",realm=\"");
    append(textIn(digest.realm));
    append("\",nonce=\"");
    append(textIn(digest.nonce));
    append("\",uri=\"");
    append(textIn(digest.uri));
    append("\",algorithm=\"");
    append(textIn(digest.algorithm));
    append("\",response=\"");
    append(hexView(response));
    append("\"");
    if (digest.opaque[0] != '\0') {
        append(",opaque=\"");
        append(textIn(digest.opaque));
        append("\"");
    }
    if (digest.qop[0] != '\0') {
        append(",qop=");
        append(textIn(digest.qop));
        append(",nc=");
        append(nonceCountText);
        append(",cnonce=\"");
        append(textIn(digest.cnonce));
        append("\"");
    }
    append("\r\n");

    if (dest.empty())
        return 0;
    if (!fits)
        length = 0;
    dest[length] = '\0';
    return length;
}

void toLowerHex(std::span<const std::uint8_t, kMd5DigestSize> digest,
                std::span<char, kDigestHexSize> hex) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < kMd5DigestSize; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 0x0f];
    }
    hex[2 * kMd5DigestSize] = '\0';
}
