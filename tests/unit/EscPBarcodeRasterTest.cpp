#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

// What ESC/P 2 draws as pictures beyond bit images: bar codes (ESC ( B) and raster graphics in
// TIFF mode (ESC . 2).
class EscPBarcodeRasterTest : public CommandSetFixture {
  protected:
    void Render(const std::string& data) {
        printer.texts.clear();
        printer.bitmaps.clear();
        CommandSetFixture::Render(B(data), TCommandSet::kEscP, ShippedTable());
    }
    // ESC ( B: kind, module width, space adjustment, bar length, flags, data.
    static std::string Barcode(int kind, int module, int adjust, int length, int flags,
                               const std::string& data) {
        const std::size_t n = 6 + data.size();
        return "\x1b(B"s + static_cast<char>(n & 0xFF) + static_cast<char>(n >> 8) +
               static_cast<char>(kind) + static_cast<char>(module) + static_cast<char>(adjust) +
               static_cast<char>(length & 0xFF) + static_cast<char>(length >> 8) +
               static_cast<char>(flags) + data;
    }
    // The drawn bars as modules of `width` columns: '1' a bar, '0' a space.
    static std::string Modules(const TBitmap& bars, int width) {
        std::string out;
        for (int x = 0; x < bars.width; x += width) out += bars.Dot(x, 0) ? '1' : '0';
        return out;
    }
    std::string Text() const {
        std::string out;
        for (const auto& t : printer.texts) out += ToString(t.bytes);
        return out;
    }
};

// EAN-13: the printer adds the check digit; modules of 2/180 inch (4 half-dot columns), bars
// 90/180 inch long from the print position, the digits under them, the print position after.
TEST_F(EscPBarcodeRasterTest, Ean13WithItsDigitsUnderTheBars) {
    Render(Barcode(0, 2, 0, 90, 1, "590123412345") + "X");
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    const auto& bars = printer.bitmaps[0];
    // Guards, the first six digits in the L and G sets, the centre, the last six in R.
    EXPECT_EQ(Modules(bars.bitmap, 4),
              "10100010110100111011001100100110111101001110101010110011011011001000010101110010011"
              "101000100101");
    EXPECT_EQ(bars.rect.left, Along(0));
    EXPECT_EQ(bars.rect.top, Down(0));
    EXPECT_EQ(bars.rect.bottom, Down(0.5));
    EXPECT_NEAR(bars.rect.right - bars.rect.left, 95 * 2 / 180.0 * kInchAlong, 1);
    EXPECT_EQ(Text(), "5901234123457X");
    EXPECT_EQ(printer.texts[0].y, Down(0.5));
    // The digits are centred under the bars, the X follows the bars on the line.
    const double width = 95 * 2 / 180.0;
    EXPECT_NEAR(printer.texts[0].x, Along((width - 13 / (13 / width)) / 2), 1);
    EXPECT_EQ(printer.texts.back().x, static_cast<int>(kOrigin + width * kInchAlong));
    EXPECT_EQ(printer.texts.back().y, Down(0));

    // Without the human-readable digits; every space a half dot wider.
    Render(Barcode(0, 2, 1, 90, 3, "590123412345"));
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_TRUE(printer.texts.empty());
    EXPECT_EQ(printer.bitmaps[0].bitmap.width, 95 * 4 + 29);  // 29 spaces between the bars
}

// Each kind is encoded by its own rules; data a kind cannot hold prints nothing.
TEST_F(EscPBarcodeRasterTest, EveryKindAndBadData) {
    struct Row {
        int kind;
        std::string data;
        std::string text;
        int modules;
    };
    const std::vector<Row> rows = {
        {1, "9638507", "96385074", 67},          // EAN-8, check digit added
        {2, "1234", "012348", 0},                // Interleaved 2 of 5, check digit and a 0
        {3, "01234567890", "012345678905", 95},  // UPC-A
        {4, "0123456", "01234565", 51},          // UPC-E
        {5, "AB-12", "*AB-12H*", 0},             // Code 39, check character H
        {6, "BAbc123", "Abc123", 0},             // Code 128, code set B named first
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        Render(Barcode(row.kind, 2, 0, 60, 1, row.data));
        ASSERT_EQ(printer.bitmaps.size(), 1u);
        EXPECT_EQ(Text(), row.text);
        if (row.modules > 0) {
            EXPECT_EQ(printer.bitmaps[0].bitmap.width, row.modules * 4);
        }
    }
    // A check character makes Code 39 one character (13 modules) longer.
    Render(Barcode(5, 2, 0, 60, 0, "AB"));
    const int without = printer.bitmaps.at(0).bitmap.width;
    Render(Barcode(5, 2, 0, 60, 1, "AB"));
    EXPECT_EQ(printer.bitmaps.at(0).bitmap.width, without + 13 * 4);
    // Letters in an EAN-13, a kind the printer does not have: nothing, and the text goes on.
    Render(Barcode(0, 2, 0, 60, 1, "59012341234A") + Barcode(9, 2, 0, 60, 0, "1") + "X");
    EXPECT_TRUE(printer.bitmaps.empty());
    EXPECT_EQ(Text(), "X");
    EXPECT_EQ(printer.texts[0].x, Along(0));
}

// POSTNET has long and short bars of fixed lengths; a 9-pin printer counts in 1/120 inch.
TEST_F(EscPBarcodeRasterTest, PostnetBarsAndNinePinUnits) {
    Render(Barcode(7, 2, 0, 0, 0, "12345"));
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    const auto& bars = printer.bitmaps[0];
    EXPECT_EQ(bars.bitmap.height, 5);
    EXPECT_EQ(bars.rect.bottom, Down(0.125));
    EXPECT_TRUE(bars.bitmap.Dot(0, 0));  // the frame bar is long
    EXPECT_TRUE(bars.bitmap.Dot(0, 4));
    int shortBars = 0;
    for (int x = 0; x < bars.bitmap.width; ++x) {
        if (bars.bitmap.Dot(x, 4) && !bars.bitmap.Dot(x, 0)) ++shortBars;
    }
    EXPECT_GT(shortBars, 0);
    EXPECT_TRUE(Text().empty());

    // ESC 1 twice: commands only 9-pin printers have (ESC ( B counts as a 24-pin one).
    const std::string ninePin =
        "\x1b"
        "1\x1b"
        "1"s;
    Render(ninePin + Barcode(0, 2, 0, 36, 3, "590123412345"));
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_NEAR(printer.bitmaps[0].rect.right - printer.bitmaps[0].rect.left,
                95 * 2 / 120.0 * kInchAlong, 1);
    EXPECT_EQ(printer.bitmaps[0].rect.bottom, Down(36 / 72.0));
}

// ESC . 2 enters TIFF mode: XFER sends PackBits rows, MOVX and CR move along, MOVY down,
// COLR chooses the plane, EXIT ends it. Its bytes are never text or table codes.
TEST_F(EscPBarcodeRasterTest, TiffRasterRowsPlanesAndExit) {
    std::string tiff =
        "\x1b(U\x01\x00\x0a"s              // unit 1/360 inch
        "\x1b.\x02\x0a\x0a\x01\x00\x00"s;  // TIFF mode, dots of 1/360 inch
    tiff += "\x23\x01\xff\x0c"s;           // XFER 3 bytes: 2 literal bytes FF 0C
    tiff += "\xe2\x61"s;                   // CR, MOVY 1
    tiff += "\x22\xfe\x0a"s;               // XFER 2 bytes: 0x0A three times
    tiff += "\xe2\x61\x41"s;               // CR, MOVY 1, MOVX 1 byte
    tiff += "\x31\x03\x01\x00\x1b"s;       // XFER, its count in one more byte: 00 1B
    tiff += "\xe2\x61\xe3"s;               // CR, MOVY 1, EXIT
    Render(tiff + "A");
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    const TBitmap& b = printer.bitmaps[0].bitmap;
    EXPECT_EQ(printer.bitmaps[0].color, TColor{});
    // Row 0: FF 0C; row 1: 0A 0A 0A; row 2, one byte in: 00 1B.
    EXPECT_EQ(b.height, 3);
    EXPECT_TRUE(b.Dot(0, 0) && b.Dot(7, 0) && b.Dot(12, 0) && !b.Dot(8, 0));
    EXPECT_TRUE(b.Dot(4, 1) && b.Dot(20, 1) && !b.Dot(0, 1));
    EXPECT_TRUE(b.Dot(19, 2) && b.Dot(23, 2) && !b.Dot(18, 2));
    EXPECT_EQ(printer.bitmaps[0].rect.top, Down(0));
    EXPECT_NEAR(printer.bitmaps[0].rect.bottom, Down(3 / 360.0), 1);
    // After EXIT the text goes on below the raster, where it started along the line.
    ASSERT_EQ(printer.texts.size(), 1u);
    EXPECT_EQ(printer.texts[0].x, Along(0));
    EXPECT_EQ(printer.texts[0].y, Down(3 / 360.0));

    // Colour planes mix: cyan and yellow where both have a dot print green, black covers.
    std::string colour = "\x1b(U\x01\x00\x0a\x1b.\x02\x0a\x0a\x01\x00\x00"s;
    colour += "\x82\x22\x00\xf0"s;      // COLR 2 (cyan), XFER F0
    colour += "\xe2\x84\x22\x00\x3c"s;  // CR, COLR 4 (yellow), XFER 3C
    colour += "\xe2\x80\x22\x00\x01"s;  // CR, COLR 0 (black), XFER 01
    colour += "\xe2\x61\xe3"s;
    Render(colour);
    std::map<std::tuple<int, int, int>, const TBitmap*> byColour;
    for (const auto& drawn : printer.bitmaps) {
        byColour[{drawn.color.red, drawn.color.green, drawn.color.blue}] = &drawn.bitmap;
    }
    ASSERT_EQ(byColour.size(), 4u);                   // cyan, green, yellow, black
    EXPECT_EQ(byColour.at({0, 255, 255})->width, 2);  // dots 0-1: cyan alone
    EXPECT_EQ(byColour.at({0, 255, 0})->width, 2);    // dots 2-3: cyan and yellow
    EXPECT_EQ(byColour.at({255, 255, 0})->width, 2);  // dots 4-5: yellow alone
    EXPECT_EQ(byColour.at({0, 0, 0})->width, 1);      // dot 7: black
}

}  // namespace
}  // namespace quernel::test
