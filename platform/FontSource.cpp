#include "platform/FontSource.h"

#include <array>

#include "engine/CharMap.h"
#include "engine/CodePages.h"

namespace quernel {

namespace {

constexpr std::size_t kMaxEntries = 64;

}  // namespace

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
