// The failure texts, by name, sorted into the exit statuses.
#include "exit_status.h"

#include "ui/messages.h"

int exitStatusForFailure(std::string_view text) {
    const std::string_view stillOld(kErrorStillOldVersion);
    if (text == kErrorIncomplete || text == kErrorNotBack ||
        text.starts_with(stillOld.substr(0, stillOld.find('%'))))
        return kExitDeviceFailed;
    if (text == kErrorNoResponse || text == kErrorConnect)
        return kExitUnreachable;
    if (text == kErrorUserAbort)
        return kExitCancelled;
    return kExitLocalFailure; // sockets, ports, threads, the image
}
