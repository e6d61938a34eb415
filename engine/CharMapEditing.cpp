#include "engine/CharMapEditing.h"

#include <algorithm>
#include <cstdio>

namespace quernel {

namespace {

constexpr int kBlockColumns = kMapGridColumns - 1;
constexpr int kBlockRows = kMapGridRows - 1;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::optional<std::uint8_t> InByteRange(long long value) {
    if (value < 0 || value > 255) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

// Digits of `base` up to the end of the text; nothing when there is none or another character.
std::optional<long long> ReadDigits(std::string_view text, int base) {
    if (text.empty()) return std::nullopt;
    long long value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        // Anything this large is out of range anyway; stop before it could overflow.
        value = std::min(value * base + digit, 1LL << 40);
    }
    return value;
}

}  // namespace

std::uint8_t CellSource(TGridCell cell) {
    const int c = std::clamp(cell.column - 1, 0, kBlockColumns - 1);
    const int r = std::clamp(cell.row - 1, 0, kBlockRows - 1);
    return static_cast<std::uint8_t>(r * kBlockColumns + c);
}

TGridCell SourceCell(std::uint8_t source) {
    return {source % kBlockColumns + 1, source / kBlockColumns + 1};
}

std::optional<std::uint8_t> HoverSource(int x, int y, int columnPitch, int rowPitch) {
    if (x < columnPitch || y < rowPitch) return std::nullopt;
    return CellSource({x / columnPitch, y / rowPitch});
}

std::string GlyphText(CodePage page, std::uint8_t b) {
    const char32_t cp = CodePageTable(page)[b];
    const bool control = cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
    if (control || cp == 0xFFFD) return {};
    std::string out;
    AppendUtf8(out, cp);
    return out;
}

CodePage MapCodePage(const TCharMapRecord& map) {
    return CharsetAt(map.CharsetIndex).codePage;
}

CodePage SourceCodePage() {
    return CharsetTable()[0].codePage;
}

std::string PrintedGlyphText(const TCharMapRecord& map, const std::array<TGraphic, 256>& graphics,
                             std::uint8_t source) {
    if (graphics[source] != TGraphic::kNone) return GlyphText(CodePage::kCp437, source);
    return GlyphText(MapCodePage(map), map.Map[source]);
}

std::string HoverText(const TCharMapRecord& map, std::uint8_t source, bool boxLines) {
    const CodePage page = MapCodePage(map);
    const auto graphics = boxLines ? FindGraphics(map) : std::array<TGraphic, 256>{};
    return " " + GlyphText(page, source) + " " + PrintedGlyphText(map, graphics, source);
}

TCharMapFields EntryFields(const TCharMapRecord& map, std::uint8_t source) {
    const auto hex = [](std::uint8_t b) {
        char text[3];
        std::snprintf(text, sizeof text, "%02X", b);
        return std::string(text);
    };
    const std::uint8_t mapped = map.Map[source];
    return {std::to_string(source), hex(source), GlyphText(SourceCodePage(), source),
            std::to_string(mapped), hex(mapped), GlyphText(MapCodePage(map), mapped)};
}

std::optional<std::uint8_t> ParseDecimalByte(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const auto value = ReadDigits(text, 10);
    if (!value) return std::nullopt;
    return InByteRange(negative ? -*value : *value);
}

std::optional<std::uint8_t> ParseHexByte(std::string_view text) {
    const auto value = ReadDigits(Trim(text), 16);
    if (!value) return std::nullopt;
    return InByteRange(*value);
}

std::optional<std::uint8_t> ParseGlyphByte(std::string_view utf8, CodePage page) {
    std::size_t i = 0;
    if (utf8.empty()) return std::nullopt;
    const std::optional<char32_t> cp = DecodeUtf8(utf8, i);
    // U+FFFD stands for the bytes a code page leaves undefined; it names none of them.
    if (!cp || i != utf8.size() || *cp == 0xFFFD) return std::nullopt;
    return FromUnicode(page, *cp);
}

}  // namespace quernel
