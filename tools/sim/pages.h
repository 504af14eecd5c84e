// The device's HTTP answers: status line, headers and small HTML pages.
#pragma once

#include <string>
#include <string_view>

struct DeviceIdentity {
    std::string productName, macAddress, softwareVersion, hardwareVersion, serialNumber;
};

// "<&>\"" written as character references, so a value can never open a tag.
std::string escapeHtml(std::string_view text);

// A whole answer with Content-Length, and "Connection: close" unless the device keeps the
// connection open; `extraHeaders` are complete CRLF-ended lines.
std::string httpResponse(int status, std::string_view reason, std::string_view extraHeaders,
                         std::string_view body, bool keepOpen);

// /admin/advanced: each label in its own cell, its value in the next cell; a fault may leave out
// the serial number's or the software version's row.
std::string advancedPage(const DeviceIdentity& identity, bool withSerialNumber,
                         bool withSoftwareVersion);
// /admin/advanced as a device in trouble might serve it: a page, but none of the five labels.
std::string unlabelledPage();
std::string simplePage(std::string_view title, std::string_view message);
