#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "host/AppSettings.h"

namespace quernel {

class IErrorReport;
class ISleeper;

// The platform's printer set-up dialog for the current printer.
class IPrinterSetupDialog {
  public:
    virtual ~IPrinterSetupDialog() = default;
    // True when the user confirmed the dialog.
    virtual bool Execute(IPrinterPlatform& printer) = 0;
};

// The main printer and the font of the printouts, as the window's printer drop-down and
// font list show them. Everything that prints uses the platform's current printer, which this
// keeps in step with the drop-down. Errors go to the general error report.
class TPrinterSelection {
  public:
    TPrinterSelection(IPrinterPlatform& printer, IErrorReport& errors, ISleeper& sleeper);

    // Reads the printer list, waiting 3, 10, 30 and 50 seconds while it is empty, fills the
    // drop-down, selects the current printer and applies it.
    void FillPrinterList();

    // A change in the printer drop-down (or the orientation drop-down): unless a document is
    // being printed, the current printer follows the drop-down; the font list is refilled,
    // keeping the selected font when the printer offers it again (exact comparison).
    void SelectPrinter(int index);
    void ApplyPrinter();
    // Selects the entry with exactly this name and applies it; false when there is none.
    bool SelectPrinterByName(const std::string& name);

    // A click in the font list; -1 clears the selection.
    void SelectFont(int index);
    // Selects the font with exactly this name; false (and no change) when there is none.
    bool SelectFontByName(const std::string& name);

    // The set-up dialog; when confirmed the drop-down shows the platform's current printer.
    void PrinterSetup(IPrinterSetupDialog& dialog);

    // While on, the drop-down is disabled and the default printer is used.
    void SetAlwaysDefault(bool on);

    const std::vector<std::string>& PrinterNames() const { return printers_; }
    int SelectedPrinter() const { return selectedPrinter_; }
    // The selected printer's name; empty when none is selected.
    std::string SelectedPrinterName() const;
    bool PrinterListEnabled() const { return !alwaysDefault_; }
    bool AlwaysDefault() const { return alwaysDefault_; }

    // The font list, sorted alphabetically without regard to case.
    const std::vector<std::string>& FontNames() const { return fonts_; }
    int SelectedFont() const { return selectedFont_; }
    std::string SelectedFontName() const;
    // The font the sample box shows.
    const std::string& SampleFont() const { return sampleFont_; }

    // Called after every change, so a window can refresh its controls.
    std::function<void()> onChanged;

  private:
    void ApplyFont();
    void Changed();

    IPrinterPlatform& printer_;
    IErrorReport& errors_;
    ISleeper& sleeper_;
    std::vector<std::string> printers_;
    int selectedPrinter_ = -1;
    std::vector<std::string> fonts_;
    int selectedFont_ = -1;
    std::string sampleFont_;
    bool alwaysDefault_ = false;
};

}  // namespace quernel
