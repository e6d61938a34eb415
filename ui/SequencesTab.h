#pragma once

#include <QWidget>

class QCheckBox;

namespace quernel {

class TQuernelCore;
class TNamedTableBox;

// The "&Kody" tab: the name of the active control-code table, loaded when the name changes and
// saved under the name by "&Zapisz", and "Ignoruj komendy HP-PCL". The table itself is not
// shown or edited here yet.
class TSequencesTab final : public QWidget {
  public:
    TSequencesTab(TQuernelCore& core, QWidget* parent = nullptr);
    void Refresh();

  private:
    TQuernelCore& core_;
    TNamedTableBox* name_;
    QCheckBox* cbIgnorePCL_;
};

}  // namespace quernel
