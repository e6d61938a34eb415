#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;

namespace quernel {

class IWindowDialogs;
class TQuernelCore;
class TSettingBinder;

// The "&Ustawienia" tab: DOS priority, shared settings, document titles, deleting monitored
// files at start and the background picture with its status.
class TSettingsTab final : public QWidget {
  public:
    TSettingsTab(TSettingBinder& binder, std::function<IWindowDialogs&()> dialogs,
                 QWidget* parent = nullptr);

  private:
    void ChoosePicture();
    // "?" without a path, else "OK" in green or "BŁĄD" in red; asked once per path.
    void RefreshPictureStatus();

    TSettingBinder& binder_;
    TQuernelCore& core_;
    std::function<IWindowDialogs&()> dialogs_;
    QLineEdit* edBackgroundPicture_ = nullptr;
    QLabel* labPictureOk_ = nullptr;
    std::string checkedPicture_;
    bool pictureChecked_ = false;
};

}  // namespace quernel
