#include "host/AppSettings.h"

#include <algorithm>

#include "host/BW_log.h"
#include "host/KeyStore.h"

namespace quernel {

namespace {

using S = AppSettings;

constexpr SettingInfo Bool(std::string_view name, bool S::*field, bool missing,
                           std::string_view control) {
    return {name, SettingKind::kBool, field, nullptr, nullptr, missing ? 1 : 0, {}, 0, 1, control};
}

constexpr SettingInfo Int(std::string_view name, int S::*field, int missing, int low, int high,
                          std::string_view control) {
    return {name, SettingKind::kInt, nullptr, field, nullptr, missing, {}, low, high, control};
}

constexpr SettingInfo Text(std::string_view name, std::string S::*field, std::string_view missing,
                           std::string_view control) {
    return {name, SettingKind::kString, nullptr, nullptr, field, 0, missing, 0, 0, control};
}

constexpr SettingInfo Selection(std::string_view name, std::string_view control) {
    return {name, SettingKind::kSelection, nullptr, nullptr, nullptr, 0, {}, 0, 0, control};
}

const std::array<SettingInfo, kSettingCount> kTable = {{
    Bool("Settings4All", &S::Settings4All, false, "cbSettings4All"),
    Bool("AutoRun", &S::AutoRun, true, "cbAutostart"),
    Bool("NTVDM_Slow", &S::NTVDM_Slow, true, "cbNTVDM_Slow"),
    Bool("NumberPrints", &S::NumberPrints, false, "cbNumberPrints"),
    Text("PrintTitleName", &S::PrintTitleName, kDefaultTitleName, "edPrintTitle"),
    Bool("PrintTitleAsFile", &S::PrintTitleAsFile, false, "cbPrintNameAsFile"),
    Bool("Ignore_PCL", &S::Ignore_PCL, false, "cbIgnorePCL"),
    Int("CommandSet", &S::CommandSet, 0, 0, 3, "cbZestawKomend"),
    Bool("BoxLines", &S::BoxLines, true, "cbBoxLines"),
    Bool("AlwaysDefault", &S::AlwaysDefault, false, "cbAlwaysDefault"),
    Int("PageOrientation", &S::PageOrientation, 0, 0, 2, "cbOrientacja"),
    Int("MgLeft", &S::MgLeft, 5, -10, 500, "udMgLeft"),
    Int("MgTop", &S::MgTop, 5, -10, 500, "udMgTop"),
    Int("MgRight", &S::MgRight, 5, -10, 500, "udMgRight"),
    Int("MgBottom", &S::MgBottom, 5, -10, 500, "udMgBottom"),
    Int("Copies", &S::Copies, 1, 1, 100, "udCopies"),
    Int("CharsPerLine", &S::CharsPerLine, 80, 40, 240, "udCharsPerLine"),
    Int("LinesPerPage", &S::LinesPerPage, 67, 20, 120, "udLinesPerPage"),
    Int("CharsPerLineHor", &S::CharsPerLineHor, 120, 40, 360, "udCharsPerLineHor"),
    Int("LinesPerPageHor", &S::LinesPerPageHor, 46, 20, 120, "udLinesPerPageHor"),
    Bool("WaitForPage", &S::WaitForPage, true, "cbWaitForPage"),
    Bool("DeleteAfter", &S::DeleteAfter, false, "cbDeleteAfter"),
    Bool("KeepState", &S::KeepState, true, "cbKeepState"),
    Int("WaitBeforePrint", &S::WaitBeforePrint, 3, 1, 100, "udWaitBeforePrint"),
    Int("WaitForPageMax", &S::WaitForPageMax, 3, 0, 1000, "udMaxWait"),
    Int("FileSaveMode", &S::FileSaveMode, 0, 0, 1, "cbTrybPliku"),
    Text("RAWInit", &S::RAWInit, "#27 E", "edRAWInit"),
    Bool("RAWEnable", &S::RAWEnable, false, "cbRAWEnable"),
    Bool("RAWFixCRLF", &S::RAWFixCRLF, true, "cbRAWFixCRLF"),
    Bool("RAWEndWithFF", &S::RAWEndWithFF, true, "cbRAWEndWithFF"),
    Bool("RAWcharMap", &S::RAWcharMap, false, "cbRAWcharMap"),
    Bool("DeleteFilesOnStart", &S::DeleteFilesOnStart, false, "cbDeleteOnStart"),
    Int("PictureLeft", &S::PictureLeft, 5, -10, 500, "udPicLeft"),
    Int("PictureRight", &S::PictureRight, 5, -10, 500, "udPicRight"),
    Int("PictureTop", &S::PictureTop, 5, -10, 500, "udPicTop"),
    Int("PictureBottom", &S::PictureBottom, 5, -10, 500, "udPicBottom"),
    Bool("PrintBackground", &S::PrintBackground, false, "cbPrintBackground"),
    Text("BackgroundPicture", &S::BackgroundPicture, "", "edBackgroundPicture"),
    Text("CharMap", &S::CharMap, kDefaultCharMapName, "cbPrzemapowanie"),
    Text("Sequences", &S::Sequences, kDefaultSequencesName, "cbSequences"),
    Selection("Printer", "cbPrinter"),
    Selection("FontName", "lbFont"),
    Int("KeepPrintouts", &S::KeepPrintouts, 200, 0, 10000, "udKeepPrintouts"),
    Int("KeepPrintoutsMB", &S::KeepPrintoutsMB, 500, 0, 100000, "udKeepPrintoutsMB"),
    Bool("PreviewBeforePrint", &S::PreviewBeforePrint, false, "cbPreviewBeforePrint"),
    Bool("NotifyEachPrintout", &S::NotifyEachPrintout, false, "cbNotifyEachPrintout"),
    Text("PdfFolder", &S::PdfFolder, "", "edPdfFolder"),
}};

constexpr std::array<std::string_view, kSettingCount> kDumpOrder = {
    "Settings4All",
    "AutoRun",
    "NTVDM_Slow",
    "NumberPrints",
    "PrintTitleName",
    "PrintTitleAsFile",
    "Ignore_PCL",
    "AlwaysDefault",
    "Printer",
    "FontName",
    "MgLeft",
    "MgTop",
    "MgRight",
    "MgBottom",
    "Copies",
    "CharsPerLine",
    "LinesPerPage",
    "CharsPerLineHor",
    "LinesPerPageHor",
    "WaitForPage",
    "DeleteAfter",
    "KeepState",
    "WaitBeforePrint",
    "WaitForPageMax",
    "CharMap",
    "Sequences",
    "PageOrientation",
    "FileSaveMode",
    "RAWEnable",
    "RAWFixCRLF",
    "RAWEndWithFF",
    "RAWcharMap",
    "RAWInit",
    "DeleteFilesOnStart",
    "PrintBackground",
    "BackgroundPicture",
    "PictureLeft",
    "PictureRight",
    "PictureTop",
    "PictureBottom",
    "CommandSet",
    "BoxLines",
    "KeepPrintouts",
    "KeepPrintoutsMB",
    "PreviewBeforePrint",
    "NotifyEachPrintout",
    "PdfFolder",
};

const SettingInfo& Info(std::string_view name) {
    return *FindSetting(name);
}

std::size_t IndexOf(std::string_view name) {
    return static_cast<std::size_t>(FindSetting(name) - kTable.data());
}

// Reads one bool, int or string setting with its value for a missing entry; numbers are
// brought into their range.
void ReadSetting(IRegistryKey& key, const SettingInfo& info, AppSettings& s) {
    const std::string name(info.name);
    switch (info.kind) {
        case SettingKind::kBool: {
            const auto v = key.ReadInteger(name);
            s.*info.boolField = v ? *v != 0 : info.missingNumber != 0;
            break;
        }
        case SettingKind::kInt: {
            const auto v = key.ReadInteger(name);
            s.*info.intField = std::clamp<int>(v ? *v : info.missingNumber, info.low, info.high);
            break;
        }
        case SettingKind::kString: {
            const auto v = key.ReadString(name);
            s.*info.stringField = v ? *v : std::string(info.missingText);
            break;
        }
        case SettingKind::kSelection:
            break;
    }
}

void WriteSetting(IRegistryKey& key, const SettingInfo& info, const AppSettings& s) {
    const std::string name(info.name);
    switch (info.kind) {
        case SettingKind::kBool:
            key.WriteInteger(name, s.*info.boolField ? 1 : 0);
            break;
        case SettingKind::kInt:
            key.WriteInteger(name, s.*info.intField);
            break;
        case SettingKind::kString:
            key.WriteString(name, s.*info.stringField);
            break;
        case SettingKind::kSelection:
            break;
    }
}

std::string DumpValue(const SettingInfo& info, const AppSettings& s) {
    switch (info.kind) {
        case SettingKind::kBool:
            return s.*info.boolField ? "-1" : "0";
        case SettingKind::kInt:
            return std::to_string(s.*info.intField);
        case SettingKind::kString:
            return s.*info.stringField;
        case SettingKind::kSelection:
            break;
    }
    return {};
}

}  // namespace

const std::array<SettingInfo, kSettingCount>& SettingsTable() {
    return kTable;
}

const SettingInfo* FindSetting(std::string_view name) {
    for (const SettingInfo& info : kTable) {
        if (info.name == name) return &info;
    }
    return nullptr;
}

const std::array<std::string_view, kSettingCount>& DumpOrder() {
    return kDumpOrder;
}

TSettingsStore::TSettingsStore(IKeyStore& store, TbwLog& history, TfileLog& fileLog)
    : store_(store), history_(history), fileLog_(fileLog) {}

std::unique_ptr<IRegistryKey> TSettingsStore::OpenSettingsKey(bool settings4All, KeyAccess access) {
    return store_.Open(settings4All ? KeyRoot::kLocalMachine : KeyRoot::kCurrentUser, kQuernelKey,
                       access);
}

void TSettingsStore::LoadSettings(AppSettings& s, ISettingsTarget& target) {
    history_.Add("Odczyt ustawień");
    if (auto machine = store_.Open(KeyRoot::kLocalMachine, kQuernelKey, KeyAccess::kRead)) {
        ReadSetting(*machine, Info("Settings4All"), s);
    }
    if (auto key = OpenSettingsKey(s.Settings4All, KeyAccess::kRead)) {
        // From AutoRun to FileSaveMode in table order; three of them act when switched on.
        for (std::size_t i = IndexOf("AutoRun"); i < IndexOf("RAWInit"); ++i) {
            const SettingInfo& info = kTable[i];
            const AppSettings before = s;
            ReadSetting(*key, info, s);
            if (info.name == "AutoRun" && !before.AutoRun && s.AutoRun) {
                target.AutoRunSwitchedOn();
            } else if (info.name == "NumberPrints" && !before.NumberPrints && s.NumberPrints) {
                s.PrintTitleAsFile = false;
            } else if (info.name == "PrintTitleAsFile" && !before.PrintTitleAsFile &&
                       s.PrintTitleAsFile) {
                s.NumberPrints = false;
            } else if (info.name == "AlwaysDefault" && !before.AlwaysDefault && s.AlwaysDefault) {
                target.AlwaysDefaultSwitchedOn();
            } else if (info.name == "PrintTitleName" && s.PrintTitleName.empty()) {
                s.PrintTitleName = kDefaultTitleName;
            }
        }
        const std::string rawInit = key->ReadString("RAWInit").value_or("");
        const auto rawEnable = key->ReadInteger("RAWEnable");
        s.RAWEnable = rawEnable && *rawEnable != 0;
        s.RAWInit = rawEnable ? rawInit : "#27 E";
        for (std::size_t i = IndexOf("RAWFixCRLF"); i < IndexOf("CharMap"); ++i) {
            ReadSetting(*key, kTable[i], s);
        }
        for (std::size_t i = IndexOf("KeepPrintouts"); i < kTable.size(); ++i) {
            ReadSetting(*key, kTable[i], s);
        }
        target.ApplyLoadedSettings();
        target.EndEditModes();
        ReadSetting(*key, Info("CharMap"), s);
        if (s.CharMap.empty()) s.CharMap = kDefaultCharMapName;
        target.ActivateCharMap(s.CharMap);
        ReadSetting(*key, Info("Sequences"), s);
        if (s.Sequences.empty()) s.Sequences = kDefaultSequencesName;
        target.ActivateSequences(s.Sequences);
        // A printer or font name never holds a control character: one that does is damaged,
        // and counts as missing rather than as a printer to wait for.
        const auto storedName = [&](const std::string& name) {
            std::string value = key->ReadString(name).value_or("");
            if (std::any_of(value.begin(), value.end(), [](char c) {
                    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
                })) {
                history_.Add("Uszkodzona wartość " + name + " w ustawieniach pominięta");
                value.clear();
            }
            return value;
        };
        if (!s.AlwaysDefault) target.RestorePrinter(storedName("Printer"));
        const std::string font = storedName("FontName");
        target.RestoreFont(font.empty() ? kDefaultFontName : font);
    }
    DumpSettings(s, target);
    target.LoadMonitoredList();
}

void TSettingsStore::SaveSettings(const AppSettings& s, ISettingsTarget& target) {
    history_.Add("Zapis ustawień");
    if (auto machine = store_.Open(KeyRoot::kLocalMachine, kQuernelKey, KeyAccess::kFull)) {
        WriteSetting(*machine, Info("Settings4All"), s);
    }
    if (auto key = OpenSettingsKey(s.Settings4All, KeyAccess::kFull)) {
        for (const SettingInfo& info : kTable) {
            if (info.name != "Settings4All") WriteSetting(*key, info, s);
        }
        if (auto printer = target.SelectedPrinter()) key->WriteString("Printer", *printer);
        if (auto font = target.SelectedFont()) key->WriteString("FontName", *font);
    }
    DumpSettings(s, target);
}

void TSettingsStore::DumpSettings(const AppSettings& s, ISettingsTarget& target) {
    for (std::string_view name : kDumpOrder) {
        const SettingInfo& info = Info(name);
        std::string value;
        if (info.kind == SettingKind::kSelection) {
            const auto selected =
                name == "Printer" ? target.SelectedPrinter() : target.SelectedFont();
            if (!selected) continue;
            value = *selected;
        } else {
            value = DumpValue(info, s);
        }
        fileLog_.Add(std::string(name) + ":" + value);
    }
}

}  // namespace quernel
