#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "integration/CupsSuite.h"
#include "support/QuernelProcess.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;

// quernel --headless as a separate process, with its own settings roots, program folder and
// home, printing on the private CUPS scheduler while a simulated DOS program appends
// printouts to the default print file.
class HeadlessEndToEndTest : public CupsSuite {
  protected:
    void SetUp() override {
        CupsSuite::SetUp();
        std::filesystem::create_directories(dir / "home/QUERNEL");
        std::filesystem::create_directories(dir / "program");
    }
    void TearDown() override { Stop(); }

    // The settings the program finds at its start, as INI lines.
    void Settings(const std::string& lines) {
        WriteFile(dir / "config/Brackwood/Quernel.conf",
                  "[General]\nAutoRun=0\nWaitBeforePrint=1\nWaitForPageMax=0\nPrinter=" +
                      harness_->QueueNames()[0] + "\n" + lines);
    }

    void Launch() {
        quernel_.Start();
        // Started once the monitoring is on and the file has had its first look.
        WaitForOutput("Monitorowanie włączone");
        std::this_thread::sleep_for(2000ms);
    }

    // Ends the program as a service manager would; answers its exit status.
    int Stop() { return quernel_.Stop(); }

    std::string Output() const { return quernel_.Output(); }
    void WaitForOutput(const std::string& text) {
        for (int i = 0; i < 100 && Output().find(text) == std::string::npos; ++i) {
            std::this_thread::sleep_for(100ms);
        }
        ASSERT_NE(Output().find(text), std::string::npos) << Output();
    }

    // A DOS program printing: appends a printout to the print file.
    void DosPrints(const std::string& bytes) {
        std::ofstream out(dir / "home/QUERNEL/PRN2FILE.TXT", std::ios::binary | std::ios::app);
        out << bytes;
    }

    std::string PdfText(const std::string& pdf, const std::string& name) {
        WriteFile(dir / name, pdf);
        return CupsHarness::RunCommand({"pdftotext", "-layout", (dir / name).string(), "-"}).output;
    }
    int PdfPages(const std::string& pdf, const std::string& name) {
        WriteFile(dir / name, pdf);
        const std::string info = CupsHarness::RunCommand({"pdfinfo", (dir / name).string()}).output;
        const auto at = info.find("Pages:");
        return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
    }

    TempDir dir;
    QuernelProcess quernel_{dir.path()};
};

TEST_F(HeadlessEndToEndTest, DosPrintoutsArePrintedOnceEvenAfterARestart) {
    Settings("");
    Launch();
    const std::string queue = harness_->QueueNames()[0];
    // Three printouts, each once the one before has printed: ESC/P codes, Polish letters in
    // code page 852, form feeds.
    DosPrints(
        "\x1b@\x1b"
        "EFaktura nr 1\x1b"
        "F\r\nRazem: 100,00 zl\r\n\x0c");
    ASSERT_EQ(harness_->WaitForJobs(queue, 1, 20s).size(), 1u) << Output();
    DosPrints(std::string("\x1b-\x01Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4\x1b-") + '\0' +
              "\r\n\x0cStrona 2\r\n\x0c");
    ASSERT_EQ(harness_->WaitForJobs(queue, 2, 20s).size(), 2u) << Output();
    DosPrints("Trzeci wydruk\r\n\x0c");
    const auto jobs = harness_->WaitForJobs(queue, 3, 20s);
    ASSERT_EQ(jobs.size(), 3u) << Output();
    EXPECT_EQ(PdfPages(jobs[0].bytes, "1.pdf"), 1);
    EXPECT_NE(PdfText(jobs[0].bytes, "1.pdf").find("Faktura nr 1"), std::string::npos);
    EXPECT_EQ(PdfPages(jobs[1].bytes, "2.pdf"), 2);
    const std::string second = PdfText(jobs[1].bytes, "2.pdf");
    EXPECT_NE(second.find("Zażółć gęślą jaźń"), std::string::npos) << second;
    EXPECT_NE(second.find("Strona 2"), std::string::npos) << second;
    EXPECT_NE(PdfText(jobs[2].bytes, "3.pdf").find("Trzeci wydruk"), std::string::npos);
    const std::string log = Output();
    EXPECT_NE(log.find("PRN2FILE.TXT start drukowania"), std::string::npos) << log;
    EXPECT_NE(log.find("PRN2FILE.TXT wydrukowany"), std::string::npos) << log;

    EXPECT_EQ(Stop(), 0);
    // After a restart the content already there is not printed again; new printouts are.
    Launch();
    std::this_thread::sleep_for(2000ms);
    EXPECT_EQ(harness_->CapturedJobs(queue).size(), 3u);
    DosPrints("Po restarcie\r\n\x0c");
    const auto after = harness_->WaitForJobs(queue, 4, 20s);
    ASSERT_EQ(after.size(), 4u) << Output();
    EXPECT_NE(PdfText(after[3].bytes, "4.pdf").find("Po restarcie"), std::string::npos);
    EXPECT_EQ(Stop(), 0);
    // The settings were saved on the way out.
    EXPECT_NE(ReadText(dir / "config/Brackwood/Quernel.conf").find("CharsPerLine=80"),
              std::string::npos);
}

TEST_F(HeadlessEndToEndTest, DirectModeSendsTheRawBytes) {
    Settings("RAWEnable=1\nRAWInit=#27 @\n");
    Launch();
    DosPrints("A\r\nB\x0c");
    const auto jobs = harness_->WaitForJobs(harness_->QueueNames()[0], 1, 20s);
    ASSERT_EQ(jobs.size(), 1u) << Output();
    EXPECT_EQ(jobs[0].bytes, "\x1b@A\r\nB\x0c");
    EXPECT_NE(Output().find("Druk w trybie bezpośrenim (RAW)"), std::string::npos);
}

TEST_F(HeadlessEndToEndTest, ErrorsAreReportedAndTheProgramGoesOn) {
    const std::string queue = harness_->QueueNames()[0];
    harness_->StopQueue(queue);
    Settings("");
    Launch();
    DosPrints("Pierwszy\r\n\x0c");
    WaitForOutput("is stopped");
    const std::string log = Output();
    const std::string error = log.substr(log.rfind('\n', log.find("is stopped")) + 1);
    EXPECT_NE(error.find(" ! "), std::string::npos) << log;
    // The program goes on: the next printout is handed over too, and both print once the
    // printer is resumed.
    DosPrints("Drugi\r\n\x0c");
    const auto errors = [&] {
        const std::string out = Output();
        int n = 0;
        for (std::size_t at = 0; (at = out.find("is stopped", at)) != std::string::npos; ++at) ++n;
        return n;
    };
    for (int i = 0; i < 100 && errors() < 2; ++i) std::this_thread::sleep_for(100ms);
    EXPECT_EQ(errors(), 2) << Output();
    harness_->StartQueue(queue);
    const auto jobs = harness_->WaitForJobs(queue, 2, 20s);
    ASSERT_EQ(jobs.size(), 2u) << Output();
    EXPECT_NE(PdfText(jobs[0].bytes, "1.pdf").find("Pierwszy"), std::string::npos);
    EXPECT_NE(PdfText(jobs[1].bytes, "2.pdf").find("Drugi"), std::string::npos);
    // Held in the queue, not lost: nothing was kept as failed.
    EXPECT_FALSE(std::filesystem::exists(dir / "home/QUERNEL/Nieudane"));
}

// A printout waiting in a stopped queue is followed: when the queue is deleted with it, the
// printout is kept as a failed one and the user told, with the printer's name.
TEST_F(HeadlessEndToEndTest, APrintoutLostWithItsQueueIsKeptAndReported) {
    const std::string queue = harness_->QueueNames()[0];
    harness_->StopQueue(queue);
    Settings("");
    Launch();
    DosPrints("Zgubiony\r\n\x0c");
    WaitForOutput("is stopped");
    harness_->DeleteQueue(queue);
    WaitForOutput("nie został wydrukowany");
    const std::string log = Output();
    EXPECT_NE(log.find("na drukarce " + queue + " nie został wydrukowany: zadanie "),
              std::string::npos)
        << log;
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "home/QUERNEL/Nieudane")) {
        kept.push_back(entry.path());
    }
    ASSERT_EQ(kept.size(), 1u) << log;
    EXPECT_EQ(ReadText(kept[0]), "Zgubiony\r\n\x0c");
}

}  // namespace
}  // namespace quernel::test
