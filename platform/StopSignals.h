#pragma once

#include <chrono>

#include "host/Clock.h"

namespace quernel {

// SIGINT and SIGTERM ask the program to stop: the settings are saved and it ends. The handler
// is installed first thing at start, so a stop that comes while the program is still starting
// (a long list load, a slow picture) is kept until the start has reached a point where it can
// end cleanly, instead of killing the process.
void InstallStopSignals();

// True once a stop was asked for.
bool StopRequested();

// A descriptor that becomes readable when a stop is asked for (for the event loop).
int StopSignalDescriptor();

// Sleeps that end early when a stop is asked for, so start-up waits do not hold up the end.
class TStopAwareSleeper final : public ISleeper {
  public:
    void Sleep(std::chrono::milliseconds duration) override;
};

}  // namespace quernel
