#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor/Monitoring.h"

class QFileDialog;
class QWidget;

namespace quernel {

class TdlgPrintFromPage;

// The dialogs the main window's commands show: the monitoring ones, the background
// picture's file dialog and the editors' messages. Tests answer them from a script.
class IWindowDialogs : public IMonitoringDialogs {
  public:
    // A picture file for the background; nothing when cancelled.
    virtual std::optional<std::string> ChoosePicture() = 0;
    // A plain message for the user, with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
};

// The real dialogs, modal over the main window.
class TQtWindowDialogs final : public IWindowDialogs {
  public:
    explicit TQtWindowDialogs(QWidget* parent);
    ~TQtWindowDialogs() override;

    std::optional<std::string> ChooseFile() override;
    std::optional<TFolderChoice> ChooseFolder() override;
    std::optional<int> ChooseStartPage(int lastPage) override;
    std::optional<int> ChoosePrinter(const std::vector<std::string>& choices) override;
    std::optional<std::string> ChoosePicture() override;
    void ShowMessage(const std::string& text) override;

    // The file dialogs as the commands show them (an existing file; for the picture the
    // filters "Pictures (*.bmp)", every picture format Qt reads, and "All files (*.*)").
    static std::unique_ptr<QFileDialog> NewFileDialog(QWidget* parent);
    static std::unique_ptr<QFileDialog> NewPictureDialog(QWidget* parent);
    // The one print-from-page dialog of the run.
    TdlgPrintFromPage& FromPageDialog();

  private:
    QWidget* parent_;
    std::unique_ptr<TdlgPrintFromPage> fromPage_;
};

}  // namespace quernel
