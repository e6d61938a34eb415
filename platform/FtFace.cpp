#include "platform/FtFace.h"

#include FT_ADVANCES_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace quernel {

namespace {

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

}  // namespace

TFtLibrary::TFtLibrary() {
    if (FT_Init_FreeType(&library) != 0) {
        library = nullptr;
        return;
    }
    // Qt turns CFF stem darkening on for its FreeType library; hinted CFF glyphs match.
    FT_Bool noDarkening = 0;
    FT_Property_Set(library, "cff", "no-stem-darkening", &noDarkening);
}

TFtLibrary::~TFtLibrary() {
    if (library != nullptr) FT_Done_FreeType(library);
}

TOpenFace::~TOpenFace() {
    if (face != nullptr) FT_Done_Face(face);
}

TFtFace::TFtFace(std::shared_ptr<TOpenFace> open, TFontFile file, double pixelSize, int stretch,
                 TSynthesis asked)
    : open_(std::move(open)),
      file_(std::move(file)),
      pixelSize_(pixelSize),
      stretch_(stretch),
      asked_(asked),
      metrics_(SizeFace(open_->face, pixelSize, stretch)) {
    FT_Face face = open_->face;
    if (face->style_name != nullptr) style_ = face->style_name;
    oblique_ = asked.italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    // Qt thickens only below 64 pixels, never a fixed-pitch face or one without an OS/2 table.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    embolden_ = asked.bold && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0 &&
                !FT_IS_FIXED_WIDTH(face) && os2 != nullptr && os2->usWeightClass < 700 &&
                pixelSize < 64;
}

std::shared_ptr<const IFontFace> TFtFace::Resized(double pixelSize) const {
    return std::make_shared<TFtFace>(open_, file_, pixelSize, stretch_, asked_);
}

std::uint32_t TFtFace::Glyph(char32_t ch) const {
    FT_UInt glyph = FT_Get_Char_Index(open_->face, ch);
    // A no-break space or tab the face lacks is drawn as a space, as Qt draws it.
    if (glyph == 0 && (ch == 0xA0 || ch == 0x09)) glyph = FT_Get_Char_Index(open_->face, ' ');
    return glyph;
}

double TFtFace::Advance(std::uint32_t glyph) const {
    FT_Fixed units = 0;
    if (!Usable() || FT_Get_Advance(open_->face, glyph, FT_LOAD_NO_SCALE, &units) != 0) {
        return 0;
    }
    // FreeType's linear advance (16.16) cut to 26.6, as Qt's design metrics take it.
    const FT_Long linear = FT_MulDiv(units, metrics_.xScale, 64);
    return FromFixed(linear >> 10);
}

TGlyphOutline TFtFace::Outline(std::uint32_t glyph) const {
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
    if (embolden_) {
        // FreeType's own strength for the em (a 24th), as Qt thickens the em-sized outline.
        const FT_Pos strength = FT_Pos{face->units_per_EM} * 64 / 24;
        FT_Outline_EmboldenXY(&outline, strength, strength);
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

std::string TFtFace::Table(std::string_view tag) const {
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

}  // namespace quernel
