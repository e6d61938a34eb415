#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/EscPLanguage.h"
#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string Data(std::size_t n, char fill = '\x0c') {
    return std::string(n, fill);
}

// One ESC/P command as the command references give it, and the bytes it takes.
struct CommandRow {
    const char* what;
    std::string bytes;  // the command followed by a byte that is not part of it
    std::size_t length;
    std::size_t payload = 0;
    TPins pins = TPins::k24;
};

// One row per command of ESC/P and ESC/P 2 (9-pin and 24-pin printers). Every row ends with
// "X", which the command must not take.
const std::vector<CommandRow>& Commands() {
    static const std::vector<CommandRow> rows = {
        {"ESC SP n: space after characters", "\x1b \x05X"s, 3},
        {"ESC ! n: master select", "\x1b!\x38X"s, 3},
        {"ESC #: cancel MSB control", "\x1b#X"s, 2},
        {"ESC $ nL nH: absolute position", "\x1b$\x10\x01X"s, 4},
        {"ESC % n: user-defined set", "\x1b%\x01X"s, 3},
        {"ESC & NUL n m: user characters, 24-pin",
         "\x1b&\x00\x41\x42"s + "\x01\x02\x01" + Data(6) + "\x00\x01\x00"s + Data(3) + "X", 5 + 15,
         15},
        {"ESC & NUL n m: user characters, 9-pin", "\x1b&\x00\x41\x42"s + Data(24) + "X", 5 + 24, 24,
         TPins::k9},
        {"ESC ( C: page length in units", "\x1b(C\x02\x00\x10\x0eX"s, 7},
        {"ESC ( c: page format", "\x1b(c\x04\x00\x10\x00\x10\x0eX"s, 9},
        {"ESC ( U: unit", "\x1b(U\x01\x00\x0aX"s, 6},
        {"ESC ( U: unit, five-byte form", "\x1b(U\x05\x00\x0a\x0a\x0a\xa0\x05X"s, 10},
        {"ESC ( V: absolute vertical position", "\x1b(V\x02\x00\x68\x01X"s, 7},
        {"ESC ( v: relative vertical position", "\x1b(v\x02\x00\x68\x01X"s, 7},
        {"ESC ( G: graphics mode", "\x1b(G\x01\x00\x01X"s, 6},
        {"ESC ( t: assign character table", "\x1b(t\x03\x00\x01\x0b\x00X"s, 8},
        {"ESC ( -: score", "\x1b(-\x03\x00\x01\x01\x01X"s, 8},
        {"ESC ( ^: data as characters",
         "\x1b(^\x03\x00"s
         "abcX"s,
         8, 3},
        {"ESC ( i: microweave", "\x1b(i\x01\x00\x01X"s, 6},
        {"ESC ( $: absolute position in units", "\x1b($\x04\x00\x10\x00\x00\x00X"s, 9},
        {"ESC ( B: bar code", "\x1b(B\x06\x00"s + Data(6) + "X", 11, 6},
        {"ESC * 0: 8-dot, 60 dpi", "\x1b*\x00\x03\x00"s + Data(3) + "X", 8, 3},
        {"ESC * 1: 8-dot, 120 dpi", "\x1b*\x01\x03\x00"s + Data(3) + "X", 8, 3},
        {"ESC * 2: 8-dot, 120 dpi, double speed", "\x1b*\x02\x03\x00"s + Data(3) + "X", 8, 3},
        {"ESC * 3: 8-dot, 240 dpi", "\x1b*\x03\x03\x00"s + Data(3) + "X", 8, 3},
        {"ESC * 4: 8-dot, 80 dpi", "\x1b*\x04\x03\x00"s + Data(3) + "X", 8, 3},
        {"ESC * 5: 8-dot, 72 dpi", "\x1b*\x05\x03\x00"s + Data(3) + "X", 8, 3, TPins::k9},
        {"ESC * 6: 8-dot, 90 dpi", "\x1b*\x06\x03\x00"s + Data(3) + "X", 8, 3},
        {"ESC * 7: 8-dot, 144 dpi", "\x1b*\x07\x03\x00"s + Data(3) + "X", 8, 3, TPins::k9},
        {"ESC * 32: 24-dot, 60 dpi", "\x1b*\x20\x03\x00"s + Data(9) + "X", 14, 9},
        {"ESC * 33: 24-dot, 120 dpi", "\x1b*\x21\x03\x00"s + Data(9) + "X", 14, 9},
        {"ESC * 38: 24-dot, 90 dpi", "\x1b*\x26\x03\x00"s + Data(9) + "X", 14, 9},
        {"ESC * 39: 24-dot, 180 dpi", "\x1b*\x27\x03\x00"s + Data(9) + "X", 14, 9},
        {"ESC * 40: 24-dot, 360 dpi", "\x1b*\x28\x03\x00"s + Data(9) + "X", 14, 9},
        {"ESC * 71: 48-dot, 180 dpi", "\x1b*\x47\x02\x00"s + Data(12) + "X", 17, 12},
        {"ESC * 72: 48-dot, 360 dpi", "\x1b*\x48\x02\x00"s + Data(12) + "X", 17, 12},
        {"ESC * 73: 48-dot, 360 dpi", "\x1b*\x49\x02\x00"s + Data(12) + "X", 17, 12},
        {"ESC * with 256 columns", "\x1b*\x00\x00\x01"s + Data(256) + "X", 261, 256},
        {"ESC + n: n/360 line spacing", "\x1b+\x18X"s, 3},
        {"ESC - n: underline", "\x1b-\x01X"s, 3},
        {"ESC / n: vertical tab channel", "\x1b/\x01X"s, 3},
        {"ESC 0: 1/8 line spacing",
         "\x1b"
         "0X"s,
         2},
        {"ESC 1: 7/72 line spacing",
         "\x1b"
         "1X"s,
         2, 0, TPins::k9},
        {"ESC 2: 1/6 line spacing",
         "\x1b"
         "2X"s,
         2},
        {"ESC 3 n: n/180 or n/216 line spacing",
         "\x1b"
         "3\x1eX"s,
         3},
        {"ESC 4: italic",
         "\x1b"
         "4X"s,
         2},
        {"ESC 5: italic off",
         "\x1b"
         "5X"s,
         2},
        {"ESC 6: upper half printable",
         "\x1b"
         "6X"s,
         2},
        {"ESC 7: upper control codes",
         "\x1b"
         "7X"s,
         2},
        {"ESC 8: paper-out detector off",
         "\x1b"
         "8X"s,
         2},
        {"ESC 9: paper-out detector on",
         "\x1b"
         "9X"s,
         2},
        {"ESC : NUL n m: copy ROM characters", "\x1b:\x00\x00\x00X"s, 5},
        {"ESC <: unidirectional, one line", "\x1b<X"s, 2},
        {"ESC =: MSB 0", "\x1b=X"s, 2},
        {"ESC >: MSB 1", "\x1b>X"s, 2},
        {"ESC ? n m: graphics mode of K, L, Y, Z", "\x1b?K\x21X"s, 4},
        {"ESC @: initialize", "\x1b@X"s, 2},
        {"ESC A n: n/60 or n/72 line spacing",
         "\x1b"
         "A\x0cX"s,
         3},
        {"ESC B: vertical tabs up to NUL",
         "\x1b"
         "B\x05\x0a\x00X"s,
         5},
        {"ESC C n: page length in lines",
         "\x1b"
         "C\x42X"s,
         3},
        {"ESC C NUL n: page length in inches",
         "\x1b"
         "C\x00\x0bX"s,
         4},
        {"ESC D: tabs up to NUL",
         "\x1b"
         "D\x08\x10\x18\x00X"s,
         6},
        {"ESC E: bold",
         "\x1b"
         "EX"s,
         2},
        {"ESC F: bold off",
         "\x1b"
         "FX"s,
         2},
        {"ESC G: double strike", "\x1bGX"s, 2},
        {"ESC H: double strike off", "\x1bHX"s, 2},
        {"ESC I n: control codes printable", "\x1bI\x01X"s, 3, 0, TPins::k9},
        {"ESC J n: feed now", "\x1bJ\x18X"s, 3},
        {"ESC K: 8-dot graphics", "\x1bK\x04\x00"s + Data(4) + "X", 8, 4},
        {"ESC L: 8-dot graphics, double density", "\x1bL\x04\x00"s + Data(4) + "X", 8, 4},
        {"ESC M: elite", "\x1bMX"s, 2},
        {"ESC N n: skip over perforation", "\x1bN\x06X"s, 3},
        {"ESC O: cancel skip", "\x1bOX"s, 2},
        {"ESC P: pica", "\x1bPX"s, 2},
        {"ESC Q n: right margin", "\x1bQ\x50X"s, 3},
        {"ESC R n: national characters", "\x1bR\x02X"s, 3},
        {"ESC S n: super or subscript", "\x1bS\x01X"s, 3},
        {"ESC T: script off", "\x1bTX"s, 2},
        {"ESC U n: unidirectional", "\x1bU\x01X"s, 3},
        {"ESC W n: double width", "\x1bW\x01X"s, 3},
        {"ESC X m nL nH: font by pitch and point", "\x1bX\x24\x15\x00X"s, 5},
        {"ESC Y: 8-dot graphics, double speed", "\x1bY\x04\x00"s + Data(4) + "X", 8, 4},
        {"ESC Z: 8-dot graphics, quadruple", "\x1bZ\x04\x00"s + Data(4) + "X", 8, 4},
        {"ESC \\ nL nH: relative position", "\x1b\\\x10\x00X"s, 4},
        {"ESC ^ m nL nH: 9-dot graphics", "\x1b^\x00\x03\x00"s + Data(6) + "X", 11, 6, TPins::k9},
        {"ESC a n: justification",
         "\x1b"
         "a\x01X"s,
         3},
        {"ESC b: VFU channel tabs up to NUL",
         "\x1b"
         "b\x01\x05\x0a\x00X"s,
         6},
        {"ESC c nL nH: HMI",
         "\x1b"
         "c\x24\x00X"s,
         4},
        {"ESC e m n: tab increment",
         "\x1b"
         "e\x00\x08X"s,
         4},
        {"ESC f m n: skip",
         "\x1b"
         "f\x00\x05X"s,
         4},
        {"ESC g: 15 cpi", "\x1bgX"s, 2},
        {"ESC h n: enlarged characters", "\x1bh\x01X"s, 3},
        {"ESC i n: immediate print", "\x1bi\x01X"s, 3, 0, TPins::k9},
        {"ESC j n: reverse feed", "\x1bj\x18X"s, 3},
        {"ESC k n: typeface", "\x1bk\x01X"s, 3},
        {"ESC l n: left margin", "\x1bl\x05X"s, 3},
        {"ESC m n: upper control codes, 9-pin", "\x1bm\x04X"s, 3, 0, TPins::k9},
        {"ESC p n: proportional", "\x1bp\x01X"s, 3},
        {"ESC q n: character style", "\x1bq\x01X"s, 3},
        {"ESC r n: colour", "\x1br\x01X"s, 3},
        {"ESC s n: low speed", "\x1bs\x01X"s, 3},
        {"ESC t n: character table", "\x1bt\x01X"s, 3},
        {"ESC w n: double height", "\x1bw\x01X"s, 3},
        {"ESC x n: letter quality", "\x1bx\x01X"s, 3},
        {"ESC EM n: cut-sheet feeder", "\x1b\x19\x01X"s, 3},
        {"ESC SO: double width, one line", "\x1b\x0eX"s, 2},
        {"ESC SI: condensed", "\x1b\x0fX"s, 2},
        {"ESC . 0: raster, 8 rows of 20 dots", "\x1b.\x00\x0a\x0a\x08\x14\x00"s + Data(24) + "X",
         32, 24},
        // 2 rows of 16 dots: 4 bytes from "3 times 0x0C" (counter 254) and "1 byte" (counter 0).
        {"ESC . 1: raster, run-length", "\x1b.\x01\x0a\x0a\x02\x10\x00\xfe\x0c\x00\x0cX"s, 12, 4},
    };
    return rows;
}

TEST(EscPCommandsTest, EveryCommandTakesItsParametersAndDataAndNothingMore) {
    const std::array<std::uint8_t, 4> densities = {0, 1, 2, 3};
    for (const CommandRow& row : Commands()) {
        SCOPED_TRACE(row.what);
        const Bytes data = B(row.bytes);
        const TEscPMeasure m = MeasureEscP(data, 0, row.pins, densities);
        EXPECT_TRUE(m.known);
        EXPECT_TRUE(m.complete);
        EXPECT_EQ(m.length, row.length);
        EXPECT_EQ(m.payload, row.payload);
        EXPECT_EQ(data[m.length], 'X');
    }
}

// Rendered, no command leaves a byte of its parameters or data on the page: each prints just
// the "X" after it (ESC ( ^ prints its data as characters, as it should).
class EscPCommandsPrintTest : public CommandSetFixture {};

TEST_F(EscPCommandsPrintTest, NoParameterOrDataIsEverPrinted) {
    for (const CommandRow& row : Commands()) {
        SCOPED_TRACE(row.what);
        // A command of the family first, so that the printout is read as the row's family.
        const std::string family =
            row.pins == TPins::k9 ? "\x1b^\x00\x00\x00"s : "\x1b(U\x01\x00\x0a"s;
        printer.texts.clear();
        Render(B(family + row.bytes), TCommandSet::kEscP);
        std::string printed;
        for (const std::string& page : Pages()) printed += page;
        EXPECT_EQ(printed, std::string(row.bytes).find("(^") == 1 ? "abcX" : "X");
    }
}

TEST(EscPCommandsTest, ReassignedGraphicsModeChangesTheDataOfEscK) {
    // ESC ? K 33: ESC K now prints 24-dot columns of three bytes.
    const Bytes data = B("\x1bK\x02\x00"s + Data(6) + "X");
    EXPECT_EQ(MeasureEscP(data, 0, TPins::k24, {33, 1, 2, 3}).length, 10u);
    EXPECT_EQ(MeasureEscP(data, 0, TPins::k24, {0, 1, 2, 3}).length, 6u);
}

TEST(EscPCommandsTest, UnknownCutShortAndOverlongCommands) {
    const std::array<std::uint8_t, 4> densities = {0, 1, 2, 3};
    // An unknown command: the ESC and its letter.
    TEscPMeasure m = MeasureEscP(B("\x1byZ"), 0, TPins::k24, densities);
    EXPECT_FALSE(m.known);
    EXPECT_EQ(m.length, 2u);
    // ESC as the last byte.
    m = MeasureEscP(B("ab\x1b"), 2, TPins::k24, densities);
    EXPECT_EQ(m.length, 1u);
    EXPECT_FALSE(m.complete);
    // Graphics cut short by the end of the printout end there.
    m = MeasureEscP(B("\x1bK\x0a\x00"s + Data(3)), 0, TPins::k24, densities);
    EXPECT_EQ(m.length, 7u);
    EXPECT_FALSE(m.complete);
    // A tab list without its NUL ends after 32 stops; a vertical one after 16.
    std::string stops;
    for (int i = 1; i <= 40; ++i) stops += static_cast<char>(i);
    EXPECT_EQ(MeasureEscP(B("\x1b"
                            "D" +
                            stops),
                          0, TPins::k24, densities)
                  .length,
              34u);
    EXPECT_EQ(MeasureEscP(B("\x1b"
                            "B" +
                            stops),
                          0, TPins::k24, densities)
                  .length,
              18u);
    // Run-length data that ends too soon.
    m = MeasureEscP(B("\x1b.\x01\x0a\x0a\x02\x10\x00\xfe\x0c"s), 0, TPins::k24, densities);
    EXPECT_FALSE(m.complete);
    EXPECT_EQ(m.length, 10u);
}

TEST(EscPCommandsTest, PrinterFamilyFromTheCommandsAndSpacings) {
    EXPECT_EQ(DetectPins(B("plain text\r\n")), TPins::k24);
    EXPECT_EQ(DetectPins(B("\x1b*\x27\x01\x00\x00\x00\x00"s)), TPins::k24);
    EXPECT_EQ(DetectPins(B("\x1b^\x00\x01\x00\x00\x00"s)), TPins::k9);
    EXPECT_EQ(DetectPins(B("\x1b*\x05\x01\x00\x00"s)), TPins::k9);
    EXPECT_EQ(DetectPins(B("\x1b(U\x01\x00\x0a"s)), TPins::k24);
    EXPECT_EQ(DetectPins(B("\x1b"
                           "1")),
              TPins::k9);
    // 1/6 inch: 36/216 on a 9-pin printer, 30/180 on a 24-pin one.
    EXPECT_EQ(DetectPins(B("\x1b"
                           "3\x24text\r\n")),
              TPins::k9);
    EXPECT_EQ(DetectPins(B("\x1b"
                           "3\x1etext\r\n")),
              TPins::k24);
    EXPECT_EQ(DetectPins(B("\x1b"
                           "A\x0c")),
              TPins::k9);
    // Graphics data that looks like ESC ^ is skipped with its command.
    EXPECT_EQ(DetectPins(B("\x1bK\x02\x00\x1b^"s)), TPins::k24);
}

TEST(EscPCommandsTest, NationalSetsReplaceTwelveCharacters) {
    const std::string replaced = "#$@[\\]^`{|}~";
    for (int country : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 64}) {
        int changed = 0;
        for (int b = 0x20; b < 0x80; ++b) {
            const char32_t ch =
                TEscPLanguage::NationalCharacter(country, static_cast<std::uint8_t>(b));
            if (ch == 0) continue;
            ++changed;
            EXPECT_NE(replaced.find(static_cast<char>(b)), std::string::npos)
                << country << " " << b;
        }
        EXPECT_GT(changed, 0) << country;
        EXPECT_LE(changed, 12) << country;
    }
    EXPECT_EQ(TEscPLanguage::NationalCharacter(2, '{'), U'ä');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(2, '~'), U'ß');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(1, '@'), U'à');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(3, '#'), U'£');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(5, '$'), U'¤');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(8, '\\'), U'¥');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(12, '`'), U'ü');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(64, '|'), U'®');
    EXPECT_EQ(TEscPLanguage::NationalCharacter(0, '{'), 0u);
    EXPECT_EQ(TEscPLanguage::NationalCharacter(2, 'A'), 0u);
    EXPECT_EQ(TEscPLanguage::NationalCharacter(20, '{'), 0u);
}

}  // namespace
}  // namespace quernel::test
