// SPDX-License-Identifier: MIT
// Digest authentication: the RFC 2617 worked example, every header shape the device may cause,
// nonce-count bookkeeping and overlong challenge values. Expected digests were computed with
// Python's hashlib, independently of our MD5.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/random.h"
#include "base/text.h"
#include "http/digest.h"

namespace {

DigestChallenge state;

bool parse(std::string_view text) {
    return parseDigestChallenge(text, state);
}
std::size_t header(std::span<char> dest) {
    return buildAuthorizationHeader(dest, state);
}

// With the generator seeded with 1, the first two draws are 41 and 18467 (the Windows C
// runtime's sequence), so the client nonces are "29" and then "4823".
class DigestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state = DigestChallenge{};
        seedRandom(1);
        copyText(state.userName, "admin");
        copyText(state.password, "secret");
    }

    // The header of the next authorized request: the exchange raises the count first.
    static std::string nextHeader() {
        ++state.nonceCount;
        char line[2048];
        const std::size_t length = header(line);
        EXPECT_EQ(length, std::string(line).size());
        return line;
    }

    static DigestChallenge& digest() { return state; }
};

std::string digestOf(std::string_view nonce, std::string_view cnonce, std::string_view user,
                     std::string_view realm, std::string_view password, std::string_view algorithm,
                     std::string_view nc, std::string_view qop, std::string_view uri) {
    char response[kDigestHexSize];
    computeDigestResponse(nonce, cnonce, user, realm, password, algorithm, nc, "GET", qop, uri, "",
                          response);
    return response;
}

TEST(DigestComputation, Rfc2617WorkedExample) {
    EXPECT_EQ(digestOf("dcd98b7102dd2f0e8b11d0f600bfb0c093", "0a4f113b", "Mufasa",
                       "testrealm@host.com", "Circle Of Life", "", "00000001", "auth",
                       "/dir/index.html"),
              "6629fae49393a05397450978507c4ef1");
    // The same request with the session key and the entity-body form.
    EXPECT_EQ(digestOf("dcd98b7102dd2f0e8b11d0f600bfb0c093", "0a4f113b", "Mufasa",
                       "testrealm@host.com", "Circle Of Life", "MD5-sess", "00000001", "auth-int",
                       "/dir/index.html"),
              "0833276f4cabc0d1e6310f2b73417c0a");
}

TEST(DigestComputation, LowerHexHighNibbleFirst) {
    const std::uint8_t bytes[kMd5DigestSize] = {0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd,
                                                0xef, 0xf0, 0x0f, 0x10, 0x9a, 0xa9, 0xfe, 0xff};
    char hex[kDigestHexSize];
    std::fill(std::begin(hex), std::end(hex), 'x');
    toLowerHex(bytes, hex);
    EXPECT_STREQ(hex, "000123456789abcdeff00f109aa9feff");
}

TEST_F(DigestTest, RealmAndNonceOnly) {
    ASSERT_TRUE(parse("WWW-Authenticate: Digest realm=\"TOV\", nonce=\"abc123\""));
    EXPECT_EQ(nextHeader(), "Authorization: Digest username=\"admin\",realm=\"TOV\","
                            "nonce=\"abc123\",uri=\"\",algorithm=\"\","
                            "response=\"354124e451ea1aea11a8ffea124cf00a\"\r\n");
}

TEST_F(DigestTest, QopAuthCarriesNineDigitCountAndCnonce) {
    ASSERT_TRUE(
        parse("WWW-Authenticate: Digest qop=\"auth\", realm=\"TOV\", nonce=\"n1\"\r\n\r\n<html>"));
    EXPECT_STREQ(digest().cnonce, "29");
    EXPECT_EQ(nextHeader(), "Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n1\","
                            "uri=\"\",algorithm=\"\",response=\"3ba42f8b022741eb47733e5867c4fcf1\","
                            "qop=auth,nc=000000001,cnonce=\"29\"\r\n");
    // Pre-emptive reuse: the next request counts on under the same challenge and cnonce.
    EXPECT_EQ(nextHeader(), "Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n1\","
                            "uri=\"\",algorithm=\"\",response=\"586cf57341196dad9d925576f68b714d\","
                            "qop=auth,nc=000000002,cnonce=\"29\"\r\n");
}

TEST_F(DigestTest, OpaqueStandsBetweenResponseAndQop) {
    ASSERT_TRUE(parse("WWW-Authenticate: Digest realm=\"TOV\", nonce=\"n1\", "
                      "opaque=\"5ccc069c\", qop=\"auth\""));
    EXPECT_EQ(nextHeader(), "Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n1\","
                            "uri=\"\",algorithm=\"\",response=\"3ba42f8b022741eb47733e5867c4fcf1\","
                            "opaque=\"5ccc069c\",qop=auth,nc=000000001,cnonce=\"29\"\r\n");
}

TEST_F(DigestTest, Md5SessInAnyCaseIsRepeatedAsReceived) {
    for (const char* algorithm : {"MD5-sess", "md5-SESS", "Md5-Sess"}) {
        SetUp();
        ASSERT_TRUE(parse(std::string("Digest realm=\"TOV\",nonce=\"n1\",qop=\"auth\""
                                      ",algorithm=\"") +
                          algorithm + "\""));
        EXPECT_EQ(nextHeader(),
                  std::string("Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n1\","
                              "uri=\"\",algorithm=\"") +
                      algorithm +
                      "\",response=\"a422fa1a6269f699d3fbe97f4a4322f5\","
                      "qop=auth,nc=000000001,cnonce=\"29\"\r\n");
    }
}

TEST_F(DigestTest, PlainMd5AlgorithmKeepsTheFirstForm) {
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\"auth\" algorithm=\"MD5\""));
    const std::string header = nextHeader();
    EXPECT_NE(header.find("algorithm=\"MD5\",response=\"3ba42f8b022741eb47733e5867c4fcf1\""),
              std::string::npos)
        << header;
}

TEST_F(DigestTest, AuthIntHashesTheEmptyBody) {
    ASSERT_TRUE(parse("Digest realm=\"TOV\", nonce=\"n1\", qop=\"auth-int\""));
    EXPECT_EQ(nextHeader(), "Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n1\","
                            "uri=\"\",algorithm=\"\",response=\"9b3683361f420596d83ab08e8b42ef08\","
                            "qop=auth-int,nc=000000001,cnonce=\"29\"\r\n");
}

TEST_F(DigestTest, UnquotedParametersCountAsAbsent) {
    ASSERT_TRUE(
        parse("Digest realm=\"TOV\", nonce=\"abc123\", algorithm=MD5-sess, qop=auth, opaque=xyz"));
    EXPECT_STREQ(digest().algorithm, "");
    EXPECT_STREQ(digest().qop, "");
    EXPECT_STREQ(digest().opaque, "");
    EXPECT_EQ(nextHeader(), "Authorization: Digest username=\"admin\",realm=\"TOV\","
                            "nonce=\"abc123\",uri=\"\",algorithm=\"\","
                            "response=\"354124e451ea1aea11a8ffea124cf00a\"\r\n");
    // An unquoted realm or nonce makes the challenge unusable.
    EXPECT_FALSE(parse("Digest realm=TOV, nonce=\"n9\""));
    EXPECT_FALSE(parse("Digest realm=\"TOV\", nonce=n9"));
}

TEST_F(DigestTest, ListOfQopValuesIsAnsweredWithOneValue) {
    ASSERT_TRUE(
        parse("WWW-Authenticate: Digest realm=\"testrealm@host.com\", qop=\"auth,auth-int\", "
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
              "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\""));
    EXPECT_STREQ(digest().realm, "testrealm@host.com");
    EXPECT_STREQ(digest().nonce, "dcd98b7102dd2f0e8b11d0f600bfb0c093");
    EXPECT_STREQ(digest().qop, "auth");
    EXPECT_STREQ(digest().opaque, "5ccc069c403ebaf9f0171e9517f40e41");
    EXPECT_STREQ(digest().algorithm, "");
    EXPECT_NE(nextHeader().find(",qop=auth,nc=000000001,"), std::string::npos);

    // auth-int only when auth is not offered; a value naming neither is taken as offered.
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\" auth-int , other\""));
    EXPECT_STREQ(digest().qop, "auth-int");
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\"other\""));
    EXPECT_STREQ(digest().qop, "other");
}

TEST_F(DigestTest, AnotherAlgorithmIsNotAnsweredAndChangesNothing) {
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\"auth\""));
    const DigestChallenge before = digest();
    EXPECT_FALSE(parse("realm=\"other\" nonce=\"n2\" algorithm=\"SHA-256\""));
    EXPECT_EQ(std::memcmp(&before, &digest(), sizeof before), 0);
    EXPECT_TRUE(parse("realm=\"TOV\" nonce=\"n2\" algorithm=\"md5\""));
}

TEST_F(DigestTest, ValueRunsToTheEndWhenTheClosingQuoteIsMissing) {
    ASSERT_TRUE(parse("Digest realm=\"TOV\", nonce=\"open ended"));
    EXPECT_STREQ(digest().nonce, "open ended");
}

TEST_F(DigestTest, LaterChallengeWithoutQopDropsTheQopDirectives) {
    ASSERT_TRUE(
        parse("Digest realm=\"TOV\", nonce=\"n1\", qop=\"auth\", algorithm=\"MD5\", opaque=\"o\""));
    nextHeader();
    ASSERT_TRUE(parse("Digest realm=\"TOV\", nonce=\"n2\""));
    EXPECT_STREQ(digest().cnonce, "4823");
    EXPECT_STREQ(digest().qop, "");
    EXPECT_STREQ(digest().algorithm, "");
    EXPECT_STREQ(digest().opaque, "");
    EXPECT_EQ(nextHeader(), "Authorization: Digest username=\"admin\",realm=\"TOV\",nonce=\"n2\","
                            "uri=\"\",algorithm=\"\","
                            "response=\"85ac134bcc4f7899da9be357f8bea551\"\r\n");
}

TEST_F(DigestTest, NonceCountGoesOnForTheSameNonceAndRestartsForANewOne) {
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\"auth\""));
    EXPECT_EQ(digest().nonceCount, 0u);
    EXPECT_STREQ(digest().lastNonce, "n1");
    nextHeader();
    nextHeader();

    // The same nonce again: the credentials were refused, counting goes on.
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\"auth\""));
    EXPECT_EQ(digest().nonceCount, 2u);
    EXPECT_NE(nextHeader().find(",nc=000000003,cnonce=\"4823\""), std::string::npos);

    // A new nonce: the next authorized request carries 1 again.
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n2\" qop=\"auth\""));
    EXPECT_EQ(digest().nonceCount, 0u);
    EXPECT_STREQ(digest().lastNonce, "n2");
    EXPECT_NE(nextHeader().find(",nc=000000001,"), std::string::npos);
}

TEST_F(DigestTest, CountIsWrittenInNineHexDigits) {
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\"auth\""));
    digest().nonceCount = 0x1abcdef0 - 1;
    EXPECT_NE(nextHeader().find(",nc=01abcdef0,"), std::string::npos);
}

TEST_F(DigestTest, UnusableChallenges) {
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"n1\" qop=\"auth\" opaque=\"o\""));
    const DigestChallenge before = digest();

    // No realm: nothing changes, not even the client nonce.
    EXPECT_FALSE(parse("WWW-Authenticate: Digest nonce=\"n2\""));
    EXPECT_EQ(std::memcmp(&before, &digest(), sizeof before), 0);

    // Realm but no nonce: only the realm is replaced.
    EXPECT_FALSE(parse("WWW-Authenticate: Digest realm=\"other\""));
    EXPECT_STREQ(digest().realm, "other");
    EXPECT_STREQ(digest().nonce, "n1");
    EXPECT_STREQ(digest().cnonce, "29");
    EXPECT_STREQ(digest().qop, "auth");
    EXPECT_STREQ(digest().opaque, "o");
}

TEST_F(DigestTest, OverlongValuesAreCutAtTheFieldSize) {
    const std::string realm(200, 'R'), nonce(300, 'N'), qop(20, 'q'), algorithm(40, 'a'),
        opaque(500, 'o');
    // An over-long algorithm is none the program can answer.
    EXPECT_FALSE(
        parse("realm=\"" + realm + "\" nonce=\"" + nonce + "\" algorithm=\"" + algorithm + "\""));
    ASSERT_TRUE(parse("realm=\"" + realm + "\" nonce=\"" + nonce + "\" qop=\"" + qop +
                      "\" opaque=\"" + opaque + "\""));
    EXPECT_EQ(std::string(digest().realm), realm.substr(0, 127));
    EXPECT_EQ(std::string(digest().nonce), nonce.substr(0, 127));
    EXPECT_EQ(std::string(digest().lastNonce), nonce.substr(0, 127));
    EXPECT_EQ(std::string(digest().qop), qop.substr(0, 15));
    EXPECT_EQ(std::string(digest().algorithm), "");
    EXPECT_EQ(std::string(digest().opaque), opaque.substr(0, 127));
    // The fields after each text are untouched.
    EXPECT_STREQ(digest().uri, "");

    const std::string header = nextHeader();
    EXPECT_NE(header.find("response=\"5a9ac3c393e486d8343125b78c4488e8\""), std::string::npos)
        << header;
    EXPECT_EQ(header.substr(header.size() - 2), "\r\n");
}

TEST_F(DigestTest, HeaderIsWrittenWholeOrNotAtAll) {
    ASSERT_TRUE(parse("realm=\"TOV\" nonce=\"abc123\""));
    const std::string expected = "Authorization: Digest username=\"admin\",realm=\"TOV\","
                                 "nonce=\"abc123\",uri=\"\",algorithm=\"\","
                                 "response=\"354124e451ea1aea11a8ffea124cf00a\"\r\n";
    std::string space(expected.size() + 1, 'x');
    EXPECT_EQ(header(space), expected.size());
    EXPECT_EQ(space, expected + '\0');

    // One byte short: nothing but an empty text, and nothing past the span.
    std::string tight(expected.size() + 1, 'x');
    EXPECT_EQ(header(std::span(tight).first(expected.size())), 0u);
    EXPECT_EQ(tight[0], '\0');
    EXPECT_EQ(tight.back(), 'x');
    EXPECT_EQ(header(std::span<char>()), 0u);
}

} // namespace
