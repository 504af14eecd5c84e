// The settling wait: the device gets a fixed 49,984 ms to install the image and restart, measured
// on a 32 ms tick taken from the wrapping millisecond clock.
#include "app/context.h"
#include "app/text.h"
#include "tftp/tftp_session.h"

std::uint32_t settlingTicksSince(std::uint32_t startTick, std::uint32_t nowTick) {
    // The millisecond clock wraps every 2^32 ms, the tick clock every 2^27 ticks.
    if (nowTick < startTick)
        nowTick += kSettlingTickWrap;
    return nowTick - startTick;
}

void waitForDeviceToSettle(ProgressWindow window) {
    const std::uint32_t startTick = millisecondClock() >> kSettlingTickShift;
    setProgressRange(window, 0, static_cast<int>(kSettlingTicks));
    setProgressPosition(window, 0);
    char caption[128];
    const std::string_view address = textIn(upgradeContext.deviceAddressText);
    formatText(caption, "Updating Firmware to TOV@%.*s", static_cast<int>(address.size()),
               address.data());
    setProgressTitle(window, caption);

    for (;;) {
        const std::uint32_t elapsed =
            settlingTicksSince(startTick, millisecondClock() >> kSettlingTickShift);
        setProgressPosition(window, static_cast<int>(elapsed));
        handleAllProgressMessages(window); // Cancel stays live throughout
        if (elapsed >= kSettlingTicks)
            return;
        sleepMilliseconds(32);
    }
}
