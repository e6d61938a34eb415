#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

// PCL's raster compressions 5 and 9, filled rectangles with shades and patterns, and macros.
class PclGraphicsTest : public CommandSetFixture {
  protected:
    void Render(const std::string& data) {
        printer.texts.clear();
        printer.bitmaps.clear();
        CommandSetFixture::Render(B(data), TCommandSet::kPcl, ShippedTable());
    }
    // The bytes of a row of the one bitmap drawn.
    std::vector<int> Row(int y) const {
        std::vector<int> out;
        const TBitmap& b = printer.bitmaps.at(0).bitmap;
        for (int i = 0; i < b.stride; ++i) out.push_back(b.Row(y)[i]);
        return out;
    }
    static std::string Raster(int method, const std::string& data) {
        return "\x1b*b" + std::to_string(method) + "m" + std::to_string(data.size()) + "W" + data;
    }
};

// Method 5 carries a block of rows, each compressed in one of methods 0 to 3, blank rows and
// copies of the last; method 9 replaces bytes of the last row, literal or repeated.
TEST_F(PclGraphicsTest, AdaptiveAndReplacementDeltaRowCompression) {
    const std::string block =
        "\x00\x00\x02\xff\x81"s   // method 0: FF 81
        "\x05\x00\x01"s           // one copy
        "\x04\x00\x02"s           // two blank rows
        "\x02\x00\x02\xfe\xc3"s;  // method 2: C3 C3 C3
    Render("\x1b*r1A" + Raster(5, block) + "\x1b*rB");
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(printer.bitmaps[0].bitmap.height, 5);
    EXPECT_EQ(Row(0), (std::vector<int>{0xff, 0x81, 0x00}));
    EXPECT_EQ(Row(1), (std::vector<int>{0xff, 0x81, 0x00}));
    EXPECT_EQ(Row(2), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Row(3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Row(4), (std::vector<int>{0xc3, 0xc3, 0xc3}));

    // A first row D5 55 55 ...; then bytes 5..12 replaced literally (offset 5, count 7 + 1
    // more); then 3 bytes 11 at offset 3 and 4 bytes 66 two further on, each repeated.
    const std::string seed = "\xd5" + std::string(12, '\x55');
    const std::string literal = "\x2f\x00"s + "\x11\x11\x22\x33\x44\x55\x66\x77"s;
    const std::string repeated = "\xe1\x00\x11"s + "\xc2\x66"s;
    Render("\x1b*r1A" + Raster(0, seed) + Raster(9, literal) + Raster(9, repeated) + "\x1b*rB");
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(Row(1), (std::vector<int>{0xd5, 0x55, 0x55, 0x55, 0x55, 0x11, 0x11, 0x22, 0x33, 0x44,
                                        0x55, 0x66, 0x77}));
    EXPECT_EQ(Row(2), (std::vector<int>{0xd5, 0x55, 0x55, 0x11, 0x11, 0x11, 0x11, 0x22, 0x66, 0x66,
                                        0x66, 0x66, 0x77}));

    // Method 4 is reserved: the printer ignores it and keeps the method before (2 here).
    Render("\x1b*r1A\x1b*b2M\x1b*b4M\x1b*b2W\xfd\xf0\x1b*rB"s);
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(Row(0), (std::vector<int>{0xf0, 0xf0, 0xf0, 0xf0}));
}

// ESC *c#P fills the rectangle black, white, in HP's shade of grey, or with a cross-hatch or
// a pattern of the printout's own, tiled from its corner.
TEST_F(PclGraphicsTest, RectanglesFilledWithShadesAndPatterns) {
    const std::string rect = "\x1b*p300x300Y\x1b*c300a150b";  // 1 x 1/2 inch at 1 x 1 inch
    Render(rect + "\x1b*c0P" + rect + "\x1b*c1P" + rect + "\x1b*c25g2P" + rect + "\x1b*c100g2P");
    ASSERT_EQ(printer.bitmaps.size(), 4u);
    EXPECT_EQ(printer.bitmaps[0].color, TColor{});
    EXPECT_EQ(printer.bitmaps[1].color, (TColor{255, 255, 255}));
    EXPECT_EQ(printer.bitmaps[2].color, (TColor{179, 179, 179}));  // 25 % prints as 30 %
    EXPECT_EQ(printer.bitmaps[3].color, TColor{});
    for (const auto& b : printer.bitmaps) {
        EXPECT_EQ(b.rect, (TRect{Along(1.0), Down(1.0), Along(2.0), Down(1.5)}));
    }

    // Cross-hatch 1: horizontal lines 2 dots thick every 16 dots of 1/300 inch; 5: a grid.
    Render(rect + "\x1b*c1g3P" + rect + "\x1b*c5g3P");
    ASSERT_EQ(printer.bitmaps.size(), 2u);
    const TBitmap& lines = printer.bitmaps[0].bitmap;
    EXPECT_EQ(lines.width, 300);
    EXPECT_TRUE(lines.Dot(10, 0) && lines.Dot(10, 1) && lines.Dot(299, 16));
    EXPECT_FALSE(lines.Dot(10, 2) || lines.Dot(0, 15));
    const TBitmap& grid = printer.bitmaps[1].bitmap;
    EXPECT_TRUE(grid.Dot(0, 5) && grid.Dot(5, 0) && grid.Dot(16, 7));
    EXPECT_FALSE(grid.Dot(5, 5));

    // A pattern of its own: 2 x 2 dots, one dot at the top left, defined as number 7.
    const std::string pattern = "\x00\x00\x01\x00\x00\x02\x00\x02\x80\x00"s;
    Render("\x1b*c7G\x1b*c" + std::to_string(pattern.size()) + "W" + pattern + rect + "\x1b*c7g4P" +
           rect + "\x1b*c8g4P");
    ASSERT_EQ(printer.bitmaps.size(), 1u);  // pattern 8 is not defined: nothing
    const TBitmap& tiles = printer.bitmaps[0].bitmap;
    EXPECT_TRUE(tiles.Dot(0, 0) && tiles.Dot(2, 2) && tiles.Dot(298, 148));
    EXPECT_FALSE(tiles.Dot(1, 0) || tiles.Dot(0, 1) || tiles.Dot(1, 1));
}

// A macro is kept and runs where it is executed or called; as an overlay it prints at the
// end of every page; a reset deletes it; one that runs itself stops.
TEST_F(PclGraphicsTest, MacrosRunAndOverlayEveryPage) {
    const std::string define = "\x1b&f3y0X\x1b*p0x0YFORM\x1b&f1X";
    Render(define + "A\x1b&f2XB\x1b&f3XC");
    EXPECT_EQ(Pages(), (std::vector<std::string>{"AFORMBFORMC"}));

    Render(define + "\x1b&f4X" + "A\x0c" + "B\x1b" + "E" + "C\x0c");
    EXPECT_EQ(Pages(), (std::vector<std::string>{"AFORM", "BFORM", "C"}));
    // The overlay prints where it says on every page, whatever the page's own text moved.
    const auto page1 = printer.TextsOnPage(1), page2 = printer.TextsOnPage(2);
    ASSERT_EQ(page1.size(), 5u);
    ASSERT_EQ(page2.size(), 5u);
    EXPECT_EQ((TPoint{page1[1].x, page1[1].y}), (TPoint{page2[1].x, page2[1].y}));
    EXPECT_EQ(page1[1].x, Along(0));

    Render(define + "\x1b&f8X\x1b&f2XA" + "\x1b&f4y0XL\x1b&f4y2X\x1b&f1X\x1b&f4y2XB");
    EXPECT_EQ(Pages(), (std::vector<std::string>{"ALLB"}));
}

}  // namespace
}  // namespace quernel::test
