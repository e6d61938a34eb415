#include <gtest/gtest.h>

#include "engine/CharMapEditing.h"
#include "engine/SequenceEditing.h"

namespace quernel::test {
namespace {

using namespace meaning;

// --- character-map editor ---

TEST(CharMapGridTest, CellsHoldTheSourcesRowByRowAfterTheHeaders) {
    EXPECT_EQ(CellSource({1, 1}), 0);
    EXPECT_EQ(CellSource({2, 3}), 65);
    EXPECT_EQ(CellSource({32, 8}), 255);
    // A header cell counts as the first column or row.
    EXPECT_EQ(CellSource({0, 0}), 0);
    EXPECT_EQ(CellSource({0, 2}), 32);
    for (int s = 0; s < 256; ++s) {
        const TGridCell cell = SourceCell(static_cast<std::uint8_t>(s));
        EXPECT_GE(cell.column, 1);
        EXPECT_LE(cell.column, 32);
        EXPECT_GE(cell.row, 1);
        EXPECT_LE(cell.row, 8);
        EXPECT_EQ(CellSource(cell), s);
    }
}

TEST(CharMapGridTest, HoverIsNothingOverTheHeadersAndClampedBeyondTheBlock) {
    // Cells of 14 x 17 with one-pixel lines.
    EXPECT_EQ(HoverSource(14, 100, 15, 18), std::nullopt);
    EXPECT_EQ(HoverSource(100, 17, 15, 18), std::nullopt);
    EXPECT_EQ(HoverSource(-3, -3, 15, 18), std::nullopt);
    EXPECT_EQ(HoverSource(15, 18, 15, 18), 0);
    EXPECT_EQ(HoverSource(29, 35, 15, 18), 0);
    EXPECT_EQ(HoverSource(30, 35, 15, 18), 1);
    EXPECT_EQ(HoverSource(29, 36, 15, 18), 32);
    // The grid's last pixels and beyond: column 31, row 7.
    EXPECT_EQ(HoverSource(33 * 15, 20, 15, 18), 31);
    EXPECT_EQ(HoverSource(20, 9 * 18 + 40, 15, 18), 224);
    EXPECT_EQ(HoverSource(5000, 5000, 15, 18), 255);
    // Twice the size.
    EXPECT_EQ(HoverSource(28, 40, 29, 35), std::nullopt);
    EXPECT_EQ(HoverSource(29, 35, 29, 35), 0);
    EXPECT_EQ(HoverSource(3 * 29, 4 * 35, 29, 35), 3 * 32 + 2);
}

TEST(CharMapGlyphTest, BytesAreDrawnThroughTheCodePage) {
    EXPECT_EQ(GlyphText(CodePage::kCp1250, 0xB9), "ą");
    EXPECT_EQ(GlyphText(CodePage::kCp852, 0xA5), "ą");
    EXPECT_EQ(GlyphText(CodePage::kCp1251, 0xC6), "Ж");
    EXPECT_EQ(GlyphText(CodePage::kCp1250, 'A'), "A");
    EXPECT_EQ(GlyphText(CodePage::kCp1250, ' '), " ");
    // Control characters and undefined bytes have no glyph.
    EXPECT_EQ(GlyphText(CodePage::kCp1250, 0x1B), "");
    EXPECT_EQ(GlyphText(CodePage::kCp1250, 0x7F), "");
    EXPECT_EQ(GlyphText(CodePage::kCp1250, 0x81), "");
}

TEST(CharMapFieldsTest, EntryShowsSourceAndMappedByteThreeWays) {
    TCharMapRecord map = TCharMapRecord::Identity();
    EXPECT_EQ(EntryFields(map, 65), (TCharMapFields{"65", "41", "A", "65", "41", "A"}));
    map.Map[0xA5] = 0xB9;
    map.Map[10] = 0xFF;
    map.CharsetIndex = 1;  // "OEM (DOS)": code page 852
    // The source glyph stays in the window's own code page, the mapped one takes the map's.
    EXPECT_EQ(EntryFields(map, 0xA5), (TCharMapFields{"165", "A5", "Ą", "185", "B9", "╣"}));
    EXPECT_EQ(EntryFields(map, 10).sourceHex, "0A");
    EXPECT_EQ(EntryFields(map, 10).source, "");
    EXPECT_EQ(EntryFields(map, 10).mappedHex, "FF");
    // The hover box draws both glyphs in the map's code page.
    EXPECT_EQ(HoverText(map, 0xA5), " ą ╣");
    map.CharsetIndex = 3;
    EXPECT_EQ(HoverText(map, 0xA5), " Ą ą");
    EXPECT_EQ(HoverText(map, 1), "  ");
}

TEST(CharMapInputTest, DecimalIsAnIntegerFrom0To255) {
    EXPECT_EQ(ParseDecimalByte("0"), 0);
    EXPECT_EQ(ParseDecimalByte("255"), 255);
    EXPECT_EQ(ParseDecimalByte(" 7 "), 7);
    EXPECT_EQ(ParseDecimalByte("+5"), 5);
    EXPECT_EQ(ParseDecimalByte("-0"), 0);
    for (const char* bad :
         {"256", "-1", "", " ", "12a", "0x10", "$41", "1 2", "-", "99999999999999999999999999"}) {
        EXPECT_EQ(ParseDecimalByte(bad), std::nullopt) << bad;
    }
}

TEST(CharMapInputTest, HexadecimalIsBareDigitsFrom0ToFF) {
    EXPECT_EQ(ParseHexByte("FF"), 255);
    EXPECT_EQ(ParseHexByte("ff"), 255);
    EXPECT_EQ(ParseHexByte("B9"), 0xB9);
    EXPECT_EQ(ParseHexByte("0A"), 10);
    EXPECT_EQ(ParseHexByte("000000FF"), 255);
    for (const char* bad : {"100", "", "$FF", "0xFF", "-1", "G", "F F", "FFFFFFFFFFFFFFFFFFFFFF"}) {
        EXPECT_EQ(ParseHexByte(bad), std::nullopt) << bad;
    }
}

TEST(CharMapInputTest, GlyphIsOneCharacterOfTheCodePage) {
    EXPECT_EQ(ParseGlyphByte("A", CodePage::kCp1250), 'A');
    EXPECT_EQ(ParseGlyphByte("ą", CodePage::kCp1250), 0xB9);
    EXPECT_EQ(ParseGlyphByte("ą", CodePage::kCp852), 0xA5);
    EXPECT_EQ(ParseGlyphByte("Ж", CodePage::kCp1251), 0xC6);
    EXPECT_EQ(ParseGlyphByte("ab", CodePage::kCp1250), std::nullopt);
    EXPECT_EQ(ParseGlyphByte("", CodePage::kCp1250), std::nullopt);
    EXPECT_EQ(ParseGlyphByte("Ж", CodePage::kCp1250), std::nullopt);
    EXPECT_EQ(ParseGlyphByte("\xEF\xBF\xBD", CodePage::kCp1250), std::nullopt);  // U+FFFD
    EXPECT_EQ(ParseGlyphByte("\xB9", CodePage::kCp1250), std::nullopt);          // not UTF-8
}

// --- control-code editor ---

TEscapeSequences Table() {
    TEscapeSequences t;
    t.Append({{27, '7'}, kLpi8});
    t.Append({{27, 'E'}, kBoldOn});
    t.Append({{10}, kNewLine});
    t.Append({{'a'}, kIgnore});
    t.Append({{'B'}, kCpi12});
    return t;
}

std::vector<std::size_t> Indexes(const std::vector<TSequenceRow>& rows) {
    std::vector<std::size_t> out;
    for (const auto& row : rows) out.push_back(row.index);
    return out;
}

TEST(SequenceRowsTest, SortByCodeComparesTheNotationIgnoringCase) {
    const auto rows = SequenceRows(Table(), kCodeColumn);
    // ' a' before ' B' (without regard to case), the blank before '#', '#10' before '#27'.
    EXPECT_EQ(Indexes(rows), (std::vector<std::size_t>{3, 4, 2, 0, 1}));
    EXPECT_EQ(rows[2], (TSequenceRow{2, "#10", "Nowa linia"}));
    EXPECT_EQ(rows[3].code, "#27 7");

    TEscapeSequences numbers;
    numbers.Append({{7}, kIgnore});
    numbers.Append({{27}, kIgnore});
    numbers.Append({{10}, kIgnore});
    // The texts, not the byte values: '#10' < '#27' < '#7'.
    EXPECT_EQ(Indexes(SequenceRows(numbers, kCodeColumn)), (std::vector<std::size_t>{2, 1, 0}));
}

TEST(SequenceRowsTest, SortByMeaningKeepsTheTableOrderOfEqualNames) {
    TEscapeSequences t = Table();
    t.Append({{27, '@'}, kIgnore});
    t.Append({{27, 'x'}, 50});
    const auto rows = SequenceRows(t, kMeaningColumn);
    EXPECT_EQ(Indexes(rows), (std::vector<std::size_t>{6, 4, 0, 3, 5, 2, 1}));
    EXPECT_EQ(rows[0].meaning, "(50)");
    EXPECT_EQ(rows[1].meaning, "12 CPI");
    EXPECT_EQ(rows[6].meaning, "Pogrubienie (Bold)");
}

TEST(AddTypedSequenceTest, AppendsWithTheMeaningOfTheDisplayPosition) {
    TEscapeSequences t;
    // Position 11 of the display order is "Pogrubienie (Bold)".
    EXPECT_EQ(AddTypedSequence(t, "#27 E", 11), std::nullopt);
    EXPECT_EQ(AddTypedSequence(t, "#27 4", 2), std::nullopt);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0], (TEscapeSequence{{27, 'E'}, kBoldOn}));
    EXPECT_EQ(t[1], (TEscapeSequence{{27, '4'}, kReset}));
    EXPECT_EQ(AddTypedSequence(t, "#27 Ż", 1), std::nullopt);
    EXPECT_EQ(t[2].Sequence, (Bytes{27, 0xAF}));
}

TEST(AddTypedSequenceTest, RefusesWithTheMessageAndLeavesTheTable) {
    TEscapeSequences t;
    t.Append({{27, 'E'}, kBoldOn});
    t.Append({{35}, kPrintable});
    const TEscapeSequences before = t;
    const std::string incomplete(kIncompleteDataMessage);
    const std::string exists(kCodeExistsMessage);
    // No meaning, or "Znak drukowalny".
    EXPECT_EQ(AddTypedSequence(t, "#27 F", -1), incomplete);
    EXPECT_EQ(AddTypedSequence(t, "#27 F", 0), incomplete);
    // Texts that are not the notation.
    EXPECT_EQ(AddTypedSequence(t, "# 27", 5), incomplete);
    EXPECT_EQ(AddTypedSequence(t, "", 5), incomplete);
    EXPECT_EQ(AddTypedSequence(t, " #", 5), incomplete);
    // The same bytes, however written and whatever the meaning.
    EXPECT_EQ(AddTypedSequence(t, "#27 E", 5), exists);
    EXPECT_EQ(AddTypedSequence(t, "#27E", 11), exists);
    EXPECT_EQ(AddTypedSequence(t, "#35", 5), exists);
    // A character Windows-1250 lacks is named.
    const auto cyrillic = AddTypedSequence(t, "#27 Ж", 5);
    ASSERT_TRUE(cyrillic.has_value());
    EXPECT_NE(cyrillic->find("Ж"), std::string::npos);
    EXPECT_NE(*cyrillic, incomplete);
    // A file stores at most 255 bytes of one sequence.
    EXPECT_EQ(AddTypedSequence(t, std::string(256, 'x'), 5), std::string(kCodeTooLongMessage));
    EXPECT_EQ(t, before);
    EXPECT_EQ(AddTypedSequence(t, std::string(255, 'x'), 5), std::nullopt);
    EXPECT_EQ(t.size(), 3u);
}

}  // namespace
}  // namespace quernel::test
