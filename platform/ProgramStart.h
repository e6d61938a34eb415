#pragma once

#include <filesystem>
#include <string>

#include "host/BW_RunParams.h"
#include "host/BW_log.h"
#include "host/Clock.h"
#include "platform/ProcProcesses.h"
#include "platform/StopSignals.h"

namespace quernel {

// What exists from the first moment of a start, before any window or Qt object: the two logs
// (the log files are emptied here, at every start), the command line, the process list.
class TProgramStart {
  public:
    TProgramStart(int argc, char** argv);

    // No window: asked for with "--headless", or no display to show one on (no DISPLAY or
    // WAYLAND_DISPLAY, and no Qt platform chosen with QT_QPA_PLATFORM).
    bool Headless() const;

    // "/close": ends the other running copies of this program (same executable name).
    void CloseOtherCopies();

    int argc;  // for the Qt application object, which keeps a reference
    char** argv;
    SystemClock clock;
    std::filesystem::path programPath;  // this program's executable
    std::filesystem::path programDir;
    TfileLog fileLog;
    TbwLog history;
    TRunParams params;
    TProcProcesses processes;
    TStopAwareSleeper sleeper;
    int windowsVersionCode;
};

}  // namespace quernel
