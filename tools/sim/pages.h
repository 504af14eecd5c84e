// SPDX-License-Identifier: MIT
// The device's HTTP answers: status line, headers and small HTML pages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct DeviceIdentity {
    std::string productName, macAddress, softwareVersion, hardwareVersion, serialNumber;
};

// "<&>\"" written as character references, so a value can never open a tag.
std::string escapeHtml(std::string_view text);

// How the device writes its answers.
struct AnswerForm {
    bool keepOpen = false;      // no "Connection: close": the client closes (--keep-alive)
    bool continueFirst = false; // an interim "100 Continue" before each answer (--continue-first)
    std::size_t chunkSize = 0;  // the body in chunks of this many bytes, without Content-Length
                                // (--chunked N); 0: one body with Content-Length
};

// A whole answer, and "Connection: close" unless the device keeps the connection open;
// `extraHeaders` are complete CRLF-ended lines.
std::string httpResponse(int status, std::string_view reason, std::string_view extraHeaders,
                         std::string_view body, const AnswerForm& form);

// /admin/advanced: each label in its own cell, its value in the next cell; a fault may leave out
// the serial number's or the software version's row.
std::string advancedPage(const DeviceIdentity& identity, bool withSerialNumber,
                         bool withSoftwareVersion);
// /admin/advanced as a device in trouble might serve it: a page, but none of the five labels.
std::string unlabelledPage();
std::string simplePage(std::string_view title, std::string_view message);
