// SPDX-License-Identifier: MIT
// Our request digest against curl's: curl answers a challenge from our loopback server, and the
// digest we compute from the directives curl chose (its uri, cnonce and count) must equal the one
// it sent. Skipped where curl is not installed (and under Windows).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "http/digest.h"
#include "loopback_http_server.h"

namespace {

#ifndef _WIN32

// The value of a directive of the Authorization line, quoted or not.
std::string directive(const std::string& header, const std::string& name) {
    std::size_t at = header.find(", " + name + "=");
    at = at == std::string::npos ? header.find(" " + name + "=") : at;
    if (at == std::string::npos)
        return {};
    at = header.find('=', at) + 1;
    if (header[at] == '"')
        return header.substr(at + 1, header.find('"', at + 1) - at - 1);
    return header.substr(at, header.find_first_of(",\r", at) - at);
}

// Lets curl authenticate against `challenge` and returns its Authorization line.
std::string curlAuthorization(const std::string& challenge) {
    LoopbackHttpServer server({"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest " +
                                   challenge + "\r\nConnection: close\r\n\r\n",
                               "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"});
    if (server.port() == 0)
        return {};
    const std::string command = "curl -s -o /dev/null --noproxy '*' --max-time 10 --digest "
                                "-u 'admin:Circle Of Life' http://127.0.0.1:" +
                                std::to_string(server.port()) + "/admin/advanced";
    if (std::system(command.c_str()) != 0)
        return {};
    const auto requests = server.finish();
    if (requests.size() != 2)
        return {};
    const std::size_t at = requests[1].find("Authorization: Digest ");
    return at == std::string::npos ? std::string{}
                                   : requests[1].substr(at, requests[1].find("\r\n", at) - at);
}

std::string ourResponseFor(const std::string& header) {
    char response[kDigestHexSize];
    computeDigestResponse(directive(header, "nonce"), directive(header, "cnonce"),
                          directive(header, "username"), directive(header, "realm"),
                          "Circle Of Life", directive(header, "algorithm"), directive(header, "nc"),
                          "GET", directive(header, "qop"), directive(header, "uri"), "", response);
    return response;
}

class CurlPeer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("curl --version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "curl is not installed";
        ASSERT_TRUE(initSocketLibrary());
    }
};

TEST_F(CurlPeer, SameDigestWithQopAuth) {
    const std::string header =
        curlAuthorization("realm=\"testrealm@host.com\", qop=\"auth\", "
                          "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", opaque=\"5ccc069c\"");
    ASSERT_FALSE(header.empty());
    ASSERT_EQ(directive(header, "qop"), "auth") << header;
    EXPECT_EQ(ourResponseFor(header), directive(header, "response")) << header;
}

TEST_F(CurlPeer, SameDigestWithoutQop) {
    const std::string header = curlAuthorization("realm=\"TOV\", nonce=\"4f1e2d3c\"");
    ASSERT_FALSE(header.empty());
    ASSERT_EQ(directive(header, "qop"), "") << header;
    EXPECT_EQ(ourResponseFor(header), directive(header, "response")) << header;
}

// No MD5-sess case: curl keys the session with the hex text of the first digest, while the
// device (like RFC 2617's reference code) takes its 16 raw bytes, so the two differ by design.

#endif

} // namespace
