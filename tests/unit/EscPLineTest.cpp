#include <gtest/gtest.h>

#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;
using namespace meaning;

// How an ESC/P printer moves along and down its lines: carriage return and backspace, pitch,
// the right margin, double height and vertical tabs.
class EscPLineTest : public CommandSetFixture {
  protected:
    // One print job; what the recording printer keeps is that job's alone.
    void Render(const Bytes& data, TCommandSet set, const TEscapeSequences& table = {}) {
        printer.texts.clear();
        printer.bitmaps.clear();
        CommandSetFixture::Render(data, set, table);
    }
    // Every drawn character that is `ch`, in drawing order.
    std::vector<RecordingPrinter::Text> All(char ch) const {
        std::vector<RecordingPrinter::Text> found;
        for (const auto& t : printer.texts) {
            for (std::uint8_t b : t.bytes) {
                if (b == static_cast<std::uint8_t>(ch)) found.push_back(t);
            }
        }
        return found;
    }
    TPoint At(char ch) const {
        const auto all = All(ch);
        if (all.empty()) {
            ADD_FAILURE() << "no " << ch;
            return {};
        }
        return {all.back().x, all.back().y};
    }
    const RecordingPrinter::Text& TextOf(char ch) const {
        static const RecordingPrinter::Text none{};
        for (const auto& t : printer.texts) {
            if (!t.bytes.empty() && t.bytes[0] == static_cast<std::uint8_t>(ch)) return t;
        }
        ADD_FAILURE() << "no " << ch;
        return none;
    }
    // The column of the emulated printer (10 CPI cells from the grid's left edge) of x.
    static double Column(int x) { return (x - kOrigin) / (kInchAlong / 10); }
};

// A lone CR returns to the left margin whatever the table says (the shipped table ignores it),
// so lines printed again over themselves underline and embolden; BS steps back one cell.
TEST_F(EscPLineTest, CarriageReturnAndBackspaceOverprint) {
    Render(B("\x1bl\x05TOTAL 100\r_____\r\nA\x08=B\x08\x08\x08\x08Z"s), TCommandSet::kEscP,
           ShippedTable());
    const auto underscores = All('_');
    ASSERT_EQ(underscores.size(), 5u);
    EXPECT_EQ((TPoint{underscores[0].x, underscores[0].y}), (TPoint{Along(0.5), Down(0)}));
    EXPECT_EQ(All('T').front().x, Along(0.5));
    EXPECT_EQ(At('A'), (TPoint{Along(0.5), Down(1.0 / 6)}));
    EXPECT_EQ(At('='), At('A'));
    EXPECT_EQ(At('B').x, Along(0.6));
    // Backspace stops at the left margin.
    EXPECT_EQ(At('Z').x, Along(0.5));
    EXPECT_EQ(PageCount(), 1);

    // A table that gives CR and BS other meanings does not change them either; the table
    // alone keeps its meanings.
    const TEscapeSequences table{{B("\r"s), kBoldOn}, {B("\x08"s), kIgnore}};
    Render(B("AB\rC\x08" "D"s), TCommandSet::kEscP, table);
    EXPECT_EQ(At('C').x, Along(0));
    EXPECT_EQ(At('D').x, Along(0));
    EXPECT_EQ(TextOf('C').font.weight, 400);
    Render(B("AB\rC\x08" "D"s), TCommandSet::kTable, table);
    EXPECT_EQ(At('C').x, Along(0.2));
    EXPECT_EQ(At('D').x, Along(0.3));
    EXPECT_EQ(TextOf('C').font.weight, 700);

    // In PCL too.
    Render(B("\x1b"
             "EAB\rC"s),
           TCommandSet::kPcl, ShippedTable());
    EXPECT_EQ(At('C').x, At('A').x);
}

// A graphics band placed with CR and HT after the text of its line lands at the tab stop, on
// that line, not where the text ended.
TEST_F(EscPLineTest, BandAfterCarriageReturnAndTabLandsAtTheStop) {
    const std::string band = "\x1b*\x27\x3c\x00"s + std::string(60 * 3, '\xff');  // 1/3 inch
    Render(B("\x1b"
             "D\x28\x00Okno: ramka\r\t"s +
             band + "\r\nX"),
           TCommandSet::kEscP, ShippedTable());
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(printer.bitmaps[0].rect.left, Along(4.0));
    EXPECT_EQ(printer.bitmaps[0].rect.top, Down(0));
    EXPECT_EQ(At('X'), (TPoint{Along(0), Down(1.0 / 6)}));
}

// Each pitch command selects its own pitch; condensed applies to the pitch in force (17.14
// at 10 CPI, 20 at 12) and is ignored at 15 CPI.
TEST_F(EscPLineTest, EachPitchCommandSelectsItsPitch) {
    struct Row {
        std::string commands;
        double cpi;
    };
    const std::vector<Row> rows = {
        {"\x1bg", 15},
        {"\x1bg\x1bM", 12},
        {"\x1bg\x1bP", 10},
        {"\x1bg\x1bM\x1bP", 10},
        {"\x0f", 120.0 / 7},
        {"\x1b\x0f\x1bM", 20},
        {"\x1bM\x0f\x12", 12},
        {"\x1bg\x0f", 15},              // condensed is ignored at 15 CPI
        {"\x1bg\x0f\x1bP", 10},         // and not kept for later
        {"\x0f\x1bg\x1bP", 120.0 / 7},  // condensed set before lasts through 15 CPI
        {"\x1b!\x05", 20},
        {"\x1b!\x04\x1bM", 20},
        {"\x1b!\x01\x1b@", 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(SequenceToText(B(row.commands)));
        Render(B(row.commands + "A"), TCommandSet::kEscP, ShippedTable());
        EXPECT_NEAR(TextOf('A').font.advance, kInchAlong / row.cpi, 1e-6);
    }
    // With the table alone condensed pica stays the grid's 17 characters an inch, as before.
    Render(B("\x0f"
             "A"s),
           TCommandSet::kTable, ShippedTable());
    EXPECT_NEAR(TextOf('A').font.advance, kInchAlong / 17, 1e-6);
}

// A line longer than the right margin goes on at the left margin of the next line, as the
// printer breaks it; a line that just fills the width adds no empty line.
TEST_F(EscPLineTest, LongLinesWrapAtTheRightMargin) {
    std::string line;
    for (int i = 0; i < 103; ++i) line += static_cast<char>('a' + i % 26);
    Render(B(line + "\r\nZ"), TCommandSet::kEscP, ShippedTable());
    auto texts = printer.TextsOnPage(1);
    std::string first, second;
    for (const auto& t : texts) {
        if (t.y == Down(0)) first += ToString(t.bytes);
        if (t.y == Down(1.0 / 6)) second += ToString(t.bytes);
    }
    EXPECT_EQ(first, line.substr(0, 80));
    EXPECT_EQ(second, line.substr(80));
    EXPECT_EQ(All('z').front().x, Along(2.5));
    EXPECT_EQ(At('Z'), (TPoint{Along(0), Down(2.0 / 6)}));

    // Exactly 80 columns, then a line end: the next line follows at once.
    Render(B(std::string(80, 'x') + "\r\nZ"), TCommandSet::kEscP, ShippedTable());
    EXPECT_EQ(At('Z'), (TPoint{Along(0), Down(1.0 / 6)}));

    // Margins at 5 and 15 columns: 10 characters a line; double width 5; condensed more.
    Render(B("\x1bl\x05\x1bQ\x0f"s + std::string(25, 'x') + "Z"), TCommandSet::kEscP);
    EXPECT_EQ(At('Z'), (TPoint{Along(1.0), Down(2.0 / 6)}));
    Render(B("\x1bQ\x0a\x1bW\x01"s + std::string(5, 'x') + "Z"), TCommandSet::kEscP);
    EXPECT_EQ(At('Z'), (TPoint{Along(0), Down(1.0 / 6)}));
    Render(B("\x0f"s + std::string(137, 'x') + "Z"), TCommandSet::kEscP);
    EXPECT_EQ(At('Z'), (TPoint{Along(0), Down(1.0 / 6)}));

    // The table alone keeps the long line on one line, as before.
    Render(B(line), TCommandSet::kTable, ShippedTable());
    EXPECT_EQ(All('y').back().y, Down(0));
}

// A tab stop beyond the right margin is ignored, and so are positions there.
TEST_F(EscPLineTest, TabStopsAndPositionsBeyondTheRightMarginAreIgnored) {
    Render(B("\x1bQ\x14\x1b"
             "D\x0a\x1e\x00"s  // right margin at 20 columns; stops at 10 and 30
             "A\tB\tC\r\n"
             "\x1b$\x96\x00"
             "D"s),  // 150/60 inch: 25 columns
           TCommandSet::kEscP, ShippedTable());
    EXPECT_EQ(At('B').x, Along(1.0));
    EXPECT_EQ(At('C').x, Along(1.1));
    EXPECT_EQ(At('D').x, Along(0));
}

// ESC w prints characters twice as high on the same line; with ESC W also twice as wide.
TEST_F(EscPLineTest, DoubleHeightAndDoubleWidth) {
    Render(B("\r\nA\x1bw\x01"
             "B\x1bW\x01"
             "C\x1bw\x00"
             "D"s),
           TCommandSet::kEscP);
    const auto& a = TextOf('A');
    const auto& b = TextOf('B');
    const auto& c = TextOf('C');
    const auto& d = TextOf('D');
    EXPECT_EQ(a.font.height, kLine);
    EXPECT_EQ(b.font.height, 2 * kLine);
    EXPECT_EQ(b.font.width, a.font.width);
    EXPECT_EQ(c.font.height, 2 * kLine);
    EXPECT_EQ(c.font.width, 2 * a.font.width);
    EXPECT_EQ(d.font.height, kLine);
    EXPECT_EQ(d.font.width, 2 * a.font.width);
    // The tall cell stands on the line's baseline: it reaches up into the line above.
    EXPECT_LT(b.y, a.y);
    EXPECT_GT(b.y + b.font.height, a.y + a.font.height);
    EXPECT_NEAR(b.y + 0.75 * b.font.height, a.y + 0.75 * a.font.height, 1);
    // Cells follow each other along the line as before.
    EXPECT_EQ(b.x, Along(0.1));
    EXPECT_EQ(c.x, Along(0.2));
    EXPECT_EQ(d.x, Along(0.4));

    // On the first line of a page there is nothing above: it prints at normal height.
    Render(B("\x1bw\x01"
             "A\r\nB"s),
           TCommandSet::kEscP);
    EXPECT_EQ(TextOf('A').font.height, kLine);
    EXPECT_EQ(TextOf('B').font.height, 2 * kLine);
}

// VT: a line feed until tab stops are set; a carriage return when they were all cleared; the
// next stop; the next page past the last stop or in the bottom margin. It ends double width
// for one line.
TEST_F(EscPLineTest, VerticalTabsAsThePrinterDoesThem) {
    Render(B("A\x0b"
             "B\x1b"
             "B\x00"
             "CD\x0b"
             "E"s),
           TCommandSet::kEscP);
    EXPECT_EQ(At('B'), (TPoint{Along(0), Down(1.0 / 6)}));
    EXPECT_EQ(At('E'), (TPoint{Along(0), Down(1.0 / 6)}));  // cleared stops: a carriage return

    Render(B("\x1b"
             "B\x05\x0a\x00"
             "A\x0b"
             "B\x0b"
             "C\x0b"
             "D\x1b@\x0b"
             "E"s),
           TCommandSet::kEscP);
    EXPECT_EQ(PageCount(), 2);
    EXPECT_EQ(At('B'), (TPoint{Along(0), Down(5.0 / 6)}));
    EXPECT_EQ(At('C'), (TPoint{Along(0), Down(10.0 / 6)}));
    EXPECT_EQ(At('D'), (TPoint{Along(0), Down(0)}));
    EXPECT_EQ(At('E'), (TPoint{Along(0), Down(1.0 / 6)}));  // after a reset: a line feed

    // A form of 12 lines, 4 of them skipped at its foot: the stop at line 10 lies in the
    // bottom margin, so the tab goes to the next page.
    Render(B("\x1b"
             "C\x0c\x1bN\x04\x1b"
             "B\x05\x0a\x00"
             "A\x0b"
             "B\x0b"
             "C"s),
           TCommandSet::kEscP);
    EXPECT_EQ(PageCount(), 2);
    EXPECT_EQ(At('B').y, Down(5.0 / 6));
    EXPECT_EQ(At('C').y, Down(0));

    // Stops count in the line spacing when they were set; VT ends one-line double width.
    Render(B("\x1b"
             "3\x3c\x1b"
             "B\x02\x00\x1b"
             "2\x0eW\x0bN"s),
           TCommandSet::kEscP);
    EXPECT_EQ(At('N'), (TPoint{Along(0), Down(2.0 / 3)}));
    EXPECT_EQ(TextOf('N').font.width, TextOf('W').font.width / 2);
}

}  // namespace
}  // namespace quernel::test
