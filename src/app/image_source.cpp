// SPDX-License-Identifier: MIT
// Reading an image file: a regular file (a link to one will do), never more than the largest
// image TFTP can send, so a wrong path to something huge is not read whole.
#include "app/image_source.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

Failure failureFor(ImageVerdict verdict) {
    switch (verdict) {
    case ImageVerdict::tooLarge:
        return Failure::imageOversized;
    case ImageVerdict::truncated:
        return Failure::imageTruncated;
    case ImageVerdict::unknownMagic:
        return Failure::imageUnknownMagic;
    case ImageVerdict::badVersion:
        return Failure::imageBadVersion;
    case ImageVerdict::digestMismatch:
        return Failure::imageDigestMismatch;
    case ImageVerdict::accepted:
        break;
    }
    return Failure::imageTruncated;
}

enum class FileRead { read, unreadable, tooLarge };

FileRead readImageFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return FileRead::unreadable;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return FileRead::unreadable;
    // One byte past the largest image tells a file that is too large.
    bytes.resize(kLargestImage + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return FileRead::unreadable;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    bytes.shrink_to_fit();
    return bytes.size() > kLargestImage ? FileRead::tooLarge : FileRead::read;
}

} // namespace

std::optional<UpgradeFailure> loadImage(const ImageChoice& choice,
                                        std::span<const std::uint8_t> carried, LoadedImage& image) {
    image.fromFile = !choice.path.empty();
    if (image.fromFile) {
        switch (readImageFile(choice.path, image.fileBytes)) {
        case FileRead::unreadable:
            return failureWithVersion(Failure::imageUnreadable, choice.path.c_str());
        case FileRead::tooLarge:
            image.report.verdict = ImageVerdict::tooLarge;
            image.report.size = kLargestImage + 1;
            return UpgradeFailure{Failure::imageOversized};
        case FileRead::read:
            break;
        }
        image.bytes = image.fileBytes;
    } else {
        if (carried.empty())
            return UpgradeFailure{Failure::imageNotCarried};
        image.bytes = carried;
    }
    image.report = checkFirmwareImage(image.bytes, choice.rules);
    if (image.report.verdict == ImageVerdict::digestMismatch)
        return failureWithVersion(Failure::imageDigestMismatch,
                                  sha256Hex(image.report.sha256).data());
    if (image.report.verdict != ImageVerdict::accepted)
        return UpgradeFailure{failureFor(image.report.verdict)};
    return std::nullopt;
}
