#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/PclLanguage.h"
#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;
using namespace meaning;

Bytes Bytes_(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// One PCL escape, and what its structure says it takes.
struct EscapeRow {
    const char* what;
    std::string bytes;  // followed by "X", which is not part of it
    std::size_t length;
    std::size_t payload = 0;
    bool valid = true;
};

TEST(PclTest, EscapesAreReadByTheirStructureWithTheirData) {
    const std::vector<EscapeRow> rows = {
        {"reset",
         "\x1b"
         "EX",
         2},
        {"clear margins",
         "\x1b"
         "9X",
         2},
        {"half line feed", "\x1b=X", 2},
        {"orientation", "\x1b&l1OX", 5},
        {"combined: orientation and page size", "\x1b&l1o26AX", 8},
        {"font: five commands in one", "\x1b(s0p16.67h8.5v0b0TX", 19},
        {"symbol set without a group", "\x1b(10UX", 5},
        {"no value", "\x1b*rBX", 4},
        {"relative value", "\x1b&a+120HX", 8},
        {"negative value", "\x1b*p-50YX", 7},
        {"underline off", "\x1b&d@X", 4},
        {"universal exit", "\x1b%-12345XX", 9},
        {"HP-GL/2 entry", "\x1b%1BX", 4},
        {"raster row", "\x1b*b5W\x0c\x0a\x1b\x00\x01X"s, 10, 5},
        {"raster row after a compression mode", "\x1b*b2m3W\x02\x1b\x0cX"s, 10, 3},
        {"raster plane", "\x1b*b2V\x0c\x0cX", 7, 2},
        {"font header", "\x1b)s4W\x1b\x1b\x1b\x1bX", 9, 4},
        {"character data", "\x1b(s3W\x0c\x0c\x0cX", 8, 3},
        {"symbol set definition", "\x1b(f2W\x0c\x0cX", 7, 2},
        {"pattern", "\x1b*c2W\x0c\x0cX", 7, 2},
        {"transparent data", "\x1b&p3X\x1b\x0c\x0aX", 8, 3},
        {"dither matrix", "\x1b*m2W\x0c\x0cX", 7, 2},
        {"colour lookup table", "\x1b*l2W\x0c\x0cX", 7, 2},
        {"configure image data", "\x1b*v2W\x0c\x0cX", 7, 2},
        {"alphanumeric ID", "\x1b&n2W\x0c\x0cX", 7, 2},
        {"data command with a decimal count", "\x1b*b2.0W\x0c\x0cX", 9, 2},
        {"ESC before a control code", "\x1b\x0dX", 1, 0, false},
        {"broken off by another escape",
         "\x1b&l1\x1b"
         "EX",
         4, 0, false},
    };
    for (const EscapeRow& row : rows) {
        SCOPED_TRACE(row.what);
        const Bytes data = Bytes_(row.bytes);
        const TPclEscape e = ParsePclEscape(data, 0, {});
        EXPECT_EQ(e.length, row.length);
        EXPECT_EQ(e.payload, row.payload);
        EXPECT_EQ(e.valid, row.valid);
    }
    // Data longer than the printout ends with it.
    const Bytes cut = Bytes_("\x1b*b90W\x01\x02");
    EXPECT_EQ(ParsePclEscape(cut, 0, {}).length, cut.size());
}

TEST(PclTest, CombinedEscapeHandsOnEachCommandWithItsValue) {
    std::vector<TPclCommand> commands;
    const Bytes data = Bytes_("\x1b(s0p16.67h8.5v-3b0T");
    ParsePclEscape(data, 0, [&](const TPclCommand& c) { commands.push_back(c); });
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(std::string(1, commands[1].parameter), "H");
    EXPECT_DOUBLE_EQ(commands[1].value, 16.67);
    EXPECT_DOUBLE_EQ(commands[2].value, 8.5);
    EXPECT_DOUBLE_EQ(commands[3].value, -3);
    EXPECT_TRUE(commands[3].relative);
    for (const auto& c : commands) {
        EXPECT_EQ(c.parameterised, '(');
        EXPECT_EQ(c.group, 's');
    }
}

TEST(PclTest, AutomaticChoiceReadsTheStartOfThePrintout) {
    const std::vector<std::pair<std::string, TCommandSet>> rows = {
        {"\x1b%-12345X@PJL\r\n", TCommandSet::kPcl},
        {"\x1b"
         "E\x1b&l0O text",
         TCommandSet::kPcl},
        {"\x1b&l1OReport", TCommandSet::kPcl},
        {"\x1b(s3BBold", TCommandSet::kPcl},
        {"text first\r\n\x1b*t300R", TCommandSet::kPcl},
        {"\x1b@\x1b"
         "Ebold",
         TCommandSet::kEscP},
        {"\x1b"
         "Ebold\x1b"
         "F",
         TCommandSet::kEscP},
        {"\x1b*\x21\x01\x00\x00\x00\x00"s, TCommandSet::kEscP},  // ESC/P graphics
        {"\x1b(U\x01\x00\x0a"s, TCommandSet::kEscP},             // ESC/P 2 unit
        {"\x1b$\x31\x00"s, TCommandSet::kEscP},                  // ESC $ with a digit
        {"plain text only", TCommandSet::kEscP},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(DetectCommandSet(Bytes_(text)), expected) << SequenceToText(Bytes_(text));
    }
}

class PclRenderTest : public CommandSetFixture {
  protected:
    const RecordingPrinter::Text* TextOf(char ch) const {
        for (const auto& t : printer.texts) {
            if (!t.bytes.empty() && t.bytes[0] == static_cast<std::uint8_t>(ch)) return &t;
        }
        return nullptr;
    }
    TPoint At(char ch) const {
        const auto* t = TextOf(ch);
        EXPECT_NE(t, nullptr) << ch;
        return t ? TPoint{t->x, t->y} : TPoint{};
    }
    // The top of a text cell whose baseline PCL puts at `y` inches: 3/4 of a line above.
    static int Baseline(double y) { return Down(y - 0.125); }
};

TEST_F(PclRenderTest, PjlLinesAndHpglAreDroppedTransparentDataPrints) {
    Render(DataFile("pcl_pjl_lineprinter.pcl"), TCommandSet::kPcl);
    EXPECT_EQ(PageCount(), 1);
    const std::string page = Pages()[0];
    EXPECT_EQ(page.find("PJL"), std::string::npos) << page;
    EXPECT_EQ(page.find("IN;"), std::string::npos) << page;
    EXPECT_NE(page.find("Raport dzienny"), std::string::npos);
    EXPECT_NE(page.find("Koniec"), std::string::npos);
    // The 128 digits on one line, 16.67 characters an inch, and the 128 control codes as
    // characters on the next one: transparent data is drawn as it is, one run each.
    ASSERT_GE(printer.texts.size(), 2u);
    const auto& digits = printer.texts[0];
    std::string expected;
    for (int i = 0; i < 128; ++i) expected += static_cast<char>('0' + i % 10);
    EXPECT_EQ(ToString(digits.bytes), expected);
    EXPECT_NEAR(digits.font.advance, kInchAlong / 16.67, 0.01);
    EXPECT_LT(digits.x + 128 * digits.font.advance, Along(8.0));  // inside the 8-inch line
    const auto& controls = printer.texts[1];
    EXPECT_EQ(controls.bytes.size(), 128u);
    EXPECT_EQ(controls.bytes[10], 0x0A);
    EXPECT_EQ(controls.y, digits.y + kLine);
    EXPECT_TRUE(printer.bitmaps.empty());
}

TEST_F(PclRenderTest, RasterPageInFourCompressionsWithARuleAndText) {
    Render(DataFile("pcl_raster_page.pcl"), TCommandSet::kPcl);
    EXPECT_EQ(PageCount(), 1);
    ASSERT_EQ(printer.bitmaps.size(), 2u);
    // The picture: 240 x 120 dots at 150 an inch, its top-left an inch from the corner.
    const auto& picture = printer.bitmaps[0];
    EXPECT_EQ(picture.rect,
              (TRect{Along(1.0), Down(1.0), Along(1.0 + 240 / 150.0), Down(1.0 + 120 / 150.0)}));
    ASSERT_EQ(picture.bitmap.width, 240);
    ASSERT_EQ(picture.bitmap.height, 120);
    // Every row, whatever its compression, as drawn: a frame, a diagonal and one odd byte.
    int wrong = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 240; ++x) {
            bool ink = x < 8 || x >= 232 || y < 8 || y >= 112 || std::abs(x - 2 * y) < 10;
            if (x / 8 == 14 && y >= 8 && y < 112) {
                const int odd = (std::array<int, 3>{0x0A, 0x0C, 0x1B})[y % 3];
                ink = odd & (0x80 >> (x % 8));
            }
            wrong += picture.bitmap.Dot(x, y) != ink;
        }
    }
    EXPECT_EQ(wrong, 0);
    // The rule: 2 inches by 6/300 inch at (1, 2) inches.
    EXPECT_EQ(printer.bitmaps[1].rect,
              (TRect{Along(1.0), Down(2.0), Along(3.0), Down(2.0 + 6 / 300.0)}));
    // The text's baseline at 1700 decipoints, 12 characters an inch.
    EXPECT_EQ(At('R'), (TPoint{Along(0), Baseline(1700 / 720.0)}));
    EXPECT_NEAR(printer.texts[1].x - printer.texts[0].x, kInchAlong / 12, 1);
    EXPECT_EQ(Pages()[0], "Rysunek 1");
}

TEST_F(PclRenderTest, CursorPositionsSpacingAndMargins) {
    Render(Bytes_("\x1b&a10C"               // column 10 at 10 characters an inch
                  "A\x1b&a5R"               // row 5: its baseline 5 lines below the first
                  "B\x1b*p600x900Y"         // 300 units an inch
                  "C\x1b&u600D\x1b*p+600X"  // 600 units an inch from now on, relative
                  "D\x1b&l12D\r\n"          // 12 lines an inch
                  "E\x1b&l16C\r\n"          // 16/48 inch
                  "F\x1b&a20L\r\n"          // left margin at column 20
                  "G\x1b"
                  "9\r\nH\x1b&f0S\x1b&a0h0VI\x1b&f1SJ"),
           TCommandSet::kPcl);
    EXPECT_EQ(At('A'), (TPoint{Along(1.0), Baseline(0.125)}));
    EXPECT_EQ(At('B'), (TPoint{Along(1.1), Baseline(0.125 + 5 / 6.0)}));
    EXPECT_EQ(At('C'), (TPoint{Along(2.0), Baseline(3.0)}));
    EXPECT_EQ(At('D'), (TPoint{Along(3.1), Baseline(3.0)}));
    EXPECT_EQ(At('E'), (TPoint{Along(0), Baseline(3.0 + 1 / 12.0)}));
    EXPECT_EQ(At('F'), (TPoint{Along(0), Baseline(3.0 + 1 / 12.0 + 1 / 3.0)}));
    EXPECT_EQ(At('G'), (TPoint{Along(2.0), Baseline(3.0 + 1 / 12.0 + 2 / 3.0)}));
    EXPECT_EQ(At('H'), (TPoint{Along(0), Baseline(3.0 + 1 / 12.0 + 3 / 3.0)}));
    // The cursor pushed before I and popped after it: J follows H.
    EXPECT_EQ(At('I'), (TPoint{Along(0), Baseline(0)}));
    EXPECT_EQ(At('J'), (TPoint{Along(0.1), At('H').y}));
}

TEST_F(PclRenderTest, PitchStylesOrientationAndMacros) {
    Render(Bytes_("\x1b(s12H"
                  "A\x1b(s3B\x1b(s1S\x1b&d0D"
                  "B\x1b(s0B\x1b(s0S\x1b&d@\x1b&k2S"
                  "C\x1b&f5y0X"
                  "macro text\x1b*b3W\x1b&f1X\x1b&f1X"
                  "D\x1b&l1O"
                  "E"),
           TCommandSet::kPcl);
    const auto* a = TextOf('A');
    const auto* b = TextOf('B');
    const auto* c = TextOf('C');
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->font.width, static_cast<int>(kInchAlong / 12));
    EXPECT_EQ(b->font.weight, 700);
    EXPECT_TRUE(b->font.italic);
    EXPECT_TRUE(b->font.underline);
    EXPECT_EQ(c->font.weight, 400);
    EXPECT_FALSE(c->font.italic || c->font.underline);
    EXPECT_EQ(c->font.width, static_cast<int>(kInchAlong / 16.67));
    // A macro's definition is stored by the printer, not printed.
    EXPECT_EQ(Pages()[0], "ABCD");
    // Landscape on a page with text: the next sheet, turned.
    EXPECT_EQ(PageCount(), 2);
    EXPECT_EQ(printer.texts.back().font.escapement, -900);
}

TEST_F(PclRenderTest, TextLengthBreaksPages) {
    std::string lines;
    for (int i = 0; i < 25; ++i) lines += "L\r\n";
    Render(Bytes_("\x1b&l10F" + lines), TCommandSet::kPcl);
    EXPECT_EQ(Pages(), (std::vector<std::string>{std::string(10, 'L'), std::string(10, 'L'),
                                                 std::string(5, 'L')}));
    // At 12 lines an inch, 10 lines of text are 5 lines of the grid.
    Render(Bytes_("\x1b&l12d10F" + lines + lines), TCommandSet::kPcl);
    EXPECT_EQ(PageCount(), 5);
}

TEST_F(PclRenderTest, ResetEjectsEvenWhereTheTableKnowsEscE) {
    const Bytes data = Bytes_(
        "A\x1b"
        "EB");
    Render(data, TCommandSet::kPcl);
    EXPECT_EQ(Pages(), (std::vector<std::string>{"A", "B"}));
    // The shipped table reads ESC E as ESC/P's bold; a PCL job's reset stays a reset, or
    // every PCL printout would print bold. The table's other codes still come first.
    Render(data, TCommandSet::kPcl, ShippedTable());
    EXPECT_EQ(Pages(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(printer.texts.back().font.weight, 400);
    Render(Bytes_("\x1b(s3BC"), TCommandSet::kPcl, ShippedTable());
    EXPECT_EQ(printer.texts.back().font.weight, 700);
}

// Rows without a start begin at the cursor; a Y offset leaves blank rows.
TEST_F(PclRenderTest, ImplicitRasterStartAndYOffset) {
    Render(Bytes_("\x1b*t300R\x1b*p300x300Y\x1b*b1W\xff\x1b*b2Y\x1b*b1W\xff\x1b*rCA"),
           TCommandSet::kPcl);
    ASSERT_EQ(printer.bitmaps.size(), 2u);
    EXPECT_EQ(printer.bitmaps[0].bitmap, printer.bitmaps[1].bitmap);
    EXPECT_EQ(printer.bitmaps[0].bitmap.width, 8);
    EXPECT_EQ(printer.bitmaps[0].bitmap.height, 1);
    EXPECT_EQ(printer.bitmaps[0].rect.top, Down(1.0));
    // A row, two blank rows, a row.
    EXPECT_EQ(printer.bitmaps[1].rect.top, Down(1.0 + 3 / 300.0));
    EXPECT_EQ(printer.bitmaps[1].rect.bottom, Down(1.0 + 4 / 300.0));
    // Text after the picture starts below it, at its left edge.
    EXPECT_EQ(At('A'), (TPoint{Along(1.0), Baseline(1.0 + 4 / 300.0)}));
}

}  // namespace
}  // namespace quernel::test
