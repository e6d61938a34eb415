#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/RecordingHistoryView.h"
#include "host/BW_log.h"
#include "host/Text.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

TEST(TimeStampTest, DateAndTimeExceptDuringTheFirstSecondAfterMidnight) {
    EXPECT_EQ(TimeStamp({2024, 3, 9, 17, 5, 1}), "2024-03-09 17:05:01");
    EXPECT_EQ(TimeStamp({2024, 3, 9, 0, 0, 0}), "2024-03-09");
    EXPECT_EQ(TimeStamp({2024, 3, 9, 0, 0, 1}), "2024-03-09 00:00:01");
}

TEST(LocalTimeTest, MomentsKeepTheirFractionOfASecond) {
    const TimePoint t = FakeClock::FromLocal(2024, 3, 9, 17, 5, 1);
    EXPECT_DOUBLE_EQ(LocalSeconds(t + std::chrono::milliseconds(250)) - LocalSeconds(t), 0.25);
    EXPECT_DOUBLE_EQ(LocalSeconds(t) - LocalSeconds(LocalDateTime{2024, 3, 8, 17, 5, 1}), 86400);
    EXPECT_DOUBLE_EQ(LocalSeconds(t), LocalSeconds(ToLocal(t)));
}

TEST(HistoryLogTest, DropsMessagesUntilAViewIsAttached) {
    FakeClock clock(FakeClock::FromLocal(2024, 3, 9, 17, 5, 1));
    RecordingHistoryView view;
    TbwLog log(clock);
    log.Add("lost");
    log.Attach(&view);
    log.Add("Ustawienia domyślne");
    clock.Advance(std::chrono::seconds(2));
    log.Add("Odczyt ustawień");
    log.Attach(nullptr);
    log.Add("lost again");
    EXPECT_EQ(view.lines, (std::vector<std::string>{"2024-03-09 17:05:01 : Ustawienia domyślne",
                                                    "2024-03-09 17:05:03 : Odczyt ustawień"}));
}

TEST(EscapeControlsTest, NothingInALineCanBreakItOrSteerTheTerminal) {
    EXPECT_EQ(EscapeControls("Faktura źdźbło 100% C:\\DOS"), "Faktura źdźbło 100% C:\\DOS");
    EXPECT_EQ(EscapeControls("a\nb\rc\td"), "a\\nb\\rc\\td");
    EXPECT_EQ(EscapeControls("\x1b[2J\x07\x7f"), "\\x1B[2J\\x07\\x7F");
    EXPECT_EQ(EscapeControls(std::string("a\0b", 3)), "a\\x00b");
    // C1 controls (NEL, CSI), line and paragraph separators, direction overrides.
    EXPECT_EQ(EscapeControls("\u0085\u009b\u2028\u2029\u202e\u2066"),
              "\\u0085\\u009B\\u2028\\u2029\\u202E\\u2066");
    // Bytes that are not UTF-8: a lone CSI byte, a cut sequence, an overlong slash, a
    // surrogate.
    EXPECT_EQ(EscapeControls("\x9b"
                             "2J"),
              "\\x9B2J");
    EXPECT_EQ(EscapeControls("x\xc5"), "x\\xC5");
    EXPECT_EQ(EscapeControls("\xc0\xaf"), "\\xC0\\xAF");
    EXPECT_EQ(EscapeControls("\xed\xa0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(EscapeControls("\xf0\x9f\x96\xa8"), "\xf0\x9f\x96\xa8");  // a printer emoji
}

TEST(HistoryLogTest, AFileNameWithLineFeedsOrEscapesStaysOnItsLine) {
    FakeClock clock(FakeClock::FromLocal(2024, 3, 9, 17, 5, 1));
    RecordingHistoryView view;
    TbwLog history(clock, &view);
    TempDir dir;
    TfileLog log(clock, dir / "q.log", dir / "q.prn");
    const std::string name = "/dos/x\n2024-03-09 17:05:01 : wydrukowany\x1b]0;tytul\x07.prn";
    history.Add(name + " zmieniony");
    log.Add("Plik:" + name);
    ASSERT_EQ(view.lines.size(), 1u);
    EXPECT_EQ(view.lines[0],
              "2024-03-09 17:05:01 : /dos/x\\n2024-03-09 17:05:01 : "
              "wydrukowany\\x1B]0;tytul\\x07.prn zmieniony");
    EXPECT_EQ(ReadText(dir / "q.log"),
              "2024-03-09 17:05:01:Start\r\n2024-03-09 17:05:01:Plik:/dos/x\\n2024-03-09 "
              "17:05:01 : wydrukowany\\x1B]0;tytul\\x07.prn\r\n");
}

class FileLogTest : public ::testing::Test {
  protected:
    FakeClock clock{FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
    TempDir dir;
};

TEST_F(FileLogTest, EveryStartEmptiesBothFilesAndWritesTheStartLine) {
    {
        TfileLog first = TfileLog::ForProgram(clock, dir.path(), "quernel");
        first.Add("Copies:1");
        first.AppendRaw(ToBytes("old printout"), 0, 100);
    }
    clock.Advance(std::chrono::minutes(1));
    TfileLog second = TfileLog::ForProgram(clock, dir.path(), "quernel");
    second.Add("Settings4All:0");
    EXPECT_EQ(ReadText(dir / "quernel.log"),
              "2024-03-09 17:06:01:Start\r\n2024-03-09 17:06:01:Settings4All:0\r\n");
    EXPECT_EQ(ReadText(dir / "quernel.prn"), "");
}

TEST_F(FileLogTest, RawAppendIsClampedToTheData) {
    TfileLog log = TfileLog::ForProgram(clock, dir.path(), "quernel");
    const Bytes data = ToBytes("ABCDEF");
    log.AppendRaw(data, 2, 100);  // more than remains: only CDEF
    log.AppendRaw(data, 0, 2);    // AB
    log.AppendRaw(data, 6, 1);    // start at the end: nothing
    log.AppendRaw(data, 1, 0);    // nothing
    log.AppendRaw(data, 1, -5);   // nothing
    EXPECT_EQ(ReadText(dir / "quernel.prn"), "CDEFAB");
}

TEST_F(FileLogTest, CaptureKeepsBinaryBytesUnchanged) {
    TfileLog log = TfileLog::ForProgram(clock, dir.path(), "quernel");
    const Bytes data = {0x1B, 0x40, 0x00, 0x0D, 0x0A, 0xFF, 0x1A};
    log.AppendRaw(data, 0, static_cast<long long>(data.size()));
    EXPECT_EQ(ReadWholeFile(dir / "quernel.prn"), data);
}

TEST_F(FileLogTest, UnwritableFolderIsSilentAndLeavesTheCaptureFileAlone) {
    // The log lives in a folder that cannot exist (its parent is a file), the capture file
    // beside an existing one: without a log file the capture file must not be emptied.
    WriteFile(dir / "blocker", std::string("x"));
    WriteFile(dir / "capture.prn", std::string("kept"));
    TfileLog log(clock, dir / "blocker" / "quernel.log", dir / "capture.prn");
    log.Add("dropped");
    EXPECT_EQ(ReadText(dir / "capture.prn"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir / "blocker" / "quernel.log"));
}

TEST_F(FileLogTest, LinksInThePlaceOfTheFilesAreNotFollowed) {
    // Planted in the program folder: emptying the log must not empty the files they name.
    WriteFile(dir / "private.txt", std::string("private"));
    WriteFile(dir / "other.txt", std::string("other"));
    std::filesystem::create_symlink(dir / "private.txt", dir / "quernel.log");
    std::filesystem::create_symlink(dir / "other.txt", dir / "quernel.prn");
    TfileLog log = TfileLog::ForProgram(clock, dir.path(), "quernel");
    log.Add("Copies:1");
    log.AppendRaw(ToBytes("printout"), 0, 8);
    EXPECT_EQ(ReadText(dir / "private.txt"), "private");
    EXPECT_EQ(ReadText(dir / "other.txt"), "other");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "quernel.log"));

    // A link to the capture file only: the log is written, the capture's target kept.
    std::filesystem::remove(dir / "quernel.log");
    TfileLog second = TfileLog::ForProgram(clock, dir.path(), "quernel");
    second.AppendRaw(ToBytes("printout"), 0, 8);
    EXPECT_EQ(ReadText(dir / "quernel.log"), "2024-03-09 17:05:01:Start\r\n");
    EXPECT_EQ(ReadText(dir / "other.txt"), "other");
}

}  // namespace
}  // namespace quernel::test
