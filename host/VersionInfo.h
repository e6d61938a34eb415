#pragma once

#include <string>

namespace quernel {

// The program's version as four numbers, "major.minor.patch.build" ("0.1.0.0"), as the build
// states it. The help window shows it and the new-version check sends it.
std::string FileVersion();

}  // namespace quernel
