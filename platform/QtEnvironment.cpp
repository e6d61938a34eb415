#include "platform/QtEnvironment.h"

#include "host/Environment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quernel {

void PrepareQtEnvironment(bool offscreen) {
    if (offscreen) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (GetEnv("XDG_RUNTIME_DIR")) return;
    const std::string folder = "/tmp/runtime-quernel-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    // Only a folder of our own with no access for others serves.
    if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 077) == 0) {
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
}

}  // namespace quernel
