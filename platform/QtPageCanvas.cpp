#include "platform/QtPageCanvas.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/CharMap.h"
#include "engine/CodePages.h"

namespace quernel {

namespace {

constexpr std::size_t kMaxFonts = 64;
constexpr std::size_t kMaxBatchGlyphs = 1 << 16;

TReferenceMetrics MeasureAtReference(QFont font, int stretch) {
    font.setPixelSize(kReferencePixels);
    font.setStretch(stretch);
    const QFontMetricsF m(font);
    return {m.ascent(),       m.descent(),      m.averageCharWidth(),
            m.underlinePos(), m.strikeOutPos(), m.lineWidth()};
}

enum class GlyphKind : std::uint8_t { kBlank, kGlyph, kFallback };

bool IsBlank(char32_t ch) {
    return ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0);
}

}  // namespace

TFontSizing SizeFontForCell(const TFontDesc& desc) {
    QFont font(QString::fromStdString(desc.faceName));
    font.setWeight(QFont::Weight(desc.weight >= 1 && desc.weight <= 1000 ? desc.weight : 400));
    font.setItalic(desc.italic);
    font.setKerning(false);
    font.setStyleStrategy(QFont::PreferOutline);

    const TCellSize size =
        SizeForCell(desc, [&font](int stretch) { return MeasureAtReference(font, stretch); });
    TFontSizing s;
    static_cast<TCellSize&>(s) = size;
    font.setStretch(size.stretch);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(s.pixelSize))));
    font.setUnderline(desc.underline);
    font.setStrikeOut(desc.strikeOut);
    s.font = font;
    return s;
}

// One font description, ready to draw: the sized font, its raw font at the exact size, the
// text frame of its direction and what each of the 256 bytes draws.
struct QtPageCanvas::TFontEntry {
    TFontDesc desc;
    TFontSizing sizing;
    QFont fallbackFont;  // for characters the raw font lacks; lines are drawn separately
    QRawFont raw;
    bool rotated = false;
    QTransform toPage;    // text frame -> page
    QTransform fromPage;  // page -> text frame
    std::array<GlyphKind, 256> kinds{};
    std::array<quint32, 256> glyphs{};
    std::array<char32_t, 256> chars{};
};

QtPageCanvas::QtPageCanvas() = default;
QtPageCanvas::~QtPageCanvas() = default;

void QtPageCanvas::Begin(QPainter& painter) {
    Abort();
    painter_ = &painter;
    painter_->setPen(QColor(Qt::black));
    painter_->setBackgroundMode(Qt::TransparentMode);
}

void QtPageCanvas::End() {
    Flush();
    painter_ = nullptr;
}

void QtPageCanvas::Abort() noexcept {
    glyphs_.clear();
    positions_.clear();
    fallbacks_.clear();
    lines_.clear();
    batchFont_ = nullptr;
    painter_ = nullptr;
}

QtPageCanvas::TFontEntry& QtPageCanvas::FontFor(const TFontDesc& desc) {
    if (lastFont_ && lastFont_->desc == desc) return *lastFont_;
    for (const auto& f : fonts_) {
        if (f->desc == desc) return *(lastFont_ = f.get());
    }

    auto entry = std::make_unique<TFontEntry>();
    entry->desc = desc;
    entry->sizing = SizeFontForCell(desc);
    entry->fallbackFont = entry->sizing.font;
    entry->fallbackFont.setUnderline(false);
    entry->fallbackFont.setStrikeOut(false);
    entry->raw = QRawFont::fromFont(entry->sizing.font);
    if (!entry->raw.isValid()) {
        throw PrinterError("No font can draw \"" + desc.faceName + "\".");
    }
    entry->raw.setPixelSize(entry->sizing.pixelSize);
    if (desc.escapement % 3600 != 0) {
        entry->rotated = true;
        // Escapement counts counter-clockwise on the page; y grows downward here.
        entry->toPage.rotate(-desc.escapement / 10.0);
        entry->fromPage = entry->toPage.inverted();
    }

    const auto& table = CodePageTable(CodePageForCharset(desc.charset));
    for (int b = 0; b < 256; ++b) {
        const char32_t ch = table[static_cast<std::size_t>(b)];
        entry->chars[b] = ch;
        if (IsBlank(ch)) {
            entry->kinds[b] = GlyphKind::kBlank;
            continue;
        }
        const QString text = QString::fromUcs4(&ch, 1);
        quint32 glyph[2] = {0, 0};
        int count = 2;
        const bool found = entry->raw.glyphIndexesForChars(
            text.constData(), static_cast<int>(text.size()), glyph, &count);
        if (found && count == 1 && glyph[0] != 0) {
            entry->kinds[b] = GlyphKind::kGlyph;
            entry->glyphs[b] = glyph[0];
        } else {
            entry->kinds[b] = GlyphKind::kFallback;
        }
    }

    if (fonts_.size() >= kMaxFonts) {
        Flush();
        fonts_.clear();
    }
    fonts_.push_back(std::move(entry));
    return *(lastFont_ = fonts_.back().get());
}

void QtPageCanvas::TextOut(int x, int y, const TFontDesc& desc, ByteView text) {
    if (!painter_) throw PrinterError("Text drawn outside a document.");
    if (text.empty()) return;
    TFontEntry& font = FontFor(desc);
    if (batchFont_ != &font || glyphs_.size() > kMaxBatchGlyphs) {
        Flush();
        batchFont_ = &font;
    }
    const TFontSizing& s = font.sizing;
    const QPointF origin = font.rotated ? font.fromPage.map(QPointF(x, y)) : QPointF(x, y);
    const qreal baseline = origin.y() + s.ascent;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t b = text[i];
        const qreal left = origin.x() + static_cast<qreal>(i) * s.advance;
        switch (font.kinds[b]) {
            case GlyphKind::kBlank:
                break;
            case GlyphKind::kGlyph:
                glyphs_.push_back(font.glyphs[b]);
                positions_.emplace_back(left, baseline);
                break;
            case GlyphKind::kFallback:
                fallbacks_.push_back({QPointF(left, baseline), font.chars[b]});
                break;
        }
    }

    // Lines run under the whole text, blanks included; a line continuing the previous one on
    // the same baseline extends it.
    const qreal length = static_cast<qreal>(text.size()) * s.advance;
    const auto addLine = [&](qreal top) {
        if (!lines_.empty()) {
            QRectF& last = lines_.back();
            if (last.top() == top && std::abs(last.right() - origin.x()) < 0.01) {
                last.setRight(origin.x() + length);
                return;
            }
        }
        lines_.emplace_back(origin.x(), top, length, s.lineWidth);
    };
    if (desc.underline) addLine(baseline + s.underlinePos - s.lineWidth / 2);
    if (desc.strikeOut) addLine(baseline - s.strikeOutPos - s.lineWidth / 2);
}

void QtPageCanvas::Flush() {
    TFontEntry* font = batchFont_;
    batchFont_ = nullptr;
    if (!painter_ || !font) return;
    if (glyphs_.empty() && fallbacks_.empty() && lines_.empty()) return;

    const QTransform base = painter_->worldTransform();
    if (font->rotated) painter_->setWorldTransform(font->toPage * base);
    if (font->desc.outline) {
        // Outlined letters: the glyphs' outlines stroked, about a dot of a 360-dpi head wide.
        QPainterPath path;
        for (std::size_t i = 0; i < glyphs_.size(); ++i) {
            path.addPath(font->raw.pathForGlyph(glyphs_[i]).translated(positions_[i]));
        }
        for (const TFallback& f : fallbacks_) {
            path.addText(f.baseline, font->fallbackFont, QString::fromUcs4(&f.ch, 1));
        }
        const qreal width = std::max<qreal>(1.0, font->sizing.pixelSize / 50);
        painter_->strokePath(path, QPen(painter_->pen().color(), width));
    } else {
        if (!glyphs_.empty()) {
            QGlyphRun run;
            run.setRawFont(font->raw);
            run.setRawData(glyphs_.data(), positions_.data(), static_cast<int>(glyphs_.size()));
            painter_->drawGlyphRun(QPointF(0, 0), run);
        }
        if (!fallbacks_.empty()) {
            // Qt's font fallback finds the character in another font; the cell stays put.
            painter_->setFont(font->fallbackFont);
            for (const TFallback& f : fallbacks_) {
                painter_->drawText(f.baseline, QString::fromUcs4(&f.ch, 1));
            }
        }
    }
    for (const QRectF& line : lines_) painter_->fillRect(line, painter_->pen().color());
    if (font->rotated) painter_->setWorldTransform(base);

    glyphs_.clear();
    positions_.clear();
    fallbacks_.clear();
    lines_.clear();
}

void QtPageCanvas::DrawImage(const TRect& rect, const QImage& image) {
    if (!painter_) throw PrinterError("Picture drawn outside a document.");
    Flush();
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || image.isNull()) return;
    painter_->drawImage(QRect(rect.left, rect.top, width, height), image);
}

void QtPageCanvas::FillRects(std::span<const TRect> rects, std::uint8_t ink) {
    if (!painter_) throw PrinterError("Shapes drawn outside a document.");
    Flush();
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const TRect& r : rects) {
        if (r.right > r.left && r.bottom > r.top) {
            path.addRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
    }
    const int level = 255 - ink;
    painter_->fillPath(path, QColor(level, level, level));
}

void QtPageCanvas::DrawBitmap(const TRect& rect, const TBitmap& bitmap) {
    if (!painter_) throw PrinterError("Picture drawn outside a document.");
    Flush();
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || bitmap.width <= 0 || bitmap.height <= 0) return;
    // Format_Mono keeps the highest bit leftmost, as TBitmap does; bit 0 is transparent.
    QImage image(bitmap.width, bitmap.height, QImage::Format_Mono);
    image.setColorTable({qRgba(0, 0, 0, 0), qRgba(0, 0, 0, 255)});
    for (int y = 0; y < bitmap.height; ++y) {
        std::memcpy(image.scanLine(y), bitmap.Row(y), static_cast<std::size_t>(bitmap.stride));
    }
    painter_->drawImage(QRect(rect.left, rect.top, width, height), image);
}

}  // namespace quernel
