#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/CharMap.h"
#include "engine/CodePages.h"
#include "engine/DosGraphics.h"

namespace quernel {

// The character-map editor's grid: column 0 and row 0 are empty headers; the 32 x 8 cells
// after them hold the 256 source bytes row by row.
inline constexpr int kMapGridColumns = 33;
inline constexpr int kMapGridRows = 9;
inline constexpr int kMapCellWidth = 14;  // at the smallest scale, without the grid line
inline constexpr int kMapCellHeight = 17;

struct TGridCell {
    int column;
    int row;
    bool operator==(const TGridCell&) const = default;
};

// The source byte of a grid cell; a header cell counts as the first column or row.
std::uint8_t CellSource(TGridCell cell);
TGridCell SourceCell(std::uint8_t source);

// The source byte under a pointer at (x, y) grid pixels, with `columnPitch` and `rowPitch` the
// cell sizes plus one grid line. Nothing over the header column or row; beyond the last
// column or row, the last one.
std::optional<std::uint8_t> HoverSource(int x, int y, int columnPitch, int rowPitch);

// The text that shows byte b drawn in a code page: one character, or nothing for a control
// character or a byte the code page leaves undefined.
std::string GlyphText(CodePage page, std::uint8_t b);

// The code page in which the map's glyphs are drawn (the map's charset), and the one of the
// source glyph (the first charset, the window's own).
CodePage MapCodePage(const TCharMapRecord& map);
CodePage SourceCodePage();

// What the source byte prints as: its mapped byte in the map's code page, or with box lines its
// DOS graphic character (`graphics` from FindGraphics).
std::string PrintedGlyphText(const TCharMapRecord& map, const std::array<TGraphic, 256>& graphics,
                             std::uint8_t source);

// The hover box: a blank, the source glyph, a blank and the glyph it prints as, both in the
// map's code page (with box lines, a graphic character as itself).
std::string HoverText(const TCharMapRecord& map, std::uint8_t source, bool boxLines = false);

// The six entry fields for a source byte.
struct TCharMapFields {
    std::string sourceDec, sourceHex, source;
    std::string mappedDec, mappedHex, mapped;
    bool operator==(const TCharMapFields&) const = default;
};
TCharMapFields EntryFields(const TCharMapRecord& map, std::uint8_t source);

// A mapped byte typed into an entry field; nothing when it is not one: a decimal integer
// (optional sign) or bare hexadecimal digits, 0..255, blanks around allowed; or exactly one
// character that the code page has.
std::optional<std::uint8_t> ParseDecimalByte(std::string_view text);
std::optional<std::uint8_t> ParseHexByte(std::string_view text);
std::optional<std::uint8_t> ParseGlyphByte(std::string_view utf8, CodePage page);

}  // namespace quernel
