// SPDX-License-Identifier: MIT
// Option table, parser and help text of the simulated device.
#include "options.h"

#include <functional>
#include <string_view>

namespace {

using Setter = std::function<bool(SimOptions&, std::string_view)>;

struct OptionSpec {
    const char* name;
    const char* valueName; // nullptr: a flag without value
    const char* help;
    Setter set;
};

// Header values go into quoted strings: printable ASCII without quote or backslash.
bool isQuotableText(std::string_view text) {
    for (char c : text)
        if (c < 0x20 || c > 0x7e || c == '"' || c == '\\')
            return false;
    return true;
}

Setter textInto(std::string SimOptions::*field, bool allowEmpty) {
    return [field, allowEmpty](SimOptions& o, std::string_view v) {
        if ((!allowEmpty && v.empty()) || !isQuotableText(v))
            return false;
        o.*field = std::string(v);
        return true;
    };
}

Setter pathInto(std::string SimOptions::*field) {
    return [field](SimOptions& o, std::string_view v) {
        if (v.empty())
            return false;
        o.*field = std::string(v);
        return true;
    };
}

Setter numberInto(std::uint32_t SimOptions::*field, std::uint32_t min, std::uint32_t max) {
    return [field, min, max](SimOptions& o, std::string_view v) {
        const auto n = parseNumber(v, min, max);
        if (n)
            o.*field = *n;
        return n.has_value();
    };
}

Setter flagInto(bool SimOptions::*field) {
    return [field](SimOptions& o, std::string_view) {
        o.*field = true;
        return true;
    };
}

Setter listInto(FaultList SimOptions::*field) {
    return [field](SimOptions& o, std::string_view v) {
        const auto list = parseFaultList(v);
        if (list)
            o.*field = *list;
        return list.has_value();
    };
}

// "none" means: leave the parameter out of the challenge.
Setter challengeParameter(std::string SimOptions::*field) {
    return [field](SimOptions& o, std::string_view v) {
        if (v == "none") {
            (o.*field).clear();
            return true;
        }
        if (v.empty() || !isQuotableText(v))
            return false;
        o.*field = std::string(v);
        return true;
    };
}

const std::vector<OptionSpec>& optionTable() {
    static const std::vector<OptionSpec> table = {
        {"address", "A.B.C.D", "IPv4 address of the web server and the TFTP client (127.0.0.2)",
         [](SimOptions& o, std::string_view v) {
             const auto a = parseIpv4(v);
             if (a)
                 o.address = *a;
             return a.has_value();
         }},
        {"port", "N", "TCP port of the web server (80)",
         [](SimOptions& o, std::string_view v) {
             const auto n = parseNumber(v, 1, 65535);
             if (n)
                 o.port = static_cast<std::uint16_t>(*n);
             return n.has_value();
         }},
        {"allow-any-address", nullptr,
         "allow addresses outside 127.0.0.0/8 (listening and TFTP server)",
         flagInto(&SimOptions::allowAnyAddress)},
        {"head-timeout-ms", "MS", "time allowed for a whole request head (5000)",
         numberInto(&SimOptions::headTimeoutMs, 1, 600000)},
        {"keep-alive", nullptr,
         "leave each answered connection open until the client closes it (at most 60 s)",
         flagInto(&SimOptions::keepAlive)},
        {"product-name", "TEXT", "Product Name (TOV-2000)",
         textInto(&SimOptions::productName, true)},
        {"mac", "TEXT", "MAC Address (00:0E:08:12:34:56)", textInto(&SimOptions::macAddress, true)},
        {"software-version", "TEXT", "Software Version before any upgrade (2.0.9(a))",
         textInto(&SimOptions::softwareVersion, true)},
        {"hardware-version", "TEXT", "Hardware Version (1.2)",
         textInto(&SimOptions::hardwareVersion, true)},
        {"serial", "TEXT", "Serial Number (FM2000A123456)",
         textInto(&SimOptions::serialNumber, true)},
        {"user", "NAME", "Digest user name (admin)", textInto(&SimOptions::user, false)},
        {"password", "TEXT", "Digest password; without it no page asks for authentication",
         textInto(&SimOptions::password, true)},
        {"realm", "TEXT", "Digest realm (TOV)", textInto(&SimOptions::realm, false)},
        {"qop", "VALUE", "qop offered: none, auth, auth-int, auth,auth-int (none)",
         challengeParameter(&SimOptions::qop)},
        {"algorithm", "VALUE", "algorithm named: none, MD5, MD5-sess (none)",
         challengeParameter(&SimOptions::algorithm)},
        {"opaque", "TEXT", "opaque value sent in the challenge (none)",
         challengeParameter(&SimOptions::opaque)},
        {"nonce", "TEXT", "nonce at every start instead of a random one",
         textInto(&SimOptions::bootNonce, false)},
        {"nonce-uses", "N", "issue a fresh nonce after N accepted requests (0: never)",
         numberInto(&SimOptions::nonceUses, 0, 1000000)},
        {"accept-rfc-digest", nullptr,
         "also accept RFC 2617 Authorization headers in other clients' form (curl)",
         flagInto(&SimOptions::acceptRfcDigest)},
        {"keep-nonce-on-restart", nullptr,
         "keep the nonce and its count across the restart (by default a fresh one)",
         flagInto(&SimOptions::keepNonceOnRestart)},
        {"tftp-timeout-ms", "MS", "TFTP client's resend time-out (1000)",
         numberInto(&SimOptions::tftpTimeoutMs, 10, 60000)},
        {"tftp-retries", "N", "resends before the TFTP client gives up (5)",
         numberInto(&SimOptions::tftpRetries, 0, 100)},
        {"tftp-no-options", nullptr, "send the RRQ without tsize and timeout options",
         flagInto(&SimOptions::tftpNoOptions)},
        {"rrq-timeout", "S", "value of the RRQ's timeout option (5)",
         numberInto(&SimOptions::requestTimeoutOption, 1, 255)},
        {"strict-source", nullptr,
         "accept server packets only from the exact address (by default any 127.x "
         "address with the right port)",
         flagInto(&SimOptions::strictSource)},
        {"image-out", "PATH", "file where each received image is stored",
         pathInto(&SimOptions::imageOut)},
        {"restart-ms", "MS", "time the web server stays down after an upgrade (5000)",
         numberInto(&SimOptions::restartMs, 0, 600000)},
        {"log", "PATH", "event log, one JSON object per line", pathInto(&SimOptions::logPath)},
        {"ready-file", "PATH", "file written once the web server listens",
         pathInto(&SimOptions::readyFile)},
        {"fault-drop-ack", "N", "drop the first ACK of block N",
         numberInto(&SimOptions::dropAckBlock, 1, 65535)},
        {"fault-drop-ack-every", "N", "drop the first ACK of every block numbered a multiple of N",
         numberInto(&SimOptions::dropAckEvery, 1, 65535)},
        {"fault-drop-oack-ack", nullptr, "lose the ACK of the OACK once",
         flagInto(&SimOptions::dropOackAck)},
        {"fault-duplicate-acks", nullptr, "send every ACK twice",
         flagInto(&SimOptions::duplicateAcks)},
        {"fault-oack-error", nullptr, "answer the OACK with an ERROR and give up",
         flagInto(&SimOptions::oackError)},
        {"fault-stray-datagram", "N",
         "after the ACK of block N, send an ACK of block N+1 from another port",
         numberInto(&SimOptions::strayAfterBlock, 1, 65535)},
        {"fault-repeat-rrq", "N", "after the ACK of block N, send the RRQ again from the same port",
         numberInto(&SimOptions::repeatRrqAfterBlock, 1, 65535)},
        {"fault-wrong-name-first", nullptr,
         "first request the file name with its letter case swapped, from another port",
         flagInto(&SimOptions::wrongNameFirst)},
        {"fault-hijacker", "A.B.C.D",
         "a hostile host at this 127.x address: on each upgrade it requests /tov0.bin to "
         "/tov7fff.bin before the device does, then takes whatever it is served",
         [](SimOptions& o, std::string_view v) {
             // One loopback host whatever --allow-any-address says: a second host beside the
             // device, never anywhere off this machine.
             const auto a = parseIpv4(v);
             if (!a || (*a >> 24) != 127 || *a == 0x7f000000 || *a == 0x7fffffff)
                 return false;
             o.hijacker = *a;
             return true;
         }},
        {"fault-flood-after-block", "K",
         "after DATA block K, junk to the server's transfer port from the device's address "
         "(another port) and the hijacker's (or 127.0.0.9) for --fault-flood-ms",
         numberInto(&SimOptions::floodAfterBlock, 1, 65535)},
        {"fault-flood-ms", "MS", "length of the flood after block K (1000)",
         numberInto(&SimOptions::floodMs, 1, 600000)},
        {"fault-flood-while-waiting", "MS",
         "the same junk to the server's port for MS right after the upgrade request, before the "
         "device's RRQ",
         numberInto(&SimOptions::floodWhileWaitingMs, 1, 600000)},
        {"fault-never-return", nullptr, "the web server never comes back after an upgrade",
         flagInto(&SimOptions::neverReturn)},
        {"fault-upgrade-unanswered", nullptr,
         "carry out the upgrade request but never answer it nor close its connection, not even "
         "across the restart",
         flagInto(&SimOptions::upgradeUnanswered)},
        {"fault-keep-old-version", nullptr,
         "refuse every received image: store nothing, restart, report the old version",
         flagInto(&SimOptions::keepOldVersion)},
        {"fault-no-fetch", nullptr,
         "answer the upgrade request with 200 but never fetch the image (as behind a firewall)",
         flagInto(&SimOptions::noFetch)},
        {"installed-version", "TEXT",
         "Software Version after installing an image, in place of the image's own (as a device "
         "that writes versions in its own form)",
         textInto(&SimOptions::installedVersion, false)},
        {"fault-ack-pause", "N",
         "before the ACK of DATA block N, fall silent for --fault-ack-pause-ms, as a device "
         "writing its flash",
         numberInto(&SimOptions::ackPauseBlock, 1, 65535)},
        {"fault-ack-pause-ms", "MS", "length of the pause before the ACK of block N (3500)",
         numberInto(&SimOptions::ackPauseMs, 1, 600000)},
        {"fault-close", "LIST", "close HTTP requests LIST (1,2 or all) without answering",
         listInto(&SimOptions::closeWithoutAnswer)},
        {"fault-hang", "LIST", "accept HTTP requests LIST and never answer",
         listInto(&SimOptions::neverAnswer)},
        {"fault-404", "LIST", "answer HTTP requests LIST with a 404 page",
         listInto(&SimOptions::notFound)},
        {"fault-401-no-nonce", "LIST",
         "answer HTTP requests LIST with a 401 whose challenge "
         "has no nonce",
         listInto(&SimOptions::challengeWithoutNonce)},
        {"fault-challenge-crlf", nullptr,
         "put CR LF and two header lines (X-Injected, X-Other) inside the challenge's nonce; "
         "the nonce checked is the part before the CR",
         flagInto(&SimOptions::challengeCrlf)},
        {"challenge-lower-case", nullptr, "write the challenge's header name www-authenticate",
         flagInto(&SimOptions::challengeLowerCase)},
        {"basic-challenge", "only|first",
         "challenge with Basic only, or with a Basic challenge header before the Digest one",
         [](SimOptions& o, std::string_view v) {
             if (v != "only" && v != "first")
                 return false;
             o.basicChallenge = v == "only" ? BasicChallenge::only : BasicChallenge::first;
             return true;
         }},
        {"continue-first", nullptr, "send an interim \"100 Continue\" before every answer",
         flagInto(&SimOptions::continueFirst)},
        {"chunked", "N",
         "send every answer's body chunked, N bytes a chunk, without Content-Length",
         numberInto(&SimOptions::chunkSize, 1, 65536)},
        {"fault-upgrade-status", "CODE",
         "answer the upgrade request with this status (400-599) and fetch nothing",
         numberInto(&SimOptions::upgradeStatus, 400, 599)},
        {"fault-no-serial", "LIST", "serve information pages LIST without the Serial Number label",
         listInto(&SimOptions::pageWithoutSerial)},
        {"fault-no-version", "LIST",
         "serve information pages LIST without the Software Version label",
         listInto(&SimOptions::pageWithoutVersion)},
        {"fault-no-page-from", "N",
         "from HTTP request N on, answer /admin/advanced with a page without any of its labels",
         numberInto(&SimOptions::noPageFrom, 1, 1000000)},
    };
    return table;
}

} // namespace

std::string formatIpv4(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." +
           std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255);
}

std::optional<std::uint32_t> parseIpv4(std::string_view text) {
    std::uint32_t address = 0;
    for (int i = 0; i < 4; ++i) {
        const auto dot = text.find('.');
        if ((i < 3) == (dot == std::string_view::npos))
            return std::nullopt;
        const auto part = text.substr(0, dot);
        if (part.size() > 3)
            return std::nullopt;
        const auto n = parseNumber(part, 0, 255);
        if (!n)
            return std::nullopt;
        address = (address << 8) | *n;
        if (i < 3)
            text.remove_prefix(dot + 1);
    }
    return address;
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    SimOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.help = true;
            return result;
        }
        if (!arg.starts_with("--")) {
            result.error = "unexpected argument '" + std::string(arg) + "'";
            return result;
        }
        arg.remove_prefix(2);
        std::optional<std::string_view> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string_view::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        const OptionSpec* matched = nullptr;
        for (const auto& s : optionTable())
            if (arg == s.name)
                matched = &s;
        if (matched == nullptr) {
            result.error = "unknown option --" + std::string(arg);
            return result;
        }
        std::string_view value;
        if (matched->valueName == nullptr) {
            if (inlineValue) {
                result.error = "option --" + std::string(arg) + " takes no value";
                return result;
            }
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            result.error = "option --" + std::string(arg) + " needs a value " + matched->valueName;
            return result;
        }
        if (!matched->set(options, value)) {
            result.error = "bad value '" + std::string(value) + "' for --" + std::string(arg);
            return result;
        }
    }
    const bool loopbackOnly = !options.allowAnyAddress;
    if (loopbackOnly && (options.address >> 24) != 127) {
        result.error = "--address must be in 127.0.0.0/8 unless --allow-any-address is given";
        return result;
    }
    if (options.address == 0) {
        result.error = "--address must name one address";
        return result;
    }
    if (options.hijacker != 0 && options.hijacker == options.address) {
        result.error = "--fault-hijacker must be another host than --address";
        return result;
    }
    result.options = options;
    return result;
}

std::string optionsHelp() {
    std::string help = "Usage: tov-sim [OPTION...]\n"
                       "A simulated TOV telephone adapter: web server with Digest authentication,\n"
                       "TFTP client for the upgrade, install and restart.\n\n";
    for (const auto& s : optionTable()) {
        std::string left = std::string("  --") + s.name;
        if (s.valueName != nullptr)
            left += std::string(" ") + s.valueName;
        if (left.size() < 28)
            left.resize(28, ' ');
        else
            left += "\n" + std::string(28, ' ');
        help += left + s.help + "\n";
    }
    help += "  --help                    this text\n\n"
            "Exit status: 0 after SIGTERM or SIGINT, 1 when it cannot start, 2 on bad options.\n";
    return help;
}
