#include "platform/QtFontSource.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include "platform/FontChoice.h"
#include "platform/QtPageCanvas.h"

namespace quernel {

namespace {

class TQtFace final : public IFontFace {
  public:
    explicit TQtFace(QRawFont raw) : raw_(std::move(raw)) {}

    std::string Family() const override { return raw_.familyName().toStdString(); }
    std::string Style() const override { return raw_.styleName().toStdString(); }
    double PixelSize() const override { return raw_.pixelSize(); }
    std::shared_ptr<const IFontFace> Resized(double pixelSize) const override {
        QRawFont raw = raw_;
        raw.setPixelSize(pixelSize);
        return std::make_shared<TQtFace>(std::move(raw));
    }

    std::uint32_t Glyph(char32_t ch) const override {
        const QString text = QString::fromUcs4(&ch, 1);
        quint32 glyphs[2] = {0, 0};
        int count = 2;
        if (!raw_.glyphIndexesForChars(text.constData(), static_cast<int>(text.size()), glyphs,
                                       &count) ||
            count != 1) {
            return 0;
        }
        return glyphs[0];
    }
    double Advance(std::uint32_t glyph) const override {
        const quint32 glyphs[1] = {glyph};
        QPointF advance;
        if (!raw_.advancesForGlyphIndexes(glyphs, &advance, 1, QRawFont::UseDesignMetrics))
            return 0;
        return advance.x();
    }
    double AverageCharWidth() const override { return raw_.averageCharWidth(); }
    double Ascent() const override { return raw_.ascent(); }
    double Descent() const override { return raw_.descent(); }
    double CapHeight() const override { return raw_.capHeight(); }
    TGlyphOutline Outline(std::uint32_t glyph) const override {
        const QPainterPath path = raw_.pathForGlyph(glyph);
        TGlyphOutline outline;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            TOutlineElement out;
            if (e.isCurveTo() && i + 2 < path.elementCount()) {
                out.op = 'c';
                for (int k = 0; k < 3; ++k) {
                    out.x[k] = path.elementAt(i + k).x;
                    out.y[k] = path.elementAt(i + k).y;
                }
                i += 2;
            } else {
                out.op = e.isMoveTo() ? 'm' : 'l';
                out.x[0] = e.x;
                out.y[0] = e.y;
            }
            outline.elements.push_back(out);
        }
        const QRectF box = path.boundingRect();
        outline.left = box.left();
        outline.top = box.top();
        outline.right = box.right();
        outline.bottom = box.bottom();
        return outline;
    }
    std::string Table(std::string_view tag) const override {
        const QByteArray data = raw_.fontTable(std::string(tag).c_str());
        return std::string(data.constData(), static_cast<std::size_t>(data.size()));
    }

    bool Bold() const override {
        return QFontDatabase::weight(raw_.familyName(), raw_.styleName()) >= QFont::DemiBold;
    }
    bool Italic() const override {
        const QString style = raw_.styleName();
        return QFontDatabase::italic(raw_.familyName(), style) ||
               style.contains(QLatin1String("Italic"), Qt::CaseInsensitive) ||
               style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive);
    }
    bool FixedPitch() const override {
        return QFontDatabase::isFixedPitch(raw_.familyName(), raw_.styleName());
    }

  private:
    QRawFont raw_;
};

// The raw font of a Qt font at the exact size; null when Qt has none or cannot draw it so.
std::shared_ptr<const IFontFace> RawAt(const QFont& font, double pixelSize) {
    QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid()) return nullptr;
    raw.setPixelSize(pixelSize);
    if (!raw.isValid()) return nullptr;
    return std::make_shared<TQtFace>(std::move(raw));
}

class TQtCellFont final : public ICellFont {
  public:
    explicit TQtCellFont(const TFontDesc& desc) : sizing_(SizeFontForCell(desc)) {
        static_cast<TCellSize&>(*this) = sizing_;
        // With no font installed Qt matches nothing and hands out a placeholder without a face,
        // which crashes when asked for its family.
        if (QFontInfo(sizing_.font).family().isEmpty()) {
            throw PrinterError(
                "No fonts are installed: the text cannot be drawn (install a font "
                "package such as fonts-liberation).");
        }
        QRawFont raw = QRawFont::fromFont(sizing_.font);
        if (!raw.isValid()) throw PrinterError("No font can draw \"" + desc.faceName + "\".");
        raw.setPixelSize(pixelSize);
        // A cell of an absurd size is beyond what the font engine draws.
        if (!raw.isValid()) {
            throw PrinterError("The font \"" + desc.faceName + "\" cannot be drawn " +
                               std::to_string(desc.height) + " pixels high.");
        }
        drawn_ = std::make_shared<TQtFace>(std::move(raw));
    }

    std::shared_ptr<const IFontFace> Drawn() const override { return drawn_; }
    std::shared_ptr<const IFontFace> InFamily(const std::string& family) const override {
        QFont font = sizing_.font;
        font.setFamily(QString::fromStdString(family));
        return RawAt(font, pixelSize);
    }
    std::shared_ptr<const IFontFace> WithCharacter(char32_t ch) const override {
        // Qt's font fallback, as it draws text.
        QTextLayout layout(QString::fromUcs4(&ch, 1), sizing_.font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        std::shared_ptr<const IFontFace> found;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            if (run.glyphIndexes().size() == 1 && run.glyphIndexes().front() != 0) {
                QRawFont raw = run.rawFont();
                raw.setPixelSize(pixelSize);
                if (raw.isValid()) found = std::make_shared<TQtFace>(std::move(raw));
            }
        }
        return found;
    }

  private:
    TFontSizing sizing_;
    std::shared_ptr<const IFontFace> drawn_;
};

}  // namespace

std::unique_ptr<ICellFont> TQtFontSource::ForCell(const TFontDesc& desc) {
    return std::make_unique<TQtCellFont>(desc);
}

std::shared_ptr<const IFontFace> TQtFontSource::ByName(const std::string& family,
                                                       const std::string& style, double pixelSize) {
    QFont font;
    font.setFamily(QString::fromStdString(family));
    font.setStyleName(QString::fromStdString(style));
    font.setPixelSize(static_cast<int>(pixelSize));
    font.setStyleStrategy(QFont::PreferOutline);
    QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || raw.familyName().toStdString() != family ||
        raw.styleName().toStdString() != style) {
        return nullptr;
    }
    return std::make_shared<TQtFace>(std::move(raw));
}

std::string TQtFontSource::FamilyOf(TFontKind kind) {
    return InstalledFamily(kind);
}

}  // namespace quernel
