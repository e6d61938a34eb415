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

}  // namespace

TPrinterSelection::TPrinterSelection(IPrinterPlatform& printer, IErrorReport& errors,
                                     ISleeper& sleeper)
    : printer_(printer), errors_(errors), sleeper_(sleeper) {}

void TPrinterSelection::FillPrinterList() {
    try {
        std::vector<std::string> names = printer_.Printers();
        for (int seconds : {3, 10, 30, 50}) {
            if (!names.empty()) break;
            sleeper_.Sleep(std::chrono::seconds(seconds));
            printer_.RefreshPrinters();
            names = printer_.Printers();
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

void TPrinterSelection::SelectPrinter(int index) {
    selectedPrinter_ = index >= 0 && index < static_cast<int>(printers_.size()) ? index : -1;
    ApplyPrinter();
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
