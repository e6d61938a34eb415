#include "platform/FontChoice.h"

#include <QFont>
#include <QFontInfo>
#include <QRawFont>
#include <QString>

#include <cmath>
#include <map>
#include <mutex>

#include "engine/CharMap.h"
#include "engine/CodePages.h"
#include "platform/QtPageCanvas.h"

namespace quernel {

namespace {

constexpr std::size_t kMaxEntries = 64;

// The family the font configuration gives for a generic family name; empty without fonts.
QFontInfo Resolve(const char* generic, QFont::StyleHint hint) {
    QFont font(QString::fromLatin1(generic));
    font.setStyleHint(hint);
    return QFontInfo(font);
}

std::string Lookup(TFontKind kind) {
    const QFontInfo sans = Resolve("sans-serif", QFont::SansSerif);
    // With no font installed Qt gives a placeholder without a family.
    if (sans.family().isEmpty()) return {};
    switch (kind) {
        case TFontKind::kSans:
            return sans.family().toStdString();
        case TFontKind::kMono: {
            const QFontInfo mono = Resolve("monospace", QFont::Monospace);
            return mono.fixedPitch() ? mono.family().toStdString() : std::string();
        }
        case TFontKind::kSerif: {
            const QFontInfo serif = Resolve("serif", QFont::Serif);
            return serif.family() != sans.family() ? serif.family().toStdString() : std::string();
        }
        case TFontKind::kScript: {
            const QFontInfo script = Resolve("cursive", QFont::Cursive);
            const QFontInfo serif = Resolve("serif", QFont::Serif);
            if (script.family() != sans.family() && script.family() != serif.family())
                return script.family().toStdString();
            return Lookup(TFontKind::kSerif);
        }
    }
    return {};
}

}  // namespace

std::string InstalledFamily(TFontKind kind) {
    // The font configuration is asked once per kind and process.
    static std::mutex mutex;
    static std::map<TFontKind, std::string> found;
    const std::lock_guard lock(mutex);
    const auto it = found.find(kind);
    if (it != found.end()) return it->second;
    return found.emplace(kind, Lookup(kind)).first->second;
}

struct TGlyphAdvances::TEntry {
    TFontDesc desc;
    std::array<double, 256> advances{};
    std::array<bool, 256> known{};
    QRawFont raw;
    double average = 0;
};

TGlyphAdvances::TGlyphAdvances() = default;
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
        const TFontSizing sizing = SizeFontForCell(desc);
        made->raw = QRawFont::fromFont(sizing.font);
        if (made->raw.isValid()) made->raw.setPixelSize(sizing.pixelSize);
        made->average = sizing.advance;
        entries_.push_back(std::move(made));
        entry = entries_.back().get();
    }
    if (!entry->known[byte]) {
        entry->known[byte] = true;
        entry->advances[byte] = entry->average;
        char32_t ch = CodePageTable(CodePageForCharset(desc.charset))[byte];
        // Blanks and control characters take the width of a space.
        if (ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0)) ch = U' ';
        const QString text = QString::fromUcs4(&ch, 1);
        quint32 glyph[2] = {0, 0};
        int count = 2;
        QPointF advance;
        if (entry->raw.isValid() &&
            entry->raw.glyphIndexesForChars(text.constData(), static_cast<int>(text.size()), glyph,
                                            &count) &&
            count == 1 && glyph[0] != 0 &&
            entry->raw.advancesForGlyphIndexes(glyph, &advance, 1, QRawFont::UseDesignMetrics) &&
            advance.x() > 0) {
            entry->advances[byte] = advance.x();
        }
    }
    return entry->advances[byte];
}

}  // namespace quernel
