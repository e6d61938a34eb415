#pragma once

#include <string>

namespace quernel {

// The caption of the main window, the tray icon's hint and the name of the lock that keeps
// one copy of the program running.
inline constexpr const char* kApplicationTitle = "Brackwood Quernel";

// The program's version as four numbers, "major.minor.patch.build" ("0.1.0.0"), as the build
// states it. The help window shows it and the new-version check sends it.
std::string FileVersion();

}  // namespace quernel
