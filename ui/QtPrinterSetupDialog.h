#pragma once

#include "engine/PrinterSelection.h"

class QWidget;

namespace quernel {

class QtPrinterPlatform;

// The printer set-up dialog of the printer tab: Qt's print dialog on the current printer.
// Confirming it makes the chosen printer current (Qt's "print to file" is "Quernel PDF") and
// gives that printer the chosen page size, orientation and margins.
class QtPrinterSetupDialog final : public IPrinterSetupDialog {
  public:
    explicit QtPrinterSetupDialog(QtPrinterPlatform& platform, QWidget* parent = nullptr)
        : platform_(platform), parent_(parent) {}

    bool Execute(IPrinterPlatform& printer) override;

  private:
    QtPrinterPlatform& platform_;
    QWidget* parent_;
};

}  // namespace quernel
