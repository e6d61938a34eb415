#include <gtest/gtest.h>

#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;
using namespace meaning;

class EscPRenderTest : public CommandSetFixture {
  protected:
    // The position of the last drawn character that is `ch`.
    TPoint At(char ch) const {
        for (auto t = printer.texts.rbegin(); t != printer.texts.rend(); ++t) {
            if (!t->bytes.empty() && t->bytes[0] == static_cast<std::uint8_t>(ch)) {
                return {t->x, t->y};
            }
        }
        ADD_FAILURE() << "no " << ch;
        return {};
    }
    const RecordingPrinter::Text* TextOf(std::uint8_t byte) const {
        for (const auto& t : printer.texts) {
            if (!t.bytes.empty() && t.bytes[0] == byte) return &t;
        }
        return nullptr;
    }
    static std::string Band(int mode, int columns, int bytesPerColumn) {
        return "\x1b*"s + static_cast<char>(mode) + static_cast<char>(columns & 0xFF) +
               static_cast<char>(columns >> 8) + std::string(columns * bytesPerColumn, '\xff');
    }
};

// Positions and feeds are inches of the printer: 24-pin units here (n/180 for ESC J and
// ESC 3, n/60 for ESC A, n/360 for ESC +, n/60 for ESC $ and n/180 for ESC \).
TEST_F(EscPRenderTest, PositionsAndFeedsAreInchesOfThePrinterOnTheGrid) {
    Render(B("\x1b$\x78\x00"s    // 120/60: 2 inches
             "A\x1b\\\x5a\x00"s  // half an inch further on
             "B\x1bJ\xb4"        // feed 1 inch, back to the left margin
             "C\x1b"
             "3\x5a\r\nD\x1b"  // lines of 1/2 inch
             "A\x1e\r\nE\x1b+\xb4\r\nF\x1b"
             "2\r\nG\x1b"
             "0\r\nH\x1bj\x5aI"),
           TCommandSet::kEscP);
    EXPECT_EQ(At('A'), (TPoint{Along(2.0), Down(0)}));
    EXPECT_EQ(At('B'), (TPoint{Along(2.6), Down(0)}));
    EXPECT_EQ(At('C'), (TPoint{Along(0), Down(1.0)}));
    EXPECT_EQ(At('D'), (TPoint{Along(0), Down(1.5)}));
    EXPECT_EQ(At('E'), (TPoint{Along(0), Down(2.0)}));
    EXPECT_EQ(At('F'), (TPoint{Along(0), Down(2.5)}));
    EXPECT_EQ(At('G'), (TPoint{Along(0), Down(2.5 + 1.0 / 6)}));
    EXPECT_EQ(At('H'), (TPoint{Along(0), Down(2.5 + 1.0 / 6 + 1.0 / 8)}));
    // ESC j feeds backward and keeps the place along the line.
    EXPECT_EQ(At('I'), (TPoint{Along(0.1), Down(2.5 + 1.0 / 6 + 1.0 / 8 - 0.5)}));
    EXPECT_EQ(PageCount(), 1);
}

// A printout with 9-pin commands counts in 9-pin units: n/216 and n/72, n/120 for ESC \.
TEST_F(EscPRenderTest, NinePinPrintoutsFeedInNinePinUnits) {
    Render(B("\x1b"
             "1"s                // 7/72 inch line spacing: only 9-pin printers have it
             "\x1bJ\xd8"         // 216/216
             "A\x1b\\\x3c\x00"s  // 60/120
             "B\x1b"
             "3\x24\r\nC\x1b"
             "A\x0c\r\nD"),
           TCommandSet::kEscP);
    EXPECT_EQ(At('A'), (TPoint{Along(0), Down(1.0)}));
    EXPECT_EQ(At('B'), (TPoint{Along(0.6), Down(1.0)}));
    EXPECT_EQ(At('C'), (TPoint{Along(0), Down(1.0 + 1.0 / 6)}));
    EXPECT_EQ(At('D'), (TPoint{Along(0), Down(1.0 + 2.0 / 6)}));
}

// Each density draws its band in its real size: one inch of columns is one inch of the grid,
// and a band is 8, 24 or 48 dots of its vertical density high.
TEST_F(EscPRenderTest, GraphicsBandsHaveTheirRealSize) {
    struct Row {
        std::string command;  // one inch of columns, every dot inked
        double height;        // inches
    };
    const std::vector<Row> rows = {
        {Band(0, 60, 1), 8 / 60.0},
        {Band(1, 120, 1), 8 / 60.0},
        {Band(2, 120, 1), 8 / 60.0},
        {Band(3, 240, 1), 8 / 60.0},
        {Band(4, 80, 1), 8 / 60.0},
        {Band(6, 90, 1), 8 / 60.0},
        {Band(32, 60, 3), 24 / 180.0},
        {Band(33, 120, 3), 24 / 180.0},
        {Band(38, 90, 3), 24 / 180.0},
        {Band(39, 180, 3), 24 / 180.0},
        {Band(40, 360, 3), 24 / 180.0},
        {Band(71, 180, 6), 48 / 360.0},
        {Band(72, 360, 6), 48 / 360.0},
        {Band(73, 360, 6), 48 / 360.0},
        {"\x1bK\x3c\x00"s + std::string(60, '\xff'), 8 / 60.0},
        {"\x1bL\x78\x00"s + std::string(120, '\xff'), 8 / 60.0},
        {"\x1bY\x78\x00"s + std::string(120, '\xff'), 8 / 60.0},
        {"\x1bZ\xf0\x00"s + std::string(240, '\xff'), 8 / 60.0},
        {"\x1b.\x00\x0a\x0a\x18\x68\x01"s + std::string(24 * 45, '\xff'), 24 / 360.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(SequenceToText(B(row.command.substr(0, 8))));
        printer.bitmaps.clear();
        Render(B(row.command + "A"), TCommandSet::kEscP);
        ASSERT_EQ(printer.bitmaps.size(), 1u);
        const TRect r = printer.bitmaps[0].rect;
        EXPECT_EQ(r, (TRect{Along(0), Down(0), Along(1.0), Down(row.height)}));
        EXPECT_EQ(At('A').x, Along(1.0));  // the print position moved past the picture
    }
    // 9-pin: 72 and 144 dots an inch, 72 down; ESC ^ has 9 dots.
    for (const auto& [command, height] : std::vector<std::pair<std::string, double>>{
             {Band(5, 72, 1), 8 / 72.0},
             {Band(7, 144, 1), 8 / 72.0},
             {"\x1b^\x00\x3c\x00"s + std::string(120, '\xff'), 9 / 72.0}}) {
        printer.bitmaps.clear();
        Render(B(command), TCommandSet::kEscP);
        ASSERT_EQ(printer.bitmaps.size(), 1u);
        EXPECT_EQ(printer.bitmaps[0].rect, (TRect{Along(0), Down(0), Along(1.0), Down(height)}));
    }
}

TEST_F(EscPRenderTest, BandsFedByTheirHeightMeetAndOnlyTheirInkIsDrawn) {
    // Three full 24-dot bands, each fed by its height, then one of 4 columns inked in its
    // first column only and one inked in its last row only.
    const std::string full = Band(39, 10, 3) + "\r\x1bJ\x18";
    const std::string firstColumn = "\x1b*\x27\x04\x00\xff\xff\xff"s + std::string(9, '\0');
    std::string lastRow = "\x1b*\x27\x04\x00"s;
    for (int i = 0; i < 4; ++i) lastRow += "\x00\x00\x01"s;
    Render(B(full + full + full + firstColumn + lastRow), TCommandSet::kEscP);
    ASSERT_EQ(printer.bitmaps.size(), 5u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(printer.bitmaps[static_cast<std::size_t>(i)].rect.top, Down(i * 24 / 180.0));
        EXPECT_EQ(printer.bitmaps[static_cast<std::size_t>(i)].rect.bottom,
                  Down((i + 1) * 24 / 180.0));
    }
    const double dot = kInchAlong / 180;
    const auto& column = printer.bitmaps[3];
    EXPECT_EQ(column.bitmap.width, 1);  // the blank columns are left out
    EXPECT_EQ(column.bitmap.height, 24);
    EXPECT_EQ(column.rect.left, Along(0));
    EXPECT_EQ(column.rect.right, static_cast<int>(kOrigin + dot));
    const auto& row = printer.bitmaps[4];
    EXPECT_EQ(row.bitmap.width, 4);
    EXPECT_EQ(row.bitmap.height, 1);
    EXPECT_EQ(row.rect.left, static_cast<int>(kOrigin + 4 * dot));  // after the first band
    EXPECT_EQ(row.rect.bottom, Down(4 * 24 / 180.0));
    EXPECT_EQ(row.rect.top, static_cast<int>(kOrigin + (3 * 24 + 23) / 180.0 * kInchDown));
}

// ESC ? gives ESC K another mode: here 24 dots, three bytes a column.
TEST_F(EscPRenderTest, ReassignedModeDrawsEscKWithItsDots) {
    Render(B("\x1b?K\x21\x1bK\x78\x00"s + std::string(360, '\x0c') + "A"), TCommandSet::kEscP);
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    // 0x0C inks rows 4 and 5 of each byte: rows 4 to 21 of the band hold ink.
    EXPECT_EQ(printer.bitmaps[0].bitmap.height, 18);
    EXPECT_EQ(At('A').x, Along(1.0));
    EXPECT_EQ(Pages(), (std::vector<std::string>{"A"}));
}

TEST_F(EscPRenderTest, ScreenDumpIsOnePageOfBandsThatMeet) {
    Render(DataFile("escp_screen_dump.prn"), TCommandSet::kEscP);
    EXPECT_EQ(PageCount(), 1);
    EXPECT_TRUE(printer.texts.empty());
    ASSERT_EQ(printer.bitmaps.size(), 60u);
    for (std::size_t i = 0; i < printer.bitmaps.size(); ++i) {
        const TRect r = printer.bitmaps[i].rect;
        SCOPED_TRACE(i);
        EXPECT_EQ(r.left, Along(0));  // a grid line at column 0 of every band
        EXPECT_LE(r.right, Along(8.0));
        // 8 dots at 60 an inch, fed by 24/180 inch: each band starts where the last ended.
        EXPECT_EQ(r.top, Down(i * 8 / 60.0));
        EXPECT_EQ(r.bottom, Down((i + 1) * 8 / 60.0));
    }
}

TEST_F(EscPRenderTest, InvoiceWithLogoIsOnePageLogoAboveText) {
    Render(DataFile("escp_invoice_logo.prn"), TCommandSet::kEscP, ShippedTable());
    EXPECT_EQ(PageCount(), 1);
    EXPECT_EQ(Pages(), (std::vector<std::string>{"FAKTURA 12/2024Pozycja 1NettoVATRazemGr\xfc\xdf"
                                                 "e"}));
    ASSERT_EQ(printer.bitmaps.size(), 2u);
    const double band = 24 / 180.0;
    EXPECT_EQ(printer.bitmaps[0].rect, (TRect{Along(0), Down(0), Along(2.0), Down(band)}));
    EXPECT_EQ(printer.bitmaps[1].rect, (TRect{Along(0), Down(band), Along(2.0), Down(2 * band)}));
    // The frame of the logo: its corners inked, the inside not.
    const TBitmap& top = printer.bitmaps[0].bitmap;
    EXPECT_TRUE(top.Dot(0, 0));
    EXPECT_TRUE(top.Dot(359, 3));
    EXPECT_FALSE(top.Dot(100, 10));
    EXPECT_TRUE(printer.bitmaps[1].bitmap.Dot(200, 23));

    const auto* title = TextOf('F');
    ASSERT_NE(title, nullptr);
    EXPECT_EQ((TPoint{title->x, title->y}), (TPoint{Along(2.5), Down(2 * band)}));
    EXPECT_EQ(title->font.weight, 700);
    const int line2 = Down(2 * band) + kLine;
    EXPECT_EQ(At('P').y, line2);
    // 1/3 inch to the table's line; its tabs at 10 and 30 columns of 10 CPI.
    EXPECT_EQ(At('N'), (TPoint{Along(0), line2 + Down(1.0 / 3) - Down(0)}));
    EXPECT_EQ(At('V').x, Along(1.0));
    EXPECT_EQ(At('R').x, Along(3.0));
}

TEST_F(EscPRenderTest, PageLengthAndSkipOverPerforationBreakPages) {
    std::string lines;
    for (int i = 0; i < 25; ++i) lines += "L\r\n";
    Render(B("\x1b"
             "C\x0a"s +
             lines),
           TCommandSet::kEscP);
    EXPECT_EQ(PageCount(), 3);  // 10 + 10 + 5 lines
    EXPECT_EQ(Pages()[1], std::string(10, 'L'));

    Render(B("\x1b"
             "C\x00\x01"s +
             lines),
           TCommandSet::kEscP);  // 1 inch: 6 lines
    EXPECT_EQ(PageCount(), 5);

    Render(B("\x1b"
             "C\x0a\x1bN\x02"s +
             lines),
           TCommandSet::kEscP);  // 8 lines and 2 skipped
    EXPECT_EQ(PageCount(), 4);
    EXPECT_EQ(Pages()[0], std::string(8, 'L'));

    // 66 lines of 1/8 inch on a form of 66 such lines.
    Render(B("\x1b"
             "0\x1b"
             "C\x42"s +
             lines + lines + lines + lines + lines + lines + lines.substr(0, 3 * 7)),
           TCommandSet::kEscP);
    EXPECT_EQ(PageCount(), 3);
    EXPECT_EQ(Pages()[1].size(), 66u);

    // Longer than the grid's page: the sheet still ends at the grid's last line.
    Render(B("\x1b"
             "C\x00\x16"s +
             lines + lines + lines),
           TCommandSet::kEscP);
    EXPECT_EQ(PageCount(), 2);
    EXPECT_EQ(Pages()[0].size(), 67u);
}

TEST_F(EscPRenderTest, TabStopsMarginAndExtraSpace) {
    Render(B("\x1bl\x0a"s            // left margin: 10 columns of 10 CPI
             "A\r\nB\x1b$\x3c\x00"s  // 1 inch from the margin
             "C\r\n\x1b"
             "D\x05\x00\tD\x1b \x12"s  // a tab stop at 5 columns; 18/180 inch after characters
             "EF\x1b@\r\nG\tH"),
           TCommandSet::kEscP, ShippedTable());
    EXPECT_EQ(At('A'), (TPoint{Along(1.0), Down(0)}));
    EXPECT_EQ(At('B'), (TPoint{Along(1.0), Down(1.0 / 6)}));
    EXPECT_EQ(At('C').x, Along(2.0));
    EXPECT_EQ(At('D').x, Along(1.5));
    EXPECT_EQ(At('E').x, Along(1.6));
    EXPECT_EQ(At('F').x, Along(1.8));
    // ESC @ sets all back: no margin, tab stops every 8 columns.
    EXPECT_EQ(At('G').x, Along(0));
    EXPECT_EQ(At('H').x, Along(0.8));
    EXPECT_EQ(printer.texts.back().font.advance, kInchAlong / 10);
}

TEST_F(EscPRenderTest, NationalCharactersItalicTableAndUpperControlCodes) {
    Render(B("\x1bR\x02{\x1bR\x03#\x1bR\x07#\x1bR\x00{"s), TCommandSet::kEscP);
    ASSERT_EQ(printer.texts.size(), 4u);
    // ä is in the map's Windows-1250, £ only in Windows-1252, the peseta sign in neither.
    EXPECT_EQ(printer.texts[0].bytes, B("\xe4"s));
    EXPECT_EQ(printer.texts[0].font.charset, CharsetAt(0).value);
    EXPECT_EQ(printer.texts[1].bytes, B("\xa3"s));
    EXPECT_EQ(printer.texts[1].font.charset, 0);
    EXPECT_EQ(printer.texts[2].bytes, B("?"s));
    EXPECT_EQ(printer.texts[3].bytes, B("{"s));

    printer.texts.clear();
    // The italic table: the upper half is the lower in italics; with ESC 7, 128..159 are
    // control codes (0x8A a line feed), with ESC 6 characters.
    Render(B("\x1bt\x00\xc1\x1b"s
             "7\x8a"
             "B\x1b"
             "6\x8a"
             "C"s),
           TCommandSet::kEscP);
    ASSERT_EQ(printer.texts.size(), 4u);
    EXPECT_EQ(printer.texts[0].bytes, B("A"s));
    EXPECT_TRUE(printer.texts[0].font.italic);
    EXPECT_EQ((TPoint{printer.texts[1].x, printer.texts[1].y}), (TPoint{Along(0), Down(1.0 / 6)}));
    EXPECT_FALSE(printer.texts[1].font.italic);
    EXPECT_EQ(printer.texts[2].bytes, B("\x0a"s));  // printed, not a line feed
    EXPECT_EQ(printer.texts[3].y, Down(1.0 / 6));
}

TEST_F(EscPRenderTest, UnknownBytesAreDroppedAndTheTableComesFirst) {
    Render(B("A\x00\x01\x02\x1b\x1d"s
             "B\x1byC"s),
           TCommandSet::kEscP);
    EXPECT_EQ(Pages(), (std::vector<std::string>{"ABC"}));

    // A table entry keeps its meaning: ESC J as bold here, so nothing is fed, and the byte
    // after it is a control code the printer drops.
    const TEscapeSequences table{{B("\x1bJ"s), kBoldOn}};
    Render(B("\x1bJ\x10X"s), TCommandSet::kEscP, table);
    ASSERT_EQ(printer.texts.size(), 4u);
    EXPECT_EQ(printer.texts.back().bytes, B("X"s));
    EXPECT_EQ(printer.texts.back().y, Down(0));
    EXPECT_EQ(printer.texts.back().font.weight, 700);
}

TEST_F(EscPRenderTest, MasterSelectVerticalTabsAndRaster) {
    Render(B("\x1b!\x38W\x1b!\x00N"s
             "\x1b"
             "B\x05\x0a\x00\x0bV\x0bT\x0bP"s
             "\x1b.\x00\x14\x14\x02\x10\x00\x0c\x0c\x0c\x0c"s
             "\x1b.\x01\x14\x14\x02\x10\x00\xfd\x0c"s),
           TCommandSet::kEscP);
    const auto* wide = TextOf('W');
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->font.weight, 700);
    EXPECT_EQ(wide->font.width, static_cast<int>(2 * kInchAlong / 10));
    EXPECT_EQ(TextOf('N')->font.weight, 400);
    EXPECT_EQ(At('V'), (TPoint{Along(0), Down(5.0 / 6)}));
    EXPECT_EQ(At('T'), (TPoint{Along(0), Down(10.0 / 6)}));
    EXPECT_EQ(PageCount(), 2);  // no stop below the last: the next page
    EXPECT_EQ(At('P'), (TPoint{Along(0), Down(0)}));
    // The same raster, once as it is and once run-length coded: 2 rows of 16 dots, 1/180 inch.
    ASSERT_EQ(printer.bitmaps.size(), 2u);
    EXPECT_EQ(printer.bitmaps[0].bitmap, printer.bitmaps[1].bitmap);
    // 0x0C inks columns 4, 5, 12 and 13: 10 columns of 1/180 inch are drawn.
    EXPECT_NEAR(printer.bitmaps[0].rect.right - printer.bitmaps[0].rect.left, 10 * kInchAlong / 180,
                1);
}

// On any grid and paper an inch of the printer is 10 cells at 10 CPI along a line and 6 lines
// down: a 3-inch band spans 30 columns, a band of 24/180 inch 0.8 line, and text goes on
// where the picture ends.
TEST_F(EscPRenderTest, GeometryFollowsTheGridOnAnyPaper) {
    struct Row {
        TDeviceCaps caps;
        int charsPerLine, linesPerPage;
    };
    const std::vector<Row> rows = {
        {{4960, 7014, 600, 600, 100, 100}, 80, 67},   // A4, the defaults
        {{4960, 7014, 600, 600, 100, 100}, 136, 88},  // condensed listing paper
        {{2450, 3200, 300, 300, 50, 50}, 240, 120},   // Letter at 300 dpi, the largest grid
        {{4800, 6600, 600, 600, 0, 0}, 40, 20},       // the smallest grid
    };
    // 3 inches of 24-dot columns at 60 an inch, then an "A" and a line end, then "B".
    const Bytes data = B(Band(32, 180, 3) + "A\r\nB");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.charsPerLine);
        printer.caps = row.caps;
        printer.bitmaps.clear();
        printer.texts.clear();
        TPrintInterface job(services);
        job.SetPage(5, 5, 5, 5, row.charsPerLine, row.linesPerPage, 120, 46, 0, 1);
        job.LoadDefaultSequences();
        job.SetCommandSet(TCommandSet::kEscP);
        job.BeginJob("grid");
        TPrinterStatus st;
        job.PrintData(data, 0, false, false, st);
        job.EndJob();
        const double cell =
            static_cast<double>(row.caps.pageWidth - 2 * job.LeftPx()) / row.charsPerLine;
        ASSERT_EQ(printer.bitmaps.size(), 1u);
        const TRect r = printer.bitmaps[0].rect;
        EXPECT_EQ(r.left, job.LeftPx());
        EXPECT_EQ(r.right, static_cast<int>(job.LeftPx() + 30 * cell + 1e-6));
        EXPECT_EQ(r.bottom - r.top, static_cast<int>(0.8 * job.LineHeight() + 1e-6));
        ASSERT_EQ(printer.texts.size(), 2u);
        EXPECT_EQ(printer.texts[0].x, r.right);
        EXPECT_EQ(printer.texts[0].font.width, static_cast<int>(cell));
        EXPECT_EQ(printer.texts[1].y, job.TopPx() + job.LineHeight());
    }
}

// In the landscape layout a picture turns with the text: its top row faces the right edge.
TEST_F(EscPRenderTest, LandscapeTurnsPicturesWithTheText) {
    const std::string topRowOnly = "\x1b*\x27\xb4\x00"s + [] {
        std::string columns;
        for (int i = 0; i < 180; ++i) columns += "\x80\x00\x00"s;
        return columns;
    }();
    Render(B(topRowOnly + "A"), TCommandSet::kEscP, {}, 1);
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    const auto& b = printer.bitmaps[0];
    EXPECT_EQ(b.bitmap.width, 1);
    EXPECT_EQ(b.bitmap.height, 180);
    // Along the line (down the sheet) 1 inch of 6778 / 120 * 10 pixels; the top row lies at
    // the right margin.
    EXPECT_EQ(b.rect.top, 118);
    EXPECT_EQ(b.rect.bottom, static_cast<int>(118 + 6778 / 120.0 * 10));
    EXPECT_EQ(b.rect.right, 4960 - 118);
    const int lineHeight = (4960 - 236) / 46;  // 102 pixels, 6 lines an inch
    EXPECT_EQ(b.rect.left, static_cast<int>(4960 - 118 - lineHeight * 6 / 180.0));
    const auto* a = TextOf('A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->y, b.rect.bottom);
    EXPECT_EQ(a->x, 4960 - 118);
}

}  // namespace
}  // namespace quernel::test
