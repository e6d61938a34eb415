#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "engine/RenderCommand.h"
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

// The test printouts with printer commands, rendered into PDF files as quernel-render does,
// with the shipped table and map: pictures counted with pdfimages, text read with pdftotext.
class PlatformCommandSetPdf : public ::testing::Test {
  protected:
    fs::path Render(const char* printout, const std::string& commands,
                    const std::string& boxLines = "1") {
        const fs::path pdf = temp_ / (std::string(printout) + boxLines + ".pdf");
        test::RenderPdf({(fs::path(QUERNEL_TEST_DATA_DIR) / printout).string(), "--commands",
                         commands, "--box-lines", boxLines, "-o", pdf.string()},
                        pdf, clock_);
        return pdf;
    }
    static std::string Layout(const fs::path& pdf) {
        return test::RunCommand("pdftotext -layout " + test::Quote(pdf) + " -");
    }
    static int Stencils(const fs::path& pdf) {
        const auto uses = test::PdfImageUses(pdf);
        return static_cast<int>(std::count_if(uses.begin(), uses.end(), [](const auto& use) {
            return use.type == "stencil" && use.bitsPerComponent == 1;
        }));
    }

    // A printer's inch on the page: 8 inches of 80 columns across A4 less 5 mm margins, 67
    // lines of 1/6 inch down it.
    static constexpr double kAlong = (210 - 10) / 25.4 / 8;
    static constexpr double kDown = (297 - 10) / 25.4 / (67 / 6.0);

    test::TempDir temp_;
    test::FakeClock clock_{test::FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
};

TEST_F(PlatformCommandSetPdf, InvoiceLogoIsTwoStencilsAboveItsText) {
    const fs::path pdf = Render("escp_invoice_logo.prn", "escp");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    EXPECT_EQ(Stencils(pdf), 2);
    const std::string text = Layout(pdf);
    EXPECT_NE(text.find("FAKTURA 12/2024"), std::string::npos) << text;
    EXPECT_NE(text.find("Grüße"), std::string::npos) << text;
    EXPECT_NE(text.find("Netto"), std::string::npos);
    // The table alone prints the logo's bytes as text, over many pages: what the option mends.
    const fs::path table = Render("escp_invoice_logo.prn", "table");
    EXPECT_GT(test::PdfPageCount(table), 1);
    EXPECT_EQ(Stencils(table), 0);
}

// An invoice laid out as a 24-pin printer lays it out: a title twice as high and wide, pitches
// that each select their own, a window drawn at a tab stop after CR, a line too long broken
// after 80 columns, a total underlined by printing its line again, vertical tabs to lines 20
// and 60 and the next page.
TEST_F(PlatformCommandSetPdf, InvoiceLaidOutWithCarriageReturnsTabsAndPitches) {
    const fs::path pdf = Render("escp_invoice_windows.prn", "escp");
    EXPECT_EQ(test::PdfPageCount(pdf), 2);
    EXPECT_EQ(Stencils(pdf), 1);
    const auto words = PdfWords(pdf, 1);
    const PdfWord first = FindWord(words, "Sprzedawca:");
    const double line = (FindWord(words, "Zestawienie").top - first.top) / 4;
    EXPECT_NEAR(line, 842.0 / 67 - 0.3, 0.3);  // A4 less 5 mm margins, 67 lines
    const double cell = (FindWord(words, "Hurtownia").left - first.left) / 12;  // 10 CPI
    // Twice as high, on its line's baseline, and twice as wide.
    const PdfWord title = FindWord(words, "FAKTURA");
    EXPECT_NEAR(title.bottom - title.top, 2 * (first.bottom - first.top), 0.5);
    EXPECT_NEAR(title.bottom, first.bottom + 2 * line, 0.5 * line);
    EXPECT_NEAR(title.right - title.left, 7 * 2 * cell, cell);
    // Condensed, 15 and 12 characters an inch, then pica.
    EXPECT_NEAR(FindWord(words, "Zestawienie").right - FindWord(words, "Zestawienie").left,
                11 * cell * 7 / 12, cell / 2);
    EXPECT_NEAR(FindWord(words, "Nazwa").left - first.left, 4 * cell * 10 / 15, 0.5);
    EXPECT_NEAR(FindWord(words, "Cena").left - FindWord(words, "Ilość").left,
                5 * cell * 10 / 12 + cell, 0.5);
    // The long line goes on at the left margin of the next line.
    std::string remarks = "Uwagi:";
    for (int i = 0; i < 24; ++i)
        remarks += " " + std::string(i < 10 ? "0" : "") + std::to_string(i);
    const std::string text = Layout(pdf);
    EXPECT_NE(text.find(remarks + " 2\n4 25 26 27 28 29 30 31\n"), std::string::npos) << text;
    // Stops at 20 and 60 lines from the top of the form.
    EXPECT_NEAR(FindWord(words, "Podpis").top, first.top + 20 * line, 1);
    EXPECT_NEAR(FindWord(words, "Stopka").top, first.top + 60 * line, 1);
    EXPECT_NEAR(FindWord(PdfWords(pdf, 2), "Strona").top, first.top, 1);

    // On the page itself: the window's frame starts at the tab stop, 40 columns in, on its
    // line; the underline lies under "1230" alone.
    const int dpi = 100;
    const QImage page = test::RasterisePage(pdf, 1, dpi, temp_.path());
    const double px = dpi / 72.0;
    const PdfWord window = FindWord(words, "towaru:");
    const test::TInk frame = test::InkIn(
        page, QRect(static_cast<int>(window.right * px), static_cast<int>(window.top * px),
                    page.width(), static_cast<int>((window.bottom - window.top) * px)));
    EXPECT_NEAR(frame.box.left(), (first.left + 40 * cell) * px, 2);
    EXPECT_NEAR(frame.box.width(), 240 / 180.0 * 10 * cell * px, 2);
    const PdfWord total = FindWord(words, "1230");
    // Below the digits' baseline (about 2/3 of the box down), where only the underscores are.
    const int below =
        static_cast<int>(std::ceil((total.top + 0.7 * (total.bottom - total.top)) * px));
    const test::TInk under =
        test::InkIn(page, QRect(static_cast<int>((first.left + 16 * cell) * px), below,
                                static_cast<int>(8 * cell * px),
                                static_cast<int>(total.bottom * px) - below + 1));
    EXPECT_NEAR(under.box.left(), total.left * px, 2);
    EXPECT_NEAR(under.box.right(), total.right * px, 2);
}

// A printout that assigns and selects its own character tables (ESC ( t, ESC t) prints each
// line in its code page, whatever the map: searchable text, box drawing too when box lines are
// off; characters it defines (ESC &) print as their dots.
TEST_F(PlatformCommandSetPdf, CharacterTablesChosenByThePrintout) {
    const fs::path pdf = Render("escp_code_pages.prn", "escp", "0");
    const std::string text = Layout(pdf);
    for (const char* line :
         {"╔══════════╗\n", "║ Café ü    ║\n", "Привет, мир\n", "Zażółć gęślą jaźń\n",
          "Mazowia: ąćęłńóśźż\n", "Čeština\n", "Kursywa: AB\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    // The two user-defined characters are their dots, 30 x 24 each, in the cells of "XY"; the
    // ROM's "XY" after them is text.
    const auto uses = test::PdfImageUses(pdf);
    ASSERT_EQ(uses.size(), 2u);
    for (const auto& use : uses) {
        EXPECT_EQ(use.type, "stencil");
        EXPECT_EQ(use.width, 30);
        EXPECT_EQ(use.height, 24);
    }
    EXPECT_NE(text.find("Znaki:    XY\n"), std::string::npos) << text;
}

// Bar codes a scanner reads off the rasterised page, their digits as text under them, and a
// TIFF raster whose colour planes print as cyan, magenta and yellow stripes in a black frame.
TEST_F(PlatformCommandSetPdf, BarcodesScanAndTiffRasterPrintsInColour) {
    const fs::path pdf = Render("escp_barcodes.prn", "escp");
    ASSERT_EQ(test::PdfPageCount(pdf), 1);
    const std::string text = Layout(pdf);
    for (const char* digits :
         {"5901234123457", "Quernel-128", "*FV-2024/12*", "036000291452", "12345678", "Koniec"}) {
        EXPECT_NE(text.find(digits), std::string::npos) << digits << "\n" << text;
    }
    test::RunCommand("pdftoppm -r 300 -singlefile -png " + test::Quote(pdf) + " " +
                     test::Quote(temp_.path() / "scan"));
    const std::string scanned =
        test::RunCommand("zbarimg -q " + test::Quote(temp_.path() / "scan.png"));
    // A scanner reads UPC-A as the EAN-13 with a leading 0.
    for (const char* code : {"EAN-13:5901234123457\n", "CODE-128:Quernel-128\n",
                             "CODE-39:FV-2024/12\n", "EAN-13:0036000291452\n", "I2/5:12345678\n"}) {
        EXPECT_NE(scanned.find(code), std::string::npos) << code << "\n" << scanned;
    }

    // The raster: 1 x 1/4 inch on the line after "Raster:", thirds cyan, magenta and yellow;
    // at 360 dpi a pixel is a dot.
    const int dpi = 360;
    const QImage page = test::RasterisePage(pdf, 1, dpi, temp_.path());
    const double px = dpi / 72.0;
    const auto words = PdfWords(pdf, 1);
    const PdfWord label = FindWord(words, "Raster:"), end = FindWord(words, "Koniec");
    const QRect area(0, static_cast<int>(label.bottom * px) + 1, page.width(),
                     static_cast<int>((end.top - label.bottom) * px) - 1);
    struct Ink {
        QRgb colour;
        QRect box;
        int count = 0;
    };
    std::vector<Ink> inks = {
        {qRgb(0, 255, 255), {}}, {qRgb(255, 0, 255), {}}, {qRgb(255, 255, 0), {}}};
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = page.pixel(x, y);
            for (Ink& ink : inks) {
                if (std::abs(qRed(p) - qRed(ink.colour)) < 40 &&
                    std::abs(qGreen(p) - qGreen(ink.colour)) < 40 &&
                    std::abs(qBlue(p) - qBlue(ink.colour)) < 40) {
                    ink.box |= QRect(x, y, 1, 1);
                    ++ink.count;
                }
            }
        }
    }
    for (const Ink& ink : inks) {
        ASSERT_GT(ink.count, 0);
        EXPECT_NEAR(ink.box.left(), label.left * px, 2);
        EXPECT_NEAR(ink.box.width(), (dpi - 2) * kAlong, 2);  // inside the frame's columns
        EXPECT_NEAR(ink.box.height(), dpi / 12.0 * kDown, 2);
    }
    EXPECT_LT(inks[0].box.bottom(), inks[1].box.top());
    EXPECT_LT(inks[1].box.bottom(), inks[2].box.top());
    // The frame is black: its left column is dark from the top stripe to the bottom one.
    const test::TInk frame = test::InkIn(page,
                                         QRect(inks[0].box.left() - 2, inks[0].box.top(), 3,
                                               inks[2].box.bottom() - inks[0].box.top() + 1),
                                         64);
    EXPECT_GE(frame.box.height(), inks[2].box.bottom() - inks[0].box.top() - 2);
}

// With box lines, the frame of code page 437 chosen by the printout is lines: no text, and its
// top line runs unbroken across its twelve cells; the letters inside stay text.
TEST_F(PlatformCommandSetPdf, FrameOfATableChosenByThePrintoutIsLines) {
    const fs::path pdf = Render("escp_code_pages.prn", "escp");
    const std::string text = Layout(pdf);
    EXPECT_EQ(text.find("═"), std::string::npos) << text;
    EXPECT_EQ(text.find("║"), std::string::npos) << text;
    EXPECT_NE(text.find("Café ü"), std::string::npos) << text;
    EXPECT_NE(text.find("Привет, мир\n"), std::string::npos) << text;
    const auto words = PdfWords(pdf, 1);
    const PdfWord cafe = FindWord(words, "Café");
    const double cell = (cafe.right - cafe.left) / 4;
    const int dpi = 100;
    const QImage page = test::RasterisePage(pdf, 1, dpi, temp_.path());
    const double px = dpi / 72.0;
    // The line above "Café": from the middle of the corner's cell (two cells before the word) to
    // the middle of the other corner's, eleven cells on.
    const int top = static_cast<int>((cafe.top - 1.5 * (cafe.bottom - cafe.top)) * px);
    const int bottom = static_cast<int>(cafe.top * px) - 1;
    const test::TInk ink = test::InkIn(page, QRect(0, top, page.width(), bottom - top));
    EXPECT_NEAR(ink.box.left(), (cafe.left - 1.5 * cell) * px, cell * px / 3);
    EXPECT_NEAR(ink.box.width(), 11 * cell * px, cell * px / 3);
    // Unbroken: every column of the top line has ink.
    for (int x = ink.box.left(); x <= ink.box.right(); ++x) {
        bool inked = false;
        for (int y = ink.box.top(); y <= ink.box.bottom() && !inked; ++y) {
            inked = qGray(page.pixel(x, y)) < 128;
        }
        EXPECT_TRUE(inked) << "gap at " << x;
        if (!inked) break;
    }
}

// ESC r prints in the ribbon's colour: the words of each line, a bit image and box lines (a
// shade a lighter tint of its colour); the text stays searchable.
TEST_F(PlatformCommandSetPdf, RibbonColoursInThePdf) {
    const fs::path pdf = Render("escp_colours.prn", "escp");
    const std::string text = Layout(pdf);
    EXPECT_NE(text.find("Kolor żółty"), std::string::npos) << text;
    const auto words = PdfWords(pdf, 1);
    const int dpi = 100;
    const QImage page = test::RasterisePage(pdf, 1, dpi, temp_.path());
    const double px = dpi / 72.0;
    // The commonest colour of the darker pixels in a rectangle (points).
    const auto inkOf = [&](double left, double top, double right, double bottom) {
        std::map<QRgb, int> counts;
        for (int y = static_cast<int>(top * px); y < static_cast<int>(bottom * px); ++y) {
            for (int x = static_cast<int>(left * px); x < static_cast<int>(right * px); ++x) {
                const QRgb c = page.pixel(x, y);
                if (qRed(c) + qGreen(c) + qBlue(c) < 3 * 235) ++counts[c & 0xFFFFFF];
            }
        }
        QRgb best = 0xFFFFFF;
        int most = 0;
        for (const auto& [c, n] : counts) {
            if (n > most) best = c, most = n;
        }
        return best;
    };
    // Near enough: the rasteriser smooths edges, so the commonest pixel is the solid colour.
    const auto near = [](QRgb a, std::uint32_t b) {
        return std::abs(qRed(a) - static_cast<int>(b >> 16)) < 24 &&
               std::abs(qGreen(a) - static_cast<int>((b >> 8) & 0xFF)) < 24 &&
               std::abs(qBlue(a) - static_cast<int>(b & 0xFF)) < 24;
    };
    const struct {
        const char* word;
        std::uint32_t rgb;
    } lines[] = {{"czarny", 0x000000},    {"purpurowy", 0xE4007C}, {"cyjan", 0x009FE3},
                 {"fioletowy", 0x4B2C8C}, {"żółty", 0xFFDD00},     {"czerwony", 0xE2001A},
                 {"zielony", 0x009A3E},   {"Znowu", 0x000000}};
    std::vector<PdfWord> found;
    for (const PdfWord& w : words) {
        if (found.size() < 8 && w.text == lines[found.size()].word) found.push_back(w);
    }
    ASSERT_EQ(found.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(found[i].text);
        // The middle of the letters, clear of a shade that reaches down from the line above.
        const double quarter = (found[i].bottom - found[i].top) / 4;
        const QRgb ink =
            inkOf(found[i].left, found[i].top + quarter, found[i].right, found[i].bottom - quarter);
        EXPECT_TRUE(near(ink, lines[i].rgb)) << std::hex << ink;
    }
    // Below the coloured lines, a line each: the red bar, the cyan frame (two lines) and the
    // green shade.
    const double line = found[1].top - found[0].top;
    const double left = found[0].left;
    const double below = found[6].top + line;
    EXPECT_TRUE(near(inkOf(left, below, left + 40, below + line), 0xE2001A));
    EXPECT_TRUE(near(inkOf(left, below + line, left + 40, below + 3 * line), 0x009FE3));
    const QRgb shade = inkOf(left, below + 3 * line, left + 40, below + 4 * line);
    EXPECT_GT(qGreen(shade), qRed(shade) + 20) << std::hex << shade;
    EXPECT_GT(qRed(shade), 0x40) << std::hex << shade;  // a tint, lighter than the solid
}

TEST_F(PlatformCommandSetPdf, ScreenDumpIsOnePageOfSmallPictures) {
    const fs::path pdf = Render("escp_screen_dump.prn", "auto");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    EXPECT_EQ(Stencils(pdf), 60);
    EXPECT_TRUE(test::PdfPageText(pdf, 1).find_first_not_of(" \n\f") == std::string::npos);
    EXPECT_LT(fs::file_size(pdf), 40u * 1024);
}

TEST_F(PlatformCommandSetPdf, PclRasterPageAndPjlJob) {
    fs::path pdf = Render("pcl_raster_page.pcl", "auto");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    EXPECT_EQ(Stencils(pdf), 2);  // the picture and the rule
    EXPECT_NE(Layout(pdf).find("Rysunek 1"), std::string::npos);

    pdf = Render("pcl_pjl_lineprinter.pcl", "auto");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    const std::string text = Layout(pdf);
    EXPECT_EQ(text.find("PJL"), std::string::npos) << text;
    std::string digits;
    for (int i = 0; i < 128; ++i) digits += static_cast<char>('0' + i % 10);
    EXPECT_NE(text.find(digits + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Raport dzienny"), std::string::npos);
}

// PCL: a form kept as a macro prints on every page as its overlay; a rectangle shaded 25 %
// prints in HP's 30 % grey, one cross-hatched as a grid of lines over about a quarter of it.
TEST_F(PlatformCommandSetPdf, PclOverlayShadesAndCrossHatching) {
    const fs::path printout = temp_.path() / "form.pcl";
    const std::string rect = "\x1b*c600a300b";  // 2 x 1 inch at 300 units an inch
    test::WriteFile(printout, std::string("\x1b"
                                          "E\x1b&f5y0X\x1b*p0x0YFORMULARZ\x1b&f1X\x1b&f4X"
                                          "\x1b*p300x600Y" +
                                          rect +
                                          "\x1b*c25g2P"
                                          "\x1b*p300x1200Y" +
                                          rect +
                                          "\x1b*c5g3P"
                                          "Strona 1\x0cStrona 2\x1b"
                                          "E"));
    const fs::path pdf = Render(printout.c_str(), "pcl");
    ASSERT_EQ(test::PdfPageCount(pdf), 2);
    for (int n : {1, 2}) {
        const std::string text = test::PdfPageText(pdf, n);
        EXPECT_NE(text.find("FORMULARZ"), std::string::npos) << n << ": " << text;
        EXPECT_NE(text.find("Strona " + std::to_string(n)), std::string::npos) << text;
    }
    // Rows where a rectangle's whole width is grey, or a line of the hatching dark.
    const int dpi = 300;
    const QImage page = test::RasterisePage(pdf, 1, dpi, temp_.path());
    QRect grey, hatch;
    for (int y = 0; y < page.height(); ++y) {
        QRect greyRow, darkRow;
        int greys = 0, darks = 0;
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, y);
            if (std::abs(qGray(p) - 179) < 6 && qRed(p) == qBlue(p)) {
                greyRow |= QRect(x, y, 1, 1);
                ++greys;
            }
            if (qGray(p) < 128) {
                darkRow |= QRect(x, y, 1, 1);
                ++darks;
            }
        }
        if (greys > 3 * dpi / 2) grey |= greyRow;
        if (darks > 3 * dpi / 2) hatch |= darkRow;
    }
    EXPECT_NEAR(grey.width(), 2 * dpi * kAlong, 2);
    EXPECT_NEAR(grey.height(), dpi * kDown, 2);
    // The horizontal lines: the first 2 dots of every 16 rows, the last at rows 288 and 289.
    EXPECT_NEAR(hatch.width(), 2 * dpi * kAlong, 2);
    EXPECT_NEAR(hatch.height(), (dpi - 10) * kDown, 2);
    EXPECT_NEAR(hatch.top() - grey.top(), 2 * dpi * kDown, 2);
    EXPECT_NEAR(hatch.left(), grey.left(), 2);
    // Inside the grid, 2 dots of every 16 are dark both ways.
    const test::TInk ink = test::InkIn(page, hatch.adjusted(0, 0, 0, -2));
    const double share = ink.count / double(hatch.width() * (hatch.height() - 2));
    EXPECT_NEAR(share, 1 - (14 / 16.0) * (14 / 16.0), 0.04);
}

}  // namespace
}  // namespace quernel
