#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "update/UpdatePacer.h"

namespace quernel {

// The computer counts as online while an interface that is up has an address other than a
// loopback or link-local one. A background thread looks again once a second, so asking costs
// nothing. The answer is known from the start.
class NetworkOnlineWatcher final : public IOnlineState {
  public:
    NetworkOnlineWatcher();
    ~NetworkOnlineWatcher() override;
    NetworkOnlineWatcher(const NetworkOnlineWatcher&) = delete;
    NetworkOnlineWatcher& operator=(const NetworkOnlineWatcher&) = delete;

    bool Online() const override { return online_.load(); }

    // The test itself, as it runs once a second.
    static bool HasNetworkAddress();

  private:
    void Watch();

    std::atomic<bool> online_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace quernel
