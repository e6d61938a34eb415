#include <gtest/gtest.h>

#include "engine/Explain.h"
#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

// Which characters an ESC/P printout prints: the character tables it assigns and selects, and
// the control bytes it prints as characters.
class EscPCharactersTest : public CommandSetFixture {
  protected:
    void Render(const std::string& data) {
        printer.texts.clear();
        CommandSetFixture::Render(B(data), TCommandSet::kEscP, ShippedTable());
    }
    // What was drawn, one character a cell, as Unicode text (each run read in its charset).
    std::string Drawn() const {
        std::string out;
        for (const auto& t : printer.texts) {
            out += ToUtf8(CodePageForCharset(t.font.charset), t.bytes);
        }
        return out;
    }
    // ESC ( t: table `slot` becomes the registered table d2 d3.
    static std::string Assign(int slot, int d2, int d3 = 0) {
        return "\x1b(t\x03\x00"s + static_cast<char>(slot) + static_cast<char>(d2) +
               static_cast<char>(d3);
    }
    static std::string Select(int slot) { return "\x1bt"s + static_cast<char>(slot); }
};

// A printout that chooses its own code page prints its upper half in it, whatever the map:
// each character in a charset that has it (box drawing through code page 852).
TEST_F(EscPCharactersTest, AssignedTablesPrintTheirCodePages) {
    struct Row {
        int d2;
        std::string bytes;
        std::string text;
    };
    const std::vector<Row> rows = {
        {1, "\xc9\xcd\xbb \x82\x9a", "╔═╗ éÜ"},      // PC437
        {3, "\xd0\xe5 \x9b", "ðÕ ø"},                // PC850
        {10, "Za\xbe\xa2\x88\x86", "Zażółć"},        // PC852
        {14, "\x8f\xe0\xa8\xa2\xa5\xe2", "Привет"},  // PC866
        {27, "\x86\x8d\x92 \xa4", "ąćł ń"},          // Mazowia
        {28, "\x80\x87\xa8", "Ččš"},                 // Kamenický
        {7, "\x84\x94", "ãõ"},                       // PC860
        {8, "\x84\x8e", "ÂÀ"},                       // PC863
        {9, "\x9b\x9d", "øØ"},                       // PC865
        {44, "\xd5", "€"},                           // PC858
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.d2);
        Render(Assign(1, row.d2) + Select(1) + row.bytes);
        EXPECT_EQ(Drawn(), row.text);
    }
    // The table in force is the one selected: table 3 assigned, table 1 (the map's) selected.
    Render(Assign(3, 14) + Select(1) + "\xa5\x1bt3\xa5");
    EXPECT_EQ(Drawn(), "Ąе");
    // Digits name the tables too; a table the printer does not have leaves the assignment.
    Render(Assign('2', 14) + Assign(2, 99) + "\x1bt2\xa5");
    EXPECT_EQ(Drawn(), "е");
    // ESC t 0 is the italic table, ESC @ gives the tables back.
    Render(Assign(1, 1) + "\x1bt0\xc1\x1b@\xa5");
    ASSERT_EQ(printer.texts.size(), 2u);
    EXPECT_TRUE(printer.texts[0].font.italic);
    EXPECT_EQ(Drawn(), "AĄ");
}

// ESC ( ^ prints its data as characters, the control bytes too; ESC I 1 prints the control
// bytes that are no commands; ESC 7 and ESC m 4 make 128..159 control codes.
TEST_F(EscPCharactersTest, ControlBytesPrintedAsCharactersAndUpperControlCodes) {
    Render(
        "\x1b(^\x04\x00\x0d\x0a"
        "AZ"s +
        "W");
    ASSERT_EQ(printer.texts.size(), 5u);
    // CR and LF printed, not carried out: five cells along one line.
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(printer.texts[i].x, Along(0.1 * static_cast<double>(i)));
        EXPECT_EQ(printer.texts[i].y, Down(0));
    }
    EXPECT_EQ(Drawn().substr(2), "AZW");

    Render("\x1bI\x01\x05\x06\r\x1bI\x00\x05X"s);
    ASSERT_EQ(printer.texts.size(), 3u);
    EXPECT_EQ(printer.texts[2].x, Along(0));  // CR stayed a carriage return
    EXPECT_EQ(printer.texts[2].bytes, B("X"));

    // 0x8A: a character of table 437 (è), with ESC 7 a line feed.
    Render(Assign(1, 1) + Select(1) +
           "\x8a\x1b"
           "7\x8a"
           "A\x1b"
           "6\x8a\x1bm\x04\x8a"
           "B\x1bm\x00\x8a"s);
    EXPECT_EQ(Drawn(), "èAèBè");
    EXPECT_EQ(printer.texts[1].y, Down(1.0 / 6));
    EXPECT_EQ(printer.texts[3].y, Down(2.0 / 6));
}

// ESC & defines characters as dot patterns, ESC % 1 prints them in place of the ROM's, ESC :
// copies the ROM's over them, and table 2 prints them in the upper half.
TEST_F(EscPCharactersTest, UserDefinedCharactersPrintTheirDots) {
    // 24-pin, letter quality: "A" a 6-column cell with 3 inked columns after 2 blank ones, "B"
    // 2 columns; three bytes a column, the top dot in the highest bit.
    const std::string define =
        "\x1b&\x00"
        "AB"s +
        "\x02\x03\x01"s + "\x80\x00\x01"s + "\xff\xff\xff"s + "\x80\x00\x01"s + "\x00\x02\x00"s +
        "\xff\x00\x00"s + "\x00\x00\xff"s;
    printer.bitmaps.clear();
    Render(define +
           "\x1b%\x01"
           "ABC\x1b%\x00"
           "A"s);
    ASSERT_EQ(printer.bitmaps.size(), 2u);
    const auto& a = printer.bitmaps[0];
    EXPECT_EQ(a.bitmap.width, 3);  // the ink: the blank columns around it are not drawn
    EXPECT_EQ(a.bitmap.height, 24);
    EXPECT_TRUE(a.bitmap.Dot(0, 0));
    EXPECT_TRUE(a.bitmap.Dot(0, 23));
    EXPECT_FALSE(a.bitmap.Dot(0, 12));
    EXPECT_TRUE(a.bitmap.Dot(1, 12));
    const double column = kInchAlong / 360;
    EXPECT_EQ(a.rect.left, static_cast<int>(kOrigin + 2 * column));
    EXPECT_EQ(a.rect.right, static_cast<int>(kOrigin + 5 * column));
    EXPECT_EQ(a.rect.top, Down(0));
    EXPECT_EQ(a.rect.bottom, Down(24 / 180.0));
    EXPECT_EQ(printer.bitmaps[1].rect.left, Along(0.1));  // one cell on
    // "C" is not defined: the ROM's; after ESC % 0 "A" is the ROM's too.
    ASSERT_EQ(printer.texts.size(), 2u);
    EXPECT_EQ(printer.texts[0].x, Along(0.2));
    EXPECT_EQ(printer.texts[1].x, Along(0.3));

    // Double width doubles the dots; ESC : gives the ROM characters back; table 2 prints the
    // defined characters in the upper half.
    printer.bitmaps.clear();
    Render(define +
           "\x1b%\x01\x1bW\x01"
           "A\x1bW\x00\x1b:\x00\x00\x00"
           "A"s);
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(printer.bitmaps[0].rect.right - printer.bitmaps[0].rect.left,
              static_cast<int>(kOrigin + 10 * column) - static_cast<int>(kOrigin + 4 * column));
    EXPECT_EQ(printer.texts.size(), 1u);
    printer.bitmaps.clear();
    Render(define + "\x1bt\x02\xc1\xc3"s);
    EXPECT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(printer.texts.size(), 1u);

    // Draft characters (ESC x 0) have columns of 1/120 inch.
    printer.bitmaps.clear();
    Render("\x1bx\x00"s + define +
           "\x1b%\x01"
           "A"s);
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(printer.bitmaps[0].rect.left, static_cast<int>(kOrigin + 2 * kInchAlong / 120));
}

// A 9-pin printer's characters: an attribute byte and 11 columns of 8 dots at 1/120 inch,
// 1/72 inch down, moved down a pin for descenders.
TEST_F(EscPCharactersTest, NinePinUserCharacters) {
    std::string columns(11, '\0');
    columns[0] = '\xff';
    printer.bitmaps.clear();
    Render(
        "\x1b"
        "1\x1b&\x00"
        "AB\x80"s +
        columns + "\x00"s + columns +
        "\x1b%\x01"
        "AB"s);
    ASSERT_EQ(printer.bitmaps.size(), 2u);
    EXPECT_EQ(printer.bitmaps[0].bitmap.height, 8);
    EXPECT_EQ(printer.bitmaps[0].rect.top, Down(0));
    EXPECT_EQ(printer.bitmaps[0].rect.bottom, Down(8 / 72.0));
    EXPECT_EQ(printer.bitmaps[1].rect.top, Down(1 / 72.0));
    EXPECT_EQ(printer.bitmaps[1].rect.bottom, Down(9 / 72.0));
    EXPECT_EQ(printer.bitmaps[1].rect.right - printer.bitmaps[1].rect.left,
              static_cast<int>(kInchAlong / 120 + 1e-6));
}

// --explain shows the characters of the table in force.
TEST_F(EscPCharactersTest, ExplainShowsTheAssignedTablesCharacters) {
    const Bytes data = B(Assign(1, 14) + Select(1) + "\x8f\xe0\xa8\xa2\xa5\xe2");
    std::string text;
    ExplainPrintout(data, ShippedTable(), TCharMapRecord::Identity(), {false, TCommandSet::kEscP},
                    [&](const ExplainItem& item) { text += item.text; });
    EXPECT_EQ(text, "Привет");
}

}  // namespace
}  // namespace quernel::test
