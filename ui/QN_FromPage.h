#pragma once

#include <QDialog>

class QSpinBox;

namespace quernel {

// "Drukuj od Strony": the page a manual printout starts from, 1 to 1000. One dialog serves the
// whole run and keeps the last page chosen.
class TdlgPrintFromPage final : public QDialog {
  public:
    explicit TdlgPrintFromPage(QWidget* parent = nullptr);

    int Page() const;
    void SetPage(int page);

  private:
    QSpinBox* edFromPage_;
};

}  // namespace quernel
