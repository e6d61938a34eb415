#pragma once

#include <chrono>

namespace quernel {

// Whether the computer can reach a network now.
class IOnlineState {
  public:
    virtual ~IOnlineState() = default;
    virtual bool Online() const = 0;
};

// The pace of the new-version checks. The timer's first tick, 10 s after start, only ends the
// wait; each later tick starts a check and waits 5 days when the computer is online, and
// waits an hour otherwise. So the first check goes out about 20 s after start.
class UpdatePacer {
  public:
    using Interval = std::chrono::milliseconds;
    static constexpr Interval kFirstInterval{10'000};
    static constexpr Interval kAfterCheck{432'000'000};  // 5 days
    static constexpr Interval kOfflineRetry{3'600'000};  // 1 hour

    struct Step {
        Interval next;    // the timer's interval from now on
        bool startCheck;  // start one check now
    };

    Step Tick(bool online);

  private:
    bool firstTick_ = true;
    Interval interval_ = kFirstInterval;
};

}  // namespace quernel
