#include "monitor/Monitoring.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/PrinterState.h"
#include "host/BW_log.h"
#include "host/ErrorReport.h"
#include "host/FileUtil.h"
#include "host/KeyStore.h"
#include "monitor/KeptPrintouts.h"
#include "monitor/QuernelCore.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

// The indexes i < count of the values "MonitoredFile<i>" (decimal, no leading zeros) in the
// key, ascending.
std::vector<int> StoredEntryIndexes(IRegistryKey& key, int count) {
    constexpr std::string_view kPrefix = "MonitoredFile";
    std::vector<int> indexes;
    for (const std::string& name : key.ValueNames()) {
        if (!name.starts_with(kPrefix)) continue;
        const std::string_view digits = std::string_view(name).substr(kPrefix.size());
        if (digits.empty() || (digits.size() > 1 && digits.front() == '0')) continue;
        int index = -1;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (error != std::errc() || end != digits.data() + digits.size()) continue;
        if (index >= 0 && index < count) indexes.push_back(index);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

}  // namespace

TMonitoring::TMonitoring(TQuernelCore& core)
    : core_(core),
      printedState_(core.services_.printedStateFile, core.services_.printedStateFallback),
      services_{core.services_.files, core.services_.clock, core.services_.history,
                core.services_.printer, core.monitorSettings_, this,
                // The folder of the default print file (~/QUERNEL) keeps failed printouts.
                fs::path(core.services_.defaultPrintFile).parent_path() / "Nieudane", this,
                core.services_.jobs, nullptr, core.printouts_.get(), &follower_},
      // The copies of followed jobs' printouts live beside the printed state.
      follower_(services_, core.services_.printedStateFile.empty()
                               ? fs::path()
                               : core.services_.printedStateFile.parent_path() / "jobs"),
      list_(services_) {
    follower_.onChanged = [this] { printedStateChanged_ = true; };
}

std::optional<TRememberedFile> TMonitoring::Remembered(const std::string& path) {
    return printedState_.Remembered(path);
}

std::string TMonitoring::RememberedDamage() {
    const TStateDamage& damage = printedState_.Damage();
    if (!damage.Damaged()) return {};
    return "plik stanu wydruków był uszkodzony" +
           (damage.keptAs.empty() ? std::string() : ", zachowany jako " + damage.keptAs.string());
}

void TMonitoring::Report(const std::string& message) {
    core_.services_.history.Add(message);
    core_.services_.errors.ShowError(message);
}

void TMonitoring::PrintedPartChanged(bool afterPrintout) {
    printedStateChanged_ = true;
    if (afterPrintout) SavePrintedState();
}

void TMonitoring::SavePrintedState() {
    if (!printedStateChanged_ || !printedState_.Enabled()) return;
    TStateRecord record;
    for (int i = 0; i < list_.Count(); ++i) list_[i].monitor->CollectPrintedParts(record.files);
    record.jobs = follower_.Jobs();
    std::string error;
    try {
        if (printedState_.Save(record, &error) == TPrintedState::SaveResult::kSavedInFallback) {
            ReportSaveFailure(error, true);
            return;
        }
    } catch (const FileError& e) {
        ReportSaveFailure(e.what(), false);
        return;
    }
    printedStateChanged_ = false;
    follower_.Saved();
    if (std::exchange(printedStateFailing_, false)) {
        core_.services_.history.Add("Stan wydruków znów zapisany w pliku " +
                                    printedState_.File().string());
    }
}

// The write stays due, so the next tick tries it again.
void TMonitoring::ReportSaveFailure(const std::string& error, bool inFallback) {
    if (std::exchange(printedStateFailing_, true)) return;
    std::string message = "Nie udało się zapisać stanu wydruków: " + error + "\n";
    message += inFallback ? "Stan jest przechowywany tymczasowo w " +
                                core_.services_.printedStateFallback.string() +
                                " (do wyłączenia komputera); zapis w pliku " +
                                printedState_.File().string() + " będzie ponawiany."
                          : std::string(
                                "Zapis będzie ponawiany. Jeśli program zostanie zatrzymany "
                                "wcześniej, wydruki od ostatniego zapisu mogą wyjść ponownie.");
    Report(message);
}

void TMonitoring::LoadPrintedState() {
    printedState_.Load(ToLocal(core_.services_.clock.Now()));
    follower_.Restore(printedState_.FollowedJobs());
    const TStateDamage& damage = printedState_.Damage();
    if (!damage.Damaged()) return;
    core_.services_.history.Add("Uszkodzony plik stanu wydruków " + printedState_.File().string() +
                                " (" + damage.what + "): " +
                                (damage.keptAs.empty()
                                     ? "nie udało się zachować jego kopii: " + damage.copyError
                                     : "zachowano go jako " + damage.keptAs.string()));
}

void TMonitoring::SetActive(bool on) {
    if (on == active_) return;
    active_ = on;
    core_.services_.history.Add(on ? "Monitorowanie włączone" : "Monitorowanie wyłączone");
    core_.StateChanged(TQuernelCore::TChange::kMonitoringSwitched);
}

// Until when at the latest: the end of the start-up waits for the printers.
std::string TMonitoring::WaitingForPrintersMessage() const {
    std::string message = "Wydruki czekają na dostęp do drukarek";
    if (const auto end = core_.selection_.WaitsEnd()) {
        const LocalDateTime t = ToLocal(*end);
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.hour, t.minute, t.second);
        message += std::string(" (najpóźniej do ") + time + ")";
    }
    return message;
}

std::optional<std::string> TMonitoring::MissingPrinter(const TFileMonitor& monitor) const {
    const TPrinterSelection& printers = core_.selection_;
    if (!monitor.PrinterName().empty()) {
        if (printers.EntryPrinterUnavailable(monitor.PrinterName())) return monitor.PrinterName();
        return std::nullopt;
    }
    if (printers.MainPrinterUnavailable()) return printers.ChosenPrinter();
    return std::nullopt;
}

void TMonitoring::Tick(ITimer& timer) {
    core_.selection_.Poll();  // the start-up waits for printers, if they still run
    core_.printerWatch_->Poll(core_.selection_.SelectedPrinterName(), !held_.empty());
    // Jobs are followed whether monitoring is on or not.
    if (follower_.Poll()) {
        printedStateChanged_ = true;
        SavePrintedState();
    }
    if (!active_) return;
    timer.Stop();
    try {
        const int count = list_.Count();
        for (int i = 0; i < count && i < list_.Count(); ++i) {
            TFileMonitor& monitor = *list_[i].monitor;
            const std::string& text = list_[i].text;
            // A printout for a printer that is missing waits for it, reported once, rather
            // than going to another printer.
            const std::optional<std::string> missing = MissingPrinter(monitor);
            if (missing && held_.contains(text)) continue;
            if (!monitor.IsReady()) continue;
            if (missing) {
                monitor.HoldRelease();
                held_.insert(text);
                if (reportedMissing_.insert(*missing).second) {
                    const std::string message = missing->empty()
                                                    ? WaitingForPrintersMessage()
                                                    : "Wydruki czekają na drukarkę: " + *missing;
                    core_.services_.history.Add(message);
                    core_.Notify(TNoticeKind::kWarning, "Wydruki czekają", message);
                }
                continue;
            }
            held_.erase(text);
            reportedMissing_.clear();
            RunPrintJob(monitor, false, 1);
        }
    } catch (const std::exception& e) {
        core_.services_.errors.ShowError(e.what());
    }
    SavePrintedState();
    timer.Start();
}

void TMonitoring::RunPrintJob(TFileMonitor& monitor, bool manual, int fromPage) {
    const AppSettings& s = core_.settings_;
    TPrintJobSetup setup = core_.CurrentJobSetup();
    // The caps are the printer's at print time, which the keeper reads when it printed.
    core_.printouts_->JobStarts(setup, manual);
    TPrintInterface job(core_.printServices_);
    setup.ApplyTo(job);
    if (manual) {
        monitor.PrintNewData(job, true, fromPage, false, true);
    } else {
        monitor.PrintNewData(job, false, 1, s.DeleteAfter, !s.WaitForPage);
    }
}

void TMonitoring::PrintFile(IMonitoringDialogs& dialogs) {
    const auto file = dialogs.ChooseFile();
    if (!file) return;
    const auto page = dialogs.ChooseStartPage(lastStartPage_);
    if (!page) return;
    lastStartPage_ = *page;
    if (core_.selection_.MainPrinterUnavailable()) {
        const std::string& name = core_.selection_.ChosenPrinter();
        core_.services_.errors.ShowError("Brak drukarki ?     " +
                                         (name.empty()
                                              ? std::string("Drukarki nie są jeszcze dostępne.")
                                              : "Drukarka \"" + name + "\" nie jest dostępna.") +
                                         " Wybierz inną drukarkę albo spróbuj później.");
        return;
    }
    try {
        // A file printed by hand is not monitored: what it prints leaves the printed state as
        // it is, so the state is not written again for it.
        TMonitorServices manual = services_;
        manual.printedState = nullptr;
        TFileMonitor monitor(manual, *file, false);
        core_.services_.history.Add("Ręczne drukowanie : " + *file);
        RunPrintJob(monitor, true, *page);
    } catch (const std::exception& e) {
        core_.services_.errors.ShowError(e.what());
    }
}

void TMonitoring::AddFile(IMonitoringDialogs& dialogs) {
    const auto file = dialogs.ChooseFile();
    if (!file) return;
    if (list_.IsMonitored(*file)) {
        core_.services_.history.Add("Plik już jest monitorowany: " + *file);
        return;
    }
    list_.Add(*file, false);
    core_.services_.history.Add("Nowy plik monitorowany: " + *file);
    SaveMonitoredList();
}

void TMonitoring::AddFolder(IMonitoringDialogs& dialogs) {
    const auto choice = dialogs.ChooseFolder();
    if (!choice) return;
    std::string folder = choice->folder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder != "/") folder += '/';
    const std::string entry = folder + (choice->mask.empty() ? "*.*" : choice->mask);
    if (list_.IsMonitored(entry)) {
        core_.services_.history.Add("Katalog już był monitorowany: " + entry);
        return;
    }
    list_.Add(entry, false);
    core_.services_.history.Add("Nowy katalog monitorowany: " + entry);
    SaveMonitoredList();
}

void TMonitoring::RemoveEntry(int index) {
    if (index < 0 || index >= list_.Count()) return;
    core_.services_.history.Add("Zakończono monitorowanie: " + list_[index].text);
    held_.erase(list_[index].text);
    list_.Remove(index);
    SaveMonitoredList();
}

void TMonitoring::ChooseEntryPrinter(int index, IMonitoringDialogs& dialogs) {
    if (index < 0 || index >= list_.Count()) return;
    std::vector<std::string> choices{kMainPrinterChoice};
    const auto printers = core_.services_.printer.Printers();
    choices.insert(choices.end(), printers.begin(), printers.end());
    const auto chosen = dialogs.ChoosePrinter(choices);
    if (!chosen || *chosen < 0 || *chosen >= static_cast<int>(choices.size())) return;
    std::string text = EntryPath(list_[index].text);
    if (*chosen > 0) text += "::" + choices[static_cast<std::size_t>(*chosen)];
    held_.erase(list_[index].text);
    list_.Replace(index, text);
    core_.services_.history.Add("Ustawiono Drukarke: " + text);
    SaveMonitoredList();
}

void TMonitoring::SaveMonitoredList() {
    auto key = core_.store_.OpenSettingsKey(core_.settings_.Settings4All, KeyAccess::kFull);
    if (!key) return;
    key->WriteInteger("MonitoredFilesCNT", list_.Count());
    for (int i = 0; i < list_.Count(); ++i) {
        key->WriteString("MonitoredFile" + std::to_string(i), list_[i].text);
    }
}

// An entry of the list loaded at start-up: its file's first sight looks at what was printed
// of it before the restart.
void TMonitoring::AddLoaded(const std::string& text, bool deleteOnStart) {
    list_[list_.Add(text, deleteOnStart)].monitor->RestoreAfterRestart();
}

void TMonitoring::LoadMonitoredList() {
    TbwLog& log = core_.services_.history;
    const bool deleteOnStart = core_.settings_.DeleteFilesOnStart;
    int count = -1;
    LoadPrintedState();
    if (auto key = core_.store_.OpenSettingsKey(core_.settings_.Settings4All, KeyAccess::kRead)) {
        count = key->ReadInteger("MonitoredFilesCNT").value_or(-1);
        list_.Clear();
        // Only the entries stored below the count are read, in index order: a count far above
        // them (a damaged file) costs nothing, and missing ones are skipped without a word.
        for (const int i : StoredEntryIndexes(*key, count)) {
            const auto stored = key->ReadString("MonitoredFile" + std::to_string(i));
            if (!stored) continue;
            const std::string& text = *stored;
            if (list_.IsMonitored(text)) {
                log.Add("Plik już jest monitorowany: " + text);
            } else {
                AddLoaded(text, deleteOnStart);
            }
        }
        const std::string& defaultFile = core_.services_.defaultPrintFile;
        if (!list_.IsMonitored(defaultFile)) AddLoaded(defaultFile, deleteOnStart);
    }
    const fs::path import = core_.services_.programDir / "monitored.txt";
    std::error_code ec;
    if (count > 0 || !fs::exists(import, ec)) return;
    Bytes data;
    try {
        data = ReadWholeFile(import);
    } catch (const std::exception& e) {
        core_.services_.errors.ShowError(e.what());
        return;
    }
    list_.Clear();
    // One entry per line feed; bytes after the last line feed are not an entry.
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\n') continue;
        const std::string text(data.begin() + static_cast<std::ptrdiff_t>(start),
                               data.begin() + static_cast<std::ptrdiff_t>(i));
        start = i + 1;
        if (list_.IsMonitored(text)) {
            log.Add("Plik jest już monitorowany: " + text);
        } else {
            AddLoaded(text, deleteOnStart);
        }
    }
}

std::string TMonitoring::MakePrintTitle(const std::string& fileName) {
    const AppSettings& s = core_.settings_;
    if (s.PrintTitleAsFile) return fileName.substr(fileName.find_last_of('/') + 1);
    if (!s.NumberPrints) return {};
    const LocalDateTime now = ToLocal(core_.services_.clock.Now());
    char date[16];
    std::snprintf(date, sizeof date, "%04d_%02d_%02d", now.year, now.month, now.day);
    const std::string base = s.PrintTitleName + "_" + date;
    auto key = core_.store_.OpenSettingsKey(s.Settings4All, KeyAccess::kFull);
    if (!key) return {};
    const int number = key->ReadInteger("LastNumber").value_or(0) + 1;
    key->WriteInteger("LastNumber", number);
    return base + "_" + std::to_string(number);
}

}  // namespace quernel
