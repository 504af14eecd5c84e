// SPDX-License-Identifier: MIT
// The runner: each attempt runs the exchange on a worker thread while the calling thread keeps
// the "Connecting with TOV" window alive; between attempts it decides on the password prompt.
#include "app/background_request.h"

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "app/context.h"
#include "app/window_pace.h"
#include "base/text.h"
#include "platform/debug_log.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace {

// One attempt's own copy of the state the exchange writes. Shared by the runner and the worker:
// a worker the runner gave up on frees it when its exchange finally ends.
struct Attempt {
    HttpEndpoints endpoints;
    std::string path;
    DigestChallenge digest;
    DeviceInfo deviceInfo;
    std::array<char, kResponseBufferSize> buffer;
    HttpResult result;

    ~Attempt() { wipeText(digest.password); }
};

// One exchange with the device at a time, whichever thread calls: the device serves one
// connection at a time, and the closing request must not overlap the upgrade request.
std::mutex exchangeInProgress;

int requestWorker(void* argument) {
    const std::unique_ptr<std::shared_ptr<Attempt>> handoff(
        static_cast<std::shared_ptr<Attempt>*>(argument));
    Attempt& attempt = **handoff;
    const HttpEndpoints& e = attempt.endpoints;
    trace("HTTP %x:%u to %x:%u", e.localAddress, e.localPort, e.deviceAddress, e.devicePort);
    attempt.result =
        httpExchange(e, attempt.path.c_str(), attempt.buffer, attempt.digest, attempt.deviceInfo);
    return 0;
}

// The bar shows activity, not progress: one step every 10 ms, 0 to 100 and round again. It is
// drawn at an activity's pace; a repeated attempt's window goes on from the step the last one
// reached.
struct BarAnimation {
    std::uint32_t pending = 0; // milliseconds not yet turned into steps
    int step = 0;              // next bar position, 0 to 100
    WindowPace pace;
};
constexpr std::uint32_t kBarStepMilliseconds = 10;

void moveBar(ProgressWindow window, BarAnimation& bar, std::uint32_t elapsed) {
    bar.pending += elapsed;
    if (bar.pending < kBarStepMilliseconds)
        return;
    int shown = bar.step;
    for (; bar.pending >= kBarStepMilliseconds; bar.pending -= kBarStepMilliseconds) {
        shown = bar.step;
        if (++bar.step > 100)
            bar.step = 0;
    }
    if (windowMayChange(bar.pace, millisecondClock()))
        setProgressPosition(window, shown);
}

enum class AttemptEnd { finished, cancelled, stopped };

// Wakes when the worker ends, or every 30 ms for the window: its messages, its Cancel, its bar.
AttemptEnd waitForWorker(ThreadHandle worker, ProgressWindow window, BarAnimation& bar,
                         const std::atomic<bool>* stopWhen) {
    std::uint32_t last = millisecondClock();
    for (;;) {
        if (waitThreadOnClock(worker, kWindowMessagesMilliseconds)) {
            takeThreadResult(worker);
            return AttemptEnd::finished;
        }
        handleAllProgressMessages(window);
        if (progressCancelled(window) || (stopWhen != nullptr && stopWhen->load())) {
            releaseThread(worker); // it ends by itself once its socket gives up
            return progressCancelled(window) ? AttemptEnd::cancelled : AttemptEnd::stopped;
        }
        const std::uint32_t now = millisecondClock();
        moveBar(window, bar, now - last);
        last = now;
    }
}

AttemptEnd runAttempt(const std::shared_ptr<Attempt>& attempt, const ProgressSubject& subject,
                      BarAnimation& bar, const std::atomic<bool>* stopWhen) {
    ProgressWindow window = openProgressWindow(subject);
    auto* handoff = new std::shared_ptr<Attempt>(attempt);
    ThreadHandle worker = startThread(requestWorker, handoff);
    AttemptEnd end = AttemptEnd::finished;
    if (worker == nullptr)
        requestWorker(handoff); // no thread to be had: the exchange runs without a live window
    else
        end = waitForWorker(worker, window, bar, stopWhen);
    destroyProgressWindow(window);
    return end;
}

RequestStatus statusOf(HttpOutcome outcome) {
    switch (outcome) {
    case HttpOutcome::cannotOpenSocket:
        return RequestStatus::cannotOpenSocket;
    case HttpOutcome::cannotBindSocket:
        return RequestStatus::cannotBindSocket;
    case HttpOutcome::cannotConnect:
        return RequestStatus::cannotConnect;
    case HttpOutcome::authUnsupported:
        return RequestStatus::authUnsupported;
    case HttpOutcome::answered:
    case HttpOutcome::challenged:
        break;
    }
    return RequestStatus::answered;
}

// The credentials the next attempt sends; on Cancel the earlier ones stay.
bool askForPassword(DigestChallenge& digest) {
    Credentials credentials{};
    const bool given = runPasswordDialog(credentials);
    if (given) {
        copyText(digest.userName, textIn(credentials.userName));
        copyText(digest.password, textIn(credentials.password));
    }
    wipeText(credentials.password);
    return given;
}

} // namespace

RequestResult runBackgroundRequest(const DeviceRequest& request, DigestChallenge& digest,
                                   DeviceInfo& deviceInfo, const std::atomic<bool>* stopWhen) {
    std::lock_guard exclusive(exchangeInProgress);
    BarAnimation bar;
    int silentRetries = 0;
    for (;;) {
        // Checked before every attempt, so also after every prompt: once the caller's reason to
        // send has gone (a Cancel elsewhere ended the transfer), nothing more is sent.
        if (stopWhen != nullptr && stopWhen->load())
            return {RequestStatus::stopped, 0};
        auto attempt = std::make_shared<Attempt>();
        attempt->endpoints = request.endpoints;
        attempt->path = request.path;
        attempt->digest = digest;
        attempt->deviceInfo = deviceInfo;
        // The exchange authorizes a request whenever the state holds a password.
        const bool sentPassword = digest.password[0] != '\0';
        const AttemptEnd end = runAttempt(attempt, request.window, bar, stopWhen);
        // An abandoned request may have gone out with the next count: it is never used again.
        if (end != AttemptEnd::finished && sentPassword)
            ++digest.nonceCount;
        if (end == AttemptEnd::cancelled)
            return {RequestStatus::cancelled, 0};
        if (end == AttemptEnd::stopped)
            return {RequestStatus::stopped, 0};

        // The worker has ended: what it wrote becomes the caller's.
        digest = attempt->digest;
        deviceInfo = attempt->deviceInfo;
        const HttpResult& result = attempt->result;
        if (result.outcome != HttpOutcome::challenged) {
            RequestResult ended{statusOf(result.outcome), result.received};
            ended.httpStatus = result.status;
            return ended;
        }

        // The device wants credentials. A fresh nonce (count back at 0) for a client that
        // already holds a password earns one silent repetition; anything else asks the user.
        if (digest.password[0] != '\0' && digest.nonceCount == 0 && silentRetries <= 0) {
            ++silentRetries;
            continue;
        }
        if (!askForPassword(digest))
            return {RequestStatus::cancelled, 0, true, sentPassword};
        silentRetries = 0;
    }
}
