#pragma once

// The fonts a PDF document draws with, as an interface: the program reads them through Qt (which
// draws the same fonts on screen), the CUPS filter through fontconfig and FreeType alone, so that
// a job does not load Qt's graphical libraries. Both give the same faces, sizes and metrics.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PrinterPlatform.h"

namespace quernel {

// A glyph's outline in pixels at its face's size, y growing downward: 'm' and 'l' use the first
// point, 'c' (a cubic curve) all three.
struct TOutlineElement {
    char op = 'm';
    double x[3] = {0, 0, 0};
    double y[3] = {0, 0, 0};
};

struct TGlyphOutline {
    std::vector<TOutlineElement> elements;
    // The bounding box of the outline; all 0 when it is empty.
    double left = 0, top = 0, right = 0, bottom = 0;
};

// One face of a font file at a pixel size, stretched horizontally as drawn. Its metrics are in
// pixels at that size.
class IFontFace {
  public:
    virtual ~IFontFace() = default;

    virtual std::string Family() const = 0;
    virtual std::string Style() const = 0;
    virtual double PixelSize() const = 0;
    // The same face, stretch included, at another size.
    virtual std::shared_ptr<const IFontFace> Resized(double pixelSize) const = 0;

    // The glyph of the character by the face's character map; 0 when it has none.
    virtual std::uint32_t Glyph(char32_t ch) const = 0;
    // The glyph's design advance (unhinted), stretch included; 0 when unknown.
    virtual double Advance(std::uint32_t glyph) const = 0;
    virtual double AverageCharWidth() const = 0;
    virtual double Ascent() const = 0;
    virtual double Descent() const = 0;
    virtual double CapHeight() const = 0;
    virtual TGlyphOutline Outline(std::uint32_t glyph) const = 0;
    // A table of the font file ("head", "glyf", ...); empty when it has none.
    virtual std::string Table(std::string_view tag) const = 0;

    // As the font configuration describes the face: its own weight, slope and spacing, not those
    // synthesised for a request.
    virtual bool Bold() const = 0;
    virtual bool Italic() const = 0;
    virtual bool FixedPitch() const = 0;
};

// A font's metrics in pixels at kReferencePixels, with a stretch (percent).
struct TReferenceMetrics {
    double ascent = 0;
    double descent = 0;
    double averageWidth = 0;
    double underlinePos = 0;
    double strikeOutPos = 0;
    double lineWidth = 0;
};

// Metrics are measured this large, where whole-pixel font sizes do not distort them.
inline constexpr int kReferencePixels = 1000;

// The size of a font for a character cell, as every font source sizes it: ascent + descent is
// the cell's height and the average character width its width (without a width: the natural
// width, or that times desc.stretch). The pixel size follows from the height, the stretch from
// the width, measured again by `measure` because a source may pick a condensed or expanded face
// for it. Throws PrinterError for a cell without height, a font without usable metrics and a
// size beyond what font engines draw (65535 pixels).
struct TCellSize {
    double pixelSize = 0;     // the exact pixel size for the cell height
    double ascent = 0;        // from the top of the cell to the baseline
    double advance = 0;       // from one character cell to the next
    double underlinePos = 0;  // below the baseline
    double strikeOutPos = 0;  // above the baseline
    double lineWidth = 0;
    int stretch = 100;  // percent of the natural width
};
TCellSize SizeForCell(const TFontDesc& desc,
                      const std::function<TReferenceMetrics(int stretch)>& measure);

// The installed family of a kind of typeface from the families the font configuration gives
// for the generic names ("serif", "sans-serif", "monospace", "cursive") and whether each is
// fixed-pitch: see IFontSource::FamilyOf. An empty family: no font at all.
struct TGenericFamily {
    std::string family;
    bool fixedPitch = false;
};
std::string FamilyOfKind(TFontKind kind,
                         const std::function<TGenericFamily(const char* generic)>& generic);

// A font sized to fill a character cell of the renderer's font description: ascent + descent is
// the cell's height and the average character width its width (the natural width when the
// description gives none), measured at a large reference size.
class ICellFont : public TCellSize {
  public:
    virtual ~ICellFont() = default;

    // The face as drawn: at pixelSize, stretched.
    virtual std::shared_ptr<const IFontFace> Drawn() const = 0;
    // The same request in another family, as drawn; null when none can be drawn.
    virtual std::shared_ptr<const IFontFace> InFamily(const std::string& family) const = 0;
    // The system's choice of a face that has the character, as drawn; null when none has it.
    virtual std::shared_ptr<const IFontFace> WithCharacter(char32_t ch) const = 0;
};

class IFontSource {
  public:
    virtual ~IFontSource() = default;

    // Throws PrinterError for a cell without height or too large to draw, a font that cannot be
    // drawn, or no fonts installed at all.
    virtual std::unique_ptr<ICellFont> ForCell(const TFontDesc& desc) = 0;
    // The face of exactly that family and style, unstretched, at the pixel size; null when the
    // font configuration has none.
    virtual std::shared_ptr<const IFontFace> ByName(const std::string& family,
                                                    const std::string& style, double pixelSize) = 0;
    // The installed family of a kind of typeface, as the font configuration resolves its generic
    // families ("serif", "sans-serif", "monospace", "cursive"); empty when none of that kind is
    // installed: a serif or script request that ends at the sans-serif family, a monospace one
    // that ends at a proportional family, or no font at all. Script without a family of its own
    // is the serif one, its nearest.
    virtual std::string FamilyOf(TFontKind kind) = 0;
};

// The advances of the glyphs of fonts as the PDF document draws them, device pixels; measured
// once per font description.
class TGlyphAdvances {
  public:
    explicit TGlyphAdvances(IFontSource& fonts);
    ~TGlyphAdvances();
    double Advance(const TFontDesc& font, std::uint8_t byte);

  private:
    struct TEntry;
    IFontSource& fonts_;
    std::vector<std::unique_ptr<TEntry>> entries_;
};

}  // namespace quernel
