// SPDX-License-Identifier: MIT
// Assembling one answer from the bytes as they arrive: interim answers dropped, chunks decoded in
// place (the text only ever shrinks, so it stays inside the bytes received), the end found.
#include "http/http_answer.h"

#include <cstring>

#include "base/text.h"

namespace {

constexpr std::size_t kMostBody = 1u << 30; // far beyond any buffer; keeps every sum small
// A chunk-size or trailer line longer than this is no chunk framing any server writes.
constexpr std::size_t kLongestChunkLine = 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A plain decimal number of at most kMostBody; none for anything else.
std::optional<std::size_t> plainNumber(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::size_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > kMostBody)
            return std::nullopt;
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    if (value > kMostBody)
        return std::nullopt;
    return value;
}

// The whole answer's length from a complete head (up to its empty line) that carries
// Content-Length; none when it has none (the answer then ends at the device's close) or a value
// that is not a plain number.
std::optional<std::size_t> announcedLength(std::string_view head) {
    const auto value = headerValue(head, "Content-Length");
    if (!value)
        return std::nullopt;
    const auto length = plainNumber(*value);
    if (!length)
        return std::nullopt;
    return head.size() + *length;
}

// Whether the last transfer coding the head names is chunked.
bool isChunked(std::string_view head) {
    const auto value = headerValue(head, "Transfer-Encoding");
    if (!value)
        return false;
    const std::size_t comma = value->rfind(',');
    const std::string_view last =
        comma == std::string_view::npos ? *value : value->substr(comma + 1);
    return equalsIgnoringCase(trimmed(last), "chunked");
}

// "<hex digits>[blanks][;extensions]": the chunk's size, or none for a malformed line.
std::optional<std::size_t> chunkSize(std::string_view line) {
    std::size_t size = 0;
    std::size_t digits = 0;
    while (digits < line.size() && hexDigitValue(line[digits]) >= 0) {
        if (size > kMostBody)
            return std::nullopt;
        size = size * 16 + static_cast<std::size_t>(hexDigitValue(line[digits]));
        ++digits;
    }
    if (digits == 0 || size > kMostBody)
        return std::nullopt;
    const std::string_view rest = trimmed(line.substr(digits));
    if (!rest.empty() && rest.front() != ';')
        return std::nullopt;
    return size;
}

// The next line of the undecoded bytes, without its CR LF (or bare LF); none while it is still
// incomplete. `length` becomes the bytes it takes, line end included.
std::optional<std::string_view> nextLine(std::string_view bytes, std::size_t& length) {
    const std::size_t lf = bytes.find('\n');
    if (lf == std::string_view::npos)
        return std::nullopt;
    length = lf + 1;
    std::string_view line = bytes.substr(0, lf);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// Decodes what has arrived of the chunked body: data moves down to the end of the kept text,
// framing is dropped. A malformed frame ends the answer with what was decoded before it.
void decodeChunks(AnswerAssembly& a) {
    char* const text = a.buffer.data();
    std::size_t at = a.kept; // the first undecoded byte
    bool waiting = false;    // the next piece of framing is still incomplete
    while (!a.complete && !waiting && at < a.used) {
        const std::string_view bytes(text + at, a.used - at);
        switch (a.step) {
        case ChunkStep::sizeLine:
        case ChunkStep::trailer: {
            std::size_t length = 0;
            const auto line = nextLine(bytes, length);
            if (!line) {
                a.complete = bytes.size() > kLongestChunkLine;
                waiting = true;
                break;
            }
            at += length;
            if (a.step == ChunkStep::trailer) {
                a.complete = line->empty(); // the empty line after the trailer ends the answer
                break;
            }
            const auto size = chunkSize(*line);
            if (!size) {
                a.complete = true;
                break;
            }
            a.chunkLeft = *size;
            a.step = *size == 0 ? ChunkStep::trailer : ChunkStep::data;
            break;
        }
        case ChunkStep::data: {
            const std::size_t take = a.chunkLeft < bytes.size() ? a.chunkLeft : bytes.size();
            std::memmove(text + a.kept, text + at, take);
            a.kept += take;
            at += take;
            a.chunkLeft -= take;
            if (a.chunkLeft == 0)
                a.step = ChunkStep::dataEnd;
            break;
        }
        case ChunkStep::dataEnd:
            if (bytes.starts_with("\r\n") || bytes.front() == '\n') {
                at += bytes.front() == '\n' ? 1 : 2;
                a.step = ChunkStep::sizeLine;
            } else if (bytes == "\r") {
                waiting = true;
            } else {
                a.complete = true; // more data than its size line said
            }
            break;
        }
    }
    if (a.complete) {
        a.used = a.kept; // nothing after the end (or the bad frame) belongs to the answer
        return;
    }
    // What is left undecoded (part of a line) moves down behind the text, making room.
    std::memmove(text + a.kept, text + at, a.used - at);
    a.used = a.kept + (a.used - at);
}

// Looks for the end of a head among the bytes; drops interim answers and takes the first final
// head.
void findHead(AnswerAssembly& a) {
    char* const text = a.buffer.data();
    while (!a.headSeen) {
        const std::string_view bytes(text, a.used);
        const std::size_t empty = bytes.find("\r\n\r\n", a.headSearchedTo);
        // Only new bytes (and the three before them) can complete the empty line.
        a.headSearchedTo = a.used < 3 ? 0 : a.used - 3;
        if (empty == std::string_view::npos)
            return;
        const std::size_t headLength = empty + 4;
        const auto status = answerStatus(bytes.substr(0, empty));
        if (status && *status >= 100 && *status <= 199) {
            // An interim answer ("100 Continue"): the real one follows it.
            std::memmove(text, text + headLength, a.used - headLength);
            a.used -= headLength;
            a.headSearchedTo = 0;
            continue;
        }
        a.headSeen = true;
        const std::string_view head = bytes.substr(0, headLength);
        a.chunked = isChunked(head);
        a.kept = a.chunked ? headLength : a.used;
        if (!a.chunked)
            a.end = announcedLength(head);
    }
}

} // namespace

AnswerAssembly startAnswer(std::span<char> buffer) {
    AnswerAssembly answer;
    answer.buffer = buffer;
    return answer;
}

std::span<char> answerRoom(const AnswerAssembly& a) {
    const std::size_t capacity = a.buffer.empty() ? 0 : a.buffer.size() - 1;
    if (a.complete || a.used >= capacity)
        return {};
    return a.buffer.subspan(a.used, capacity - a.used);
}

void answerArrived(AnswerAssembly& a, std::size_t count) {
    const std::size_t room = answerRoom(a).size();
    a.used += count < room ? count : room;
    if (!a.headSeen)
        findHead(a);
    if (!a.headSeen)
        return;
    if (a.chunked) {
        decodeChunks(a);
        return;
    }
    a.kept = a.used;
    if (a.end && a.used >= *a.end)
        a.complete = true;
}

std::size_t finishAnswer(AnswerAssembly& a) {
    if (!a.headSeen || !a.chunked)
        a.kept = a.used; // a head that never ended is kept as it came
    if (!a.buffer.empty())
        a.buffer[a.kept] = '\0';
    return a.kept;
}

std::optional<int> answerStatus(std::string_view head) {
    if (!head.starts_with("HTTP/1.") || head.size() < 9 || head[7] < '0' || head[7] > '9')
        return std::nullopt;
    std::size_t at = 8;
    if (at >= head.size() || !isBlank(head[at]))
        return std::nullopt;
    while (at < head.size() && isBlank(head[at]))
        ++at;
    int status = 0;
    for (int i = 0; i < 3; ++i, ++at) {
        if (at >= head.size() || head[at] < '0' || head[at] > '9')
            return std::nullopt;
        status = status * 10 + (head[at] - '0');
    }
    if (at < head.size() && !isBlank(head[at]) && head[at] != '\r')
        return std::nullopt;
    return status;
}

std::optional<std::string_view> headerValue(std::string_view head, std::string_view name) {
    std::size_t lineEnd = head.find("\r\n"); // the status line is no header
    while (lineEnd != std::string_view::npos && lineEnd + 2 < head.size()) {
        const std::string_view rest = head.substr(lineEnd + 2);
        const std::string_view line = rest.substr(0, rest.find("\r\n"));
        lineEnd = head.find("\r\n", lineEnd + 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && equalsIgnoringCase(line.substr(0, colon), name))
            return trimmed(line.substr(colon + 1));
    }
    return std::nullopt;
}
