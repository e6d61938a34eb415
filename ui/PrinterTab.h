#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QListWidget;

namespace quernel {

class IPrinterSetupDialog;
class TQuernelCore;
class TSettingBinder;

// The "&Drukarka" tab: printer, font, margins, orientation, copies and the character grid.
class TPrinterTab final : public QWidget {
  public:
    // Without a set-up dialog "&Ustawienia" is disabled.
    TPrinterTab(TSettingBinder& binder, IPrinterSetupDialog* setup, QWidget* parent = nullptr);

    // Shows the core's printer list, selected printer, fonts and sample.
    void RefreshPrinters();

  private:
    TQuernelCore& core_;
    IPrinterSetupDialog* setup_;
    QComboBox* cbPrinter_ = nullptr;
    QListWidget* lbFont_ = nullptr;
    QLineEdit* edSample_ = nullptr;
};

}  // namespace quernel
