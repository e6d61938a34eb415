#include "monitor/QuernelCore.h"

#include <exception>

#include "engine/DataFiles.h"
#include "engine/PageGeometry.h"
#include "engine/PrinterState.h"
#include "host/BW_log.h"
#include "host/Environment.h"
#include "host/ErrorReport.h"
#include "monitor/KeptPrintouts.h"
#include "monitor/Monitoring.h"

namespace quernel {

TQuernelCore::TQuernelCore(TCoreServices& services)
    : services_(services),
      store_(services.keys, services.history, services.fileLog),
      background_(services.pictures),
      printServices_{services.printer, services.history, services.fileLog, services.errors, raw_,
                     &background_},
      selection_(services.printer, services.errors, services.sleeper),
      printouts_(std::make_unique<TKeptPrintouts>(*this, services.printoutFolder)),
      printerWatch_(std::make_unique<TPrinterWatch>(services.printerState, services.clock)),
      monitoring_(std::make_unique<TMonitoring>(*this)) {
    if (services.printerReader != nullptr) {
        selection_.UseBackgroundWaits(*services.printerReader, services.clock);
    }
    printerWatch_->onError = [this](const std::string& printer, const TQueueState& state) {
        services_.history.Add("Drukarka " + printer + ": " + DescribeQueueState(state));
        Notify(TNoticeKind::kError, "Drukarka \"" + printer + "\"",
               DescribeQueueState(state) + ". Wydruki czekają.");
    };
}

void TQuernelCore::Notify(TNoticeKind kind, const std::string& title, const std::string& text) {
    if (notifier_ != nullptr) notifier_->Notify(kind, title, text);
}

TQuernelCore::~TQuernelCore() = default;

void TQuernelCore::UpdateSettings(const std::function<void(AppSettings&)>& edit) {
    const AppSettings before = settings_;
    edit(settings_);
    AppSettings& s = settings_;
    // The two title options exclude each other; the one switched on wins.
    if (s.NumberPrints && !before.NumberPrints) s.PrintTitleAsFile = false;
    if (s.PrintTitleAsFile && !before.PrintTitleAsFile) s.NumberPrints = false;
    if (s.AlwaysDefault != before.AlwaysDefault) selection_.SetAlwaysDefault(s.AlwaysDefault);
    const bool pictureChanged =
        s.PrintBackground != before.PrintBackground ||
        s.BackgroundPicture != before.BackgroundPicture || s.PictureLeft != before.PictureLeft ||
        s.PictureRight != before.PictureRight || s.PictureTop != before.PictureTop ||
        s.PictureBottom != before.PictureBottom;
    if (pictureChanged) ApplyBackground();
    PublishValues();
    if (s.MgLeft != before.MgLeft || s.MgTop != before.MgTop || s.MgRight != before.MgRight ||
        s.MgBottom != before.MgBottom) {
        CheckMargins();
    }
}

// Margins inside their range may still leave nothing of the current printer's sheet: the user
// is told at once (the values stay as set; printouts fail with the same message until they
// are changed). Without a usable printer there is nothing to measure them against.
void TQuernelCore::CheckMargins() {
    const AppSettings& s = settings_;
    std::string problem;
    try {
        IPrinterPlatform& printer = services_.printer;
        const auto names = printer.Printers();
        const int index = printer.PrinterIndex();
        if (index < 0 || index >= static_cast<int>(names.size())) return;
        problem =
            NoPrintableAreaMessage(printer.DeviceCaps(), names[static_cast<std::size_t>(index)],
                                   s.MgLeft, s.MgTop, s.MgRight, s.MgBottom);
    } catch (const std::exception&) {
        return;
    }
    if (!problem.empty()) services_.errors.ShowError(problem);
}

void TQuernelCore::LoadSettings() {
    store_.LoadSettings(settings_, *this);
    printouts_->Store().SetLimits({settings_.KeepPrintouts, settings_.KeepPrintoutsMB});
    printouts_->Store().Load();
    StateChanged(TChange::kSettingsLoaded);
}

void TQuernelCore::SaveSettings() {
    store_.SaveSettings(settings_, *this);
}

void TQuernelCore::DumpSettings() {
    store_.DumpSettings(settings_, *this);
}

void TQuernelCore::ApplyBackground() {
    const AppSettings& s = settings_;
    if (s.PrintBackground) {
        background_.SetBackground(s.BackgroundPicture, s.PictureLeft, s.PictureRight, s.PictureTop,
                                  s.PictureBottom);
    } else {
        background_.ClearBackground();
    }
}

void TQuernelCore::PublishValues() {
    const AppSettings& s = settings_;
    raw_.enabled = s.RAWEnable;
    raw_.initText = s.RAWInit;
    raw_.fixCrLf = s.RAWFixCRLF;
    raw_.endWithFormFeed = s.RAWEndWithFF;
    raw_.useCharMap = s.RAWcharMap;
    monitorSettings_.WaitBeforePrint = s.WaitBeforePrint;
    monitorSettings_.WaitForPageMax = s.WaitForPageMax;
    monitorSettings_.FileSaveMode = s.FileSaveMode;
    monitorSettings_.KeepState = s.KeepState;
    monitorSettings_.IgnorePcl = s.Ignore_PCL;
    monitorSettings_.CommandSet = s.CommandSet;
    services_.printer.SetDocumentFolder(PdfFolder());
    printouts_->Store().SetLimits({s.KeepPrintouts, s.KeepPrintoutsMB});
}

std::filesystem::path TQuernelCore::PdfFolder() const {
    if (const auto dir = GetEnv("QUERNEL_PDF_DIR")) return *dir;
    if (!settings_.PdfFolder.empty()) return settings_.PdfFolder;
    return std::filesystem::path(services_.defaultPrintFile).parent_path() / "PDF";
}

TPrintJobSetup TQuernelCore::CurrentJobSetup() {
    const AppSettings& s = settings_;
    TPrintJobSetup setup;
    setup.mgLeft = s.MgLeft;
    setup.mgTop = s.MgTop;
    setup.mgRight = s.MgRight;
    setup.mgBottom = s.MgBottom;
    setup.charsPerLine = s.CharsPerLine;
    setup.linesPerPage = s.LinesPerPage;
    setup.charsPerLineHor = s.CharsPerLineHor;
    setup.linesPerPageHor = s.LinesPerPageHor;
    setup.orientation = s.PageOrientation;
    setup.copies = s.Copies;
    if (const auto font = SelectedFont()) setup.font = *font;
    setup.charMap = charMap_;
    setup.sequences = sequences_;
    setup.commandSet = monitorSettings_.CommandSet;
    setup.ignorePcl = monitorSettings_.IgnorePcl;
    setup.boxLines = s.BoxLines;
    setup.raw = raw_;
    setup.background = s.PrintBackground && background_.HasPicture();
    setup.backgroundPath = s.BackgroundPicture;
    setup.picLeft = s.PictureLeft;
    setup.picRight = s.PictureRight;
    setup.picTop = s.PictureTop;
    setup.picBottom = s.PictureBottom;
    try {
        setup.caps = services_.printer.DeviceCaps();
    } catch (const std::exception&) {
        // No printer to measure: the preview takes a plain sheet.
    }
    return setup;
}

void TQuernelCore::SetSequencesName(const std::string& name) {
    settings_.Sequences = name;
    if (!sequencesEditMode_) ActivateSequences(name);
}

void TQuernelCore::SaveSequences() {
    try {
        if (sequencesEditMode_ && !settings_.Sequences.empty()) {
            SaveSequencesByName(services_.programDir, settings_.Sequences, sequences_,
                                services_.history);
        }
    } catch (const std::exception& e) {
        services_.errors.ShowError(e.what());
    }
    sequencesEditMode_ = false;
}

std::vector<std::string> TQuernelCore::ListSequences() const {
    return ListSequenceTables(services_.programDir);
}

void TQuernelCore::SetCharMapName(const std::string& name) {
    settings_.CharMap = name;
    if (!charMapEditMode_) ActivateCharMap(name);
}

void TQuernelCore::SaveCharMap() {
    try {
        if (charMapEditMode_ && !settings_.CharMap.empty()) {
            SaveCharMapByName(services_.programDir, settings_.CharMap, charMap_, services_.history);
        }
    } catch (const std::exception& e) {
        services_.errors.ShowError(e.what());
    }
    charMapEditMode_ = false;
}

std::vector<std::string> TQuernelCore::ListCharMaps() const {
    return quernel::ListCharMaps(services_.programDir);
}

void TQuernelCore::AutoRunSwitchedOn() {
    if (registerAutostart) registerAutostart();
}

void TQuernelCore::AlwaysDefaultSwitchedOn() {
    selection_.SetAlwaysDefault(true);
}

void TQuernelCore::ApplyLoadedSettings() {
    ApplyBackground();
    PublishValues();
    CheckMargins();
}

void TQuernelCore::EndEditModes() {
    charMapEditMode_ = false;
    sequencesEditMode_ = false;
}

void TQuernelCore::ActivateCharMap(const std::string& name) {
    try {
        LoadCharMapByName(services_.programDir, name, charMap_, services_.history);
    } catch (const std::exception& e) {
        services_.errors.ShowError(e.what());
    }
}

void TQuernelCore::ActivateSequences(const std::string& name) {
    try {
        LoadSequencesByName(services_.programDir, name, sequences_, services_.history);
    } catch (const std::exception& e) {
        services_.errors.ShowError(e.what());
    }
}

void TQuernelCore::RestorePrinter(const std::string& name) {
    selection_.RestoreChosenPrinter(name);
}

void TQuernelCore::RestoreFont(const std::string& name) {
    selection_.SelectFontByName(name);
}

// A printer that stands in for a missing one is never stored: the stored name stays the
// user's choice.
std::optional<std::string> TQuernelCore::SelectedPrinter() {
    if (selection_.ChosenPrinterMissing()) return selection_.ChosenPrinter();
    if (!selection_.PrintSystemReached() && selection_.ChosenPrinter().empty()) return std::nullopt;
    if (selection_.SelectedPrinter() < 0) return std::nullopt;
    return selection_.SelectedPrinterName();
}

std::optional<std::string> TQuernelCore::SelectedFont() {
    if (selection_.SelectedFont() < 0) return std::nullopt;
    return selection_.SelectedFontName();
}

void TQuernelCore::LoadMonitoredList() {
    monitoring_->LoadMonitoredList();
}

}  // namespace quernel
