#include <gtest/gtest.h>

#include "engine/DataFiles.h"
#include "support/CoreFixture.h"

namespace quernel::test {
namespace {

class QuernelCoreTest : public CoreFixture {};

TEST_F(QuernelCoreTest, FirstStartLoadsTheShippedTableAndMapAndTheFirstPrinter) {
    int autostarts = 0;
    core->registerAutostart = [&] { ++autostarts; };
    Start();
    EXPECT_EQ(autostarts, 1);
    const auto messages = view.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Ustawione mapowanie : LatinII"),
              messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Ustawione kody sterujące : EPSON+HP"),
              messages.end());
    EXPECT_EQ(core->ActiveCharMap().CharsetIndex, 3);
    EXPECT_EQ(core->ActiveCharMap().Map[0xA5], 0xB9);
    EXPECT_GT(core->ActiveSequences().size(), 40u);
    // No stored printer: the first printer of the list, the default font.
    EXPECT_EQ(core->Printers().SelectedPrinterName(), "Laser");
    EXPECT_EQ(printer.CurrentName(), "Laser");
    EXPECT_EQ(core->Printers().SelectedFontName(), "Liberation Mono");
    // Published values from the values for missing settings.
    EXPECT_TRUE(core->MonitorSettings().KeepState);
    EXPECT_EQ(core->MonitorSettings().WaitForPageMax, 3);
    EXPECT_EQ(core->MonitorSettings().WaitBeforePrint, 3);
    EXPECT_EQ(core->Raw().initText, "#27 E");
    // The default print file is monitored, and monitoring is on.
    EXPECT_EQ(core->Monitoring().List().Texts(), std::vector<std::string>{defaultFile});
    EXPECT_TRUE(core->Monitoring().Active());
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(QuernelCoreTest, StoredValuesArePublished) {
    UserKey() = {{"KeepState", 0},      {"Ignore_PCL", 1},   {"WaitBeforePrint", 7},
                 {"WaitForPageMax", 0}, {"FileSaveMode", 1}, {"RAWEnable", 1},
                 {"RAWInit", "#27 @"},  {"RAWcharMap", 1},   {"AutoRun", 0}};
    Start();
    const TMonitorSettings& m = core->MonitorSettings();
    EXPECT_FALSE(m.KeepState);
    EXPECT_TRUE(m.IgnorePcl);
    EXPECT_EQ(m.WaitBeforePrint, 7);
    EXPECT_EQ(m.WaitForPageMax, 0);
    EXPECT_EQ(m.FileSaveMode, 1);
    EXPECT_TRUE(core->Raw().enabled);
    EXPECT_EQ(core->Raw().initText, "#27 @");
    EXPECT_TRUE(core->Raw().useCharMap);
}

TEST_F(QuernelCoreTest, PrinterAndFontNamesMatchExactly) {
    UserKey() = {{"Printer", "laser"}, {"FontName", "liberation mono"}};
    Start();
    EXPECT_EQ(core->Printers().SelectedPrinterName(), "Quernel PDF");   // the default stays
    EXPECT_EQ(core->Printers().SelectedFontName(), "Liberation Mono");  // the selection stays
    // ... only as a stand-in: the stored printer is reported missing and stays stored.
    EXPECT_TRUE(core->Printers().ChosenPrinterMissing());
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_TRUE(errors.messages[0].starts_with("Brak drukarki ?     Nie ma drukarki \"laser\""))
        << errors.messages[0];
    core->SaveSettings();
    EXPECT_EQ(std::get<std::string>(UserKey()["Printer"]), "laser");
    UserKey() = {{"Printer", "Quernel PDF"}, {"FontName", "DejaVu Sans Mono"}};
    Restart();
    EXPECT_EQ(core->Printers().SelectedPrinterName(), "Quernel PDF");
    EXPECT_EQ(core->Printers().SelectedFontName(), "DejaVu Sans Mono");
}

TEST_F(QuernelCoreTest, UnopenableKeyKeepsInitialValuesAndLoadsNothing) {
    keys.refused = {{KeyRoot::kCurrentUser, KeyAccess::kRead},
                    {KeyRoot::kLocalMachine, KeyAccess::kRead}};
    Start();
    EXPECT_EQ(core->Settings().CharsPerLine, 82);
    EXPECT_EQ(core->Settings().WaitForPageMax, 30);
    EXPECT_EQ(core->ActiveCharMap(), TCharMapRecord::Identity());
    EXPECT_TRUE(core->ActiveSequences().empty());
    EXPECT_TRUE(core->Monitoring().List().Texts().empty());
    const std::string log = ReadText(dir / "quernel.log");
    EXPECT_NE(log.find("CharsPerLine:82"), std::string::npos);
}

TEST_F(QuernelCoreTest, ChangesPublishAtOnceAndReachTheStoreOnSave) {
    Start();
    WriteFile(dir / "logo.png", std::string("PICTURE 4 4"));
    core->UpdateSettings([&](AppSettings& s) {
        s.KeepState = false;
        s.WaitForPageMax = 12;
        s.RAWEnable = true;
        s.PrintBackground = true;
        s.BackgroundPicture = (dir / "logo.png").string();
    });
    EXPECT_FALSE(core->MonitorSettings().KeepState);
    EXPECT_EQ(core->MonitorSettings().WaitForPageMax, 12);
    EXPECT_TRUE(core->Raw().enabled);
    EXPECT_TRUE(core->Background().HasPicture());
    core->UpdateSettings([](AppSettings& s) { s.PrintBackground = false; });
    EXPECT_FALSE(core->Background().HasPicture());

    // The title options exclude each other; the one switched on wins.
    core->UpdateSettings([](AppSettings& s) { s.NumberPrints = true; });
    core->UpdateSettings([](AppSettings& s) { s.PrintTitleAsFile = true; });
    EXPECT_FALSE(core->Settings().NumberPrints);
    core->UpdateSettings([](AppSettings& s) { s.NumberPrints = true; });
    EXPECT_FALSE(core->Settings().PrintTitleAsFile);

    core->UpdateSettings([](AppSettings& s) { s.AlwaysDefault = true; });
    EXPECT_FALSE(core->Printers().PrinterListEnabled());
    EXPECT_EQ(printer.CurrentName(), "Quernel PDF");

    EXPECT_EQ(UserKey().count("KeepState"), 0u);  // nothing is stored before a save
    core->SaveSettings();
    EXPECT_EQ(std::get<std::int32_t>(UserKey()["KeepState"]), 0);
    EXPECT_EQ(std::get<std::string>(UserKey()["Printer"]), "Quernel PDF");
    Restart();
    EXPECT_FALSE(core->MonitorSettings().KeepState);
    EXPECT_TRUE(core->Settings().AlwaysDefault);
    EXPECT_TRUE(core->Settings().NumberPrints);
}

TEST_F(QuernelCoreTest, TablesAndMapsLoadOutsideEditModeAndSaveInIt) {
    Start();
    view.lines.clear();
    core->SetSequencesEditMode(true);
    core->SetSequencesName("Moja");  // a name typed in edit mode loads nothing
    EXPECT_GT(core->ActiveSequences().size(), 40u);
    core->EditSequences().AddSequence(ToBytes("\x1b"
                                              "j"),
                                      meaning::kIgnore);
    core->SaveSequences();
    EXPECT_FALSE(core->SequencesEditMode());
    EXPECT_EQ(core->ListSequences(), (std::vector<std::string>{"EPSON+HP", "Moja"}));
    core->SetSequencesName("EPSON+HP");
    core->SetSequencesName("Moja");
    EXPECT_EQ(core->ActiveSequences(), ReadSequenceFile(programDir / "Seq/Moja.seq"));

    core->SetCharMapEditMode(true);
    core->SetCharMapName("../../escape");
    core->SaveCharMap();
    EXPECT_FALSE(std::filesystem::exists(dir / "escape.cmap"));
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("Nieprawidłowa nazwa"), std::string::npos);
    EXPECT_EQ(view.Messages(), (std::vector<std::string>{"Zapisane kody sterujące : Moja",
                                                         "Ustawione kody sterujące : EPSON+HP",
                                                         "Ustawione kody sterujące : Moja"}));
}

}  // namespace
}  // namespace quernel::test
