#pragma once

#include <string>

namespace quernel {

// The caption of the main window, the tray icon's hint and the name of the lock that keeps
// one copy of the program running.
inline constexpr const char* kApplicationTitle = "Brackwood Quernel";

// The program's version, four numbers as the build sets them ("0.1.0.0").
std::string ProgramVersion();

}  // namespace quernel
