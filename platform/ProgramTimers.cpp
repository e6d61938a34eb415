#include "platform/ProgramTimers.h"

#include "host/Processes.h"
#include "monitor/Monitoring.h"
#include "monitor/QuernelCore.h"

namespace quernel {

namespace {

class QtTimer final : public ITimer {
  public:
    explicit QtTimer(QTimer& timer) : timer_(timer) {}
    void Start() override { timer_.start(); }
    void Stop() override { timer_.stop(); }

  private:
    QTimer& timer_;
};

}  // namespace

TProgramTimers::TProgramTimers(TQuernelCore& core, IProcesses& processes)
    : core_(core), processes_(processes), fileTick_(std::make_unique<QtTimer>(fileTimer_)) {
    fileTimer_.setInterval(500);
    QObject::connect(&fileTimer_, &QTimer::timeout, [this] { FileTick(); });
    dosTimer_.setInterval(5000);
    QObject::connect(&dosTimer_, &QTimer::timeout,
                     [this] { LowerDosMachines(core_.Settings().NTVDM_Slow, processes_); });
}

TProgramTimers::~TProgramTimers() = default;

void TProgramTimers::Start(bool startHidden, std::function<void()> minimise) {
    startHidden_ = startHidden;
    minimise_ = std::move(minimise);
    fileTimer_.start();
    dosTimer_.start();
}

void TProgramTimers::Stop() {
    fileTimer_.stop();
    dosTimer_.stop();
}

void TProgramTimers::FileTick() {
    if (startHidden_) {
        startHidden_ = false;
        if (minimise_) minimise_();
    }
    core_.Monitoring().Tick(*fileTick_);
}

}  // namespace quernel
