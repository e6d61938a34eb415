#pragma once

#include "monitor/Monitoring.h"

namespace quernel::test {

// Counts the starts and stops of the monitoring timer instead of running one.
class FakeTimer final : public ITimer {
  public:
    void Start() override {
        ++starts;
        running = true;
    }
    void Stop() override {
        ++stops;
        running = false;
    }
    int starts = 0;
    int stops = 0;
    bool running = true;
};

}  // namespace quernel::test
