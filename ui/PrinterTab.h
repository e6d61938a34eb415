#pragma once

#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quernel {

class IPrinterSetupDialog;
class IWindowDialogs;
class TQuernelCore;
class TSettingBinder;

// The "&Drukarka" tab: printer, its state and settings, font, margins, orientation, copies
// and the character grid, and the folder "Quernel PDF" writes into.
class TPrinterTab final : public QWidget {
  public:
    // Without a set-up dialog "&Ustawienia" is disabled.
    TPrinterTab(TSettingBinder& binder, IPrinterSetupDialog* setup,
                std::function<IWindowDialogs&()> dialogs, QWidget* parent = nullptr);

    // Shows the core's printer list, selected printer, fonts and sample.
    void RefreshPrinters();
    // Shows the selected printer's state as the core last read it.
    void RefreshPrinterState();
    // "Quernel PDF": a new folder, chosen by the user.
    void ChoosePdfFolder();
    // The state line, also for the tray's tip: "Laser: gotowa"; empty when nothing is known.
    QString StateText() const;

  private:
    void RefreshPdfFolder();

    TSettingBinder& binder_;
    TQuernelCore& core_;
    IPrinterSetupDialog* setup_;
    std::function<IWindowDialogs&()> dialogs_;
    QLabel* labPrinterState_ = nullptr;
    QLineEdit* edPdfFolder_ = nullptr;
    QPushButton* btChoosePdfFolder_ = nullptr;
    QComboBox* cbPrinter_ = nullptr;
    QListWidget* lbFont_ = nullptr;
    QLineEdit* edSample_ = nullptr;
};

}  // namespace quernel
