// ESC/P typefaces, sizes, proportional spacing, character styles and score lines through the
// PDF as quernel-render writes it: families seen with pdffonts, words and their boxes with
// pdftotext, lines in the page rasterised by poppler.
#include <cctype>
#include <sstream>

#include "engine/RenderCommand.h"
#include "platform/FontChoice.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "tests/fakes/FakeClock.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;
using test::FindWord;
using test::PdfWord;
using test::PdfWords;
using namespace std::string_literals;

class FontsPdfTest : public ::testing::Test {
  protected:
    fs::path Render(const std::string& bytes) {
        const std::string name = "printout" + std::to_string(++renders_);
        const fs::path printout = temp_ / (name + ".prn");
        const fs::path pdf = temp_ / (name + ".pdf");
        test::WriteFile(printout, bytes);
        test::RenderPdf({printout.string(), "--commands", "escp", "--font", "Liberation Mono", "-o",
                         pdf.string()},
                        pdf, clock_);
        return pdf;
    }
    // A family's name as the PDF's font names spell it.
    static std::string PdfName(const std::string& family) {
        std::string out;
        for (char c : family) {
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') out += c;
        }
        return out;
    }
    // The dark runs met going along a row or down a column of the raster.
    static int Runs(const QImage& page, int x0, int y0, int dx, int dy, int steps) {
        int runs = 0;
        bool dark = false;
        for (int i = 0; i < steps; ++i) {
            const bool now = qGray(page.pixel(x0 + i * dx, y0 + i * dy)) < 128;
            runs += now && !dark;
            dark = now;
        }
        return runs;
    }

    // At 300 dpi: the grid's corner (5 mm margins), its line (287 mm / 67) and cell (200 mm /
    // 80) in pixels.
    static constexpr double kPx = 300 / 25.4;
    static constexpr double kCorner = 5 * kPx;
    static constexpr double kLine = 287.0 / 67 * kPx;
    static constexpr double kCell = 2.5 * kPx;

    test::TempDir temp_;
    int renders_ = 0;
    test::FakeClock clock_{test::FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
};

TEST_F(FontsPdfTest, TypefacesSizesAndStylesStayText) {
    const fs::path pdf = Render(
        "Plain\r\n"
        "\x1bk\x00Roman \x1bk\x01Sans \x1bk\x02Mono\r\n"
        "\x1bk\x00\x1bp\x01illicit MMMMMMM\x1bp\x00\r\n"
        "Normal \x1bX\x00\x2a\x00Large\x1bP\r\n"
        "\x1bq\x01Outlined \x1bq\x02Shadowed\x1bq\x00\r\n"s);
    const std::string fonts = test::PdfFonts(pdf);
    for (TFontKind kind : {TFontKind::kSerif, TFontKind::kSans, TFontKind::kMono}) {
        const std::string family = InstalledFamily(kind);
        ASSERT_FALSE(family.empty());
        EXPECT_NE(fonts.find(PdfName(family)), std::string::npos) << family << "\n" << fonts;
    }
    const auto words = PdfWords(pdf);
    for (const char* word : {"Plain", "Roman", "Sans", "Mono", "Outlined"}) FindWord(words, word);
    // Proportional: whole words, narrow letters narrow, wide ones wide.
    const PdfWord narrow = FindWord(words, "illicit"), wide = FindWord(words, "MMMMMMM");
    EXPECT_LT(narrow.Width(), 0.6 * wide.Width());
    EXPECT_NEAR(wide.left - narrow.right, 0.25 * narrow.Height(), 0.2 * narrow.Height());
    // 21 points: twice as high as 10.5, on the same baseline.
    const PdfWord normal = FindWord(words, "Normal"), large = FindWord(words, "Large");
    EXPECT_NEAR(large.Height(), 2 * normal.Height(), 0.15 * normal.Height());
    EXPECT_NEAR(large.bottom, normal.bottom, 0.3 * normal.Height());
    // A shadow is no second word.
    const std::string text = test::RunCommand("pdftotext " + test::Quote(pdf) + " -");
    EXPECT_NE(text.find("Outlined Shadowed"), std::string::npos) << text;
    EXPECT_EQ(text.find("SShh"), std::string::npos) << text;
}

TEST_F(FontsPdfTest, ScoreLinesAreLinesOnThePage) {
    // Ten blank cells on lines 1, 3 and 5: a double underline, a broken strike-through, an
    // overscore, and nothing else that inks the page.
    const auto score = [](char place, char kind) { return "\x1b(-\x03\x00\x01"s + place + kind; };
    const fs::path pdf =
        Render(score(1, 2) + "          " + score(1, 0) + "\r\n\r\n" + score(2, 5) + "          " +
               score(2, 0) + "\r\n\r\n" + score(3, 1) + "          \r\n");
    const QImage page = test::RasterisePage(pdf, 1, 300, temp_.path());
    const int middle = static_cast<int>(kCorner + 5 * kCell);
    const auto lineTop = [&](int line) { return static_cast<int>(kCorner + line * kLine) - 6; };
    const int down = static_cast<int>(kLine) + 6;
    // Down the middle of each line: two lines, one, one.
    EXPECT_EQ(Runs(page, middle, lineTop(0), 0, 1, down), 2);
    EXPECT_EQ(Runs(page, middle - 15, lineTop(2), 0, 1, down) +
                  Runs(page, middle + 15, lineTop(2), 0, 1, down),
              1);  // a gap of the broken line under one of two points a tenth of an inch apart
    EXPECT_EQ(Runs(page, middle, lineTop(4), 0, 1, down), 1);
    // Along each line: one continuous stroke over the ten cells; dashes for the broken one.
    const auto rowOf = [&](int line) {
        const int top = lineTop(line);
        for (int y = top; y < top + down; ++y) {
            if (qGray(page.pixel(middle, y)) < 128) return y + 1;
        }
        return top;
    };
    const int start = static_cast<int>(kCorner) + 2, length = static_cast<int>(10 * kCell) - 4;
    EXPECT_EQ(Runs(page, start, rowOf(0), 1, 0, length), 1);
    EXPECT_EQ(Runs(page, start, rowOf(4), 1, 0, length), 1);
    int strike = lineTop(2);
    for (int y = lineTop(2); y < lineTop(2) + down; ++y) {
        if (Runs(page, start, y, 1, 0, length) > 0) {
            strike = y + 1;
            break;
        }
    }
    EXPECT_GE(Runs(page, start, strike, 1, 0, length), 15);
}

TEST_F(FontsPdfTest, OutlinedLettersAreTextWithLessInk) {
    const std::string large = "\x1bX\x00\x30\x00"s;  // 24 points
    const fs::path filled = Render(large + "OHOH\r\n");
    const fs::path outlined = Render(large + "\x1bq\x01OHOH\r\n");
    EXPECT_NE(test::PdfPageText(outlined, 1).find("OHOH"), std::string::npos);
    const QRect area(0, 0, static_cast<int>(kCorner + 12 * kCell), static_cast<int>(3 * kLine));
    const int full = test::InkIn(test::RasterisePage(filled, 1, 300, temp_.path()), area).count;
    const int outline =
        test::InkIn(test::RasterisePage(outlined, 1, 300, temp_.path()), area).count;
    EXPECT_GT(full, 1000);
    EXPECT_GT(outline, full / 10);
    EXPECT_LT(outline, full * 4 / 5);
}

}  // namespace
}  // namespace quernel
