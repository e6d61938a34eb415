#include "host/VersionInfo.h"

#include <algorithm>

namespace quernel {

std::string ProgramVersion() {
    // The build passes the project's version; missing parts count as 0.
    std::string version = QUERNEL_VERSION;
    if (version.empty()) return "0.0.0.0";
    for (auto parts = std::count(version.begin(), version.end(), '.'); parts < 3; ++parts) {
        version += ".0";
    }
    return version;
}

}  // namespace quernel
