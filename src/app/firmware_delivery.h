// The TFTP thread: it serves the image to the device while the main thread sends the upgrade
// request. Its windows (waiting, uploading) are created, pumped and destroyed on it; it hands
// back how the delivery went, and the main thread decides what that means.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/platform.h"
#include "tftp/tftp_listener.h"
#include "tftp/tftp_transfer.h"
#include "ui/ui.h"

enum class DeliveryOutcome {
    complete,   // the device acknowledged the last block and had its settling wait
    incomplete, // the transfer was given up; the settling wait was given all the same
    cancelled,  // the user cancelled the waiting or upload window, or the main thread stopped it
};

struct FirmwareDelivery;
using DeliveryBody = DeliveryOutcome (*)(FirmwareDelivery& delivery);

struct FirmwareDelivery {
    TftpListener listener{};
    TftpReadRequest request{}; // who asked for the image, once somebody did
    TftpSession session{};
    DeliveryBody body = nullptr;
    ThreadHandle thread = nullptr;
    DeliveryOutcome outcome = DeliveryOutcome::cancelled;
    std::atomic<bool> stopRequested{false}; // set by the main thread: stop at the next poll
    // Set by the TFTP thread once the transfer is over (or never happens): from then on nothing
    // the upgrade request could still bring matters.
    std::atomic<bool> transferOver{false};

    ~FirmwareDelivery();
    // True once the TFTP thread is to stop: the main thread asked, or the user cancelled `window`.
    bool stopAt(ProgressWindow window) const;
};

// Refuses an image whose blocks cannot be numbered, opens the listener on `localAddress` (the
// bound port is in delivery->listener) and starts the TFTP thread running `body`. Null when it
// runs; otherwise the text of the failure.
const char* startTftpListener(std::unique_ptr<FirmwareDelivery>& delivery,
                              std::uint32_t localAddress, DeliveryBody body);
// Waits for the TFTP thread to end and returns its outcome.
DeliveryOutcome finishFirmwareDelivery(FirmwareDelivery& delivery);
// Asks the TFTP thread to stop at its next poll, then waits for it to end.
void stopFirmwareDelivery(FirmwareDelivery& delivery);

// The body's steps, each under its window.
// Waits under the waiting window for the read request for `fileName` from `deviceAddress`.
std::optional<TftpReadRequest> waitForDevice(FirmwareDelivery& delivery, std::string_view fileName,
                                             std::uint32_t deviceAddress);
// Sends `image` to the device that asked, its bar and caption following the ACKs.
TransferOutcome sendFirmware(FirmwareDelivery& delivery, std::span<const std::uint8_t> image,
                             const char* deviceAddressText, ProgressWindow upload);
