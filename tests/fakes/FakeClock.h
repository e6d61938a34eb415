#pragma once

#include <chrono>

#include "host/Clock.h"

namespace quernel::test {

// A clock that stands still until a test moves it.
class FakeClock final : public IClock {
  public:
    explicit FakeClock(TimePoint start = FromLocal(2024, 3, 9, 17, 5, 1)) : now_(start) {}

    TimePoint Now() const override { return now_; }
    void Set(TimePoint t) { now_ = t; }
    void Advance(std::chrono::milliseconds d) { now_ += d; }

    // A time point from local wall-clock fields (the tests run with TZ=UTC).
    static TimePoint FromLocal(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
        using namespace std::chrono;
        const sys_days day =
            year{y} / month{static_cast<unsigned>(mo)} / std::chrono::day{static_cast<unsigned>(d)};
        return time_point_cast<system_clock::duration>(day + hours{h} + minutes{mi} + seconds{s});
    }

  private:
    TimePoint now_;
};

}  // namespace quernel::test
