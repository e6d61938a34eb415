#pragma once

#include <string>

namespace quernel {

// The device URI through which a DOS printer queue prints on another queue of the same
// scheduler: through the scheduler's local socket when `server` is one (a path), else through
// localhost and `port`. The DOS queue hands each rendered job over without waiting for it to
// print, so the other queue holds the jobs while its printer is off.
std::string LocalQueueDeviceUri(const std::string& server, int port, const std::string& queue);

}  // namespace quernel
