// The runner: each attempt runs the exchange on a worker thread while the calling thread keeps
// the "Connecting with TOV" window alive; between attempts it decides on the password prompt.
#include "app/background_request.h"

#include <mutex>

#include "app/context.h"
#include "app/failure.h"
#include "app/text.h"
#include "http/http_exchange.h"
#include "platform/platform.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {

// What one worker needs; lives in the runner's frame, which outlasts the worker.
struct BackgroundRequest {
    void* instance;
    std::uint32_t localAddress;
    std::uint16_t localPort;
    std::uint32_t remoteAddress;
    std::uint16_t remotePort;
    const char* path;
    char* buffer;
    int capacity;
};

// Exchanges share the response buffer, DeviceInfo and the authentication state. The closing
// request of the transfer normally starts long after the upgrade request ended; if a device
// never answered the upgrade request, this keeps the two from ever running side by side.
std::mutex exchangeInProgress;

int requestWorker(void* argument) {
    const auto* request = static_cast<const BackgroundRequest*>(argument);
    trace("HTTP %x:%u to %x:%u", request->localAddress, request->localPort, request->remoteAddress,
          request->remotePort);
    return httpExchange(request->localAddress, request->localPort, request->remoteAddress,
                        request->remotePort, request->path, request->buffer, request->capacity);
}

struct BarAnimation {
    int cycle = 0; // wait cycles since the bar last moved, 0 to 10
    int step = 0;  // next bar position, 0 to 100
};

int runAttempt(BackgroundRequest& request, BarAnimation& bar) {
    ProgressWindow window = openProgressWindow(ProgressKind::connecting);
    ThreadHandle worker = startThread(requestWorker, &request);
    int result;
    if (worker == nullptr) {
        // No thread to be had: the exchange still runs, only without a live window.
        result = requestWorker(&request);
    } else {
        while (!threadFinished(worker)) {
            if (window != nullptr)
                handleOneProgressMessage(window);
            sleepMilliseconds(1);
            if (++bar.cycle == 10) {
                if (window != nullptr)
                    setProgressPosition(window, bar.step);
                if (++bar.step > 100)
                    bar.step = 0;
                bar.cycle = 0;
            }
        }
        result = takeThreadResult(worker);
    }
    if (window != nullptr)
        destroyProgressWindow(window);
    return result;
}

} // namespace

int runBackgroundRequest(void* instance, std::uint32_t localAddress, std::uint16_t localPort,
                         std::uint32_t remoteAddress, std::uint16_t remotePort, const char* path,
                         char* buffer, int capacity) {
    std::lock_guard exclusive(exchangeInProgress);
    BarAnimation bar;
    int silentRetries = 0;
    for (;;) {
        BackgroundRequest request{instance,   localAddress, localPort, remoteAddress,
                                  remotePort, path,         buffer,    capacity};
        const int result = runAttempt(request, bar);
        if (result >= 0)
            return result;

        // The device wants credentials. A fresh nonce (count back at 0) for a client that
        // already holds a password earns one silent repetition; anything else asks the user.
        const DigestChallenge& digest = upgradeContext.digest;
        if (digest.password[0] != '\0' && digest.nonceCount == 0 && silentRetries <= 0) {
            ++silentRetries;
            continue;
        }
        if (!runPasswordDialog())
            failUpgrade(kErrorUserAbort);
        silentRetries = 0;
    }
}
