#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/FakeClock.h"
#include "fakes/FakeKeyStore.h"
#include "fakes/RecordingHistoryView.h"
#include "host/AppSettings.h"
#include "host/BW_log.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

// Records what loading and saving asked of the application.
class RecordingTarget final : public ISettingsTarget {
  public:
    void AutoRunSwitchedOn() override { calls.push_back("AutoRun"); }
    void AlwaysDefaultSwitchedOn() override { calls.push_back("AlwaysDefault"); }
    void ApplyLoadedSettings() override { calls.push_back("Apply"); }
    void EndEditModes() override { calls.push_back("EndEditModes"); }
    void ActivateCharMap(const std::string& name) override { calls.push_back("CharMap " + name); }
    void ActivateSequences(const std::string& name) override {
        calls.push_back("Sequences " + name);
    }
    void RestorePrinter(const std::string& name) override { calls.push_back("Printer " + name); }
    void RestoreFont(const std::string& name) override { calls.push_back("Font " + name); }
    std::optional<std::string> SelectedPrinter() override { return printer; }
    std::optional<std::string> SelectedFont() override { return font; }
    void LoadMonitoredList() override { calls.push_back("List"); }

    std::vector<std::string> calls;
    std::optional<std::string> printer;
    std::optional<std::string> font;
};

class SettingsStoreTest : public ::testing::Test {
  protected:
    AppSettings Load() {
        AppSettings s;
        view.lines.clear();
        store.LoadSettings(s, target);
        return s;
    }
    // The log file's lines without their time stamps ("2024-03-09 17:05:01:").
    std::vector<std::string> DumpLines() {
        std::vector<std::string> lines;
        const std::string log = ReadText(dir / "quernel.log");
        const std::size_t stamp = std::string("2024-03-09 17:05:01:").size();
        for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            lines.push_back(log.substr(at + stamp, end - at - stamp));
        }
        return lines;
    }
    FakeKeyStore::Values& User() { return keys.Key(KeyRoot::kCurrentUser); }
    FakeKeyStore::Values& Machine() { return keys.Key(KeyRoot::kLocalMachine); }

    TempDir dir;
    FakeClock clock;
    RecordingHistoryView view;
    TbwLog history{clock, &view};
    TfileLog fileLog = TfileLog::ForProgram(clock, dir.path(), "quernel");
    FakeKeyStore keys;
    RecordingTarget target;
    TSettingsStore store{keys, history, fileLog};
};

TEST_F(SettingsStoreTest, FirstStartTakesTheValuesForMissingSettings) {
    const AppSettings s = Load();
    EXPECT_TRUE(keys.HasKey(KeyRoot::kCurrentUser));
    EXPECT_EQ(s.CharsPerLine, 80);
    EXPECT_EQ(s.LinesPerPage, 67);
    EXPECT_EQ(s.CharsPerLineHor, 120);
    EXPECT_EQ(s.LinesPerPageHor, 46);
    EXPECT_EQ(s.WaitForPageMax, 3);
    EXPECT_TRUE(s.AutoRun);
    EXPECT_TRUE(s.NTVDM_Slow);
    EXPECT_TRUE(s.KeepState);
    EXPECT_EQ(s.PrintTitleName, "QUERNEL");
    EXPECT_EQ(s.RAWInit, "#27 E");
    EXPECT_EQ(s.CharMap, "LatinII");
    EXPECT_EQ(s.Sequences, "EPSON+HP");
    EXPECT_EQ(target.calls, (std::vector<std::string>{"AutoRun", "Apply", "EndEditModes",
                                                      "CharMap LatinII", "Sequences EPSON+HP",
                                                      "Printer ", "Font Liberation Mono", "List"}));
    EXPECT_EQ(view.Messages(), (std::vector<std::string>{"Odczyt ustawień"}));
    EXPECT_TRUE(User().empty());  // loading writes nothing
}

TEST_F(SettingsStoreTest, StoredValuesAreCheckedAndBroughtIntoRange) {
    User() = {{"Copies", 0},           {"CharsPerLine", 1000}, {"MgLeft", -50},
              {"WaitForPageMax", 999}, {"PageOrientation", 7}, {"AutoRun", 0},
              {"KeepState", 0},        {"WaitForPage", 5},     {"PrintTitleName", ""},
              {"CharMap", 12},         {"Sequences", "Moja"},  {"LinesPerPage", "sixty"}};
    const AppSettings s = Load();
    EXPECT_EQ(s.Copies, 1);
    EXPECT_EQ(s.CharsPerLine, 240);
    EXPECT_EQ(s.MgLeft, -10);
    EXPECT_EQ(s.WaitForPageMax, 999);
    EXPECT_EQ(s.PageOrientation, 2);
    EXPECT_FALSE(s.AutoRun);
    EXPECT_FALSE(s.KeepState);
    EXPECT_TRUE(s.WaitForPage);  // any non-zero number is true
    EXPECT_EQ(s.PrintTitleName, "QUERNEL");
    EXPECT_EQ(s.CharMap, "LatinII");  // a number where a name belongs reads as missing
    EXPECT_EQ(s.Sequences, "Moja");
    EXPECT_EQ(s.LinesPerPage, 67);  // a text where a number belongs reads as missing
    EXPECT_EQ(std::count(target.calls.begin(), target.calls.end(), "AutoRun"), 0);
    User() = {{"Copies", -3}};
    EXPECT_EQ(Load().Copies, 1);
}

TEST_F(SettingsStoreTest, CommandSetIsLoadedInItsRangeSavedAndDumped) {
    EXPECT_EQ(Load().CommandSet, 0);  // missing: the table alone
    User() = {{"CommandSet", 2}};
    AppSettings s = Load();
    EXPECT_EQ(s.CommandSet, 2);
    User() = {{"CommandSet", 9}};
    EXPECT_EQ(Load().CommandSet, 3);
    User() = {{"CommandSet", -1}};
    EXPECT_EQ(Load().CommandSet, 0);
    s.CommandSet = 1;
    store.SaveSettings(s, target);
    EXPECT_EQ(std::get<std::int32_t>(User()["CommandSet"]), 1);
    const auto dump = DumpLines();
    EXPECT_NE(std::find(dump.begin(), dump.end(), "CommandSet:1"), dump.end());
}

TEST_F(SettingsStoreTest, BoxLinesAreOnUnlessSwitchedOff) {
    EXPECT_TRUE(Load().BoxLines);  // missing
    User() = {{"BoxLines", 0}};
    AppSettings s = Load();
    EXPECT_FALSE(s.BoxLines);
    s.BoxLines = true;
    store.SaveSettings(s, target);
    EXPECT_EQ(std::get<std::int32_t>(User()["BoxLines"]), 1);
    const auto dump = DumpLines();
    EXPECT_NE(std::find(dump.begin(), dump.end(), "BoxLines:-1"), dump.end());
}

TEST_F(SettingsStoreTest, TitleOptionsExcludeEachOther) {
    User() = {{"NumberPrints", 1}, {"PrintTitleAsFile", 1}};
    AppSettings s = Load();
    EXPECT_TRUE(s.PrintTitleAsFile);
    EXPECT_FALSE(s.NumberPrints);
    User() = {{"NumberPrints", 1}, {"PrintTitleAsFile", 0}};
    s = Load();
    EXPECT_TRUE(s.NumberPrints);
    EXPECT_FALSE(s.PrintTitleAsFile);
}

TEST_F(SettingsStoreTest, InitStringNeedsTheDirectModeSwitchStored) {
    User() = {{"RAWInit", "#27 @"}};
    EXPECT_EQ(Load().RAWInit, "#27 E");
    User() = {{"RAWInit", "#27 @"}, {"RAWEnable", 1}};
    AppSettings s = Load();
    EXPECT_EQ(s.RAWInit, "#27 @");
    EXPECT_TRUE(s.RAWEnable);
    User() = {{"RAWEnable", 0}};
    EXPECT_EQ(Load().RAWInit, "");
}

TEST_F(SettingsStoreTest, AlwaysDefaultSelectsTheDefaultAndSkipsTheStoredPrinter) {
    User() = {{"AlwaysDefault", 1}, {"Printer", "Laser"}, {"FontName", "Courier"}};
    Load();
    EXPECT_EQ(std::count(target.calls.begin(), target.calls.end(), "AlwaysDefault"), 1);
    EXPECT_EQ(std::count(target.calls.begin(), target.calls.end(), "Printer Laser"), 0);
    EXPECT_EQ(std::count(target.calls.begin(), target.calls.end(), "Font Courier"), 1);
}

TEST_F(SettingsStoreTest, UnopenableKeyKeepsTheInitialValues) {
    keys.refused = {{KeyRoot::kCurrentUser, KeyAccess::kRead},
                    {KeyRoot::kLocalMachine, KeyAccess::kRead}};
    target.printer = "Laser";
    const AppSettings s = Load();
    EXPECT_EQ(s, AppSettings());
    EXPECT_EQ(s.CharsPerLine, 82);
    EXPECT_EQ(s.WaitForPageMax, 30);
    EXPECT_EQ(target.calls, (std::vector<std::string>{"List"}));
    const auto dump = DumpLines();
    EXPECT_NE(std::find(dump.begin(), dump.end(), "CharsPerLine:82"), dump.end());
}

TEST_F(SettingsStoreTest, SharedSettingsComeFromTheMachineRootOnly) {
    Machine() = {{"Settings4All", 1}, {"Copies", 3}};
    User() = {{"Settings4All", 0}, {"Copies", 7}};
    AppSettings s = Load();
    EXPECT_TRUE(s.Settings4All);
    EXPECT_EQ(s.Copies, 3);
    // A user without write rights to the machine root changes nothing there.
    keys.refused = {{KeyRoot::kLocalMachine, KeyAccess::kFull}};
    s.Copies = 9;
    s.Settings4All = false;
    store.SaveSettings(s, target);
    EXPECT_EQ(std::get<std::int32_t>(Machine()["Settings4All"]), 1);
    EXPECT_EQ(std::get<std::int32_t>(Machine()["Copies"]), 3);
    EXPECT_EQ(std::get<std::int32_t>(User()["Copies"]), 9);  // now per user
    // Settings4All is never stored per user.
    User().erase("Settings4All");
    store.SaveSettings(s, target);
    EXPECT_EQ(User().count("Settings4All"), 0u);
}

TEST_F(SettingsStoreTest, SaveThenLoadGivesEveryFieldBack) {
    AppSettings s;
    s.Settings4All = false;
    s.AutoRun = true;
    s.NTVDM_Slow = false;
    s.NumberPrints = true;
    s.PrintTitleName = "FAKTURY";
    s.Ignore_PCL = true;
    s.PageOrientation = 1;
    s.MgLeft = -10;
    s.MgTop = 500;
    s.MgRight = 7;
    s.MgBottom = 8;
    s.Copies = 100;
    s.CharsPerLine = 136;
    s.LinesPerPage = 72;
    s.CharsPerLineHor = 232;
    s.LinesPerPageHor = 50;
    s.WaitForPage = false;
    s.DeleteAfter = true;
    s.KeepState = false;
    s.WaitBeforePrint = 10;
    s.WaitForPageMax = 0;
    s.FileSaveMode = 1;
    s.RAWInit = "#27 @";
    s.RAWEnable = true;
    s.RAWFixCRLF = false;
    s.RAWEndWithFF = false;
    s.RAWcharMap = true;
    s.DeleteFilesOnStart = true;
    s.PictureLeft = 1;
    s.PictureRight = 2;
    s.PictureTop = 3;
    s.PictureBottom = 4;
    s.PrintBackground = true;
    s.BackgroundPicture = "/home/ala/logo.png";
    s.CharMap = "Mazowia";
    s.Sequences = "Moje";
    target.printer = "Laser";
    target.font = "DejaVu Sans Mono";
    store.SaveSettings(s, target);
    EXPECT_EQ(std::get<std::string>(User()["Printer"]), "Laser");
    EXPECT_EQ(std::get<std::string>(User()["FontName"]), "DejaVu Sans Mono");
    EXPECT_EQ(Load(), s);
    EXPECT_NE(std::find(target.calls.begin(), target.calls.end(), "Printer Laser"),
              target.calls.end());

    // AlwaysDefault round-trips too (it stops the printer from being read).
    s.AlwaysDefault = true;
    s.NumberPrints = false;
    s.PrintTitleAsFile = true;
    store.SaveSettings(s, target);
    EXPECT_EQ(Load(), s);
}

TEST_F(SettingsStoreTest, PrinterAndFontAreWrittenOnlyWhileSelected) {
    User() = {{"Printer", "Laser"}, {"FontName", "Courier"}};
    store.SaveSettings(AppSettings(), target);
    EXPECT_EQ(std::get<std::string>(User()["Printer"]), "Laser");
    EXPECT_EQ(std::get<std::string>(User()["FontName"]), "Courier");
    EXPECT_EQ(view.Messages(), (std::vector<std::string>{"Zapis ustawień"}));
}

TEST_F(SettingsStoreTest, DumpLinesInTheirOrder) {
    AppSettings s;
    s.CharMap = "LatinII";
    s.AutoRun = true;
    target.font = "Liberation Mono";
    store.DumpSettings(s, target);
    const auto lines = DumpLines();
    ASSERT_EQ(lines.size(), 47u);  // the start line, and Printer left out: nothing selected
    EXPECT_EQ(lines[0], "Start");
    EXPECT_EQ(lines[1], "Settings4All:0");
    EXPECT_EQ(lines[2], "AutoRun:-1");
    EXPECT_EQ(lines[5], "PrintTitleName:");
    EXPECT_EQ(lines[9], "FontName:Liberation Mono");
    EXPECT_EQ(lines[10], "MgLeft:5");
    EXPECT_EQ(lines[24], "CharMap:LatinII");
    EXPECT_EQ(lines[32], "RAWInit:#27 E");
    EXPECT_EQ(lines[39], "PictureBottom:5");
    EXPECT_EQ(lines[40], "CommandSet:0");  // added after the others
    EXPECT_EQ(lines[41], "BoxLines:0");
    EXPECT_EQ(lines[42], "KeepPrintouts:200");
    EXPECT_EQ(lines[46], "PdfFolder:");
}

TEST(SettingsTableTest, EveryFieldOnceWithItsControl) {
    std::set<std::string_view> names;
    for (const SettingInfo& info : SettingsTable()) {
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        EXPECT_FALSE(info.control.empty()) << info.name;
        if (info.kind == SettingKind::kInt) {
            EXPECT_LE(info.low, info.missingNumber) << info.name;
            EXPECT_GE(info.high, info.missingNumber) << info.name;
        }
    }
    const auto& dump = DumpOrder();
    EXPECT_EQ(std::set<std::string_view>(dump.begin(), dump.end()), names);
}

}  // namespace
}  // namespace quernel::test
