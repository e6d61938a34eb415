#pragma once

#include "host/Processes.h"

namespace quernel {

// The processes of the machine as /proc shows them. A process's executable is the target of
// /proc/<pid>/exe: the file really running, whatever name it was started under, and not cut
// to 15 characters as the kernel's short name is. Processes of other users, whose executable
// cannot be read, are left out (nothing could be done to them anyway).
class TProcProcesses final : public IProcesses {
  public:
    std::vector<TProcessInfo> List() override;
    int CurrentPid() override;
    void RequestEnd(int pid) override;  // SIGTERM
    void ForceEnd(int pid) override;    // SIGKILL
    bool Running(int pid) override;     // false for a process that ended but was not reaped
    // Nice 10 for every thread of the process: Linux keeps the priority per thread.
    void LowerPriority(int pid) override;
};

}  // namespace quernel
