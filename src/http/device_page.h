// SPDX-License-Identifier: MIT
// The device's information page "/admin/advanced": its five labels and the values cut from it.
#pragma once

#include <cstddef>

// The five identification texts, each at most 127 characters and terminated.
struct DeviceInfo {
    char deviceProductName[128];
    char macAddress[128];
    char softwareVersion[128];
    char hardwareVersion[128];
    char serialNumber[128];
};

// The labels the page carries before each value, matched exactly (case and colon included).
inline constexpr char kProductNameLabel[] = "Product Name:";
inline constexpr char kMacAddressLabel[] = "MAC Address:";
inline constexpr char kSoftwareVersionLabel[] = "Software Version:";
inline constexpr char kHardwareVersionLabel[] = "Hardware Version:";
inline constexpr char kSerialNumberLabel[] = "Serial Number:";

inline constexpr int kPageValueLimit = 127;

// Copies the value that follows `label` (after one or more tags) into dest, at most `limit`
// characters plus a zero; returns whether dest was written.
bool extractPageValue(const char* page, const char* label, char* dest, int limit);

// Updates each field whose label the zero-terminated page holds; the others keep their value.
void extractDeviceInfo(const char* page, DeviceInfo& info);
