// SPDX-License-Identifier: MIT
// HTML and HTTP text of the device's web server.
#include "pages.h"

std::string escapeHtml(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string httpResponse(int status, std::string_view reason, std::string_view extraHeaders,
                         std::string_view body, const AnswerForm& form) {
    std::string r = form.continueFirst ? "HTTP/1.1 100 Continue\r\n\r\n" : "";
    r += "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
    r += "Server: TOV-httpd\r\n";
    r += extraHeaders;
    r += "Content-Type: text/html\r\n";
    if (form.chunkSize == 0)
        r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    else
        r += "Transfer-Encoding: chunked\r\n";
    // An HTTP/1.1 answer without "Connection: close" promises a connection that stays open.
    if (!form.keepOpen)
        r += "Connection: close\r\n";
    r += "\r\n";
    if (form.chunkSize == 0)
        return r + std::string(body);
    // Each chunk's size in lower-case hex, then a last chunk of 0 and no trailer.
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t at = 0; at < body.size(); at += form.chunkSize) {
        const std::string_view chunk = body.substr(at, form.chunkSize);
        std::string size;
        for (std::size_t n = chunk.size(); n > 0; n /= 16)
            size.insert(size.begin(), kHex[n % 16]);
        r += size + "\r\n" + std::string(chunk) + "\r\n";
    }
    return r + "0\r\n\r\n";
}

namespace {

std::string row(std::string_view label, std::string_view value) {
    return "<tr><td class=\"label\">" + std::string(label) + "</td><td>" + escapeHtml(value) +
           "</td></tr>\n";
}

} // namespace

std::string advancedPage(const DeviceIdentity& id, bool withSerialNumber,
                         bool withSoftwareVersion) {
    std::string page = "<html>\n<head><title>TOV Telephone Adapter - Advanced</title></head>\n"
                       "<body>\n<h2>Device Information</h2>\n<table border=\"0\">\n";
    page += row("Product Name:", id.productName);
    page += row("MAC Address:", id.macAddress);
    if (withSoftwareVersion)
        page += row("Software Version:", id.softwareVersion);
    page += row("Hardware Version:", id.hardwareVersion);
    if (withSerialNumber)
        page += row("Serial Number:", id.serialNumber);
    page += "</table>\n</body>\n</html>\n";
    return page;
}

std::string unlabelledPage() {
    return simplePage("TOV Telephone Adapter - Advanced",
                      "The device information is not available at the moment.");
}

std::string simplePage(std::string_view title, std::string_view message) {
    return "<html>\n<head><title>" + escapeHtml(title) + "</title></head>\n<body>\n<h2>" +
           escapeHtml(title) + "</h2>\n<p>" + escapeHtml(message) + "</p>\n</body>\n</html>\n";
}
