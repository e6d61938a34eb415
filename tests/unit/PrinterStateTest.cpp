#include <gtest/gtest.h>

#include <deque>

#include "engine/PrinterState.h"
#include "fakes/FakeClock.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;

TEST(PrinterStateTest, ReasonsReadInPolishWithTheirSeverity) {
    EXPECT_EQ(ReasonText("media-empty-error"), "brak papieru");
    EXPECT_EQ(ReasonText("toner-low-report"), "mało tonera");
    EXPECT_EQ(ReasonText("cover-open"), "otwarta pokrywa");
    EXPECT_EQ(ReasonText("com.vendor-strange-warning"), "com.vendor-strange");
    EXPECT_TRUE(IsErrorReason("media-empty-error"));
    EXPECT_TRUE(IsErrorReason("media-jam"));
    EXPECT_FALSE(IsErrorReason("offline-report"));
    EXPECT_FALSE(IsErrorReason("media-empty-warning"));
    EXPECT_FALSE(IsErrorReason("toner-low"));
    EXPECT_FALSE(IsErrorReason("connecting-to-device"));
    EXPECT_TRUE(IsErrorReason("com.vendor-jammed-error"));
}

TEST(PrinterStateTest, TheLineSaysWhatIsWrong) {
    EXPECT_EQ(DescribeQueueState({}), "gotowa");
    TQueueState low;
    low.reasons = {"toner-low-report"};
    EXPECT_EQ(DescribeQueueState(low), "mało tonera");
    EXPECT_FALSE(IsErrorState(low));
    TQueueState stopped;
    stopped.stopped = true;
    stopped.accepting = false;
    stopped.reasons = {"paused", "media-empty-error", "media-needed"};
    stopped.queuedJobs = 2;
    EXPECT_EQ(DescribeQueueState(stopped),
              "zatrzymana; nie przyjmuje zadań; brak papieru; zadań w kolejce: 2");
    EXPECT_TRUE(IsErrorState(stopped));
}

class FakeStateReader final : public IPrinterStateReader {
  public:
    void BeginReading(const std::string& printer) override { asked.push_back(printer); }
    std::optional<std::optional<TQueueState>> FinishedReading() override {
        if (answers.empty()) return std::nullopt;
        auto next = answers.front();
        answers.pop_front();
        return next;
    }
    std::vector<std::string> asked;
    std::deque<std::optional<TQueueState>> answers;
};

TEST(PrinterWatchTest, AnErrorWhilePrintoutsWaitIsAnnouncedOncePerChange) {
    FakeClock clock;
    FakeStateReader reader;
    TPrinterWatch watch(&reader, clock);
    std::vector<std::string> announced;
    int changes = 0;
    watch.onError = [&](const std::string& p, const TQueueState& s) {
        announced.push_back(p + ": " + DescribeQueueState(s));
    };
    watch.onChanged = [&] { ++changes; };
    TQueueState ready;
    TQueueState empty;
    empty.reasons = {"media-empty-error"};
    TQueueState emptyWithJob = empty;
    emptyWithJob.queuedJobs = 1;

    const auto tick = [&](std::optional<TQueueState> answer, bool waiting) {
        reader.answers.push_back(answer);
        watch.Poll("Laser", waiting);
        clock.Advance(TPrinterWatch::kInterval);
    };
    tick(ready, false);
    tick(empty, false);  // an error, but nothing waits: shown, not announced
    EXPECT_TRUE(announced.empty());
    ASSERT_TRUE(watch.State());
    EXPECT_EQ(watch.State()->reasons, empty.reasons);
    tick(emptyWithJob, false);  // a job waits in the queue now
    tick(emptyWithJob, true);
    tick(empty, true);
    EXPECT_EQ(announced, (std::vector<std::string>{"Laser: brak papieru; zadań w kolejce: 1"}));
    tick(ready, true);
    tick(empty, true);  // a new change into an error state
    EXPECT_EQ(announced.size(), 2u);
    EXPECT_EQ(reader.asked.size(), 7u);

    // A reading is due again; until the next one it waits. Another printer is read at once
    // and starts unknown.
    reader.answers.push_back(empty);
    watch.Poll("Laser", true);
    EXPECT_EQ(reader.asked.size(), 8u);
    clock.Advance(TPrinterWatch::kInterval / 2);
    watch.Poll("Laser", true);
    EXPECT_EQ(reader.asked.size(), 8u);
    const int before = changes;
    watch.Poll("Atrament", false);
    EXPECT_EQ(reader.asked.back(), "Atrament");
    EXPECT_FALSE(watch.State());
    EXPECT_GT(changes, before);
    // A printer the print system does not know has no state.
    reader.answers.push_back(std::nullopt);
    watch.Poll("Atrament", false);
    EXPECT_FALSE(watch.State());
}

}  // namespace
}  // namespace quernel::test
