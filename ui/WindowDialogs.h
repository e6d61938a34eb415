#pragma once

#include <QString>
#include <functional>
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
    // A message for the user (an input refused), with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A folder for the PDFs of "Quernel PDF", starting in the current one; nothing when
    // cancelled.
    virtual std::optional<std::string> ChoosePdfFolder(const std::string& current) = 0;
    // Shows the folder in the desktop's file manager.
    virtual void OpenFolder(const std::string& folder) = 0;
};

// The real dialogs, modal over the main window.
class TQtWindowDialogs final : public IWindowDialogs {
  public:
    // The file and folder dialogs of the monitored list start in the folder `startFolder`
    // answers (the selected entry's folder, or ~/QUERNEL).
    TQtWindowDialogs(QWidget* parent, std::function<std::string()> startFolder = {});
    ~TQtWindowDialogs() override;

    std::optional<std::string> ChooseFile() override;
    std::optional<TFolderChoice> ChooseFolder() override;
    std::optional<int> ChooseStartPage(int lastPage) override;
    std::optional<int> ChoosePrinter(const std::vector<std::string>& choices) override;
    std::optional<std::string> ChoosePicture() override;
    void ShowMessage(const std::string& text) override;
    std::optional<std::string> ChoosePdfFolder(const std::string& current) override;
    void OpenFolder(const std::string& folder) override;

    // The file dialogs as the commands show them: an existing file, starting in the folder; for
    // the picture first every picture format the program loads ("Obrazy (...)"), then each
    // format, then "Wszystkie pliki (*)".
    static std::unique_ptr<QFileDialog> NewFileDialog(QWidget* parent, const QString& folder = {});
    static std::unique_ptr<QFileDialog> NewPictureDialog(QWidget* parent);
    std::string StartFolder() const;
    // The one print-from-page dialog of the run.
    TdlgPrintFromPage& FromPageDialog();

  private:
    QWidget* parent_;
    std::function<std::string()> startFolder_;
    std::unique_ptr<TdlgPrintFromPage> fromPage_;
};

}  // namespace quernel
