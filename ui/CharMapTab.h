#pragma once

#include <QWidget>

namespace quernel {

class TQuernelCore;
class TNamedTableBox;

// The "Z&naki" tab: the name of the active character map, loaded when the name changes and
// saved under the name by "&Zapisz". The map itself is not shown or edited here yet.
class TCharMapTab final : public QWidget {
  public:
    TCharMapTab(TQuernelCore& core, QWidget* parent = nullptr);
    // Shows the core's current map name.
    void Refresh();

  private:
    TQuernelCore& core_;
    TNamedTableBox* name_;
};

}  // namespace quernel
