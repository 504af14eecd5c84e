// SPDX-License-Identifier: MIT
// Request head reading (bounded in size and time) and the strict head parser.
#include "http_request.h"

#include <chrono>
#include <poll.h>
#include <sys/socket.h>

namespace {

bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

std::string trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace

HeadStatus readRequestHead(int socket, std::uint32_t timeoutMs, std::string& head) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    head.clear();
    char chunk[1024];
    while (true) {
        // Peek first so that nothing past the end of the head is consumed.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return HeadStatus::timedOut;
        pollfd p{socket, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0)
            return HeadStatus::closed;
        if (ready == 0)
            return HeadStatus::timedOut;
        const std::size_t room = kMaxRequestHead + 1 - head.size();
        const auto want = std::min(room, sizeof chunk);
        const ssize_t peeked = ::recv(socket, chunk, want, MSG_PEEK);
        if (peeked <= 0)
            return HeadStatus::closed;
        const std::string_view seen(chunk, static_cast<std::size_t>(peeked));
        // Where the head ends, counting the bytes already taken (the terminator may straddle).
        const std::size_t keep = std::min<std::size_t>(head.size(), 3);
        const std::string window = head.substr(head.size() - keep) + std::string(seen);
        std::size_t take = seen.size();
        for (const char* terminator : {"\r\n\r\n", "\n\n"}) {
            const auto at = window.find(terminator);
            const std::size_t length = std::string_view(terminator).size();
            if (at != std::string::npos && at + length > keep)
                take = std::min(take, at + length - keep);
        }
        const ssize_t got = ::recv(socket, chunk, take, 0);
        if (got <= 0)
            return HeadStatus::closed;
        head.append(chunk, static_cast<std::size_t>(got));
        if (head.ends_with("\r\n\r\n") || head.ends_with("\n\n"))
            return head.size() > kMaxRequestHead ? HeadStatus::tooLarge : HeadStatus::complete;
        if (head.size() > kMaxRequestHead)
            return HeadStatus::tooLarge;
    }
}

const HeaderLine* HttpRequest::header(const std::string& name) const {
    const auto wanted = lower(name);
    for (const auto& h : headers)
        if (lower(h.name) == wanted)
            return &h;
    return nullptr;
}

std::size_t HttpRequest::headerCount(const std::string& name) const {
    const auto wanted = lower(name);
    std::size_t n = 0;
    for (const auto& h : headers)
        if (lower(h.name) == wanted)
            ++n;
    return n;
}

std::optional<HttpRequest> parseRequestHead(const std::string& head, std::string& reason) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < head.size()) {
        const auto lf = head.find('\n', start);
        if (lf == std::string::npos || lf == start || head[lf - 1] != '\r') {
            reason = "line not ended by CRLF";
            return std::nullopt;
        }
        std::string line = head.substr(start, lf - 1 - start);
        if (line.find('\r') != std::string::npos || line.find('\0') != std::string::npos) {
            reason = "stray CR or NUL in a line";
            return std::nullopt;
        }
        lines.push_back(std::move(line));
        start = lf + 1;
    }
    if (lines.size() < 2 || !lines.back().empty()) {
        reason = "head not ended by an empty line";
        return std::nullopt;
    }
    lines.pop_back();

    HttpRequest request;
    request.requestLine = lines[0];
    const auto sp1 = lines[0].find(' ');
    const auto sp2 = sp1 == std::string::npos ? sp1 : lines[0].find(' ', sp1 + 1);
    if (sp2 == std::string::npos || lines[0].find(' ', sp2 + 1) != std::string::npos) {
        reason = "request line is not METHOD SP target SP version";
        return std::nullopt;
    }
    request.method = lines[0].substr(0, sp1);
    request.target = lines[0].substr(sp1 + 1, sp2 - sp1 - 1);
    request.version = lines[0].substr(sp2 + 1);
    if (request.method.empty() || request.target.empty()) {
        reason = "empty method or target";
        return std::nullopt;
    }
    for (char c : request.method)
        if (!isTokenChar(c)) {
            reason = "bad method";
            return std::nullopt;
        }
    for (char c : request.target)
        if (c <= 0x20 || c >= 0x7f) {
            reason = "bad byte in target";
            return std::nullopt;
        }
    if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0") {
        reason = "unsupported version";
        return std::nullopt;
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const auto colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            reason = "header line without a name";
            return std::nullopt;
        }
        for (std::size_t k = 0; k < colon; ++k)
            if (!isTokenChar(line[k])) {
                reason = "bad header name (or a folded line)";
                return std::nullopt;
            }
        request.headers.push_back(
            {line, line.substr(0, colon), trimBlanks(std::string_view(line).substr(colon + 1))});
    }
    if (request.version == "HTTP/1.1" && request.headerCount("Host") != 1) {
        reason = "HTTP/1.1 request without exactly one Host header";
        return std::nullopt;
    }
    return request;
}

bool isProgramForm(const HttpRequest& request) {
    if (request.method != "GET" || request.version != "HTTP/1.1" || request.headers.empty())
        return false;
    if (request.headers[0].raw != "Host: 192.168.2.110")
        return false;
    if (request.headers.size() == 1)
        return true;
    return request.headers.size() == 2 && request.headers[1].raw.starts_with("Authorization: ");
}
