#include <gtest/gtest.h>

#include <filesystem>

#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

class CommandSetSamplesTest : public CommandSetFixture {
  protected:
    // The text runs drawn on one line of the grid (1-based) of the last document's first page.
    std::string Line(int line) const {
        std::string text;
        for (const auto& t : printer.TextsOnPage(1)) {
            if (t.y == static_cast<int>(kOrigin) + (line - 1) * kLine) text += ToString(t.bytes);
        }
        return text;
    }
};

// Each printout is read with its own language when the choice is automatic.
TEST_F(CommandSetSamplesTest, AutomaticChoiceReadsEachPrintoutInItsLanguage) {
    Render(DataFile("escp_invoice_logo.prn"), TCommandSet::kAuto, ShippedTable());
    EXPECT_EQ(PageCount(), 1);
    EXPECT_EQ(printer.bitmaps.size(), 2u);
    Render(DataFile("pcl_raster_page.pcl"), TCommandSet::kAuto, ShippedTable());
    EXPECT_EQ(PageCount(), 1);
    EXPECT_EQ(printer.bitmaps.size(), 4u);
    Render(DataFile("escp_screen_dump.prn"), TCommandSet::kAuto, ShippedTable());
    EXPECT_EQ(PageCount(), 1);
    EXPECT_EQ(printer.bitmaps.size(), 64u);
}

// A letter whose lines end LF CR, with ESC x 1, underlines and blank lines at its end: one
// page, each line in its place.
TEST_F(CommandSetSamplesTest, LetterWithLfCrLineEndsIsOnePage) {
    Render(DataFile("escp_letter_lfcr.prn"), TCommandSet::kAuto, ShippedTable());
    EXPECT_EQ(PageCount(), 1);
    EXPECT_EQ(Line(9), "Marking highlight 1");
    EXPECT_EQ(Line(10), "HIGHLIGHT line 0 of the letter");
    EXPECT_EQ(Line(29), "HIGHLIGHT line 19 of the letter");
    EXPECT_TRUE(printer.TextsOnPage(1)[0].font.weight == 700);
}

// The shared samples, when they are there: real printouts of other projects.
TEST_F(CommandSetSamplesTest, SharedSamples) {
    const std::filesystem::path samples = "/work/shared/samples";
    if (!std::filesystem::exists(samples / "escapy_escp2_1.prn")) {
        GTEST_SKIP() << "no shared samples";
    }
    const auto read = [&](const char* name) { return ReadWholeFile(samples / name); };
    Render(read("escapy_escp2_1.prn"), TCommandSet::kAuto, ShippedTable());
    EXPECT_EQ(PageCount(), 1);
    Render(read("esc2pdf_01_Table1_status.esc"), TCommandSet::kAuto, ShippedTable());
    EXPECT_EQ(PageCount(), 1);
    Render(read("ghostpdl_lineprinter.pcl"), TCommandSet::kAuto, ShippedTable());
    const std::string page = Pages()[0];
    EXPECT_EQ(page.find("@PJL"), std::string::npos);
    const auto texts = printer.TextsOnPage(1);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].bytes.size(), 128u);  // the 128 columns in one run, one line
    EXPECT_LT(texts[0].x + 128 * texts[0].font.advance, Along(8.0));
}

}  // namespace
}  // namespace quernel::test
