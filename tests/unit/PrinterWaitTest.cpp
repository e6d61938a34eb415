// The print system is not reachable yet when Quernel starts (it often starts later at log-in).
// The waits for printers run in the background with monitoring on; printouts for the chosen
// printer wait for it instead of going to the built-in PDF printer; the stored printer is never
// replaced by that stand-in.

#include <gtest/gtest.h>

#include "support/CoreFixture.h"

namespace quernel::test {
namespace {

using std::chrono::seconds;

class PrinterWaitTest : public CoreFixture {
  protected:
    void SetUp() override {
        UserKey() = {{"AutoRun", 0}, {"WaitForPageMax", 0}, {"Printer", std::string("Laser")}};
        printer.printers = {"Quernel PDF"};
        printer.defaultIndex = 0;
        printer.reachable = false;
        services.printerReader = &printer;
        core = std::make_unique<TQuernelCore>(services);
    }
    static TPrinterList Unreachable() { return {{"Quernel PDF"}, "", false}; }
    static TPrinterList WithLaser() { return {{"Laser", "Quernel PDF"}, "Laser", true}; }
    std::vector<std::string> DocumentPrinters() const {
        std::vector<std::string> out;
        for (const auto& d : printer.documents) out.push_back(d.printer);
        return out;
    }
    int CountLogged(const std::string& line) const {
        const auto m = view.Messages();
        return static_cast<int>(std::count(m.begin(), m.end(), line));
    }
};

TEST_F(PrinterWaitTest, APrintoutWaitsForTheChosenPrinterWhileTheLoopGoesOn) {
    printer.readings = {Unreachable(), WithLaser()};
    Start();
    EXPECT_TRUE(sleeper.sleeps.empty());  // nothing blocked the start
    EXPECT_TRUE(core->Monitoring().Active());
    EXPECT_TRUE(core->Printers().Waiting());
    Run(1);
    Append(defaultFile, "Faktura\r\n\x0c");
    Run(5);
    EXPECT_TRUE(printer.documents.empty());  // not on "Quernel PDF"
    EXPECT_EQ(CountLogged("Wydruki czekają na drukarkę: Laser"), 1);
    EXPECT_EQ(timer.starts, 12);  // every tick ran
    // Stopping now keeps the user's printer in the settings.
    core->SaveSettings();
    EXPECT_EQ(std::get<std::string>(UserKey()["Printer"]), "Laser");

    // First reading at 3 s: still nothing; the second, 10 s later, finds the printer.
    EXPECT_EQ(printer.readingsBegun, 1);
    Run(10);
    EXPECT_EQ(printer.readingsBegun, 2);
    EXPECT_FALSE(core->Printers().Waiting());
    EXPECT_EQ(DocumentPrinters(), std::vector<std::string>{"Laser"});
    EXPECT_EQ(Printed(), std::vector<std::string>{"Faktura"});
    EXPECT_EQ(core->Printers().SelectedPrinterName(), "Laser");
    EXPECT_EQ(CountLogged("Wydruki czekają na drukarkę: Laser"), 1);
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(PrinterWaitTest, APrinterThatNeverComesIsReportedOnceAndItsPrintoutsKeepWaiting) {
    printer.readings = {Unreachable()};
    Start();
    Run(1);
    Append(defaultFile, "Faktura\r\n\x0c");
    Run(100);  // 3 + 10 + 30 + 50 seconds of waits
    EXPECT_EQ(printer.readingsBegun, 4);
    EXPECT_FALSE(core->Printers().Waiting());
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_TRUE(errors.messages[0].starts_with("Brak drukarki ?     Nie ma drukarki \"Laser\""))
        << errors.messages[0];
    EXPECT_TRUE(printer.documents.empty());
    EXPECT_EQ(CountLogged("Wydruki czekają na drukarkę: Laser"), 1);
    core->SaveSettings();
    EXPECT_EQ(std::get<std::string>(UserKey()["Printer"]), "Laser");

    // A manual printout is refused with a message instead of going elsewhere.
    const auto file = dir / "r.prn";
    Write(file, "x\x0c");
    dialogs.files = {file.string()};
    dialogs.pages = {1};
    core->Monitoring().PrintFile(dialogs);
    EXPECT_EQ(errors.messages.size(), 2u);
    EXPECT_TRUE(printer.documents.empty());

    // Choosing another printer releases what waits.
    core->Printers().SelectPrinter(0);
    Run(1);
    EXPECT_EQ(DocumentPrinters(), std::vector<std::string>{"Quernel PDF"});
    EXPECT_EQ(Printed(), std::vector<std::string>{"Faktura"});
}

// A reading that does not come back (a print system that hangs) holds up nothing: the ticks go
// on and an entry whose own printer is there prints.
TEST_F(PrinterWaitTest, ASlowReadingDoesNotHoldUpTheLoop) {
    printer.readingsHang = true;
    printer.readings = {WithLaser()};
    const std::string own = (dir / "PDF.PRN").string();
    UserKey()["MonitoredFilesCNT"] = 1;
    UserKey()["MonitoredFile0"] = own + "::Quernel PDF";
    Start();
    Run(1);
    Append(own, "Do PDF\r\n\x0c");
    Append(defaultFile, "Na laser\r\n\x0c");
    Run(20);
    EXPECT_EQ(printer.readingsBegun, 1);
    EXPECT_TRUE(core->Printers().Waiting());
    EXPECT_EQ(DocumentPrinters(), std::vector<std::string>{"Quernel PDF"});
    EXPECT_EQ(timer.starts, timer.stops);
    printer.readingsHang = false;
    Run(1);
    EXPECT_EQ(DocumentPrinters(), (std::vector<std::string>{"Quernel PDF", "Laser"}));
}

// The built-in printer chosen by the user is there from the start: nothing waits for the print
// system then.
TEST_F(PrinterWaitTest, TheChosenBuiltInPrinterPrintsAtOnce) {
    UserKey()["Printer"] = std::string("Quernel PDF");
    printer.readings = {Unreachable()};
    Start();
    Run(1);
    Append(defaultFile, "PDF\r\n\x0c");
    Run(4);
    EXPECT_TRUE(core->Printers().Waiting());
    EXPECT_EQ(DocumentPrinters(), std::vector<std::string>{"Quernel PDF"});
}

// Without a stored printer (the first start) the printouts wait for the print system, then go
// to the first printer; the built-in stand-in is not stored.
TEST_F(PrinterWaitTest, OnTheFirstStartThePrintoutsWaitForThePrintSystem) {
    UserKey().erase("Printer");
    printer.readings = {Unreachable(), WithLaser()};
    Start();
    Run(1);
    Append(defaultFile, "Pierwszy\r\n\x0c");
    Run(4);
    EXPECT_TRUE(printer.documents.empty());
    // Until when at the latest: the end of the last wait (3 + 10 + 30 + 50 s after the start).
    EXPECT_EQ(CountLogged("Wydruki czekają na dostęp do drukarek (najpóźniej do 17:06:33)"), 1);
    core->SaveSettings();
    EXPECT_EQ(UserKey().count("Printer"), 0u);
    Run(10);
    EXPECT_EQ(DocumentPrinters(), std::vector<std::string>{"Laser"});
    core->SaveSettings();
    EXPECT_EQ(std::get<std::string>(UserKey()["Printer"]), "Laser");
}

// A stored printer name with a NUL or another control character in it is a damaged value, not
// a printer to wait for: the printouts go to the default printer at once.
TEST_F(PrinterWaitTest, ADamagedPrinterNameIsNoPrinterToWaitFor) {
    for (const std::string& damaged : {std::string("Laser\0", 6), std::string("La\x1bser")}) {
        SCOPED_TRACE(::testing::PrintToString(damaged));
        UserKey()["Printer"] = damaged;
        printer.printers = {"Laser", "Quernel PDF"};
        printer.reachable = true;
        printer.readings = {WithLaser()};
        printer.documents.clear();
        view.lines.clear();
        Restart();
        Run(1);
        Append(defaultFile, "Faktura\r\n\x0c");
        Run(4);
        EXPECT_EQ(DocumentPrinters(), std::vector<std::string>{"Laser"});
        EXPECT_EQ(CountLogged("Uszkodzona wartość Printer w ustawieniach pominięta"), 1);
        const auto m = view.Messages();
        EXPECT_EQ(std::count_if(
                      m.begin(), m.end(),
                      [](const std::string& line) { return line.starts_with("Wydruki czekają"); }),
                  0);
    }
}

}  // namespace
}  // namespace quernel::test
