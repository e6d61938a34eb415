// The fonts of a PDF document: which face draws each character, the one-byte codes of the
// glyphs used, and the embedded subsets (TrueType) or outlines (Type 3) written at the end.

#include <algorithm>
#include <numbers>

#include "engine/CharMap.h"
#include "engine/CodePages.h"
#include "platform/PdfDocumentImpl.h"
#include "platform/TrueTypeSubset.h"

namespace quernel {

using namespace pdf;

namespace {

// The shear and stroke with which FreeType (under Qt) slants and emboldens a face that has no
// italic or bold of its own.
constexpr double kSyntheticSlant = 0.2126;
constexpr double kSyntheticBoldStroke = 1.0 / 24;  // of the font size
constexpr double kOutlineStroke = 1.0 / 50;        // of the font size
// Characters the chosen font lacks come from these, then from the font system's fallback.
constexpr const char* kFallbackFamilies[] = {"DejaVu Sans Mono", "DejaVu Sans"};
constexpr std::size_t kMaxEntries = 256;
constexpr int kBoldWeight = 700;
constexpr std::size_t kCMapChunk = 100;

bool IsBlank(char32_t ch) {
    return ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0);
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

std::uint16_t Read16(const std::string& d, std::size_t at) {
    return static_cast<std::uint16_t>((static_cast<unsigned char>(d[at]) << 8) |
                                      static_cast<unsigned char>(d[at + 1]));
}

// A glyph's design advance, ems.
double DesignAdvance(const IFontFace& font, std::uint32_t glyph) {
    return font.Advance(glyph) / font.PixelSize();
}

// A glyph's width in the face's font resources, glyph units: its own in proportional text,
// else the cell's.
double GlyphWidth(const IFontFace& raw, bool proportional, double cell, std::uint32_t glyph) {
    if (!proportional) return cell;
    const double own = DesignAdvance(raw, glyph) * kGlyphUnits;
    return own > 0 ? Round(own, 2) : cell;
}

// A PDF name made of the letters, digits and hyphens of `text`.
std::string NameOf(const std::string& text) {
    std::string out;
    for (const char u : text) {
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
            u == '-') {
            out += u;
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
std::string GlyphProcedure(const TGlyphOutline& outline, double width) {
    std::string out;
    AppendNumbers(out, {width, 0}, 2);
    out += "d0\n";
    for (const TOutlineElement& e : outline.elements) {
        if (e.op == 'c') {
            AppendNumbers(out, {e.x[0], -e.y[0], e.x[1], -e.y[1], e.x[2], -e.y[2]}, 1);
            out += "c\n";
        } else {
            AppendNumbers(out, {e.x[0], -e.y[0]}, 1);
            out += e.op == 'm' ? "m\n" : "l\n";
        }
    }
    if (!outline.elements.empty()) out += "f\n";
    return out;
}

// The union of glyph boxes, empty ones left out.
struct TBox {
    bool empty = true;
    double left = 0, top = 0, right = 0, bottom = 0;
    void Add(const TGlyphOutline& o) {
        if (o.right - o.left == 0 && o.bottom - o.top == 0) return;
        if (empty) {
            *this = {false, o.left, o.top, o.right, o.bottom};
            return;
        }
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
    }
};

}  // namespace

// ---------------------------------------------------------------- fonts

TPdfDocument::TImpl::TEntry& TPdfDocument::TImpl::EntryFor(const TFontDesc& desc) {
    for (const auto& e : entries) {
        if (SameFont(e->desc, desc)) return *(lastEntry = e.get());
    }

    auto entry = std::make_unique<TEntry>();
    entry->desc = desc;
    entry->cell = fontSource.ForCell(desc);
    entry->drawn = entry->cell->Drawn();
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
    const double advance = entry->cell->advance;
    // Proportional letters are placed one by one, never by the cell.
    if (turn % 900 == 0 && advance == std::floor(advance) && advance < 1e6 && desc.pitch != 1) {
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

int TPdfDocument::TImpl::FaceFor(const IFontFace& drawn, int stretch, bool proportional) {
    const std::string family = drawn.Family();
    const std::string style = drawn.Style();
    std::string key = family + '\n' + style;
    if (proportional) key += "\nproportional";
    // Looking the face up by name below costs more than the rest of resolving a character, and
    // its answer depends on nothing else: it is done once per family, style and stretch.
    const std::string drawnKey = key + "\n" + std::to_string(stretch);
    if (const auto found = faceOfDrawn.find(drawnKey); found != faceOfDrawn.end()) {
        return found->second;
    }
    const int index = FaceByName(drawn, family, style, std::move(key), stretch, proportional);
    faceOfDrawn.emplace(drawnKey, index);
    return index;
}

int TPdfDocument::TImpl::FaceByName(const IFontFace& drawn, const std::string& family,
                                    const std::string& style, std::string key, int stretch,
                                    bool proportional) {
    // The same face without stretching: its outlines and metrics are the font resource's; the
    // stretch becomes the horizontal scaling of each text object.
    std::shared_ptr<const IFontFace> raw = fontSource.ByName(family, style, kGlyphUnits);
    if (!raw) {
        // The face is not found by name: use it as drawn, stretch included.
        raw = drawn.Resized(kGlyphUnits);
        key += "\n" + std::to_string(stretch);
    }
    if (const auto found = faceIndex.find(key); found != faceIndex.end()) return found->second;

    TFace face;
    face.trueType = HasTrueTypeOutlines([&](std::string_view tag) { return raw->Table(tag); });
    face.name = NameOf(family) +
                (style.empty() || style == "Regular" ? std::string() : "-" + NameOf(style));
    const double average = raw->AverageCharWidth();
    face.width = average > 0 ? Round(average, 2) : kGlyphUnits / 2;
    face.bold = raw->Bold();
    face.italic = raw->Italic();
    face.fixedPitch = raw->FixedPitch();
    face.unit = std::move(raw);
    face.proportional = proportional;
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

int TPdfDocument::TImpl::StyleFor(TEntry& entry, int faceIndex, int font, const IFontFace& drawn,
                                  std::uint32_t glyph) {
    const TFace& face = faces[static_cast<std::size_t>(faceIndex)];
    // The horizontal scaling of the face as drawn: its stretched advance over its own.
    double scale = 0;
    for (std::uint32_t g : {glyph, face.unit->Glyph(U'M'), face.unit->Glyph(U'0')}) {
        const double own = DesignAdvance(*face.unit, g);
        if (g != 0 && own > 0) {
            scale = DesignAdvance(drawn, g) / own;
            break;
        }
    }
    if (!(scale > 0)) scale = 1;

    TTextStyle style;
    style.font = font;
    style.size = Round(entry.cell->pixelSize, 3);
    style.scale = Round(scale, 4);
    // Glyphs step the renderer's exact advance when it is known, otherwise the cell width.
    style.exact = entry.desc.advance > 0;
    const double advance = style.exact ? entry.desc.advance : entry.cell->advance;
    style.proportional = face.proportional;
    style.spacing =
        face.proportional ? 0 : Round(advance / style.scale - face.width * style.size / 1000, 4);
    style.slant = entry.desc.italic && !face.italic ? kSyntheticSlant : 0;
    style.stroke = entry.desc.weight >= kBoldWeight && !face.bold
                       ? Round(style.size * kSyntheticBoldStroke, 2)
                       : 0;
    style.outline = entry.desc.outline;
    if (style.outline) style.stroke = Round(style.size * kOutlineStroke, 2);
    style.dirX = entry.dirX;
    style.dirY = entry.dirY;
    style.step = (face.width * style.size / 1000 + style.spacing) * style.scale;
    style.unit = style.size * style.scale / 1000;
    style.slack = style.exact ? kWithinPixel : style.unit / 2;
    style.perStep = 1 / style.step;
    // Blanks of proportional text are position adjustments: a space glyph has its own width.
    if (const std::uint32_t space = face.unit->Glyph(U' '); space != 0 && !face.proportional) {
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
    const int stretch = entry.cell->stretch;
    std::shared_ptr<const IFontFace> drawn = entry.drawn;
    std::uint32_t glyph = drawn->Glyph(ch);
    for (std::size_t i = 0; glyph == 0 && i < std::size(kFallbackFamilies); ++i) {
        const auto fallback = entry.cell->InFamily(kFallbackFamilies[i]);
        if (!fallback) continue;
        if (const std::uint32_t g = fallback->Glyph(ch); g != 0) {
            drawn = fallback;
            glyph = g;
        }
    }
    if (auto found = glyph == 0 ? entry.cell->WithCharacter(ch) : nullptr) {
        if (const std::uint32_t g = found->Glyph(ch); g != 0) {
            glyph = g;
            drawn = std::move(found);
        }
    }
    // No font has it: the chosen font's missing-glyph box, which shows no character.
    const int face = FaceFor(*drawn, stretch, entry.desc.pitch == 1);
    const auto [font, code] = UseGlyph(face, glyph, glyph != 0 ? ch : 0);
    cell.code = code;
    cell.style = static_cast<std::int16_t>(StyleFor(entry, face, font, *drawn, glyph));
    const TTextStyle& style = entry.styles[static_cast<std::size_t>(cell.style)];
    if (style.proportional) {
        const double own = DesignAdvance(*faces[static_cast<std::size_t>(face)].unit, glyph);
        cell.step = static_cast<float>(own > 0 ? own * style.size * style.scale : style.step);
    }
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
    const TFontTables tables = [&](std::string_view table) { return face.unit->Table(table); };
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
    AppendPdfNumber(descriptor, face.unit->Ascent(), 0);
    descriptor += "/Descent ";
    AppendPdfNumber(descriptor, -face.unit->Descent(), 0);
    descriptor += "/CapHeight ";
    AppendPdfNumber(descriptor, face.unit->CapHeight(), 0);
    descriptor += "/StemV 80/FontFile2 " + std::to_string(file) + " 0 R>>";
    const int descriptorObject = writer.Reserve();
    writer.WriteObject(descriptorObject, descriptor);

    // Widths by glyph (CID = glyph index): every glyph is laid out one cell on; ranges of
    // consecutive glyphs share it.
    std::string widths = "[";
    for (std::size_t i = 0; i < glyphs.size();) {
        std::size_t last = i;
        while (last + 1 < glyphs.size() && glyphs[last + 1] == glyphs[last] + 1 &&
               !face.proportional) {
            ++last;
        }
        AppendNumbers(widths,
                      {static_cast<double>(glyphs[i]), static_cast<double>(glyphs[last]),
                       GlyphWidth(*face.unit, face.proportional, face.width, glyphs[i])},
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
    TBox box;
    const unsigned firstCode = font.used.begin()->first;
    const unsigned lastCode = font.used.rbegin()->first;
    unsigned expected = 256;  // the code a name in Differences stands for without a number
    for (const auto& [code, use] : font.used) {
        const TGlyphOutline outline = face.unit->Outline(use.glyph);
        box.Add(outline);
        const int object = writer.Reserve();
        writer.WriteStream(object, "",
                           GlyphProcedure(outline, GlyphWidth(*face.unit, face.proportional,
                                                              face.width, use.glyph)),
                           kResourceLevel);
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
        const auto use = font.used.find(code);
        AppendNumbers(widths,
                      {use != font.used.end() ? GlyphWidth(*face.unit, face.proportional,
                                                           face.width, use->second.glyph)
                                              : 0},
                      2);
    }
    procs += ">>";
    differences += "]";
    widths += "]";
    const int toUnicode = WriteToUnicode(font);
    std::string dictionary = "<</Type/Font/Subtype/Type3/FontBBox[";
    AppendNumbers(dictionary, {std::floor(box.left), std::floor(-box.bottom), std::ceil(box.right)},
                  0);
    AppendPdfNumber(dictionary, std::ceil(-box.top), 0);
    dictionary += "]/FontMatrix[0.001 0 0 0.001 0 0]/CharProcs" + procs +
                  "/Encoding<</Type/Encoding/Differences" + differences + ">>/FirstChar " +
                  std::to_string(firstCode) + "/LastChar " + std::to_string(lastCode) + "/Widths" +
                  widths + "/ToUnicode " + std::to_string(toUnicode) + " 0 R/Resources<<>>>>";
    writer.WriteObject(font.object, dictionary);
}

}  // namespace quernel
