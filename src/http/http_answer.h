// SPDX-License-Identifier: MIT
// One answer assembled in the caller's buffer as its bytes arrive: interim (1xx) answers are
// dropped, a chunked body is decoded in place, and the end is found from the head.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

enum class ChunkStep { sizeLine, data, dataEnd, trailer };

// The buffer holds the kept text (the final answer's head and its body, decoded), then bytes
// received but not yet decoded. At most buffer.size() - 1 bytes are ever used: one byte stays
// for the terminating zero.
struct AnswerAssembly {
    std::span<char> buffer;
    std::size_t kept = 0;           // the answer's text so far
    std::size_t used = 0;           // kept text plus the bytes not yet decoded
    std::size_t headSearchedTo = 0; // where the search for the head's empty line goes on
    bool headSeen = false;          // the final (not interim) head is in
    std::optional<std::size_t> end; // the whole answer's length, from Content-Length
    bool chunked = false;           // the body comes in chunks
    ChunkStep step = ChunkStep::sizeLine;
    std::size_t chunkLeft = 0; // data bytes of the current chunk still to come
    bool complete = false;     // nothing more belongs to the answer
};

AnswerAssembly startAnswer(std::span<char> buffer);
// Where the next received bytes go; empty once the answer is complete or the buffer is full.
std::span<char> answerRoom(const AnswerAssembly& answer);
// `count` bytes were written at the start of answerRoom().
void answerArrived(AnswerAssembly& answer, std::size_t count);
// Terminates the text after what was kept and returns its length; undecoded bytes are dropped.
std::size_t finishAnswer(AnswerAssembly& answer);

// The status code of a status line "HTTP/1.<digit>", blanks or tabs, three digits; none
// otherwise.
std::optional<int> answerStatus(std::string_view head);
// The value of the head's first header of that name (any letter case), without the blanks
// around it; none when the head has no such header.
std::optional<std::string_view> headerValue(std::string_view head, std::string_view name);
