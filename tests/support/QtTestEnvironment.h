#pragma once

#include <stdlib.h>

#include <clocale>
#include <ctime>
#include <filesystem>

#include "tests/support/TempDir.h"

namespace quernel::test {

// For test programs that use Qt: Qt draws offscreen, local time is UTC, and HOME, the runtime
// folder and the PDF folder point into the given private folder, so no test touches the real
// home.
inline void UsePrivateQtEnvironment(const TempDir& root) {
    std::filesystem::create_directories(root / "home");
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", root.path().c_str(), 1);
    ::setenv("QUERNEL_PDF_DIR", (root / "pdf").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::setlocale(LC_ALL, "C.UTF-8");
}

}  // namespace quernel::test
