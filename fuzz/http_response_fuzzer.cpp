// Any bytes the device may send as an answer, classified as the exchange does: a zero-terminated
// text of up to the response buffer's capacity. A demand is only ever reported for a 401 with a
// quoted realm and nonce, and the stored challenge stays inside its fields.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "fuzz_check.h"
#include "http/http_exchange.h"

namespace {
void checkTerminated(std::span<const char> field) {
    FUZZ_CHECK(std::memchr(field.data(), '\0', field.size()) != nullptr);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 131071 /* the response buffer less its zero */)
        return 0;
    // Exactly the received bytes and their terminator, so any read past them is caught.
    std::vector<char> response(size + 1);
    std::memcpy(response.data(), data, size);
    response[size] = '\0';

    DigestChallenge digest{};
    copyText(digest.lastNonce, "previous-nonce");
    digest.nonceCount = 7;

    const bool demand = parseHttpResponse(response.data(), digest);
    const std::string_view text(response.data());
    if (demand) {
        FUZZ_CHECK(text.starts_with("HTTP/1.1"));
        FUZZ_CHECK(text.find("401") != std::string_view::npos);
        FUZZ_CHECK(text.find("WWW-Authenticate:") != std::string_view::npos);
        FUZZ_CHECK(text.find("realm=\"") != std::string_view::npos);
        FUZZ_CHECK(text.find("nonce=\"") != std::string_view::npos);
        // A changed nonce restarts the count; the same one keeps it.
        if (textIn(digest.nonce) == "previous-nonce")
            FUZZ_CHECK(digest.nonceCount == 7);
        else
            FUZZ_CHECK(digest.nonceCount == 0);
        FUZZ_CHECK(textIn(digest.lastNonce) == textIn(digest.nonce));
        FUZZ_CHECK(!textIn(digest.cnonce).empty() && textIn(digest.cnonce).size() <= 4);
    } else {
        FUZZ_CHECK(digest.nonceCount == 7); // nothing but the realm may have changed
        FUZZ_CHECK(textIn(digest.nonce).empty());
    }
    for (std::span<const char> field :
         {std::span<const char>(digest.lastNonce), std::span<const char>(digest.nonce),
          std::span<const char>(digest.cnonce), std::span<const char>(digest.realm),
          std::span<const char>(digest.qop), std::span<const char>(digest.algorithm),
          std::span<const char>(digest.opaque)})
        checkTerminated(field);
    return 0;
}
