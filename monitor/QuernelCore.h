#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/CharMap.h"
#include "engine/EscapeSequences.h"
#include "engine/PrintJobSetup.h"
#include "engine/PrinterSelection.h"
#include "engine/QN_Picture.h"
#include "engine/QN_Print.h"
#include "host/AppSettings.h"
#include "monitor/MonitorServices.h"
#include "monitor/Notifier.h"

namespace quernel {

class IErrorReport;
class IKeyStore;
class INotifier;
class IPrintoutFolder;
class IPrinterStateReader;
class TKeptPrintouts;
class TPrinterWatch;
class ISleeper;
class TMonitoring;
class TbwLog;
class TfileLog;

// The platform back ends and process-wide objects the application core works with.
struct TCoreServices {
    IPrinterPlatform& printer;
    IKeyStore& keys;
    IPictureLoader& pictures;
    IFileSystem& files;
    const IClock& clock;
    ISleeper& sleeper;
    IErrorReport& errors;
    TbwLog& history;
    TfileLog& fileLog;
    std::filesystem::path programDir;  // Seq, CharMap, monitored.txt
    // The entry that is always monitored; its folder (~/QUERNEL) also holds "Nieudane", the
    // printouts that failed to print.
    std::string defaultPrintFile;
    // What was printed of each monitored file, kept across restarts; empty: not kept.
    std::filesystem::path printedStateFile = {};
    // Where the state goes while its file cannot be written; empty: nowhere.
    std::filesystem::path printedStateFallback = {};
    // Reads the printer list in the background, so the start-up waits for printers do not
    // block; none: they block, as the printer selection does without it.
    IPrinterListReader* printerReader = nullptr;
    // What became of the jobs handed to the print system; none: it is not asked.
    IPrintJobs* jobs = nullptr;
    // Where the printouts Quernel handled are kept; none: they are not kept.
    IPrintoutFolder* printoutFolder = nullptr;
    // Reads the current printer's state; none: it is not watched.
    IPrinterStateReader* printerState = nullptr;
};

// What the main window owns, without the window: the settings and the values published from
// them, the active control-code table and character map, the printer selection and the
// monitoring. The window binds its controls to this; without a display it runs alone.
class TQuernelCore final : public ISettingsTarget {
  public:
    explicit TQuernelCore(TCoreServices& services);
    ~TQuernelCore() override;

    // --- settings ---
    const AppSettings& Settings() const { return settings_; }
    // Changes settings the way the window's controls do: the published values, the
    // background picture and the coupled choices follow at once. Nothing is stored until
    // SaveSettings.
    void UpdateSettings(const std::function<void(AppSettings&)>& edit);
    void LoadSettings();
    void SaveSettings();
    void DumpSettings();

    // Values the monitors and the print engine read.
    const TMonitorSettings& MonitorSettings() const { return monitorSettings_; }
    const TRawSettings& Raw() const { return raw_; }
    const TBackgroundPicture& Background() const { return background_; }
    TPrintServices& PrintServices() { return printServices_; }
    // True when the file exists and loads as a picture.
    bool PictureUsable(const std::string& path) { return background_.PictureFileUsable(path); }

    // --- active control-code table and character map ---
    const TEscapeSequences& ActiveSequences() const { return sequences_; }
    TEscapeSequences& EditSequences() { return sequences_; }
    const std::string& SequencesName() const { return settings_.Sequences; }
    // A new name in the box: loads that table unless the editor is in edit mode.
    void SetSequencesName(const std::string& name);
    // Saves under the name in edit mode (not for an empty name); edit mode ends either way.
    void SaveSequences();
    bool SequencesEditMode() const { return sequencesEditMode_; }
    void SetSequencesEditMode(bool on) { sequencesEditMode_ = on; }
    std::vector<std::string> ListSequences() const;

    const TCharMapRecord& ActiveCharMap() const { return charMap_; }
    TCharMapRecord& EditCharMap() { return charMap_; }
    const std::string& CharMapName() const { return settings_.CharMap; }
    void SetCharMapName(const std::string& name);
    void SaveCharMap();
    bool CharMapEditMode() const { return charMapEditMode_; }
    void SetCharMapEditMode(bool on) { charMapEditMode_ = on; }
    std::vector<std::string> ListCharMaps() const;

    // --- printer and font ---
    TPrinterSelection& Printers() { return selection_; }

    // --- monitoring ---
    TMonitoring& Monitoring() { return *monitoring_; }

    // --- kept printouts ---
    TKeptPrintouts& Printouts() { return *printouts_; }
    // The set-up a print job gets from the current settings now.
    TPrintJobSetup CurrentJobSetup();
    // Where "Quernel PDF" writes: $QUERNEL_PDF_DIR, else the setting PdfFolder, else the PDF
    // folder beside the default print file (~/QUERNEL/PDF).
    std::filesystem::path PdfFolder() const;

    // --- telling the user ---
    // The current printer's state, read at the ticks of the monitoring loop.
    TPrinterWatch& PrinterWatch() { return *printerWatch_; }
    // Notifications go here from now on; none: nobody is told.
    void SetNotifier(INotifier* notifier) { notifier_ = notifier; }
    void Notify(TNoticeKind kind, const std::string& title, const std::string& text);

    TCoreServices& Services() { return services_; }

    // Runs the autostart registration when the loaded settings switch AutoRun on.
    std::function<void()> registerAutostart;
    // Called after the settings are loaded and after the monitoring switch changes, so that a
    // window, shown or hidden, shows them.
    enum class TChange { kSettingsLoaded, kMonitoringSwitched };
    std::function<void(TChange)> onStateChanged;
    void StateChanged(TChange change) {
        if (onStateChanged) onStateChanged(change);
    }

    // ISettingsTarget
    void AutoRunSwitchedOn() override;
    void AlwaysDefaultSwitchedOn() override;
    void ApplyLoadedSettings() override;
    void EndEditModes() override;
    void ActivateCharMap(const std::string& name) override;
    void ActivateSequences(const std::string& name) override;
    void RestorePrinter(const std::string& name) override;
    void RestoreFont(const std::string& name) override;
    std::optional<std::string> SelectedPrinter() override;
    std::optional<std::string> SelectedFont() override;
    void LoadMonitoredList() override;

  private:
    void ApplyBackground();
    void PublishValues();
    void CheckMargins();

    TCoreServices& services_;
    AppSettings settings_;
    TSettingsStore store_;
    TMonitorSettings monitorSettings_;
    TRawSettings raw_;
    TBackgroundPicture background_;
    TPrintServices printServices_;
    TEscapeSequences sequences_;
    bool sequencesEditMode_ = false;
    TCharMapRecord charMap_ = TCharMapRecord::Identity();
    bool charMapEditMode_ = false;
    TPrinterSelection selection_;
    std::unique_ptr<TKeptPrintouts> printouts_;
    std::unique_ptr<TPrinterWatch> printerWatch_;
    INotifier* notifier_ = nullptr;
    std::unique_ptr<TMonitoring> monitoring_;

    friend class TMonitoring;
};

}  // namespace quernel
