#include "host/Clock.h"

#include <ctime>
#include <thread>

namespace quernel {

LocalDateTime ToLocal(TimePoint time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void SystemSleeper::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

double LocalSeconds(const LocalDateTime& t) {
    using namespace std::chrono;
    const sys_days day = year{t.year} / month{static_cast<unsigned>(t.month)} /
                         std::chrono::day{static_cast<unsigned>(t.day)};
    return static_cast<double>(day.time_since_epoch().count()) * 86400.0 + t.hour * 3600.0 +
           t.minute * 60.0 + t.second;
}

}  // namespace quernel

namespace quernel {

double LocalSeconds(TimePoint time) {
    using namespace std::chrono;
    const auto sinceEpoch = time.time_since_epoch();
    const double fraction =
        duration<double>(sinceEpoch - duration_cast<seconds>(sinceEpoch)).count();
    return LocalSeconds(ToLocal(time)) + (fraction < 0 ? fraction + 1 : fraction);
}

}  // namespace quernel
