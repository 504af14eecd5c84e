// SPDX-License-Identifier: MIT
// Verification of Digest credentials, exactly in the upgrade program's form, or (when allowed) in
// the general RFC 2617 form.
#include "auth.h"

#include <map>
#include <optional>
#include <random>

#include "digest.h"
#include "event_log.h"

namespace {

struct Credentials {
    bool programForm = false;
    std::string username, realm, nonce, uri, response;
    std::optional<std::string> algorithm, opaque, qop, nc, cnonce;
};

// Reads the header exactly as the upgrade program writes it: fixed directive order, bare commas,
// uri and algorithm always quoted, qop unquoted, nothing else.
class StrictReader {
  public:
    explicit StrictReader(std::string_view text) : rest_(text) {}
    bool literal(std::string_view s) {
        if (!rest_.starts_with(s))
            return false;
        rest_.remove_prefix(s.size());
        return true;
    }
    bool quoted(std::string& out) { // up to the closing quote
        const auto q = rest_.find('"');
        if (q == std::string_view::npos)
            return false;
        out = std::string(rest_.substr(0, q));
        rest_.remove_prefix(q + 1);
        return true;
    }
    bool upTo(std::string_view end, std::string& out) {
        const auto at = rest_.find(end);
        if (at == std::string_view::npos)
            return false;
        out = std::string(rest_.substr(0, at));
        rest_.remove_prefix(at);
        return true;
    }
    bool atEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

std::optional<Credentials> readProgramForm(std::string_view line) {
    Credentials c;
    c.programForm = true;
    StrictReader r(line);
    std::string algorithm;
    if (!(r.literal("Authorization: Digest username=\"") && r.quoted(c.username) &&
          r.literal(",realm=\"") && r.quoted(c.realm) && r.literal(",nonce=\"") &&
          r.quoted(c.nonce) && r.literal(",uri=\"") && r.quoted(c.uri) &&
          r.literal(",algorithm=\"") && r.quoted(algorithm) && r.literal(",response=\"") &&
          r.quoted(c.response)))
        return std::nullopt;
    c.algorithm = algorithm;
    if (r.literal(",opaque=\"")) {
        std::string opaque;
        if (!r.quoted(opaque))
            return std::nullopt;
        c.opaque = opaque;
    }
    if (r.literal(",qop=")) {
        std::string qop, nc, cnonce;
        if (!(r.upTo(",nc=", qop) && r.literal(",nc=") && r.upTo(",cnonce=\"", nc) &&
              r.literal(",cnonce=\"") && r.quoted(cnonce)))
            return std::nullopt;
        c.qop = qop;
        c.nc = nc;
        c.cnonce = cnonce;
    }
    if (!r.atEnd())
        return std::nullopt;
    return c;
}

bool isToken(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

// The general form: "Digest" then name=token or name="quoted" pairs separated by commas and
// optional blanks, each name once.
std::optional<Credentials> readRfcForm(std::string_view value) {
    if (value.size() < 7 || lower(value.substr(0, 6)) != "digest" || value[6] != ' ')
        return std::nullopt;
    value.remove_prefix(7);
    std::map<std::string, std::string> params;
    auto skipBlanks = [&value] {
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
    };
    while (true) {
        skipBlanks();
        std::size_t n = 0;
        while (n < value.size() && isToken(value[n]))
            ++n;
        if (n == 0)
            return std::nullopt;
        const std::string name = lower(value.substr(0, n));
        value.remove_prefix(n);
        skipBlanks();
        if (value.empty() || value.front() != '=')
            return std::nullopt;
        value.remove_prefix(1);
        skipBlanks();
        std::string v;
        if (!value.empty() && value.front() == '"') {
            value.remove_prefix(1);
            while (true) {
                if (value.empty())
                    return std::nullopt;
                char c = value.front();
                value.remove_prefix(1);
                if (c == '"')
                    break;
                if (c == '\\') {
                    if (value.empty())
                        return std::nullopt;
                    c = value.front();
                    value.remove_prefix(1);
                }
                v += c;
            }
        } else {
            std::size_t t = 0;
            while (t < value.size() && isToken(value[t]))
                ++t;
            if (t == 0)
                return std::nullopt;
            v = std::string(value.substr(0, t));
            value.remove_prefix(t);
        }
        if (!params.emplace(name, v).second)
            return std::nullopt;
        skipBlanks();
        if (value.empty())
            break;
        if (value.front() != ',')
            return std::nullopt;
        value.remove_prefix(1);
    }
    Credentials c;
    auto take = [&params](const char* name) -> std::optional<std::string> {
        const auto it = params.find(name);
        if (it == params.end())
            return std::nullopt;
        return it->second;
    };
    for (auto [field, name] : {std::pair{&c.username, "username"},
                               {&c.realm, "realm"},
                               {&c.nonce, "nonce"},
                               {&c.uri, "uri"},
                               {&c.response, "response"}}) {
        auto v = take(name);
        if (!v)
            return std::nullopt;
        *field = *v;
    }
    c.algorithm = take("algorithm");
    c.opaque = take("opaque");
    c.qop = take("qop");
    c.nc = take("nc");
    c.cnonce = take("cnonce");
    return c;
}

bool isLowerHex(std::string_view s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return !s.empty();
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return lower(a) == lower(b);
}

// The cnonce the program draws: "%x" of a number from 0 to 32767.
bool isProgramCnonce(std::string_view s) {
    if (!isLowerHex(s) || s.size() > 4 || (s.size() > 1 && s[0] == '0'))
        return false;
    return std::stoul(std::string(s), nullptr, 16) <= 0x7fff;
}

bool qopOfferedContains(std::string_view offered, std::string_view chosen) {
    while (true) {
        const auto comma = offered.find(',');
        std::string_view item = offered.substr(0, comma);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        if (item == chosen)
            return true;
        if (comma == std::string_view::npos)
            return false;
        offered.remove_prefix(comma + 1);
    }
}

// Everything but the digest itself and the nonce count order; an empty text means fine.
std::string directiveFault(const SimOptions& o, const AuthState& s, const Credentials& c,
                           const HttpRequest& request) {
    if (c.username != o.user)
        return "unknown user";
    if (c.realm != o.realm)
        return "wrong realm";
    if (c.nonce != s.nonce)
        return "stale nonce";
    if (c.programForm ? !c.uri.empty() : (!c.uri.empty() && c.uri != request.target))
        return "uri mismatch";
    if (c.programForm) {
        if (c.algorithm.value_or("") != o.algorithm)
            return "algorithm mismatch";
    } else if (o.algorithm.empty()
                   ? (c.algorithm && !equalsIgnoringCase(*c.algorithm, "MD5"))
                   : (!c.algorithm || !equalsIgnoringCase(*c.algorithm, o.algorithm))) {
        return "algorithm mismatch";
    }
    if (o.opaque.empty() ? c.opaque.has_value() : c.opaque != o.opaque)
        return "opaque mismatch";
    if (o.qop.empty()) {
        if (c.qop || c.nc || c.cnonce)
            return "qop directives without an offered qop";
        return "";
    }
    if (!c.qop || !c.nc || !c.cnonce)
        return "qop offered but qop, nc or cnonce missing";
    // One of the offered values (the program answers a list with one, as other clients do).
    if (!qopOfferedContains(o.qop, *c.qop))
        return "qop mismatch";
    const std::size_t ncDigits = c.programForm ? 9 : 8;
    if (c.nc->size() != ncDigits || !isLowerHex(*c.nc))
        return "nc is not " + std::to_string(ncDigits) + " lower-case hex digits";
    if (c.programForm ? !isProgramCnonce(*c.cnonce) : c.cnonce->empty())
        return "bad cnonce";
    return "";
}

std::string randomNonce() {
    std::random_device device;
    std::string nonce;
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i)
        nonce += hex[device() & 15];
    return nonce;
}

} // namespace

void issueNonce(AuthState& state, const SimOptions& options, bool boot) {
    state = AuthState{};
    state.nonce = (boot && !options.bootNonce.empty()) ? options.bootNonce : randomNonce();
    logEvent(Event("nonce").text("nonce", state.nonce).text("why", boot ? "boot" : "renewed"));
}

std::string challengeValue(const SimOptions& o, const AuthState& s, bool withNonce) {
    std::string v = "Digest realm=\"" + o.realm + "\"";
    if (withNonce) {
        const std::string_view injected = o.challengeCrlf ? kInjectedNonceText : "";
        v += ", nonce=\"" + s.nonce + std::string(injected) + "\"";
    }
    if (!o.qop.empty())
        v += ", qop=\"" + o.qop + "\"";
    if (!o.algorithm.empty())
        v += ", algorithm=\"" + o.algorithm + "\"";
    if (!o.opaque.empty())
        v += ", opaque=\"" + o.opaque + "\"";
    return v;
}

AuthVerdict checkAuthorization(const SimOptions& o, AuthState& s, const HttpRequest& request) {
    AuthVerdict verdict;
    if (request.headerCount("Authorization") == 0) {
        verdict.reason = "no credentials";
        return verdict;
    }
    if (request.headerCount("Authorization") > 1) {
        verdict.reason = "more than one Authorization header";
        return verdict;
    }
    const HeaderLine& line = *request.header("Authorization");
    auto c = readProgramForm(line.raw);
    if (!c && o.acceptRfcDigest)
        c = readRfcForm(line.value);
    if (!c) {
        verdict.reason = o.acceptRfcDigest ? "malformed Authorization header"
                                           : "Authorization header not in the program's form";
        return verdict;
    }
    verdict.nonceCount = c->nc.value_or("");
    if (auto fault = directiveFault(o, s, *c, request); !fault.empty()) {
        verdict.reason = fault;
        return verdict;
    }
    if (c->response.size() != 32 || !isLowerHex(c->response)) {
        verdict.reason = "response is not 32 lower-case hex digits";
        return verdict;
    }
    const std::string expected = expectedResponse(
        {o.user, o.realm, o.password, s.nonce, c->cnonce.value_or(""), c->nc.value_or(""),
         c->qop.value_or(""), c->algorithm.value_or(""), request.method, c->uri});
    if (c->response != expected) {
        verdict.reason = "wrong response";
        return verdict;
    }
    if (c->nc) {
        const std::uint64_t count = std::stoull(*c->nc, nullptr, 16);
        if (count == 0) {
            verdict.reason = "nonce count 0";
            return verdict;
        }
        if (s.countSeen && count <= s.highestCount) {
            verdict.reason = "nonce count replayed";
            return verdict;
        }
        s.countSeen = true;
        s.highestCount = count;
    }
    verdict.accepted = true;
    verdict.reason = c->programForm ? "program form" : "rfc2617 form";
    ++s.acceptedUnderNonce;
    if (o.nonceUses > 0 && s.acceptedUnderNonce >= o.nonceUses)
        issueNonce(s, o, false);
    return verdict;
}
