// Box lines: the DOS code pages' graphic characters found in the shipped and edited maps, the
// shapes of box drawing and blocks in a cell, and printouts whose frames must close at every
// pitch, line spacing and width; with box lines off, printouts print exactly as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/BoxShapes.h"
#include "engine/DataFiles.h"
#include "engine/DosGraphics.h"
#include "engine/EscapeSequences.h"
#include "engine/RenderCommand.h"
#include "engine/TracePrinter.h"
#include "host/FileUtil.h"
#include "support/PrintFixture.h"

namespace quernel::test {
namespace {

namespace fs = std::filesystem;

TCharMapRecord ShippedMap(const std::string& name) {
    TCharMapRecord map;
    ReadCharMapFile(fs::path(QUERNEL_SHIPPED_DATA_DIR) / "CharMap" / (name + ".cmap"), map);
    return map;
}

std::vector<std::uint8_t> BytesOf(const std::array<TGraphic, 256>& graphics, TGraphic kind) {
    std::vector<std::uint8_t> out;
    for (int b = 0; b < 256; ++b) {
        if (graphics[static_cast<std::size_t>(b)] == kind)
            out.push_back(static_cast<std::uint8_t>(b));
    }
    return out;
}

// ---------------------------------------------------------------- which bytes are graphic

struct TMapGraphics {
    const char* map;
    // Bytes of 0xB0..0xDF where the map's DOS code page has a letter instead of code page 437's
    // box drawing or block (from the published code page tables).
    std::vector<std::uint8_t> letters;
    // Bytes of code page 437's signs that the code page has too but the map's charset lacks.
    std::vector<std::uint8_t> signs;
};

const std::vector<std::uint8_t> kLatinLetters = {0xB5, 0xB6, 0xB7, 0xB8, 0xBD, 0xBE, 0xC6,
                                                 0xC7, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4,
                                                 0xD5, 0xD6, 0xD7, 0xD8, 0xDD, 0xDE};
const std::vector<std::uint8_t> k437Signs = {0xE0, 0xE2, 0xE3, 0xE4, 0xE5, 0xE7, 0xE8, 0xE9,
                                             0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF2,
                                             0xF3, 0xF4, 0xF5, 0xF7, 0xF9, 0xFB, 0xFC};

TEST(DosGraphicsTest, EveryShippedMapFindsItsCodePagesGraphicCharacters) {
    std::vector<std::uint8_t> mazowiaSigns = k437Signs;
    mazowiaSigns.push_back(0xFD);  // ² is missing from Windows-1250
    const std::vector<TMapGraphics> maps = {
        {"LatinII", kLatinLetters, {}},
        {"CP850", kLatinLetters, {}},
        {"CP775",
         {0xB5, 0xB6, 0xB7, 0xB8, 0xBD, 0xBE, 0xC6, 0xC7, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5,
          0xD6, 0xD7, 0xD8},
         {0xF9}},
        {"CP437", {}, k437Signs},
        {"Mazowia", {}, mazowiaSigns},
        {"Kamenicky", {}, {0xE0, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9,
                           0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2,
                           0xF3, 0xF4, 0xF5, 0xF7, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD}},
        {"CP866", {}, {0xF9, 0xFB}},
        {"CP737", {}, {0xF2, 0xF3, 0xF6, 0xF7, 0xF9, 0xFB, 0xFC}},
        // The DOS bytes unchanged through code page 852: its own box drawing.
        {"OEM", kLatinLetters, {}},
    };
    for (const TMapGraphics& m : maps) {
        SCOPED_TRACE(m.map);
        const auto graphics = FindGraphics(ShippedMap(m.map));
        std::vector<std::uint8_t> shapes;
        for (int b = 0xB0; b <= 0xDF; ++b) {
            if (std::find(m.letters.begin(), m.letters.end(), b) == m.letters.end()) {
                shapes.push_back(static_cast<std::uint8_t>(b));
            }
        }
        shapes.push_back(0xFE);  // ■
        EXPECT_EQ(BytesOf(graphics, TGraphic::kShape), shapes);
        EXPECT_EQ(BytesOf(graphics, TGraphic::kSign), m.signs);
    }
}

TEST(DosGraphicsTest, AnEditedMapKeepsWhatItsUserChose) {
    TCharMapRecord map = ShippedMap("LatinII");
    map.Map[0xC9] = 'A';  // ╔ made a letter
    map.Map[0xCD] = '*';  // ═ made another sign
    map.Map[0xC4] = '=';  // ─ given another stand-in: still a line
    const auto graphics = FindGraphics(map);
    EXPECT_EQ(graphics[0xC9], TGraphic::kNone);
    EXPECT_EQ(graphics[0xCD], TGraphic::kNone);
    EXPECT_EQ(graphics[0xC4], TGraphic::kShape);
    EXPECT_EQ(graphics[0xBA], TGraphic::kShape);
    // A map of letters only (the identity through Windows-1250: 0xC9 is É) has none.
    TCharMapRecord letters = TCharMapRecord::Identity();
    letters.CharsetIndex = 3;  // Europa Wschodnia
    EXPECT_TRUE(BytesOf(FindGraphics(letters), TGraphic::kNone).size() == 256);
}

// ---------------------------------------------------------------- shapes in a cell

// Ink of rectangles as a raster over [0, width) x [0, height).
class TRaster {
  public:
    TRaster(int left, int top, int width, int height)
        : left_(left),
          top_(top),
          width_(width),
          height_(height),
          ink_(static_cast<std::size_t>(width) * height, 0) {}
    void Fill(int l, int t, int r, int b) {
        for (int y = std::max(t, top_); y < std::min(b, top_ + height_); ++y) {
            for (int x = std::max(l, left_); x < std::min(r, left_ + width_); ++x) At(x, y) = 1;
        }
    }
    bool Ink(int x, int y) const {
        return ink_[static_cast<std::size_t>(y - top_) * width_ + (x - left_)] != 0;
    }
    // Runs of ink along a column (x fixed) or a row (y fixed), as [start, end) pairs.
    std::vector<std::pair<int, int>> Runs(bool column, int at) const {
        std::vector<std::pair<int, int>> runs;
        const int from = column ? top_ : left_;
        const int to = from + (column ? height_ : width_);
        for (int i = from; i < to; ++i) {
            if (!(column ? Ink(at, i) : Ink(i, at))) continue;
            if (!runs.empty() && runs.back().second == i) {
                runs.back().second = i + 1;
            } else {
                runs.emplace_back(i, i + 1);
            }
        }
        return runs;
    }
    // The 4-connected regions of pixels with (ink) or without ink.
    int Regions(bool ink) const {
        std::vector<std::uint8_t> seen(ink_.size(), 0);
        int regions = 0;
        std::vector<int> stack;
        for (int start = 0; start < static_cast<int>(ink_.size()); ++start) {
            if (seen[static_cast<std::size_t>(start)] ||
                (ink_[static_cast<std::size_t>(start)] != 0) != ink) {
                continue;
            }
            ++regions;
            stack.assign(1, start);
            seen[static_cast<std::size_t>(start)] = 1;
            while (!stack.empty()) {
                const int p = stack.back();
                stack.pop_back();
                const int x = p % width_, y = p / width_;
                for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= width_ || ny >= height_) continue;
                    const auto q = static_cast<std::size_t>(ny * width_ + nx);
                    if (seen[q] || (ink_[q] != 0) != ink) continue;
                    seen[q] = 1;
                    stack.push_back(static_cast<int>(q));
                }
            }
        }
        return regions;
    }

  private:
    std::uint8_t& At(int x, int y) {
        return ink_[static_cast<std::size_t>(y - top_) * width_ + (x - left_)];
    }
    int left_, top_, width_, height_;
    std::vector<std::uint8_t> ink_;
};

int StrokesFor(TArm arm) {
    return arm == TArm::kNone ? 0 : arm == TArm::kLight ? 1 : 2;
}

// Cells as the renderer makes them: 10 cpi at 600 dpi, condensed, double width, a cell that
// starts between pixels, and one whose line spacing reaches beyond it.
const std::vector<TShapeCell> kCells = {
    {100, 59, 59, 101, 101, 6},   {100.4, 34.7, 34.7, 101, 76, 6}, {3, 118, 118, 101, 101, 6},
    {7.5, 49.6, 52.1, 50, 50, 3}, {0, 59, 59, 101, 202, 6},
};

// The separate pieces of ink of 0xB3..0xDA: one for a single-line character, one per arm of a
// double-line one (═ is two strokes, ╬ four corners), two where a single line meets a double
// one from one side only (╟: the far stroke stands alone), one where it crosses or ends it.
constexpr int kPieces[] = {
    1, 1, 1, 2, 1, 1, 3, 2,  // │┤╡╢╖╕╣║
    2, 2, 1, 1, 1, 1, 1, 1,  // ╗╝╜╛┐└┴┬
    1, 1, 1, 1, 2, 2, 2, 3,  // ├─┼╞╟╚╔╩
    3, 3, 2, 4, 2, 1, 2, 1,  // ╦╠═╬╧╨╤╥
    1, 1, 1, 1, 1, 1, 1, 1,  // ╙╘╒╓╫╪┘┌
};

TEST(BoxShapesTest, LinesLeaveTheCellWhereItsArmsAreAndJoinInside) {
    for (const TShapeCell& cell : kCells) {
        const int lo = static_cast<int>(std::floor(cell.along));
        const int hi = static_cast<int>(std::floor(cell.along + cell.step));
        const int bottom = std::max(cell.height, cell.reach);
        // Where each kind of arm crosses each edge: the same for every character, so that
        // the lines of neighbouring cells meet.
        std::map<std::string, std::vector<std::pair<int, int>>> crossings;
        for (int b = 0xB3; b <= 0xDA; ++b) {
            SCOPED_TRACE(::testing::Message() << "byte " << std::hex << b << " cell " << cell.width
                                              << "x" << cell.height);
            std::vector<TShapeRect> rects;
            AppendShape(static_cast<std::uint8_t>(b), cell, rects);
            TRaster raster(lo, 0, hi - lo, bottom);
            for (const TShapeRect& r : rects) {
                EXPECT_GE(r.along0, lo);
                EXPECT_LE(r.along1, hi);
                EXPECT_GE(r.across0, 0);
                EXPECT_LE(r.across1, bottom);
                EXPECT_EQ(r.ink, 255);
                raster.Fill(r.along0, r.across0, r.along1, r.across1);
            }
            const TBoxArms arms = BoxArms(static_cast<std::uint8_t>(b));
            const struct {
                const char* side;
                TArm arm;
                bool column;
                int at;
            } edges[] = {{"left", arms.left, true, lo},
                         {"right", arms.right, true, hi - 1},
                         {"up", arms.up, false, 0},
                         {"down", arms.down, false, bottom - 1}};
            for (const auto& edge : edges) {
                const auto runs = raster.Runs(edge.column, edge.at);
                EXPECT_EQ(static_cast<int>(runs.size()), StrokesFor(edge.arm)) << edge.side;
                if (edge.arm == TArm::kNone) continue;
                // Left and right arms cross at the same heights, up and down at the same places.
                const std::string key =
                    std::string(edge.column ? "h" : "v") + (edge.arm == TArm::kLight ? "1" : "2");
                const auto [known, fresh] = crossings.emplace(key, runs);
                if (!fresh) {
                    EXPECT_EQ(runs, known->second) << edge.side;
                }
            }
            // Joined as the code page draws it: pieces that meet are one, and no piece floats.
            EXPECT_EQ(raster.Regions(true), kPieces[b - 0xB3]) << "pieces of the lines";
        }
    }
}

TEST(BoxShapesTest, BlocksAndShadesFillTheirPartOfTheCell) {
    const TShapeCell cell{10, 60, 60, 100, 120, 6};
    const auto shape = [&](std::uint8_t b) {
        std::vector<TShapeRect> rects;
        AppendShape(b, cell, rects);
        return rects;
    };
    EXPECT_EQ(shape(0xDB), (std::vector<TShapeRect>{{10, 0, 70, 120, 255}}));  // █ to the next line
    EXPECT_EQ(shape(0xDF), (std::vector<TShapeRect>{{10, 0, 70, 50, 255}}));    // ▀
    EXPECT_EQ(shape(0xDC), (std::vector<TShapeRect>{{10, 50, 70, 120, 255}}));  // ▄
    EXPECT_EQ(shape(0xDD), (std::vector<TShapeRect>{{10, 0, 40, 120, 255}}));   // ▌
    EXPECT_EQ(shape(0xDE), (std::vector<TShapeRect>{{40, 0, 70, 120, 255}}));   // ▐
    EXPECT_EQ(shape(0xB0).at(0).ink, 64);                                       // ░
    EXPECT_EQ(shape(0xB1).at(0).ink, 128);                                      // ▒
    EXPECT_EQ(shape(0xB2).at(0).ink, 192);                                      // ▓
    const TShapeRect square = shape(0xFE).at(0);                                // ■, centred
    EXPECT_EQ(square.along1 - square.along0, square.across1 - square.across0);
    EXPECT_NEAR((square.along0 + square.along1) / 2.0, 40, 1);
    EXPECT_NEAR((square.across0 + square.across1) / 2.0, 50, 1);
    EXPECT_TRUE(shape('A').empty());
    EXPECT_TRUE(shape(0xE0).empty());  // α is a letter
}

// ---------------------------------------------------------------- printouts

class BoxLinesPrintTest : public PrintFixture {
  protected:
    void Print(const Bytes& printout, const std::string& map, bool boxLines, int orientation = 0,
               TCommandSet commands = TCommandSet::kTable) {
        TPrintInterface job(services);
        job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, orientation, 1);
        job.SetFont("Liberation Mono", 2, ShippedMap(map));
        job.LoadDefaultSequences();
        job.AddSequences(ReadSequenceFile(fs::path(QUERNEL_SHIPPED_DATA_DIR) / "Seq/EPSON+HP.seq"));
        job.AddSequence(ToBytes("\x1b\x33"), meaning::kLpi3);  // a line spacing beyond the cell
        job.SetCommandSet(commands);
        job.SetBoxLines(boxLines);
        job.BeginJob("Ramki");
        TPrinterStatus status;
        job.PrintData(printout, 0, false, false, status);
        job.EndJob();
    }
    // The regions without ink inside the fills' bounds, a blank border around them.
    int BlankRegions() const {
        int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
        for (const auto& f : printer.fills) {
            l = std::min(l, f.rect.left);
            t = std::min(t, f.rect.top);
            r = std::max(r, f.rect.right);
            b = std::max(b, f.rect.bottom);
        }
        if (printer.fills.empty()) return 0;
        TRaster raster(l - 2, t - 2, r - l + 4, b - t + 4);
        for (const auto& f : printer.fills) {
            raster.Fill(f.rect.left, f.rect.top, f.rect.right, f.rect.bottom);
        }
        return raster.Regions(false);
    }
};

// Four frames side by side: single, double, double sides with single ends and single sides
// with double ends, each of two cells. Closed, they leave 15 regions without ink: the outside,
// two cells a frame, the space between the lines of the double frame (one, through its
// divider), the three between the double sides of the third frame and the two between the
// double ends of the fourth.
Bytes Frames(const std::string& before) {
    const char* rows[] = {
        "\xDA\xC4\xC4\xC2\xC4\xBF \xC9\xCD\xCD\xCB\xCD\xBB \xD6\xC4\xC4\xD2\xC4\xB7 "
        "\xD5\xCD\xCD\xD1\xCD\xB8",
        "\xB3"
        "ab\xB3"
        "c\xB3 \xBA"
        "ab\xBA"
        "c\xBA \xBA"
        "ab\xBA"
        "c\xBA \xB3"
        "ab\xB3"
        "c\xB3",
        "\xC0\xC4\xC4\xC1\xC4\xD9 \xC8\xCD\xCD\xCA\xCD\xBC \xD3\xC4\xC4\xD0\xC4\xBD "
        "\xD4\xCD\xCD\xCF\xCD\xBE",
    };
    std::string out = before;
    for (const char* row : rows) out += std::string(row) + "\r\n";
    return ToBytes(out);
}

TEST_F(BoxLinesPrintTest, FramesCloseAtEveryPitchLineSpacingAndWidth) {
    const struct {
        const char* what;
        std::string codes;
        int orientation;
    } cases[] = {
        {"10 cpi, 6 lines an inch", "", 0},
        {"12 cpi, 8 lines an inch",
         "\x1bM\x1b"
         "0",
         0},
        {"17 cpi", "\x0f", 0},
        {"double width", "\x1bW1", 0},
        {"double width condensed, 3 lines an inch", "\x0f\x1bW1\x1b\x33", 0},
        {"landscape", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        printer.fills.clear();
        Print(Frames(c.codes), "CP437", true, c.orientation);
        EXPECT_EQ(BlankRegions(), 15);
    }
    // Read as ESC/P: with its own line spacing of 15/60 inch; in double height and width (after
    // a blank line, where double height takes effect); in code page 437 chosen by the printout
    // itself (ESC ( t, ESC t) under a map of 852.
    const struct {
        const char* what;
        std::string codes;
        const char* map;
    } escp[] = {
        {"ESC A",
         "\x1b"
         "A\x0f",
         "CP437"},
        {"ESC w, ESC W", "\r\n\x1bw\x01\x1bW\x01", "CP437"},  // not on the first line
        {"ESC ( t", std::string("\x1b(t\x03\x00\x01\x01\x00\x1bt\x01", 11), "LatinII"},
    };
    for (const auto& c : escp) {
        SCOPED_TRACE(c.what);
        printer.fills.clear();
        Print(Frames(c.codes), c.map, true, 0, TCommandSet::kEscP);
        EXPECT_EQ(BlankRegions(), 15);
    }
}

TEST_F(BoxLinesPrintTest, LettersStayTextSignsPrintAsThemselvesShapesAreNotText) {
    Print(ToBytes("Suma \xC4\xC4 \xE3r\xFD \xF1\xB3\r\n"), "CP437", true);
    std::string text;
    for (const auto& t : printer.texts) {
        text += ToUtf8(CodePageForCharset(t.font.charset), t.bytes);
    }
    EXPECT_EQ(text, "Suma  πr² ±");  // ─ and │ are shapes; π through code page 437
    EXPECT_FALSE(printer.fills.empty());
    // Off: the map's stand-ins, as text.
    printer.texts.clear();
    printer.fills.clear();
    Print(ToBytes("Suma \xC4\xC4 \xE3r\xFD \xF1\xB3\r\n"), "CP437", false);
    text.clear();
    for (const auto& t : printer.texts) text += ToUtf8(CodePageForCharset(t.font.charset), t.bytes);
    EXPECT_EQ(text, "Suma -- ?r² ±|");
    EXPECT_TRUE(printer.fills.empty());
}

// The traces were made by the renderer before box lines existed: with them off, every text
// run of these printouts of frames, blocks and signs is drawn exactly as then.
TEST_F(BoxLinesPrintTest, OffPrintsExactlyAsBefore) {
    for (const auto& [printout, map] : {std::pair{"box_frames_852.prn", "LatinII"},
                                        {"box_frames_437.prn", "CP437"},
                                        {"box_frames_437.prn", "Kamenicky"}}) {
        SCOPED_TRACE(map);
        const fs::path data(QUERNEL_TEST_DATA_DIR);
        const std::string file = (data / printout).string();
        const std::string golden =
            data / (fs::path(printout).stem().string() + "." + map + ".trace");
        std::ostringstream out, err;
        TracePrinter trace(out, {4960, 7014, 600, 600, 100, 100});
        const RenderArgs args =
            ParseRenderArgs({file, "--cmap", map, "--trace", "--box-lines", "0"});
        ASSERT_EQ(args.error, "");
        ASSERT_EQ(RunRender(args.options, trace, pictures, QUERNEL_SHIPPED_DATA_DIR, err), 0)
            << err.str();
        const Bytes expected = ReadWholeFile(golden);
        EXPECT_EQ(out.str(), std::string(expected.begin(), expected.end()));
    }
}

TEST(RenderArgsBoxLinesTest, OnUnlessSwitchedOff) {
    EXPECT_TRUE(ParseRenderArgs({"in.prn"}).options.boxLines);
    EXPECT_FALSE(ParseRenderArgs({"in.prn", "--box-lines", "0"}).options.boxLines);
    EXPECT_NE(ParseRenderArgs({"in.prn", "--box-lines", "off"}).error, "");
}

}  // namespace
}  // namespace quernel::test
