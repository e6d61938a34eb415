#include "platform/ProgramStart.h"

#include "host/Environment.h"
#include "host/ProgramDir.h"
#include "host/SpoolerWait.h"

namespace quernel {

TProgramStart::TProgramStart(int argcIn, char** argvIn)
    : argc(argcIn),
      argv(argvIn),
      programPath(ExecutablePath()),
      programDir(ResolveProgramDir(ProgramDirInputsFromEnvironment())),
      fileLog(TfileLog::ForProgram(clock, programDir, ExecutableName())),
      history(clock),
      params(argcIn, argvIn),
      windowsVersionCode(WindowsVersionCode()) {}

bool TProgramStart::Headless() const {
    if (params.ParamSwitch(kSwitchHeadless)) return true;
    return !GetEnv("DISPLAY") && !GetEnv("WAYLAND_DISPLAY") && !GetEnv("QT_QPA_PLATFORM");
}

void TProgramStart::CloseOtherCopies() {
    quernel::CloseOtherCopies(processes, ProgramFileName(programPath.string()), sleeper);
}

}  // namespace quernel
