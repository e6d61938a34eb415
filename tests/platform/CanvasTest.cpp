#include <QFontMetricsF>
#include <QPainter>
#include <QRawFont>

#include <functional>

#include "engine/CodePages.h"
#include "platform/QtPageCanvas.h"
#include "tests/platform/PlatformTestSupport.h"

namespace quernel {
namespace {

using test::Font;
using test::InkIn;
using test::TInk;

constexpr int kH = 100;  // 6 lines and 10 characters per inch at 600 dpi
constexpr int kW = 60;

class PlatformCanvas : public ::testing::Test {
  protected:
    PlatformCanvas() { image_.fill(Qt::white); }

    void Draw(const std::function<void(QtPageCanvas&)>& draw) {
        QPainter painter(&image_);
        QtPageCanvas canvas;
        canvas.Begin(painter);
        draw(canvas);
        canvas.End();
    }

    TInk Ink(const QRect& area) const { return InkIn(image_, area); }

    QImage image_{1400, 900, QImage::Format_RGB32};
};

TEST_F(PlatformCanvas, CharactersSitInTheirCellsOneCellWidthApart) {
    const TFontDesc mono = Font("Liberation Mono", kH, kW);
    const TFontDesc sans = Font("Liberation Sans", kH, kW);
    Draw([&](QtPageCanvas& c) {
        c.TextOut(100, 50, mono, ToBytes("HHHH"));
        c.TextOut(100, 300, mono, ToBytes("gj|"));
        // Narrow letters of a proportional font still take one cell each.
        c.TextOut(100, 550, sans, ToBytes("iiii"));
    });
    const qreal ascent = SizeFontForCell(mono).ascent;

    const TInk row = Ink(QRect(0, 0, 1400, 250));
    ASSERT_GT(row.count, 0);
    EXPECT_GE(row.box.left(), 100);
    EXPECT_LT(row.box.right(), 100 + 4 * kW);
    EXPECT_GE(row.box.top(), 50);
    EXPECT_LT(row.box.bottom(), 50 + kH);
    // "H" stands on the baseline, ascent pixels below the top of the cell.
    EXPECT_NEAR(row.box.bottom() + 1, 50 + ascent, 1.5);

    // Descenders and the bar stay inside the cells too.
    const TInk descenders = Ink(QRect(0, 250, 1400, 250));
    ASSERT_GT(descenders.count, 0);
    EXPECT_GE(descenders.box.left(), 100);
    EXPECT_LT(descenders.box.right(), 100 + 3 * kW);
    EXPECT_GE(descenders.box.top(), 300);
    EXPECT_LT(descenders.box.bottom(), 300 + kH);

    for (int top : {50, 550}) {
        const TInk first = Ink(QRect(100, top, kW, kH));
        ASSERT_GT(first.count, 0);
        for (int i = 1; i < 4; ++i) {
            const TInk cell = Ink(QRect(100 + i * kW, top, kW, kH));
            ASSERT_GT(cell.count, 0) << "cell " << i << " at y " << top;
            EXPECT_NEAR(cell.centerX - first.centerX, i * kW, 0.5) << "cell " << i;
            EXPECT_NEAR(cell.centerY, first.centerY, 0.5);
        }
    }
}

TEST_F(PlatformCanvas, EscapementMinus900RunsDownwardWithTopsFacingRight) {
    TFontDesc down = Font("Liberation Mono", kH, kW);
    down.escapement = -900;
    down.orientation = -900;
    const int x = 700, y = 100;
    Draw([&](QtPageCanvas& c) { c.TextOut(x, y, down, ToBytes("TTTT")); });
    const qreal ascent = SizeFontForCell(down).ascent;

    // The cells turn about (x, y): they lie left of x, from y downward.
    const TInk all = Ink(image_.rect());
    ASSERT_GT(all.count, 0);
    EXPECT_GE(all.box.left(), x - kH);
    EXPECT_LT(all.box.right(), x);
    EXPECT_GE(all.box.top(), y);
    EXPECT_LT(all.box.bottom(), y + 4 * kW);
    // The foot of the "T" stands on the baseline, ascent pixels left of x.
    EXPECT_NEAR(all.box.left(), x - ascent, 1.5);

    const TInk first = Ink(QRect(x - kH, y, kH, kW));
    for (int i = 1; i < 4; ++i) {
        const TInk cell = Ink(QRect(x - kH, y + i * kW, kH, kW));
        ASSERT_GT(cell.count, 0);
        EXPECT_NEAR(cell.centerY - first.centerY, i * kW, 0.5);
        EXPECT_NEAR(cell.centerX, first.centerX, 0.5);
    }

    // The bar of the "T" (its top) is the darkest column, on the right of the letter.
    int darkest = -1, darkestCount = 0;
    for (int col = first.box.left(); col <= first.box.right(); ++col) {
        const int n = Ink(QRect(col, y, 1, kW)).count;
        if (n > darkestCount) darkest = col, darkestCount = n;
    }
    EXPECT_GT(darkest, first.box.center().x());
}

// Collected glyphs are drawn with their own font and direction when the font changes: the
// page equals one drawn with a flush after every call.
TEST_F(PlatformCanvas, BatchingDrawsTheSameAsFlushingEveryCall) {
    TFontDesc normal = Font("Liberation Mono", kH, kW);
    TFontDesc bold = normal;
    bold.weight = 700;
    TFontDesc italicLined = normal;
    italicLined.italic = true;
    italicLined.underline = true;
    TFontDesc down = normal;
    down.escapement = -900;
    TFontDesc narrow = Font("Liberation Mono", kH, 35);

    const auto calls = [&](QtPageCanvas& c, bool flushEach) {
        const auto out = [&](int x, int y, const TFontDesc& f, const char* text) {
            c.TextOut(x, y, f, ToBytes(text));
            if (flushEach) c.Flush();
        };
        out(20, 20, normal, "Ab");
        out(20 + 2 * kW, 20, bold, "Cd");
        out(20 + 4 * kW, 20, normal, "Ef");
        out(1300, 200, down, "Gh");
        out(20, 20 + kH, normal, "Ij");
        out(20, 20 + 2 * kH, italicLined, "Kl m");
        out(20, 20 + 3 * kH, narrow, "Nopq");
        out(20 + 4 * 35, 20 + 3 * kH, normal, "Rs");
    };
    Draw([&](QtPageCanvas& c) { calls(c, false); });
    const QImage batched = image_;
    image_.fill(Qt::white);
    Draw([&](QtPageCanvas& c) { calls(c, true); });

    EXPECT_GT(Ink(image_.rect()).count, 0);
    EXPECT_TRUE(batched == image_);
}

TEST_F(PlatformCanvas, UnderlineAndStrikeOutRunUnderBlanksToo) {
    TFontDesc plain = Font("Liberation Mono", kH, kW);
    TFontDesc under = plain;
    under.underline = true;
    TFontDesc struck = plain;
    struck.strikeOut = true;
    Draw([&](QtPageCanvas& c) {
        c.TextOut(100, 50, plain, ToBytes("A  B"));
        c.TextOut(100, 250, under, ToBytes("A  B"));
        c.TextOut(100, 450, struck, ToBytes("A  B"));
    });
    const QRect blanks(100 + kW, 0, 2 * kW, kH);
    const int baseline = static_cast<int>(SizeFontForCell(plain).ascent);

    EXPECT_EQ(Ink(blanks.translated(0, 50)).count, 0);
    const TInk underline = Ink(blanks.translated(0, 250));
    ASSERT_GT(underline.count, 0);
    EXPECT_GE(underline.box.top(), 250 + baseline);
    const TInk strike = Ink(blanks.translated(0, 450));
    ASSERT_GT(strike.count, 0);
    EXPECT_LT(strike.box.bottom(), 450 + baseline);
    // Unbroken over all four cells.
    for (int col = 102; col < 100 + 4 * kW - 2; ++col) {
        ASSERT_GT(Ink(QRect(col, 250 + baseline, 1, kH - baseline)).count, 0) << col;
    }
}

TEST_F(PlatformCanvas, CharacterMissingFromTheFontComesFromAnotherFontInItsCell) {
    // A character of the Symbol charset that Liberation Mono lacks.
    TFontDesc symbol = Font("Liberation Mono", kH, kW, 2);
    QRawFont raw = QRawFont::fromFont(SizeFontForCell(symbol).font);
    const auto& table = CodePageTable(CodePage::kAdobeSymbol);
    int missing = -1;
    for (int b = 0xA1; b < 256 && missing < 0; ++b) {
        const char32_t ch = table[static_cast<std::size_t>(b)];
        if (ch == 0xFFFD) continue;
        const QString text = QString::fromUcs4(&ch, 1);
        if (raw.glyphIndexesForString(text).value(0) == 0) missing = b;
    }
    ASSERT_GE(missing, 0);

    Bytes text = ToBytes("A A");
    text[1] = static_cast<std::uint8_t>(missing);
    Draw([&](QtPageCanvas& c) { c.TextOut(100, 100, symbol, text); });
    EXPECT_GT(Ink(QRect(100 + kW, 100, kW, kH)).count, 20);
    // The last "A" stays in the third cell.
    const TInk first = Ink(QRect(100, 100, kW, kH));
    const TInk third = Ink(QRect(100 + 2 * kW, 100, kW, kH));
    EXPECT_NEAR(third.centerX - first.centerX, 2 * kW, 0.5);
}

// Rectangles fill exactly their pixels, right and bottom exclusive; a shade is grey.
TEST_F(PlatformCanvas, RectanglesFillTheirPixelsInTheirInk) {
    const std::vector<TRect> solid = {{100, 100, 160, 106}, {157, 100, 163, 200}};
    const std::vector<TRect> shade = {{300, 100, 360, 200}};
    Draw([&](QtPageCanvas& c) {
        c.FillRects(solid, 255);
        c.FillRects(shade, 128);
    });
    EXPECT_EQ(Ink(QRect(100, 100, 63, 100)).count, 60 * 6 + 6 * 100 - 3 * 6);
    EXPECT_EQ(Ink(QRect(100, 100, 63, 100)).box, QRect(100, 100, 63, 100));
    EXPECT_EQ(qGray(image_.pixel(130, 103)), 0);
    EXPECT_EQ(qGray(image_.pixel(130, 106)), 255);
    EXPECT_NEAR(qGray(image_.pixel(330, 150)), 127, 2);
    EXPECT_EQ(qGray(image_.pixel(360, 150)), 255);
}

}  // namespace
}  // namespace quernel
