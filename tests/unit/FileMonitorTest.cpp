#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/FileUtil.h"
#include "monitor/Md5.h"
#include "monitor/QN_File.h"
#include "support/Fifo.h"
#include "support/FileHolder.h"
#include "support/MonitorFixture.h"

namespace quernel::test {
namespace {

using std::chrono::seconds;
using ::testing::HasSubstr;
using Texts = std::vector<std::string>;

std::string Hex(const TDigest& d) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : d) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

int Count(const Texts& messages, const std::string& message) {
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}

class FileMonitorTest : public MonitorFixture {};

TEST(Md5Test, GivesTheRfcDigestsAlsoWhenFedInPieces) {
    EXPECT_EQ(Hex(Md5Digest({})), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex(Md5Digest(ToBytes("abc"))), "900150983cd24fb0d6963f7d28e17f72");
    const Bytes text = ToBytes("message digest");
    TMd5 md5;
    md5.Update(ByteView(text).first(3));
    EXPECT_EQ(md5.Digest(), Md5Digest(ByteView(text).first(3)));
    md5.Update(ByteView(text).subspan(3));
    EXPECT_EQ(Hex(md5.Digest()), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST_F(FileMonitorTest, EntryTextIsSplitAtTheFirstDoubleColon) {
    TFileMonitor own(services, PathOf("LPT1.TXT") + "::HP::Laser", false);
    EXPECT_EQ(own.FileName(), PathOf("LPT1.TXT"));
    EXPECT_EQ(own.PrinterName(), "HP::Laser");
    EXPECT_FALSE(own.IsMask());
    EXPECT_EQ(own.FileCapacity(), 0);

    std::filesystem::create_directories(dir / "out");
    Write(PathOf("out/LPT1.PRN"), "x");
    TFileMonitor folder(services, PathOf("out/LPT?.*") + "::Laser", false);
    EXPECT_TRUE(folder.IsMask());
    EXPECT_EQ(folder.FolderPart(), PathOf("out") + "/");
    ASSERT_EQ(folder.FileCount(), 1);
    EXPECT_EQ(folder.File(0).FileName(), PathOf("out/LPT1.PRN"));
    EXPECT_EQ(folder.File(0).PrinterName(), "Laser");
    EXPECT_FALSE(folder.File(0).IsMask());
}

TEST_F(FileMonitorTest, ContentPresentAtFirstSightIsNotPrintedButWhatFollowsIs) {
    const std::string path = PathOf("PRN2FILE.TXT");
    Write(path, "OLD PAGE\f");
    clock.Advance(seconds(10));
    TFileMonitor monitor(services, path, false);
    EXPECT_EQ(Run(monitor, 10), 0);
    EXPECT_EQ(monitor.PrintedSize(), 9);

    Append(path, "NEW PAGE\f");
    EXPECT_EQ(Run(monitor, 5), 1);
    EXPECT_EQ(engine.Texts(), Texts{"NEW PAGE\f"});
    EXPECT_EQ(engine.jobs[0].title, path);
    EXPECT_TRUE(engine.jobs[0].ended);
    EXPECT_EQ(view.Messages(),
              (Texts{path + " zmieniony", path + " start drukowania", path + " wydrukowany"}));
}

TEST_F(FileMonitorTest, AFileCreatedLaterIsPrintedInFullOnceQuietForLongerThanTheWait) {
    settings.WaitBeforePrint = 4;
    const std::string path = PathOf("PRN2FILE.TXT");
    TFileMonitor monitor(services, path, false);
    EXPECT_FALSE(monitor.IsReady());
    EXPECT_EQ(monitor.LastSize(), 0);

    Write(path, "PAGE 1\f");
    clock.Advance(seconds(4));
    Append(path, "PAGE 2\f");  // the quiet time counts from the last write
    clock.Advance(seconds(4));
    EXPECT_FALSE(monitor.IsReady());  // exactly the wait: not yet
    EXPECT_TRUE(monitor.Changed());
    clock.Advance(seconds(1));
    ASSERT_TRUE(monitor.IsReady());
    monitor.PrintNewData(engine, false, 1, false, false);
    EXPECT_EQ(engine.Texts(), Texts{"PAGE 1\fPAGE 2\f"});
    EXPECT_FALSE(monitor.Changed());
    EXPECT_EQ(Run(monitor, 10), 0);
}

TEST_F(FileMonitorTest, AFileWrittenInTheFutureWaitsUntilItsAgeExceedsTheWait) {
    const std::string path = PathOf("PRN2FILE.TXT");
    Write(path, "OLD\f");
    TFileMonitor monitor(services, path, false);
    EXPECT_FALSE(monitor.IsReady());
    AppendFile(path, ToBytes("NEW\f"));
    SetFileTime(path, clock.Now() + seconds(60));
    EXPECT_EQ(Run(monitor, 63), 0);  // age 3 at the end
    EXPECT_EQ(Run(monitor, 1), 1);
    EXPECT_EQ(engine.Texts(), Texts{"NEW\f"});
}

TEST_F(FileMonitorTest, AppendModePrintsFromThePrintedSizeUnlessThePrintedPartChanged) {
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    Write(path, "PAGE 1\f");
    EXPECT_EQ(Run(*monitor, 4), 1);
    Append(path, "PAGE 2\f");
    EXPECT_EQ(Run(*monitor, 4), 1);
    // Rewritten from the start: the first 14 bytes are no longer what was printed.
    Write(path, "PAGE A\fPAGE B\fPAGE C\f");
    EXPECT_EQ(Run(*monitor, 4), 1);
    // Shorter than what was printed.
    Write(path, "SHORT\f");
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(engine.Texts(),
              (Texts{"PAGE 1\f", "PAGE 2\f", "PAGE A\fPAGE B\fPAGE C\f", "SHORT\f"}));
}

TEST_F(FileMonitorTest, ARewriteWithTheSameContentPrintsAgainOnlyInOverwriteMode) {
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        settings.FileSaveMode = mode;
        engine.jobs.clear();
        const std::string path = PathOf("MODE" + std::to_string(mode) + ".TXT");
        const auto monitor = Watch(path);
        Write(path, "INVOICE\f");
        EXPECT_EQ(Run(*monitor, 4), 1);
        Write(path, "INVOICE\f");
        EXPECT_EQ(Run(*monitor, 4), mode);
        EXPECT_EQ(engine.Texts(), Texts(static_cast<std::size_t>(mode + 1), "INVOICE\f"));
    }
}

// The file's time is compared at full resolution: a rewrite of the same length a fraction of
// a second after the printed one is a change, in both file modes.
TEST_F(FileMonitorTest, ARewriteOfTheSameLengthWithinOneSecondIsSeen) {
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        settings.FileSaveMode = mode;
        engine.jobs.clear();
        const std::string path = PathOf("SAME" + std::to_string(mode) + ".TXT");
        const auto monitor = Watch(path);
        const TimePoint first = clock.Now() + std::chrono::milliseconds(100);
        Write(path, "FIRST\f");
        SetFileTime(path, first);
        EXPECT_EQ(Run(*monitor, 4), 1);
        WriteFile(path, "OTHER\f");
        SetFileTime(path, first + std::chrono::milliseconds(700));
        EXPECT_EQ(Run(*monitor, 4), 1);
        EXPECT_EQ(engine.Texts(), (Texts{"FIRST\f", "OTHER\f"}));
    }
}

// The quiet time counts from the exact moment of the last write, not from the start of its
// second or of a 2-second step.
TEST_F(FileMonitorTest, NothingIsReleasedBeforeTheFileWasQuietForTheWholeWait) {
    for (const double wait : {1.0, 3.0}) {
        SCOPED_TRACE(wait);
        settings.WaitBeforePrint = wait;
        engine.jobs.clear();
        const std::string path = PathOf("QUIET" + std::to_string(static_cast<int>(wait)));
        const auto monitor = Watch(path);
        // Late in an odd second: 1.9 s after the start of a 2-second step.
        clock.Set(FakeClock::FromLocal(2024, 3, 9, 18, static_cast<int>(wait), 0) +
                  std::chrono::milliseconds(1900));
        const TimePoint written = clock.Now();
        Write(path, "PAGE\f");
        TimePoint released{};
        for (int i = 0; i < 100 && engine.jobs.empty(); ++i) {
            clock.Advance(std::chrono::milliseconds(50));
            if (monitor->IsReady()) {
                monitor->PrintNewData(engine, false, 1, false, false);
                released = clock.Now();
            }
        }
        ASSERT_EQ(engine.jobs.size(), 1u);
        const double quiet = std::chrono::duration<double>(released - written).count();
        EXPECT_GT(quiet, wait);
        EXPECT_LE(quiet, wait + 0.05);
    }
}

TEST_F(FileMonitorTest, WithWaitForPageAPrintoutEndsWithItsLastPageEnd) {
    const std::string path = PathOf("PRN2FILE.TXT");
    Write(path, "");
    const auto monitor = Watch(path);
    Append(path, "A\fB");
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(monitor->PrintedSize(), 2);
    Append(path, "C\x1A");
    EXPECT_EQ(Run(*monitor, 4), 1);

    // A lone form feed waits, without a log line, and goes out with the next part.
    Append(path, "\f");
    const std::size_t lines = view.Messages().size();
    EXPECT_EQ(Run(*monitor, 4), 0);
    EXPECT_EQ(view.Messages().size(), lines + 1);  // " zmieniony" only
    Append(path, "D\f");
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(engine.Texts(), (Texts{"A\f", "BC\x1A", "\fD\f"}));
}

TEST_F(FileMonitorTest, WithoutWaitForPageEveryNewByteButASingleOnePrints) {
    const std::string path = PathOf("PRN2FILE.TXT");
    Write(path, "");
    const auto monitor = Watch(path);
    Append(path, "AB");
    EXPECT_EQ(Run(*monitor, 4, true), 1);
    Append(path, "C");
    EXPECT_EQ(Run(*monitor, 4, true), 0);
    Append(path, "D");
    EXPECT_EQ(Run(*monitor, 4, true), 1);
    EXPECT_EQ(engine.Texts(), (Texts{"AB", "CD"}));
}

TEST_F(FileMonitorTest, TheMaximumWaitPrintsATailOfSixBytesButNotOfFive) {
    settings.WaitForPageMax = 10;
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    Write(path, "PAGE\f12345");
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(Run(*monitor, 30), 0);  // 5 bytes stay, however long

    Append(path, "6");
    EXPECT_EQ(Run(*monitor, 13), 0);  // quiet for exactly wait + maximum wait: not yet
    EXPECT_TRUE(Tick(*monitor));      // half a second more
    EXPECT_EQ(engine.Texts(), (Texts{"PAGE\f", "123456"}));
    EXPECT_EQ(Count(view.Messages(), path + " Drukowanie resztki"), 1);
    EXPECT_EQ(Run(*monitor, 30), 0);
}

TEST_F(FileMonitorTest, TheMaximumWaitRuleIsOffAtZeroAndAtAThousandSeconds) {
    for (const double maxWait : {0.0, 1000.0}) {
        SCOPED_TRACE(maxWait);
        settings.WaitForPageMax = maxWait;
        const std::string path = PathOf("MAX" + std::to_string(static_cast<int>(maxWait)));
        const auto monitor = Watch(path);
        Write(path, "PAGE\fTAIL OF A PAGE");
        EXPECT_EQ(Run(*monitor, 4), 1);
        clock.Advance(seconds(2000));
        EXPECT_FALSE(monitor->IsReady());
    }
}

TEST_F(FileMonitorTest, DeleteAfterRemovesThePrintedFileWithItsUnfinishedTail) {
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    Write(path, "PAGE\fTAIL");
    EXPECT_EQ(Run(*monitor, 4, false, true), 1);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(monitor->PrintedSize(), 0);
    EXPECT_EQ(Count(view.Messages(), path + " usunięty"), 1);

    Write(path, "NEXT\f");
    EXPECT_EQ(Run(*monitor, 4, false, true), 1);
    EXPECT_EQ(engine.Texts(), (Texts{"PAGE\f", "NEXT\f"}));
}

TEST_F(FileMonitorTest, AFileHeldByAnotherProcessOrReadOnlyIsNotDeleted) {
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    Write(path, "PAGE 1\f");
    {
        FileHolder holder(path);
        EXPECT_EQ(Run(*monitor, 4, false, true), 1);
        EXPECT_TRUE(std::filesystem::exists(path));
        const Texts messages = view.Messages();
        EXPECT_THAT(messages.back(),
                    HasSubstr(path + " nieudane usunięcie:Cannot open file \"" + path + "\". "));
        EXPECT_THAT(messages.back(), HasSubstr(std::to_string(holder.pid())));
        EXPECT_EQ(monitor->PrintedSize(), 7);
    }
    // What is appended later prints on its own; the deletion is tried again after it.
    Append(path, "PAGE 2\f");
    EXPECT_EQ(Run(*monitor, 4, false, true), 1);
    EXPECT_FALSE(std::filesystem::exists(path));

    const std::string readOnly = PathOf("READONLY.TXT");
    const auto second = Watch(readOnly);
    Write(readOnly, "PAGE 3\f");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    EXPECT_EQ(Run(*second, 4, false, true), 1);
    EXPECT_TRUE(std::filesystem::exists(readOnly));
    EXPECT_EQ(view.Messages().back(), readOnly + " nieudane usunięcie:" +
                                          CannotOpenFileMessage(readOnly, "Permission denied"));
    EXPECT_EQ(engine.Texts(), (Texts{"PAGE 1\f", "PAGE 2\f", "PAGE 3\f"}));
}

TEST_F(FileMonitorTest, DeleteOnStartRemovesASingleFileUnlessItIsHeld) {
    const std::string free = PathOf("FREE.TXT");
    Write(free, "OLD\f");
    TFileMonitor freeMonitor(services, free, true);
    EXPECT_FALSE(std::filesystem::exists(free));
    EXPECT_FALSE(freeMonitor.IsReady());
    Write(free, "NEW\f");
    EXPECT_EQ(Run(freeMonitor, 4), 1);

    // A file that could not be deleted keeps its content counted as printed.
    const std::string held = PathOf("HELD.TXT");
    Write(held, "OLD\f");
    FileHolder holder(held);
    TFileMonitor heldMonitor(services, held, true);
    EXPECT_TRUE(std::filesystem::exists(held));
    EXPECT_EQ(Run(heldMonitor, 10), 0);
    EXPECT_EQ(engine.Texts(), Texts{"NEW\f"});
}

TEST_F(FileMonitorTest, DeleteOnStartEmptiesAFolderAndAHeldFileThereCountsAsNew) {
    Write(PathOf("spool/A.PRN"), "OLD A\f");
    Write(PathOf("spool/B.PRN"), "OLD B\f");
    Write(PathOf("spool/NOTES.TXT"), "notes");
    FileHolder holder(PathOf("spool/B.PRN"));
    TFileMonitor monitor(services, PathOf("spool/*.prn"), true);
    EXPECT_FALSE(std::filesystem::exists(PathOf("spool/A.PRN")));
    EXPECT_TRUE(std::filesystem::exists(PathOf("spool/B.PRN")));
    EXPECT_TRUE(std::filesystem::exists(PathOf("spool/NOTES.TXT")));
    EXPECT_EQ(monitor.FileCount(), 0);
    EXPECT_EQ(Run(monitor, 4), 1);
    EXPECT_EQ(engine.Texts(), Texts{"OLD B\f"});
}

TEST_F(FileMonitorTest, AFolderPrintsNewFilesInFullOnePerCallInListingOrder) {
    Write(PathOf("spool/OLD.PRN"), "OLD\f");
    TFileMonitor monitor(services, PathOf("spool/*.prn::Quernel PDF"), false);
    EXPECT_EQ(Run(monitor, 4), 0);

    for (const char* name : {"X.PRN", "y.prn", "Z.Prn", "skip.txt", ".hidden.prn"}) {
        Write(PathOf("spool/") + name, std::string("FILE ") + name + "\f");
    }
    Append(PathOf("spool/OLD.PRN"), "MORE\f");
    clock.Advance(seconds(3));
    std::vector<int> printedAt;
    for (int tick = 0; tick < 10; ++tick) {
        if (Tick(monitor)) printedAt.push_back(tick);
    }
    EXPECT_EQ(printedAt, (std::vector<int>{0, 1, 2, 3}));  // one file per call

    Texts expected;
    for (const TFoundFile& f : files.Enumerate(PathOf("spool/*.prn"))) {
        expected.push_back(PathOf("spool/") + f.name);
    }
    Texts titles;
    for (const auto& job : engine.jobs) titles.push_back(job.title);
    EXPECT_EQ(titles, expected);
    for (std::size_t i = 0; i < engine.jobs.size(); ++i) {
        const std::string name = engine.jobs[i].title.substr(PathOf("spool/").size());
        EXPECT_EQ(ToString(engine.jobs[i].data),
                  name == "OLD.PRN" ? "MORE\f" : "FILE " + name + "\f");
        EXPECT_EQ(printer.documents[i].printer, "Quernel PDF");
    }
    EXPECT_EQ(monitor.FileCount(), 4);
}

TEST_F(FileMonitorTest, AFolderGrowsItsChildrenByDoubling) {
    for (int i = 0; i < 32; ++i) Write(PathOf("spool/F" + std::to_string(i) + ".PRN"), "x");
    TFileMonitor monitor(services, PathOf("spool/*.*"), false);
    EXPECT_EQ(monitor.FileCount(), 32);
    EXPECT_EQ(monitor.FileCapacity(), 32);
    Write(PathOf("spool/LAST"), "LAST\f");
    clock.Advance(seconds(4));
    ASSERT_TRUE(monitor.IsReady());
    EXPECT_EQ(monitor.FileCount(), 33);
    EXPECT_EQ(monitor.FileCapacity(), 64);
    EXPECT_EQ(monitor.File(monitor.ReadyIndex()).FileName(), PathOf("spool/LAST"));
}

TEST_F(FileMonitorTest, AManualPrintoutRunsFromTheStartOfTheChosenPage) {
    const std::string path = PathOf("REPORT.TXT");
    Write(path, "ONE\fTWO\x1ATHREE");
    const auto manual = [&](int page) {
        engine.jobs.clear();
        TFileMonitor monitor(services, path, false);
        monitor.PrintNewData(engine, true, page, false, true);
        return engine.Texts();
    };
    EXPECT_EQ(manual(1), Texts{"ONE\fTWO\x1ATHREE"});
    EXPECT_EQ(manual(2), Texts{"TWO\x1ATHREE"});
    EXPECT_EQ(manual(3), Texts{"THREE"});
    const std::size_t lines = view.lines.size();
    EXPECT_EQ(manual(4), Texts{});
    EXPECT_EQ(view.lines.size(), lines);
}

TEST_F(FileMonitorTest, AnEntryWithItsOwnPrinterPrintsThereAndSelectsTheFormerOneAgain) {
    printer.printers = {"Laser", "Igłowa", "Quernel PDF"};
    printer.defaultIndex = 2;
    printer.SetPrinterIndex(0);
    const std::string path = PathOf("PRN2FILE.TXT");
    TFileMonitor own(services, path + "::Igłowa", false);
    TFileMonitor gone(services, path + "::Gone", false);
    TFileMonitor plain(services, path, false);
    Write(path, "");
    for (TFileMonitor* m : {&own, &gone, &plain}) m->IsReady();

    Append(path, "PAGE\f");
    clock.Advance(seconds(4));
    printer.calls.clear();
    for (TFileMonitor* m : {&own, &gone, &plain}) {
        ASSERT_TRUE(m->IsReady());
        m->PrintNewData(engine, false, 1, false, false);
        EXPECT_EQ(printer.PrinterIndex(), 0);
    }
    ASSERT_EQ(printer.documents.size(), 3u);
    EXPECT_EQ(printer.documents[0].printer, "Igłowa");
    EXPECT_EQ(printer.documents[1].printer, "Quernel PDF");  // a missing printer: the default
    EXPECT_EQ(printer.documents[2].printer, "Laser");
    const auto selections =
        std::count_if(printer.calls.begin(), printer.calls.end(),
                      [](const std::string& c) { return c.starts_with("SetPrinterIndex"); });
    EXPECT_EQ(selections, 4);  // to the entry's printer and back, twice
    EXPECT_NE(std::find(printer.calls.begin(), printer.calls.end(), "SetPrinterIndex(-1)"),
              printer.calls.end());
}

class EngineFailureTest : public MonitorFixture,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(EngineFailureTest, LeavesNoDocumentOpenSelectsTheFormerPrinterAndRethrows) {
    printer.SetPrinterIndex(0);
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path + "::Quernel PDF");
    const auto other = Watch(PathOf("OTHER.TXT"));
    Write(path, "PAGE\f");
    Write(PathOf("OTHER.TXT"), "OTHER\f");
    clock.Advance(seconds(4));

    engine.failOn = GetParam();
    ASSERT_TRUE(monitor->IsReady());
    // The part that failed is kept in a file of its own, which the error names.
    const std::filesystem::path kept =
        dir / "Nieudane" / (DocumentFileStem(path, ToLocal(clock.Now())) + ".prn");
    try {
        monitor->PrintNewData(engine, false, 1, true, false);
        ADD_FAILURE() << "no error";
    } catch (const PrinterError& e) {
        EXPECT_EQ(std::string(e.what()), std::string("simulated failure in ") + GetParam() +
                                             "\nWydruk zachowano w pliku " + kept.string());
    }
    EXPECT_EQ(ReadText(kept), "PAGE\f");
    EXPECT_FALSE(printer.Printing());
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_TRUE(printer.documents[0].aborted);
    EXPECT_EQ(printer.PrinterIndex(), 0);
    EXPECT_EQ(monitor->PrintedSize(), 5);  // not printed again
    EXPECT_TRUE(std::filesystem::exists(path));
    const Texts messages = view.Messages();
    EXPECT_EQ(Count(messages, path + " start drukowania"), 1);
    EXPECT_EQ(Count(messages, path + " wydrukowany"), 0);

    // The other monitors go on, and so does this one with its next part.
    engine.failOn.clear();
    ASSERT_TRUE(other->IsReady());
    other->PrintNewData(engine, false, 1, false, false);
    Append(path, "NEXT\f");
    EXPECT_EQ(Run(*monitor, 4, false, true), 1);
    EXPECT_EQ(ToString(engine.jobs.back().data), "NEXT\f");
    EXPECT_FALSE(std::filesystem::exists(path));
}

INSTANTIATE_TEST_SUITE_P(EachCall, EngineFailureTest,
                         ::testing::Values("BeginJob", "PrintData", "EndJob"));

TEST_F(FileMonitorTest, NoMonitorIsReadyWhileADocumentIsBeingPrinted) {
    const std::string a = PathOf("A.TXT");
    const std::string b = PathOf("B.TXT");
    const auto ma = Watch(a);
    const auto mb = Watch(b);
    Write(a, "A\f");
    Write(b, "B\f");
    clock.Advance(seconds(4));
    std::vector<bool> answers;
    engine.duringPrint = [&] {
        answers.push_back(mb->IsReady());
        answers.push_back(ma->IsReady());
    };
    ASSERT_TRUE(ma->IsReady());
    ma->PrintNewData(engine, false, 1, false, false);
    EXPECT_EQ(answers, (std::vector<bool>{false, false}));
    EXPECT_TRUE(mb->IsReady());
}

TEST_F(FileMonitorTest, AttributesCarryOverFromTheSecondPrintoutWithKeepState) {
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    for (int i = 0; i < 3; ++i) {
        settings.KeepState = i < 2;
        Append(path, "PAGE\f");
        ASSERT_EQ(Run(*monitor, 4), 1);
    }
    EXPECT_FALSE(engine.jobs[0].keepState);
    EXPECT_TRUE(engine.jobs[1].keepState);
    EXPECT_FALSE(engine.jobs[2].keepState);
}

// The printout takes the bytes present when the file was read; what the DOS program writes
// while it prints is taken by a later printout, once.
TEST_F(FileMonitorTest, BytesWrittenWhileAPartPrintsAreTakenByTheNextPrintoutOnce) {
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    Write(path, "PAGE 1\f");
    engine.duringPrint = [&] {
        if (engine.jobs.size() == 1) Append(path, "PAGE 2\fTAIL");
    };
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(monitor->PrintedSize(), 7);
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(Run(*monitor, 10), 0);
    Append(path, "\f");
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(engine.Texts(), (Texts{"PAGE 1\f", "PAGE 2\f", "TAIL\f"}));
}

TEST_F(FileMonitorTest, TheRunningDigestIsTheDigestOfThePrintedPrefix) {
    const std::string path = PathOf("PRN2FILE.TXT");
    Write(path, "");
    const auto incremental = Watch(path);
    const auto rereading = Watch(path);
    rereading->SetIncrementalDigest(false);
    for (int i = 0; i < 3; ++i) {
        Append(path, std::string(static_cast<std::size_t>(70000 + i), static_cast<char>('A' + i)) +
                         "\fTAIL");
        clock.Advance(seconds(4));
        for (TFileMonitor* m : {incremental.get(), rereading.get()}) {
            ASSERT_TRUE(m->IsReady());
            m->PrintNewData(engine, false, 1, false, false);
        }
        const Bytes content = ReadWholeFile(path);
        const auto printed = static_cast<std::size_t>(incremental->PrintedSize());
        EXPECT_EQ(printed, content.size() - 4);
        EXPECT_EQ(incremental->PrintedDigest(), Md5Digest(ByteView(content).first(printed)));
        EXPECT_EQ(rereading->PrintedDigest(), incremental->PrintedDigest());
    }
    EXPECT_EQ(engine.jobs.size(), 6u);
}

// A file system whose reads can be made to fail, as when another program locks the file.
class LockableFiles final : public IFileSystem {
  public:
    explicit LockableFiles(IFileSystem& inner) : inner_(inner) {}
    bool locked = false;
    std::optional<TFoundFile> Find(const std::string& path) override { return inner_.Find(path); }
    std::vector<TFoundFile> Enumerate(const std::string& mask) override {
        return inner_.Enumerate(mask);
    }
    std::unique_ptr<IReadFile> OpenRead(const std::string& path) override {
        if (locked) throw FileError(CannotOpenFileMessage(path, "locked"));
        return inner_.OpenRead(path);
    }
    void TestExclusiveOpen(const std::string& path) override { inner_.TestExclusiveOpen(path); }
    bool Delete(const std::string& path) override { return inner_.Delete(path); }

  private:
    IFileSystem& inner_;
};

// In a shared folder (sticky, writable by all, here owned by the other user, which the kernel's
// own protection of links would allow), a link planted by another user that leads to a
// private file of this user's is not followed: nothing of the private file is printed, in a
// monitored file or a monitored folder. This user's own link there, and the other user's
// link in a folder only its owner may write, are followed.
TEST_F(FileMonitorTest, AnotherUsersLinkInASharedFolderIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs a second user";
    namespace fs = std::filesystem;
    constexpr uid_t kOther = 65534;
    const fs::path shared = dir / "shared";
    fs::create_directories(shared);
    ASSERT_EQ(::chown(shared.c_str(), kOther, kOther), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string secret = PathOf("secret.txt");
    Write(secret, "");
    ::chmod(secret.c_str(), 0600);
    const auto plant = [&](const fs::path& link, uid_t owner) {
        fs::create_symlink(secret, link);
        ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
    };

    const std::string planted = (shared / "PRN2FILE.TXT").string();
    plant(planted, kOther);
    const auto single = std::make_unique<TFileMonitor>(services, planted, false);
    const auto folder = Watch((shared / "*.PRN").string());
    plant(shared / "A.PRN", kOther);
    Append(secret, "PRIVATE\f");
    std::vector<std::string> errors;
    int printed = 0;
    for (int i = 0; i < 20; ++i) {
        for (TFileMonitor* m : {single.get(), folder.get()}) {
            try {
                printed += Tick(*m) ? 1 : 0;
            } catch (const FileError& e) {
                errors.push_back(e.what());
            }
        }
    }
    EXPECT_EQ(printed, 0);
    EXPECT_TRUE(engine.Texts().empty());
    EXPECT_EQ(errors, Texts{CannotOpenFileMessage(planted, kUntrustedLinkReason)});
    EXPECT_THROW(files.OpenRead(planted), FileError);
    EXPECT_THROW(files.TestExclusiveOpen(planted), FileError);

    // The user's own link in the shared folder.
    plant(shared / "B.PRN", ::geteuid());
    Append(secret, "OWN\f");
    EXPECT_EQ(Run(*folder, 4), 1);
    EXPECT_EQ(engine.Texts(), (Texts{"PRIVATE\fOWN\f"}));

    // The other user's link in a folder only its owner (this user) may write.
    const fs::path own = dir / "own";
    fs::create_directories(own);
    ::chmod(own.c_str(), 0755);
    plant(own / "C.PRN", kOther);
    EXPECT_NO_THROW(files.OpenRead((own / "C.PRN").string()));
    EXPECT_TRUE(files.Find((own / "C.PRN").string())->regular);
}

// A DOS emulator may put a pipe where the print file was, and the file back later. The pipe
// is an unreadable file: reported once, nothing printed, and what was printed of the file
// stays printed.
TEST_F(FileMonitorTest, APipeUnderTheMonitoredNameIsReportedOnceAndNothingIsLost) {
    const std::string path = PathOf("PRN2FILE.TXT");
    const auto monitor = Watch(path);
    Write(path, "PAGE 1\f");
    EXPECT_EQ(Run(*monitor, 4), 1);

    std::filesystem::remove(path);
    MakeFifo(path);
    std::vector<std::string> errors;
    int printed = 0;
    EXPECT_TRUE(ReturnsWithoutAWriter(path, [&] {
        for (int i = 0; i < 20; ++i) {
            try {
                printed += Tick(*monitor) ? 1 : 0;
            } catch (const FileError& e) {
                errors.push_back(e.what());
            }
        }
    }));
    EXPECT_EQ(printed, 0);
    EXPECT_EQ(errors, Texts{CannotOpenFileMessage(path, "It is not a regular file.")});

    std::filesystem::remove(path);
    Write(path, "PAGE 1\fPAGE 2\f");
    EXPECT_EQ(Run(*monitor, 4), 1);
    EXPECT_EQ(engine.Texts(), (Texts{"PAGE 1\f", "PAGE 2\f"}));
    // Another pipe later is reported again.
    std::filesystem::remove(path);
    MakeFifo(path);
    clock.Advance(seconds(1));
    EXPECT_THROW(monitor->IsReady(), FileError);
    EXPECT_FALSE(monitor->IsReady());
}

TEST_F(FileMonitorTest, AnUnreadablePrintedPartRaisesTheErrorButTheChangeIsKept) {
    LockableFiles lockable(files);
    TMonitorServices lockableServices{lockable, clock, history, printer, settings, &titles};
    const std::string path = PathOf("PRN2FILE.TXT");
    TFileMonitor monitor(lockableServices, path, false);
    monitor.IsReady();
    Write(path, "PAGE 1\f");
    EXPECT_EQ(Run(monitor, 4), 1);
    Append(path, "PAGE 2\f");
    clock.Advance(seconds(1));
    lockable.locked = true;
    EXPECT_THROW(monitor.IsReady(), FileError);
    EXPECT_TRUE(monitor.Changed());
    EXPECT_EQ(monitor.LastSize(), 14);
    lockable.locked = false;
    EXPECT_EQ(Run(monitor, 4), 1);
    EXPECT_EQ(engine.Texts(), (Texts{"PAGE 1\f", "PAGE 2\f"}));
}

}  // namespace
}  // namespace quernel::test
