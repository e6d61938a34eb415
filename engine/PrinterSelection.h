#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "host/AppSettings.h"

namespace quernel {

class IClock;
class IErrorReport;
class ISleeper;

// The print system's printers as read at one moment.
struct TPrinterList {
    std::vector<std::string> names;  // in the print system's order
    std::string defaultName;         // empty: none
    bool reachable = true;           // the print system answered
};

// Reads the print system's printer list on another thread, so that the start-up waits for
// printers can run while monitoring goes on.
class IPrinterListReader {
  public:
    virtual ~IPrinterListReader() = default;
    // Whether the print system answered when the platform's list was last read.
    virtual bool PrintSystemReachable() = 0;
    // Starts one reading; FinishedReading answers its list once, when it is done.
    virtual void BeginReading() = 0;
    virtual std::optional<TPrinterList> FinishedReading() = 0;
    // Makes a list read this way the platform's printer list, as RefreshPrinters does.
    virtual void UsePrinterList(const TPrinterList& list) = 0;
};

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
    // drop-down, selects the current printer and applies it. With background waits (below)
    // nothing blocks: the list is filled at once, and the waits run in Poll while the print
    // system cannot be reached or the chosen printer is missing.
    void FillPrinterList();

    // From now on the start-up waits run in the background through the reader, timed by the
    // clock; Poll, called at every tick of the monitoring loop, carries them on without
    // waiting for anything.
    void UseBackgroundWaits(IPrinterListReader& reader, const IClock& clock);
    void Poll();
    // The background waits are still running.
    bool Waiting() const { return waiting_; }
    // While they run: when the last of them ends at the latest, if its readings take no time.
    std::optional<std::chrono::system_clock::time_point> WaitsEnd() const;

    // The printer stored in the settings becomes the chosen one. When it is not in the list
    // (the print system not ready yet), the selection stays where it is, the name is kept as
    // the chosen printer, and the background waits look for it.
    // An empty name chooses the first printer of the list (once the print system answered).
    void RestoreChosenPrinter(const std::string& name);
    // The print system answered when the list was last read (always without background
    // waits).
    bool PrintSystemReached() const { return reached_; }
    // The printer the user chose (or the settings named); empty for the default printer, or
    // while none is chosen yet.
    const std::string& ChosenPrinter() const { return chosen_; }
    // The chosen printer is not in the list: the selected one is only a stand-in.
    bool ChosenPrinterMissing() const { return chosenMissing_; }
    // Printouts on the main printer must wait: its chosen printer is missing, or none is
    // chosen and the print system has not answered yet while the waits run.
    bool MainPrinterUnavailable() const;
    // A printer named by a monitored entry is missing while the waits still look for it
    // (afterwards the entry prints on the default printer).
    bool EntryPrinterUnavailable(const std::string& name) const;

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
    void StartWaits();
    void ReportMissing();
    void UseList(const TPrinterList& list);
    void Choose(int index);

    IPrinterPlatform& printer_;
    IErrorReport& errors_;
    ISleeper& sleeper_;
    std::vector<std::string> printers_;
    int selectedPrinter_ = -1;
    std::vector<std::string> fonts_;
    int selectedFont_ = -1;
    std::string sampleFont_;
    bool alwaysDefault_ = false;

    std::string chosen_;
    bool chosenMissing_ = false;
    // Background waits.
    IPrinterListReader* reader_ = nullptr;
    const IClock* clock_ = nullptr;
    bool waiting_ = false;
    bool waitsDone_ = false;  // they run once, at start-up
    bool reading_ = false;
    bool reached_ = true;        // the print system answered at the last reading
    bool firstPending_ = false;  // no printer stored: the first one, once the list is read
    std::size_t nextWait_ = 0;
    std::chrono::system_clock::time_point nextReading_{};
};

}  // namespace quernel
