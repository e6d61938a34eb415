#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/Clock.h"

namespace quernel {

// A print queue's state as the print system reports it.
struct TQueueState {
    bool stopped = false;   // the queue does not print
    bool accepting = true;  // the queue takes new jobs
    int queuedJobs = 0;     // jobs waiting in the queue
    // The printer's state reasons ("media-empty-error", "toner-low-report", ...), "none" left out.
    std::vector<std::string> reasons;
    std::string message;  // the printer's own words, if any
    bool operator==(const TQueueState&) const = default;
};

// The reason in Polish ("brak papieru"), without its severity; the keyword itself when it is
// not known.
std::string ReasonText(const std::string& reason);
// A reason the printer cannot print with (no paper, a jam, an open cover, offline, ...), as
// opposed to a warning or a report (little toner left).
bool IsErrorReason(const std::string& reason);
// The queue cannot print now: stopped, not accepting jobs, or an error reason.
bool IsErrorState(const TQueueState& state);
// One line for the user: "gotowa", or what is wrong ("zatrzymana; brak papieru").
std::string DescribeQueueState(const TQueueState& state);

// Reads a queue's state on another thread, so that a slow print system holds up nothing.
class IPrinterStateReader {
  public:
    virtual ~IPrinterStateReader() = default;
    // Starts reading the named queue's state; FinishedReading answers it once, when it is done:
    // nothing inside while it runs, nothing outside when the queue is not the print system's.
    virtual void BeginReading(const std::string& printer) = 0;
    virtual std::optional<std::optional<TQueueState>> FinishedReading() = 0;
};

// Watches the current printer's state: read again every few seconds at the monitoring loop's
// ticks, shown on the printer tab and in the tray tip, and a change into an error state while
// printouts wait for that printer announced once.
class TPrinterWatch {
  public:
    static constexpr std::chrono::seconds kInterval{5};

    TPrinterWatch(IPrinterStateReader* reader, const IClock& clock)
        : reader_(reader), clock_(clock) {}

    // Called at every tick with the current printer and whether Quernel's own printouts wait
    // for it. Reads nothing for an empty name.
    void Poll(const std::string& printer, bool printoutsWaiting);
    // The next tick reads the state again, whenever the last reading was (a printer chosen).
    void ReadSoon() { nextReading_ = {}; }

    // The state last read for Printer(); nothing when not known (not a queue of the print
    // system, or not read yet).
    const std::optional<TQueueState>& State() const { return state_; }
    const std::string& Printer() const { return printer_; }

    // The state changed (or the printer): the window shows it.
    std::function<void()> onChanged;
    // The printer went into an error state while printouts wait for it: said once.
    std::function<void(const std::string& printer, const TQueueState& state)> onError;

  private:
    IPrinterStateReader* reader_;
    const IClock& clock_;
    std::string printer_;
    std::string reading_;  // the printer being read; empty when no reading runs
    TimePoint nextReading_{};
    std::optional<TQueueState> state_;
    bool announced_ = false;
};

}  // namespace quernel
