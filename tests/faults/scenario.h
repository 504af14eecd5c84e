// SPDX-License-Identifier: MIT
// One fault scenario end to end, inside its ctest entry's private network namespace: the simulated
// device (or a device of the test's own) on 127.0.0.2:80, and the real runUpgrade with scripted
// answers in a child process on 127.0.0.1. The child reports what the user saw; the parent checks
// its exit status and what the device logged and stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Scenario {
    // tov-sim's options beyond address, log, ready file and image file; startSim false: none.
    std::vector<std::string> simArgs;
    bool startSim = true;
    // Answers sent, one per connection, by a web server of the test's own on 127.0.0.2:80
    // instead of tov-sim (each is sent whole, then the connection is closed).
    std::vector<std::string> ownDeviceAnswers;
    std::size_t ownDeviceChunk = 0; // bytes per send with a 1 ms pause between (0: all at once)
    int ownDeviceHoldSeconds =
        0; // keep each connection open this long after the answer
           // In the child, before runUpgrade: sets the scripted answers, holds ports, ...
    std::function<void()> prepare;
    int childSeconds = 90; // the child is killed after this long

    // A program to run instead of runUpgrade (argv; "/bin/sh", "-c", ... for a pipeline), with
    // this as its standard input; its output is kept.
    std::vector<std::string> command;
    std::string standardInput;
    // Asked every few milliseconds while the program runs: true sends it SIGINT (once).
    std::function<bool()> interruptWhen;
    // Further simulated devices, beside the one on 127.0.0.2, with the same options.
    std::vector<std::string> moreDevices;
};

struct Outcome {
    bool exited = false; // ended by itself (not killed)
    int exitStatus = -1;
    std::vector<std::string> shown;  // everything the user saw, in order
    std::vector<std::string> simLog; // the device's event log, one JSON object per line
    bool stored = false;             // the device stored an image
    std::vector<std::uint8_t> storedImage;
    double seconds = 0;      // the child's run time
    std::string output;      // a command's standard output
    std::string errorOutput; // and its standard error
    // The further devices, in order: their event logs and whether each stored the image whole.
    std::vector<std::vector<std::string>> moreDeviceLogs;
    std::vector<bool> moreDevicesStoredTheImage;

    // Whether a shown line equals text.
    bool saw(const std::string& text) const;
    int count(const std::string& text) const;
    // The error boxes shown, in order.
    std::vector<std::string> errors() const;
    // The device's events whose name is `event` and which contain every fragment.
    std::vector<std::string> deviceEvents(const std::string& event,
                                          const std::vector<std::string>& fragments = {}) const;
    // The "t" (ms since the device started) of a logged event line.
    static long eventTime(const std::string& line);
};

Outcome runScenario(const Scenario& scenario);

// The image the program carries, as built.
const std::vector<std::uint8_t>& carriedImage();

// Child-side helpers for `prepare`.
// Holds sockets bound to 127.0.0.1 on every port from first to last (TCP or UDP) for the rest of
// the child's life.
void holdPorts(bool tcp, std::uint16_t first, std::uint16_t last);
// Records a line of what the user saw (kept with the scripted UI's record).
void recordShown(const std::string& line);
// The scripted UI's record so far (for cancel decisions).
bool uiShowed(const std::string& prefix);
// Lines of the device's event log so far that contain every fragment (tov-sim only).
int deviceLogged(const std::vector<std::string>& fragments);
