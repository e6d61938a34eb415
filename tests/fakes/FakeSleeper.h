#pragma once

#include <chrono>
#include <vector>

#include "host/Clock.h"

namespace quernel::test {

// Records the waits instead of waiting.
class FakeSleeper final : public ISleeper {
  public:
    void Sleep(std::chrono::milliseconds duration) override { sleeps.push_back(duration); }
    std::vector<std::chrono::milliseconds> sleeps;
};

}  // namespace quernel::test
