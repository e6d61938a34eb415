// See PdfDocument.h for why Quernel writes PDF itself.

#include "platform/PdfDocument.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <numbers>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/CharMap.h"
#include "engine/CodePages.h"
#include "platform/QtPageCanvas.h"
#include "platform/TrueTypeSubset.h"

namespace quernel {

namespace {

// zlib level of the page contents. On 1000 pages of 80 x 66 characters of words: level 1
// gives 2.85 KiB per page, level 3 2.75 KiB in about the same time, level 6 2.64 KiB but
// compresses 40% slower.
constexpr int kContentLevel = 3;
// Pages are compressed on a worker thread and written this many pages later.
constexpr std::size_t kCompressionLag = 8;
// Fonts and pictures are written once per document: the default level.
constexpr int kResourceLevel = 6;
// Faces are read at 1000 pixels per em, so outlines and metrics come in PDF glyph units.
constexpr double kGlyphUnits = 1000;
// The shear and stroke with which FreeType (under Qt) slants and emboldens a face that has no
// italic or bold of its own.
constexpr double kSyntheticSlant = 0.2126;
constexpr double kSyntheticBoldStroke = 1.0 / 24;  // of the font size
// Characters the chosen font lacks come from these, then from Qt's own font fallback.
constexpr const char* kFallbackFamilies[] = {"DejaVu Sans Mono", "DejaVu Sans"};
constexpr std::size_t kMaxEntries = 256;
// Positions closer than this (device pixels) count as equal.
constexpr double kSamePosition = 0.01;
// With the exact character advance known, a character drawn less than this (device pixels)
// from where the advance puts it needs no adjustment: the renderer truncates its positions, so
// they trail the exact ones by less than a pixel.
constexpr double kWithinPixel = 1;
// Up to this many blank cells between two glyphs are shown as space glyphs, which compress
// better than a position adjustment; wider gaps become an adjustment.
constexpr int kMaxSpaceGlyphs = 8;
// A new underline or strike-out may extend one of this many lines drawn last.
constexpr std::size_t kLinesMerged = 4;
constexpr std::size_t kCMapChunk = 100;

constexpr std::int16_t kUnresolved = -2;
constexpr std::int16_t kBlank = -1;

// String equality without a library call for the usual font names of 8 to 16 bytes: it runs
// once for every character drawn.
bool SameText(const std::string& a, const std::string& b) {
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
bool SameFont(const TFontDesc& a, const TFontDesc& b) {
    return a.height == b.height && a.width == b.width && a.advance == b.advance &&
           a.escapement == b.escapement && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.strikeOut == b.strikeOut && a.charset == b.charset &&
           a.orientation == b.orientation && a.pitch == b.pitch && SameText(a.faceName, b.faceName);
}

bool IsBlank(char32_t ch) {
    return ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0);
}

double Round(double value, int decimals) {
    static constexpr double kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    const double scale = kScales[decimals];
    return std::round(value * scale) / scale;
}

void AppendNumbers(std::string& out, std::initializer_list<double> values, int decimals) {
    for (double v : values) {
        AppendPdfNumber(out, v, decimals);
        out += ' ';
    }
}

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex2(std::string& out, unsigned value) {
    out += kHex[(value >> 4) & 15];
    out += kHex[value & 15];
}

void AppendHex4(std::string& out, unsigned value) {
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 15];
}

// Every font resource has one-byte codes, given to glyphs in the order they are first drawn.
// The bytes a literal string would have to escape are left out, so that every glyph is one
// byte of the content as it is; a face with more glyphs than codes gets more font resources.
bool NeedsEscape(unsigned byte) {
    return byte == '(' || byte == ')' || byte == '\\' || byte == '\r';
}

// The first code after `code` that needs no escape; 256 when there is none.
unsigned NextCode(int code) {
    unsigned next = static_cast<unsigned>(code + 1);
    while (next < 256 && NeedsEscape(next)) ++next;
    return next;
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

std::string TableOf(const QRawFont& font, std::string_view tag) {
    const QByteArray data = font.fontTable(std::string(tag).c_str());
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

std::uint16_t Read16(const std::string& d, std::size_t at) {
    return static_cast<std::uint16_t>((static_cast<unsigned char>(d[at]) << 8) |
                                      static_cast<unsigned char>(d[at + 1]));
}

quint32 GlyphFor(const QRawFont& font, char32_t ch) {
    const QString text = QString::fromUcs4(&ch, 1);
    quint32 glyphs[2] = {0, 0};
    int count = 2;
    if (!font.glyphIndexesForChars(text.constData(), static_cast<int>(text.size()), glyphs,
                                   &count) ||
        count != 1) {
        return 0;
    }
    return glyphs[0];
}

double DesignAdvance(const QRawFont& font, quint32 glyph) {
    const quint32 glyphs[1] = {glyph};
    QPointF advance;
    if (!font.advancesForGlyphIndexes(glyphs, &advance, 1, QRawFont::UseDesignMetrics)) return 0;
    return advance.x() / font.pixelSize();
}

// A PDF name made of the letters, digits and hyphens of `text`.
std::string NameOf(const QString& text) {
    std::string out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
            u == '-') {
            out += static_cast<char>(u);
        }
    }
    return out.empty() ? "Font" : out;
}

// A ToUnicode CMap for one-byte codes.
std::string ToUnicodeCMap(const std::vector<std::pair<unsigned, char32_t>>& map) {
    std::string out =
        "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
        "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n"
        "<00><FF>\nendcodespacerange\n";
    for (std::size_t i = 0; i < map.size(); i += kCMapChunk) {
        const std::size_t n = std::min(kCMapChunk, map.size() - i);
        out += std::to_string(n) + " beginbfchar\n";
        for (std::size_t k = i; k < i + n; ++k) {
            const char32_t ch = map[k].second;
            out += '<';
            AppendHex2(out, map[k].first);
            out += "><";
            if (ch >= 0x10000) {
                AppendHex4(out, 0xD800 + ((ch - 0x10000) >> 10));
                AppendHex4(out, 0xDC00 + ((ch - 0x10000) & 0x3FF));
            } else {
                AppendHex4(out, ch);
            }
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    out += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
    return out;
}

// The glyph's outline as PDF path operators in glyph units (y up), filled.
std::string GlyphProcedure(const QPainterPath& path, double width) {
    std::string out;
    AppendNumbers(out, {width, 0}, 2);
    out += "d0\n";
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            AppendNumbers(out, {e.x, -e.y, c2.x, -c2.y, end.x, -end.y}, 1);
            out += "c\n";
            i += 2;
        } else {
            AppendNumbers(out, {e.x, -e.y}, 1);
            out += e.isMoveTo() ? "m\n" : "l\n";
        }
    }
    if (path.elementCount() > 0) out += "f\n";
    return out;
}

// Compresses page contents on a worker thread, in order, so that zlib runs while the next
// pages are drawn.
class TPageDeflater {
  public:
    explicit TPageDeflater(int level) : level_(level) {}
    ~TPageDeflater() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    TPageDeflater(const TPageDeflater&) = delete;
    TPageDeflater& operator=(const TPageDeflater&) = delete;

    void Push(std::string_view content) {
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        {
            const std::lock_guard lock(mutex_);
            input_.emplace_back(content);
        }
        changed_.notify_all();
    }

    // The next page pushed, compressed, once it is; an empty string when compression failed.
    std::string Pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !output_.empty(); });
        std::string page = std::move(output_.front());
        output_.pop_front();
        return page;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || !input_.empty(); });
            if (stop_) return;
            const std::string content = std::move(input_.front());
            input_.pop_front();
            lock.unlock();
            std::string packed;
            try {
                packed = Deflate(content, level_);
            } catch (...) {
                packed.clear();
            }
            lock.lock();
            output_.push_back(std::move(packed));
            changed_.notify_all();
        }
    }

    const int level_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> input_;
    std::deque<std::string> output_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace

struct TPdfDocument::TImpl {
    // A face of a font file, embedded once per document.
    struct TFace {
        QRawFont raw;           // at kGlyphUnits pixels per em, as the face is without stretching
        std::string name;       // PostScript-style name, without the subset tag
        bool trueType = false;  // a TrueType subset; otherwise Type 3 fonts of the outlines
        double width = 500;     // every glyph's displacement, glyph units
        bool bold = false;
        bool italic = false;
        bool fixedPitch = false;
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
        double size = 0;     // Tf
        double scale = 1;    // Tz / 100
        double spacing = 0;  // Tc
        double slant = 0;    // shear of a synthetic italic
        double stroke = 0;   // line width of a synthetic bold; 0 = fill only
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
                   exact == o.exact;
        }
    };

    struct TCell {
        char code = 0;
        std::int16_t style = kUnresolved;  // index into the entry's styles, or kBlank
    };

    // One font description as the renderer asks for it.
    struct TEntry {
        TFontDesc desc;
        TFontSizing sizing;
        QRawFont raw;  // as Qt draws it: at the exact size, stretched
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

    TImpl(TPdfWriter::TSink sink, std::string target, const TPdfPageSetup& setup)
        : writer(std::move(sink), std::move(target)), page(setup) {}

    // --- document ---
    TPdfWriter writer;
    TPdfPageSetup page;
    int catalogObject = 0, pagesObject = 0, resourcesObject = 0, infoObject = 0;
    std::vector<int> pageObjects;
    bool finished = false;
    // Pages ended and being compressed: their content stream's and page's object numbers. A
    // page is written kCompressionLag pages later, when its compression is long done (and at
    // the same place in the file whatever the timing).
    std::deque<std::pair<int, int>> pendingPages;
    TPageDeflater deflater{kContentLevel};

    // --- fonts and pictures ---
    std::vector<TFace> faces;
    std::map<std::string, int> faceIndex;
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
    TContent content;
    bool inText = false;
    // Text state set in this page's content so far (it survives ET).
    int stateFont = -1;
    double stateSize = 0, stateScale = 1, stateSpacing = 0, stateStroke = 0, stateLeading = 0;
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

    void Begin(const std::string& title, const LocalDateTime& created);
    void BeginPage();
    void EndPage();
    // Writes the pages ended before the last `lag` ones.
    void WriteCompressedPages(std::size_t lag);
    void Finish();

    TEntry& EntryFor(const TFontDesc& desc);
    void Resolve(TEntry& entry, std::uint8_t byte);
    int FaceFor(const QRawFont& drawn, int stretch);
    std::pair<int, char> UseGlyph(int face, std::uint32_t glyph, char32_t ch);
    int StyleFor(TEntry& entry, int face, int font, const QRawFont& drawn, quint32 glyph);

    void TextOut(int x, int y, const TFontDesc& desc, ByteView text);
    [[gnu::noinline]] void TextOutGeneral(int x, int y, const TFontDesc& desc, ByteView text);
    // Appends the glyph to the open run of its style when it lies `along` the run one step on
    // (within the style's slack), or after a few blank cells (shown as space glyphs); false
    // otherwise.
    void StepNext(const TEntry& entry, std::size_t cells);
    bool AppendToRun(const TTextStyle& style, double along, char code);
    // Whether (x, y) lies on the open run's baseline, and where along it.
    bool OnRunBaseline(double x, double y, double& along) const;
    void Show(const TTextStyle& style, double x, double y, char code);
    void StartRun(const TTextStyle& style, double x, double y);
    // Sets the font, scaling, spacing and rendering of the style where they differ.
    void SetState(const TTextStyle& style);
    void CloseRun();
    void EndText();
    void AddLine(const TLine& line);
    void DrawImage(const TRect& rect, const std::shared_ptr<const TPdfImage>& image);
    const std::pair<std::string, int>& ImageFor(const std::shared_ptr<const TPdfImage>& image);
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap);
    const std::pair<std::string, int>& MaskFor(const TBitmap& bitmap);
    // Draws the image resource `name` stretched over the rectangle.
    void PlaceImage(const TRect& rect, const std::string& name);

    void WriteTrueTypeFace(const TFace& face, int index);
    void WriteType3Font(const TFont& font, const TFace& face);
    int WriteToUnicode(const TFont& font);
};

// ---------------------------------------------------------------- document and pages

void TPdfDocument::TImpl::Begin(const std::string& title, const LocalDateTime& created) {
    writer.Begin();
    catalogObject = writer.Reserve();
    pagesObject = writer.Reserve();
    resourcesObject = writer.Reserve();
    infoObject = writer.Reserve();
    writer.WriteObject(catalogObject,
                       "<</Type/Catalog/Pages " + std::to_string(pagesObject) + " 0 R>>");
    char date[32];
    std::snprintf(date, sizeof date, "(D:%04d%02d%02d%02d%02d%02d)", created.year, created.month,
                  created.day, created.hour, created.minute, created.second);
    std::string info = "<<";
    if (!title.empty()) info += "/Title" + PdfTextString(title);
    info += "/Creator(Quernel)/Producer(Quernel)/CreationDate";
    info += date;
    info += ">>";
    writer.WriteObject(infoObject, info);
    BeginPage();
}

void TPdfDocument::TImpl::BeginPage() {
    content.Clear();
    inText = false;
    stateFont = -1;
    stateSize = 0;
    stateScale = 1;
    stateSpacing = 0;
    stateStroke = 0;
    stateLeading = 0;
    haveLine = false;
    runOpen = false;
    runStylePtr = nullptr;
    next.entry = nullptr;
    lines.clear();
    // Device pixels, y downward, from the drawing origin: the renderer's coordinates.
    const double sx = 72.0 / page.dpiX;
    const double sy = 72.0 / page.dpiY;
    content.Numbers({sx, 0, 0, -sy, page.offsetX * sx, page.paperHeight - page.offsetY * sy}, 6);
    content += "cm\n";
}

void TPdfDocument::TImpl::EndPage() {
    EndText();
    const int contents = writer.Reserve();
    pendingPages.emplace_back(contents, writer.Reserve());
    deflater.Push(content.View());
    content.Clear();
    WriteCompressedPages(kCompressionLag);
}

void TPdfDocument::TImpl::WriteCompressedPages(std::size_t lag) {
    while (pendingPages.size() > lag) {
        const std::string packed = deflater.Pop();
        const auto [contents, object] = pendingPages.front();
        pendingPages.pop_front();
        writer.WriteDeflatedStream(contents, "", packed);
        writer.WriteObject(object, "<</Type/Page/Parent " + std::to_string(pagesObject) +
                                       " 0 R/Contents " + std::to_string(contents) + " 0 R>>");
        pageObjects.push_back(object);
    }
}

void TPdfDocument::TImpl::Finish() {
    EndPage();
    WriteCompressedPages(0);
    finished = true;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const TFace& face = faces[i];
        if (face.fonts.empty()) continue;
        if (face.trueType) {
            WriteTrueTypeFace(face, static_cast<int>(i));
        } else {
            for (int f : face.fonts) WriteType3Font(fonts[static_cast<std::size_t>(f)], face);
        }
    }

    std::string resources = "<<";
    if (!fonts.empty()) {
        resources += "/Font<<";
        for (const TFont& font : fonts) {
            resources += "/" + font.name + " " + std::to_string(font.object) + " 0 R";
        }
        resources += ">>";
    }
    if (!images.empty() || !masks.empty()) {
        resources += "/XObject<<";
        for (const TImageUse& use : images) {
            const auto& [name, object] = use.resource;
            resources += "/" + name + " " + std::to_string(object) + " 0 R";
        }
        for (const auto& [name, object] : masks) {
            resources += "/" + name + " " + std::to_string(object) + " 0 R";
        }
        resources += ">>";
    }
    resources += ">>";
    writer.WriteObject(resourcesObject, resources);

    std::string pages = "<</Type/Pages/Count " + std::to_string(pageObjects.size()) + "/Kids[";
    for (std::size_t i = 0; i < pageObjects.size(); ++i) {
        if (i > 0) pages += ' ';
        pages += std::to_string(pageObjects[i]) + " 0 R";
    }
    pages += "]/MediaBox[0 0 ";
    AppendNumbers(pages, {page.paperWidth}, 3);
    AppendPdfNumber(pages, page.paperHeight, 3);
    pages += "]/Resources " + std::to_string(resourcesObject) + " 0 R>>";
    writer.WriteObject(pagesObject, pages);
    writer.Finish(catalogObject, infoObject);
}

// ---------------------------------------------------------------- fonts

TPdfDocument::TImpl::TEntry& TPdfDocument::TImpl::EntryFor(const TFontDesc& desc) {
    for (const auto& e : entries) {
        if (SameFont(e->desc, desc)) return *(lastEntry = e.get());
    }

    auto entry = std::make_unique<TEntry>();
    entry->desc = desc;
    entry->sizing = SizeFontForCell(desc);
    entry->raw = QRawFont::fromFont(entry->sizing.font);
    if (!entry->raw.isValid()) throw PrinterError("No font can draw \"" + desc.faceName + "\".");
    entry->raw.setPixelSize(entry->sizing.pixelSize);
    // A cell of an absurd size is beyond what the font engine draws.
    if (!entry->raw.isValid()) {
        throw PrinterError("The font \"" + desc.faceName + "\" cannot be drawn " +
                           std::to_string(desc.height) + " pixels high.");
    }
    // Escapement counts counter-clockwise on the page, whose y grows downward.
    const int turn = ((desc.escapement % 3600) + 3600) % 3600;
    if (turn % 900 == 0) {
        static constexpr double kDirs[4][2] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
        entry->dirX = kDirs[turn / 900][0];
        entry->dirY = kDirs[turn / 900][1];
    } else {
        const double angle = turn / 10.0 * std::numbers::pi / 180.0;
        entry->dirX = std::cos(angle);
        entry->dirY = -std::sin(angle);
    }
    entry->chars = &CodePageTable(CodePageForCharset(desc.charset));
    const double advance = entry->sizing.advance;
    if (turn % 900 == 0 && advance == std::floor(advance) && advance < 1e6) {
        entry->grid = true;
        entry->stepX = static_cast<int>(entry->dirX * advance);
        entry->stepY = static_cast<int>(entry->dirY * advance);
    }

    if (entries.size() >= kMaxEntries) {
        entries.clear();
        runStylePtr = nullptr;
        next.entry = nullptr;
    }
    entries.push_back(std::move(entry));
    return *(lastEntry = entries.back().get());
}

int TPdfDocument::TImpl::FaceFor(const QRawFont& drawn, int stretch) {
    const QString family = drawn.familyName();
    const QString style = drawn.styleName();
    // The same face without stretching: its outlines and metrics are the font resource's; the
    // stretch becomes the horizontal scaling of each text object.
    QFont font;
    font.setFamily(family);
    font.setStyleName(style);
    font.setPixelSize(static_cast<int>(kGlyphUnits));
    font.setStyleStrategy(QFont::PreferOutline);
    QRawFont raw = QRawFont::fromFont(font);
    std::string key = (family + QLatin1Char('\n') + style).toStdString();
    if (!raw.isValid() || raw.familyName() != family || raw.styleName() != style) {
        // Qt does not find the face by name: use it as drawn, stretch included.
        raw = drawn;
        raw.setPixelSize(kGlyphUnits);
        key += "\n" + std::to_string(stretch);
    }
    if (const auto found = faceIndex.find(key); found != faceIndex.end()) return found->second;

    TFace face;
    face.raw = raw;
    face.trueType = HasTrueTypeOutlines([&](std::string_view tag) { return TableOf(raw, tag); });
    face.name = NameOf(family) + (style.isEmpty() || style == QLatin1String("Regular")
                                      ? std::string()
                                      : "-" + NameOf(style));
    const double average = raw.averageCharWidth();
    face.width = average > 0 ? Round(average, 2) : kGlyphUnits / 2;
    face.bold = QFontDatabase::weight(family, style) >= QFont::DemiBold;
    face.italic = QFontDatabase::italic(family, style) ||
                  style.contains(QLatin1String("Italic"), Qt::CaseInsensitive) ||
                  style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive);
    face.fixedPitch = QFontDatabase::isFixedPitch(family, style);
    faces.push_back(std::move(face));
    const int index = static_cast<int>(faces.size()) - 1;
    faceIndex.emplace(key, index);
    return index;
}

std::pair<int, char> TPdfDocument::TImpl::UseGlyph(int faceIndex, std::uint32_t glyph,
                                                   char32_t ch) {
    TFace& face = faces[static_cast<std::size_t>(faceIndex)];
    for (int index : face.fonts) {
        const TFont& font = fonts[static_cast<std::size_t>(index)];
        if (const auto found = font.codes.find(glyph); found != font.codes.end()) {
            return {index, static_cast<char>(found->second)};
        }
    }
    if (face.fonts.empty() ||
        NextCode(fonts[static_cast<std::size_t>(face.fonts.back())].lastCode) > 255) {
        TFont font;
        font.face = faceIndex;
        font.object = writer.Reserve();
        font.name = "F" + std::to_string(fonts.size() + 1);
        fonts.push_back(std::move(font));
        face.fonts.push_back(static_cast<int>(fonts.size()) - 1);
    }
    const int index = face.fonts.back();
    TFont& font = fonts[static_cast<std::size_t>(index)];
    const unsigned code = NextCode(font.lastCode);
    font.lastCode = static_cast<int>(code);
    font.codes.emplace(glyph, code);
    font.used.emplace(code, TGlyphUse{glyph, ch});
    return {index, static_cast<char>(code)};
}

int TPdfDocument::TImpl::StyleFor(TEntry& entry, int faceIndex, int font, const QRawFont& drawn,
                                  quint32 glyph) {
    const TFace& face = faces[static_cast<std::size_t>(faceIndex)];
    // The horizontal scaling Qt applies to the face: its stretched advance over its own.
    double scale = 0;
    for (quint32 g : {glyph, GlyphFor(face.raw, U'M'), GlyphFor(face.raw, U'0')}) {
        const double own = DesignAdvance(face.raw, g);
        if (g != 0 && own > 0) {
            scale = DesignAdvance(drawn, g) / own;
            break;
        }
    }
    if (!(scale > 0)) scale = 1;

    TTextStyle style;
    style.font = font;
    style.size = Round(entry.sizing.pixelSize, 3);
    style.scale = Round(scale, 4);
    // Glyphs step the renderer's exact advance when it is known, otherwise the cell width.
    style.exact = entry.desc.advance > 0;
    const double advance = style.exact ? entry.desc.advance : entry.sizing.advance;
    style.spacing = Round(advance / style.scale - face.width * style.size / 1000, 4);
    style.slant = entry.desc.italic && !face.italic ? kSyntheticSlant : 0;
    style.stroke = entry.desc.weight >= QFont::Bold && !face.bold
                       ? Round(style.size * kSyntheticBoldStroke, 2)
                       : 0;
    style.dirX = entry.dirX;
    style.dirY = entry.dirY;
    style.step = (face.width * style.size / 1000 + style.spacing) * style.scale;
    style.unit = style.size * style.scale / 1000;
    style.slack = style.exact ? kWithinPixel : style.unit / 2;
    style.perStep = 1 / style.step;
    if (const quint32 space = GlyphFor(face.raw, U' '); space != 0) {
        const auto [spaceFont, code] = UseGlyph(faceIndex, space, U' ');
        if (spaceFont == font) {
            style.hasSpace = true;
            style.space = code;
        }
    }
    for (std::size_t i = 0; i < entry.styles.size(); ++i) {
        if (entry.styles[i] == style) return static_cast<int>(i);
    }
    entry.styles.push_back(style);
    runStylePtr = nullptr;  // the styles may have moved
    return static_cast<int>(entry.styles.size()) - 1;
}

void TPdfDocument::TImpl::Resolve(TEntry& entry, std::uint8_t byte) {
    TCell& cell = entry.cells[byte];
    const char32_t ch = (*entry.chars)[byte];
    if (IsBlank(ch)) {
        cell.style = kBlank;
        return;
    }
    const int stretch = entry.sizing.font.stretch();
    QRawFont drawn = entry.raw;
    quint32 glyph = GlyphFor(drawn, ch);
    for (std::size_t i = 0; glyph == 0 && i < std::size(kFallbackFamilies); ++i) {
        QFont font = entry.sizing.font;
        font.setFamily(QString::fromLatin1(kFallbackFamilies[i]));
        QRawFont fallback = QRawFont::fromFont(font);
        if (!fallback.isValid()) continue;
        fallback.setPixelSize(entry.sizing.pixelSize);
        if (!fallback.isValid()) continue;
        if (const quint32 g = GlyphFor(fallback, ch); g != 0) {
            drawn = fallback;
            glyph = g;
        }
    }
    if (glyph == 0) {
        // Qt's font fallback, as it draws text.
        QTextLayout layout(QString::fromUcs4(&ch, 1), entry.sizing.font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns()) {
            if (run.glyphIndexes().size() == 1 && run.glyphIndexes().front() != 0) {
                QRawFont found = run.rawFont();
                found.setPixelSize(entry.sizing.pixelSize);
                if (!found.isValid()) continue;
                drawn = found;
                glyph = run.glyphIndexes().front();
            }
        }
    }
    // No font has it: the chosen font's missing-glyph box, which shows no character.
    const int face = FaceFor(drawn, stretch);
    const auto [font, code] = UseGlyph(face, glyph, glyph != 0 ? ch : 0);
    cell.code = code;
    cell.style = static_cast<std::int16_t>(StyleFor(entry, face, font, drawn, glyph));
}

// ---------------------------------------------------------------- text

void TPdfDocument::TImpl::TextOut(int x, int y, const TFontDesc& desc, ByteView text) {
    // The renderer's usual call: one character in the cell right after the last one, in the
    // same font, continuing the open run.
    if (text.size() == 1 && next.entry != nullptr && x == next.x && y == next.y &&
        !desc.underline && !desc.strikeOut && SameFont(next.entry->desc, desc)) {
        const TEntry& entry = *next.entry;
        const TCell& cell = entry.cells[text[0]];
        if (cell.style >= 0) {
            const TTextStyle& style = entry.styles[static_cast<std::size_t>(cell.style)];
            if (&style == runStylePtr && AppendToRun(style, next.along, cell.code)) {
                StepNext(entry, 1);
                return;
            }
        } else if (cell.style == kBlank) {
            StepNext(entry, 1);
            return;
        }
    }
    TextOutGeneral(x, y, desc, text);
}

void TPdfDocument::TImpl::TextOutGeneral(int x, int y, const TFontDesc& desc, ByteView text) {
    if (text.empty()) return;
    TEntry& entry = lastEntry && SameFont(lastEntry->desc, desc) ? *lastEntry : EntryFor(desc);
    const TFontSizing& s = entry.sizing;
    // The baseline of the first cell: ascent pixels toward the foot of the characters.
    double baseX = 0, baseY = 0;
    const auto findBase = [&] {
        baseX = x - s.ascent * entry.dirY;
        baseY = y + s.ascent * entry.dirX;
    };
    // Where the first cell lies along the open run, when it is on the run's baseline. A call
    // that goes on exactly where the last one ended (the renderer draws a line one character
    // at a time) is known to be on it.
    double along = next.along;
    bool onRun = &entry == next.entry && x == next.x && y == next.y && runOpen;
    if (!onRun) {
        findBase();
        onRun = OnRunBaseline(baseX, baseY, along);
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const TCell* cell = &entry.cells[text[i]];
        if (cell->style < 0) {
            if (cell->style == kBlank) continue;
            Resolve(entry, text[i]);
            if (cell->style == kBlank) continue;
        }
        const TTextStyle& style = entry.styles[static_cast<std::size_t>(cell->style)];
        const double offset = static_cast<double>(i) * s.advance;
        if (onRun && &style == runStylePtr && AppendToRun(style, along + offset, cell->code)) {
            continue;
        }
        findBase();
        Show(style, baseX + offset * entry.dirX, baseY + offset * entry.dirY, cell->code);
        onRun = OnRunBaseline(baseX, baseY, along);
    }

    if (onRun && entry.grid) {
        next = {&entry, x, y, along};
        StepNext(entry, text.size());
    } else {
        next.entry = nullptr;
    }

    // Lines run under the whole text, blanks included.
    if (desc.underline || desc.strikeOut) {
        findBase();
        const double length = static_cast<double>(text.size()) * s.advance;
        if (desc.underline) {
            AddLine({baseX, baseY, entry.dirX, entry.dirY, s.underlinePos - s.lineWidth / 2,
                     s.lineWidth, length});
        }
        if (desc.strikeOut) {
            AddLine({baseX, baseY, entry.dirX, entry.dirY, -s.strikeOutPos - s.lineWidth / 2,
                     s.lineWidth, length});
        }
    }
}

// Moves the expected next cell `cells` cells on, computed in 64 bits: far out along a very long
// line, where an int would overflow, the next call is simply not taken as a continuation.
void TPdfDocument::TImpl::StepNext(const TEntry& entry, std::size_t cells) {
    const auto n = static_cast<std::int64_t>(std::min<std::size_t>(cells, 1u << 30));
    const std::int64_t x = next.x + n * entry.stepX;
    const std::int64_t y = next.y + n * entry.stepY;
    if (x < INT_MIN || x > INT_MAX || y < INT_MIN || y > INT_MAX) {
        next.entry = nullptr;
        return;
    }
    next.x = static_cast<int>(x);
    next.y = static_cast<int>(y);
    next.along += static_cast<double>(n) * entry.sizing.advance;
}

bool TPdfDocument::TImpl::AppendToRun(const TTextStyle& style, double along, char code) {
    const double delta = along - runPos;
    if (std::abs(delta) < style.slack) {
        content.Code(code);
        runPos += style.step;
        return true;
    }
    if (style.hasSpace && delta > 0) {
        const double blanks = static_cast<double>(static_cast<long>(delta * style.perStep + 0.5));
        if (blanks <= kMaxSpaceGlyphs && std::abs(delta - blanks * style.step) < style.slack) {
            for (int k = 0; k < static_cast<int>(blanks); ++k) content.Code(style.space);
            content.Code(code);
            runPos += (blanks + 1) * style.step;
            return true;
        }
    }
    return false;
}

bool TPdfDocument::TImpl::OnRunBaseline(double x, double y, double& along) const {
    if (!runOpen) return false;
    const double dx = x - runX;
    const double dy = y - runY;
    along = dx * runStyle.dirX + dy * runStyle.dirY;
    return std::abs(dx * runStyle.dirY - dy * runStyle.dirX) < kSamePosition;
}

void TPdfDocument::TImpl::Show(const TTextStyle& style, double x, double y, char code) {
    const bool same = runOpen && (runStylePtr == &style || runStyle == style);
    const double dx = x - runX;
    const double dy = y - runY;
    // On the open run's baseline, in its direction and slant: the text goes on from the
    // viewer's text position, with no move of the line, also in a new style when both place
    // glyphs within a pixel (a move of the line puts a new run exactly where it is asked for).
    if (runOpen && std::abs(dx * style.dirY - dy * style.dirX) < kSamePosition &&
        (same || (style.exact && runStyle.exact && style.dirX == runStyle.dirX &&
                  style.dirY == runStyle.dirY && style.slant == runStyle.slant))) {
        double delta = dx * style.dirX + dy * style.dirY - runPos;
        if (!same) {
            // Blank cells before a change of style are usually the old style's.
            if (runStyle.hasSpace && delta >= runStyle.step / 2) {
                const double blanks = std::floor(delta / runStyle.step + 0.5);
                if (blanks <= kMaxSpaceGlyphs &&
                    std::abs(delta - blanks * runStyle.step) < runStyle.slack) {
                    for (int k = 0; k < static_cast<int>(blanks); ++k) {
                        content.Code(runStyle.space);
                    }
                    runPos += blanks * runStyle.step;
                    delta -= blanks * runStyle.step;
                }
            }
            content += ")]TJ\n";
            SetState(style);
            content += "[(";
            runStyle = style;
            next.entry = nullptr;
        }
        runStylePtr = &style;
        if (delta >= style.step / 2 && style.hasSpace) {
            // Whole blank cells, give or take what earlier adjustments left over.
            const double blanks = std::floor(delta / style.step + 0.5);
            if (blanks >= 1 && blanks <= kMaxSpaceGlyphs) {
                for (int k = 0; k < static_cast<int>(blanks); ++k) content.Code(style.space);
                runPos += blanks * style.step;
                delta -= blanks * style.step;
            }
        }
        if (std::abs(delta) >= style.slack) {
            // In tenths: the same gap then always gets the same number, which compresses
            // better than whole numbers alternating to make up for their rounding.
            const double adjust = Round(-delta / style.unit, 1);
            std::string number;
            if (content.EndsWith("[(")) {
                content.Drop(1);  // no empty string before the number
            } else {
                number = ")";
            }
            AppendPdfNumber(number, adjust, 1);
            number += '(';
            content += number;
            runPos -= adjust * style.unit;
        }
    } else {
        StartRun(style, x, y);
        runStylePtr = &style;
    }
    content.Code(code);
    runPos += style.step;
}

void TPdfDocument::TImpl::SetState(const TTextStyle& style) {
    if (style.font != stateFont || style.size != stateSize) {
        content += '/';
        content += fonts[static_cast<std::size_t>(style.font)].name;
        content += ' ';
        content.Numbers({style.size}, 3);
        content += "Tf\n";
        stateFont = style.font;
        stateSize = style.size;
    }
    if (style.scale != stateScale) {
        content.Numbers({style.scale * 100}, 2);
        content += "Tz\n";
        stateScale = style.scale;
    }
    if (style.spacing != stateSpacing) {
        content.Numbers({style.spacing}, 4);
        content += "Tc\n";
        stateSpacing = style.spacing;
    }
    if (style.stroke != stateStroke) {
        if (style.stroke > 0) {
            content.Numbers({style.stroke}, 2);
            content += "w 2 Tr\n";
        } else {
            content += "0 Tr\n";
        }
        stateStroke = style.stroke;
    }
}

void TPdfDocument::TImpl::StartRun(const TTextStyle& style, double x, double y) {
    CloseRun();
    if (!inText) {
        content += "BT\n";
        inText = true;
        haveLine = false;
    }
    SetState(style);

    // Text space: x along the baseline, y toward the top of the characters (slanted for a
    // synthetic italic); the page's y grows downward.
    const double a = style.dirX, b = style.dirY;
    const double c = style.dirY + style.slant * style.dirX;
    const double d = -style.dirX + style.slant * style.dirY;
    if (haveLine && a == lineA && b == lineB && c == lineC && d == lineD) {
        const double det = a * d - b * c;
        const double tx = Round((d * (x - lineX) - c * (y - lineY)) / det, 2);
        const double ty = Round((a * (y - lineY) - b * (x - lineX)) / det, 2);
        if (tx == 0 && ty < 0) {
            // The next line: T* moves by the leading, set once.
            if (-ty != stateLeading) {
                content.Numbers({-ty}, 2);
                content += "TL ";
                stateLeading = -ty;
            }
            content += "T*";
        } else {
            content.Numbers({tx, ty}, 2);
            content += "Td";
        }
        lineX += a * tx + c * ty;
        lineY += b * tx + d * ty;
    } else {
        content.Numbers({a, b, c, d}, 4);
        lineX = Round(x, 2);
        lineY = Round(y, 2);
        content.Numbers({lineX, lineY}, 2);
        content += "Tm\n";
        lineA = a, lineB = b, lineC = c, lineD = d;
        haveLine = true;
    }
    content += "[(";
    runOpen = true;
    next.entry = nullptr;
    runStyle = style;
    runX = x;
    runY = y;
    // Where the line start really is, seen from the exact point.
    runPos = (lineX - x) * style.dirX + (lineY - y) * style.dirY;
}

void TPdfDocument::TImpl::CloseRun() {
    if (!runOpen) return;
    content += ")]TJ\n";
    runOpen = false;
    runStylePtr = nullptr;
    next.entry = nullptr;
}

void TPdfDocument::TImpl::AddLine(const TLine& line) {
    // A line that starts on a recent line of the same kind, or at most a pixel after its end
    // (the renderer truncates the cells' positions), extends it: one continuous line, as a
    // printer draws it. An underline and a strike-out of the same text alternate.
    const std::size_t first = lines.size() > kLinesMerged ? lines.size() - kLinesMerged : 0;
    for (std::size_t i = lines.size(); i-- > first;) {
        TLine& last = lines[i];
        if (last.dirX != line.dirX || last.dirY != line.dirY || last.top != line.top ||
            last.thickness != line.thickness) {
            continue;
        }
        const double dx = line.x - last.x;
        const double dy = line.y - last.y;
        const double along = dx * last.dirX + dy * last.dirY;
        if (std::abs(dx * last.dirY - dy * last.dirX) < kSamePosition && along > -kSamePosition &&
            along < last.length + kWithinPixel + kSamePosition) {
            last.length = std::max(last.length, along + line.length);
            return;
        }
    }
    lines.push_back(line);
}

void TPdfDocument::TImpl::EndText() {
    CloseRun();
    if (inText) {
        content += "ET\n";
        inText = false;
    }
    if (lines.empty()) return;
    bool straight = false;
    for (const TLine& l : lines) {
        if (l.dirX == 1 && l.dirY == 0) {
            content.Numbers({l.x, l.y + l.top, l.length, l.thickness}, 2);
            content += "re\n";
            straight = true;
        }
    }
    if (straight) content += "f\n";
    for (const TLine& l : lines) {
        if (l.dirX == 1 && l.dirY == 0) continue;
        content += "q ";
        content.Numbers({l.dirX, l.dirY, -l.dirY, l.dirX}, 4);
        content.Numbers({l.x, l.y}, 2);
        content += "cm 0 ";
        content.Numbers({l.top, l.length, l.thickness}, 2);
        content += "re f Q\n";
    }
    lines.clear();
}

// ---------------------------------------------------------------- pictures

const std::pair<std::string, int>& TPdfDocument::TImpl::ImageFor(
    const std::shared_ptr<const TPdfImage>& image) {
    for (const TImageUse& use : images) {
        if (use.image == image) return use.resource;
    }
    std::string dictionary = image->image.dictionary;
    if (image->mask) {
        const int mask = writer.Reserve();
        writer.WriteStream(mask, image->mask->dictionary, image->mask->data, -1);
        dictionary += "/SMask " + std::to_string(mask) + " 0 R";
    }
    const int object = writer.Reserve();
    writer.WriteStream(object, dictionary, image->image.data, -1);
    images.push_back({image, {"I" + std::to_string(images.size() + 1), object}});
    return images.back().resource;
}

void TPdfDocument::TImpl::DrawImage(const TRect& rect,
                                    const std::shared_ptr<const TPdfImage>& image) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || !image || image->width <= 0 || image->height <= 0) return;
    EndText();
    PlaceImage(rect, ImageFor(image).first);
}

// An image fills the unit square, its first row at the top: it is stretched over the rectangle.
void TPdfDocument::TImpl::PlaceImage(const TRect& rect, const std::string& name) {
    content += "q ";
    content.Numbers({static_cast<double>(rect.right - rect.left), 0, 0,
                     static_cast<double>(rect.top - rect.bottom), static_cast<double>(rect.left),
                     static_cast<double>(rect.bottom)},
                    0);
    content += "cm /" + name + " Do Q\n";
}

const std::pair<std::string, int>& TPdfDocument::TImpl::MaskFor(const TBitmap& bitmap) {
    constexpr std::size_t kMaxKeyBytes = 8 << 20;
    const std::string_view bits(reinterpret_cast<const char*>(bitmap.bits.data()),
                                bitmap.bits.size());
    const std::size_t hash = std::hash<std::string_view>()(bits) ^
                             (static_cast<std::size_t>(bitmap.width) * 0x9E3779B97F4A7C15ULL);
    const auto [first, last] = maskIndex.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        const TMaskKey& key = it->second;
        if (key.width == bitmap.width && key.height == bitmap.height && key.bits == bitmap.bits) {
            return masks[key.mask];
        }
    }
    // A stencil: where a bit is set the current colour (black) is painted, elsewhere nothing.
    const int object = writer.Reserve();
    writer.WriteStream(object,
                       "/Type/XObject/Subtype/Image/Width " + std::to_string(bitmap.width) +
                           "/Height " + std::to_string(bitmap.height) +
                           "/ImageMask true/BitsPerComponent 1/Decode[1 0]",
                       bits, kResourceLevel);
    masks.emplace_back("M" + std::to_string(masks.size() + 1), object);
    if (maskKeyBytes + bits.size() <= kMaxKeyBytes) {
        maskKeyBytes += bits.size();
        maskIndex.emplace(hash,
                          TMaskKey{masks.size() - 1, bitmap.width, bitmap.height, bitmap.bits});
    }
    return masks.back();
}

void TPdfDocument::TImpl::DrawBitmap(const TRect& rect, const TBitmap& bitmap) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || bitmap.width <= 0 || bitmap.height <= 0) return;
    EndText();
    PlaceImage(rect, MaskFor(bitmap).first);
}

// ---------------------------------------------------------------- writing the fonts

int TPdfDocument::TImpl::WriteToUnicode(const TFont& font) {
    std::vector<std::pair<unsigned, char32_t>> map;
    for (const auto& [code, use] : font.used) {
        if (use.ch != 0) map.emplace_back(code, use.ch);
    }
    const int object = writer.Reserve();
    writer.WriteStream(object, "", ToUnicodeCMap(map), kResourceLevel);
    return object;
}

void TPdfDocument::TImpl::WriteTrueTypeFace(const TFace& face, int index) {
    // The subset tag: QN and four capital letters from the face's number.
    std::string tag = "QN";
    for (int i = 0, n = index; i < 4; ++i, n /= 26) tag += static_cast<char>('A' + n % 26);
    const std::string baseName = tag + "+" + face.name;

    // One subset for all the face's font resources, its glyphs under their own indexes.
    std::vector<std::uint32_t> glyphs;
    for (int f : face.fonts) {
        for (const auto& [code, use] : fonts[static_cast<std::size_t>(f)].used) {
            glyphs.push_back(use.glyph);
        }
    }
    std::sort(glyphs.begin(), glyphs.end());
    glyphs.erase(std::unique(glyphs.begin(), glyphs.end()), glyphs.end());
    const TFontTables tables = [&](std::string_view table) { return TableOf(face.raw, table); };
    const std::string program = SubsetTrueType(tables, glyphs);
    if (program.empty()) {
        throw PrinterError("The font \"" + face.name + "\" cannot be embedded in the document.");
    }
    const int file = writer.Reserve();
    writer.WriteStream(file, "/Length1 " + std::to_string(program.size()), program, kResourceLevel);

    // Metrics in glyph units.
    const std::string head = tables("head");
    const double perUnit = kGlyphUnits / Read16(head, 18);
    const auto signedAt = [&](std::size_t at) {
        return static_cast<std::int16_t>(Read16(head, at)) * perUnit;
    };
    double italicAngle = 0;
    if (const std::string post = tables("post"); post.size() >= 8) {
        italicAngle = static_cast<std::int16_t>(Read16(post, 4)) + Read16(post, 6) / 65536.0;
    }
    const int flags = 4 | (face.fixedPitch ? 1 : 0) | (face.italic ? 64 : 0);
    std::string descriptor = "<</Type/FontDescriptor/FontName/" + baseName + "/Flags " +
                             std::to_string(flags) + "/FontBBox[";
    AppendNumbers(descriptor, {signedAt(36), signedAt(38), signedAt(40)}, 0);
    AppendPdfNumber(descriptor, signedAt(42), 0);
    descriptor += "]/ItalicAngle ";
    AppendPdfNumber(descriptor, italicAngle, 2);
    descriptor += "/Ascent ";
    AppendPdfNumber(descriptor, face.raw.ascent(), 0);
    descriptor += "/Descent ";
    AppendPdfNumber(descriptor, -face.raw.descent(), 0);
    descriptor += "/CapHeight ";
    AppendPdfNumber(descriptor, face.raw.capHeight(), 0);
    descriptor += "/StemV 80/FontFile2 " + std::to_string(file) + " 0 R>>";
    const int descriptorObject = writer.Reserve();
    writer.WriteObject(descriptorObject, descriptor);

    // Widths by glyph (CID = glyph index): every glyph is laid out one cell on; ranges of
    // consecutive glyphs share it.
    std::string widths = "[";
    for (std::size_t i = 0; i < glyphs.size();) {
        std::size_t last = i;
        while (last + 1 < glyphs.size() && glyphs[last + 1] == glyphs[last] + 1) ++last;
        AppendNumbers(
            widths, {static_cast<double>(glyphs[i]), static_cast<double>(glyphs[last]), face.width},
            2);
        i = last + 1;
    }
    widths += "]";
    const std::string system = "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>";
    const int cid = writer.Reserve();
    std::string cidFont = "<</Type/Font/Subtype/CIDFontType2/BaseFont/" + baseName + system +
                          "/FontDescriptor " + std::to_string(descriptorObject) + " 0 R/DW ";
    AppendPdfNumber(cidFont, face.width, 2);
    cidFont += "/W" + widths + "/CIDToGIDMap/Identity>>";
    writer.WriteObject(cid, cidFont);

    // Each font resource: its one-byte codes to CIDs by an embedded CMap, to text by its
    // ToUnicode map.
    for (int f : face.fonts) {
        const TFont& font = fonts[static_cast<std::size_t>(f)];
        const std::string cmapName = tag + "-" + font.name;
        std::string cmap = "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n" +
                           system + "def\n/CMapName/" + cmapName +
                           " def\n/CMapType 1 def\n1 begincodespacerange\n<00><FF>\n"
                           "endcodespacerange\n";
        for (auto it = font.used.begin(); it != font.used.end();) {
            const auto n = std::min<std::size_t>(
                kCMapChunk, static_cast<std::size_t>(std::distance(it, font.used.end())));
            cmap += std::to_string(n) + " begincidchar\n";
            for (std::size_t k = 0; k < n; ++k, ++it) {
                cmap += '<';
                AppendHex2(cmap, it->first);
                cmap += "> " + std::to_string(it->second.glyph) + "\n";
            }
            cmap += "endcidchar\n";
        }
        cmap += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
        const int encoding = writer.Reserve();
        writer.WriteStream(encoding, "/Type/CMap/CMapName/" + cmapName + system, cmap,
                           kResourceLevel);
        const int toUnicode = WriteToUnicode(font);
        writer.WriteObject(font.object, "<</Type/Font/Subtype/Type0/BaseFont/" + baseName +
                                            "/Encoding " + std::to_string(encoding) +
                                            " 0 R/DescendantFonts[" + std::to_string(cid) +
                                            " 0 R]/ToUnicode " + std::to_string(toUnicode) +
                                            " 0 R>>");
    }
}

void TPdfDocument::TImpl::WriteType3Font(const TFont& font, const TFace& face) {
    std::string procs = "<<";
    std::string differences = "[";
    std::string widths = "[";
    QRectF box;
    const unsigned firstCode = font.used.begin()->first;
    const unsigned lastCode = font.used.rbegin()->first;
    unsigned expected = 256;  // the code a name in Differences stands for without a number
    for (const auto& [code, use] : font.used) {
        const QPainterPath path = face.raw.pathForGlyph(use.glyph);
        box |= path.boundingRect();
        const int object = writer.Reserve();
        writer.WriteStream(object, "", GlyphProcedure(path, face.width), kResourceLevel);
        const std::string name = "g" + std::to_string(code);
        procs += "/" + name + " " + std::to_string(object) + " 0 R";
        if (code != expected) {
            if (differences.size() > 1) differences += ' ';
            differences += std::to_string(code);
        }
        differences += "/" + name;
        expected = code + 1;
    }
    for (unsigned code = firstCode; code <= lastCode; ++code) {
        AppendNumbers(widths, {font.used.contains(code) ? face.width : 0}, 2);
    }
    procs += ">>";
    differences += "]";
    widths += "]";
    const int toUnicode = WriteToUnicode(font);
    std::string dictionary = "<</Type/Font/Subtype/Type3/FontBBox[";
    AppendNumbers(dictionary,
                  {std::floor(box.left()), std::floor(-box.bottom()), std::ceil(box.right())}, 0);
    AppendPdfNumber(dictionary, std::ceil(-box.top()), 0);
    dictionary += "]/FontMatrix[0.001 0 0 0.001 0 0]/CharProcs" + procs +
                  "/Encoding<</Type/Encoding/Differences" + differences + ">>/FirstChar " +
                  std::to_string(firstCode) + "/LastChar " + std::to_string(lastCode) + "/Widths" +
                  widths + "/ToUnicode " + std::to_string(toUnicode) + " 0 R/Resources<<>>>>";
    writer.WriteObject(font.object, dictionary);
}

// ---------------------------------------------------------------- public interface

TPdfDocument::TPdfDocument(TPdfWriter::TSink sink, std::string target, const TPdfPageSetup& setup,
                           const std::string& title, const LocalDateTime& created)
    : impl_(std::make_unique<TImpl>(std::move(sink), std::move(target), setup)) {
    impl_->Begin(title, created);
}

TPdfDocument::~TPdfDocument() = default;

void TPdfDocument::NewPage() {
    if (impl_->finished) throw PrinterError("NewPage on a finished document.");
    impl_->EndPage();
    impl_->BeginPage();
}

void TPdfDocument::TextOut(int x, int y, const TFontDesc& font, ByteView text) {
    if (impl_->finished) throw PrinterError("Text drawn on a finished document.");
    impl_->TextOut(x, y, font, text);
}

void TPdfDocument::DrawImage(const TRect& rect, const std::shared_ptr<const TPdfImage>& image) {
    if (impl_->finished) throw PrinterError("Picture drawn on a finished document.");
    impl_->DrawImage(rect, image);
}

void TPdfDocument::DrawBitmap(const TRect& rect, const TBitmap& bitmap) {
    if (impl_->finished) throw PrinterError("Picture drawn on a finished document.");
    impl_->DrawBitmap(rect, bitmap);
}

void TPdfDocument::Finish() {
    if (impl_->finished) throw PrinterError("The document is already finished.");
    impl_->Finish();
}

int TPdfDocument::PageCount() const {
    return static_cast<int>(impl_->pageObjects.size() + impl_->pendingPages.size()) +
           (impl_->finished ? 0 : 1);
}

}  // namespace quernel
