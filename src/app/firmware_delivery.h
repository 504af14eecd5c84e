// SPDX-License-Identifier: MIT
// The TFTP thread: it serves the image to the device while the main thread sends the upgrade
// request. Its windows (waiting, uploading) are created, pumped and destroyed on it; it hands
// back how the delivery went, and the main thread decides what that means.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "platform/platform.h"
#include "tftp/tftp_listener.h"
#include "tftp/tftp_session.h"
#include "tftp/tftp_transfer.h"
#include "ui/failure.h"
#include "ui/ui.h"

enum class DeliveryOutcome {
    complete,   // the device acknowledged the last block and had its settling wait
    incomplete, // the transfer was given up; the settling wait was given all the same
    cancelled,  // the user cancelled the waiting or upload window, or the main thread stopped it
};

// What the TFTP thread is handed when it starts; it reads nothing else of the upgrade's state.
struct DeliveryInputs {
    std::uint32_t deviceAddress;         // the only host whose read request is served
    char deviceAddressText[32];          // as typed, for the windows' titles
    char fileName[128];                  // the offered file, "/tov<hex>.bin"
    std::span<const std::uint8_t> image; // read-only for the whole run
};

struct FirmwareDelivery {
    DeliveryInputs inputs{};
    TftpListener listener{};
    TftpReadRequest request{}; // who asked for the image, once somebody did
    TftpSession session{};
    ThreadHandle thread = nullptr;
    DeliveryOutcome outcome = DeliveryOutcome::cancelled;
    // The device acknowledged the last block: it holds the whole image, whatever came after.
    bool imageDelivered = false;
    std::atomic<bool> stopRequested{false}; // set by the main thread: stop at the next poll
    // Set by the TFTP thread once the transfer is over (or never happens): from then on nothing
    // the upgrade request could still bring matters.
    std::atomic<bool> transferOver{false};
    // Set by the TFTP thread once the device asked for the image.
    std::atomic<bool> readRequestArrived{false};

    ~FirmwareDelivery();
    // True once the TFTP thread is to stop: the main thread asked, or the user cancelled `window`.
    bool stopAt(ProgressWindow window) const;
};

// Refuses an image whose blocks cannot be numbered, opens the listener on `localAddress` (the
// bound port is in delivery->listener) and starts the TFTP thread (deliverFirmware) with a copy
// of `inputs`. Nothing when it runs; otherwise the failure.
// A `tftpPort` other than 0 is the only port tried.
std::optional<Failure> startTftpListener(std::unique_ptr<FirmwareDelivery>& delivery,
                                         std::uint32_t localAddress, const DeliveryInputs& inputs,
                                         std::uint16_t tftpPort = 0);
// The TFTP thread's part (app/upgrade_sequence.cpp): the waiting window, the transfer and the
// settling wait.
DeliveryOutcome deliverFirmware(FirmwareDelivery& delivery);
// Waits for the TFTP thread to end and returns its outcome.
DeliveryOutcome finishFirmwareDelivery(FirmwareDelivery& delivery);
// Asks the TFTP thread to stop at its next poll, then waits for it to end.
void stopFirmwareDelivery(FirmwareDelivery& delivery);
// Waits on the program's clock, at most `milliseconds`, for the device's read request: true once
// it came or the TFTP thread is over by itself (the user cancelled its window), false when the
// time ran out without either.
bool awaitReadRequest(const FirmwareDelivery& delivery, std::uint32_t milliseconds);

// The body's steps, each under its window.
// Waits under the waiting window for the read request for the offered file from the device.
std::optional<TftpReadRequest> waitForDevice(FirmwareDelivery& delivery);
// Sends the image to the device that asked, the upload window following the ACKs.
TransferOutcome sendFirmware(FirmwareDelivery& delivery, ProgressWindow upload);
