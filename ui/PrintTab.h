#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QHBoxLayout;
class QPlainTextEdit;

namespace quernel {

class TSettingBinder;

// What the buttons of the "&Wydruk" tab do.
struct TPrintTabActions {
    std::function<void()> printFile;
    std::function<void()> help;
    std::function<void(bool)> setMonitoring;
    std::function<void()> recentPrintouts;
};

// The "&Wydruk" tab: printing a file by hand, the monitoring switch, autostart, help and the
// history of what the program did.
class TPrintTab final : public QWidget {
  public:
    TPrintTab(TSettingBinder& binder, TPrintTabActions actions, QWidget* parent = nullptr);

    void ShowActive(bool active);
    QPlainTextEdit& History() const { return *memLog_; }
    // The row of buttons above the history, for buttons of other parts of the window.
    QHBoxLayout& ButtonRow() const { return *top_; }

  private:
    TPrintTabActions actions_;
    QCheckBox* cbActive_ = nullptr;
    QPlainTextEdit* memLog_ = nullptr;
    QHBoxLayout* top_ = nullptr;
};

}  // namespace quernel
