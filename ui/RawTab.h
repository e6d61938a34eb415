#pragma once

#include <QWidget>

namespace quernel {

class TSettingBinder;

// The "&RAW" tab: direct mode and its values.
class TRawTab final : public QWidget {
  public:
    explicit TRawTab(TSettingBinder& binder, QWidget* parent = nullptr);
};

}  // namespace quernel
