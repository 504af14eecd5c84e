// SPDX-License-Identifier: MIT
// Any bytes the device may send as an answer, assembled and classified as the exchange does.
// Assembly: whatever the pieces the bytes arrive in, the text stays inside the buffer's capacity
// and terminated, and it is a prefix of the text assembled from the bytes arriving whole.
// Classification, of a zero-terminated text of up to the response buffer's capacity: a demand is
// only ever reported for a 401 with a quoted realm and nonce, and the stored challenge stays
// inside its fields.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "fuzz_check.h"
#include "http/http_answer.h"
#include "http/http_exchange.h"

namespace {
void checkTerminated(std::span<const char> field) {
    FUZZ_CHECK(std::memchr(field.data(), '\0', field.size()) != nullptr);
}

// The answer assembled in a buffer of `size` bytes from `bytes`, arriving in pieces of at most
// `piece` bytes (0: as much as there is room for).
std::vector<char> assembled(std::string_view bytes, std::size_t size, std::size_t piece) {
    std::vector<char> buffer(size, '\x7f');
    AnswerAssembly answer = startAnswer(buffer);
    for (std::span<char> room = answerRoom(answer); !room.empty() && !bytes.empty();
         room = answerRoom(answer)) {
        std::size_t n = room.size() < bytes.size() ? room.size() : bytes.size();
        if (piece != 0 && piece < n)
            n = piece;
        std::memcpy(room.data(), bytes.data(), n);
        bytes.remove_prefix(n);
        answerArrived(answer, n);
    }
    const std::size_t length = finishAnswer(answer);
    FUZZ_CHECK(length < size);
    FUZZ_CHECK(buffer[length] == '\0');
    buffer.resize(length);
    return buffer;
}

void checkAssembly(std::string_view bytes) {
    constexpr std::size_t kSmallBuffer = 512; // small, so the cap is met often
    const std::size_t piece = bytes.empty() ? 1 : static_cast<unsigned char>(bytes[0]) % 9 + 1;
    for (const std::size_t size : {kSmallBuffer, std::size_t{131072}}) {
        const std::vector<char> whole = assembled(bytes, size, 0);
        const std::vector<char> pieces = assembled(bytes, size, piece);
        FUZZ_CHECK(pieces.size() <= whole.size());
        FUZZ_CHECK(std::memcmp(pieces.data(), whole.data(), pieces.size()) == 0);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 131071 /* the response buffer less its zero */)
        return 0;
    checkAssembly(std::string_view(reinterpret_cast<const char*>(data), size));

    // Exactly the received bytes and their terminator, so any read past them is caught.
    std::vector<char> response(size + 1);
    std::memcpy(response.data(), data, size);
    response[size] = '\0';

    DigestChallenge digest{};
    copyText(digest.lastNonce, "previous-nonce");
    digest.nonceCount = 7;

    const AnswerKind kind = classifyAnswer(response.data(), digest);
    const std::string_view text(response.data());
    if (kind != AnswerKind::page) {
        FUZZ_CHECK(text.starts_with("HTTP/1.1"));
        FUZZ_CHECK(text.find("401") != std::string_view::npos);
    }
    if (kind == AnswerKind::challenge) {
        FUZZ_CHECK(text.find("realm=\"") != std::string_view::npos);
        FUZZ_CHECK(text.find("nonce=\"") != std::string_view::npos);
        // A changed nonce restarts the count; the same one keeps it.
        if (textIn(digest.nonce) == "previous-nonce")
            FUZZ_CHECK(digest.nonceCount == 7);
        else
            FUZZ_CHECK(digest.nonceCount == 0);
        FUZZ_CHECK(textIn(digest.lastNonce) == textIn(digest.nonce));
        FUZZ_CHECK(!textIn(digest.cnonce).empty() && textIn(digest.cnonce).size() <= 4);
        const std::string_view algorithm = textIn(digest.algorithm);
        FUZZ_CHECK(algorithm.empty() || equalsIgnoringCase(algorithm, "MD5") ||
                   equalsIgnoringCase(algorithm, "MD5-sess"));
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
