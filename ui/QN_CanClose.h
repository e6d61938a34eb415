#pragma once

#include <QDialog>

#include "host/CloseControl.h"

namespace quernel {

// The close question: hide into the tray (the default), close the program, or cancel (also
// Escape).
class TdlCanClose final : public QDialog {
  public:
    explicit TdlCanClose(QWidget* parent = nullptr);

    // Shows the question modally and answers what the user chose.
    TCloseAnswer Ask();

  private:
    TCloseAnswer answer_ = TCloseAnswer::kCancel;
};

}  // namespace quernel
