#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QTransform>

#include <array>
#include <memory>
#include <span>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "platform/FontSource.h"

namespace quernel {

// The Qt font that fills a character cell of the renderer's font description.
struct TFontSizing : TCellSize {
    QFont font;  // family, style, stretch; pixel size rounded to whole pixels
};

// Sizes a font so that ascent + descent is desc.height pixels and the average character
// width is desc.width pixels (the natural width when desc.width is 0): the font's metrics are
// measured at a large reference size, the pixel size follows from the height and the stretch
// from the width; the stretch is measured again because Qt may pick a condensed or expanded
// face for it. Throws PrinterError for a cell without height.
TFontSizing SizeFontForCell(const TFontDesc& desc);

// Draws the renderer's text cells and pictures with one QPainter. Consecutive text in one font
// and direction is collected and drawn as one glyph run, with each glyph at the exact position
// of its cell; Flush draws what is collected, and every other drawing flushes first. Printing
// goes through TPdfDocument, which lays text out the same way (the tests compare the two).
class QtPageCanvas {
  public:
    QtPageCanvas();
    ~QtPageCanvas();
    QtPageCanvas(const QtPageCanvas&) = delete;
    QtPageCanvas& operator=(const QtPageCanvas&) = delete;

    // Draws on an active painter until End or Abort.
    void Begin(QPainter& painter);
    // Draws what is collected and lets go of the painter.
    void End();
    // Drops what is collected and lets go of the painter; never throws.
    void Abort() noexcept;

    // (x, y) is the top-left of the first character cell; escapement -900 turns the text 90
    // degrees clockwise about that point. Bytes are read in the font's charset.
    void TextOut(int x, int y, const TFontDesc& font, ByteView text);
    // Draws the image scaled into the rectangle (right and bottom exclusive).
    void DrawImage(const TRect& rect, const QImage& image);
    // Draws the bitmap's ink in black scaled into the rectangle, the rest transparent.
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap);
    // Fills the rectangles (right and bottom exclusive) as one shape, with `ink` the share of
    // black.
    void FillRects(std::span<const TRect> rects, std::uint8_t ink);
    void Flush();

  private:
    struct TFontEntry;

    TFontEntry& FontFor(const TFontDesc& desc);

    QPainter* painter_ = nullptr;
    std::vector<std::unique_ptr<TFontEntry>> fonts_;
    TFontEntry* lastFont_ = nullptr;

    // The batch: glyphs of one font entry, in that font's text frame.
    TFontEntry* batchFont_ = nullptr;
    std::vector<quint32> glyphs_;
    std::vector<QPointF> positions_;
    struct TFallback {
        QPointF baseline;
        char32_t ch;
    };
    std::vector<TFallback> fallbacks_;
    std::vector<QRectF> lines_;  // underline and strike-out strokes
};

}  // namespace quernel
