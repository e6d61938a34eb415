#include "platform/FtFontSource.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

namespace quernel {

namespace {

// Metrics are measured this large, as the Qt path measures them.
constexpr int kReferencePixels = 1000;
constexpr int kMaxMeasureRounds = 4;
// FreeType scales up to this many pixels per em; beyond it a face cannot be sized.
constexpr double kMaxPixelSize = 65535;
// The slant of an italic made from an upright face: FreeType's own, as Qt uses it.
constexpr FT_Fixed kObliqueShear = 0x0366A;

// The arithmetic of Qt's 26.6 fixed-point numbers: a division rounds to the nearest.
FT_Long FixedDiv(FT_Long a, FT_Long b) {
    if (b == 0) return 0x7FFFFFFF;
    bool negative = false;
    if (a < 0) {
        a = -a;
        negative = !negative;
    }
    if (b < 0) {
        b = -b;
        negative = !negative;
    }
    const FT_Long result = ((a << 6) + (b >> 1)) / b;
    return negative ? -result : result;
}

double FromFixed(FT_Long v) {
    return static_cast<double>(v) / 64.0;
}

struct TFcPatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using TFcPattern = std::unique_ptr<FcPattern, TFcPatternFree>;
struct TFcFontSetFree {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using TFcFontSet = std::unique_ptr<FcFontSet, TFcFontSetFree>;

std::string StringOf(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || value == nullptr) {
        return {};
    }
    return reinterpret_cast<const char*>(value);
}

std::optional<double> NumberOf(FcPattern* pattern, const char* object) {
    double d = 0;
    if (FcPatternGetDouble(pattern, object, 0, &d) == FcResultMatch) return d;
    int i = 0;
    if (FcPatternGetInteger(pattern, object, 0, &i) == FcResultMatch) return i;
    return std::nullopt;
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// "Family [foundry]", as Qt names a family that several foundries make, split in two.
std::pair<std::string, std::string> SplitFoundry(const std::string& name) {
    const auto open = name.rfind(" [");
    if (open == std::string::npos || name.size() < open + 3 || name.back() != ']')
        return {name, {}};
    return {name.substr(0, open), name.substr(open + 2, name.size() - open - 3)};
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// A font file of the configuration and how the configuration describes it.
struct TFontFile {
    std::string path;
    int index = 0;
    std::string family;
    // The family as Qt names the face: the name a request gave when it names an installed
    // family (in its own letter case, "Family [foundry]" too), else the family itself.
    std::string name;
    std::string foundry;
    std::string style;
    bool bold = false;
    bool italic = false;
    bool fixedPitch = false;
};

// Read as Qt's font database reads a face: a weight past the middle of medium and demibold is
// bold, an italic slant or a style named so is italic, a spacing of mono or more fixed.
TFontFile FileOf(FcPattern* pattern) {
    TFontFile file;
    file.path = StringOf(pattern, FC_FILE);
    file.index = static_cast<int>(NumberOf(pattern, FC_INDEX).value_or(0));
    file.family = StringOf(pattern, FC_FAMILY);
    file.name = file.family;
    file.foundry = StringOf(pattern, FC_FOUNDRY);
    const std::string style = StringOf(pattern, FC_STYLE);
    file.style = style;
    file.bold = NumberOf(pattern, FC_WEIGHT).value_or(FC_WEIGHT_REGULAR) >
                (FC_WEIGHT_MEDIUM + FC_WEIGHT_DEMIBOLD) / 2;
    file.italic = NumberOf(pattern, FC_SLANT).value_or(FC_SLANT_ROMAN) == FC_SLANT_ITALIC ||
                  Contains(style, "Italic") || Contains(style, "Oblique");
    file.fixedPitch = NumberOf(pattern, FC_SPACING).value_or(FC_PROPORTIONAL) >= FC_MONO;
    return file;
}

struct TLibrary {
    FT_Library library = nullptr;
    TLibrary() {
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return;
        }
        // Qt turns CFF stem darkening on for its FreeType library; hinted CFF glyphs match.
        FT_Bool noDarkening = 0;
        FT_Property_Set(library, "cff", "no-stem-darkening", &noDarkening);
    }
    ~TLibrary() {
        if (library != nullptr) FT_Done_FreeType(library);
    }
    TLibrary(const TLibrary&) = delete;
    TLibrary& operator=(const TLibrary&) = delete;
};

// One opened face of a font file, shared by every size drawn from it.
struct TOpenFace {
    std::shared_ptr<TLibrary> library;
    FT_Face face = nullptr;
    ~TOpenFace() {
        if (face != nullptr) FT_Done_Face(face);
    }
};

// The sizes and metrics of a face at a pixel size and horizontal stretch, as Qt's FreeType
// engine derives them from FreeType's scaled size.
struct TSizedMetrics {
    FT_F26Dot6 xsize = 0;
    FT_F26Dot6 ysize = 0;
    FT_Fixed xScale = 0;
    double ascent = 0;
    double descent = 0;
    double averageWidth = 0;
    double capHeight = 0;
    double underlinePos = 0;
    double lineWidth = 0;
};

// A glyph's box as Qt's engine measures it: hinted lightly up to 64 pixels, as it draws small
// glyphs, outlines beyond; the height rounded out and the advance to whole pixels. For faces
// whose OS/2 table gives no cap height or average width. The face must be at its size.
struct TGlyphBox {
    double height = 0;
    double advance = 0;
};

TGlyphBox GlyphBox(FT_Face face, char32_t ch, FT_F26Dot6 xsize, FT_F26Dot6 ysize) {
    constexpr FT_F26Dot6 kLargestHinted = 64 << 6;
    FT_Int32 flags = FT_LOAD_DEFAULT | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH | FT_LOAD_NO_BITMAP;
    flags |= xsize > kLargestHinted || ysize > kLargestHinted ? FT_LOAD_NO_HINTING
                                                              : FT_LOAD_TARGET_LIGHT;
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, ch), flags) != 0) return {};
    const FT_Glyph_Metrics& g = face->glyph->metrics;
    const FT_Pos top = (g.horiBearingY + 63) & -64;
    const FT_Pos bottom = (g.horiBearingY - g.height) & -64;
    return {static_cast<double>((top - bottom) >> 6),
            static_cast<double>((face->glyph->advance.x + 32) >> 6)};
}

FT_ULong TableLength(FT_Face face, FT_ULong tag) {
    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) != 0) return 0;
    return length;
}

// Qt's 26.6 value of font units at a pixel size: the product cut to 26.6, divided rounding.
double UnitsAt(int units, double pixelSize, FT_UShort unitsPerEm) {
    const auto product = static_cast<FT_Long>(units * pixelSize * 64.0);
    return FromFixed(FixedDiv(product, FT_Long{unitsPerEm} * 64));
}

// Ascent and descent as Qt's font engines take them: FreeType's scaled size, overridden by
// the font's horizontal header and then by its OS/2 table (typographic values when the font
// asks for them, else the Windows ones), at the exact pixel size.
void HeightMetrics(FT_Face face, double pixelSize, TSizedMetrics& m) {
    const FT_Size_Metrics& size = face->size->metrics;
    m.ascent = FromFixed(size.ascender);
    m.descent = FromFixed(-size.descender);
    if (TableLength(face, FT_MAKE_TAG('E', 'B', 'L', 'C')) != 0 ||
        TableLength(face, FT_MAKE_TAG('C', 'B', 'L', 'C')) != 0 ||
        TableLength(face, FT_MAKE_TAG('b', 'd', 'a', 't')) != 0) {
        return;
    }
    const FT_UShort upm = face->units_per_EM;
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (hhea != nullptr && TableLength(face, FT_MAKE_TAG('h', 'h', 'e', 'a')) >= 10 &&
        (hhea->Ascender != 0 || hhea->Descender != 0)) {
        m.ascent = UnitsAt(hhea->Ascender, pixelSize, upm);
        m.descent = -UnitsAt(hhea->Descender, pixelSize, upm);
    }
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 == nullptr || TableLength(face, FT_MAKE_TAG('O', 'S', '/', '2')) < 78) return;
    constexpr FT_UShort kUseTypoMetrics = 0x80;
    if ((os2->fsSelection & kUseTypoMetrics) != 0) {
        if (os2->sTypoAscender == 0 && os2->sTypoDescender == 0) return;
        m.ascent = UnitsAt(os2->sTypoAscender, pixelSize, upm);
        m.descent = -UnitsAt(os2->sTypoDescender, pixelSize, upm);
    } else {
        if (os2->usWinAscent == 0 && os2->usWinDescent == 0) return;
        m.ascent = UnitsAt(os2->usWinAscent, pixelSize, upm);
        m.descent = UnitsAt(os2->usWinDescent, pixelSize, upm);
    }
}

TSizedMetrics SizeFace(FT_Face face, double pixelSize, int stretch) {
    TSizedMetrics m;
    m.ysize = static_cast<FT_F26Dot6>(std::lround(pixelSize * 64));
    m.xsize = m.ysize * stretch / 100;
    if (FT_Set_Char_Size(face, m.xsize, m.ysize, 0, 0) != 0) return m;
    const FT_Size_Metrics& size = face->size->metrics;
    m.xScale = size.x_scale;
    HeightMetrics(face, pixelSize, m);

    FT_Long thickness = FT_MulFix(face->underline_thickness, size.y_scale);
    const FT_Long centre = -FT_MulFix(face->underline_position, size.y_scale);
    FT_Long underline = centre - thickness / 2;
    if (thickness < 64) thickness = 64;
    m.lineWidth = FromFixed(thickness);
    m.underlinePos = FromFixed(underline);

    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->xAvgCharWidth != 0) {
        m.averageWidth = FromFixed(FixedDiv(FT_Long{os2->xAvgCharWidth} * size.x_ppem * 64,
                                            FT_Long{face->units_per_EM} * 64));
    } else {
        m.averageWidth = GlyphBox(face, 'x', m.xsize, m.ysize).advance;
    }
    if (os2 != nullptr && os2->version >= 2) {
        m.capHeight = FromFixed(FT_MulFix(os2->sCapHeight, size.y_scale));
    } else {
        m.capHeight = GlyphBox(face, 'H', m.xsize, m.ysize).height;
    }
    return m;
}

// The extremes of a cubic curve along one axis, added to [lo, hi].
void CurveExtent(double p0, double p1, double p2, double p3, double& lo, double& hi) {
    auto at = [&](double t) {
        const double u = 1 - t;
        return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
    };
    auto take = [&](double t) {
        if (t <= 0 || t >= 1) return;
        const double v = at(t);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    // The derivative's roots: a t^2 + b t + c = 0.
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    if (std::abs(a) < 1e-12) {
        if (std::abs(b) > 1e-12) take(-c / b);
        return;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0) return;
    const double root = std::sqrt(disc);
    take((-b + root) / (2 * a));
    take((-b - root) / (2 * a));
}

void Bound(TGlyphOutline& outline) {
    if (outline.elements.empty()) return;
    double left = outline.elements[0].x[0], right = left;
    double top = outline.elements[0].y[0], bottom = top;
    double lastX = left, lastY = top;
    for (const TOutlineElement& e : outline.elements) {
        const int end = e.op == 'c' ? 2 : 0;
        left = std::min(left, e.x[end]);
        right = std::max(right, e.x[end]);
        top = std::min(top, e.y[end]);
        bottom = std::max(bottom, e.y[end]);
        if (e.op == 'c') {
            CurveExtent(lastX, e.x[0], e.x[1], e.x[2], left, right);
            CurveExtent(lastY, e.y[0], e.y[1], e.y[2], top, bottom);
        }
        lastX = e.x[end];
        lastY = e.y[end];
    }
    outline.left = left;
    outline.top = top;
    outline.right = right;
    outline.bottom = bottom;
}

// Collects FreeType's outline as elements in pixels, y downward, quadratic curves made cubic.
struct TDecomposer {
    TGlyphOutline outline;
    double lastX = 0, lastY = 0;

    static double X(const FT_Vector* v) { return FromFixed(v->x); }
    static double Y(const FT_Vector* v) { return -FromFixed(v->y); }

    void Add(char op, std::initializer_list<std::pair<double, double>> points) {
        TOutlineElement e;
        e.op = op;
        int i = 0;
        for (const auto& [x, y] : points) {
            e.x[i] = x;
            e.y[i] = y;
            ++i;
        }
        lastX = e.x[i - 1];
        lastY = e.y[i - 1];
        outline.elements.push_back(e);
    }

    static int MoveTo(const FT_Vector* to, void* user) {
        static_cast<TDecomposer*>(user)->Add('m', {{X(to), Y(to)}});
        return 0;
    }
    static int LineTo(const FT_Vector* to, void* user) {
        static_cast<TDecomposer*>(user)->Add('l', {{X(to), Y(to)}});
        return 0;
    }
    static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        auto* self = static_cast<TDecomposer*>(user);
        const double cx = X(control), cy = Y(control), x = X(to), y = Y(to);
        self->Add('c', {{self->lastX + 2.0 / 3.0 * (cx - self->lastX),
                         self->lastY + 2.0 / 3.0 * (cy - self->lastY)},
                        {x + 2.0 / 3.0 * (cx - x), y + 2.0 / 3.0 * (cy - y)},
                        {x, y}});
        return 0;
    }
    static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        static_cast<TDecomposer*>(user)->Add('c', {{X(c1), Y(c1)}, {X(c2), Y(c2)}, {X(to), Y(to)}});
        return 0;
    }
};

// A face at a pixel size, stretched horizontally as drawn.
class TFtFace final : public IFontFace {
  public:
    TFtFace(std::shared_ptr<TOpenFace> open, TFontFile file, double pixelSize, int stretch,
            bool oblique)
        : open_(std::move(open)),
          file_(std::move(file)),
          pixelSize_(pixelSize),
          stretch_(stretch),
          oblique_(oblique),
          metrics_(SizeFace(open_->face, pixelSize, stretch)) {
        if (open_->face->style_name != nullptr) style_ = open_->face->style_name;
    }

    const TFontFile& File() const { return file_; }
    int Stretch() const { return stretch_; }
    bool Oblique() const { return oblique_; }
    bool Usable() const { return metrics_.xScale != 0; }

    std::string Family() const override { return file_.name; }
    std::string Style() const override { return style_; }
    double PixelSize() const override { return pixelSize_; }
    std::shared_ptr<const IFontFace> Resized(double pixelSize) const override {
        return std::make_shared<TFtFace>(open_, file_, pixelSize, stretch_, oblique_);
    }

    std::uint32_t Glyph(char32_t ch) const override {
        FT_UInt glyph = FT_Get_Char_Index(open_->face, ch);
        // A no-break space or tab the face lacks is drawn as a space, as Qt draws it.
        if (glyph == 0 && (ch == 0xA0 || ch == 0x09)) glyph = FT_Get_Char_Index(open_->face, ' ');
        return glyph;
    }

    double Advance(std::uint32_t glyph) const override {
        FT_Fixed units = 0;
        if (!Usable() || FT_Get_Advance(open_->face, glyph, FT_LOAD_NO_SCALE, &units) != 0) {
            return 0;
        }
        // FreeType's linear advance (16.16) cut to 26.6, as Qt's design metrics take it.
        const FT_Long linear = FT_MulDiv(units, metrics_.xScale, 64);
        return FromFixed(linear >> 10);
    }

    double AverageCharWidth() const override { return metrics_.averageWidth; }
    double Ascent() const override { return metrics_.ascent; }
    double Descent() const override { return metrics_.descent; }
    double CapHeight() const override { return metrics_.capHeight; }
    double UnderlinePos() const { return metrics_.underlinePos; }
    double LineWidth() const { return metrics_.lineWidth; }

    TGlyphOutline Outline(std::uint32_t glyph) const override {
        TDecomposer out;
        FT_Face face = open_->face;
        if (!Usable() ||
            FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) !=
                0 ||
            face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
            return {};
        }
        FT_Outline& outline = face->glyph->outline;
        // Font units as 26.6 of the em, slanted when the italic is made, then scaled to the size
        // with FreeType's rounding, as Qt scales an outline.
        for (int i = 0; i < outline.n_points; ++i) {
            outline.points[i].x *= 64;
            outline.points[i].y *= 64;
        }
        if (oblique_) {
            FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
            FT_Outline_Transform(&outline, &shear);
        }
        const FT_Fixed xScale = FT_MulDiv(metrics_.xsize, 1 << 10, face->units_per_EM);
        const FT_Fixed yScale = FT_MulDiv(metrics_.ysize, 1 << 10, face->units_per_EM);
        for (int i = 0; i < outline.n_points; ++i) {
            outline.points[i].x = FT_MulFix(outline.points[i].x, xScale);
            outline.points[i].y = FT_MulFix(outline.points[i].y, yScale);
        }
        FT_Outline_Funcs funcs{};
        funcs.move_to = &TDecomposer::MoveTo;
        funcs.line_to = &TDecomposer::LineTo;
        funcs.conic_to = &TDecomposer::ConicTo;
        funcs.cubic_to = &TDecomposer::CubicTo;
        if (FT_Outline_Decompose(&outline, &funcs, &out) != 0) return {};
        Bound(out.outline);
        return std::move(out.outline);
    }

    std::string Table(std::string_view tag) const override {
        if (tag.size() != 4) return {};
        const FT_ULong name = FT_MAKE_TAG(tag[0], tag[1], tag[2], tag[3]);
        FT_ULong length = 0;
        if (FT_Load_Sfnt_Table(open_->face, name, 0, nullptr, &length) != 0 || length == 0) {
            return {};
        }
        std::string data(length, '\0');
        if (FT_Load_Sfnt_Table(open_->face, name, 0, reinterpret_cast<FT_Byte*>(data.data()),
                               &length) != 0) {
            return {};
        }
        return data;
    }

    bool Bold() const override { return file_.bold; }
    bool Italic() const override { return file_.italic; }
    bool FixedPitch() const override { return file_.fixedPitch; }

  private:
    std::shared_ptr<TOpenFace> open_;
    TFontFile file_;
    std::string style_;
    double pixelSize_;
    int stretch_;
    bool oblique_;
    TSizedMetrics metrics_;
};

// What a cell's font asks of the font configuration.
struct TRequest {
    std::string family;
    int weight = 400;  // the OpenType scale, 1..1000
    bool italic = false;
    auto operator<=>(const TRequest&) const = default;
};

}  // namespace

struct TFtFontSource::TImpl : std::enable_shared_from_this<TImpl> {
    std::shared_ptr<TLibrary> library = std::make_shared<TLibrary>();
    std::map<std::pair<std::string, int>, std::shared_ptr<TOpenFace>> opened;
    std::map<TRequest, std::optional<TFontFile>> matches;
    std::map<TRequest, TFcFontSet> sorted;
    std::map<std::pair<std::string, std::string>, std::optional<TFontFile>> named;
    std::map<TFontKind, std::string> kinds;
    std::map<std::string, std::pair<std::string, bool>> generics;
    std::map<std::string, std::vector<TFontFile>> listings;

    TImpl() { FcInit(); }

    static TFcPattern Pattern(const TRequest& request, const std::string& foundry = {}) {
        TFcPattern pattern(FcPatternCreate());
        if (!request.family.empty()) {
            FcPatternAddString(pattern.get(), FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(request.family.c_str()));
        }
        if (!foundry.empty()) {
            FcPatternAddString(pattern.get(), FC_FOUNDRY,
                               reinterpret_cast<const FcChar8*>(foundry.c_str()));
        }
        FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(request.weight));
        FcPatternAddInteger(pattern.get(), FC_SLANT,
                            request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
        FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        return pattern;
    }

    static std::optional<TFontFile> MatchPattern(FcPattern* pattern) {
        FcResult result = FcResultNoMatch;
        TFcPattern match(FcFontMatch(nullptr, pattern, &result));
        if (match.get() == nullptr) return std::nullopt;
        TFontFile file = FileOf(match.get());
        if (file.path.empty()) return std::nullopt;
        return file;
    }

    // The faces of a family in the order Qt's font database registers them: the order of a
    // font listing with the properties Qt lists, which a listing of one family keeps.
    const std::vector<TFontFile>& Listing(const std::string& family) {
        const auto found = listings.find(family);
        if (found != listings.end()) return found->second;
        std::vector<TFontFile> files;
        TFcPattern pattern(FcPatternCreate());
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(family.c_str()));
        FcObjectSet* objects =
            FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, FC_SPACING, FC_FILE,
                             FC_INDEX, FC_LANG, FC_CHARSET, FC_FOUNDRY, FC_SCALABLE, FC_PIXEL_SIZE,
                             FC_WIDTH, FC_FAMILYLANG, FC_CAPABILITY, nullptr);
        FcFontSet* set = FcFontList(nullptr, pattern.get(), objects);
        FcObjectSetDestroy(objects);
        if (set != nullptr) {
            for (int i = 0; i < set->nfont; ++i) {
                TFontFile file = FileOf(set->fonts[i]);
                if (SameText(file.family, family)) files.push_back(std::move(file));
            }
            FcFontSetDestroy(set);
        }
        return listings.emplace(family, std::move(files)).first->second;
    }

    // The foundry Qt's font database takes for a family several foundries make: the first it
    // registered. Empty for a family of one foundry.
    std::string PreferredFoundry(const std::string& family) {
        std::vector<std::string> names;
        for (const TFontFile& file : Listing(family)) {
            if (std::none_of(names.begin(), names.end(),
                             [&](const std::string& n) { return SameText(n, file.foundry); })) {
                names.push_back(file.foundry);
            }
        }
        return names.size() > 1 ? names.front() : std::string();
    }

    // Of several files of one face (the same family, foundry and style), Qt keeps the one it
    // registered last.
    TFontFile AsQtRegistered(TFontFile file) {
        const auto& listing = Listing(file.family);
        for (auto it = listing.rbegin(); it != listing.rend(); ++it) {
            if (SameText(it->foundry, file.foundry) && it->style == file.style) {
                file.path = it->path;
                file.index = it->index;
                break;
            }
        }
        return file;
    }

    // A family's name as Qt's font database gives it.
    std::string QtFamilyName(const std::string& family) {
        const std::string foundry = PreferredFoundry(family);
        return foundry.empty() ? family : family + " [" + foundry + "]";
    }

    std::optional<TFontFile> MatchRequest(TRequest request) {
        const std::string asked = request.family;
        auto [family, foundry] = SplitFoundry(request.family);
        request.family = family;
        const TFcPattern pattern = Pattern(request, foundry);
        std::optional<TFontFile> file = MatchPattern(pattern.get());
        if (!file) return file;
        // Of a family several foundries make, the face of the foundry Qt takes.
        const std::string preferred = foundry.empty() ? PreferredFoundry(file->family) : "";
        if (!preferred.empty() && !SameText(preferred, file->foundry)) {
            request.family = file->family;
            const TFcPattern again = Pattern(request, preferred);
            std::optional<TFontFile> other = MatchPattern(again.get());
            if (other && other->family == file->family) file = std::move(other);
        }
        TFontFile chosen = AsQtRegistered(std::move(*file));
        if (!family.empty() && !Listing(family).empty()) chosen.name = asked;
        return chosen;
    }

    const std::optional<TFontFile>& Match(const TRequest& request) {
        const auto found = matches.find(request);
        if (found != matches.end()) return found->second;
        return matches.emplace(request, MatchRequest(request)).first->second;
    }

    // The face Qt's font database names so: of the family's foundry Qt takes (or the one
    // named), the file of that style it registered last.
    std::optional<TFontFile> Named(const std::string& name, const std::string& style) {
        const auto [family, named] = SplitFoundry(name);
        const std::string foundry = named.empty() ? PreferredFoundry(family) : named;
        const auto& listing = Listing(family);
        const TFontFile* chosen = nullptr;
        bool chosenFits = false;
        for (const TFontFile& file : listing) {
            if (file.style != style) continue;
            const bool fits = foundry.empty() || SameText(file.foundry, foundry);
            if (fits || !chosenFits) {
                chosen = &file;
                chosenFits = fits;
            }
        }
        if (chosen == nullptr) return std::nullopt;
        TFontFile file = *chosen;
        file.name = name;
        return file;
    }

    // The configuration's fonts in the order they suit the request, with their characters.
    const FcFontSet* Sorted(const TRequest& request) {
        const auto found = sorted.find(request);
        if (found != sorted.end()) return found->second.get();
        TRequest plain = request;
        plain.family = SplitFoundry(request.family).first;
        const TFcPattern pattern = Pattern(plain);
        FcResult result = FcResultNoMatch;
        TFcFontSet set(FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
        return sorted.emplace(request, std::move(set)).first->second.get();
    }

    std::shared_ptr<TOpenFace> Open(const TFontFile& file) {
        const auto key = std::make_pair(file.path, file.index);
        const auto found = opened.find(key);
        if (found != opened.end()) return found->second;
        std::shared_ptr<TOpenFace> open;
        FT_Face face = nullptr;
        if (library->library != nullptr &&
            FT_New_Face(library->library, file.path.c_str(), file.index, &face) == 0) {
            open = std::make_shared<TOpenFace>();
            open->library = library;
            open->face = face;
            if (!FT_IS_SCALABLE(face)) open.reset();
        }
        opened.emplace(key, open);
        return open;
    }

    std::shared_ptr<TFtFace> Face(const TFontFile& file, double pixelSize, int stretch,
                                  bool wantItalic) {
        auto open = Open(file);
        if (!open) return nullptr;
        const bool oblique = wantItalic && (open->face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
        auto face = std::make_shared<TFtFace>(std::move(open), file, pixelSize, stretch, oblique);
        if (!face->Usable()) return nullptr;
        return face;
    }

    // The family and spacing the configuration gives for a generic family name.
    const std::pair<std::string, bool>& Generic(const std::string& name) {
        const auto found = generics.find(name);
        if (found != generics.end()) return found->second;
        TFcPattern pattern(FcPatternCreate());
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(name.c_str()));
        FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        const std::optional<TFontFile> file = MatchPattern(pattern.get());
        std::pair<std::string, bool> answer;
        if (file) answer = {QtFamilyName(file->family), file->fixedPitch};
        return generics.emplace(name, answer).first->second;
    }

    std::string Lookup(TFontKind kind) {
        const std::string sans = Generic("sans-serif").first;
        if (sans.empty()) return {};
        switch (kind) {
            case TFontKind::kSans:
                return sans;
            case TFontKind::kMono: {
                const auto& mono = Generic("monospace");
                return mono.second ? mono.first : std::string();
            }
            case TFontKind::kSerif: {
                const std::string serif = Generic("serif").first;
                return serif != sans ? serif : std::string();
            }
            case TFontKind::kScript: {
                const std::string script = Generic("cursive").first;
                const std::string serif = Generic("serif").first;
                if (script != sans && script != serif) return script;
                return Lookup(TFontKind::kSerif);
            }
        }
        return {};
    }
};

namespace {

class TFtCellFont final : public ICellFont {
  public:
    TFtCellFont(std::shared_ptr<TFtFontSource::TImpl> impl, TRequest request,
                std::shared_ptr<TFtFace> drawn)
        : impl_(std::move(impl)), request_(std::move(request)), drawn_(std::move(drawn)) {}

    std::shared_ptr<const IFontFace> Drawn() const override { return drawn_; }

    std::shared_ptr<const IFontFace> InFamily(const std::string& family) const override {
        TRequest request = request_;
        request.family = family;
        const std::optional<TFontFile>& file = impl_->Match(request);
        if (!file) return nullptr;
        return impl_->Face(*file, pixelSize, stretch, request.italic);
    }

    std::shared_ptr<const IFontFace> WithCharacter(char32_t ch) const override {
        if (drawn_->Glyph(ch) != 0) return drawn_;
        const FcFontSet* set = impl_->Sorted(request_);
        for (int i = 0; set != nullptr && i < set->nfont; ++i) {
            FcCharSet* chars = nullptr;
            if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch ||
                !FcCharSetHasChar(chars, ch)) {
                continue;
            }
            const TFontFile file = FileOf(set->fonts[i]);
            if (file.path == drawn_->File().path && file.index == drawn_->File().index) continue;
            auto face = impl_->Face(file, pixelSize, stretch, request_.italic);
            if (face && face->Glyph(ch) != 0) return face;
        }
        return nullptr;
    }

  private:
    std::shared_ptr<TFtFontSource::TImpl> impl_;
    TRequest request_;
    std::shared_ptr<TFtFace> drawn_;
};

}  // namespace

TFtFontSource::TFtFontSource() : impl_(std::make_shared<TImpl>()) {}
TFtFontSource::~TFtFontSource() = default;

std::unique_ptr<ICellFont> TFtFontSource::ForCell(const TFontDesc& desc) {
    if (desc.height <= 0) {
        throw PrinterError("The font \"" + desc.faceName + "\" asks for a character cell " +
                           std::to_string(desc.height) + " pixels high.");
    }
    TRequest request;
    request.family = desc.faceName;
    request.weight = desc.weight >= 1 && desc.weight <= 1000 ? desc.weight : 400;
    request.italic = desc.italic;
    const std::optional<TFontFile>& file = impl_->Match(request);
    if (!file) {
        throw PrinterError(
            "No fonts are installed: the text cannot be drawn (install a font "
            "package such as fonts-liberation).");
    }
    auto measure = [&](int stretch) {
        return impl_->Face(*file, kReferencePixels, stretch, request.italic);
    };

    // Without a width: the natural width, or that stretched as asked.
    int stretch = desc.width <= 0 && desc.stretch > 0
                      ? static_cast<int>(std::lround(std::clamp(desc.stretch * 100, 1.0, 4000.0)))
                      : 100;
    std::shared_ptr<TFtFace> m = measure(stretch);
    if (!m) throw PrinterError("No font can draw \"" + desc.faceName + "\".");
    for (int round = 0; round < kMaxMeasureRounds && desc.width > 0; ++round) {
        const double scale = desc.height / (m->Ascent() + m->Descent());
        const double width = m->AverageCharWidth() * scale;
        if (width <= 0) break;
        const int next = static_cast<int>(std::lround(
            std::clamp(stretch * static_cast<double>(desc.width) / width, 1.0, 4000.0)));
        if (next == stretch) break;
        stretch = next;
        m = measure(stretch);
        if (!m) throw PrinterError("No font can draw \"" + desc.faceName + "\".");
    }
    if (m->Ascent() + m->Descent() <= 0) {
        throw PrinterError("The font \"" + desc.faceName + "\" has no usable metrics.");
    }

    const double scale = desc.height / (m->Ascent() + m->Descent());
    const double pixelSize = kReferencePixels * scale;
    if (pixelSize >= kMaxPixelSize) {
        throw PrinterError("The font \"" + desc.faceName + "\" cannot be drawn in a cell " +
                           std::to_string(desc.height) + " pixels high.");
    }
    auto drawn = impl_->Face(*file, pixelSize, stretch, request.italic);
    if (!drawn) throw PrinterError("No font can draw \"" + desc.faceName + "\".");
    auto cell = std::make_unique<TFtCellFont>(impl_, request, std::move(drawn));
    cell->pixelSize = pixelSize;
    cell->ascent = m->Ascent() * scale;
    cell->advance = desc.width > 0     ? desc.width
                    : desc.advance > 0 ? desc.advance
                                       : m->AverageCharWidth() * scale;
    cell->underlinePos = m->UnderlinePos() * scale;
    cell->strikeOutPos = m->Ascent() / 3.0 * scale;
    cell->lineWidth = std::max(m->LineWidth() * scale, 1.0);
    cell->stretch = stretch;
    return cell;
}

std::shared_ptr<const IFontFace> TFtFontSource::ByName(const std::string& family,
                                                       const std::string& style, double pixelSize) {
    const auto key = std::make_pair(family, style);
    auto found = impl_->named.find(key);
    if (found == impl_->named.end()) {
        found = impl_->named.emplace(key, impl_->Named(family, style)).first;
    }
    if (!found->second) return nullptr;
    auto face = impl_->Face(*found->second, pixelSize, 100, false);
    if (!face || face->Style() != style) return nullptr;
    return face;
}

std::string TFtFontSource::FamilyOf(TFontKind kind) {
    const auto found = impl_->kinds.find(kind);
    if (found != impl_->kinds.end()) return found->second;
    return impl_->kinds.emplace(kind, impl_->Lookup(kind)).first->second;
}

}  // namespace quernel
