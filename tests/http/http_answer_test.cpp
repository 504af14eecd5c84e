// SPDX-License-Identifier: MIT
// Assembling an answer as its bytes arrive: interim answers, chunked bodies (well and badly
// framed), where the answer ends, and the buffer's limit on the decoded text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "http/http_answer.h"

namespace {

struct Assembled {
    std::string text;
    bool complete;
};

// Feeds `bytes` in pieces of at most `piece` bytes (0: as much as there is room for) into a
// buffer of `size` bytes; stops where the assembly takes no more.
Assembled assemble(const std::string& bytes, std::size_t piece = 1, std::size_t size = 4096) {
    std::vector<char> buffer(size, 'x');
    AnswerAssembly answer = startAnswer(buffer);
    std::size_t at = 0;
    for (std::span<char> room = answerRoom(answer); !room.empty() && at < bytes.size();
         room = answerRoom(answer)) {
        std::size_t n = std::min(room.size(), bytes.size() - at);
        if (piece != 0)
            n = std::min(n, piece);
        std::memcpy(room.data(), bytes.data() + at, n);
        at += n;
        answerArrived(answer, n);
    }
    const bool complete = answer.complete;
    const std::size_t length = finishAnswer(answer);
    EXPECT_EQ(buffer[length], '\0');
    return {std::string(buffer.data(), length), complete};
}

const std::string kChunkedHead = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"
                                 "transfer-encoding: Chunked\r\n\r\n";

TEST(HttpAnswer, InterimAnswersAreDropped) {
    const std::string final = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody";
    for (const std::size_t piece : {1, 0}) {
        const Assembled a = assemble("HTTP/1.1 100 Continue\r\n\r\n"
                                     "HTTP/1.1 102 Processing\r\nX-Note: 1\r\n\r\n" +
                                         final + "after",
                                     piece);
        EXPECT_TRUE(a.complete);
        EXPECT_EQ(a.text.substr(0, final.size()), final);
    }
}

TEST(HttpAnswer, ContentLengthEndsTheAnswerAtItsLastByte) {
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789";
    // One byte short of the end: not complete, and room for more.
    const Assembled shortOfIt = assemble(answer.substr(0, answer.size() - 1));
    EXPECT_FALSE(shortOfIt.complete);
    const Assembled whole = assemble(answer + "next");
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(whole.text, answer); // read byte by byte: not one byte past the end either
}

TEST(HttpAnswer, ChunkedBodyIsDecodedInPlaceAndEndsAtTheLastChunk) {
    // Chunks split the label and its value; hex in either case, extensions, a trailer.
    const std::string body = "6\r\n<td>Se\r\nA;name=value\r\nrial Numbe\r\n"
                             "d \r\nr:</td><td>SN\r\n2\r\n42\r\n0\r\nX-Trailer: 1\r\n\r\n";
    for (const std::size_t piece : {1, 3, 0}) {
        const Assembled a = assemble(kChunkedHead + body + "HTTP/1.1 200 OK\r\n", piece);
        EXPECT_TRUE(a.complete);
        EXPECT_EQ(a.text, kChunkedHead + "<td>Serial Number:</td><td>SN42");
    }
}

TEST(HttpAnswer, MalformedChunkFramingEndsTheTextBeforeIt) {
    const std::string page = "5\r\nhello\r\n";
    for (const std::string bad : {"zz\r\n", "\r\n", "-1\r\n", "5 5\r\n", "1000000000000\r\n"}) {
        const Assembled a = assemble(kChunkedHead + page + bad + "5\r\nlater\r\n0\r\n\r\n");
        EXPECT_TRUE(a.complete) << bad;
        EXPECT_EQ(a.text, kChunkedHead + "hello") << bad;
    }
    // More data than the size line said.
    const Assembled longer = assemble(kChunkedHead + "3\r\nhello\r\n0\r\n\r\n");
    EXPECT_TRUE(longer.complete);
    EXPECT_EQ(longer.text, kChunkedHead + "hel");
    // A size line that never ends.
    const Assembled endless = assemble(kChunkedHead + "5" + std::string(2000, ' '));
    EXPECT_TRUE(endless.complete);
    EXPECT_EQ(endless.text, kChunkedHead);
}

TEST(HttpAnswer, TheLimitHoldsForTheDecodedText) {
    // 3,000 bytes in chunks of 16: more on the wire than the 4,095 bytes the buffer takes.
    std::string body, decoded;
    for (int i = 0; i < 187; ++i) {
        const std::string data =
            "0123456789abcde" + std::string(1, static_cast<char>('A' + i % 26));
        body += "10\r\n" + data + "\r\n";
        decoded += data;
    }
    body += "8\r\n" + std::string("SN-LAST!") + "\r\n0\r\n\r\n";
    decoded += "SN-LAST!";
    ASSERT_GT(kChunkedHead.size() + body.size(), 4095u);
    const Assembled fits = assemble(kChunkedHead + body, 0);
    EXPECT_TRUE(fits.complete);
    EXPECT_EQ(fits.text, kChunkedHead + decoded);

    // Decoded text beyond the buffer is cut at its capacity, less the framing still undecoded
    // when the buffer filled (at most a size line).
    const Assembled cut = assemble(kChunkedHead + body, 7, 1001);
    EXPECT_FALSE(cut.complete);
    EXPECT_GE(cut.text.size(), 1000u - 6);
    EXPECT_LE(cut.text.size(), 1000u);
    EXPECT_EQ(cut.text, (kChunkedHead + decoded).substr(0, cut.text.size()));
}

TEST(HttpAnswer, StatusLine) {
    EXPECT_EQ(answerStatus("HTTP/1.1 403 Forbidden"), 403);
    EXPECT_EQ(answerStatus("HTTP/1.0\t404"), 404);
    EXPECT_EQ(answerStatus("HTTP/1.1 100\r\n"), 100);
    EXPECT_FALSE(answerStatus("HTTP/1.1 40"));
    EXPECT_FALSE(answerStatus("HTTP/1.1 4040"));
    EXPECT_FALSE(answerStatus("HTTP/2 200"));
    EXPECT_FALSE(answerStatus("http/1.1 200"));
    EXPECT_FALSE(answerStatus("HTTP/1.1200"));
}

} // namespace
