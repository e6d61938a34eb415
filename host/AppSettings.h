#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quernel {

class IKeyStore;
class IRegistryKey;
class TbwLog;
class TfileLog;
enum class KeyAccess;

// Every user setting; a field's name is its value name in the settings key, and its
// initializer the value it holds before the settings are loaded.
struct AppSettings {
    bool Settings4All = false;
    bool AutoRun = false;
    bool NTVDM_Slow = false;
    bool NumberPrints = false;
    std::string PrintTitleName;
    bool PrintTitleAsFile = false;
    bool Ignore_PCL = false;
    // The printer language read beyond the control-code table: 0 none, 1 ESC/P, 2 PCL,
    // 3 chosen for each printout.
    int CommandSet = 0;
    // The DOS code page's box drawing and blocks drawn as lines and shapes filling their cells,
    // its signs as themselves (see engine/DosGraphics.h); on when missing from the store.
    bool BoxLines = false;
    bool AlwaysDefault = false;
    int PageOrientation = 0;  // 0 the printer's own, 1 landscape, 2 portrait
    int MgLeft = 5;
    int MgTop = 5;
    int MgRight = 5;
    int MgBottom = 5;
    int Copies = 1;
    int CharsPerLine = 82;
    int LinesPerPage = 66;
    int CharsPerLineHor = 122;
    int LinesPerPageHor = 46;
    bool WaitForPage = true;
    bool DeleteAfter = false;
    bool KeepState = false;
    int WaitBeforePrint = 3;
    int WaitForPageMax = 30;
    int FileSaveMode = 0;  // 0 the DOS program appends, 1 it overwrites
    std::string RAWInit = "#27 E";
    bool RAWEnable = false;
    bool RAWFixCRLF = true;
    bool RAWEndWithFF = true;
    bool RAWcharMap = false;
    bool DeleteFilesOnStart = false;
    int PictureLeft = 5;
    int PictureRight = 5;
    int PictureTop = 5;
    int PictureBottom = 5;
    bool PrintBackground = false;
    std::string BackgroundPicture;
    std::string CharMap;
    std::string Sequences;
    // Printer and FontName are the selections of the printer drop-down and font list.
    // How many of the printouts Quernel handled are kept, and in how many megabytes at most.
    int KeepPrintouts = 200;
    int KeepPrintoutsMB = 500;
    // A finished printout waits in "Ostatnie wydruki" for the user to print or discard it.
    bool PreviewBeforePrint = false;
    // A notification after each printout, with its page count.
    bool NotifyEachPrintout = false;
    // The folder of "Quernel PDF"; empty: ~/QUERNEL/PDF ($QUERNEL_PDF_DIR overrides both).
    std::string PdfFolder;

    bool operator==(const AppSettings&) const = default;
};

enum class SettingKind { kBool, kInt, kString, kSelection };

// One setting: its name, kind, field, value when missing from the store, range and the
// window control that holds it.
struct SettingInfo {
    std::string_view name;
    SettingKind kind;
    bool AppSettings::*boolField = nullptr;
    int AppSettings::*intField = nullptr;
    std::string AppSettings::*stringField = nullptr;
    int missingNumber = 0;  // bools as 0 or 1
    std::string_view missingText;
    int low = 0;
    int high = 0;
    std::string_view control;
};

inline constexpr int kSettingCount = 47;

// The settings in load order.
const std::array<SettingInfo, kSettingCount>& SettingsTable();
const SettingInfo* FindSetting(std::string_view name);
// The order of the settings dump.
const std::array<std::string_view, kSettingCount>& DumpOrder();

inline constexpr const char* kDefaultTitleName = "QUERNEL";
inline constexpr const char* kDefaultCharMapName = "LatinII";
inline constexpr const char* kDefaultSequencesName = "EPSON+HP";
// A Courier-compatible font that every installation has.
inline constexpr const char* kDefaultFontName = "Liberation Mono";

// The application's side of loading and saving: what the settings act on.
class ISettingsTarget {
  public:
    virtual ~ISettingsTarget() = default;
    // AutoRun switched on while loading: register the autostart.
    virtual void AutoRunSwitchedOn() = 0;
    // AlwaysDefault switched on while loading: the default printer is selected.
    virtual void AlwaysDefaultSwitchedOn() = 0;
    // The loaded values reach the background picture and the published values.
    virtual void ApplyLoadedSettings() = 0;
    // The map and control-code editors leave edit mode.
    virtual void EndEditModes() = 0;
    virtual void ActivateCharMap(const std::string& name) = 0;
    virtual void ActivateSequences(const std::string& name) = 0;
    // The stored printer name (empty when none is stored) is restored.
    virtual void RestorePrinter(const std::string& name) = 0;
    virtual void RestoreFont(const std::string& name) = 0;
    // The selected printer and font names, when something is selected.
    virtual std::optional<std::string> SelectedPrinter() = 0;
    virtual std::optional<std::string> SelectedFont() = 0;
    virtual void LoadMonitoredList() = 0;
};

// Loads, saves and dumps the settings in the settings key, per user or machine-wide.
class TSettingsStore {
  public:
    TSettingsStore(IKeyStore& store, TbwLog& history, TfileLog& fileLog);

    void LoadSettings(AppSettings& settings, ISettingsTarget& target);
    void SaveSettings(const AppSettings& settings, ISettingsTarget& target);
    void DumpSettings(const AppSettings& settings, ISettingsTarget& target);

    // The settings key of the root that Settings4All chooses; nothing when it cannot be
    // opened or created. The monitored list and the print counter live there too.
    std::unique_ptr<IRegistryKey> OpenSettingsKey(bool settings4All, KeyAccess access);

  private:
    IKeyStore& store_;
    TbwLog& history_;
    TfileLog& fileLog_;
};

}  // namespace quernel
