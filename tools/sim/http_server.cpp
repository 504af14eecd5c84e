// SPDX-License-Identifier: MIT
// Request handling of the device's web server, with the HTTP fault options.
#include "http_server.h"

#include <chrono>
#include <poll.h>
#include <sys/socket.h>

#include "event_log.h"

namespace {

bool sendAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        pollfd p{socket, POLLOUT, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return false;
        const ssize_t n = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The one answer a connection gets, and whether it went out whole.
struct Reply {
    int socket;
    std::uint32_t n; // the request's number
    AnswerForm form;
    bool sent = false;
};

void answer(Reply& reply, int status, std::string_view reason, std::string_view headers,
            std::string_view body) {
    reply.sent = sendAll(reply.socket, httpResponse(status, reason, headers, body, reply.form));
    logEvent(Event("http_response")
                 .number("n", reply.n)
                 .number("status", status)
                 .flag("sent", reply.sent));
}

void answerPage(Reply& reply, int status, std::string_view reason, std::string_view message) {
    answer(reply, status, reason, "",
           simplePage(std::to_string(status) + " " + std::string(reason), message));
}

void challenge(WebState& web, Reply& reply, bool withNonce) {
    if (withNonce && web.options.challengeCrlf)
        logEvent(Event("fault").text("kind", "challenge-crlf").number("n", reply.n));
    const SimOptions& o = web.options;
    // --challenge-lower-case: header names are case-insensitive, and some servers write them so.
    const std::string name = o.challengeLowerCase ? "www-authenticate: " : "WWW-Authenticate: ";
    // A realm of its own, so a client that takes the Basic one's for the Digest one is refused.
    const std::string basic = name + "Basic realm=\"" + o.realm + " (basic)\"\r\n";
    std::string header;
    if (o.basicChallenge != BasicChallenge::none)
        header += basic;
    if (o.basicChallenge != BasicChallenge::only)
        header += name + challengeValue(o, web.auth, withNonce) + "\r\n";
    answer(reply, 401, "Unauthorized", header,
           simplePage("401 Unauthorized", "Authorization required."));
}

Event requestEvent(std::uint32_t n, const HttpRequest& request) {
    std::vector<std::string> lines;
    for (const auto& h : request.headers)
        lines.push_back(h.raw);
    return Event("http_request")
        .number("n", n)
        .text("request_line", request.requestLine)
        .texts("headers", lines)
        .flag("program_form", isProgramForm(request));
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(prefix[i]))
            return false;
    return true;
}

// --fault-challenge-crlf: the lines of a request head that came from the text injected into the
// nonce, as a client that copied the nonce whole sends them. Cut at every CR and every LF, so they
// are found even in a head the strict parser refuses.
void logInjectedLines(std::uint32_t n, std::string_view head) {
    while (!head.empty()) {
        const auto end = head.find_first_of("\r\n");
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        for (std::string_view name : kInjectedHeaderNames)
            if (startsWithIgnoringCase(line, name))
                logEvent(Event("injected_header").number("n", n).text("line", line));
    }
}

bool isProtected(std::string_view path) {
    return path == "/admin" || path.starts_with("/admin/");
}

} // namespace

void lingeringClose(int socket) {
    ::shutdown(socket, SHUT_WR);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    char scratch[1024];
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{socket, POLLIN, 0};
        if (::poll(&p, 1, 100) < 0)
            return;
        if (p.revents == 0)
            continue;
        if (::recv(socket, scratch, sizeof scratch, 0) <= 0)
            return;
    }
}

namespace {

ServeResult serveRequest(WebState& web, Reply& reply, const std::string& peer) {
    const SimOptions& o = web.options;
    const int socket = reply.socket;
    const std::uint32_t n = reply.n;
    ServeResult result;
    logEvent(Event("http_connection").number("n", n).text("peer", peer));

    std::string head;
    switch (readRequestHead(socket, o.headTimeoutMs, head)) {
    case HeadStatus::complete:
        break;
    case HeadStatus::tooLarge:
        logEvent(Event("http_bad_request").number("n", n).text("why", "request head over 8 KB"));
        answerPage(reply, 431, "Request Header Fields Too Large", "Request head too large.");
        return result;
    case HeadStatus::timedOut:
        logEvent(Event("http_bad_request").number("n", n).text("why", "request head time-out"));
        answerPage(reply, 408, "Request Timeout", "Request head incomplete.");
        return result;
    case HeadStatus::closed:
        logEvent(Event("http_bad_request").number("n", n).text("why", "closed before the head"));
        return result;
    }
    if (o.challengeCrlf)
        logInjectedLines(n, head);
    std::string why;
    const auto request = parseRequestHead(head, why);
    if (!request) {
        logEvent(Event("http_bad_request").number("n", n).text("why", why).text("head", head));
        answerPage(reply, 400, "Bad Request", why);
        return result;
    }
    logEvent(requestEvent(n, *request));

    if (o.closeWithoutAnswer.contains(n)) {
        logEvent(Event("fault").text("kind", "close").number("n", n));
        return result;
    }
    if (o.neverAnswer.contains(n)) {
        logEvent(Event("fault").text("kind", "hang").number("n", n));
        result.hold = true;
        return result;
    }
    if (request->method != "GET") {
        answerPage(reply, 501, "Not Implemented", "Only GET is served.");
        return result;
    }
    if (o.notFound.contains(n)) {
        logEvent(Event("fault").text("kind", "404").number("n", n));
        answerPage(reply, 404, "Not Found", "The page does not exist.");
        return result;
    }
    const auto question = request->target.find('?');
    const std::string path = request->target.substr(0, question);
    const std::string query =
        question == std::string::npos ? std::string() : request->target.substr(question + 1);

    if (o.challengeWithoutNonce.contains(n)) {
        logEvent(Event("fault").text("kind", "401-no-nonce").number("n", n));
        challenge(web, reply, false);
        return result;
    }
    if (isProtected(path) && !o.password.empty()) {
        const std::string nonce = web.auth.nonce;
        const AuthVerdict verdict = checkAuthorization(o, web.auth, *request);
        logEvent(Event("auth")
                     .number("n", n)
                     .flag("accepted", verdict.accepted)
                     .text("reason", verdict.reason)
                     .text("nonce", nonce)
                     .text("nc", verdict.nonceCount));
        if (!verdict.accepted) {
            challenge(web, reply, true);
            return result;
        }
    }

    if (path == "/admin/advanced" && o.noPageFrom != 0 && n >= o.noPageFrom) {
        // Not counted as an information page: it carries no information.
        logEvent(Event("fault").text("kind", "no-page").number("n", n));
        answer(reply, 200, "OK", "", unlabelledPage());
        return result;
    }
    if (path == "/admin/advanced") {
        const std::uint32_t page = ++web.infoPages;
        const bool withSerial = !o.pageWithoutSerial.contains(page);
        if (!withSerial)
            logEvent(Event("fault").text("kind", "no-serial").number("page", page));
        const bool withVersion = !o.pageWithoutVersion.contains(page);
        if (!withVersion)
            logEvent(Event("fault").text("kind", "no-version").number("page", page));
        answer(reply, 200, "OK", "", advancedPage(web.identity, withSerial, withVersion));
        return result;
    }
    if (path == "/admin/upgrade") {
        const auto source = parseUpgradeQuery(query);
        if (!source) {
            logEvent(Event("upgrade_refused").number("n", n).text("why", "malformed query"));
            answerPage(reply, 400, "Bad Request", "Malformed upgrade request.");
            return result;
        }
        if (!o.allowAnyAddress && (source->server >> 24) != 127) {
            logEvent(Event("upgrade_refused").number("n", n).text("why", "server off loopback"));
            answerPage(reply, 400, "Bad Request", "TFTP server outside 127.0.0.0/8.");
            return result;
        }
        if (web.upgradeBusy) {
            logEvent(Event("upgrade_refused").number("n", n).text("why", "upgrade in progress"));
            answerPage(reply, 503, "Service Unavailable", "An upgrade is in progress.");
            return result;
        }
        if (o.upgradeStatus != 0) {
            // Refused, as a device that will not be upgraded so answers: nothing is fetched.
            logEvent(Event("fault")
                         .text("kind", "upgrade-status")
                         .number("n", n)
                         .number("status", o.upgradeStatus));
            answerPage(reply, static_cast<int>(o.upgradeStatus), "Refused",
                       "The upgrade request is refused.");
            return result;
        }
        logEvent(Event("upgrade_request")
                     .number("n", n)
                     .text("server", formatIpv4(source->server))
                     .number("port", source->port)
                     .text("file", source->fileName));
        if (o.noFetch) {
            logEvent(Event("fault").text("kind", "no-fetch").number("n", n));
            answer(reply, 200, "OK", "", simplePage("Firmware Upgrade", "Fetching nothing."));
            return result;
        }
        result.upgrade = source;
        if (o.upgradeUnanswered) {
            logEvent(Event("fault").text("kind", "upgrade-unanswered").number("n", n));
            result.hold = true;
            return result;
        }
        answer(reply, 200, "OK", "",
               simplePage("Firmware Upgrade", "Fetching " + source->fileName + " from " +
                                                  formatIpv4(source->server) + ":" +
                                                  std::to_string(source->port) + "."));
        return result;
    }
    answerPage(reply, 404, "Not Found", "The page does not exist.");
    return result;
}

} // namespace

ServeResult serveConnection(WebState& web, int socket, const std::string& peer) {
    const SimOptions& o = web.options;
    Reply reply{socket, ++web.requests, {o.keepAlive, o.continueFirst, o.chunkSize}};
    ServeResult result = serveRequest(web, reply, peer);
    result.n = reply.n;
    result.answered = reply.sent;
    return result;
}
