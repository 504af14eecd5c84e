// SPDX-License-Identifier: MIT
// The image against the device, from its information page: the versions in order, the model.
#pragma once

#include <optional>
#include <string_view>

#include "app/image_check.h"
#include "ui/image_findings.h"

struct DeviceInfo;

// Orders two versions such as "2.0.10(e)": the dotted numbers as numbers (a missing part counts
// as 0), then the letter in brackets (none before "a"). Negative when a is older, 0 when equal,
// positive when newer; none when either is not such a version.
std::optional<int> compareFirmwareVersions(std::string_view a, std::string_view b);

// Whether a device reporting `productName` takes images of `product`: a TOV3000 image needs
// "3000" in the name, a TOV2000 image "1000" or "2000"; no other image fits any device.
bool productFits(ImageProduct product, std::string_view productName);

ImageFindings checkImageAgainstDevice(const DeviceInfo& device, ImageProduct product,
                                      const char* imageVersion);
