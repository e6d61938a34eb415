#include "platform/ProgramStart.h"

#include <unistd.h>

#include "host/Environment.h"
#include "host/ErrorReport.h"
#include "host/ProgramDir.h"
#include "host/SpoolerWait.h"
#include "host/VersionInfo.h"
#include "platform/SingleInstance.h"

namespace quernel {

TProgramStart::TProgramStart(int argcIn, char** argvIn)
    : argc(argcIn),
      argv(argvIn),
      programPath(ExecutablePath()),
      programDir(ResolveProgramDir(ProgramDirInputsFromEnvironment())),
      fileLog(TfileLog::ForProgram(clock, programDir, ExecutableName())),
      history(clock),
      params(argcIn, argvIn),
      oneCopyName(OneCopySocketName(kApplicationTitle)),
      windowsVersionCode(WindowsVersionCode()) {}

bool TProgramStart::Headless() const {
    if (params.ParamSwitch(kSwitchHeadless)) return true;
    return !GetEnv("DISPLAY") && !GetEnv("WAYLAND_DISPLAY") && !GetEnv("QT_QPA_PLATFORM");
}

void TProgramStart::CloseRunningCopy() {
    const auto pid = RunningCopyPid(oneCopyName);
    if (!pid || *pid == ::getpid()) return;
    if (const auto copy = TProcessHandle::Open(*pid, programPath)) {
        quernel::CloseRunningCopy(*copy, sleeper);
    }
}

void ReportFailedStart(TProgramStart& start, const std::string& reason, IErrorReport& errors) {
    start.fileLog.Add(reason);
    errors.ShowError(reason);
}

}  // namespace quernel
