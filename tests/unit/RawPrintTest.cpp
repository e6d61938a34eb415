#include <gtest/gtest.h>

#include "engine/PrintSystemErrors.h"
#include "support/PrintFixture.h"

namespace quernel::test {
namespace {

class RawPrintTest : public PrintFixture {
  protected:
    void SetUp() override { raw.enabled = true; }

    // One job the way the file monitor runs it.
    void PrintJob(const Bytes& data, std::size_t start = 0, const TCharMapRecord* map = nullptr,
                  int copies = 1) {
        TPrintInterface job(services);
        job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, copies);
        if (map != nullptr) job.SetFont("Liberation Mono", 2, *map);
        job.LoadDefaultSequences();
        job.BeginJob("Faktura");
        TPrinterStatus status;
        job.PrintData(data, start, false, false, status);
        job.EndJob();
    }
    Bytes Sent() const { return printer.rawJobs.at(0).bytes; }
};

TEST_F(RawPrintTest, DefaultsRepairLineEndsAndEndWithAFormFeed) {
    PrintJob({0x41, 0x0D, 0x0A, 0x42, 0x0D});
    ASSERT_EQ(printer.rawJobs.size(), 1u);
    EXPECT_EQ(Sent(), (Bytes{0x1B, 0x45, 0x41, 0x0D, 0x0A, 0x42, 0x0D, 0x0A, 0x0C}));
    EXPECT_EQ(printer.rawJobs[0].printer, "Laser");
    EXPECT_EQ(printer.rawJobs[0].title, "Faktura");
    EXPECT_TRUE(printer.rawJobs[0].closed);
    // No page document is opened in direct mode.
    EXPECT_TRUE(printer.documents.empty());
    EXPECT_EQ(view.Messages(), (std::vector<std::string>{"Druk w trybie bezpośrenim (RAW)"}));
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(RawPrintTest, OutputRules) {
    const TCharMapRecord identity = TCharMapRecord::Identity();
    TRawSettings r;
    r.fixCrLf = false;
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{'a', '\r', 'b', 0x0C}),
              (Bytes{0x1B, 'E', 'a', '\r', 'b', 0x0C}));
    r = {};
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{'\n', '\n'}),
              (Bytes{0x1B, 'E', '\r', '\n', '\r', '\n', 0x0C}));
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{'\r', '\r', '\n', '\n', '\r'}),
              (Bytes{0x1B, 'E', '\r', '\n', '\r', '\n', '\r', '\n', '\r', '\n', 0x0C}));
    r.initText = "#27 @";
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{'x'}), (Bytes{0x1B, '@', 'x', 0x0C}));
    r.initText = "abc";
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{}), (Bytes{'a', 'b', 'c', 0x0C}));
    r.initText = "# 27";  // invalid: left out, the data still goes
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{'x'}), (Bytes{'x', 0x0C}));
    r.initText = "";
    r.endWithFormFeed = true;
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{}), (Bytes{0x0C}));
    r.endWithFormFeed = false;
    EXPECT_EQ(BuildRawOutput(r, identity, Bytes{}), Bytes{});
}

TEST_F(RawPrintTest, CharacterMapAppliesToEverythingButLineEnds) {
    TCharMapRecord map = TCharMapRecord::Identity();
    map.Map[0xA5] = 0xB9;
    map.Map['\r'] = 'X';
    map.Map['\n'] = 'Y';
    map.Map[0x0C] = 'Z';
    raw.useCharMap = true;
    PrintJob({0xA5, '\r', '\n', 0x0C}, 0, &map);
    EXPECT_EQ(Sent(), (Bytes{0x1B, 'E', 0xB9, '\r', '\n', 'Z', 0x0C}));
    // Without a font set for the job its map is the identity: the bytes go unchanged.
    printer.rawJobs.clear();
    PrintJob({0xA5});
    EXPECT_EQ(Sent(), (Bytes{0x1B, 'E', 0xA5, 0x0C}));
}

TEST_F(RawPrintTest, WholeDataOnceWhateverTheStartAndCopies) {
    PrintJob(ToBytes("abc"), 2, nullptr, 3);
    ASSERT_EQ(printer.rawJobs.size(), 1u);
    EXPECT_EQ(Sent(), ToBytes("\x1b"
                              "Eabc\x0c"));
    EXPECT_EQ(ReadText(dir / "quernel.prn"), "c");  // the capture copies from the start on
}

// Failures end the printout with the error, so the caller knows it was not printed.
TEST_F(RawPrintTest, FailuresAreRaised) {
    printer.rawOpenError = ipp::kNotFound;
    try {
        PrintJob(ToBytes("abc"));
        ADD_FAILURE() << "no error";
    } catch (const PrinterError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Drukarki \"Laser\" nie ma w systemie druku CUPS (CUPS 0x0406).");
    }
    EXPECT_TRUE(printer.rawJobs.empty());

    printer.rawOpenError = 0;
    printer.rawWriteLimit = 2;
    try {
        PrintJob(ToBytes("abc"));
        ADD_FAILURE() << "no error";
    } catch (const PrinterError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Błąd wydruku w trybie bezpośrednim.\n"
                  "Spróbuj drukować po wyłączeniu trybu bezpośredniego (RAW).");
    }
    EXPECT_TRUE(printer.rawJobs[0].closed);  // what was written is still printed
    EXPECT_TRUE(errors.messages.empty());
}

// The print system's refusals name the printer and the cause, in Polish for the usual ones,
// with the print system's own words and code.
TEST(PrintSystemErrorTextTest, NamesThePrinterAndTheCause) {
    EXPECT_EQ(PrintSystemErrorText("Laser", ipp::kNotAcceptingJobs,
                                   "Destination \"Laser\" is not accepting jobs."),
              "Drukarka \"Laser\" nie przyjmuje wydruków (jej kolejka odrzuca zadania) (CUPS "
              "0x0506: Destination \"Laser\" is not accepting jobs.).");
    EXPECT_EQ(PrintSystemErrorText("Laser", ipp::kNotFound, "The printer or class does not exist."),
              "Drukarki \"Laser\" nie ma w systemie druku CUPS (CUPS 0x0406: The printer or "
              "class does not exist.).");
    EXPECT_EQ(PrintSystemErrorText("Laser", ipp::kServiceUnavailable, "No such file or directory"),
              "System druku CUPS nie działa: wydruku na drukarkę \"Laser\" nie można wysłać (CUPS "
              "0x0502: No such file or directory).");
    EXPECT_EQ(PrintSystemErrorText("Laser", ipp::kNotAuthorized, ""),
              "Brak uprawnień do drukowania na drukarce \"Laser\" (CUPS 0x0403).");
    EXPECT_EQ(PrintSystemErrorText("Laser", 0x040B, "Unsupported document-format."),
              "Drukarka \"Laser\" nie przyjęła wydruku (CUPS 0x040B: Unsupported "
              "document-format.).");
    // No error code (the connection broke before the answer), or an internal one without a
    // word: the scheduler went away.
    for (int status : {0, ipp::kInternalError}) {
        EXPECT_EQ(PrintSystemErrorText("Laser", status, ""),
                  "Połączenie z systemem druku CUPS zostało przerwane (czy działa?): wydruk na "
                  "drukarkę \"Laser\" nie został przyjęty.");
    }
}

TEST_F(RawPrintTest, InitialisationTextIsWindows1250) {
    raw.initText = "#27 (ą";
    PrintJob(ToBytes("x"));
    EXPECT_EQ(Sent(), (Bytes{0x1B, '(', 0xB9, 'x', 0x0C}));
    EXPECT_TRUE(errors.messages.empty());

    // A character the code page lacks: the initialisation is left out, the data still goes,
    // and the user is told why.
    printer.rawJobs.clear();
    raw.initText = "#27 ñ";
    PrintJob(ToBytes("x"));
    EXPECT_EQ(Sent(), (Bytes{'x', 0x0C}));
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find("Kod inicjujący pominięty: Znaku \"ñ\""), std::string::npos);
}

TEST_F(RawPrintTest, SendsToTheCurrentPrinter) {
    printer.SetPrinterIndex(1);
    PrintJob(ToBytes("abc"));
    EXPECT_EQ(printer.rawJobs.at(0).printer, "Quernel PDF");
}

}  // namespace
}  // namespace quernel::test
