#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace quernel {

// A table of a font by its four-letter tag ("glyf", "cvt "); empty when the font has none.
using TFontTables = std::function<std::string(std::string_view tag)>;

// True when the font has TrueType outlines that SubsetTrueType can work on.
bool HasTrueTypeOutlines(const TFontTables& tables);

// A TrueType font program holding the outlines of `glyphs` only (and of the components of
// composite glyphs among them, and of glyph 0); every glyph keeps its index, so glyphs not
// kept are empty and the glyph count ends after the last glyph kept. Keeps the hinting
// tables, rewrites loca (long offsets), hmtx, hhea, maxp and post (without glyph names), and
// sets the table checksums and head.checkSumAdjustment. Glyph indexes beyond the font are
// ignored; a glyph whose data lies outside glyf is kept empty. Answers an empty string when
// a required table is missing.
std::string SubsetTrueType(const TFontTables& tables, std::span<const std::uint32_t> glyphs);

// The checksum of a TrueType table: the sum of its big-endian 32-bit words, zero-padded.
std::uint32_t TrueTypeChecksum(std::string_view data);

}  // namespace quernel
