#include <gtest/gtest.h>

#include "engine/PrinterSelection.h"
#include "fakes/FakeSleeper.h"
#include "fakes/RecordingErrorReport.h"
#include "fakes/RecordingPrinter.h"

namespace quernel::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class SetupDialog final : public IPrinterSetupDialog {
  public:
    bool Execute(IPrinterPlatform& printer) override {
        ++shown;
        if (confirm && choose >= 0) printer.SetPrinterIndex(choose);
        return confirm;
    }
    bool confirm = true;
    int choose = -1;
    int shown = 0;
};

class PrinterSelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        printer.printers = {"Laser", "Igłowa", "Quernel PDF"};
        printer.defaultIndex = 2;
        printer.fontsByPrinter["Laser"] = {"Liberation Mono", "Arial", "courier"};
        printer.fontsByPrinter["Igłowa"] = {"Draft", "Roman"};
        printer.fontsByPrinter["Quernel PDF"] = {"Liberation Mono", "DejaVu Sans Mono"};
    }
    RecordingPrinter printer;
    RecordingErrorReport errors;
    FakeSleeper sleeper;
    TPrinterSelection selection{printer, errors, sleeper};
};

TEST_F(PrinterSelectionTest, StartsOnTheDefaultPrinterWithTheDefaultFont) {
    int changes = 0;
    selection.onChanged = [&] { ++changes; };
    selection.FillPrinterList();
    EXPECT_TRUE(sleeper.sleeps.empty());
    EXPECT_EQ(selection.PrinterNames(), printer.printers);
    EXPECT_EQ(selection.SelectedPrinterName(), "Quernel PDF");
    EXPECT_EQ(printer.PrinterIndex(), 2);
    EXPECT_EQ(selection.FontNames(),
              (std::vector<std::string>{"DejaVu Sans Mono", "Liberation Mono"}));
    EXPECT_EQ(selection.SelectedFontName(), "Liberation Mono");
    EXPECT_EQ(selection.SampleFont(), "Liberation Mono");
    EXPECT_GT(changes, 0);
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(PrinterSelectionTest, PrintersInstalledDuringTheStartUpWaitAreFound) {
    printer.printers = {};
    printer.laterLists = {{}, {}, {"Laser"}, {"Laser", "Igłowa"}};
    printer.defaultIndex = 0;
    selection.FillPrinterList();
    EXPECT_EQ(sleeper.sleeps, (std::vector<milliseconds>{seconds(3), seconds(10), seconds(30)}));
    EXPECT_EQ(selection.PrinterNames(), (std::vector<std::string>{"Laser"}));
    EXPECT_EQ(selection.SelectedPrinterName(), "Laser");
    // The list is fixed from then on: nothing reads it again.
    EXPECT_EQ(printer.refreshes, 3);
}

TEST_F(PrinterSelectionTest, NoPrinterAfterAllWaits) {
    printer.printers = {};
    selection.FillPrinterList();
    EXPECT_EQ(sleeper.sleeps,
              (std::vector<milliseconds>{seconds(3), seconds(10), seconds(30), seconds(50)}));
    EXPECT_TRUE(selection.PrinterNames().empty());
    EXPECT_EQ(selection.SelectedPrinter(), -1);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "Problem z drukarką : Brak drukarki");
}

TEST_F(PrinterSelectionTest, FailingPrinterListIsReported) {
    printer.failOn = "Printers";
    selection.FillPrinterList();
    EXPECT_EQ(errors.messages,
              (std::vector<std::string>{"Brak drukarki ?     simulated failure in Printers"}));
}

TEST_F(PrinterSelectionTest, FontKeptOnlyWhenTheNewPrinterHasItExactly) {
    selection.FillPrinterList();
    selection.SelectPrinter(0);
    EXPECT_EQ(printer.PrinterIndex(), 0);
    EXPECT_EQ(selection.FontNames(),
              (std::vector<std::string>{"Arial", "courier", "Liberation Mono"}));
    EXPECT_EQ(selection.SelectedFontName(), "Liberation Mono");
    ASSERT_TRUE(selection.SelectFontByName("courier"));
    EXPECT_FALSE(selection.SelectFontByName("Courier"));
    EXPECT_EQ(selection.SampleFont(), "courier");
    selection.SelectPrinter(1);
    EXPECT_EQ(selection.SelectedFont(), -1);
    EXPECT_EQ(selection.SelectedFontName(), "");
    EXPECT_EQ(selection.SampleFont(), "courier");  // the sample keeps the last font shown
    // With no font selected the default name is looked for again.
    selection.SelectPrinter(2);
    EXPECT_EQ(selection.SelectedFontName(), "Liberation Mono");
}

TEST_F(PrinterSelectionTest, PrinterIsNotSwitchedWhileADocumentIsPrinted) {
    selection.FillPrinterList();
    printer.BeginDoc();
    printer.calls.clear();
    selection.SelectPrinter(0);
    EXPECT_EQ(printer.calls, std::vector<std::string>{});
    EXPECT_EQ(printer.PrinterIndex(), 2);
    EXPECT_TRUE(errors.messages.empty());
    printer.EndDoc();
    selection.SelectPrinter(0);
    EXPECT_EQ(printer.PrinterIndex(), 0);
}

TEST_F(PrinterSelectionTest, AlwaysDefault) {
    selection.FillPrinterList();
    selection.SelectPrinter(1);
    selection.SetAlwaysDefault(true);
    EXPECT_FALSE(selection.PrinterListEnabled());
    EXPECT_EQ(selection.SelectedPrinterName(), "Quernel PDF");
    EXPECT_EQ(printer.PrinterIndex(), 2);
    EXPECT_EQ(selection.FontNames().size(), 2u);
    printer.calls.clear();
    selection.SetAlwaysDefault(false);
    EXPECT_TRUE(selection.PrinterListEnabled());
    EXPECT_EQ(selection.SelectedPrinterName(), "Quernel PDF");
    EXPECT_TRUE(printer.calls.empty());
}

TEST_F(PrinterSelectionTest, PrinterSetupDialog) {
    selection.FillPrinterList();
    SetupDialog dialog;
    dialog.choose = 0;
    selection.PrinterSetup(dialog);
    EXPECT_EQ(selection.SelectedPrinterName(), "Laser");
    // The font list is not refilled by the dialog.
    EXPECT_EQ(selection.FontNames(),
              (std::vector<std::string>{"DejaVu Sans Mono", "Liberation Mono"}));
    dialog.confirm = false;
    dialog.choose = 1;
    selection.PrinterSetup(dialog);
    EXPECT_EQ(selection.SelectedPrinterName(), "Laser");
    EXPECT_EQ(dialog.shown, 2);
}

TEST(FindPrinterByNameTest, ExactNameLastMatchOrMinusOne) {
    RecordingPrinter printer;
    printer.printers = {"Laser", "laser", "Laser", "Quernel PDF"};
    EXPECT_EQ(FindPrinterByName(printer, "Laser"), 2);
    EXPECT_EQ(FindPrinterByName(printer, "laser"), 1);
    EXPECT_EQ(FindPrinterByName(printer, "Laser "), -1);
    EXPECT_EQ(FindPrinterByName(printer, ""), -1);
}

}  // namespace
}  // namespace quernel::test
