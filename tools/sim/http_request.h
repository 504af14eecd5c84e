// SPDX-License-Identifier: MIT
// Reading and parsing one HTTP request head as a small embedded web server does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr std::size_t kMaxRequestHead = 8192;

enum class HeadStatus { complete, tooLarge, closed, timedOut };

// Reads until the empty line that ends the head, at most kMaxRequestHead bytes and `timeoutMs`
// in all. Bytes after the head (a body nobody asked for) are left unread.
HeadStatus readRequestHead(int socket, std::uint32_t timeoutMs, std::string& head);

struct HeaderLine {
    std::string raw; // the line as received, without CRLF
    std::string name;
    std::string value; // without surrounding blanks
};

struct HttpRequest {
    std::string requestLine;
    std::string method, target, version;
    std::vector<HeaderLine> headers;

    // The first header of that name (case-insensitive), if any, and how many there are.
    const HeaderLine* header(const std::string& name) const;
    std::size_t headerCount(const std::string& name) const;
};

// Strict parse: CRLF line ends only, "METHOD SP target SP HTTP/1.x", "name: value" headers with
// token names, no folded lines. Nothing (and a reason) when the head breaks one of those rules.
std::optional<HttpRequest> parseRequestHead(const std::string& head, std::string& reason);

// Whether the head is exactly what the upgrade program sends: request line, "Host:
// 192.168.2.110", at most one Authorization line, nothing else.
bool isProgramForm(const HttpRequest& request);
