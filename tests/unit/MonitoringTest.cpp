#include <gtest/gtest.h>

#include "monitor/PrintedState.h"
#include "support/CoreFixture.h"
#include "support/Fifo.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

class MonitoringTest : public CoreFixture {
  protected:
    void SetUp() override { UserKey() = {{"AutoRun", 0}, {"WaitForPageMax", 0}}; }
    TMonitoring& M() { return core->Monitoring(); }
    std::vector<std::string> StoredList() {
        std::vector<std::string> out;
        const int n = std::get<std::int32_t>(UserKey()["MonitoredFilesCNT"]);
        for (int i = 0; i < n; ++i) {
            out.push_back(std::get<std::string>(UserKey()["MonitoredFile" + std::to_string(i)]));
        }
        return out;
    }
    bool Logged(const std::string& message) {
        const auto m = view.Messages();
        return std::find(m.begin(), m.end(), message) != m.end();
    }
};

TEST_F(MonitoringTest, DosProgramWritesQuernelPrints) {
    Start();
    Run(2);
    Append(defaultFile, "Faktura 1\r\n\x0c");
    Run(3);
    EXPECT_TRUE(printer.documents.empty());  // quiet for exactly the wait: not yet
    Run(0.5);
    EXPECT_EQ(Printed(), (std::vector<std::string>{"Faktura 1"}));
    EXPECT_EQ(timer.stops, timer.starts);
    EXPECT_TRUE(timer.running);
    EXPECT_TRUE(Logged(defaultFile + " zmieniony"));
    EXPECT_TRUE(Logged(defaultFile + " wydrukowany"));
    // The job is set up from the settings: the selected font, the active map and table.
    EXPECT_EQ(printer.texts.at(0).font.faceName, "Liberation Mono");
    EXPECT_EQ(printer.texts.at(0).font.charset, 238);
    EXPECT_EQ(printer.texts.at(0).font.height, (7014 - 236) / 67);
}

// The command set is a value published at once: the next printout is read with it.
TEST_F(MonitoringTest, CommandSetReachesTheNextPrintJob) {
    UserKey()["CommandSet"] = 1;
    Start();
    Run(2);
    const std::string band = "A\x1b*\x00\x02\x00\xff\x81\r\n\x0c"s;  // 2 columns of graphics
    Append(defaultFile, band);
    Run(3.5);
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(Printed(), (std::vector<std::string>{"A"}));

    core->UpdateSettings([](AppSettings& s) { s.CommandSet = 0; });
    Append(defaultFile, band);
    Run(3.5);
    ASSERT_EQ(printer.documents.size(), 2u);
    EXPECT_EQ(printer.bitmaps.size(), 1u);  // the table alone prints the bytes as text
    EXPECT_EQ(Printed().back().substr(0, 6), "A\x1b*\x00\x02\x00"s);  // the rest through the map
    EXPECT_EQ(Printed().back().size(), 8u);
}

TEST_F(MonitoringTest, NothingPrintsWhileOffAndNothingIsLost) {
    Start();
    Run(1);
    M().SetActive(false);
    const int stops = timer.stops;
    Append(defaultFile, "a\x0c");
    Run(10);
    EXPECT_TRUE(printer.documents.empty());
    EXPECT_EQ(timer.stops, stops);  // the loop does not even stop its timer
    M().SetActive(true);
    Run(0.5);
    EXPECT_EQ(Printed(), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(Logged("Monitorowanie wyłączone"));
    EXPECT_TRUE(Logged("Monitorowanie włączone"));
}

TEST_F(MonitoringTest, EntriesReadyTogetherPrintInListOrderFolderFilesOnePerTick) {
    UserKey()["PrintTitleAsFile"] = 1;
    std::filesystem::create_directories(dir / "out");
    Start();
    dialogs.folders = {{(dir / "out").string(), ""}};
    M().AddFolder(dialogs);
    dialogs.files = {(dir / "b.prn").string()};
    M().AddFile(dialogs);
    Run(1);
    Write(dir / "b.prn", "B\x0c");
    Append(defaultFile, "D\x0c");
    Write(dir / "out/x.prn", "X\x0c");
    Write(dir / "out/y.prn", "Y\x0c");
    clock.Advance(std::chrono::seconds(10));
    M().Tick(timer);
    // The list is sorted: .../b.prn, .../home/QUERNEL/PRN2FILE.TXT, .../out/*.*
    ASSERT_EQ(Titles().size(), 3u);
    EXPECT_EQ(Titles()[0], "b.prn");
    EXPECT_EQ(Titles()[1], "PRN2FILE.TXT");
    M().Tick(timer);
    ASSERT_EQ(Titles().size(), 4u);
    EXPECT_NE(Titles()[2], Titles()[3]);
}

TEST_F(MonitoringTest, AnErrorEndsTheTickAndTheTimerRunsOn) {
    Start();
    Run(1);
    Append(defaultFile, "a\x0c");
    printer.failOn = "BeginDoc";
    Run(4);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("simulated failure"), std::string::npos);
    EXPECT_TRUE(timer.running);
    EXPECT_EQ(timer.starts, timer.stops);
    EXPECT_FALSE(printer.Printing());
}

// Margins of 500 mm are inside their range but leave nothing of an A4 sheet: the user is told
// when setting them (the value stays as set), every printout fails with that message, and each
// failed printout is kept, named in the error, to be printed once the margins are mended.
TEST_F(MonitoringTest, FailedPrintoutsAreKeptAndMarginsWithoutAPageAreReported) {
    Start();
    Run(1);
    core->UpdateSettings([](AppSettings& s) { s.MgLeft = s.MgRight = 500; });
    EXPECT_EQ(core->Settings().MgLeft, 500);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_TRUE(errors.messages[0].starts_with("Marginesy (lewy 500, górny 5, prawy 500"))
        << errors.messages[0];
    core->UpdateSettings([](AppSettings& s) { s.Copies = 2; });  // margins unchanged: no word
    EXPECT_EQ(errors.messages.size(), 1u);

    Append(defaultFile, "Faktura 1\r\n\x0c");
    Run(4);
    ASSERT_EQ(errors.messages.size(), 2u);
    const auto kept = dir / "home/QUERNEL/Nieudane/Brackwood Quernel_2024-03-09_17-05-04.prn";
    EXPECT_EQ(errors.messages[1],
              errors.messages[0] + "\nWydruk zachowano w pliku " + kept.string());
    EXPECT_EQ(ReadText(kept), "Faktura 1\r\n\x0c");
    EXPECT_FALSE(Logged(defaultFile + " wydrukowany"));

    // Direct mode: a queue that refuses the document loses nothing either.
    core->UpdateSettings([](AppSettings& s) {
        s.MgLeft = s.MgRight = 5;
        s.RAWEnable = true;
    });
    printer.rawOpenError = 0x0406;
    Append(defaultFile, "Faktura 2\r\n\x0c");
    Run(4);
    ASSERT_EQ(errors.messages.size(), 3u);
    EXPECT_NE(errors.messages[2].find(
                  "nie ma w systemie druku CUPS (CUPS 0x0406).\nWydruk zachowano w pliku "),
              std::string::npos)
        << errors.messages[2];
    const std::string raw = errors.messages[2].substr(errors.messages[2].find(" pliku ") + 7);
    EXPECT_EQ(ReadText(raw), "Faktura 2\r\n\x0c");

    printer.rawOpenError = 0;
    Append(defaultFile, "Faktura 3\r\n\x0c");
    Run(4);
    EXPECT_EQ(errors.messages.size(), 3u);
    ASSERT_EQ(printer.rawJobs.size(), 1u);
    EXPECT_TRUE(Logged(defaultFile + " wydrukowany"));
}

// What was printed of each file is kept across restarts: a printout pending when the program
// stopped, or written while it was away, prints after the restart, once. A file that no longer
// begins with what was printed counts as printed, as without the state.
TEST_F(MonitoringTest, PrintoutsAroundARestartArePrintedOnce) {
    services.printedStateFile = dir / "state/quernel/printed.txt";
    const std::string other = (dir / "OTHER.PRN").string();
    UserKey()["MonitoredFilesCNT"] = 2;
    UserKey()["MonitoredFile0"] = defaultFile;
    UserKey()["MonitoredFile1"] = other;
    Write(defaultFile, "OLD\f");
    Write(other, "OTHER OLD\f");
    Restart();
    Run(1);
    Append(defaultFile, "PAGE 1\f");
    Run(4);
    Append(defaultFile, "PAGE 2 begun");  // not released yet when the program stops
    Run(1);
    Write(other, "REWRITTEN\f");
    core.reset();  // stopped without saving anything, as by SIGKILL

    Append(defaultFile, " and ended\fPAGE 3\f");  // while the program is away
    Restart();
    Run(1);
    Append(defaultFile, "PAGE 4\f");  // before the restarted program looks
    Run(5);
    EXPECT_EQ(Printed(),
              (std::vector<std::string>{"PAGE 1", "PAGE 2 begun and endedPAGE 3PAGE 4"}));

    // A state file that is damaged, or names a part the file no longer begins with: the
    // present content counts as printed.
    WriteFile(services.printedStateFile, std::string("quernel printed 1\n12 zz\n"));
    Append(defaultFile, "PAGE 5\f");
    Restart();
    Run(5);
    EXPECT_EQ(Printed().size(), 2u);
    Append(defaultFile, "PAGE 6\f");
    Run(5);
    EXPECT_EQ(Printed().back(), "PAGE 6");
}

TEST_F(MonitoringTest, AddingRemovingAndDuplicates) {
    Start();
    const std::string file = (dir / "Out/LPT1.TXT").string();
    // Letters a-z compare without case, other letters (Polish ones) with it.
    dialogs.files = {file, (dir / "out/lpt1.txt").string(), (dir / "Łódź.txt").string(),
                     (dir / "łódź.txt").string()};
    for (int i = 0; i < 4; ++i) M().AddFile(dialogs);
    EXPECT_TRUE(Logged("Nowy plik monitorowany: " + file));
    EXPECT_TRUE(Logged("Plik już jest monitorowany: " + (dir / "out/lpt1.txt").string()));
    EXPECT_TRUE(Logged("Nowy plik monitorowany: " + (dir / "łódź.txt").string()));
    EXPECT_EQ(M().List().Count(), 4);
    EXPECT_TRUE(M().IsMonitored(file + "::Laser"));

    dialogs.folders = {{(dir / "spool/").string(), ""},
                       {(dir / "spool").string(), "*.*"},
                       {(dir / "one").string(), "LPT2.TXT"}};
    M().AddFolder(dialogs);
    M().AddFolder(dialogs);
    M().AddFolder(dialogs);
    EXPECT_TRUE(Logged("Nowy katalog monitorowany: " + (dir / "spool/*.*").string()));
    EXPECT_TRUE(Logged("Katalog już był monitorowany: " + (dir / "spool/*.*").string()));
    // A mask without wildcards is one file.
    const auto texts = M().List().Texts();
    const auto one = std::find(texts.begin(), texts.end(), (dir / "one/LPT2.TXT").string());
    ASSERT_NE(one, texts.end());
    EXPECT_FALSE(M().List()[static_cast<int>(one - texts.begin())].monitor->IsMask());

    EXPECT_EQ(StoredList(), M().List().Texts());
    M().RemoveEntry(0);
    EXPECT_TRUE(Logged("Zakończono monitorowanie: " + texts[0]));
    EXPECT_FALSE(M().IsMonitored(texts[0]));
    EXPECT_EQ(StoredList(), M().List().Texts());
    EXPECT_EQ(M().List().Count(), 5);
}

TEST_F(MonitoringTest, EntryPrinterAddedAndTakenAway) {
    Start();
    const std::string file = (dir / "LPT1.TXT").string();
    dialogs.files = {file};
    M().AddFile(dialogs);
    const auto index = [&](const std::string& text) {
        const auto t = M().List().Texts();
        return static_cast<int>(std::find(t.begin(), t.end(), text) - t.begin());
    };
    dialogs.printers = {1};
    M().ChooseEntryPrinter(index(file), dialogs);
    EXPECT_EQ(dialogs.shownChoices,
              (std::vector<std::string>{"<główna Quernel>", "Laser", "Quernel PDF"}));
    EXPECT_TRUE(Logged("Ustawiono Drukarke: " + file + "::Laser"));
    EXPECT_EQ(M().List()[index(file + "::Laser")].monitor->PrinterName(), "Laser");
    EXPECT_EQ(StoredList(), M().List().Texts());

    // The entry's printer prints its file; the main printer is selected again afterwards.
    core->Printers().SelectPrinter(1);
    Run(1);
    Write(file, "x\x0c");
    Run(4);
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.documents[0].printer, "Laser");
    EXPECT_EQ(printer.CurrentName(), "Quernel PDF");

    dialogs.printers = {0};
    M().ChooseEntryPrinter(index(file + "::Laser"), dialogs);
    EXPECT_NE(index(file), M().List().Count());
    EXPECT_TRUE(M().IsMonitored(file));
    dialogs.files = {file};
    M().AddFile(dialogs);  // a new printer part keeps the path in the list once
    EXPECT_TRUE(Logged("Plik już jest monitorowany: " + file));
    EXPECT_TRUE(Logged("Ustawiono Drukarke: " + file));
    dialogs.printers = {};
    M().ChooseEntryPrinter(index(file), dialogs);  // cancelled: nothing changes
    EXPECT_NE(index(file), M().List().Count());
}

TEST_F(MonitoringTest, NumberedTitlesSurviveRestarts) {
    UserKey()["NumberPrints"] = 1;
    UserKey()["PrintTitleName"] = std::string("FAKTURY");
    Start();
    EXPECT_EQ(M().MakePrintTitle("/x/a.prn"), "FAKTURY_2024_03_09_1");
    UserKey()["LastNumber"] = 16;
    EXPECT_EQ(M().MakePrintTitle("/x/a.prn"), "FAKTURY_2024_03_09_17");
    EXPECT_EQ(std::get<std::int32_t>(UserKey()["LastNumber"]), 17);
    Restart();
    clock.Advance(std::chrono::hours(24));
    EXPECT_EQ(M().MakePrintTitle("/x/a.prn"), "FAKTURY_2024_03_10_18");
    // Without a key there is no number and no title.
    keys.refused = {{KeyRoot::kCurrentUser, KeyAccess::kFull}};
    EXPECT_EQ(M().MakePrintTitle("/x/a.prn"), "");
    core->UpdateSettings([](AppSettings& s) { s.PrintTitleAsFile = true; });
    EXPECT_EQ(M().MakePrintTitle("/x/a.prn"), "a.prn");
    core->UpdateSettings([](AppSettings& s) { s.PrintTitleAsFile = false; });
    EXPECT_EQ(M().MakePrintTitle("/x/a.prn"), "");
}

TEST_F(MonitoringTest, ManualPrintoutFromAPage) {
    Start();
    M().SetActive(false);
    const auto file = dir / "report.prn";
    Write(file, "one\x0ctwo\x0cthree");
    dialogs.files = {file.string(), file.string(), file.string()};
    dialogs.pages = {2, 9};
    M().PrintFile(dialogs);
    EXPECT_EQ(Printed(), (std::vector<std::string>{"twothree"}));
    EXPECT_EQ(printer.documents[0].pages, 2);
    EXPECT_TRUE(Logged("Ręczne drukowanie : " + file.string()));
    M().PrintFile(dialogs);  // beyond the last page: nothing
    EXPECT_EQ(printer.documents.size(), 1u);
    M().PrintFile(dialogs);  // the page dialog is cancelled
    EXPECT_EQ(dialogs.shownPages, (std::vector<int>{1, 2, 9}));
    EXPECT_EQ(M().LastStartPage(), 9);
}

TEST_F(MonitoringTest, AManualPrintoutOfAPipeIsRefusedWithoutWaitingForAWriter) {
    Start();
    const auto fifo = dir / "pipe.prn";
    MakeFifo(fifo);
    dialogs.files = {fifo.string()};
    dialogs.pages = {1};
    EXPECT_TRUE(ReturnsWithoutAWriter(fifo, [&] { M().PrintFile(dialogs); }));
    EXPECT_EQ(errors.messages,
              std::vector<std::string>{CannotOpenFileMessage(fifo, "It is not a regular file.")});
    EXPECT_TRUE(printer.documents.empty());
}

TEST_F(MonitoringTest, StoredListWithTheDefaultEntry) {
    UserKey()["MonitoredFilesCNT"] = 3;
    UserKey()["MonitoredFile0"] = std::string("/srv/dos/LPT1.TXT");
    UserKey()["MonitoredFile1"] = std::string("/SRV/DOS/lpt1.txt::Laser");
    UserKey()["MonitoredFile2"] = std::string(defaultFile + "::Laser");
    WriteFile(programDir / "monitored.txt", std::string("/ignored\n"));
    Start();
    EXPECT_EQ(M().List().Texts(),
              (std::vector<std::string>{"/srv/dos/LPT1.TXT", defaultFile + "::Laser"}));
    EXPECT_TRUE(Logged("Plik już jest monitorowany: /SRV/DOS/lpt1.txt::Laser"));
}

// A count far above the entries stored (a damaged or hand-edited settings file) loads the
// entries that are there, quickly and without a history line for each missing one.
TEST_F(MonitoringTest, AHugeCountLoadsTheEntriesPresentAndSkipsMissingOnesSilently) {
    UserKey()["MonitoredFilesCNT"] = 2147483647;
    UserKey()["MonitoredFile0"] = std::string("/srv/dos/LPT1.TXT");
    UserKey()["MonitoredFile3"] = std::string("/srv/dos/LPT2.TXT");
    UserKey()["MonitoredFile7"] = std::string("/SRV/DOS/lpt2.txt");
    UserKey()["MonitoredFile07"] = std::string("/srv/dos/not-an-index.txt");
    Start();
    EXPECT_EQ(M().List().Texts(),
              (std::vector<std::string>{"/srv/dos/LPT1.TXT", "/srv/dos/LPT2.TXT", defaultFile}));
    EXPECT_TRUE(Logged("Plik już jest monitorowany: /SRV/DOS/lpt2.txt"));
    EXPECT_FALSE(Logged("Plik już jest monitorowany: "));
    // The count still bounds the entries read: values beyond it are leftovers.
    UserKey()["MonitoredFilesCNT"] = 3;
    Restart();
    EXPECT_EQ(M().List().Texts(), (std::vector<std::string>{"/srv/dos/LPT1.TXT", defaultFile}));
}

TEST_F(MonitoringTest, ImportFileOnlyWithoutAStoredList) {
    WriteFile(programDir / "monitored.txt",
              std::string("/a/LPT1.TXT\r\n/b/x.prn\n/B/X.PRN\n/c/*.*\n/d/last-without-lf"));
    Write(defaultFile, "old");
    UserKey()["DeleteFilesOnStart"] = 1;
    Start();
    EXPECT_EQ(M().List().Texts(),
              (std::vector<std::string>{"/a/LPT1.TXT\r", "/b/x.prn", "/c/*.*"}));
    EXPECT_TRUE(Logged("Plik jest już monitorowany: /B/X.PRN"));
    // The default entry was built (and its file deleted) before the import replaced the list.
    EXPECT_FALSE(std::filesystem::exists(defaultFile));
    // After every entry is removed the next start has the default entry alone... or the
    // import file when there is one.
    while (M().List().Count() > 0) M().RemoveEntry(0);
    std::filesystem::remove(programDir / "monitored.txt");
    Restart();
    EXPECT_EQ(M().List().Texts(), std::vector<std::string>{defaultFile});
}

}  // namespace
}  // namespace quernel::test
