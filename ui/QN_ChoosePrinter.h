#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace quernel {

// "Wybierz Drukarke": a printer of its own for one monitored entry. The list holds the choices
// it is given ("<główna Quernel>", the main printer, first, then the printers); the first is
// selected at the start.
class TfrmChoosePrinter final : public QDialog {
  public:
    explicit TfrmChoosePrinter(const std::vector<std::string>& choices, QWidget* parent = nullptr);

    // The chosen entry; 0 (the main printer) when none is selected.
    int Chosen() const;

  private:
    QListWidget* lbDrukarki_;
};

}  // namespace quernel
