#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "monitor/JobFollower.h"
#include "monitor/MonitorServices.h"
#include "monitor/MonitoredList.h"
#include "monitor/PrintedState.h"

namespace quernel {

class TQuernelCore;

// The 500 ms timer of the monitoring loop.
class ITimer {
  public:
    virtual ~ITimer() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

// A folder and a file mask, as the add-folder dialog gives them.
struct TFolderChoice {
    std::string folder;
    std::string mask;  // empty: every file
};

// The dialogs the monitoring commands show; each answers nothing when cancelled.
class IMonitoringDialogs {
  public:
    virtual ~IMonitoringDialogs() = default;
    virtual std::optional<std::string> ChooseFile() = 0;
    virtual std::optional<TFolderChoice> ChooseFolder() = 0;
    // The page to print from (1..1000); the dialog shows the last page chosen.
    virtual std::optional<int> ChooseStartPage(int lastPage) = 0;
    // Index into "<główna Quernel>" followed by the printer names.
    virtual std::optional<int> ChoosePrinter(const std::vector<std::string>& choices) = 0;
};

inline constexpr const char* kMainPrinterChoice = "<główna Quernel>";

// The monitored list and the loop that prints what becomes ready, the manual printout and the
// document titles.
class TMonitoring final : public ITitleMaker, public IPrintedStateKeeper {
  public:
    explicit TMonitoring(TQuernelCore& core);

    // --- the switch ---
    bool Active() const { return active_; }
    void SetActive(bool on);

    // One tick of the loop: every entry that is ready prints, in list order; an error ends
    // the tick and goes to the error report. The timer is stopped for the tick's length.
    void Tick(ITimer& timer);

    // Prints a chosen file from a chosen page, whether monitoring is on or not.
    void PrintFile(IMonitoringDialogs& dialogs);
    int LastStartPage() const { return lastStartPage_; }

    // --- the list ---
    const TMonitoredList& List() const { return list_; }
    bool IsMonitored(const std::string& text) const { return list_.IsMonitored(text); }
    void AddFile(IMonitoringDialogs& dialogs);
    void AddFolder(IMonitoringDialogs& dialogs);
    void RemoveEntry(int index);
    void ChooseEntryPrinter(int index, IMonitoringDialogs& dialogs);

    void SaveMonitoredList();
    void LoadMonitoredList();

    // ITitleMaker
    std::string MakePrintTitle(const std::string& fileName) override;

    // IPrintedStateKeeper
    std::optional<TRememberedFile> Remembered(const std::string& path) override;
    std::string RememberedDamage() override;
    void Report(const std::string& message) override;
    void PrintedPartChanged(bool afterPrintout) override;
    // Writes the printed state when something changed since the last write, or when the last
    // write failed: a failure is reported once and the write tried again at every tick.
    void SavePrintedState();

    // The print-system jobs that took printouts, followed until they complete.
    TJobFollower& Follower() { return follower_; }

  private:
    void RunPrintJob(TFileMonitor& monitor, bool manual, int fromPage);
    // The printer the monitor prints on, when it is missing now; empty when it is there.
    std::optional<std::string> MissingPrinter(const TFileMonitor& monitor) const;
    std::string WaitingForPrintersMessage() const;
    void AddLoaded(const std::string& text, bool deleteOnStart);
    void LoadPrintedState();
    void ReportSaveFailure(const std::string& error, bool inFallback);

    TQuernelCore& core_;
    TPrintedState printedState_;
    bool printedStateChanged_ = false;
    // The last write of the printed state did not reach its file (reported once).
    bool printedStateFailing_ = false;
    TMonitorServices services_;
    TJobFollower follower_;
    TMonitoredList list_;
    bool active_ = false;
    int lastStartPage_ = 1;
    // Entries whose printout waits for a missing printer, and the printers reported missing.
    std::set<std::string> held_;
    std::set<std::string> reportedMissing_;
};

}  // namespace quernel
