#include <gtest/gtest.h>
#include <stdlib.h>

#include "fakes/FakeClock.h"
#include "fakes/FakePrintoutFolder.h"
#include "fakes/RecordingHistoryView.h"
#include "host/BW_log.h"
#include "monitor/PrintoutStore.h"
#include "platform/PrintoutFolder.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;

TPrintoutRecord Record(const std::string& title,
                       TPrintoutResult result = TPrintoutResult::kPrinted) {
    TPrintoutRecord r;
    r.source = "/home/u/QUERNEL/PRN2FILE.TXT";
    r.title = title;
    r.printer = "Laser";
    r.pages = 3;
    r.copies = 2;
    r.result = result;
    return r;
}

class PrintoutStoreTest : public ::testing::Test {
  protected:
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (const auto& r : store.Records()) titles.push_back(r.title);
        return titles;
    }
    std::string Add(const std::string& title, std::size_t size = 10,
                    TPrintoutResult result = TPrintoutResult::kPrinted) {
        clock.Advance(1s);
        return store.Add(Record(title, result), Bytes(size, 'x'));
    }

    FakeClock clock;
    RecordingHistoryView view;
    TbwLog history{clock, &view};
    FakePrintoutFolder folder;
    TPrintoutStore store{&folder, clock, history};
};

TEST(PrintoutRecordTest, ARecordReadsBackWithItsSetupAndAwkwardTexts) {
    TPrintoutRecord r = Record("Faktura\nnr 7 \\ 2024 = zł");
    r.time = FakeClock::FromLocal(2024, 3, 9, 17, 5, 1) + 250ms;
    r.source.clear();
    r.error = "The printer \"Laser\" did not take the document:\nNot Found";
    r.outputFile = "/home/u/QUERNEL/PDF/Faktura.pdf";
    r.size = 1234;
    r.result = TPrintoutResult::kFailed;
    TPrintJobSetup& s = r.setup;
    s.mgLeft = -10;
    s.charsPerLine = 136;
    s.boxLines = true;
    s.orientation = 1;
    s.copies = 2;
    s.font = "Liberation Mono";
    s.charMap.Map[0x85] = 0xB9;
    s.charMap.CharsetIndex = 3;
    s.sequences.AddSequence(Bytes{27, 'E'}, meaning::kBoldOn);
    s.sequences.AddSequence(Bytes{27, 'F'}, meaning::kBoldOff);
    s.commandSet = 3;
    s.ignorePcl = true;
    s.raw.enabled = true;
    s.raw.initText = "#27 @";
    s.background = true;
    s.backgroundPath = "/srv/logo.png";
    s.picTop = 20;
    s.startStatus = TPrinterStatus{};
    s.startStatus->FontStyle = font_style::kBold;
    s.startStatus->LineSpacing = 0.75;
    s.caps = {4760, 6814, 600, 600, 100, 100};

    std::string why;
    const auto back = TPrintoutRecord::FromText(r.ToText(), &why);
    ASSERT_TRUE(back) << why;
    EXPECT_EQ(back->time, r.time);
    EXPECT_EQ(back->title, r.title);
    EXPECT_EQ(back->source, "");
    EXPECT_EQ(back->error, r.error);
    EXPECT_EQ(back->outputFile, r.outputFile);
    EXPECT_EQ(back->result, TPrintoutResult::kFailed);
    EXPECT_EQ(back->pages, 3);
    EXPECT_EQ(back->copies, 2);
    EXPECT_EQ(back->size, 1234u);
    EXPECT_EQ(back->setup, r.setup);
}

TEST(PrintoutRecordTest, DamagedRecordsAreRefusedWithAReason) {
    const std::string good = Record("A").ToText();
    std::string why;
    EXPECT_FALSE(TPrintoutRecord::FromText("", &why));
    EXPECT_FALSE(TPrintoutRecord::FromText(good.substr(0, good.find("[setup]")), &why));
    EXPECT_EQ(why, "zapis jest niepełny");
    std::string badCopies = good;
    badCopies.replace(badCopies.find("copies=2"), 8, "copies=x");
    EXPECT_FALSE(TPrintoutRecord::FromText(badCopies, &why));
    std::string badMap = good;
    badMap.replace(badMap.find("charMap=") + 8, 2, "zz");
    EXPECT_FALSE(TPrintoutRecord::FromText(badMap, &why));
    EXPECT_EQ(why, "błędne ustawienia wydruku");
    std::string badResult = good;
    badResult.replace(badResult.find("result=printed"), 14, "result=maybe");
    EXPECT_FALSE(TPrintoutRecord::FromText(badResult, &why));
}

TEST_F(PrintoutStoreTest, KeepsPrintoutsNewestFirstAcrossALoad) {
    const std::string first = Add("pierwszy", 5);
    Add("drugi", 7);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"drugi", "pierwszy"}));
    EXPECT_EQ(store.Data(first), Bytes(5, 'x'));
    EXPECT_EQ(store.Find(first)->size, 5u);

    TPrintoutStore again(&folder, clock, history);
    again.Load();
    ASSERT_EQ(again.Records().size(), 2u);
    EXPECT_EQ(again.Records()[0].title, "drugi");
    EXPECT_EQ(again.Records()[1].id, first);
    EXPECT_EQ(again.Records()[1].printer, "Laser");
    EXPECT_TRUE(view.lines.empty());
}

TEST_F(PrintoutStoreTest, TheOldestGoFirstButFailedAndWaitingOnesStay) {
    store.SetLimits({3, 500});
    Add("failed", 10, TPrintoutResult::kFailed);
    Add("waiting", 10, TPrintoutResult::kWaiting);
    Add("old");
    Add("middle");
    Add("new");
    Add("newest");
    // The protected ones stay outside the count.
    EXPECT_EQ(Titles(), (std::vector<std::string>{"newest", "new", "middle", "waiting", "failed"}));
    // A printout printed again by the user is no longer protected.
    TPrintoutRecord failed = store.Records().back();
    failed.result = TPrintoutResult::kPrinted;
    store.Update(failed);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"newest", "new", "middle", "waiting"}));
    EXPECT_EQ(folder.files.size(), 8u);

    // The size limit counts every byte of the unprotected ones.
    store.SetLimits({100, 1});
    Add("big", 1u << 20);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"big", "waiting"}));
    store.SetLimits({0, 0});
    EXPECT_EQ(Titles(), (std::vector<std::string>{"waiting"}));
}

TEST_F(PrintoutStoreTest, ADamagedRecordIsSkippedWithOneHistoryLineAndKeepsItsFiles) {
    const std::string good = Add("dobry");
    const std::string cut = Add("ucięty");
    const std::string shortData = Add("krótki");
    Bytes& record = folder.files[cut + ".rec"];
    record.resize(record.size() / 2);
    folder.files[shortData + ".prn"].pop_back();
    folder.files["garbage.rec"] = ToBytes("not a record at all");

    TPrintoutStore again(&folder, clock, history);
    again.Load();
    again.Load();
    ASSERT_EQ(again.Records().size(), 1u);
    EXPECT_EQ(again.Records()[0].id, good);
    const auto lines = view.Messages();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Pominięto uszkodzony zapis wydruku /kept/" + shortData +
                            ".rec: plik z wydrukiem ma inną długość"),
              lines.end());
    EXPECT_TRUE(folder.files.contains(cut + ".prn"));
    EXPECT_TRUE(folder.files.contains(shortData + ".prn"));
    // A new printout never takes a damaged one's name.
    EXPECT_NE(again.Add(Record("nowy"), Bytes{1}), cut);
}

TEST_F(PrintoutStoreTest, BytesWithoutARecordAndCutTemporaryFilesAreDeletedAtLoad) {
    Add("jest");
    folder.files["20240309-170510-000.prn"] = Bytes{1, 2};
    folder.files["20240309-170511-000.rec.a1B2c3"] = Bytes{1};
    folder.files["notes.txt"] = Bytes{1};
    store.Load();
    EXPECT_EQ(store.Records().size(), 1u);
    EXPECT_FALSE(folder.files.contains("20240309-170510-000.prn"));
    EXPECT_FALSE(folder.files.contains("20240309-170511-000.rec.a1B2c3"));
    EXPECT_TRUE(folder.files.contains("notes.txt"));
}

TEST_F(PrintoutStoreTest, AFailedWriteKeepsNothing) {
    folder.failWritesOf = ".rec";
    EXPECT_THROW(Add("pełny dysk"), FileError);
    EXPECT_TRUE(store.Records().empty());
    EXPECT_TRUE(folder.files.empty());
    folder.failWritesOf = ".prn";
    EXPECT_THROW(Add("pełny dysk"), FileError);
    EXPECT_TRUE(folder.files.empty());
}

TEST(PrintoutFolderTest, ReplacesFilesWholeInTheDataHome) {
    TempDir dir;
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    EXPECT_EQ(TPrintoutFolder::FromEnvironment(), dir / "data/quernel/printouts");
    ::unsetenv("XDG_DATA_HOME");
    TPrintoutFolder folder(TPrintoutFolder::FromEnvironment());
    EXPECT_NE(folder.Folder().string().find(".local/share/quernel/printouts"), std::string::npos);

    TPrintoutFolder real(dir / "data/quernel/printouts");
    EXPECT_TRUE(real.List().empty());
    real.Write("a.prn", ToBytes("first"));
    real.Write("a.prn", ToBytes("second"));
    EXPECT_EQ(ToString(real.Read("a.prn")), "second");
    const auto files = real.List();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "a.prn");
    EXPECT_EQ(files[0].size, 6u);
    real.Remove("a.prn");
    real.Remove("a.prn");
    EXPECT_TRUE(real.List().empty());
    EXPECT_THROW(real.Read("a.prn"), FileError);
}

}  // namespace
}  // namespace quernel::test
