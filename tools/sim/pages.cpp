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
                         std::string_view body, bool keepOpen) {
    std::string r = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
    r += "Server: TOV-httpd\r\n";
    r += extraHeaders;
    r += "Content-Type: text/html\r\n";
    r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    // An HTTP/1.1 answer without "Connection: close" promises a connection that stays open.
    if (!keepOpen)
        r += "Connection: close\r\n";
    r += "\r\n";
    r += body;
    return r;
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
