#include "platform/QuernelProgram.h"

#include <filesystem>
#include <system_error>

#include "host/Autostart.h"
#include "host/BW_log.h"
#include "host/Environment.h"
#include "monitor/Monitoring.h"
#include "platform/ProgramStart.h"
#include "platform/StopSignals.h"

namespace quernel {

namespace fs = std::filesystem;

TQuernelProgram::TQuernelProgram(TProgramStart& start, IErrorReport& errors)
    : start_(start),
      printer_(start.clock),
      keys_(IniKeyStore::FromEnvironment(&start.clock)),
      files_(&start.clock),
      autostart_(TXdgAutostartFolder::FromEnvironment()),
      printouts_(TPrintoutFolder::FromEnvironment()) {
    keys_.SetNotices([this, &errors](const std::string& message, bool error) {
        start_.history.Add(message);
        if (error) errors.ShowError(message);
    });
    // The folder a DOS emulator's printer port writes into.
    const fs::path quernelHome = QuernelFolder();
    std::error_code ec;
    fs::create_directories(quernelHome, ec);
    services_ = std::make_unique<TCoreServices>(TCoreServices{
        printer_, keys_, pictures_, files_, start.clock, start.sleeper, errors, start.history,
        start.fileLog, start.programDir, (quernelHome / "PRN2FILE.TXT").string()});
    // What was printed of each monitored file, kept across restarts.
    services_->printedStateFile = StateFolder() / "printed.txt";
    if (const auto runtime = PrivateRuntimeFolder()) {
        services_->printedStateFallback = *runtime / "quernel/printed.txt";
    }
    services_->printerReader = &printer_;
    services_->jobs = &jobs_;
    // Every printout handled, kept for "Ostatnie wydruki"; the current printer's state.
    services_->printoutFolder = &printouts_;
    services_->printerState = &printerState_;
    core_ = std::make_unique<TQuernelCore>(*services_);
    core_->registerAutostart = [this] {
        RegisterAutostart(autostart_, start_.programPath.string(), core_->Settings().AutoRun,
                          start_.history);
    };
    timers_ = std::make_unique<TProgramTimers>(*core_, start.processes);
}

TQuernelProgram::~TQuernelProgram() {
    start_.history.Attach(nullptr);
    timers_.reset();
    core_.reset();
}

bool TQuernelProgram::SetUp(IHistoryView* view) {
    start_.history.Attach(view);
    start_.history.Add("Ustawienia domyślne");
    core_->Printers().FillPrinterList();
    if (StopRequested()) return false;
    core_->LoadSettings();
    core_->Monitoring().SetActive(true);
    startHidden_ =
        start_.params.ParamSwitch(kSwitchHide) && !core_->Printers().PrinterNames().empty();
    return true;
}

void TQuernelProgram::StartTimers(std::function<void()> minimise) {
    timers_->Start(startHidden_, std::move(minimise));
}

void TQuernelProgram::StopTimers() {
    timers_->Stop();
}

void TQuernelProgram::SaveAndStop() {
    timers_->Stop();
    core_->SaveSettings();
}

}  // namespace quernel
