// SPDX-License-Identifier: MIT
// Where a run's image comes from (the carried one or a file) and its check before any request.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/image_check.h"
#include "ui/failure.h"

struct ImageChoice {
    std::string path; // empty: the image the program carries
    ImageRules rules;
};

struct LoadedImage {
    std::vector<std::uint8_t> fileBytes; // a file's image, owned for the run
    std::span<const std::uint8_t> bytes; // the image to send
    ImageReport report;
    bool fromFile = false;
};

// Reads and checks the chosen image; `carried` is the program's own (empty when the build has
// none). Nothing when the image may be sent, otherwise why not.
std::optional<UpgradeFailure> loadImage(const ImageChoice& choice,
                                        std::span<const std::uint8_t> carried, LoadedImage& image);
