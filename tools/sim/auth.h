// SPDX-License-Identifier: MIT
// Digest authentication on the device's side: nonces, challenges, and the check of each
// Authorization header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "http_request.h"
#include "options.h"

struct AuthState {
    std::string nonce;
    bool countSeen = false;         // an nc has been accepted under this nonce
    std::uint64_t highestCount = 0; // the highest nc accepted under this nonce
    std::uint32_t acceptedUnderNonce = 0;
};

// --fault-challenge-crlf: text put inside the challenge's quoted nonce, after the real nonce, so
// that a client copying the value whole writes these header lines into its next request. The
// nonce the device checks stays the part before the CR.
inline constexpr std::string_view kInjectedNonceText = "\r\nX-Injected: yes\r\nX-Other: 1";
inline constexpr std::string_view kInjectedHeaderNames[] = {"X-Injected", "X-Other"};

// A new nonce: the --nonce text at boot when given, otherwise 32 random hex digits.
void issueNonce(AuthState& state, const SimOptions& options, bool boot);

// The value of the WWW-Authenticate header: every parameter quoted; with --fault-challenge-crlf the
// nonce carries kInjectedNonceText.
std::string challengeValue(const SimOptions& options, const AuthState& state, bool withNonce);

struct AuthVerdict {
    bool accepted = false;
    std::string reason; // why it was refused, or the form that was accepted
    std::string nonceCount;
};

// Checks the request's Authorization header against the current nonce. Accepted requests raise
// the highest nonce count seen; after --nonce-uses of them a fresh nonce is issued.
AuthVerdict checkAuthorization(const SimOptions& options, AuthState& state,
                               const HttpRequest& request);
