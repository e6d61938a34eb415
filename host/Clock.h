#pragma once

#include <chrono>

namespace quernel {

using TimePoint = std::chrono::system_clock::time_point;

// The program reads the time only through this, so tests can move time instead of sleeping.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual TimePoint Now() const = 0;
};

class SystemClock final : public IClock {
  public:
    TimePoint Now() const override { return std::chrono::system_clock::now(); }
};

// Blocking waits go through this, so tests do not wait.
class ISleeper {
  public:
    virtual ~ISleeper() = default;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

class SystemSleeper final : public ISleeper {
  public:
    void Sleep(std::chrono::milliseconds duration) override;
};

// Broken-down local time (month 1..12, day 1..31).
struct LocalDateTime {
    int year = 1980;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalDateTime ToLocal(TimePoint time);

// Seconds since an arbitrary fixed day, counted in local wall-clock time: differences between
// two such values are local date-time differences, as the file-age rules want them.
double LocalSeconds(const LocalDateTime& t);
// The same for a moment, keeping its fraction of a second.
double LocalSeconds(TimePoint time);

}  // namespace quernel
