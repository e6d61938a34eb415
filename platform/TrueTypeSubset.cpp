#include "platform/TrueTypeSubset.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace quernel {

namespace {

// Layout of the tables used here (offsets in bytes).
constexpr std::size_t kHeadSize = 54;
constexpr std::size_t kHeadChecksumAdjustment = 8;
constexpr std::size_t kHeadIndexToLocFormat = 50;
constexpr std::size_t kHheaSize = 36;
constexpr std::size_t kHheaNumberOfHMetrics = 34;
constexpr std::size_t kMaxpNumGlyphs = 4;
constexpr std::size_t kPostHeaderSize = 32;
constexpr std::uint32_t kChecksumMagic = 0xB1B0AFBA;

// Composite glyph component flags.
constexpr std::uint16_t kArgsAreWords = 0x0001;
constexpr std::uint16_t kHaveScale = 0x0008;
constexpr std::uint16_t kMoreComponents = 0x0020;
constexpr std::uint16_t kHaveXYScale = 0x0040;
constexpr std::uint16_t kHaveTwoByTwo = 0x0080;

std::uint16_t U16(std::string_view d, std::size_t at) {
    return static_cast<std::uint16_t>((static_cast<unsigned char>(d[at]) << 8) |
                                      static_cast<unsigned char>(d[at + 1]));
}

std::uint32_t U32(std::string_view d, std::size_t at) {
    return (static_cast<std::uint32_t>(U16(d, at)) << 16) | U16(d, at + 2);
}

void Set16(std::string& d, std::size_t at, std::uint32_t v) {
    d[at] = static_cast<char>((v >> 8) & 0xFF);
    d[at + 1] = static_cast<char>(v & 0xFF);
}

void Set32(std::string& d, std::size_t at, std::uint32_t v) {
    Set16(d, at, v >> 16);
    Set16(d, at + 2, v & 0xFFFF);
}

void Add16(std::string& d, std::uint32_t v) {
    d += static_cast<char>((v >> 8) & 0xFF);
    d += static_cast<char>(v & 0xFF);
}

void Add32(std::string& d, std::uint32_t v) {
    Add16(d, v >> 16);
    Add16(d, v & 0xFFFF);
}

struct TSource {
    std::string head, hhea, maxp, hmtx, loca, glyf;
    unsigned glyphCount = 0;
    bool longLoca = false;
    unsigned hMetrics = 0;

    bool Load(const TFontTables& tables) {
        head = tables("head");
        hhea = tables("hhea");
        maxp = tables("maxp");
        hmtx = tables("hmtx");
        loca = tables("loca");
        glyf = tables("glyf");
        if (head.size() < kHeadSize || hhea.size() < kHheaSize || maxp.size() < 6) return false;
        glyphCount = U16(maxp, kMaxpNumGlyphs);
        longLoca = U16(head, kHeadIndexToLocFormat) != 0;
        hMetrics = U16(hhea, kHheaNumberOfHMetrics);
        return glyphCount > 0 && hMetrics > 0 && !glyf.empty() && hmtx.size() >= hMetrics * 4u &&
               loca.size() >= (glyphCount + 1u) * (longLoca ? 4u : 2u);
    }

    std::size_t Offset(unsigned glyph) const {
        return longLoca ? U32(loca, glyph * 4u) : 2u * U16(loca, glyph * 2u);
    }

    // The glyph's outline data; empty for an empty glyph or one whose offsets are broken.
    std::string_view Glyph(unsigned glyph) const {
        const std::size_t begin = Offset(glyph);
        const std::size_t end = Offset(glyph + 1);
        if (end <= begin || end > glyf.size()) return {};
        return std::string_view(glyf).substr(begin, end - begin);
    }

    std::pair<std::uint16_t, std::uint16_t> Metrics(unsigned glyph) const {
        if (glyph < hMetrics) return {U16(hmtx, glyph * 4u), U16(hmtx, glyph * 4u + 2)};
        const std::uint16_t advance = U16(hmtx, (hMetrics - 1) * 4u);
        const std::size_t at = hMetrics * 4u + (glyph - hMetrics) * 2u;
        return {advance, at + 2 <= hmtx.size() ? U16(hmtx, at) : std::uint16_t{0}};
    }
};

// Calls `component` with each glyph index a composite glyph refers to.
template <typename F>
void ForEachComponent(std::string_view data, F component) {
    if (data.size() < 10 || static_cast<std::int16_t>(U16(data, 0)) >= 0) return;
    std::size_t at = 10;
    while (at + 4 <= data.size()) {
        const std::uint16_t flags = U16(data, at);
        component(U16(data, at + 2));
        at += 4 + ((flags & kArgsAreWords) ? 4 : 2);
        if (flags & kHaveScale) {
            at += 2;
        } else if (flags & kHaveXYScale) {
            at += 4;
        } else if (flags & kHaveTwoByTwo) {
            at += 8;
        }
        if (!(flags & kMoreComponents)) break;
    }
}

void PadTo4(std::string& d) {
    while (d.size() % 4 != 0) d += '\0';
}

}  // namespace

std::uint32_t TrueTypeChecksum(std::string_view data) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 4 <= data.size(); i += 4) sum += U32(data, i);
    if (i < data.size()) {
        std::array<char, 4> tail{};
        std::copy(data.begin() + static_cast<std::ptrdiff_t>(i), data.end(), tail.begin());
        sum += U32(std::string_view(tail.data(), 4), 0);
    }
    return sum;
}

bool HasTrueTypeOutlines(const TFontTables& tables) {
    TSource source;
    return source.Load(tables);
}

std::string SubsetTrueType(const TFontTables& tables, std::span<const std::uint32_t> glyphs) {
    TSource src;
    if (!src.Load(tables)) return {};

    // The glyphs asked for, glyph 0 and, transitively, the components of composites.
    std::vector<bool> keep(src.glyphCount, false);
    std::vector<unsigned> pending{0};
    for (std::uint32_t g : glyphs) {
        if (g < src.glyphCount) pending.push_back(g);
    }
    while (!pending.empty()) {
        const unsigned g = pending.back();
        pending.pop_back();
        if (keep[g]) continue;
        keep[g] = true;
        ForEachComponent(src.Glyph(g), [&](unsigned component) {
            if (component < src.glyphCount && !keep[component]) pending.push_back(component);
        });
    }
    unsigned count = src.glyphCount;
    while (count > 1 && !keep[count - 1]) --count;

    std::string glyf, loca, hmtx;
    for (unsigned g = 0; g < count; ++g) {
        Add32(loca, static_cast<std::uint32_t>(glyf.size()));
        if (!keep[g]) {
            Add32(hmtx, 0);
            continue;
        }
        glyf.append(src.Glyph(g));
        PadTo4(glyf);
        const auto [advance, bearing] = src.Metrics(g);
        Add16(hmtx, advance);
        Add16(hmtx, bearing);
    }
    Add32(loca, static_cast<std::uint32_t>(glyf.size()));

    std::string head = src.head;
    Set32(head, kHeadChecksumAdjustment, 0);
    Set16(head, kHeadIndexToLocFormat, 1);
    std::string hhea = src.hhea;
    Set16(hhea, kHheaNumberOfHMetrics, count);
    std::string maxp = src.maxp;
    Set16(maxp, kMaxpNumGlyphs, count);

    std::vector<std::pair<std::string, std::string>> out;
    out.emplace_back("glyf", std::move(glyf));
    out.emplace_back("head", std::move(head));
    out.emplace_back("hhea", std::move(hhea));
    out.emplace_back("hmtx", std::move(hmtx));
    out.emplace_back("loca", std::move(loca));
    out.emplace_back("maxp", std::move(maxp));
    // Hinting programs and their values, and the font-wide metrics, as they are.
    for (const char* tag : {"cvt ", "fpgm", "prep", "OS/2"}) {
        std::string table = tables(tag);
        if (!table.empty()) out.emplace_back(tag, std::move(table));
    }
    // post version 3: the header (italic angle, fixed pitch) without glyph names.
    std::string post = tables("post");
    if (post.size() >= kPostHeaderSize) {
        post.resize(kPostHeaderSize);
        Set32(post, 0, 0x00030000);
        out.emplace_back("post", std::move(post));
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });

    const auto tableCount = static_cast<std::uint32_t>(out.size());
    std::uint32_t power = 1, log2 = 0;
    while (power * 2 <= tableCount) power *= 2, ++log2;
    std::string font;
    Add32(font, 0x00010000);
    Add16(font, tableCount);
    Add16(font, power * 16);
    Add16(font, log2);
    Add16(font, tableCount * 16 - power * 16);
    std::size_t offset = 12 + 16 * out.size();
    std::size_t headOffset = 0;
    for (const auto& [tag, data] : out) {
        font.append(tag);
        Add32(font, TrueTypeChecksum(data));
        Add32(font, static_cast<std::uint32_t>(offset));
        Add32(font, static_cast<std::uint32_t>(data.size()));
        if (tag == "head") headOffset = offset;
        offset += (data.size() + 3) / 4 * 4;
    }
    for (const auto& [tag, data] : out) {
        font.append(data);
        PadTo4(font);
    }
    Set32(font, headOffset + kHeadChecksumAdjustment, kChecksumMagic - TrueTypeChecksum(font));
    return font;
}

}  // namespace quernel
