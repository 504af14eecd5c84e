// SPDX-License-Identifier: MIT
// One connection of the device's web server: read the request, check it, answer it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "auth.h"
#include "options.h"
#include "pages.h"
#include "upgrade_url.h"

struct WebState {
    explicit WebState(const SimOptions& o) : options(o) {}
    const SimOptions& options;
    AuthState auth;
    DeviceIdentity identity;
    std::uint32_t requests = 0;  // connections served, numbered from 1
    std::uint32_t infoPages = 0; // /admin/advanced pages served, numbered from 1
    bool upgradeBusy = false;
};

// What the device does next with the connection. Both hold and upgrade
// (--fault-upgrade-unanswered): the transfer starts at once and the connection stays open until
// the process ends, across the restart too.
struct ServeResult {
    std::uint32_t n = 0;                  // the request's number
    bool answered = false;                // an answer went out whole
    bool hold = false;                    // keep the connection open without answering
    std::optional<UpgradeSource> upgrade; // start this transfer once the connection is closed
};

ServeResult serveConnection(WebState& web, int socket, const std::string& peer);

// Half-closes the connection and reads what the client still sends (at most a second's worth),
// so the answer is not lost to a reset.
void lingeringClose(int socket);
