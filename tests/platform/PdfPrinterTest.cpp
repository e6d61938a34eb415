#include <stdlib.h>

#include <QImage>

#include <regex>
#include <thread>

#include "platform/OutputFile.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "tests/fakes/FakeClock.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/Fifo.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::FileNames;
using test::Font;
using namespace std::string_view_literals;

// Each test gets its own "Quernel PDF" folder.
class PlatformPdfPrinter : public ::testing::Test {
  protected:
    PlatformPdfPrinter() { ::setenv("QUERNEL_PDF_DIR", folder().c_str(), 1); }

    fs::path folder() const { return temp_.path() / "pdf"; }
    std::set<std::string> Files() const { return FileNames(folder()); }

    // A one-page document titled `title` with one line of text.
    fs::path PrintOnePage(QtPrinterPlatform& printer, const std::string& title) {
        printer.SetTitle(title);
        printer.BeginDoc();
        printer.TextOut(600, 600, Font("Liberation Mono", 100, 60), ToBytes("one page"));
        printer.EndDoc();
        return printer.LastOutputPath();
    }

    test::TempDir temp_;
    FakeClock clock_{FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
};

TEST_F(PlatformPdfPrinter, DocumentBecomesPdfWithPagesTextPolishLettersAndTurnedText) {
    QtPrinterPlatform printer(clock_);
    printer.SetTitle("Faktura 12");
    printer.BeginDoc();
    EXPECT_TRUE(printer.Printing());
    const TFontDesc mono = Font("Liberation Mono", 100, 60);
    printer.TextOut(600, 600, mono, ToBytes("First page text"));
    printer.NewPage();
    printer.TextOut(600, 600, Font("Liberation Mono", 100, 60, 238), test::kPolishCp1250);
    printer.TextOut(600, 800, Font("Liberation Mono", 100, 60, 255), test::kPolishCp852);
    printer.NewPage();
    TFontDesc down = mono;
    down.escapement = -900;
    printer.TextOut(2000, 600, down, ToBytes("Turned downward"));
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());

    const fs::path pdf = folder() / "Faktura 12_2024-03-09_17-05-01.pdf";
    EXPECT_EQ(printer.LastOutputPath(), pdf);
    EXPECT_EQ(Files(), std::set<std::string>{pdf.filename().string()});
    ASSERT_EQ(test::PdfPageCount(pdf), 3);
    EXPECT_NE(test::PdfPageText(pdf, 1).find("First page text"), std::string::npos);
    const std::string polish = test::PdfPageText(pdf, 2);
    const auto first = polish.find(test::kPolishUtf8);
    ASSERT_NE(first, std::string::npos) << polish;
    EXPECT_NE(polish.find(test::kPolishUtf8, first + 1), std::string::npos) << polish;
    EXPECT_NE(test::PdfPageText(pdf, 3).find("Turned downward"), std::string::npos);
    EXPECT_NE(test::RunCommand("pdfinfo " + test::Quote(pdf)).find("(A4)"), std::string::npos);
}

// Pages go to the file as they end, their objects in streams of many objects: a long document
// still has every page, each in its place.
TEST_F(PlatformPdfPrinter, LongDocumentHasEveryPageInOrder) {
    constexpr int kPages = 2500;
    QtPrinterPlatform printer(clock_);
    printer.SetTitle("Long");
    printer.BeginDoc();
    const TFontDesc mono = Font("Liberation Mono", 100, 60);
    for (int page = 1; page <= kPages; ++page) {
        if (page > 1) printer.NewPage();
        const std::string number = std::to_string(page);
        printer.TextOut(600, 600, mono, ToBytes("Strona " + number));
        printer.TextOut(600, 6000, mono, ToBytes("koniec " + number));
    }
    printer.EndDoc();

    const fs::path pdf = printer.LastOutputPath();
    ASSERT_EQ(test::PdfPageCount(pdf), kPages);
    // pdftotext ends every page with a form feed.
    const std::string text = test::RunCommand("pdftotext " + test::Quote(pdf) + " -");
    std::size_t begin = 0;
    for (int page = 1; page <= kPages; ++page) {
        const std::size_t end = text.find('\f', begin);
        ASSERT_NE(end, std::string::npos) << page;
        const std::string number = std::to_string(page);
        EXPECT_EQ(text.substr(begin, end - begin),
                  "Strona " + number + "\n\nkoniec " + number + "\n\n")
            << page;
        begin = end + 1;
    }
}

TEST_F(PlatformPdfPrinter, PdfPrinterIsA4At600DpiWithoutMargins) {
    QtPrinterPlatform printer(clock_);
    const TDeviceCaps before = printer.DeviceCaps();
    EXPECT_EQ(before.dpiX, 600);
    EXPECT_EQ(before.dpiY, 600);
    // Qt's A4 is 595 x 842 points.
    EXPECT_NEAR(before.pageWidth, 210 / 25.4 * 600, 5);
    EXPECT_NEAR(before.pageHeight, 297 / 25.4 * 600, 5);
    EXPECT_EQ(before.physicalOffsetX, 0);
    EXPECT_EQ(before.physicalOffsetY, 0);
    printer.BeginDoc();
    EXPECT_EQ(printer.DeviceCaps(), before);
    printer.AbortDoc();
}

TEST_F(PlatformPdfPrinter, TitlesAreMadeSafeForFileNames) {
    EXPECT_EQ(SafeFileTitle("a/b\x01"
                            "c\x7F"),
              "a_b_c_");
    EXPECT_EQ(SafeFileTitle(std::string("nul\0byte", 8)), "nul_byte");
    EXPECT_EQ(SafeFileTitle("..hidden.txt"), "__hidden.txt");
    EXPECT_EQ(SafeFileTitle(".."), "__");
    EXPECT_EQ(SafeFileTitle(""), "Quernel");
    EXPECT_EQ(SafeFileTitle("C1 \xC2\x85 end, Zażółć"), "C1 _ end, Zażółć");
    // Cut at 200 bytes, never inside a letter: "ż" is two bytes, at 199 and 200.
    const std::string longTitle = std::string(199, 'x') + "żółw";
    EXPECT_EQ(SafeFileTitle(longTitle), std::string(199, 'x'));
    EXPECT_EQ(DocumentFileStem("Raport", {2024, 1, 2, 3, 4, 5}), "Raport_2024-01-02_03-04-05");

    QtPrinterPlatform printer(clock_);
    EXPECT_EQ(PrintOnePage(printer, "../../etc/passwd").filename(),
              "___.._etc_passwd_2024-03-09_17-05-01.pdf");
    EXPECT_EQ(PrintOnePage(printer, "").filename(), "Quernel_2024-03-09_17-05-01.pdf");
    EXPECT_EQ(Files().size(), 2u);
}

TEST_F(PlatformPdfPrinter, ExistingFilesAreNeverOverwritten) {
    QtPrinterPlatform printer(clock_);
    test::WriteFile(folder() / "Report_2024-03-09_17-05-01.pdf", std::string("mine"));
    EXPECT_EQ(PrintOnePage(printer, "Report").filename(), "Report_2024-03-09_17-05-01_2.pdf");
    EXPECT_EQ(PrintOnePage(printer, "Report").filename(), "Report_2024-03-09_17-05-01_3.pdf");
    EXPECT_EQ(test::ReadText(folder() / "Report_2024-03-09_17-05-01.pdf"), "mine");
    EXPECT_EQ(test::PdfPageCount(folder() / "Report_2024-03-09_17-05-01_3.pdf"), 1);
    clock_.Advance(std::chrono::seconds(1));
    EXPECT_EQ(PrintOnePage(printer, "Report").filename(), "Report_2024-03-09_17-05-02.pdf");
}

TEST_F(PlatformPdfPrinter, HalfWrittenPdfNeverAppearsUnderItsName) {
    QtPrinterPlatform printer(clock_);
    printer.SetTitle("Draft");
    printer.BeginDoc();
    printer.TextOut(600, 600, Font("Liberation Mono", 100, 60), ToBytes("draft"));
    // While printing only a hidden temporary file exists.
    const auto during = Files();
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during.begin()->front(), '.');
    printer.AbortDoc();
    EXPECT_FALSE(printer.Printing());
    EXPECT_TRUE(Files().empty());
    printer.AbortDoc();  // nothing open: still no error

    // A failure in the middle of a document: the caller aborts, or drops the platform.
    printer.BeginDoc();
    EXPECT_THROW(printer.TextOut(0, 0, Font("Liberation Mono", 0, 60), ToBytes("x")), PrinterError);
    EXPECT_TRUE(printer.Printing());
    printer.AbortDoc();
    EXPECT_TRUE(Files().empty());
    {
        QtPrinterPlatform dropped(clock_);
        dropped.BeginDoc();
        dropped.TextOut(600, 600, Font("Liberation Mono", 100, 60), ToBytes("x"));
    }
    EXPECT_TRUE(Files().empty());

    // The next document is unaffected.
    EXPECT_EQ(PrintOnePage(printer, "Draft").filename(), "Draft_2024-03-09_17-05-01.pdf");
    EXPECT_EQ(Files().size(), 1u);
}

TEST_F(PlatformPdfPrinter, OutputFileTakesEveryDocumentWhateverThePrinter) {
    QtPrinterPlatform printer(clock_);
    const fs::path out = temp_ / "out" / "render.pdf";
    test::WriteFile(out, std::string("old"));
    printer.SetOutputFile(out);
    EXPECT_EQ(printer.DeviceCaps().dpiX, 600);
    PrintOnePage(printer, "Ignored title");
    EXPECT_EQ(printer.LastOutputPath(), out);
    EXPECT_EQ(test::PdfPageCount(out), 1);
    EXPECT_EQ(FileNames(out.parent_path()), std::set<std::string>{"render.pdf"});
    EXPECT_TRUE(Files().empty());

    // A folder that does not exist: a clear error, no document open, nothing written.
    printer.SetOutputFile(temp_ / "missing" / "x.pdf");
    printer.SetTitle("t");
    EXPECT_THROW(printer.BeginDoc(), PrinterError);
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(fs::exists(temp_ / "missing"));

    printer.SetOutputFile({});
    EXPECT_EQ(PrintOnePage(printer, "Back").parent_path(), folder());
}

// Only a regular file or a new name is replaced by a rename; a link keeps being a link and
// its file gets the document, a pipe or a device is written into.
TEST_F(PlatformPdfPrinter, OutputFileWritesThroughLinksPipesAndDevices) {
    const fs::path target = temp_ / "target.pdf";
    const fs::path link = temp_ / "link.pdf";
    test::WriteFile(target, std::string("old"));
    fs::create_symlink(target, link);
    QtPrinterPlatform printer(clock_);
    printer.SetOutputFile(link);
    EXPECT_EQ(PrintOnePage(printer, "t"), link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::PdfPageCount(target), 1);
    EXPECT_EQ(FileNames(temp_.path()), (std::set<std::string>{"link.pdf", "target.pdf"}));

    const fs::path fifo = temp_ / "pipe.pdf";
    test::MakeFifo(fifo);
    std::string received;
    std::thread reader([&] { received = test::ReadText(fifo); });
    printer.SetOutputFile(fifo);
    PrintOnePage(printer, "t");
    reader.join();
    EXPECT_TRUE(received.starts_with("%PDF-"));
    EXPECT_TRUE(received.ends_with("%%EOF\n"));
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A full device: the failure is reported, nothing claims success. (Reached through a link
    // here, so that a faulty program replaces the link, never the device.)
    const fs::path full = temp_ / "full.pdf";
    fs::create_symlink("/dev/full", full);
    printer.SetOutputFile(full);
    printer.SetTitle("t");
    printer.BeginDoc();
    printer.TextOut(600, 600, Font("Liberation Mono", 100, 60), ToBytes("x"));
    EXPECT_THROW(printer.EndDoc(), PrinterError);
    EXPECT_TRUE(fs::is_symlink(full));
    EXPECT_THROW(TPendingOutputFile::Exactly(temp_.path()), PrinterError);
}

TEST_F(PlatformPdfPrinter, PrinterListEndsWithThePdfPrinterWhichIsTheDefaultWithoutCups) {
    QtPrinterPlatform printer(clock_);
    const auto names = printer.Printers();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "Quernel PDF");
    EXPECT_EQ(printer.PrinterIndex(), static_cast<int>(names.size()) - 1);
    EXPECT_EQ(FindPrinterByName(printer, "Quernel PDF"), printer.PrinterIndex());

    const int count = static_cast<int>(names.size());
    EXPECT_THROW(printer.SetPrinterIndex(count), PrinterError);
    EXPECT_THROW(printer.SetPrinterIndex(-2), PrinterError);
    EXPECT_EQ(printer.PrinterIndex(), count - 1);
    printer.SetPrinterIndex(0);
    printer.SetPrinterIndex(-1);
    EXPECT_EQ(printer.PrinterIndex(), count - 1);

    printer.RefreshPrinters();
    EXPECT_EQ(printer.Printers(), names);

    // No scheduler answers here: that is told apart from a scheduler without printers, also
    // when the list is read on another thread.
    EXPECT_FALSE(printer.PrintSystemReachable());
    printer.BeginReading();
    std::optional<TPrinterList> read;
    for (int i = 0; i < 500 && !read; ++i) {
        read = printer.FinishedReading();
        if (!read) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(read.has_value());
    EXPECT_FALSE(read->reachable);
    EXPECT_TRUE(read->names.empty());
    EXPECT_FALSE(printer.FinishedReading().has_value());  // answered once

    const auto fonts = printer.Fonts();
    EXPECT_NE(std::find(fonts.begin(), fonts.end(), "Liberation Mono"), fonts.end());
}

TEST_F(PlatformPdfPrinter, DocumentStateIsGuarded) {
    QtPrinterPlatform printer(clock_);
    EXPECT_THROW(printer.NewPage(), PrinterError);
    EXPECT_THROW(printer.EndDoc(), PrinterError);
    EXPECT_THROW(printer.TextOut(0, 0, Font("Liberation Mono", 100, 60), ToBytes("x")),
                 PrinterError);
    EXPECT_THROW(printer.SetCopies(0), PrinterError);
    EXPECT_EQ(printer.Copies(), 1);
    printer.SetCopies(3);

    printer.BeginDoc();
    EXPECT_THROW(printer.BeginDoc(), PrinterError);
    EXPECT_THROW(printer.SetPrinterIndex(-1), PrinterError);
    EXPECT_THROW(printer.SetPrinterIndex(printer.PrinterIndex()), PrinterError);
    EXPECT_THROW(printer.SetOutputFile(temp_ / "x.pdf"), PrinterError);
    EXPECT_TRUE(printer.Printing());
    printer.EndDoc();
    // Copies do not multiply the pages of a PDF file.
    EXPECT_EQ(test::PdfPageCount(printer.LastOutputPath()), 1);
}

TEST_F(PlatformPdfPrinter, RawDocumentOnThePdfPrinterBecomesPrnFile) {
    QtPrinterPlatform printer(clock_);
    const Bytes data = ToBytes("\x1B@Raw \x00\xFF bytes\f"sv);
    ASSERT_EQ(printer.RawOpen("Quernel PDF", "Raw/doc"), 0);
    EXPECT_THROW(printer.RawOpen("Quernel PDF", "second"), PrinterError);
    EXPECT_EQ(printer.RawWrite(ByteView(data).first(4)), 4u);
    EXPECT_EQ(printer.RawWrite(ByteView(data).subspan(4)), data.size() - 4);
    EXPECT_EQ(Files().size(), 1u);  // still the temporary file
    printer.RawClose();
    const fs::path prn = folder() / "Raw_doc_2024-03-09_17-05-01.prn";
    EXPECT_EQ(printer.LastOutputPath(), prn);
    EXPECT_EQ(ReadWholeFile(prn), data);
    EXPECT_EQ(Files().size(), 1u);

    ASSERT_EQ(printer.RawOpen("Quernel PDF", "Raw/doc"), 0);
    printer.RawClose();
    EXPECT_TRUE(fs::exists(folder() / "Raw_doc_2024-03-09_17-05-01_2.prn"));

    const fs::path out = temp_ / "exact.prn";
    printer.SetOutputFile(out);
    ASSERT_EQ(printer.RawOpen("any-queue", "x"), 0);
    printer.RawWrite(data);
    printer.RawClose();
    EXPECT_EQ(ReadWholeFile(out), data);
}

TEST_F(PlatformPdfPrinter, RawOpenOnAnUnreachableQueueSaysWhy) {
    QtPrinterPlatform printer(clock_);
    try {
        printer.RawOpen("no-such-queue", "doc");
        ADD_FAILURE() << "no error";
    } catch (const PrinterError& e) {
        // No scheduler answers in these tests: said so, with the queue's name.
        EXPECT_NE(std::string(e.what()).find("\"no-such-queue\""), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("CUPS"), std::string::npos) << e.what();
    }
    // Nothing is open: writes take nothing, a new document may start.
    EXPECT_EQ(printer.RawWrite(ToBytes("abc")), 0u);
    EXPECT_EQ(printer.RawOpen("Quernel PDF", "doc"), 0);
    printer.RawClose();
}

}  // namespace
}  // namespace quernel
