#pragma once

#include <QWidget>

#include "host/SpoolerWait.h"

namespace quernel {

// The window shown while the start waits for the print spooler, at the top left corner of the
// screen; its one button stops the start.
class TWaitPrinterForm final : public QWidget, public IWaitWindow {
  public:
    TWaitPrinterForm();

    void Refresh() override;
    bool StopRequested() const override { return stopRequested_; }

  private:
    bool stopRequested_ = false;
};

}  // namespace quernel
