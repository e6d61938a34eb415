#pragma once

#include <future>
#include <optional>
#include <string>

#include "engine/PrinterState.h"

namespace quernel {

// Reads a CUPS queue's state (printer-state, printer-state-reasons, printer-is-accepting-jobs,
// queued-job-count, printer-state-message) with an IPP request on a thread of its own.
class TCupsPrinterState final : public IPrinterStateReader {
  public:
    ~TCupsPrinterState() override;

    // The state now, read on the calling thread; nothing when the scheduler does not know
    // the queue (or cannot be reached).
    static std::optional<TQueueState> Read(const std::string& printer);

    void BeginReading(const std::string& printer) override;
    std::optional<std::optional<TQueueState>> FinishedReading() override;

  private:
    std::future<std::optional<TQueueState>> reading_;
};

}  // namespace quernel
