#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/RecordingHistoryView.h"
#include "host/BW_log.h"
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

}  // namespace
}  // namespace quernel::test
