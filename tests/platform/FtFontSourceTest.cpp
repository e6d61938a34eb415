// The fontconfig and FreeType font source against Qt, which draws the same installed fonts:
// a queue's PDF must not depend on which of the two sized and measured its fonts.

#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QRawFont>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/RenderCommand.h"

#include "platform/FontChoice.h"
#include "platform/FtFontSource.h"
#include "platform/PdfFilePrinter.h"
#include "platform/QtFontSource.h"
#include "platform/QtPageCanvas.h"
#include "platform/QtPicture.h"
#include "tests/fakes/FakeClock.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

// Equal within a millionth of the value (a 26.6 step at the reference size is 1.6e-5).
void ExpectClose(double expected, double actual, const std::string& what) {
    EXPECT_NEAR(expected, actual, 1e-6 * std::max(1.0, std::abs(expected))) << what;
}

TFontDesc Desc(const std::string& face, int height, int width, int weight = 400,
               bool italic = false, double stretch = 0) {
    TFontDesc d;
    d.faceName = face;
    d.height = height;
    d.width = width;
    d.weight = weight;
    d.italic = italic;
    d.stretch = stretch;
    return d;
}

std::vector<TFontDesc> Descriptions() {
    return {
        Desc("Liberation Mono", 100, 60),
        Desc("Courier New", 50, 25),
        Desc("DejaVu Sans Mono", 1000, 300),
        Desc("Liberation Serif", 100, 60, 700),
        Desc("DejaVu Serif", 37, 0, 400, true),
        Desc("Liberation Mono", 42, 0, 700, true, 2),
        Desc("Liberation Sans", 120, 0, 400, false, 0.5),
        Desc("DejaVu Sans", 60, 0, 400, false, 1.7),
        Desc("Liberation Sans", 17, 11),
        Desc("Nimbus Mono PS", 64, 30),
        Desc("dejavu sans mono", 30, 0),
    };
}

// The URW fonts (Type 1 and OpenType) come with the print system's PostScript interpreter,
// not with the packages the tests install; their cases are left out without them.
bool Installed(const std::string& family) {
    return (family.rfind("Nimbus", 0) != 0 && family.rfind("Z003", 0) != 0) ||
           QFontDatabase::hasFamily(QString::fromStdString(family));
}

std::string Name(const TFontDesc& d) {
    return d.faceName + " " + std::to_string(d.height) + "x" + std::to_string(d.width) + " w" +
           std::to_string(d.weight) + (d.italic ? " italic" : "") + " stretch " +
           std::to_string(d.stretch);
}

QRawFont DrawnByQt(const TFontSizing& sizing) {
    QRawFont raw = QRawFont::fromFont(sizing.font);
    raw.setPixelSize(sizing.pixelSize);
    return raw;
}

TEST(FtFontSourceTest, CellSizesAndDrawnFacesEqualQts) {
    TFtFontSource source;
    for (const TFontDesc& desc : Descriptions()) {
        if (!Installed(desc.faceName)) continue;
        const std::string name = Name(desc);
        const TFontSizing qt = SizeFontForCell(desc);
        const auto cell = source.ForCell(desc);
        ExpectClose(qt.pixelSize, cell->pixelSize, name + " pixel size");
        ExpectClose(qt.ascent, cell->ascent, name + " ascent");
        ExpectClose(qt.advance, cell->advance, name + " advance");
        ExpectClose(qt.underlinePos, cell->underlinePos, name + " underline");
        ExpectClose(qt.strikeOutPos, cell->strikeOutPos, name + " strike-out");
        ExpectClose(qt.lineWidth, cell->lineWidth, name + " line width");
        EXPECT_EQ(qt.font.stretch(), cell->stretch) << name;

        const QRawFont raw = DrawnByQt(qt);
        const auto drawn = cell->Drawn();
        ASSERT_TRUE(raw.isValid()) << name;
        ASSERT_NE(drawn, nullptr) << name;
        EXPECT_EQ(raw.familyName().toStdString(), drawn->Family()) << name;
        EXPECT_EQ(raw.styleName().toStdString(), drawn->Style()) << name;
        EXPECT_DOUBLE_EQ(qt.pixelSize, drawn->PixelSize()) << name;
        ExpectClose(raw.ascent(), drawn->Ascent(), name + " face ascent");
        ExpectClose(raw.descent(), drawn->Descent(), name + " face descent");
        ExpectClose(raw.averageCharWidth(), drawn->AverageCharWidth(), name + " face average");
        ExpectClose(raw.capHeight(), drawn->CapHeight(), name + " face cap height");

        // Letters, digits, Polish letters, box drawing and a character no font here has.
        const std::u32string text = U" AMWim0|ąęłóśżźćń─│┼░▓\u00A0\U0010FFFD";
        for (const char32_t ch : text) {
            const QString qch = QString::fromUcs4(&ch, 1);
            quint32 glyphs[2] = {0, 0};
            int count = 2;
            ASSERT_TRUE(raw.glyphIndexesForChars(qch.constData(), static_cast<int>(qch.size()),
                                                 glyphs, &count));
            EXPECT_EQ(glyphs[0], drawn->Glyph(ch))
                << name << " U+" << std::hex << static_cast<std::uint32_t>(ch);
            if (glyphs[0] == 0) continue;
            QPointF advance;
            raw.advancesForGlyphIndexes(glyphs, &advance, 1, QRawFont::UseDesignMetrics);
            ExpectClose(advance.x(), drawn->Advance(glyphs[0]),
                        name + " advance of U+" + std::to_string(ch));
        }
    }
}

TEST(FtFontSourceTest, OutlinesAndTablesEqualQts) {
    TFtFontSource source;
    for (const TFontDesc& desc :
         {Desc("Liberation Serif", 40, 0), Desc("DejaVu Sans", 40, 30),
          Desc("Nimbus Mono PS", 40, 0), Desc("DejaVu Sans", 40, 0, 400, true),
          Desc("Liberation Mono", 40, 0, 400, true),
          // No bold of its own: the OpenType face is thickened below 64 pixels, the Type 1
          // one (without an OS/2 table) never.
          Desc("Z003", 40, 0, 700), Desc("Z003 [UKWN]", 40, 0, 700),
          Desc("Z003 [UKWN]", 90, 0, 700)}) {
        if (!Installed(desc.faceName)) continue;
        const std::string name = Name(desc);
        const QRawFont raw = DrawnByQt(SizeFontForCell(desc));
        const auto drawn = source.ForCell(desc)->Drawn();
        for (const char32_t ch : std::u32string(U"aQ&ś@")) {
            const quint32 glyph = drawn->Glyph(ch);
            ASSERT_NE(glyph, 0u) << name;
            const QPainterPath path = raw.pathForGlyph(glyph);
            const TGlyphOutline outline = drawn->Outline(glyph);
            ASSERT_EQ(static_cast<std::size_t>(path.elementCount()),
                      [&] {
                          std::size_t n = 0;
                          for (const auto& e : outline.elements) n += e.op == 'c' ? 3 : 1;
                          return n;
                      }())
                << name << " U+" << std::hex << static_cast<std::uint32_t>(ch);
            int i = 0;
            for (const auto& e : outline.elements) {
                for (int k = 0; k < (e.op == 'c' ? 3 : 1); ++k, ++i) {
                    const QPainterPath::Element q = path.elementAt(i);
                    EXPECT_EQ(q.isMoveTo(), e.op == 'm') << name << " element " << i;
                    EXPECT_NEAR(q.x, e.x[k], 0.02) << name << " element " << i;
                    EXPECT_NEAR(q.y, e.y[k], 0.02) << name << " element " << i;
                }
            }
            const QRectF box = path.boundingRect();
            EXPECT_NEAR(box.left(), outline.left, 0.02) << name;
            EXPECT_NEAR(box.top(), outline.top, 0.02) << name;
            EXPECT_NEAR(box.right(), outline.right, 0.02) << name;
            EXPECT_NEAR(box.bottom(), outline.bottom, 0.02) << name;
        }
        for (const char* tag : {"head", "hhea", "OS/2", "cmap"}) {
            // Type 1 faces have none.
            EXPECT_EQ(raw.fontTable(tag).toStdString(), drawn->Table(tag)) << name << " " << tag;
        }
        EXPECT_EQ(drawn->Table("head").empty(),
                  desc.faceName == "Nimbus Mono PS" || desc.faceName == "Z003")
            << name;
        EXPECT_EQ("", drawn->Table("none"));
        EXPECT_TRUE(drawn->Outline(drawn->Glyph(' ')).elements.empty());
    }
}

TEST(FtFontSourceTest, FacesByNameAndTheirStyleAsQtsDatabaseDescribesIt) {
    TFtFontSource source;
    const auto bold = source.ByName("Liberation Mono", "Bold", 20);
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ("Liberation Mono", bold->Family());
    EXPECT_EQ("Bold", bold->Style());
    EXPECT_DOUBLE_EQ(20, bold->PixelSize());
    EXPECT_EQ(nullptr, source.ByName("Liberation Mono", "Wavy", 20));
    EXPECT_EQ(nullptr, source.ByName("No Such Family Here", "Regular", 20));

    const std::vector<std::pair<const char*, const char*>> faces = {
        {"Liberation Mono", "Regular"}, {"Liberation Mono", "Bold Italic"},
        {"Liberation Serif", "Bold"},   {"DejaVu Sans", "Oblique"},
        {"DejaVu Sans Mono", "Book"},   {"DejaVu Serif", "Italic"},
        {"Nimbus Mono PS", "Regular"},
    };
    int compared = 0;
    for (const auto& [family, style] : faces) {
        const QString f = QString::fromUtf8(family), s = QString::fromUtf8(style);
        // The slanted DejaVu faces come with fonts-dejavu-extra, which not every system has.
        if (!Installed(family) || !QFontDatabase::styles(f).contains(s)) continue;
        ++compared;
        const auto face = source.ByName(family, style, 33.3);
        ASSERT_NE(face, nullptr) << family << " " << style;
        EXPECT_EQ(QFontDatabase::weight(f, s) >= QFont::DemiBold, face->Bold()) << family << style;
        EXPECT_EQ(QFontDatabase::italic(f, s) || s.contains(QLatin1String("Italic")) ||
                      s.contains(QLatin1String("Oblique")),
                  face->Italic())
            << family << " " << style;
        EXPECT_EQ(QFontDatabase::isFixedPitch(f, s), face->FixedPitch()) << family << style;
        // The file Qt takes for the name: the same glyphs and advances.
        QFont named(f);
        named.setStyleName(s);
        named.setPixelSize(1000);
        named.setStyleStrategy(QFont::PreferOutline);
        const QRawFont raw = QRawFont::fromFont(named);
        const auto at1000 = face->Resized(1000);
        for (const char32_t ch : std::u32string(U"Aął│")) {
            const QString qch = QString::fromUcs4(&ch, 1);
            quint32 glyph = 0;
            int count = 1;
            raw.glyphIndexesForChars(qch.constData(), 1, &glyph, &count);
            EXPECT_EQ(glyph, face->Glyph(ch)) << family << " " << style;
            QPointF advance;
            raw.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
            ExpectClose(advance.x(), at1000->Advance(glyph), std::string(family) + " " + style);
        }
        // Resized keeps the face and takes the new size.
        const auto larger = face->Resized(66.6);
        EXPECT_EQ(face->Style(), larger->Style());
        EXPECT_NEAR(2 * face->Ascent(), larger->Ascent(), 1.0);  // Type 1: whole pixels
    }
    EXPECT_GE(compared, 4) << "the Liberation and DejaVu core faces are always installed";
}

TEST(FtFontSourceTest, GenericFamiliesEqualThoseTheQtPathInstalls) {
    TFtFontSource source;
    for (const TFontKind kind :
         {TFontKind::kSans, TFontKind::kSerif, TFontKind::kMono, TFontKind::kScript}) {
        EXPECT_EQ(InstalledFamily(kind), source.FamilyOf(kind)) << static_cast<int>(kind);
    }
}

TEST(FtFontSourceTest, OtherFamiliesAndFallbackKeepTheSizeAndStretch) {
    TFtFontSource source;
    const auto cell = source.ForCell(Desc("Liberation Mono", 100, 30));
    ASSERT_LT(cell->stretch, 100);
    const auto serif = cell->InFamily("DejaVu Serif");
    ASSERT_NE(serif, nullptr);
    EXPECT_EQ("DejaVu Serif", serif->Family());
    EXPECT_DOUBLE_EQ(cell->pixelSize, serif->PixelSize());
    const auto unstretched = source.ByName("DejaVu Serif", serif->Style(), cell->pixelSize);
    const std::uint32_t m = serif->Glyph(U'M');
    EXPECT_NEAR(unstretched->Advance(m) * cell->stretch / 100.0, serif->Advance(m), 0.05);

    // The installed families by the names Qt gives them, "Family [foundry]" included.
    // Unstretched: Qt would take DejaVu's condensed faces for a narrow cell.
    const TFontSizing qt = SizeFontForCell(Desc("Liberation Mono", 100, 0));
    const auto natural = source.ForCell(Desc("Liberation Mono", 100, 0));
    for (const TFontKind kind :
         {TFontKind::kSans, TFontKind::kSerif, TFontKind::kMono, TFontKind::kScript}) {
        const std::string family = source.FamilyOf(kind);
        ASSERT_FALSE(family.empty());
        QFont font = qt.font;
        font.setFamily(QString::fromStdString(family));
        QRawFont raw = QRawFont::fromFont(font);
        raw.setPixelSize(qt.pixelSize);
        const auto face = natural->InFamily(family);
        ASSERT_NE(face, nullptr) << family;
        EXPECT_EQ(raw.familyName().toStdString(), face->Family()) << family;
        EXPECT_EQ(raw.styleName().toStdString(), face->Style()) << family;
        quint32 glyph = 0;
        int count = 1;
        const QChar a(u'a');
        raw.glyphIndexesForChars(&a, 1, &glyph, &count);
        EXPECT_EQ(glyph, face->Glyph(U'a')) << family;
        QPointF advance;
        raw.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
        ExpectClose(advance.x(), face->Advance(glyph), family);
    }

    // Liberation has no snowman; another installed face has.
    EXPECT_EQ(0u, cell->Drawn()->Glyph(U'☃'));
    const auto snowman = cell->WithCharacter(U'☃');
    ASSERT_NE(snowman, nullptr);
    EXPECT_NE(0u, snowman->Glyph(U'☃'));
    EXPECT_DOUBLE_EQ(cell->pixelSize, snowman->PixelSize());
    EXPECT_EQ(cell->Drawn(), cell->WithCharacter(U'A'));
    EXPECT_EQ(nullptr, cell->WithCharacter(U'\U0010FFFD'));
}

TEST(FtFontSourceTest, CellsThatCannotBeDrawnAreRefused) {
    TFtFontSource source;
    for (const int height : {0, -5}) {
        try {
            source.ForCell(Desc("Liberation Mono", height, 10));
            ADD_FAILURE() << height;
        } catch (const PrinterError& e) {
            EXPECT_EQ("The font \"Liberation Mono\" asks for a character cell " +
                          std::to_string(height) + " pixels high.",
                      std::string(e.what()));
        }
    }
    EXPECT_THROW(source.ForCell(Desc("Liberation Mono", 100000, 0)), PrinterError);
    EXPECT_NO_THROW(source.ForCell(Desc("Liberation Mono", 10000, 0)));
}

TEST(FtFontSourceTest, WithoutAnyFontTheCellIsRefusedWithTheInstallHint) {
    // A configuration without font folders, current only within this test.
    FcConfig* saved = FcConfigReference(nullptr);
    FcConfig* empty = FcConfigCreate();
    ASSERT_TRUE(FcConfigSetCurrent(empty));
    FcConfigDestroy(empty);  // the current configuration keeps its own reference
    std::string message;
    {
        TFtFontSource source;
        try {
            source.ForCell(Desc("Liberation Mono", 100, 60));
        } catch (const PrinterError& e) {
            message = e.what();
        }
        EXPECT_EQ("", source.FamilyOf(TFontKind::kSans));
    }
    FcConfigSetCurrent(saved);
    FcConfigDestroy(saved);
    EXPECT_EQ(
        "No fonts are installed: the text cannot be drawn (install a font package such as "
        "fonts-liberation).",
        message);
}

}  // namespace
}  // namespace quernel

namespace quernel {
namespace {

// A queue's PDF as the CUPS filter makes it, with one font source or the other.
std::string QueuePdf(IFontSource& fonts, const RenderOptions& options) {
    std::string pdf;
    test::FakeClock clock(test::FakeClock::FromLocal(2024, 3, 9, 17, 5, 1));
    TPdfFilePrinter printer(
        595.28, 841.89,
        [&pdf](const void* data, std::size_t size) {
            pdf.append(static_cast<const char*>(data), size);
            return true;
        },
        "test", fonts, clock);
    QtPictureLoader pictures;
    std::ostringstream err;
    EXPECT_EQ(RunRender(options, printer, pictures, QUERNEL_SHIPPED_DATA_DIR, err), 0) << err.str();
    return pdf;
}

// The whole document, byte for byte, whichever source drew it: the test printouts in every
// command set and in the installed families, and one printout that asks for the ESC/P
// typefaces, bold, italic, double width, proportional letters and outlines.
using namespace std::string_literals;

TEST(FtFontSourceTest, QueueDocumentsAreTheSameWhicheverSourceDrawsThem) {
    test::TempDir temp;
    const auto typefaces = temp.path() / "typefaces.prn";
    std::ofstream(typefaces, std::ios::binary)
        << "\x1b@Courier\r\n\x1bk\x00Roman\x1bk\x01 Sans\x1bk\x0a Script\r\n"
           "\x1b"
           "E\x1b"
           "4Bold italic\x1b"
           "5\x1b"
           "F\x1bW\x01 wide\x1bW\x00\r\n"
           "\x1bp\x01Proportional text\x1bp\x00\x1bq\x01 outlined\x1bq\x00\r\n\x0c"s;
    TQtFontSource qt;
    TFtFontSource ft;
    int compared = 0;
    for (const char* printout :
         {"escp_invoice_logo.prn", "escp_code_pages.prn", "faktura_cp852.prn", "box_frames_852.prn",
          "pcl_pjl_lineprinter.pcl", "escp_letter_lfcr.prn"}) {
        for (const char* font : {"Liberation Mono", "DejaVu Sans Mono", "Liberation Serif"}) {
            RenderOptions options;
            options.file = (std::filesystem::path(QUERNEL_TEST_DATA_DIR) / printout).string();
            options.commands = TCommandSet::kAuto;
            options.font = font;
            const std::string fromQt = QueuePdf(qt, options);
            const std::string fromFt = QueuePdf(ft, options);
            ASSERT_GT(fromQt.size(), 1000u) << printout;
            EXPECT_TRUE(fromQt == fromFt)
                << printout << " in " << font << ": " << fromQt.size() << " bytes from Qt, "
                << fromFt.size() << " from FreeType";
            ++compared;
        }
    }
    RenderOptions options;
    options.file = typefaces.string();
    options.commands = TCommandSet::kEscP;
    EXPECT_TRUE(QueuePdf(qt, options) == QueuePdf(ft, options)) << "the typefaces printout";
    EXPECT_EQ(compared, 18);
}

}  // namespace
}  // namespace quernel
