// SPDX-License-Identifier: MIT
// Whether a test runs on a private loopback of its own (Linux and Wine alike).
#pragma once

// True inside scripts/netns-run.sh's private network namespace (host name tov-test), where ports
// 69 and 80 and the addresses beyond 127.0.0.1 are the test's alone. CTest entries enter it
// (tests/cmake/NetnsTests.cmake); a test only checks it is there.
bool inPrivateNetwork();
