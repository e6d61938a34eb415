#include <gtest/gtest.h>

#include "fakes/FakePrintoutFolder.h"
#include "monitor/KeptPrintouts.h"
#include "monitor/Notifier.h"
#include "support/CoreFixture.h"

namespace quernel::test {
namespace {

struct Notice {
    TNoticeKind kind;
    std::string title;
    std::string text;
};

class RecordingNotifier final : public INotifier {
  public:
    void Notify(TNoticeKind kind, const std::string& title, const std::string& text) override {
        notices.push_back({kind, title, text});
    }
    std::vector<Notice> notices;
};

// The core keeping every printout the loop handles, in a folder in memory.
class KeptPrintoutsTest : public CoreFixture {
  protected:
    void SetUp() override {
        UserKey() = {
            {"AutoRun", 0}, {"WaitForPageMax", 0}, {"Copies", 2}, {"Printer", "Quernel PDF"}};
        services.printoutFolder = &folder;
        core = std::make_unique<TQuernelCore>(services);
        core->SetNotifier(&notifier);
    }
    TKeptPrintouts& Kept() { return core->Printouts(); }
    const std::vector<TPrintoutRecord>& Records() { return Kept().Store().Records(); }
    int Count(const std::string& message) {
        const auto m = view.Messages();
        return static_cast<int>(std::count(m.begin(), m.end(), message));
    }
    // One printout of the default file, printed by the loop.
    void PrintOne(const std::string& text) {
        Append(defaultFile, text);
        Run(3.5);
    }

    FakePrintoutFolder folder;
    RecordingNotifier notifier;
};

TEST_F(KeptPrintoutsTest, EveryPrintoutIsKeptWithWhatItPrintedWith) {
    Start();
    Run(1);
    PrintOne("Faktura\r\n\x0cStrona 2\r\n\x0c");
    ASSERT_EQ(Records().size(), 1u);
    const TPrintoutRecord& r = Records()[0];
    EXPECT_EQ(r.source, defaultFile);
    EXPECT_EQ(r.printer, "Quernel PDF");
    EXPECT_EQ(r.result, TPrintoutResult::kPrinted);
    EXPECT_EQ(r.pages, 2);
    EXPECT_EQ(r.copies, 2);
    EXPECT_EQ(r.setup.font, "Liberation Mono");
    EXPECT_EQ(r.setup.charMap, core->ActiveCharMap());
    EXPECT_EQ(r.setup.caps, printer.caps);
    EXPECT_EQ(ToString(Kept().Store().Data(r.id)), "Faktura\r\n\x0cStrona 2\r\n\x0c");
    EXPECT_TRUE(notifier.notices.empty());

    // A file printed by hand says so.
    const std::string other = (dir / "reczny.txt").string();
    WriteFile(other, std::string("Recznie\r\n"));
    dialogs.files = {other};
    dialogs.pages = {1};
    core->Monitoring().PrintFile(dialogs);
    ASSERT_EQ(Records().size(), 2u);
    EXPECT_EQ(Records()[0].source, "");
    EXPECT_EQ(ToString(Kept().Store().Data(Records()[0].id)), "Recznie\r\n");
}

TEST_F(KeptPrintoutsTest, AFailedPrintoutIsKeptAndTheUserToldWhereItsBytesAre) {
    Start();
    Run(1);
    printer.failOn = "EndDoc";
    PrintOne("Nieudany\r\n\x0c");
    ASSERT_EQ(Records().size(), 1u);
    const TPrintoutRecord& r = Records()[0];
    EXPECT_EQ(r.result, TPrintoutResult::kFailed);
    EXPECT_FALSE(r.error.empty());
    EXPECT_NE(r.outputFile.find("Nieudane"), std::string::npos);
    ASSERT_EQ(notifier.notices.size(), 1u);
    EXPECT_EQ(notifier.notices[0].kind, TNoticeKind::kError);
    EXPECT_EQ(notifier.notices[0].title, "Wydruk nieudany");
    EXPECT_NE(notifier.notices[0].text.find("Wydruk zachowano w pliku " + r.outputFile),
              std::string::npos);

    // Printed again once the printer works: it counts as printed, and may go with the limits.
    printer.failOn.clear();
    const std::size_t documents = printer.documents.size();
    EXPECT_TRUE(Kept().Print(r.id, {}));
    ASSERT_EQ(printer.documents.size(), documents + 1);
    EXPECT_EQ(Records()[0].result, TPrintoutResult::kPrinted);
    EXPECT_EQ(Records()[0].error, "");
    EXPECT_EQ(printer.PageTextsOfAll().back(), "Nieudany");
}

TEST_F(KeptPrintoutsTest, PrintingAgainOnAChosenPrinterWithCopiesAndFailingAgain) {
    Start();
    Run(1);
    PrintOne("Kopia\r\n\x0c");
    const std::string id = Records()[0].id;
    EXPECT_TRUE(Kept().Print(id, {"Laser", 3, false}));
    EXPECT_EQ(printer.documents.back().printer, "Laser");
    EXPECT_EQ(printer.documents.back().copies, 3);
    EXPECT_EQ(Records()[0].printer, "Laser");
    EXPECT_EQ(Records()[0].copies, 3);
    // The main printer stays the current one.
    EXPECT_EQ(CurrentPrinterName(printer), "Quernel PDF");

    printer.failOn = "BeginDoc";
    EXPECT_FALSE(Kept().Print(id, {}));
    EXPECT_EQ(Records()[0].result, TPrintoutResult::kFailed);
    ASSERT_FALSE(errors.messages.empty());
    EXPECT_EQ(Records()[0].error, errors.messages.back());
}

TEST_F(KeptPrintoutsTest, PreviewBeforePrintHoldsThePrintoutForTheDecision) {
    UserKey()["PreviewBeforePrint"] = 1;
    Kept().SetPreviewAvailable(true);
    std::vector<std::string> offered;
    Kept().onWaiting = [&](const std::string& id) { offered.push_back(id); };
    Start();
    Run(1);
    PrintOne("Podglad\r\n\x0c");
    EXPECT_TRUE(printer.documents.empty());
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(Records()[0].result, TPrintoutResult::kWaiting);
    EXPECT_EQ(offered, std::vector<std::string>{Records()[0].id});
    EXPECT_EQ(Count(defaultFile + " czeka na decyzję (podgląd przed wydrukiem)"), 1);
    // It counts as handled: the loop does not print it again.
    Run(5);
    EXPECT_TRUE(printer.documents.empty());

    EXPECT_TRUE(Kept().Print(offered[0], {}));
    EXPECT_EQ(Printed(), std::vector<std::string>{"Podglad"});
    EXPECT_EQ(Records()[0].result, TPrintoutResult::kPrinted);

    PrintOne("Odrzucony\r\n\x0c");
    ASSERT_EQ(offered.size(), 2u);
    Kept().Discard(offered[1]);
    EXPECT_EQ(Records()[0].result, TPrintoutResult::kDiscarded);
    EXPECT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(Count("Wydruk odrzucony: " + Records()[0].id), 1);
}

// A stop after the printout was kept and before the file's part was noted as handled gives the
// same printout again at the next start: it is offered once.
TEST_F(KeptPrintoutsTest, TheSamePrintoutWaitsOnlyOnce) {
    UserKey()["PreviewBeforePrint"] = 1;
    Kept().SetPreviewAvailable(true);
    Start();
    const TPrintoutFacts facts{defaultFile, "", "Laser", std::nullopt};
    Kept().JobStarts(core->CurrentJobSetup(), false);
    EXPECT_TRUE(Kept().HoldBeforePrinting(facts, ToBytes("raz\x0c")));
    EXPECT_TRUE(Kept().HoldBeforePrinting(facts, ToBytes("raz\x0c")));
    EXPECT_TRUE(Kept().HoldBeforePrinting(facts, ToBytes("dwa\x0c")));
    ASSERT_EQ(Records().size(), 2u);
    Kept().Discard(Records()[0].id);
    Kept().Discard(Records()[1].id);
    // Once decided, the same bytes are a new printout.
    EXPECT_TRUE(Kept().HoldBeforePrinting(facts, ToBytes("raz\x0c")));
    EXPECT_EQ(Records().size(), 3u);
}

TEST_F(KeptPrintoutsTest, WithoutAWindowPreviewIsIgnoredSaidOnce) {
    UserKey()["PreviewBeforePrint"] = 1;
    Start();
    Run(1);
    PrintOne("Pierwszy\r\n\x0c");
    PrintOne("Drugi\r\n\x0c");
    EXPECT_EQ(Printed(), (std::vector<std::string>{"Pierwszy", "Drugi"}));
    EXPECT_EQ(Count("Podgląd przed wydrukiem pominięty: brak okna, wydruki drukują się od razu"),
              1);
    EXPECT_EQ(Records().size(), 2u);
}

TEST_F(KeptPrintoutsTest, APrintoutThatCannotBeKeptStillPrints) {
    folder.failWritesOf = ".prn";
    UserKey()["PreviewBeforePrint"] = 1;
    Kept().SetPreviewAvailable(true);
    Start();
    Run(1);
    PrintOne("Mimo to\r\n\x0c");
    PrintOne("I to\r\n\x0c");
    EXPECT_EQ(Printed(), (std::vector<std::string>{"Mimo to", "I to"}));
    EXPECT_TRUE(Records().empty());
}

TEST_F(KeptPrintoutsTest, EachPrintoutIsAnnouncedWithItsPagesWhenAsked) {
    UserKey()["NotifyEachPrintout"] = 1;
    Start();
    Run(1);
    PrintOne(
        "1\x0c"
        "2\x0c"
        "3\x0c");
    ASSERT_EQ(notifier.notices.size(), 1u);
    EXPECT_EQ(notifier.notices[0].kind, TNoticeKind::kInformation);
    EXPECT_EQ(notifier.notices[0].text, defaultFile + ": 3 strony, drukarka Quernel PDF");
    EXPECT_EQ(PagesText(1), "1 strona");
    EXPECT_EQ(PagesText(5), "5 stron");
    EXPECT_EQ(PagesText(12), "12 stron");
    EXPECT_EQ(PagesText(22), "22 strony");
}

TEST_F(KeptPrintoutsTest, TheLimitsComeFromTheSettings) {
    UserKey()["KeepPrintouts"] = 2;
    Start();
    Run(1);
    for (const char* text : {"a\x0c", "b\x0c", "c\x0c"}) PrintOne(text);
    ASSERT_EQ(Records().size(), 2u);
    EXPECT_EQ(ToString(Kept().Store().Data(Records()[1].id)), "b\x0c");
    core->UpdateSettings([](AppSettings& s) { s.KeepPrintouts = 1; });
    EXPECT_EQ(Records().size(), 1u);
    // A restart finds what was kept.
    Restart();
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(ToString(Kept().Store().Data(Records()[0].id)), "c\x0c");
}

}  // namespace
}  // namespace quernel::test
