#include <QFont>
#include <QPainterPath>
#include <QRawFont>

#include "platform/TrueTypeSubset.h"
#include "tests/platform/PlatformTestSupport.h"

namespace quernel {
namespace {

QRawFont RawFont(const char* family) {
    QFont font{QString::fromLatin1(family)};
    font.setPixelSize(100);
    return QRawFont::fromFont(font);
}

TFontTables TablesOf(const QRawFont& font) {
    return [font](std::string_view tag) {
        const QByteArray data = font.fontTable(std::string(tag).c_str());
        return std::string(data.constData(), static_cast<std::size_t>(data.size()));
    };
}

std::uint32_t Get32(const std::string& d, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(d[at + i]);
    return v;
}

std::uint32_t Get16(const std::string& d, std::size_t at) {
    return (static_cast<unsigned char>(d[at]) << 8) | static_cast<unsigned char>(d[at + 1]);
}

// The glyph's outline data in the font's glyf table.
std::string GlyphData(const TFontTables& tables, quint32 glyph) {
    const std::string head = tables("head"), loca = tables("loca"), glyf = tables("glyf");
    const bool longLoca = Get16(head, 50) != 0;
    const auto offset = [&](quint32 g) {
        return longLoca ? Get32(loca, g * 4) : 2 * Get16(loca, g * 2);
    };
    return glyf.substr(offset(glyph), offset(glyph + 1) - offset(glyph));
}

void ExpectSameOutline(const QRawFont& a, const QRawFont& b, quint32 glyph) {
    const QPainterPath pa = a.pathForGlyph(glyph);
    const QPainterPath pb = b.pathForGlyph(glyph);
    ASSERT_FALSE(pa.isEmpty()) << glyph;
    EXPECT_EQ(pa.elementCount(), pb.elementCount()) << glyph;
    EXPECT_EQ(pa.boundingRect(), pb.boundingRect()) << glyph;
}

// The subset holds the glyphs asked for, under their own indexes and with their advances,
// nothing else, and is a valid font a fraction of the size of the original.
TEST(PlatformTrueTypeSubset, KeepsTheGlyphsAskedForUnderTheirIndexesAndNothingElse) {
    const QRawFont original = RawFont("Liberation Mono");
    const TFontTables tables = TablesOf(original);
    ASSERT_TRUE(HasTrueTypeOutlines(tables));
    const QList<quint32> kept = original.glyphIndexesForString(QString::fromUtf8("Zażółć"));
    const quint32 dropped = original.glyphIndexesForString(QStringLiteral("Q")).value(0);
    std::vector<std::uint32_t> glyphs(kept.begin(), kept.end());
    glyphs.push_back(65000);  // beyond the font: ignored

    const std::string subset = SubsetTrueType(tables, glyphs);
    ASSERT_FALSE(subset.empty());
    EXPECT_LT(subset.size(), tables("glyf").size() / 20);

    const QRawFont font(QByteArray(subset.data(), static_cast<qsizetype>(subset.size())), 100);
    ASSERT_TRUE(font.isValid());
    for (quint32 g : kept) {
        ExpectSameOutline(original, font, g);
        EXPECT_EQ(font.advancesForGlyphIndexes({g}), original.advancesForGlyphIndexes({g}));
    }
    EXPECT_FALSE(original.pathForGlyph(dropped).isEmpty());
    EXPECT_TRUE(font.pathForGlyph(dropped).isEmpty());

    // Every table's checksum is right, and the whole font sums to the magic number.
    const std::uint32_t tableCount = Get16(subset, 4);
    for (std::uint32_t i = 0; i < tableCount; ++i) {
        const std::size_t entry = 12 + 16 * i;
        const std::string tag = subset.substr(entry, 4);
        const std::string data = subset.substr(Get32(subset, entry + 8), Get32(subset, entry + 12));
        if (tag == "head") {
            std::string zeroed = data;
            zeroed.replace(8, 4, 4, '\0');
            EXPECT_EQ(Get32(subset, entry + 4), TrueTypeChecksum(zeroed)) << tag;
        } else {
            EXPECT_EQ(Get32(subset, entry + 4), TrueTypeChecksum(data)) << tag;
        }
    }
    EXPECT_EQ(TrueTypeChecksum(subset), 0xB1B0AFBAu);
}

// A composite glyph (an accented letter built of other glyphs) brings its components.
TEST(PlatformTrueTypeSubset, CompositeGlyphBringsItsComponents) {
    const QRawFont original = RawFont("DejaVu Sans");
    const TFontTables tables = TablesOf(original);
    quint32 composite = 0;
    for (QChar c : QString::fromUtf8("ÀÁÂÃÄÅàáâãäåĄąĆćĘęŃńÓóŚśŹźŻżǺǻ")) {
        const quint32 g = original.glyphIndexesForString(QString(c)).value(0);
        const std::string data = GlyphData(tables, g);
        if (data.size() > 10 && static_cast<std::int16_t>(Get16(data, 0)) < 0) {
            composite = g;
            break;
        }
    }
    ASSERT_NE(composite, 0u) << "no composite glyph found";
    const quint32 component = Get16(GlyphData(tables, composite), 12);

    const std::uint32_t glyphs[] = {composite};
    const std::string subset = SubsetTrueType(tables, glyphs);
    const QRawFont font(QByteArray(subset.data(), static_cast<qsizetype>(subset.size())), 100);
    ASSERT_TRUE(font.isValid());
    ExpectSameOutline(original, font, composite);
    ExpectSameOutline(original, font, component);
}

TEST(PlatformTrueTypeSubset, FontWithoutTrueTypeOutlinesGivesNothing) {
    const TFontTables liberation = TablesOf(RawFont("Liberation Mono"));
    const std::uint32_t glyphs[] = {1, 2, 3};
    for (const char* missing : {"glyf", "loca", "head", "hmtx"}) {
        const TFontTables without = [&](std::string_view tag) {
            return tag == missing ? std::string() : liberation(tag);
        };
        EXPECT_FALSE(HasTrueTypeOutlines(without)) << missing;
        EXPECT_TRUE(SubsetTrueType(without, glyphs).empty()) << missing;
    }
    // A loca table too short for the glyph count.
    const TFontTables cut = [&](std::string_view tag) {
        std::string data = liberation(tag);
        if (tag == "loca") data.resize(data.size() / 2);
        return data;
    };
    EXPECT_TRUE(SubsetTrueType(cut, glyphs).empty());
}

}  // namespace
}  // namespace quernel
