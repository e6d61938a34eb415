#pragma once

// The parts of TPdfDocument that its files share: PdfDocument.cpp (the document and its
// pages), PdfFonts.cpp (fonts: choosing, coding and embedding glyphs), PdfDrawing.cpp (text
// runs and lines) and PdfPictures.cpp (pictures). Private to them.

#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "platform/FontSource.h"
#include "platform/PdfDocument.h"
#include "platform/PdfFills.h"
#include "platform/PdfPageDeflater.h"
#include "platform/PdfWriter.h"

namespace quernel {

namespace pdf {

// zlib level of the page contents. On 1000 pages of 80 x 66 characters of words: level 1
// gives 2.85 KiB per page, level 3 2.75 KiB in about the same time, level 6 2.64 KiB but
// compresses 40% slower.
inline constexpr int kContentLevel = 3;
// Pages are compressed on a worker thread and written this many pages later.
inline constexpr std::size_t kCompressionLag = 8;
// Fonts and pictures are written once per document: the default level.
inline constexpr int kResourceLevel = 6;
// Faces are read at 1000 pixels per em, so outlines and metrics come in PDF glyph units.
inline constexpr double kGlyphUnits = 1000;
// Positions closer than this (device pixels) count as equal.
inline constexpr double kSamePosition = 0.01;
// With the exact character advance known, a character drawn less than this (device pixels)
// from where the advance puts it needs no adjustment: the renderer truncates its positions, so
// they trail the exact ones by less than a pixel.
inline constexpr double kWithinPixel = 1;

inline constexpr std::int16_t kUnresolved = -2;
inline constexpr std::int16_t kBlank = -1;

// String equality without a library call for the usual font names of 8 to 16 bytes: it runs
// once for every character drawn.
inline bool SameText(const std::string& a, const std::string& b) {
    const std::size_t n = a.size();
    if (n != b.size()) return false;
    if (n < 8 || n > 16) return a == b;
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a.data(), 8);
    std::memcpy(&b0, b.data(), 8);
    std::memcpy(&a1, a.data() + n - 8, 8);
    std::memcpy(&b1, b.data() + n - 8, 8);
    return a0 == b0 && a1 == b1;
}

// TFontDesc's comparison, cheapest fields first.
inline bool SameFont(const TFontDesc& a, const TFontDesc& b) {
    return a.height == b.height && a.width == b.width && a.advance == b.advance &&
           a.escapement == b.escapement && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.strikeOut == b.strikeOut && a.charset == b.charset &&
           a.orientation == b.orientation && a.pitch == b.pitch && a.outline == b.outline &&
           a.stretch == b.stretch && SameText(a.faceName, b.faceName);
}

inline double Round(double value, int decimals) {
    static constexpr double kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    const double scale = kScales[decimals];
    return std::round(value * scale) / scale;
}

inline void AppendNumbers(std::string& out, std::initializer_list<double> values, int decimals) {
    for (double v : values) {
        AppendPdfNumber(out, v, decimals);
        out += ' ';
    }
}

// A page's content stream as it grows: glyph codes are appended inline (a std::string's
// push_back is a call per byte, and most of a page is glyph codes).
class TContent {
  public:
    void Clear() { size_ = 0; }
    std::string_view View() const { return {data_.get(), size_}; }

    [[gnu::always_inline]] void Code(char code) {
        if (size_ == capacity_) Grow(1);
        data_[size_++] = code;
    }
    TContent& operator+=(std::string_view text) {
        if (capacity_ - size_ < text.size()) Grow(text.size());
        std::memcpy(data_.get() + size_, text.data(), text.size());
        size_ += text.size();
        return *this;
    }
    TContent& operator+=(char c) { return *this += std::string_view(&c, 1); }
    bool EndsWith(std::string_view text) const { return View().ends_with(text); }
    void Drop(std::size_t bytes) { size_ -= std::min(bytes, size_); }
    // Numbers, each followed by a blank, with at most `decimals` decimals.
    void Numbers(std::initializer_list<double> values, int decimals) {
        std::string text;
        for (double v : values) {
            AppendPdfNumber(text, v, decimals);
            text += ' ';
        }
        *this += text;
    }

  private:
    void Grow(std::size_t more) {
        capacity_ = std::max<std::size_t>({capacity_ * 2, size_ + more, 1 << 16});
        auto data = std::make_unique<char[]>(capacity_);
        if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
        data_ = std::move(data);
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace pdf

struct TPdfDocument::TImpl {
    // A face of a font file, embedded once per document.
    struct TFace {
        std::shared_ptr<const IFontFace> unit;  // at kGlyphUnits pixels per em, unstretched
        std::string name;                       // PostScript-style name, without the subset tag
        bool trueType = false;  // a TrueType subset; otherwise Type 3 fonts of the outlines
        double width = 500;     // every glyph's displacement, glyph units
        bool bold = false;
        bool italic = false;
        bool fixedPitch = false;
        // Its glyphs keep their own widths (proportional text); otherwise every glyph is one
        // cell wide.
        bool proportional = false;
        std::vector<int> fonts;  // its font resources, one per 252 glyphs
    };

    struct TGlyphUse {
        std::uint32_t glyph = 0;
        char32_t ch = 0;  // what the glyph shows; 0 for none
    };

    // A font resource of the document: a Type0 font sharing its face's CIDFont, or a Type 3
    // font.
    struct TFont {
        int face = 0;
        int object = 0;  // the font dictionary, reserved when the resource is made
        std::string name;
        std::map<unsigned, TGlyphUse> used;                 // by code
        std::unordered_map<std::uint32_t, unsigned> codes;  // glyph -> code
        int lastCode = -1;
    };

    // The text state for one font resource at one size and direction. Glyphs step `step`
    // pixels along (dirX, dirY) without adjustment.
    struct TTextStyle {
        int font = 0;
        double size = 0;       // Tf
        double scale = 1;      // Tz / 100
        double spacing = 0;    // Tc
        double slant = 0;      // shear of a synthetic italic
        double stroke = 0;     // line width of a synthetic bold or an outline; 0 = fill only
        bool outline = false;  // stroked only
        // Each glyph steps its own width (TCell::step), the face's proportional widths.
        bool proportional = false;
        double dirX = 1;
        double dirY = 0;
        double step = 0;  // the displacement as a viewer computes it from the values written
        double unit = 0;  // pixels per thousandth of a TJ adjustment
        // The step is the renderer's exact advance: glyphs may sit within a pixel of where
        // they are asked for.
        bool exact = false;
        // A smaller difference needs no adjustment: half a unit, or kWithinPixel when exact.
        double slack = 0;
        double perStep = 0;     // 1 / step
        bool hasSpace = false;  // the font has a space glyph, coded as `space`
        char space = 0;
        bool operator==(const TTextStyle& o) const {
            return font == o.font && size == o.size && scale == o.scale && spacing == o.spacing &&
                   slant == o.slant && stroke == o.stroke && dirX == o.dirX && dirY == o.dirY &&
                   exact == o.exact && outline == o.outline && proportional == o.proportional;
        }
    };

    struct TCell {
        char code = 0;
        std::int16_t style = pdf::kUnresolved;  // index into the entry's styles, or kBlank
        float step = 0;  // a proportional glyph's own width, pixels; 0: the style's step
    };

    // One font description as the renderer asks for it.
    struct TEntry {
        TFontDesc desc;
        std::unique_ptr<ICellFont> cell;
        std::shared_ptr<const IFontFace> drawn;  // at the exact size, stretched
        double dirX = 1, dirY = 0;
        // Cells on whole pixels along an axis: the next cell's top-left is (stepX, stepY) on.
        bool grid = false;
        int stepX = 0, stepY = 0;
        std::vector<TTextStyle> styles;
        std::array<TCell, 256> cells{};
        const std::array<char32_t, 256>* chars = nullptr;
    };

    // An underline or strike-out stroke: from the start point along the direction, `top` to
    // `top + thickness` below the baseline (toward the foot of the characters).
    struct TLine {
        double x, y, dirX, dirY, top, thickness, length;
    };

    TImpl(TPdfWriter::TSink sink, std::string target, const TPdfPageSetup& setup,
          IFontSource& fonts)
        : writer(std::move(sink), std::move(target)), page(setup), fontSource(fonts) {}

    // --- document ---
    TPdfWriter writer;
    TPdfPageSetup page;
    IFontSource& fontSource;
    int catalogObject = 0, pagesObject = 0, resourcesObject = 0, infoObject = 0;
    std::vector<int> pageObjects;
    bool finished = false;
    // Pages ended and being compressed: their content stream's and page's object numbers. A
    // page is written kCompressionLag pages later, when its compression is long done (and at
    // the same place in the file whatever the timing).
    std::deque<std::pair<int, int>> pendingPages;
    pdf::TPageDeflater deflater{pdf::kContentLevel};

    // --- fonts and pictures ---
    std::vector<TFace> faces;
    std::map<std::string, int> faceIndex;
    std::map<std::string, int> faceOfDrawn;  // by the family, style and stretch drawn
    std::vector<TFont> fonts;
    std::vector<std::unique_ptr<TEntry>> entries;
    TEntry* lastEntry = nullptr;
    // Pictures written: each kept alive while the document is (its address is its key), with its
    // name and object.
    struct TImageUse {
        std::shared_ptr<const TPdfImage> image;
        std::pair<std::string, int> resource;
    };
    std::vector<TImageUse> images;
    // 1-bit pictures, drawn as stencil masks: name and object of each. A picture drawn again
    // (a letterhead logo on every page) is stored once; the bits of the pictures kept for that
    // comparison are limited, so memory does not grow with the printout.
    std::vector<std::pair<std::string, int>> masks;
    struct TMaskKey {
        std::size_t mask;
        int width, height;
        Bytes bits;
    };
    std::unordered_multimap<std::size_t, TMaskKey> maskIndex;  // by hash of the bits
    std::size_t maskKeyBytes = 0;

    // --- the page being drawn ---
    pdf::TContent content;
    bool inText = false;
    // Text state set in this page's content so far (it survives ET).
    int stateFont = -1;
    double stateSize = 0, stateScale = 1, stateSpacing = 0, stateStroke = 0, stateLeading = 0;
    bool stateOutline = false;
    // The text line matrix since the last Tm or Td in this text object.
    bool haveLine = false;
    double lineA = 0, lineB = 0, lineC = 0, lineD = 0, lineX = 0, lineY = 0;
    // The open TJ array: its style, the baseline point it is measured from and where the
    // viewer's text position is along the baseline.
    bool runOpen = false;
    TTextStyle runStyle;
    const TTextStyle* runStylePtr = nullptr;  // the entry's copy, for a quick comparison
    double runX = 0, runY = 0, runPos = 0;
    // The cell after the last one drawn, while it is on the open run: the entry, its top-left
    // and its position along the run.
    struct TNext {
        const TEntry* entry = nullptr;
        int x = 0, y = 0;
        double along = 0;
    } next;
    std::vector<TLine> lines;
    pdf::TFills fills;
    // The colour asked for, and the one the page's content paints in so far.
    std::uint32_t colour = kBlack;
    std::uint32_t contentColour = kBlack;

    void Begin(const std::string& title, const LocalDateTime& created);
    void BeginPage();
    void EndPage();
    // Writes the pages ended before the last `lag` ones.
    void WriteCompressedPages(std::size_t lag);
    void Finish();

    TEntry& EntryFor(const TFontDesc& desc);
    void Resolve(TEntry& entry, std::uint8_t byte);
    int FaceFor(const IFontFace& drawn, int stretch, bool proportional);
    // The face of that family and style as the font source finds it by name (the key's face),
    // or the one drawn, stretch included, when it finds none.
    int FaceByName(const IFontFace& drawn, const std::string& family, const std::string& style,
                   std::string key, int stretch, bool proportional);
    std::pair<int, char> UseGlyph(int face, std::uint32_t glyph, char32_t ch);
    int StyleFor(TEntry& entry, int face, int font, const IFontFace& drawn, std::uint32_t glyph);

    void TextOut(int x, int y, const TFontDesc& desc, ByteView text);
    [[gnu::noinline]] void TextOutGeneral(int x, int y, const TFontDesc& desc, ByteView text);
    // Appends the glyph to the open run of its style when it lies `along` the run one step on
    // (within the style's slack), or after a few blank cells (shown as space glyphs); false
    // otherwise.
    void StepNext(const TEntry& entry, std::size_t cells);
    // `step`: how far the glyph moves the text position on.
    bool AppendToRun(const TTextStyle& style, double along, char code, double step);
    // Whether (x, y) lies on the open run's baseline, and where along it.
    bool OnRunBaseline(double x, double y, double& along) const;
    void Show(const TTextStyle& style, double x, double y, char code, double step);
    void StartRun(const TTextStyle& style, double x, double y);
    // Sets the font, scaling, spacing and rendering of the style where they differ.
    void SetState(const TTextStyle& style);
    void CloseRun();
    void EndText();
    void AddLine(const TLine& line);
    // Before drawing: what is pending is written in the old colour, then the new one is set.
    void UseColour() {
        if (colour != contentColour) SwitchColour();
    }
    void SwitchColour();
    void FillRects(std::span<const TRect> rects, std::uint8_t ink);
    void DrawImage(const TRect& rect, const std::shared_ptr<const TPdfImage>& image);
    const std::pair<std::string, int>& ImageFor(const std::shared_ptr<const TPdfImage>& image);
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap, TColor color);
    const std::pair<std::string, int>& MaskFor(const TBitmap& bitmap);
    // Draws the image resource `name` stretched over the rectangle.
    void PlaceImage(const TRect& rect, const std::string& name);

    void WriteTrueTypeFace(const TFace& face, int index);
    void WriteType3Font(const TFont& font, const TFace& face);
    int WriteToUnicode(const TFont& font);
};

}  // namespace quernel
