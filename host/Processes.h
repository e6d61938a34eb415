#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quernel {

class ISleeper;

// A running process: its id and its executable file as the system reports it.
struct TProcessInfo {
    int pid = 0;
    std::string exeFile;
};

// The processes of the machine, and what the program does to them. Failures (a process of
// another user, one that ended meanwhile) are ignored.
class IProcesses {
  public:
    virtual ~IProcesses() = default;
    // Every process whose executable can be read; empty when the list is unavailable.
    virtual std::vector<TProcessInfo> List() = 0;
    virtual int CurrentPid() = 0;
    // Lowers the process to below-normal priority; a process already that low or lower keeps
    // its priority.
    virtual void LowerPriority(int pid) = 0;
};

// True when the last path component of the process's executable ("/", "\" and ":" separate
// folders), upper-cased, equals the name.
bool ProcessMatches(const TProcessInfo& process, std::string_view upperName);

// The upper-cased file name of the program, without its folder ("QUERNEL").
std::string ProgramFileName(const std::string& programPath);

// One process, held so that what is done to it never reaches another process that was given
// its id after it ended.
class IProcessHandle {
  public:
    virtual ~IProcessHandle() = default;
    // Asks the process to end cleanly.
    virtual void RequestEnd() = 0;
    // Ends the process at once.
    virtual void ForceEnd() = 0;
    // False once the process has ended.
    virtual bool Running() = 0;
};

// "/close": asks the running copy to end, so that it saves its settings, and ends it when it
// is still running 2 seconds later.
void CloseRunningCopy(IProcessHandle& copy, ISleeper& sleeper);

// The executables DOS programs run in: the Windows DOS machine and the Linux DOS emulators.
inline constexpr std::string_view kDosMachineNames[] = {
    "NTVDM.EXE", "DOSBOX",     "DOSBOX-X", "DOSBOX-STAGING",
    "DOSEMU",    "DOSEMU.BIN", "DOSEMU2",  "DOSEMU2.BIN",
};

// One tick of the DOS-machine timer: while the option is on, every DOS machine runs at
// below-normal priority.
void LowerDosMachines(bool enabled, IProcesses& processes);

}  // namespace quernel
