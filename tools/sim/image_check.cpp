// SPDX-License-Identifier: MIT
// Header checks of a received image.
#include "image_check.h"

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kLengthAt = 88;
constexpr std::size_t kVersionAt = 92;

bool magicMatches(std::span<const std::uint8_t> image) {
    for (const char* magic : {"tov2000", "tov3000"}) {
        bool same = true;
        for (std::size_t i = 0; i < 7; ++i) {
            auto c = static_cast<char>(image[i]);
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
            same = same && c == magic[i];
        }
        if (same)
            return true;
    }
    return false;
}

} // namespace

ImageVerdict checkImage(std::span<const std::uint8_t> image, std::optional<std::uint64_t> tsize) {
    ImageVerdict v;
    if (tsize && *tsize != image.size()) {
        v.reason = "size differs from tsize";
        return v;
    }
    if (image.size() < kHeaderSize) {
        v.reason = "shorter than the header";
        return v;
    }
    if (!magicMatches(image)) {
        v.reason = "bad magic";
        return v;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(image[kLengthAt]) << 24 |
                                 static_cast<std::uint32_t>(image[kLengthAt + 1]) << 16 |
                                 static_cast<std::uint32_t>(image[kLengthAt + 2]) << 8 |
                                 image[kLengthAt + 3];
    if (length != image.size()) {
        v.reason = "length field differs from the size";
        return v;
    }
    std::size_t end = kVersionAt;
    while (end < kHeaderSize && image[end] != 0)
        ++end;
    if (end == kHeaderSize) {
        v.reason = "version text not terminated inside the header";
        return v;
    }
    v.version.assign(image.begin() + kVersionAt, image.begin() + static_cast<std::ptrdiff_t>(end));
    if (v.version.empty()) {
        v.reason = "empty version text";
        return v;
    }
    for (char c : v.version)
        if (c < 0x20 || c > 0x7e) {
            v.reason = "version text not printable";
            return v;
        }
    v.accepted = true;
    v.reason = "ok";
    return v;
}
