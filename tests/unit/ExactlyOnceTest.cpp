// Every part of a printout reaches the printer exactly once, whatever step of its delivery the
// program is stopped at: each step is on disk before the next one begins, and the next start
// learns from the print system (or the file system) whether the part got there.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "fakes/FakePrintJobs.h"
#include "fakes/FakePrintoutFolder.h"
#include "monitor/KeptPrintouts.h"
#include "monitor/PrintedState.h"
#include "support/CoreFixture.h"

namespace quernel::test {
namespace {

namespace fs = std::filesystem;

// What SIGKILL leaves: thrown by a step of the fake printer, it passes every handler that
// catches errors.
struct Killed {};

struct Mode {
    std::string name;
    std::string printer;
    bool raw;
    std::vector<std::string> steps;  // the fake printer's steps in this mode
};

const std::vector<Mode>& Modes() {
    static const std::vector<Mode> modes{
        {"drawn on a queue", "Laser", false, {"begin", "job-created", "document-sent"}},
        {"raw on a queue", "Laser", true, {"begin", "job-created", "document-sent"}},
        {"drawn into a PDF", "Quernel PDF", false, {"begin", "file-chosen", "file-written"}},
        {"raw into a file", "Quernel PDF", true, {"begin", "file-chosen", "file-written"}},
    };
    return modes;
}

class ExactlyOnceTest : public CoreFixture {
  protected:
    void SetUp() override { Configure(Modes()[0]); }

    void Configure(const Mode& mode) {
        UserKey() = {{"AutoRun", 0},          {"WaitForPageMax", 0},      {"Printer", mode.printer},
                     {"RAWEnable", mode.raw}, {"RAWInit", std::string()}, {"RAWFixCRLF", 0},
                     {"RAWEndWithFF", 0}};
        services.printedStateFile = stateFile;
        services.jobs = &jobs;
        printer.jobs = &jobs;
        printer.pdfFolder = dir / "pdf";
        core = std::make_unique<TQuernelCore>(services);
    }

    // Starts afresh: no state, no jobs, no files, an empty print file.
    void Reset() {
        fs::remove_all(dir / "state");
        fs::remove_all(dir / "pdf");
        fs::remove_all(dir / "home/QUERNEL/Nieudane");
        jobs = FakePrintJobs();
        printer.Stopped();
        printer.documents.clear();
        printer.texts.clear();
        printer.rawJobs.clear();
        errors.messages.clear();
        Write(defaultFile, "");
    }

    // What printed: the documents that reached a queue and the files written.
    std::vector<std::string> Delivered() const {
        std::vector<std::string> out = jobs.Delivered();
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir / "pdf", ec)) {
            out.push_back(ReadText(entry.path()));
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    TStateRecord State() const { return TPrintedState::Parse(ReadText(stateFile), nullptr); }

    std::vector<fs::path> Kept() const {
        std::vector<fs::path> out;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir / "home/QUERNEL/Nieudane", ec)) {
            out.push_back(entry.path());
        }
        return out;
    }

    fs::path stateFile = dir / "state/quernel/printed.txt";
    FakePrintJobs jobs;
};

// At each step the state file already holds what the step needs at the next start: the part
// as pending before anything is sent, then its job or its file, and as printed once delivered.
TEST_F(ExactlyOnceTest, EachStepIsOnDiskBeforeTheNextBegins) {
    for (const Mode& mode : Modes()) {
        SCOPED_TRACE(mode.name);
        Configure(mode);
        Reset();
        std::vector<std::string> seen;
        printer.onStep = [&](const std::string& step) {
            const TStateRecord state = State();
            const auto& file = state.files.at(defaultFile);
            std::string what = step + ":" + std::to_string(file.printed.size);
            if (file.pending) {
                what += " pending " + std::to_string(file.pending->end) + " job " +
                        std::to_string(file.pending->job) +
                        (file.pending->file.empty() ? "" : " file");
            }
            seen.push_back(what);
        };
        Start();
        Run(1);
        Append(defaultFile, "Faktura 1\r\n\f");
        Run(4);
        printer.onStep = nullptr;
        const std::vector<std::string> expected =
            mode.printer == "Laser"
                ? std::vector<std::string>{"begin:0 pending 12 job 0",
                                           "job-created:0 pending 12 job 1",
                                           "document-sent:0 pending 12 job 1"}
                : std::vector<std::string>{"begin:0 pending 12 job 0",
                                           "file-chosen:0 pending 12 job 0 file",
                                           "file-written:0 pending 12 job 0 file"};
        EXPECT_EQ(seen, expected);
        const TStateRecord state = State();
        const auto& after = state.files.at(defaultFile);
        EXPECT_EQ(after.printed.size, 12);
        EXPECT_FALSE(after.pending.has_value());
        EXPECT_EQ(Delivered().size(), 1u);
    }
}

// Stopped at each step (the disk and the print system as they were at that moment), the
// program prints on its next start what had not reached the printer, and nothing twice.
TEST_F(ExactlyOnceTest, AStopAtAnyStepPrintsEachPartOnce) {
    for (const Mode& mode : Modes()) {
        for (const std::string& stopAt : mode.steps) {
            SCOPED_TRACE(mode.name + ", stopped at " + stopAt);
            Configure(mode);
            Reset();
            std::string stateThen;
            FakePrintJobs jobsThen;
            std::set<fs::path> filesThen;
            printer.onStep = [&](const std::string& step) {
                if (step != stopAt) return;
                stateThen = ReadText(stateFile);
                jobsThen = jobs;
                std::error_code ec;
                for (const auto& entry : fs::directory_iterator(dir / "pdf", ec)) {
                    filesThen.insert(entry.path());
                }
                throw Killed{};
            };
            Start();
            Run(1);
            Append(defaultFile, "Faktura 1\r\n\f");
            EXPECT_THROW(Run(4), Killed);
            printer.onStep = nullptr;
            core.reset();
            printer.Stopped();
            WriteFile(stateFile, stateThen);
            jobs = jobsThen;
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(dir / "pdf", ec)) {
                if (!filesThen.contains(entry.path())) fs::remove(entry.path());
            }

            Append(defaultFile, "Faktura 2\r\n\f");  // while the program is away
            Restart();
            Run(5);
            const std::string one = mode.raw ? "Faktura 1\r\n\f" : "Faktura 1";
            const std::string two = mode.raw ? "Faktura 2\r\n\f" : "Faktura 2";
            // Parts that print together make one document.
            const std::vector<std::string> delivered = Delivered();
            EXPECT_TRUE(delivered == (std::vector<std::string>{one, two}) ||
                        delivered == std::vector<std::string>{one + two})
                << ::testing::PrintToString(delivered);
            EXPECT_TRUE(errors.messages.empty()) << ::testing::PrintToString(errors.messages);
            // A job that never got its document is cancelled rather than left in the queue.
            for (const auto& [id, job] : jobs.jobs) {
                if (job.documents == 0) {
                    EXPECT_EQ(job.state, TJobState::kCanceled) << id;
                }
            }
        }
    }
}

// The next start finds the part of the last run pending with its job, and asks the print
// system about it.
class PendingPartTest : public ExactlyOnceTest {
  protected:
    // The state a stop leaves after "A1" printed and "A2" was handed to job `job`.
    void StoppedWhilePrinting(int job, const std::string& file = {}) {
        Reset();
        Write(defaultFile, "A1\fA2\f");
        TStateRecord state;
        state.files[defaultFile] = {
            {3, Md5Digest(ToBytes("A1\f"))},
            TPendingPart{6, Md5Digest(ToBytes("A1\fA2\f")), "Laser", "QUERNEL_7", job, file}};
        WriteFile(stateFile, TPrintedState::Format(state));
    }
    int PrintedAgain() const {
        return static_cast<int>(std::count(printer.calls.begin(), printer.calls.end(), "EndDoc"));
    }
};

TEST_F(PendingPartTest, AJobThatHoldsItsDocumentCountsAsPrinted) {
    for (const TJobState state :
         {TJobState::kPending, TJobState::kHeld, TJobState::kProcessing, TJobState::kCompleted}) {
        StoppedWhilePrinting(4);
        jobs.jobs[4] = {"Laser", "QUERNEL_7", state, 1, "", "A2"};
        printer.calls.clear();
        Restart();
        Run(5);
        EXPECT_EQ(PrintedAgain(), 0);
        EXPECT_TRUE(jobs.cancelled.empty());
        EXPECT_EQ(State().files.at(defaultFile).printed.size, 6);
        EXPECT_TRUE(Kept().empty());
    }
}

TEST_F(PendingPartTest, AJobWithoutItsDocumentIsCancelledAndThePartPrintsAgain) {
    StoppedWhilePrinting(4);
    jobs.jobs[4] = {"Laser", "QUERNEL_7", TJobState::kHeld, 0, "", ""};
    jobs.next = 5;
    Restart();
    Run(5);
    EXPECT_EQ(jobs.cancelled, std::vector<int>{4});
    EXPECT_EQ(Delivered(), std::vector<std::string>{"A2"});

    // A job the scheduler aborted already (it never got its document) is left as it is.
    StoppedWhilePrinting(4);
    jobs.jobs[4] = {"Laser", "QUERNEL_7", TJobState::kAborted, 0, "", ""};
    jobs.next = 5;
    Restart();
    Run(5);
    EXPECT_TRUE(jobs.cancelled.empty());
    EXPECT_EQ(Delivered(), std::vector<std::string>{"A2"});
}

// Stopped after the job was created but before its number was on disk: the empty job of that
// title is cancelled, and the part prints again.
TEST_F(PendingPartTest, WithoutAJobNumberTheEmptyJobOfTheTitleIsCancelled) {
    StoppedWhilePrinting(0);
    jobs.jobs[1] = {"Laser", "QUERNEL_7", TJobState::kHeld, 0, "", ""};
    jobs.jobs[2] = {"Laser", "Other program", TJobState::kHeld, 0, "", ""};
    jobs.next = 3;
    Restart();
    Run(5);
    EXPECT_EQ(jobs.cancelled, std::vector<int>{1});
    EXPECT_EQ(Delivered(), std::vector<std::string>{"A2"});
}

// A job that the print system cancelled, aborted or no longer knows took the part with it:
// the part is kept as a failed printout and reported with the printer, not printed again.
TEST_F(PendingPartTest, AJobLostByThePrintSystemIsKeptAndReported) {
    struct Case {
        std::string name;
        std::optional<FakePrintJobs::Job> job;
        std::string said;
    };
    const std::vector<Case> cases{
        {"cancelled", FakePrintJobs::Job{"Laser", "QUERNEL_7", TJobState::kCanceled, 1, "", "A2"},
         "zadanie 4 zostało anulowane"},
        {"aborted",
         FakePrintJobs::Job{"Laser", "QUERNEL_7", TJobState::kAborted, 1, "Brak papieru", "A2"},
         "zadanie 4 zostało przerwane (Brak papieru)"},
        {"gone", std::nullopt, "zadanie 4 zniknęło z kolejki"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StoppedWhilePrinting(4);
        if (c.job) jobs.jobs[4] = *c.job;
        jobs.next = 5;
        printer.calls.clear();
        Restart();
        Run(5);
        EXPECT_EQ(PrintedAgain(), 0);
        ASSERT_EQ(Kept().size(), 1u);
        EXPECT_EQ(ReadText(Kept()[0]), "A2\f");
        ASSERT_EQ(errors.messages.size(), 1u);
        EXPECT_EQ(errors.messages[0],
                  "Wydruk QUERNEL_7 na drukarce Laser nie został wydrukowany: " + c.said +
                      ".\nWydruk zachowano w pliku " + Kept()[0].string());
        EXPECT_EQ(State().files.at(defaultFile).printed.size, 6);
    }
}

// While the print system cannot be asked, the file waits (nothing prints from it); once it
// answers, the part is settled. After a minute without an answer, the part is kept.
TEST_F(PendingPartTest, AnUnreachablePrintSystemIsWaitedForAMinute) {
    StoppedWhilePrinting(4);
    jobs.jobs[4] = {"Laser", "QUERNEL_7", TJobState::kCompleted, 1, "", "A2"};
    jobs.next = 5;
    jobs.reachable = false;
    Restart();
    Append(defaultFile, "A3\f");
    Run(20);
    EXPECT_EQ(PrintedAgain(), 0);
    EXPECT_EQ(State().files.at(defaultFile).pending->job, 4);  // still known
    jobs.reachable = true;
    Run(5);
    EXPECT_EQ(Delivered(), (std::vector<std::string>{"A2", "A3"}));
    EXPECT_TRUE(Kept().empty());

    StoppedWhilePrinting(4);
    jobs.reachable = false;
    Restart();
    Run(59);
    EXPECT_TRUE(Kept().empty());
    Run(2);
    ASSERT_EQ(Kept().size(), 1u);
    EXPECT_EQ(ReadText(Kept()[0]), "A2\f");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("serwer wydruku nie odpowiada"), std::string::npos);
}

// "Quernel PDF": the file named before its rename is there (printed) or not (printed again).
// A file that no longer holds the pending part makes the part moot.
TEST_F(PendingPartTest, AFileNamedBeforeItsRenameTellsWhetherThePartPrinted) {
    const fs::path pdf = dir / "pdf/QUERNEL_7.pdf";
    Configure(Modes()[2]);
    StoppedWhilePrinting(0, pdf.string());
    WriteFile(pdf, std::string("A2"));
    Restart();
    Run(5);
    EXPECT_EQ(Delivered(), std::vector<std::string>{"A2"});

    StoppedWhilePrinting(0, pdf.string());
    Restart();
    Run(5);
    EXPECT_EQ(Delivered(), std::vector<std::string>{"A2"});

    StoppedWhilePrinting(0, pdf.string());
    Write(defaultFile, "A1\fB2\f");
    Restart();
    Run(5);
    EXPECT_EQ(Delivered(), std::vector<std::string>{"B2"});
}

// After its document went out, the job is followed until the print system says it completed:
// a job lost later (cancelled, aborted, its queue deleted, the scheduler lost it) took the
// printout with it, which is then kept, reported with its printer, and offered again.
class JobFollowingTest : public ExactlyOnceTest {
  protected:
    void SetUp() override {
        services.printoutFolder = &folder;
        Configure(Modes()[0]);
        Reset();
    }
    // Prints one printout of the default file; answers its job.
    int PrintOne(const std::string& text) {
        Append(defaultFile, text);
        Run(4);
        return jobs.next - 1;
    }
    fs::path CopyOf(int job) const {
        return stateFile.parent_path() / "jobs" / (std::to_string(job) + ".prn");
    }
    std::string Message(int job, const std::string& said) const {
        return "Wydruk " + jobs.jobs.at(job).title +
               " na drukarce Laser nie został wydrukowany: " + said + ".";
    }
    const TPrintoutRecord& Record() { return core->Printouts().Store().Records().at(0); }

    FakePrintoutFolder folder;
};

TEST_F(JobFollowingTest, AJobIsFollowedUntilItCompletes) {
    for (const bool raw : {false, true}) {
        SCOPED_TRACE(raw ? "raw" : "drawn");
        Configure(Modes()[raw ? 1 : 0]);
        Reset();
        Start();
        Run(1);
        const int job = PrintOne("Faktura 1\r\n\f");
        ASSERT_EQ(State().jobs.size(), 1u);
        const TFollowedJob followed = State().jobs[0];
        EXPECT_EQ(followed.job, job);
        EXPECT_EQ(followed.printer, "Laser");
        EXPECT_EQ(followed.title, jobs.jobs.at(job).title);
        EXPECT_EQ(followed.kept, Record().id);
        EXPECT_EQ(ReadText(CopyOf(job)), "Faktura 1\r\n\f");

        jobs.jobs[job].state = TJobState::kProcessing;
        Run(10);
        EXPECT_EQ(State().jobs.size(), 1u);
        jobs.jobs[job].state = TJobState::kCompleted;
        Run(6);
        EXPECT_TRUE(State().jobs.empty());
        EXPECT_FALSE(fs::exists(CopyOf(job)));
        EXPECT_TRUE(errors.messages.empty()) << ::testing::PrintToString(errors.messages);
        EXPECT_TRUE(Kept().empty());
        EXPECT_EQ(Record().result, TPrintoutResult::kPrinted);
        // The print system is asked every few seconds, not at every tick.
        const int asked = jobs.asked;
        PrintOne("Faktura 2\r\n\f");
        Run(10);
        EXPECT_LE(jobs.asked - asked, 4);
    }
}

TEST_F(JobFollowingTest, AJobLostAfterItsDocumentIsKeptReportedAndOfferedAgain) {
    struct Case {
        std::string name;
        std::function<void(FakePrintJobs::Job*)> lose;  // null job: it is gone
        std::string said;
    };
    const std::vector<Case> cases{
        {"cancelled", [](auto* j) { j->state = TJobState::kCanceled; },
         "zadanie 1 zostało anulowane"},
        {"aborted",
         [](auto* j) {
             j->state = TJobState::kAborted;
             j->reason = "Brak papieru";
         },
         "zadanie 1 zostało przerwane (Brak papieru)"},
        {"gone", nullptr, "zadanie 1 zniknęło z kolejki"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        folder.files.clear();
        Restart();
        Run(1);
        const int job = PrintOne("Faktura 1\r\n\f");
        ASSERT_EQ(job, 1);
        // The DOS program starts its file afresh: the copy still has the printout.
        Write(defaultFile, "");
        Run(4);
        const std::string message = Message(1, c.said);
        if (c.lose) {
            c.lose(&jobs.jobs[job]);
        } else {
            jobs.jobs.erase(job);
        }
        Run(6);
        ASSERT_EQ(Kept().size(), 1u);
        EXPECT_EQ(ReadText(Kept()[0]), "Faktura 1\r\n\f");
        ASSERT_EQ(errors.messages.size(), 1u);
        EXPECT_EQ(errors.messages[0], message + "\nWydruk zachowano w pliku " + Kept()[0].string());
        EXPECT_TRUE(State().jobs.empty());
        EXPECT_FALSE(fs::exists(CopyOf(job)));
        // The kept printout turns failed, so the window offers it for printing again.
        ASSERT_EQ(core->Printouts().Store().Records().size(), 1u);
        EXPECT_EQ(Record().result, TPrintoutResult::kFailed);
        EXPECT_EQ(Record().error, message);
        EXPECT_EQ(jobs.Delivered().size(), 0u);  // not printed again on its own
        Run(10);
        EXPECT_EQ(errors.messages.size(), 1u);  // said once
    }
}

// The list of followed jobs is part of the printed state: a restart goes on following them,
// and an unreachable print system only delays the answer.
TEST_F(JobFollowingTest, FollowingGoesOnAfterARestart) {
    Start();
    Run(1);
    const int job = PrintOne("Faktura 1\r\n\f");
    core.reset();
    printer.Stopped();
    jobs.reachable = false;
    Restart();
    Run(20);
    EXPECT_TRUE(errors.messages.empty());
    ASSERT_EQ(State().jobs.size(), 1u);
    jobs.reachable = true;
    const std::string message = Message(job, "zadanie 1 zniknęło z kolejki");
    jobs.jobs.erase(job);
    Run(6);
    ASSERT_EQ(Kept().size(), 1u);
    EXPECT_EQ(ReadText(Kept()[0]), "Faktura 1\r\n\f");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0].substr(0, errors.messages[0].find('\n')), message);

    // A copy no followed job names (a stop between writing it and the state) is removed at
    // the next start.
    WriteFile(CopyOf(9), std::string("stray"));
    Restart();
    EXPECT_FALSE(fs::exists(CopyOf(9)));
}

// A stopped queue keeps the printout, which is said at once; deleting the queue then loses it.
// Without its copy (removed by hand) the bytes come from the monitored file while it still
// holds them.
TEST_F(JobFollowingTest, AJobWaitingInAStoppedQueueIsFollowed) {
    printer.queueStopped = true;
    Start();
    Run(1);
    const int job = PrintOne("Faktura 1\r\n\f");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("is stopped"), std::string::npos);
    ASSERT_EQ(State().jobs.size(), 1u);
    EXPECT_EQ(Record().result, TPrintoutResult::kPrinted);
    fs::remove(CopyOf(job));
    jobs.jobs.erase(job);
    Run(6);
    ASSERT_EQ(Kept().size(), 1u);
    EXPECT_EQ(ReadText(Kept()[0]), "Faktura 1\r\n\f");
    EXPECT_EQ(Record().result, TPrintoutResult::kFailed);

    // Neither the copy nor the file has it any more: said, and nothing empty is kept.
    fs::remove_all(dir / "home/QUERNEL/Nieudane");
    errors.messages.clear();
    const int second = PrintOne("Faktura 2\r\n\f");
    fs::remove(CopyOf(second));
    Write(defaultFile, "");
    jobs.jobs[second].state = TJobState::kCanceled;
    Run(6);
    EXPECT_TRUE(Kept().empty());
    ASSERT_EQ(errors.messages.size(), 2u);
    EXPECT_EQ(errors.messages[1], Message(second, "zadanie 2 zostało anulowane") +
                                      "\nTreści wydruku nie udało się odzyskać.");
}

// A printout printed again from "Ostatnie wydruki" is followed too: lost again, it turns
// failed again.
TEST_F(JobFollowingTest, AReprintIsFollowedToo) {
    Start();
    Run(1);
    const int job = PrintOne("Faktura 1\r\n\f");
    jobs.jobs[job].state = TJobState::kCanceled;
    Run(6);
    ASSERT_EQ(Record().result, TPrintoutResult::kFailed);
    ASSERT_TRUE(core->Printouts().Print(Record().id, {}));
    EXPECT_EQ(Record().result, TPrintoutResult::kPrinted);
    const int again = jobs.next - 1;
    EXPECT_EQ(jobs.jobs.at(again).content, "Faktura 1");
    Run(1);
    ASSERT_EQ(State().jobs.size(), 1u);
    EXPECT_EQ(State().jobs[0].kept, Record().id);
    jobs.jobs[again].state = TJobState::kAborted;
    Run(6);
    EXPECT_EQ(Record().result, TPrintoutResult::kFailed);
    EXPECT_EQ(Kept().size(), 2u);
    EXPECT_TRUE(State().jobs.empty());
}

// Many followed jobs are asked about a few at a time, each in turn.
TEST_F(JobFollowingTest, ManyJobsAreAskedAboutInTurn) {
    TStateRecord state;
    for (int job = 1; job <= 25; ++job) {
        state.jobs.push_back({job, "Laser", "T", defaultFile, 0, 0, {}, ""});
        jobs.jobs[job] = {"Laser", "T", job % 2 == 0 ? TJobState::kCompleted : TJobState::kHeld,
                          1,       "",  ""};
    }
    WriteFile(stateFile, TPrintedState::Format(state));
    Restart();
    Run(0.5);
    EXPECT_EQ(jobs.asked, 20);
    EXPECT_EQ(State().jobs.size(), 15u);  // 10 of the 20 asked about completed
    Run(5);
    EXPECT_EQ(State().jobs.size(), 13u);  // the other 2 completed ones, asked next
    EXPECT_TRUE(errors.messages.empty());
}

}  // namespace
}  // namespace quernel::test
