#include "platform/FontSource.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/CharMap.h"
#include "engine/CodePages.h"

namespace quernel {

namespace {

constexpr std::size_t kMaxEntries = 64;
constexpr int kMaxMeasureRounds = 4;
// Font engines draw up to this size; beyond it they give a box without outlines.
constexpr double kMaxPixelSize = 65535;

}  // namespace

TCellSize SizeForCell(const TFontDesc& desc,
                      const std::function<TReferenceMetrics(int stretch)>& measure) {
    if (desc.height <= 0) {
        throw PrinterError("The font \"" + desc.faceName + "\" asks for a character cell " +
                           std::to_string(desc.height) + " pixels high.");
    }
    // Without a width: the natural width, or that stretched as asked.
    int stretch = desc.width <= 0 && desc.stretch > 0
                      ? static_cast<int>(std::lround(std::clamp(desc.stretch * 100, 1.0, 4000.0)))
                      : 100;
    TReferenceMetrics m = measure(stretch);
    for (int round = 0; round < kMaxMeasureRounds && desc.width > 0; ++round) {
        const double scale = desc.height / (m.ascent + m.descent);
        const double width = m.averageWidth * scale;
        if (width <= 0) break;
        // In floating point: a cell of an absurd device is wider than an int product allows.
        const int next = static_cast<int>(std::lround(
            std::clamp(stretch * static_cast<double>(desc.width) / width, 1.0, 4000.0)));
        if (next == stretch) break;
        stretch = next;
        m = measure(stretch);
    }
    if (m.ascent + m.descent <= 0) {
        throw PrinterError("The font \"" + desc.faceName + "\" has no usable metrics.");
    }

    TCellSize s;
    s.stretch = stretch;
    const double scale = desc.height / (m.ascent + m.descent);
    s.pixelSize = kReferencePixels * scale;
    if (s.pixelSize >= kMaxPixelSize) {
        throw PrinterError("The font \"" + desc.faceName + "\" cannot be drawn in a cell " +
                           std::to_string(desc.height) + " pixels high.");
    }
    s.ascent = m.ascent * scale;
    s.advance = desc.width > 0     ? desc.width
                : desc.advance > 0 ? desc.advance
                                   : m.averageWidth * scale;
    s.underlinePos = m.underlinePos * scale;
    s.strikeOutPos = m.strikeOutPos * scale;
    s.lineWidth = std::max(m.lineWidth * scale, 1.0);
    return s;
}

std::string FamilyOfKind(TFontKind kind,
                         const std::function<TGenericFamily(const char* generic)>& generic) {
    const std::string sans = generic("sans-serif").family;
    if (sans.empty()) return {};
    switch (kind) {
        case TFontKind::kSans:
            return sans;
        case TFontKind::kMono: {
            const TGenericFamily mono = generic("monospace");
            return mono.fixedPitch ? mono.family : std::string();
        }
        case TFontKind::kSerif: {
            const std::string serif = generic("serif").family;
            return serif != sans ? serif : std::string();
        }
        case TFontKind::kScript: {
            const std::string script = generic("cursive").family;
            if (script != sans && script != generic("serif").family) return script;
            return FamilyOfKind(TFontKind::kSerif, generic);
        }
    }
    return {};
}

struct TGlyphAdvances::TEntry {
    TFontDesc desc;
    std::array<double, 256> advances{};
    std::array<bool, 256> known{};
    std::shared_ptr<const IFontFace> face;
    double average = 0;
};

TGlyphAdvances::TGlyphAdvances(IFontSource& fonts) : fonts_(fonts) {}
TGlyphAdvances::~TGlyphAdvances() = default;

double TGlyphAdvances::Advance(const TFontDesc& desc, std::uint8_t byte) {
    TEntry* entry = nullptr;
    for (const auto& e : entries_) {
        if (e->desc == desc) entry = e.get();
    }
    if (entry == nullptr) {
        if (entries_.size() >= kMaxEntries) entries_.clear();
        auto made = std::make_unique<TEntry>();
        made->desc = desc;
        const std::unique_ptr<ICellFont> cell = fonts_.ForCell(desc);
        made->face = cell->Drawn();
        made->average = cell->advance;
        entries_.push_back(std::move(made));
        entry = entries_.back().get();
    }
    if (!entry->known[byte]) {
        entry->known[byte] = true;
        entry->advances[byte] = entry->average;
        char32_t ch = CodePageTable(CodePageForCharset(desc.charset))[byte];
        // Blanks and control characters take the width of a space.
        if (ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0)) ch = U' ';
        if (const std::uint32_t glyph = entry->face->Glyph(ch); glyph != 0) {
            if (const double advance = entry->face->Advance(glyph); advance > 0) {
                entry->advances[byte] = advance;
            }
        }
    }
    return entry->advances[byte];
}

}  // namespace quernel
