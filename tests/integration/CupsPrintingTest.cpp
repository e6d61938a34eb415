#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

#include <QImage>

#include "engine/QN_Picture.h"
#include "engine/QN_Print.h"
#include "fakes/FakeClock.h"
#include "fakes/RecordingErrorReport.h"
#include "fakes/RecordingHistoryView.h"
#include "host/BW_log.h"
#include "integration/CupsSuite.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

// Quernel printing through a real CUPS scheduler: raw bytes and rendered documents as they
// arrive at the queue's backend.
class CupsPrintingTest : public CupsSuite {
  protected:
    void SetUp() override {
        CupsSuite::SetUp();
        printer = std::make_unique<QtPrinterPlatform>();
        services = std::make_unique<TPrintServices>(
            TPrintServices{*printer, history, fileLog, errors, raw, &background});
    }

    // One job the way the file monitor runs it, on the named queue; `between` runs after the
    // job was set up and before it prints.
    void PrintJob(const std::string& queue, const Bytes& data, const std::string& title,
                  int copies = 1, const std::function<void()>& between = {},
                  TCommandSet commands = TCommandSet::kTable) {
        printer->SetPrinterIndex(FindPrinterByName(*printer, queue));
        TPrintInterface job(*services);
        job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, copies);
        job.SetFont("Liberation Mono", 2, TCharMapRecord::Identity());
        job.LoadDefaultSequences();
        job.SetCommandSet(commands);
        if (between) between();
        job.BeginJob(title);
        TPrinterStatus status;
        try {
            job.PrintData(data, 0, false, false, status);
            job.EndJob();
        } catch (...) {
            printer->AbortDoc();
            throw;
        }
    }

    static std::string Queue(int i) { return harness_->QueueNames().at(i); }

    TempDir dir;
    FakeClock clock;
    RecordingHistoryView view;
    TbwLog history{clock, &view};
    TfileLog fileLog{clock, {}, {}};
    RecordingErrorReport errors;
    TRawSettings raw;
    QtPictureLoader pictures;
    TBackgroundPicture background{pictures};
    std::unique_ptr<QtPrinterPlatform> printer;
    std::unique_ptr<TPrintServices> services;
};

TEST_F(CupsPrintingTest, PrintersAreTheQueuesThenThePdfPrinter) {
    EXPECT_EQ(printer->Printers(),
              (std::vector<std::string>{Queue(0), Queue(1), QtPrinterPlatform::kPdfPrinterName}));
    printer->SetPrinterIndex(-1);
    EXPECT_EQ(printer->Printers().at(printer->PrinterIndex()), harness_->DefaultQueue());
    EXPECT_TRUE(printer->PrintSystemReachable());

    // Read on another thread, the list is the same.
    printer->BeginReading();
    std::optional<TPrinterList> read;
    for (int i = 0; i < 500 && !read; ++i) {
        read = printer->FinishedReading();
        if (!read) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->reachable);
    EXPECT_EQ(read->names, (std::vector<std::string>{Queue(0), Queue(1)}));
    EXPECT_EQ(read->defaultName, harness_->DefaultQueue());
}

TEST_F(CupsPrintingTest, DirectModeDeliversTheExactBytes) {
    raw.enabled = true;
    PrintJob(Queue(0), {0x41, 0x0D, 0x0A, 0x42, 0x0D}, "Faktura 7", 3);
    raw.fixCrLf = false;
    raw.initText = "#27 @";
    PrintJob(Queue(0), {'a', '\n', 0x00, 0xFF, 0x0C}, "Druga");
    raw = {};
    raw.enabled = true;
    raw.initText = "abc";
    PrintJob(Queue(1), {'\n', '\n'}, "");

    const auto a = harness_->WaitForJobs(Queue(0), 2);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].bytes,
              "\x1b"
              "EA\r\nB\r\n\x0c");
    EXPECT_EQ(a[0].title, "Faktura 7");
    EXPECT_EQ(a[0].copies, 1);  // copies do not apply to raw data
    EXPECT_EQ(a[1].bytes, std::string("\x1b@a\n\0\xff\x0c", 7));
    const auto b = harness_->WaitForJobs(Queue(1), 1);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].bytes, "abc\r\n\r\n\x0c");
    EXPECT_EQ(b[0].title, "Brackwood Quernel");
    EXPECT_TRUE(errors.messages.empty());
    EXPECT_EQ(view.Messages(), std::vector<std::string>(3, "Druk w trybie bezpośrenim (RAW)"));
}

TEST_F(CupsPrintingTest, RenderedJobArrivesAsPdfWithItsPagesCopiesAndText) {
    PrintJob(Queue(1), ToBytes("Strona pierwsza\r\n\x0cStrona druga"), "Raport", 2);
    const auto jobs = harness_->WaitForJobs(Queue(1), 1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].title, "Raport");
    EXPECT_EQ(jobs[0].copies, 2);
    ASSERT_TRUE(jobs[0].bytes.starts_with("%PDF-"));
    WriteFile(dir / "job.pdf", jobs[0].bytes);
    const std::string info =
        CupsHarness::RunCommand({"pdfinfo", (dir / "job.pdf").string()}).output;
    const auto pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pages + 6)), 2) << info;
    const std::string text =
        CupsHarness::RunCommand({"pdftotext", (dir / "job.pdf").string(), "-"}).output;
    EXPECT_NE(text.find("Strona pierwsza"), std::string::npos) << text;
    EXPECT_NE(text.find("Strona druga"), std::string::npos) << text;
}

TEST_F(CupsPrintingTest, DeletedQueueIsReportedNotSilent) {
    // Gone after the job was set up: the raw job cannot be created.
    raw.enabled = true;
    try {
        PrintJob(Queue(1), ToBytes("x"), "T", 1, [] { harness_->DeleteQueue(Queue(1)); });
        ADD_FAILURE() << "no error";
    } catch (const PrinterError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Błąd: ")) << e.what();
        EXPECT_NE(std::string(e.what()), "Błąd: 0");
    }

    // Gone before: an error is raised (naming the printer, or the queue's error code in
    // direct mode), never silence.
    for (bool direct : {true, false}) {
        raw.enabled = direct;
        try {
            PrintJob(Queue(1), ToBytes("x"), "T");
            ADD_FAILURE() << "no error, direct " << direct;
        } catch (const PrinterError& e) {
            const std::string what = e.what();
            EXPECT_TRUE(direct ? what.starts_with("Błąd: ")
                               : what.find(Queue(1)) != std::string::npos)
                << what;
        }
        EXPECT_FALSE(printer->Printing());
    }
    EXPECT_TRUE(harness_->CapturedJobs(Queue(0)).empty());
}

TEST_F(CupsPrintingTest, StoppedQueueIsReportedAndTheJobWaitsInIt) {
    harness_->StopQueue(Queue(0));
    for (bool direct : {true, false}) {
        raw.enabled = direct;
        try {
            PrintJob(Queue(0), ToBytes("Czeka\r\n"), direct ? "surowy" : "strony");
            ADD_FAILURE() << "no error for a stopped queue, direct " << direct;
        } catch (const PrinterError& e) {
            EXPECT_NE(std::string(e.what()).find("stopped"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(printer->Printing());
    }
    EXPECT_TRUE(harness_->CapturedJobs(Queue(0)).empty());
    // Nothing was lost: both jobs print once the printer is resumed.
    harness_->StartQueue(Queue(0));
    const auto jobs = harness_->WaitForJobs(Queue(0), 2);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].bytes,
              "\x1b"
              "ECzeka\r\n\x0c");
    EXPECT_TRUE(jobs[1].bytes.starts_with("%PDF-"));
}

// A queue that CUPS does not count among the colour printers (a raw one) gets black where the
// printout asks for a colour; a PDF file keeps the colour.
TEST_F(CupsPrintingTest, ColoursPrintBlackOnAMonochromeQueue) {
    const Bytes red = ToBytes("\x1br\x05MMMMMMMMMMMMMMMMMMMM\r\n\x0c");
    PrintJob(Queue(0), red, "Kolor", 1, {}, TCommandSet::kEscP);
    const auto jobs = harness_->WaitForJobs(Queue(0), 1);
    ASSERT_EQ(jobs.size(), 1u);
    WriteFile(dir / "mono.pdf", jobs[0].bytes);
    printer->SetOutputFile(dir / "colour.pdf");
    PrintJob(Queue(0), red, "Kolor", 1, {}, TCommandSet::kEscP);
    printer->SetOutputFile({});
    // The share of the printed pixels that are coloured (red well above green and blue).
    const auto coloured = [&](const char* name) {
        const std::string base = (dir / name).string();
        CupsHarness::RunCommand({"pdftoppm", "-r", "50", "-f", "1", "-l", "1", "-singlefile",
                                 "-png", base + ".pdf", base});
        QImage page;
        if (!page.load(QString::fromStdString(base + ".png"))) return -1.0;
        page = page.convertToFormat(QImage::Format_RGB32);
        int inked = 0, red = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = page.pixel(x, y);
                if (qRed(c) + qGreen(c) + qBlue(c) > 3 * 200) continue;
                ++inked;
                if (qRed(c) > qGreen(c) + 80) ++red;
            }
        }
        return inked > 0 ? static_cast<double>(red) / inked : -1.0;
    };
    EXPECT_EQ(coloured("mono"), 0.0);
    EXPECT_GT(coloured("colour"), 0.5);

    // A queue whose PPD says it prints colour (and that takes PDF as it is) gets the colour.
    const std::string ppd = (dir / "colour.ppd").string();
    WriteFile(ppd, std::string("*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
                               "*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
                               "*LanguageEncoding: ISOLatin1\n*PCFileName: \"COLOUR.PPD\"\n"
                               "*Manufacturer: \"Test\"\n*Product: \"(Colour)\"\n"
                               "*ModelName: \"Colour\"\n*ShortNickName: \"Colour\"\n"
                               "*NickName: \"Colour\"\n*PSVersion: \"(3010.000) 0\"\n"
                               "*LanguageLevel: \"3\"\n*ColorDevice: True\n"
                               "*DefaultColorSpace: RGB\n*FileSystem: False\n"
                               "*Throughput: \"1\"\n*cupsFilter: \"application/pdf 0 -\"\n"
                               "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n"
                               "*PageSize A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
                               "*CloseUI: *PageSize\n*DefaultImageableArea: A4\n"
                               "*ImageableArea A4: \"0 0 595 842\"\n"
                               "*DefaultPaperDimension: A4\n*PaperDimension A4: \"595 842\"\n"));
    const CommandResult added = harness_->RunAdmin(
        {"lpadmin", "-p", "kolorowa", "-v", "quernel-capture:/kolorowa", "-P", ppd, "-E"});
    ASSERT_EQ(added.exit_code, 0) << added.output;
    // Gone again however the test ends: the other tests count the queues.
    struct TRemove {
        ~TRemove() { harness_->RunAdmin({"lpadmin", "-x", "kolorowa"}); }
    } remove;
    printer->RefreshPrinters();
    PrintJob("kolorowa", red, "Kolor", 1, {}, TCommandSet::kEscP);
    const auto colourJobs = harness_->WaitForJobs("kolorowa", 1);
    ASSERT_EQ(colourJobs.size(), 1u);
    WriteFile(dir / "queue.pdf", colourJobs[0].bytes);
    EXPECT_GT(coloured("queue"), 0.5);
}

// The command-line tool on a queue: the bytes of direct mode arrive unchanged.
TEST_F(CupsPrintingTest, RenderToolSendsRawBytesToAQueue) {
    WriteFile(dir / "in.prn", Bytes{0x41, 0x0D, 0x0A, 0x42, 0x0D});
    const auto result =
        CupsHarness::RunCommand({std::string(QUERNEL_BIN_DIR) + "/quernel-render", "--raw",
                                 "--printer", Queue(0), (dir / "in.prn").string()});
    ASSERT_EQ(result.exit_code, 0) << result.output;
    const auto jobs = harness_->WaitForJobs(Queue(0), 1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].bytes,
              "\x1b"
              "EA\r\nB\r\n\x0c");
}

}  // namespace
}  // namespace quernel::test
