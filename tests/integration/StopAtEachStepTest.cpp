// The program is stopped (SIGKILL, by its own test hook) at each step of delivering a
// printout to a queue of the private CUPS scheduler or to "Quernel PDF", then started again:
// every printout comes out exactly once, and no job is left waiting in the queue.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "integration/CupsSuite.h"
#include "support/QuernelProcess.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct StopCase {
    const char* mode;  // "raw", "drawn": on the first queue; "raw-pdf", "drawn-pdf": into files
    const char* point;
};

std::string CaseName(const ::testing::TestParamInfo<StopCase>& info) {
    std::string name = std::string(info.param.mode) + "_" + info.param.point;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

class StopAtEachStepTest : public CupsSuite, public ::testing::WithParamInterface<StopCase> {
  protected:
    void SetUp() override {
        CupsSuite::SetUp();
        fs::create_directories(dir / "home/QUERNEL");
        fs::create_directories(dir / "program");
        const std::string mode = GetParam().mode;
        raw_ = mode.starts_with("raw");
        pdf_ = mode.ends_with("pdf");
        WriteFile(dir / "config/Brackwood/Quernel.conf",
                  "[General]\nAutoRun=0\nWaitBeforePrint=1\nWaitForPageMax=0\nPrinter=" +
                      (pdf_ ? std::string("Quernel PDF") : harness_->QueueNames()[0]) +
                      "\nRAWEnable=" + (raw_ ? "1" : "0") +
                      "\nRAWInit=\nRAWFixCRLF=0\nRAWEndWithFF=0\n");
    }
    void TearDown() override {
        stopped_.Stop(SIGKILL);
        restarted_.Stop();
    }

    void DosPrints(const std::string& bytes) {
        std::ofstream(dir / "home/QUERNEL/PRN2FILE.TXT", std::ios::binary | std::ios::app) << bytes;
    }

    // Everything that printed: the queue's jobs, or the files, in the order they were made;
    // drawn ones as their text.
    std::vector<std::string> Printed() {
        std::vector<std::string> out;
        if (!pdf_) {
            for (const CapturedJob& job : harness_->CapturedJobs(harness_->QueueNames()[0])) {
                out.push_back(raw_ ? job.bytes : Text(job.bytes));
            }
            return out;
        }
        std::vector<std::pair<fs::file_time_type, fs::path>> files;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir / "pdf", ec)) {
            if (entry.path().filename().string().starts_with(".")) continue;  // unfinished
            files.emplace_back(entry.last_write_time(), entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& [time, path] : files) {
            out.push_back(raw_ ? ReadText(path) : Text(ReadText(path)));
        }
        return out;
    }
    std::string Text(const std::string& pdf) {
        WriteFile(dir / "job.pdf", pdf);
        return CupsHarness::RunCommand({"pdftotext", (dir / "job.pdf").string(), "-"}).output;
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) ++n;
        return n;
    }

    TempDir dir;
    bool raw_ = false;
    bool pdf_ = false;
    QuernelProcess stopped_{dir.path(), {{"QUERNEL_KILL_AT", GetParam().point}}};
    QuernelProcess restarted_{dir.path()};
};

TEST_P(StopAtEachStepTest, EveryPrintoutComesOutOnce) {
    stopped_.Start();
    for (int i = 0;
         i < 100 && stopped_.Output().find("Monitorowanie włączone") == std::string::npos; ++i) {
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(1500ms);  // the file's first look
    DosPrints("Faktura 1\r\n\f");
    // It stops itself at the point.
    ASSERT_EQ(stopped_.Wait(20s), 128 + SIGKILL) << stopped_.Output();
    const std::string before = stopped_.Output();
    ASSERT_NE(before.find("start drukowania"), std::string::npos) << before;
    DosPrints("Faktura 2\r\n\f");  // while the program is away

    restarted_.Start();
    std::string all;
    for (int i = 0; i < 200; ++i) {
        all.clear();
        for (const std::string& p : Printed()) all += p;
        if (Count(all, "Faktura 2") > 0) break;
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(1500ms);  // a second copy would show by now
    all.clear();
    for (const std::string& p : Printed()) all += p;
    EXPECT_EQ(Count(all, "Faktura 1"), 1) << all << "\n---\n"
                                          << before << "\n---\n"
                                          << restarted_.Output();
    EXPECT_EQ(Count(all, "Faktura 2"), 1) << all;
    if (raw_) {
        EXPECT_EQ(all, "Faktura 1\r\n\fFaktura 2\r\n\f");
    }
    // No job is left in the queue without its document.
    EXPECT_EQ(CupsHarness::RunCommand({"lpstat", "-o"}).output, "");
    EXPECT_EQ(restarted_.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StopAtEachStepTest,
    ::testing::Values(StopCase{"raw", "part-recorded"}, StopCase{"raw", "job-created"},
                      StopCase{"raw", "job-recorded"}, StopCase{"raw", "document-sending"},
                      StopCase{"raw", "part-delivered"}, StopCase{"drawn", "job-created"},
                      StopCase{"drawn", "job-recorded"}, StopCase{"drawn", "document-sending"},
                      StopCase{"drawn", "part-delivered"}, StopCase{"raw-pdf", "file-recorded"},
                      StopCase{"raw-pdf", "part-delivered"}, StopCase{"drawn-pdf", "part-recorded"},
                      StopCase{"drawn-pdf", "file-recorded"},
                      StopCase{"drawn-pdf", "part-delivered"}),
    CaseName);

}  // namespace
}  // namespace quernel::test
