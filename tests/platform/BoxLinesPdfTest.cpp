// Box lines through the PDF as quernel-render writes it: letters and signs stay text, frames
// are shapes whose lines meet, seen in the page rasterised by poppler.
#include <algorithm>
#include <sstream>

#include "engine/RenderCommand.h"
#include "platform/PdfFills.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "tests/fakes/FakeClock.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;

class BoxLinesPdfTest : public ::testing::Test {
  protected:
    fs::path Render(const fs::path& printout, std::vector<std::string> options) {
        const fs::path pdf =
            temp_ / (printout.stem().string() + std::to_string(++renders_) + ".pdf");
        std::vector<std::string> args = {printout.string(), "-o", pdf.string()};
        args.insert(args.end(), options.begin(), options.end());
        test::RenderPdf(args, pdf, clock_);
        return pdf;
    }
    fs::path Write(const std::string& bytes) {
        const fs::path file = temp_ / ("printout" + std::to_string(++renders_) + ".prn");
        test::WriteFile(file, bytes);
        return file;
    }
    static std::string Text(const fs::path& pdf) {
        return test::RunCommand("pdftotext -layout " + test::Quote(pdf) + " -");
    }
    // The top left 6 x 1.5 inches of the first page, rasterised at 300 dpi in grey.
    QImage TopLeft(const fs::path& pdf) {
        const fs::path base = temp_ / "crop";
        test::RunCommand("pdftoppm -r 300 -x 0 -y 0 -W 1800 -H 450 -gray -singlefile -png " +
                         test::Quote(pdf) + " " + test::Quote(base));
        QImage page;
        EXPECT_TRUE(page.load(QString::fromStdString(base.string() + ".png")));
        return page.convertToFormat(QImage::Format_Grayscale8);
    }
    // The regions there without ink (lighter than half grey).
    int BlankRegions(const fs::path& pdf) {
        const QImage page = TopLeft(pdf);
        const int width = page.width();
        const int height = page.height();
        std::vector<std::uint8_t> seen(static_cast<std::size_t>(width) * height, 0);
        const auto blank = [&](int x, int y) { return page.constScanLine(y)[x] >= 128; };
        int regions = 0;
        std::vector<std::pair<int, int>> stack;
        for (int y0 = 0; y0 < height; ++y0) {
            for (int x0 = 0; x0 < width; ++x0) {
                if (seen[static_cast<std::size_t>(y0) * width + x0] || !blank(x0, y0)) continue;
                ++regions;
                stack.assign(1, {x0, y0});
                seen[static_cast<std::size_t>(y0) * width + x0] = 1;
                while (!stack.empty()) {
                    const auto [x, y] = stack.back();
                    stack.pop_back();
                    for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
                        auto& s = seen[static_cast<std::size_t>(ny) * width + nx];
                        if (s || !blank(nx, ny)) continue;
                        s = 1;
                        stack.emplace_back(nx, ny);
                    }
                }
            }
        }
        return regions;
    }

    test::TempDir temp_;
    int renders_ = 0;
    test::FakeClock clock_{test::FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
};

TEST_F(BoxLinesPdfTest, LettersAndSignsAreTextFramesAreNot) {
    const fs::path data(QUERNEL_TEST_DATA_DIR);
    const std::string polish = Text(Render(data / "box_frames_852.prn", {}));
    for (const char* words :
         {"Faktura nr 7/2024", "Łódź", "Żółć", "Ręczniki", "12,50", "Gdańsk", "ślęża", "Mydło"}) {
        EXPECT_NE(polish.find(words), std::string::npos) << words << "\n" << polish;
    }
    const std::string us = Text(Render(data / "box_frames_437.prn", {"--cmap", "CP437"}));
    for (const char* words : {"ab", "cd", "ÇÜ", "éñ", "αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²"}) {
        EXPECT_NE(us.find(words), std::string::npos) << words << "\n" << us;
    }
    // Frames and blocks are drawn, not written: neither they nor their stand-ins are text.
    for (const std::string& text : {polish, us}) {
        for (const char* sign : {"+", "|", "=", "#", "─", "═", "╔", "█", "░"}) {
            EXPECT_EQ(text.find(sign), std::string::npos) << sign << "\n" << text;
        }
    }
    // Off, the same printout prints the map's stand-ins, as before.
    EXPECT_NE(Text(Render(data / "box_frames_852.prn", {"--box-lines", "0"})).find("+==========+"),
              std::string::npos);
}

// Four empty frames (single, double, and the two mixtures of single and double lines, two cells
// each) leave 15 blank regions when every line meets the next: the outside, the 8 cells and the
// spaces between double lines (1 + 3 + 2).
std::string Frames(const std::string& before) {
    return before +
           "\xDA\xC4\xC4\xC2\xC4\xBF \xC9\xCD\xCD\xCB\xCD\xBB \xD6\xC4\xC4\xD2\xC4\xB7 "
           "\xD5\xCD\xCD\xD1\xCD\xB8\r\n"
           "\xB3  \xB3 \xB3 \xBA  \xBA \xBA \xBA  \xBA \xBA \xB3  \xB3 \xB3\r\n"
           "\xC0\xC4\xC4\xC1\xC4\xD9 \xC8\xCD\xCD\xCA\xCD\xBC \xD3\xC4\xC4\xD0\xC4\xBD "
           "\xD4\xCD\xCD\xCF\xCD\xBE\r\n";
}

TEST_F(BoxLinesPdfTest, LinesMeetAcrossCellsInTheRasterisedPage) {
    const struct {
        const char* what;
        std::string codes;
        std::vector<std::string> options;
    } cases[] = {
        {"10 cpi, 6 lines an inch", "", {}},
        {"17 cpi, 8 lines an inch",
         "\x0f\x1b"
         "0",
         {}},
        {"12 cpi double width", "\x1bM\x1bW1", {}},
        {"a grid of 136 x 88", "", {"--grid", "136,88"}},
        {"ESC/P, 1/4 inch a line",
         "\x1b"
         "A\x0f",
         {"--commands", "escp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--cmap", "CP437"});
        EXPECT_EQ(BlankRegions(Render(Write(Frames(c.codes)), options)), 15);
    }
    // With box lines off the stand-ins leave the frames open: the check sees that.
    EXPECT_EQ(BlankRegions(Render(Write(Frames("")), {"--cmap", "CP437", "--box-lines", "0"})), 1);
}

TEST_F(BoxLinesPdfTest, ShadesAreGreyBlocksAreBlack) {
    // Two cells each of ░ ▒ ▓ █: 80 cells in 200 mm, 59 pixels a pair at 300 dpi.
    const fs::path pdf = Render(Write("\xB0\xB0\xB1\xB1\xB2\xB2\xDB\xDB\r\n"), {"--cmap", "CP437"});
    const QImage page = TopLeft(pdf);
    // The middle of each pair, 5 mm from the edges and half a line (1/12 inch) down.
    const int y = 59 + 25;
    const int expected[] = {191, 128, 64, 0};
    for (int i = 0; i < 4; ++i) {
        const int x = 59 + 59 * i + 30;
        EXPECT_NEAR(page.constScanLine(y)[x], expected[i], 12) << "shade " << i;
    }
}

// A line drawn cell by cell is one rectangle in the PDF, also where the cells overlap (a line
// spacing smaller than the cell); each ink is one fill.
TEST(PdfFillsTest, LinesDrawnCellByCellAreOneRectangleEach) {
    pdf::TFills fills;
    EXPECT_TRUE(fills.Empty());
    for (int x = 0; x < 30; x += 10) {
        fills.Add({x, 5, x + 10, 7}, 255);        // ─ ─ ─
        fills.Add({4, x - 2, 6, x + 10}, 255);    // │ │ │, overlapping
        fills.Add({40 + x, 0, 50 + x, 10}, 128);  // ▒ ▒ ▒
    }
    fills.Add({100, 100, 100, 110}, 255);  // empty: nothing
    EXPECT_FALSE(fills.Empty());
    EXPECT_EQ(fills.Take(kBlack),
              "q 0.498 g\n40 0 30 10 re\nf Q\n"
              "0 5 30 2 re\n4 -2 2 32 re\nf\n");
    EXPECT_TRUE(fills.Empty());
    EXPECT_EQ(fills.Take(kBlack), "");
}

}  // namespace
}  // namespace quernel
