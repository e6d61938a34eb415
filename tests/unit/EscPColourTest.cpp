#include <gtest/gtest.h>

#include <sstream>

#include "engine/TracePrinter.h"
#include "support/CommandSetFixture.h"

namespace quernel::test {
namespace {

using namespace std::string_literals;

// ESC r: the ribbon's colour for text, graphics and box lines, black again after ESC @ and in
// the next printout.
class EscPColourTest : public CommandSetFixture {
  protected:
    void RenderBoxLines(const Bytes& data) {
        TPrintInterface job(services);
        job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, 1);
        TCharMapRecord map;
        ReadCharMapFile(std::filesystem::path(QUERNEL_SHIPPED_DATA_DIR) / "CharMap" / "CP437.cmap",
                        map);
        job.SetFont("Liberation Mono", 2, map);
        job.LoadDefaultSequences();
        job.SetCommandSet(TCommandSet::kEscP);
        job.SetBoxLines(true);
        job.BeginJob("test");
        job.PrintData(data, 0, false, false, status);
        job.EndJob();
    }
    std::uint32_t ColourOf(char ch) const {
        for (const auto& t : printer.texts) {
            if (!t.bytes.empty() && t.bytes[0] == static_cast<std::uint8_t>(ch)) return t.colour;
        }
        ADD_FAILURE() << "no " << ch;
        return 0xFFFFFFFF;
    }
};

TEST_F(EscPColourTest, TextGraphicsAndBoxLinesPrintInTheRibbonsColour) {
    // Black, magenta, cyan, violet, yellow, red, green; an unknown band changes nothing.
    Render(B("A\x1br\x01"
             "B\x1br\x02"
             "C\x1br\x03"
             "D\x1br\x04"
             "E\x1br\x05"
             "F\x1br\x06"
             "G\x1br\x07"
             "H\x1br\x00"
             "I"s),
           TCommandSet::kEscP);
    const std::uint32_t expected[] = {0x000000, 0xE4007C, 0x009FE3, 0x4B2C8C, 0xFFDD00,
                                      0xE2001A, 0x009A3E, 0x009A3E, 0x000000};
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ColourOf(static_cast<char>('A' + i)), expected[i]);
    }

    // A bit image in red; ESC @ makes the ribbon black again.
    Render(B("\x1br\x05\x1bK\x02\x00\xff\xff"
             "\x1b@"
             "X"s),
           TCommandSet::kEscP);
    ASSERT_EQ(printer.bitmaps.size(), 1u);
    EXPECT_EQ(printer.bitmaps[0].colour, 0xE2001Au);
    EXPECT_EQ(ColourOf('X'), 0x000000u);

    // The next printout starts black, also when the last one ended in colour.
    printer.texts.clear();
    Render(B("Y"s), TCommandSet::kEscP);
    EXPECT_EQ(ColourOf('Y'), 0x000000u);

    // A frame of box lines in cyan.
    printer.fills.clear();
    RenderBoxLines(B("\x1br\x02\xc9\xcd\xbb"s));
    ASSERT_FALSE(printer.fills.empty());
    for (const auto& fill : printer.fills) EXPECT_EQ(fill.colour, 0x009FE3u);

    // The table alone knows no ESC r: nothing changes colour.
    printer.texts.clear();
    Render(B("\x1br\x01Z"s), TCommandSet::kTable);
    EXPECT_EQ(ColourOf('Z'), 0x000000u);
}

// The trace shows a change of colour, and nothing for a printout in black.
TEST_F(EscPColourTest, TraceNamesTheColourWhenItChanges) {
    std::ostringstream out;
    TracePrinter trace(out, {4960, 7014, 600, 600, 100, 100});
    TPrintServices traced{trace, services.history, services.fileLog, services.errors, services.raw};
    const auto print = [&](const std::string& data) {
        out.str("");
        TPrintInterface job(traced);
        job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, 1);
        job.LoadDefaultSequences();
        job.SetCommandSet(TCommandSet::kEscP);
        job.BeginJob("test");
        job.PrintData(B(data), 0, false, false, status);
        job.EndJob();
        return out.str();
    };
    EXPECT_EQ(print("A\x1br\x00"
                    "B"s)
                  .find("colour"),
              std::string::npos);
    const std::string trace1 = print(
        "A\x1br\x05"
        "B\x1br\x00"
        "C"s);
    const auto red = trace1.find("  colour E2001A\n");
    const auto black = trace1.find("  colour 000000\n");
    ASSERT_NE(red, std::string::npos) << trace1;
    ASSERT_NE(black, std::string::npos) << trace1;
    EXPECT_LT(trace1.find("\"A\""), red);
    EXPECT_LT(red, trace1.find("\"B\""));
    EXPECT_LT(trace1.find("\"B\""), black);
    EXPECT_LT(black, trace1.find("\"C\""));
}

}  // namespace
}  // namespace quernel::test
