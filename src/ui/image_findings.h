// SPDX-License-Identifier: MIT
// What the checks of the image against the device found, as values: the front-ends word them
// (the GTK program as a warning, the terminal program as refusals its options may lift).
#pragma once

// The image's version against the one the device runs.
enum class VersionOrder {
    newer,   // the image is newer: nothing to say
    same,    // the device runs the image's version already
    older,   // the image is older than what the device runs
    unknown, // either version cannot be read or ordered
};

// The image's product (from its magic) against the device's product name.
enum class ModelMatch {
    matches,
    mismatch, // the name is not one the image is made for
    unnamed,  // the device reports no product name
};

struct ImageFindings {
    VersionOrder version;
    ModelMatch model;
    const char* deviceVersion; // as the device reported it
    const char* imageVersion;
    const char* deviceProduct; // as the device reported it
    const char* imageProduct;  // "TOV-3000", "TOV-1000/2000" or "ODM-Product"

    bool clear() const { return version == VersionOrder::newer && model == ModelMatch::matches; }
};
