// SPDX-License-Identifier: MIT
// Value extraction from any page: the first byte picks one of the device's labels (or a label
// taken from the input), the second the limit; the rest is the page. The value written stays
// within the limit, holds no tag start and is a piece of the page.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "http/device_page.h"
#include "http/http_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 200000)
        return 0;
    const int choice = data[0] % 6;
    const int limit = data[1] % 129; // 0 to 128; the exchange passes 127
    std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);

    std::string label;
    if (choice < 5) {
        const char* const labels[] = {kProductNameLabel, kMacAddressLabel, kSoftwareVersionLabel,
                                      kHardwareVersionLabel, kSerialNumberLabel};
        label = labels[choice];
    } else {
        // A label of the input's own: up to its first zero byte (or 16 bytes), never empty.
        const std::size_t end = std::min(rest.find('\0'), std::min<std::size_t>(rest.size(), 16));
        label.assign(rest.substr(0, end));
        rest.remove_prefix(std::min(rest.size(), end + 1));
        if (label.empty())
            return 0;
    }
    std::vector<char> page(rest.begin(), rest.end());
    page.push_back('\0');
    const std::string_view pageText(page.data());

    // Exactly limit + 1 bytes, as the exchange's 128-byte fields are for a limit of 127.
    std::vector<char> dest(static_cast<std::size_t>(limit) + 1, '\x7f');
    const bool written = extractPageValue(page.data(), label.c_str(), dest.data(), limit);
    if (!written) {
        FUZZ_CHECK(dest[0] == '\x7f'); // untouched
        return 0;
    }
    FUZZ_CHECK(pageText.find(label) != std::string_view::npos);
    const std::string_view value(dest.data(), std::strlen(dest.data()));
    FUZZ_CHECK(value.size() <= static_cast<std::size_t>(limit));
    FUZZ_CHECK(value.find('<') == std::string_view::npos);
    FUZZ_CHECK(pageText.find(value) != std::string_view::npos);
    return 0;
}
