#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QListWidget;

namespace quernel {

class IWindowDialogs;
class TQuernelCore;
class TSettingBinder;

// The "&Pliki" tab: the monitored files and folders, each optionally with a printer of its
// own, and when a printout counts as complete.
class TFilesTab final : public QWidget {
  public:
    TFilesTab(TSettingBinder& binder, std::function<IWindowDialogs&()> dialogs,
              QWidget* parent = nullptr);

    // Shows the core's monitored list, keeping the selected entry selected.
    void RefreshFiles();
    // The folder of the selected entry's file (or folder entry); empty when none is selected.
    std::string SelectedFolder() const;

  private:
    TQuernelCore& core_;
    std::function<IWindowDialogs&()> dialogs_;
    QListWidget* lbFiles_ = nullptr;
};

}  // namespace quernel
