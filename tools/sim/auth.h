// Digest authentication on the device's side: nonces, challenges, and the check of each
// Authorization header.
#pragma once

#include <cstdint>
#include <string>

#include "http_request.h"
#include "options.h"

struct AuthState {
    std::string nonce;
    bool countSeen = false;         // an nc has been accepted under this nonce
    std::uint64_t highestCount = 0; // the highest nc accepted under this nonce
    std::uint32_t acceptedUnderNonce = 0;
};

// A new nonce: the --nonce text at boot when given, otherwise 32 random hex digits.
void issueNonce(AuthState& state, const SimOptions& options, bool boot);

// The value of the WWW-Authenticate header: every parameter quoted.
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
