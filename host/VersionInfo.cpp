#include "host/VersionInfo.h"

namespace quernel {

std::string FileVersion() {
    return QUERNEL_FILE_VERSION;
}

}  // namespace quernel
