// SPDX-License-Identifier: MIT
// Main loop of the simulated device. The web server runs on this thread, one connection at a
// time as on a small adapter; an upgrade's TFTP transfer runs on a thread of its own, and its end
// takes the web server down for the restart time.
#include "device.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <span>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "event_log.h"
#include "hostile.h"
#include "http_server.h"
#include "image_check.h"
#include "tftp_client.h"
#include "unique_fd.h"

namespace {

using Clock = std::chrono::steady_clock;

// --keep-alive: the client decides when an answered connection ends, within this time.
constexpr auto kKeepOpenLimit = std::chrono::seconds(60);

struct UpgradeResult {
    bool transferComplete = false;
    bool accepted = false;
    std::string version;
};

// A connection the device keeps open after the request: answered (--keep-alive) or not
// (--fault-upgrade-unanswered).
struct OpenConnection {
    UniqueFd connection;
    std::uint32_t n = 0;     // the request's number
    Clock::time_point since; // when it was answered, or read when it stays unanswered
    bool clientLeft = false; // an unanswered one stays open even then, and is polled no more
};

long long millisecondsSince(Clock::time_point then) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// Reads what the client sent on a connection the device keeps open: true once it has closed (or
// reset) it. Bytes sent meanwhile are logged and left unserved.
bool clientLeft(const OpenConnection& c, bool& reset) {
    char scratch[512];
    const ssize_t got = ::recv(c.connection.get(), scratch, sizeof scratch, MSG_DONTWAIT);
    if (got > 0)
        logEvent(Event("http_bytes_unserved").number("n", c.n).number("len", got));
    if (got > 0 || (got < 0 && (errno == EAGAIN || errno == EINTR)))
        return false;
    reset = got < 0;
    return true;
}

bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return false;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

class Device {
  public:
    Device(const SimOptions& o, int signalFd) : o_(o), signalFd_(signalFd), web_(o), hostile_(o) {
        web_.identity = {o.productName, o.macAddress, o.softwareVersion, o.hardwareVersion,
                         o.serialNumber};
    }
    int run();

  private:
    bool openListener();
    void acceptConnection();
    void startUpgrade(const UpgradeSource& source);
    UpgradeResult upgradeWork(const UpgradeSource& source);
    void finishUpgrade();
    void endRestart();
    void announceReady();
    void stopWorker();
    int pollTimeout() const;
    void checkHeld(std::span<const pollfd> fds);
    void checkKeptOpen(std::span<const pollfd> fds);
    void checkUnanswered(std::span<const pollfd> fds);
    void closeKeptOpen(std::size_t i, const char* why);
    void closeExpiredKeptOpen();

    const SimOptions& o_;
    int signalFd_;
    WebState web_;
    HostileHosts hostile_;
    UniqueFd listener_;
    UniqueFd wake_{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::vector<UniqueFd> held_;
    std::vector<OpenConnection> keptOpen_;
    std::vector<OpenConnection> unanswered_; // never closed before the process ends
    std::thread worker_;
    std::atomic<bool> workerStop_{false};
    std::mutex resultMutex_;
    UpgradeResult result_;
    bool restarting_ = false;
    Clock::time_point restartEnd_;
    std::string pendingVersion_;
};

bool Device::openListener() {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid())
        return false;
    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(o_.address);
    a.sin_port = htons(o_.port);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd.get(), 16) != 0) {
        logEvent(Event("listen_failed").text("address", formatIpv4(o_.address)));
        return false;
    }
    listener_ = std::move(fd);
    logEvent(Event("listening").text("address", formatIpv4(o_.address)).number("port", o_.port));
    return true;
}

void Device::announceReady() {
    const std::string where = "http://" + formatIpv4(o_.address) + ":" + std::to_string(o_.port);
    std::printf("tov-sim ready %s\n", where.c_str());
    std::fflush(stdout);
    if (!o_.readyFile.empty()) {
        const std::string text = where + "\n";
        writeFileAtomically(o_.readyFile, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
}

void Device::acceptConnection() {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    UniqueFd connection(
        ::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&a), &length, SOCK_CLOEXEC));
    if (!connection.valid())
        return;
    const std::string peer =
        formatIpv4(ntohl(a.sin_addr.s_addr)) + ":" + std::to_string(ntohs(a.sin_port));
    web_.upgradeBusy = worker_.joinable();
    const ServeResult served = serveConnection(web_, connection.get(), peer);
    if (served.hold && served.upgrade) {
        unanswered_.push_back({std::move(connection), served.n, Clock::now()});
        startUpgrade(*served.upgrade);
        return;
    }
    if (served.hold) {
        held_.push_back(std::move(connection));
        return;
    }
    if (o_.keepAlive && served.answered) {
        keptOpen_.push_back({std::move(connection), served.n, Clock::now()});
    } else {
        lingeringClose(connection.get());
        connection.reset();
    }
    if (served.upgrade)
        startUpgrade(*served.upgrade);
}

UpgradeResult Device::upgradeWork(const UpgradeSource& source) {
    UpgradeResult r;
    hostile_.beforeRequest(source);
    if (workerStop_) // the device ended while the hostile hosts had their turn
        return r;
    const TransferWatch watch{[this](const Endpoint& serverPort, std::uint16_t block) {
        hostile_.blockAcknowledged(serverPort, block);
    }};
    TransferOutcome outcome = runTftpTransfer(o_, source, workerStop_, watch);
    r.transferComplete = outcome.complete;
    if (!outcome.complete)
        return r;
    ImageVerdict verdict = checkImage(outcome.image, outcome.tsize);
    if (o_.keepOldVersion) {
        // A device that turns down a good image: nothing installed, the old version stays.
        logEvent(Event("fault").text("kind", "keep-old-version"));
        if (verdict.accepted)
            verdict = {false, "refused by fault", verdict.version};
    }
    Event e("image_check");
    e.flag("accepted", verdict.accepted)
        .text("reason", verdict.reason)
        .number("size", static_cast<long>(outcome.image.size()))
        .number("tsize", outcome.tsize ? static_cast<long>(*outcome.tsize) : -1)
        .text("version", verdict.version);
    if (!o_.imageOut.empty()) {
        const bool stored = !o_.keepOldVersion && writeFileAtomically(o_.imageOut, outcome.image);
        e.text("stored", stored ? o_.imageOut : "");
    }
    logEvent(e);
    r.accepted = verdict.accepted;
    r.version = verdict.version;
    return r;
}

void Device::startUpgrade(const UpgradeSource& source) {
    workerStop_ = false;
    worker_ = std::thread([this, source] {
        UpgradeResult r = upgradeWork(source);
        {
            std::lock_guard lock(resultMutex_);
            result_ = r;
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
    });
}

void Device::finishUpgrade() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(wake_.get(), &count, sizeof count);
    if (worker_.joinable())
        worker_.join();
    UpgradeResult r;
    {
        std::lock_guard lock(resultMutex_);
        r = result_;
    }
    if (!r.transferComplete)
        return; // nothing received: the device carries on as it was
    if (!r.accepted)
        pendingVersion_ = web_.identity.softwareVersion;
    else
        pendingVersion_ = o_.installedVersion.empty() ? r.version : o_.installedVersion;
    logEvent(Event("restart_begin")
                 .number("restart_ms", o_.restartMs)
                 .flag("never_return", o_.neverReturn)
                 .flag("installing", r.accepted));
    listener_.reset();
    held_.clear();
    while (!keptOpen_.empty()) // a rebooting device drops every connection
        closeKeptOpen(keptOpen_.size() - 1, "restart");
    restarting_ = true;
    restartEnd_ = Clock::now() + std::chrono::milliseconds(o_.restartMs);
}

void Device::endRestart() {
    web_.identity.softwareVersion = pendingVersion_;
    if (!o_.password.empty() && !o_.keepNonceOnRestart)
        issueNonce(web_.auth, o_, true); // a restarted device has forgotten its nonces
    if (!openListener())
        return; // tried again on the next pass
    restarting_ = false;
    logEvent(Event("restart_end").text("software_version", web_.identity.softwareVersion));
}

void Device::stopWorker() {
    workerStop_ = true;
    if (worker_.joinable())
        worker_.join();
}

int Device::pollTimeout() const {
    auto timeout = std::chrono::milliseconds(1000);
    const auto until = [&timeout](Clock::time_point when) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
        timeout = std::clamp(left, std::chrono::milliseconds(0), timeout);
    };
    if (restarting_ && !o_.neverReturn)
        until(restartEnd_);
    for (const auto& k : keptOpen_)
        until(k.since + kKeepOpenLimit);
    return static_cast<int>(timeout.count());
}

// Held connections: dropped when the client gives up, whatever it sent meanwhile.
void Device::checkHeld(std::span<const pollfd> fds) {
    for (std::size_t i = fds.size(); i-- > 0;) {
        if (fds[i].revents == 0)
            continue;
        char scratch[512];
        if (::recv(held_[i].get(), scratch, sizeof scratch, MSG_DONTWAIT) <= 0)
            held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// Answered connections left open: the client's close is what a test of --keep-alive looks for.
// Anything else it sends is noted and left unserved.
void Device::checkKeptOpen(std::span<const pollfd> fds) {
    for (std::size_t i = fds.size(); i-- > 0;) {
        if (fds[i].revents == 0)
            continue;
        const OpenConnection& k = keptOpen_[i];
        bool reset = false;
        if (!clientLeft(k, reset))
            continue;
        logEvent(Event("http_client_closed")
                     .number("n", k.n)
                     .number("after_ms", millisecondsSince(k.since))
                     .flag("reset", reset));
        keptOpen_.erase(keptOpen_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// The unanswered upgrade request's connection: the device never closes it, even when the client
// has given up; the client's leaving is what a test looks for.
void Device::checkUnanswered(std::span<const pollfd> fds) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
        OpenConnection& u = unanswered_[i];
        bool reset = false;
        if (fds[i].revents == 0 || !clientLeft(u, reset))
            continue;
        u.clientLeft = true;
        logEvent(Event("unanswered_client_closed")
                     .number("n", u.n)
                     .number("after_ms", millisecondsSince(u.since))
                     .flag("reset", reset));
    }
}

void Device::closeKeptOpen(std::size_t i, const char* why) {
    const OpenConnection& k = keptOpen_[i];
    logEvent(Event("http_device_closed")
                 .number("n", k.n)
                 .number("after_ms", millisecondsSince(k.since))
                 .text("why", why));
    keptOpen_.erase(keptOpen_.begin() + static_cast<std::ptrdiff_t>(i));
}

void Device::closeExpiredKeptOpen() {
    for (std::size_t i = keptOpen_.size(); i-- > 0;)
        if (Clock::now() >= keptOpen_[i].since + kKeepOpenLimit)
            closeKeptOpen(i, "not closed by the client within 60 s");
}

int Device::run() {
    if (!wake_.valid() || !openListener())
        return 1;
    if (!o_.password.empty())
        issueNonce(web_.auth, o_, true);
    announceReady();
    while (true) {
        // A negative descriptor is skipped by poll: the listener's slot stays at index 2.
        std::vector<pollfd> fds{{signalFd_, POLLIN, 0},
                                {wake_.get(), POLLIN, 0},
                                {listener_.valid() ? listener_.get() : -1, POLLIN, 0}};
        for (const auto& h : held_)
            fds.push_back({h.get(), POLLIN, 0});
        for (const auto& k : keptOpen_)
            fds.push_back({k.connection.get(), POLLIN, 0});
        for (const auto& u : unanswered_)
            fds.push_back({u.clientLeft ? -1 : u.connection.get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), pollTimeout()) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0) {
            signalfd_siginfo info{};
            [[maybe_unused]] const auto got = ::read(signalFd_, &info, sizeof info);
            logEvent(Event("signal").number("signal", static_cast<long>(info.ssi_signo)));
            break;
        }
        // The connection lists first, while they still match the descriptors polled.
        const std::span<const pollfd> polled(fds);
        const auto heldPolled = polled.subspan(3, held_.size());
        const auto keptOpenPolled = polled.subspan(3 + held_.size(), keptOpen_.size());
        const auto unansweredPolled = polled.subspan(3 + held_.size() + keptOpen_.size());
        checkHeld(heldPolled);
        checkKeptOpen(keptOpenPolled);
        checkUnanswered(unansweredPolled);
        if (fds[1].revents != 0)
            finishUpgrade();
        if (listener_.valid() && fds[2].revents != 0)
            acceptConnection();
        closeExpiredKeptOpen();
        if (restarting_ && !o_.neverReturn && Clock::now() >= restartEnd_)
            endRestart();
    }
    workerStop_ = true; // first, so that the worker starts nothing new once the hosts are gone
    hostile_.stop();
    stopWorker();
    logEvent(Event("stopped"));
    return 0;
}

} // namespace

int runDevice(const SimOptions& options, int signalFd) {
    Device device(options, signalFd);
    return device.run();
}
