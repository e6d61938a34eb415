#include <QFontInfo>
#include <QFontMetricsF>
#include <QRawFont>

#include "platform/QtPageCanvas.h"
#include "tests/platform/PlatformTestSupport.h"

namespace quernel {
namespace {

using test::Font;

struct TCell {
    int height;
    int width;
};

// 10 and 17 characters per inch at 600 dpi, double width, a small cell and cells far narrower
// and wider than the fonts' own proportions.
constexpr TCell kCells[] = {{100, 60}, {100, 35}, {200, 120}, {17, 10}, {100, 30}, {64, 72}};

// The sized QFont, and the raw font drawn at the exact size, fill the cell.
void ExpectFillsCell(const TFontDesc& desc, bool monospaced) {
    SCOPED_TRACE(desc.faceName + " " + std::to_string(desc.height) + "x" +
                 std::to_string(desc.width) + (desc.weight > 400 ? " bold" : ""));
    const TFontSizing s = SizeFontForCell(desc);
    ASSERT_EQ(QFontInfo(s.font).family().toStdString(), desc.faceName) << "font not installed";
    EXPECT_EQ(s.font.bold(), desc.weight >= 700);
    EXPECT_EQ(s.font.italic(), desc.italic);

    const QFontMetricsF m(s.font);
    EXPECT_NEAR(m.ascent() + m.descent(), desc.height, 1.0);
    EXPECT_NEAR(m.averageCharWidth(), desc.width, 1.0);
    if (monospaced) {
        EXPECT_NEAR(m.horizontalAdvance(QLatin1Char('M')), desc.width, 1.0);
    }

    QRawFont raw = QRawFont::fromFont(s.font);
    raw.setPixelSize(s.pixelSize);
    EXPECT_NEAR(raw.ascent() + raw.descent(), desc.height, 0.5);
    EXPECT_NEAR(s.ascent, raw.ascent(), 0.5);
    EXPECT_DOUBLE_EQ(s.advance, desc.width);
    if (monospaced) {
        const auto glyphs = raw.glyphIndexesForString(QStringLiteral("M"));
        ASSERT_EQ(glyphs.size(), 1);
        EXPECT_NEAR(raw.advancesForGlyphIndexes(glyphs).at(0).x(), desc.width, 1.0);
    }
}

TEST(PlatformFontSizing, MonospacedFontFillsEveryCell) {
    for (const TCell& cell : kCells) {
        ExpectFillsCell(Font("Liberation Mono", cell.height, cell.width), true);
    }
    TFontDesc boldItalic = Font("Liberation Mono", 100, 60);
    boldItalic.weight = 700;
    boldItalic.italic = true;
    ExpectFillsCell(boldItalic, true);
}

TEST(PlatformFontSizing, ProportionalFontGetsTheAverageWidth) {
    for (const TCell& cell : kCells) {
        ExpectFillsCell(Font("Liberation Sans", cell.height, cell.width), false);
    }
}

// Asked for a narrow stretch, Qt switches DejaVu Sans to its condensed face, whose own widths
// differ: the stretch must be measured again on the face actually used.
TEST(PlatformFontSizing, FaceChosenForTheStretchIsMeasuredAgain) {
    ExpectFillsCell(Font("DejaVu Sans", 100, 30), false);
    ExpectFillsCell(Font("DejaVu Sans", 100, 38), false);
}

TEST(PlatformFontSizing, NaturalWidthWhenNoWidthIsAsked) {
    const TFontSizing s = SizeFontForCell(Font("Liberation Mono", 100, 0));
    const QFontMetricsF m(s.font);
    EXPECT_EQ(s.font.stretch(), 100);
    EXPECT_NEAR(s.advance, m.averageCharWidth(), 1.0);
    EXPECT_NEAR(m.ascent() + m.descent(), 100, 1.0);
}

TEST(PlatformFontSizing, CellWithoutHeightIsRefused) {
    EXPECT_THROW(SizeFontForCell(Font("Liberation Mono", 0, 60)), PrinterError);
    EXPECT_THROW(SizeFontForCell(Font("Liberation Mono", -100, 60)), PrinterError);
}

// A cell far wider than any font (a device of absurd resolution) gets the widest stretch the
// font allows, computed without overflowing.
TEST(PlatformFontSizing, AnAbsurdlyWideCellGetsTheWidestStretch) {
    const TFontSizing s = SizeFontForCell(Font("Liberation Mono", 100, 500'000'000));
    EXPECT_EQ(s.font.stretch(), 4000);
    EXPECT_EQ(s.advance, 500'000'000);
    // A cell higher than any font engine draws is refused.
    EXPECT_THROW(SizeFontForCell(Font("Liberation Mono", 100'000, 60)), PrinterError);
    EXPECT_NO_THROW(SizeFontForCell(Font("Liberation Mono", 50'000, 30'000)));
}

}  // namespace
}  // namespace quernel
