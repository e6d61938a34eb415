#pragma once

#include <QTimer>
#include <functional>
#include <memory>

namespace quernel {

class IProcesses;
class ITimer;
class TQuernelCore;

// The program's two timers, in a windowed and a windowless run alike: the file timer (every
// 500 ms one look at the monitored files, printing what is ready) and the DOS-machine timer
// (every 5 s the DOS machines are set to below-normal priority while NTVDM_Slow is on).
class TProgramTimers {
  public:
    TProgramTimers(TQuernelCore& core, IProcesses& processes);
    ~TProgramTimers();

    // Starts both. With startHidden, the first file tick first calls minimise.
    void Start(bool startHidden, std::function<void()> minimise);
    void Stop();

  private:
    void FileTick();

    TQuernelCore& core_;
    IProcesses& processes_;
    QTimer fileTimer_;
    QTimer dosTimer_;
    std::unique_ptr<ITimer> fileTick_;
    bool startHidden_ = false;
    std::function<void()> minimise_;
};

}  // namespace quernel
