#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/PrinterSelection.h"
#include "engine/QueueSettings.h"
#include "platform/CupsQueueSettings.h"

class QComboBox;

namespace quernel {

class QtPrinterPlatform;

// "Ustawienia drukarki": a CUPS queue's own print settings (paper, tray, two-sided printing,
// quality), as the queue offers them, each starting at the choice made before or the queue's
// default. Nothing about printing into a file.
class TdlgQueueSettings final : public QDialog {
  public:
    TdlgQueueSettings(const std::string& queue, const std::vector<TQueueSetting>& settings,
                      const TQueueOptions& chosen, QWidget* parent = nullptr);

    // The choices that differ from the queue's defaults.
    TQueueOptions Chosen() const;

  private:
    std::vector<std::pair<TQueueSetting, QComboBox*>> boxes_;
};

// The printer tab's "&Ustawienia": for a CUPS queue its settings (above), which every
// document for it then gets; for "Quernel PDF" the choice of its folder.
class TPrinterSettings final : public IPrinterSetupDialog {
  public:
    struct TActions {
        // The queue's settings; empty: ReadQueueSettings.
        std::function<std::vector<TQueueSetting>(const std::string&)> readSettings;
        // A paper's size; empty: ReadQueuePaperSize.
        std::function<std::optional<TQueuePaperSize>(const std::string&, const std::string&)>
            paperSize;
        // "Quernel PDF": choose its folder.
        std::function<void()> choosePdfFolder;
        // Shows a message (a queue that offers nothing to set).
        std::function<void(const std::string&)> showMessage;
    };

    TPrinterSettings(QtPrinterPlatform& platform, TActions actions, QWidget* parent = nullptr);

    bool Execute(IPrinterPlatform& printer) override;

  private:
    QtPrinterPlatform& platform_;
    TActions actions_;
    QWidget* parent_;
};

}  // namespace quernel
