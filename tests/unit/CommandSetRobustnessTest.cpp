#include <gtest/gtest.h>

#include <random>

#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

class CommandSetRobustnessTest : public CommandSetFixture {
  protected:
    // Every position drawn lies near the sheet, whatever the printout asked for.
    void ExpectOnTheSheet() const {
        constexpr int kFar = 200000;  // far beyond any sheet, far inside an int
        for (const auto& t : printer.texts) {
            EXPECT_LT(std::abs(t.y), kFar);
            EXPECT_GT(t.font.height, 0);
        }
        for (const auto& b : printer.bitmaps) {
            EXPECT_LT(std::abs(b.rect.left), kFar);
            EXPECT_LT(std::abs(b.rect.right), kFar);
            EXPECT_LT(std::abs(b.rect.top), kFar);
            EXPECT_LT(std::abs(b.rect.bottom), kFar);
            EXPECT_LE(b.rect.left, b.rect.right);
            EXPECT_LE(b.rect.top, b.rect.bottom);
            EXPECT_GT(b.bitmap.width, 0);
        }
    }
};

// Values no printer would take: huge or tiny distances, resolutions and counts.
TEST_F(CommandSetRobustnessTest, ExtremeValuesStayOnTheSheet) {
    Render(B("\x1b*t0.0001R\x1b*r1A\x1b*b1W\xff\x1b*rB"               // a dot of 10000 inches
             "\x1b*p99999999999x-99999999999YA\x1b&l0.0000001C\r\nB"  // a line of 1e9 inches
             "\x1b&a+99999999999999999999999999999999999999H"         // beyond a double's digits
             "C\x1b*c99999999999a99999999999b0P"                      // an endless rule
             "\x1b*b999999999Y\x1b&k0.000001HD\x1b(s0.0000001HE\x1b&u0.00001D\x1b*p9X"),
           TCommandSet::kPcl);
    ExpectOnTheSheet();
    EXPECT_EQ(Pages().back().back(), 'E');

    Render(B("\x1b(U\x01\x00\x01\x1b(V\x02\x00\xff\xff"            // 65535/3600 inch down
             "A\x1b(v\x02\x00\x00\x80"                             // 32768 units up
             "B\x1b$\xff\xff\x1b\\\xff\x7f\x1b(C\x02\x00\xff\xff"  // far along, long page
             "C\x1b"
             "3\xff\r\n\x1b+\xff\r\n\x1b"
             "A\xff\r\nD\x1b l\xff\x1b \xff\x1b"
             "D\xff\x00\tE\x1b.\x01\x00\x00\xff\xff\xff\x80\x00"
             "F"s),
           TCommandSet::kEscP);
    ExpectOnTheSheet();
}

// Seeded noise made of escape characters, command letters, digits and control codes: every
// set reads it to its end without failing.
TEST_F(CommandSetRobustnessTest, NoiseIsReadToItsEnd) {
    std::mt19937 random(20240309);
    const std::string alphabet =
        "\x1b\x1b\x1b\x1b*&()%.^KLYZ$\\JjCDBRtlQ3A+!@bWrRtpYXEa0123456789-+.\x00\x0a\x0c\x0d\x0b\x08\x09\xff\x80"s;
    for (int round = 0; round < 20; ++round) {
        std::string noise;
        for (int i = 0; i < 5000; ++i) {
            noise += random() % 4 == 0 ? static_cast<char>(random() % 256)
                                       : alphabet[random() % alphabet.size()];
        }
        for (TCommandSet set : {TCommandSet::kEscP, TCommandSet::kPcl, TCommandSet::kAuto}) {
            printer.texts.clear();
            printer.bitmaps.clear();
            EXPECT_NO_THROW(Render(B(noise), set));
            EXPECT_TRUE(printer.documents.back().ended);
            ExpectOnTheSheet();
        }
    }
}

}  // namespace
}  // namespace quernel::test
