#pragma once

#include <filesystem>
#include <string>

#include "host/BW_RunParams.h"
#include "host/BW_log.h"
#include "host/Clock.h"
#include "platform/ProcProcesses.h"
#include "platform/StopSignals.h"

namespace quernel {

class IErrorReport;

// What exists from the first moment of a start, before any window or Qt object: the two logs
// (the log files are emptied here, at every start), the command line, the process list.
class TProgramStart {
  public:
    TProgramStart(int argc, char** argv);

    // No window: asked for with "--headless", or no display to show one on (no DISPLAY or
    // WAYLAND_DISPLAY, and no Qt platform chosen with QT_QPA_PLATFORM).
    bool Headless() const;

    // "/close": ends this user's running copy, found through the one-copy socket, when it runs
    // this program's executable. Any other process is left alone, whatever its name.
    void CloseRunningCopy();

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
    std::string oneCopyName;  // the one-copy socket's name
    int windowsVersionCode;
};

// A start that must not go on (the one-copy rule cannot be kept): the reason goes to the log
// file and the error report.
void ReportFailedStart(TProgramStart& start, const std::string& reason, IErrorReport& errors);

}  // namespace quernel
