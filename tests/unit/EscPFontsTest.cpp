// Typefaces, letter sizes, proportional spacing, character styles and score lines of ESC/P,
// on the recording printer (see CommandSetFixture for its grid).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

class EscPFontsTest : public CommandSetFixture {
  protected:
    EscPFontsTest() {
        printer.families = {{TFontKind::kSerif, "Test Serif"},
                            {TFontKind::kSans, "Test Sans"},
                            {TFontKind::kMono, "Test Mono"}};
    }
    void Escp(const std::string& bytes) { Render(B(bytes), TCommandSet::kEscP); }
    // The text drawn as `text`, the first such; fails when there is none. ESC/P text is drawn a
    // letter at a time.
    RecordingPrinter::Text Drawn(const std::string& text) const {
        for (const auto& t : printer.texts) {
            if (std::string(t.bytes.begin(), t.bytes.end()) == text) return t;
        }
        ADD_FAILURE() << "nothing drawn as " << text;
        return {};
    }
    std::vector<RecordingPrinter::Text> AllDrawn(const std::string& text) const {
        std::vector<RecordingPrinter::Text> found;
        for (const auto& t : printer.texts) {
            if (std::string(t.bytes.begin(), t.bytes.end()) == text) found.push_back(t);
        }
        return found;
    }
};

TEST_F(EscPFontsTest, TypefacesPrintInInstalledFamiliesOfTheirKind) {
    Escp(
        "A\x1bk\x00"
        "B\x1bk\x01"
        "C\x1bk\x02"
        "D\x1bk\x03"
        "E\x1bk\x0a"
        "F\x1bk\x63"
        "G"s);
    const std::string configured = Drawn("A").font.faceName;
    EXPECT_FALSE(configured.empty());
    EXPECT_EQ(Drawn("B").font.faceName, "Test Serif");  // Roman
    EXPECT_EQ(Drawn("C").font.faceName, "Test Sans");   // Sans serif
    EXPECT_EQ(Drawn("D").font.faceName, "Test Mono");   // Courier
    EXPECT_EQ(Drawn("E").font.faceName, "Test Mono");   // Prestige
    EXPECT_EQ(Drawn("F").font.faceName, "Test Serif");  // Roman T
    EXPECT_EQ(Drawn("G").font.faceName, "Test Serif");  // no such typeface: the last stays
    // Typefaces keep the grid: each letter in its cell.
    EXPECT_EQ(Drawn("C").x - Drawn("B").x, Along(0.1) - Along(0));
}

TEST_F(EscPFontsTest, MissingKindDraftLettersAndResetKeepTheConfiguredFont) {
    printer.families.erase(TFontKind::kSans);
    Escp(
        "A\x1bk\x01"
        "B\x1bk\x04"
        "C\x1bk\x00\x1bx\x00"
        "D\x1bx\x01"
        "E\x1b@F"s);
    const std::string configured = Drawn("A").font.faceName;
    EXPECT_EQ(Drawn("B").font.faceName, configured);    // no sans installed
    EXPECT_EQ(Drawn("C").font.faceName, configured);    // no script family reported
    EXPECT_EQ(Drawn("D").font.faceName, configured);    // draft has no typefaces
    EXPECT_EQ(Drawn("E").font.faceName, "Test Serif");  // letter quality again: Roman
    EXPECT_EQ(Drawn("F").font.faceName, configured);    // reset
}

TEST_F(EscPFontsTest, ProportionalLettersStepTheirOwnWidths) {
    printer.advance = [](const TFontDesc&, std::uint8_t b) { return b == 'i' ? 100.0 : 300.0; };
    Escp("\x1bp\x01iWi\x1bp\x00xy"s);
    ASSERT_GE(printer.texts.size(), 5u);
    const auto& t = printer.texts;
    EXPECT_EQ(t[0].x, Along(0));
    EXPECT_EQ(t[1].x, t[0].x + 100);
    EXPECT_EQ(t[2].x, t[0].x + 400);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t[i].font.pitch, 1);
        EXPECT_EQ(t[i].font.width, 0);                // the letters' natural width
        EXPECT_EQ(t[i].font.faceName, "Test Serif");  // the printer's Roman
    }
    // Off again: the fixed grid from where the text stands.
    const auto fixed = Drawn("x");
    EXPECT_EQ(fixed.x, t[0].x + 500);
    EXPECT_EQ(fixed.font.pitch, 2);
    EXPECT_GT(fixed.font.width, 0);
}

TEST_F(EscPFontsTest, ProportionalFromMasterSelectAndEscXWithExtraSpace) {
    printer.advance = [](const TFontDesc& font, std::uint8_t) {
        return font.stretch == 2 ? 400.0 : 200.0;
    };
    // ESC ! 2, then 10 units of 1/180 inch between letters, then double width.
    Escp(
        "\x1b!\x02"
        "ab\x1b \x0a"
        "cd\x1bW\x01"
        "ef\x1bW\x00\x1bX\x24\x00\x00"
        "gh"s);
    const auto& t = printer.texts;
    ASSERT_GE(t.size(), 7u);
    EXPECT_EQ(t[1].x - t[0].x, 200);
    const int extra = static_cast<int>(10 * kInchAlong / 180);
    EXPECT_NEAR(t[3].x - t[2].x, 200 + extra, 1);
    EXPECT_NEAR(t[5].x - t[4].x, 400 + extra, 1);
    // ESC X 36: 10 characters an inch, fixed again.
    EXPECT_EQ(Drawn("g").font.pitch, 2);
}

TEST_F(EscPFontsTest, PointSizesScaleTheLettersOnTheBaseline) {
    // 21 points, then 10.5 again with ESC P; 8 points at 15 characters an inch (ESC X 24).
    Escp(
        "A\x1bX\x00\x2a\x00"
        "B\x1bP"
        "C\x1bX\x18\x10\x00"
        "DE"s);
    const auto a = Drawn("A"), b = Drawn("B"), c = Drawn("C"), de = Drawn("D");
    EXPECT_EQ(a.font.height, kLine);
    EXPECT_EQ(b.font.height, 2 * kLine);
    EXPECT_EQ(b.font.width, 0);  // natural width at that size
    // Twice as high, growing upward: its top 3/4 of a line higher.
    EXPECT_NEAR(b.y, a.y - 0.75 * kLine, 1);
    EXPECT_EQ(c.font.height, kLine);
    EXPECT_EQ(c.y, a.y);
    EXPECT_EQ(de.font.height, static_cast<int>(std::lround(kLine * 8 / 10.5)));
    EXPECT_GT(de.y, a.y);  // smaller letters stand on the same baseline
    // The size does not change the pitch: ESC X 24 is 15 characters an inch.
    EXPECT_NEAR(de.font.advance, kInchAlong / 15, 0.01);
}

TEST_F(EscPFontsTest, HmiFixesTheAdvanceUntilAPitchCommand) {
    // 10 units of extra space, then an HMI of 24/360 inch (which drops the extra space).
    Escp(
        "\x1b \x0a"
        "ab\x1b"
        "c\x18\x00"
        "cd\x1bM"
        "ef"s);
    const auto ab = Drawn("a"), cd = Drawn("c"), ef = Drawn("e");
    EXPECT_EQ(Drawn("b").x - ab.x, static_cast<int>(ab.font.advance));
    EXPECT_NEAR(ab.font.advance, kInchAlong / 10 + 10 * kInchAlong / 180, 0.01);
    EXPECT_NEAR(cd.font.advance, kInchAlong * 24 / 360, 0.01);
    EXPECT_NEAR(ef.font.advance, kInchAlong / 12, 0.01);
}

TEST_F(EscPFontsTest, OutlineAndShadow) {
    Escp(
        "a\x1bq\x01"
        "b\x1bq\x02"
        "c\x1bq\x03"
        "d\x1bq\x00"
        "e"s);
    EXPECT_FALSE(Drawn("a").font.outline);
    EXPECT_TRUE(Drawn("b").font.outline);
    ASSERT_EQ(AllDrawn("b").size(), 1u);
    // A shadow: a filled copy first, a few pixels to the lower right, then the letters.
    for (const char* text : {"c", "d"}) {
        const auto drawn = AllDrawn(text);
        ASSERT_EQ(drawn.size(), 2u) << text;
        EXPECT_EQ(drawn[0].x, drawn[1].x + 3);
        EXPECT_EQ(drawn[0].y, drawn[1].y + 3);
        EXPECT_FALSE(drawn[0].font.outline);
    }
    EXPECT_FALSE(Drawn("c").font.outline);
    EXPECT_TRUE(AllDrawn("d")[1].font.outline);
    EXPECT_EQ(AllDrawn("e").size(), 1u);
    EXPECT_FALSE(Drawn("e").font.outline);
}

TEST_F(EscPFontsTest, ScoreLinesDoubleBrokenAndOverAreDrawnAsLines) {
    const auto score = [](char place, char kind) { return "\x1b(-\x03\x00\x01"s + place + kind; };
    // A single underline is the font's own; a double one two lines; an overscore above the
    // letters; a broken strike-through in dashes; all cancelled.
    Escp(score(1, 1) + "ab" + score(1, 2) + "cd" + score(1, 0) + score(3, 1) + "ef" + score(3, 0) +
         score(2, 5) + "0123456789" + score(2, 0) + "gh");
    const auto ab = Drawn("a"), cd = Drawn("c"), ef = Drawn("e"), gh = Drawn("g");
    EXPECT_TRUE(ab.font.underline);
    EXPECT_FALSE(cd.font.underline);
    // The lines drawn from `from` to `to` along: each line's top and the extent it covers.
    const auto lines = [&](int from, int to) {
        std::map<int, std::pair<int, int>> found;
        for (const auto& f : printer.fills) {
            if (f.rect.left < from || f.rect.right > to) continue;
            auto [it, added] = found.emplace(f.rect.top, std::pair{f.rect.left, f.rect.right});
            it->second.first = std::min(it->second.first, f.rect.left);
            it->second.second = std::max(it->second.second, f.rect.right);
        }
        return found;
    };
    const int cell = Along(0.1) - Along(0);
    const auto under = lines(cd.x, cd.x + 2 * cell + 1);
    ASSERT_EQ(under.size(), 2u);
    for (const auto& [top, extent] : under) {
        EXPECT_EQ(extent.first, cd.x);
        EXPECT_NEAR(extent.second, cd.x + 2 * cell, 1);
        EXPECT_GT(top, cd.y + kLine / 2);  // below the letters' middle
    }
    const auto over = lines(ef.x, ef.x + 2 * cell + 1);
    ASSERT_EQ(over.size(), 1u);
    EXPECT_LT(over.begin()->first, ef.y + kLine / 8);
    EXPECT_FALSE(ef.font.underline);
    // Dashes with gaps between them, through the middle of the line.
    std::vector<TRect> dashes;
    for (const auto& f : printer.fills) {
        if (f.rect.left >= ef.x + 2 * cell && f.rect.right <= gh.x) dashes.push_back(f.rect);
    }
    std::sort(dashes.begin(), dashes.end(),
              [](const TRect& l, const TRect& r) { return l.left < r.left; });
    ASSERT_GE(dashes.size(), 15u);
    int gaps = 0;
    for (std::size_t i = 1; i < dashes.size(); ++i) {
        EXPECT_GE(dashes[i].left, dashes[i - 1].right);
        gaps += dashes[i].left > dashes[i - 1].right;
        EXPECT_EQ(dashes[i].top, dashes[0].top);
    }
    EXPECT_GE(gaps, 15);  // ten cells of a tenth of an inch: 20 dashes of 1/20 inch
    EXPECT_GT(dashes[0].top, gh.y + kLine / 4);
    EXPECT_LT(dashes[0].top, gh.y + 3 * kLine / 4);
    EXPECT_TRUE(lines(gh.x, gh.x + 2 * cell + 1).empty());
    EXPECT_FALSE(gh.font.strikeOut);
}

TEST_F(EscPFontsTest, UnderlineCommandEndsADoubleUnderline) {
    Escp(
        "\x1b(-\x03\x00\x01\x01\x02"
        "ab\x1b-\x01"
        "cd\x1b-\x00"
        "ef"s);
    const auto cd = Drawn("c");
    EXPECT_TRUE(cd.font.underline);
    const auto fillsFrom = [&](int x) {
        return std::count_if(printer.fills.begin(), printer.fills.end(),
                             [&](const auto& f) { return f.rect.left >= x; });
    };
    EXPECT_EQ(fillsFrom(cd.x), 0);
    EXPECT_EQ(fillsFrom(Drawn("a").x), 4);  // two lines under each of two letters
    EXPECT_FALSE(Drawn("e").font.underline);
}

// A reset in the middle of a page sets everything back but feeds no paper: the text after it
// goes on below what is printed, on the same sheet, from the left margin of the same line.
TEST_F(EscPFontsTest, ResetInTheMiddleOfAPageFeedsNoPaper) {
    Escp(
        "A\r\n\x1bl\x05\x1b(-\x03\x00\x01\x02\x01\x1b"
        "EBC\x1b@D\r\nE"s);
    EXPECT_EQ(PageCount(), 1);
    EXPECT_EQ(Drawn("A").y, Down(0));
    EXPECT_EQ(Drawn("B").x, Along(0.5));
    EXPECT_TRUE(Drawn("B").font.strikeOut);
    const auto d = Drawn("D"), e = Drawn("E");
    EXPECT_EQ(d.x, Along(0));  // the margin is gone
    EXPECT_EQ(d.y, Down(1.0 / 6));
    EXPECT_EQ(d.font.weight, 400);
    EXPECT_FALSE(d.font.strikeOut);
    EXPECT_EQ(e.y, Down(2.0 / 6));
}

TEST_F(EscPFontsTest, TheTableAloneIgnoresTheFontCommands) {
    Render(B("A\x1bk\x01\x1bp\x01\x1bX\x00\x2a\x00\x1bq\x01"
             "B"s),
           TCommandSet::kTable);
    const auto a = printer.texts.front();
    for (const auto& t : printer.texts) {
        EXPECT_EQ(t.font.faceName, a.font.faceName);
        EXPECT_EQ(t.font.height, a.font.height);
        EXPECT_FALSE(t.font.outline);
        EXPECT_EQ(t.font.pitch, 2);
    }
    EXPECT_TRUE(printer.fills.empty());
}

}  // namespace
}  // namespace quernel::test
