#include "engine/PrinterSelection.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>

#include "host/Clock.h"
#include "host/ErrorReport.h"
#include "host/Text.h"

namespace quernel {

namespace {

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

constexpr int kWaitSeconds[] = {3, 10, 30, 50};

}  // namespace

TPrinterSelection::TPrinterSelection(IPrinterPlatform& printer, IErrorReport& errors,
                                     ISleeper& sleeper)
    : printer_(printer), errors_(errors), sleeper_(sleeper) {}

void TPrinterSelection::FillPrinterList() {
    try {
        std::vector<std::string> names = printer_.Printers();
        if (reader_ != nullptr) {
            // The platform's own printers are always there; what counts is whether the print
            // system answered. Either way nothing blocks: the waits run in Poll.
            reached_ = reader_->PrintSystemReachable();
            if (!reached_ || names.empty()) StartWaits();
        } else {
            for (int seconds : kWaitSeconds) {
                if (!names.empty()) break;
                sleeper_.Sleep(std::chrono::seconds(seconds));
                printer_.RefreshPrinters();
                names = printer_.Printers();
            }
        }
        printers_ = std::move(names);
        selectedPrinter_ = -1;
        const int current = printer_.PrinterIndex();
        if (current >= 0) selectedPrinter_ = current;
        ApplyPrinter();
    } catch (const std::exception& e) {
        errors_.ShowError(std::string("Brak drukarki ?     ") + e.what());
        Changed();
    }
}

void TPrinterSelection::UseBackgroundWaits(IPrinterListReader& reader, const IClock& clock) {
    reader_ = &reader;
    clock_ = &clock;
}

void TPrinterSelection::StartWaits() {
    if (reader_ == nullptr || waiting_ || waitsDone_) return;
    waiting_ = true;
    nextWait_ = 0;
    nextReading_ = clock_->Now() + std::chrono::seconds(kWaitSeconds[0]);
}

std::optional<std::chrono::system_clock::time_point> TPrinterSelection::WaitsEnd() const {
    if (!waiting_) return std::nullopt;
    auto end = nextReading_;
    for (std::size_t i = nextWait_ + 1; i < std::size(kWaitSeconds); ++i) {
        end += std::chrono::seconds(kWaitSeconds[i]);
    }
    return end;
}

void TPrinterSelection::Poll() {
    if (!waiting_) return;
    if (!reading_) {
        if (clock_->Now() < nextReading_) return;
        reader_->BeginReading();
        reading_ = true;
    }
    const std::optional<TPrinterList> list = reader_->FinishedReading();
    if (!list) return;  // still reading: the loop goes on meanwhile
    reading_ = false;
    UseList(*list);
    ++nextWait_;
    const bool found = reached_ && !printers_.empty() && !chosenMissing_;
    if (!found && nextWait_ < std::size(kWaitSeconds)) {
        nextReading_ = clock_->Now() + std::chrono::seconds(kWaitSeconds[nextWait_]);
        return;
    }
    waiting_ = false;
    waitsDone_ = true;
    if (chosenMissing_) ReportMissing();
}

void TPrinterSelection::ReportMissing() {
    errors_.ShowError("Brak drukarki ?     Nie ma drukarki \"" + chosen_ +
                      "\"; wydruki na nią czekają. Wybierz inną drukarkę albo uruchom "
                      "Quernela ponownie, gdy drukarka będzie dostępna.");
}

// A list read in the background: the chosen printer is selected when it is there; without a
// chosen one, the first printer (when none was stored) or the default one.
void TPrinterSelection::UseList(const TPrinterList& list) {
    try {
        reader_->UsePrinterList(list);
        reached_ = list.reachable;
        printers_ = printer_.Printers();
        if (!chosen_.empty()) {
            const int index = IndexOf(printers_, chosen_);
            if (index >= 0) {
                SelectPrinter(index);
                return;
            }
        } else if (firstPending_ && reached_ && !printers_.empty()) {
            SelectPrinter(0);
            return;
        } else if (!printer_.Printing()) {
            printer_.SetPrinterIndex(-1);
        }
        // The stand-in stays selected (the platform keeps its current printer by name).
        const int current = printer_.PrinterIndex();
        selectedPrinter_ = current < static_cast<int>(printers_.size()) ? current : -1;
        ApplyPrinter();
    } catch (const std::exception& e) {
        errors_.ShowError(std::string("Brak drukarki ?     ") + e.what());
        Changed();
    }
}

void TPrinterSelection::RestoreChosenPrinter(const std::string& name) {
    if (name.empty()) {
        if (!reached_) {
            firstPending_ = true;
        } else if (!printers_.empty()) {
            SelectPrinter(0);
        }
        return;
    }
    if (SelectPrinterByName(name)) return;
    chosen_ = name;
    chosenMissing_ = true;
    // Without background waits the list is final already (its waits blocked at the start).
    if (reader_ == nullptr || waitsDone_) {
        ReportMissing();
    } else {
        StartWaits();
    }
    Changed();
}

bool TPrinterSelection::MainPrinterUnavailable() const {
    return chosenMissing_ || (waiting_ && !reached_ && chosen_.empty());
}

bool TPrinterSelection::EntryPrinterUnavailable(const std::string& name) const {
    return waiting_ && IndexOf(printers_, name) < 0;
}

void TPrinterSelection::SelectPrinter(int index) {
    selectedPrinter_ = index >= 0 && index < static_cast<int>(printers_.size()) ? index : -1;
    Choose(selectedPrinter_);
    ApplyPrinter();
}

// The user's (or the settings') choice: the printouts go there from now on.
void TPrinterSelection::Choose(int index) {
    chosen_ = index >= 0 ? printers_[static_cast<std::size_t>(index)] : std::string();
    chosenMissing_ = false;
    firstPending_ = false;
}

bool TPrinterSelection::SelectPrinterByName(const std::string& name) {
    const int index = IndexOf(printers_, name);
    if (index < 0) return false;
    SelectPrinter(index);
    return true;
}

void TPrinterSelection::ApplyPrinter() {
    const std::string remembered = selectedFont_ >= 0 ? SelectedFontName() : kDefaultFontName;
    try {
        if (!printer_.Printing()) printer_.SetPrinterIndex(selectedPrinter_);
        fonts_.clear();
        selectedFont_ = -1;
        fonts_ = printer_.Fonts();
        std::stable_sort(fonts_.begin(), fonts_.end(), LessIgnoringCase);
        selectedFont_ = IndexOf(fonts_, remembered);
    } catch (const std::exception& e) {
        errors_.ShowError(std::string("Problem z drukarką : ") + e.what());
    }
    ApplyFont();
}

void TPrinterSelection::SelectFont(int index) {
    selectedFont_ = index >= 0 && index < static_cast<int>(fonts_.size()) ? index : -1;
    ApplyFont();
}

bool TPrinterSelection::SelectFontByName(const std::string& name) {
    const int index = IndexOf(fonts_, name);
    if (index < 0) return false;
    SelectFont(index);
    return true;
}

void TPrinterSelection::ApplyFont() {
    if (selectedFont_ >= 0) sampleFont_ = fonts_[static_cast<std::size_t>(selectedFont_)];
    Changed();
}

void TPrinterSelection::PrinterSetup(IPrinterSetupDialog& dialog) {
    try {
        if (!dialog.Execute(printer_)) return;
        const int current = printer_.PrinterIndex();
        selectedPrinter_ = current < static_cast<int>(printers_.size()) ? current : -1;
        Choose(selectedPrinter_);
    } catch (const std::exception& e) {
        errors_.ShowError(std::string("Problem z drukarką : ") + e.what());
    }
    Changed();
}

void TPrinterSelection::SetAlwaysDefault(bool on) {
    alwaysDefault_ = on;
    if (!on) {
        Changed();
        return;
    }
    try {
        printer_.SetPrinterIndex(-1);
        const int current = printer_.PrinterIndex();
        selectedPrinter_ = current < static_cast<int>(printers_.size()) ? current : -1;
        chosen_.clear();  // the default printer, whichever it is
        chosenMissing_ = false;
    } catch (const std::exception& e) {
        errors_.ShowError(std::string("Problem z drukarką : ") + e.what());
    }
    ApplyPrinter();
}

std::string TPrinterSelection::SelectedPrinterName() const {
    return selectedPrinter_ >= 0 ? printers_[static_cast<std::size_t>(selectedPrinter_)]
                                 : std::string();
}

std::string TPrinterSelection::SelectedFontName() const {
    return selectedFont_ >= 0 ? fonts_[static_cast<std::size_t>(selectedFont_)] : std::string();
}

void TPrinterSelection::Changed() {
    if (onChanged) onChanged();
}

}  // namespace quernel
