#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>

#include "host/FileUtil.h"
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
    // Nice 10 for every thread of the process: Linux keeps the priority per thread.
    void LowerPriority(int pid) override;
};

// A process held by a process descriptor (pidfd): signals reach that process and no other.
class TProcessHandle final : public IProcessHandle {
  public:
    // The process when it is this user's and runs the executable (also one replaced on disk
    // while it runs); nothing for any other process, or one that has ended.
    static std::unique_ptr<TProcessHandle> Open(pid_t pid, const std::filesystem::path& executable);

    void RequestEnd() override;  // SIGTERM
    void ForceEnd() override;    // SIGKILL
    bool Running() override;     // false once it has ended, reaped by its parent or not

  private:
    explicit TProcessHandle(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

}  // namespace quernel
