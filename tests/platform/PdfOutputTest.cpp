#include <signal.h>
#include <sys/resource.h>

#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>
#include <QRegion>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "engine/CharMap.h"
#include "engine/CodePages.h"
#include "platform/QtPageCanvas.h"
#include "platform/QtPrinterPlatform.h"
#include "tests/fakes/FakeClock.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::Font;
using test::InkIn;
using test::TInk;

// Pages are drawn at 600 dpi and rasterised at 75: a raster pixel is 8 device pixels.
constexpr int kRasterDpi = 75;
constexpr int kScale = 8;

struct TCall {
    int x;
    int y;
    TFontDesc font;
    std::string text;
};

// The device-pixel cell of character i of a call, turned with the text.
QRect CellOf(const TCall& call, int i) {
    const TFontDesc& f = call.font;
    if (f.escapement == -900)
        return QRect(call.x - f.height, call.y + i * f.width, f.height, f.width);
    return QRect(call.x + i * f.width, call.y, f.width, f.height);
}

QRect ToRaster(const QRect& device) {
    return QRect(device.left() / kScale, device.top() / kScale, device.width() / kScale,
                 device.height() / kScale);
}

// The operators of a page's content stream that place text: literal strings are skipped with
// their escapes.
struct TTextOperators {
    int arrays = 0;   // TJ
    int numbers = 0;  // position adjustments inside TJ arrays
    int moves = 0;    // Td, T* and Tm
    int escapes = 0;  // backslashes inside strings
};

TTextOperators TextOperatorsOf(const std::string& content) {
    TTextOperators ops;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '(') {
            for (++i; i < content.size() && content[i] != ')'; ++i) {
                if (content[i] == '\\') {
                    ++ops.escapes;
                    ++i;
                }
            }
        } else if (c == 'T' && i + 1 < content.size()) {
            const char op = content[i + 1];
            if (op == 'J') ++ops.arrays;
            if (op == 'd' || op == '*' || op == 'm') ++ops.moves;
        } else if ((c == '-' || std::isdigit(static_cast<unsigned char>(c))) && i > 0 &&
                   (content[i - 1] == ')' || content[i - 1] == '[')) {
            ++ops.numbers;
        }
    }
    return ops;
}

// The content stream of the (last) page with text.
std::string TextContent(const fs::path& pdf) {
    std::string content;
    for (const std::string& s : test::PdfStreams(pdf)) {
        if (s.find("BT\n") != std::string::npos) content = s;
    }
    return content;
}

// The words pdftotext finds, each with its left edge (the first glyph's origin) in device
// pixels (600 dpi from the sheet's corner, where the drawing origin is).
std::vector<std::pair<std::string, double>> WordsOf(const fs::path& pdf) {
    const std::string html = test::RunCommand("pdftotext -bbox " + test::Quote(pdf) + " -");
    std::vector<std::pair<std::string, double>> words;
    for (std::size_t at = html.find("<word xMin=\""); at != std::string::npos;
         at = html.find("<word xMin=\"", at + 1)) {
        const std::size_t open = html.find('>', at) + 1;
        words.emplace_back(html.substr(open, html.find('<', open) - open),
                           std::stod(html.substr(at + 12)) * 600 / 72);
    }
    return words;
}

// A printout through the platform into one PDF file.
class PlatformPdfOutput : public ::testing::Test {
  protected:
    PlatformPdfOutput() { printer_.SetOutputFile(pdf()); }

    fs::path pdf() const { return temp_ / "out.pdf"; }

    void Print(const std::function<void(QtPrinterPlatform&)>& draw,
               const std::string& title = "test") {
        printer_.SetTitle(title);
        printer_.BeginDoc();
        draw(printer_);
        printer_.EndDoc();
    }

    void Print(const std::vector<TCall>& calls) {
        Print([&](QtPrinterPlatform& p) {
            for (const TCall& c : calls) p.TextOut(c.x, c.y, c.font, ToBytes(c.text));
        });
    }

    QImage Page(int page) { return test::RasterisePage(pdf(), page, kRasterDpi, temp_.path()); }

    test::TempDir temp_;
    FakeClock clock_{FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
    QtPrinterPlatform printer_{clock_};
};

// The PDF puts every glyph where QtPageCanvas draws it: same cell, baseline, stretch, face and
// turn, for whole strings and for one call per character at truncated positions.
TEST_F(PlatformPdfOutput, GlyphsLandInTheCellsQtPageCanvasDrawsThem) {
    const TFontDesc mono = Font("Liberation Mono", 400, 240);
    TFontDesc bold = mono;
    bold.weight = 700;
    TFontDesc italic = Font("Liberation Mono", 400, 200);
    italic.italic = true;
    italic.underline = true;
    TFontDesc down = mono;
    down.escapement = down.orientation = -900;
    std::vector<TCall> calls = {
        {400, 300, mono, "Hgj|"},
        {400, 1300, bold, "MbW"},
        {2000, 1300, italic, "fyQ"},
        {400, 1900, Font("Liberation Sans", 400, 240), "iWm"},
        {2400, 1900, Font("DejaVu Sans", 400, 140), "oWi"},  // a condensed face
        {4600, 2600, down, "TgE"},
    };
    // One call per character, as the renderer makes them: cells 241 or 242 pixels apart, with
    // the exact advance, so glyphs may sit up to a device pixel (1/8 of a raster pixel) from
    // their cells; the tolerances below hold that.
    TFontDesc perChar = Font("Liberation Mono", 400, 241);
    perChar.advance = 241.6;
    for (int i = 0; i < 9; ++i) {
        calls.push_back(
            {static_cast<int>(400 + i * 241.6), 800, perChar, std::string(1, "HxH@jHWHg"[i])});
    }
    Print(calls);
    const QImage page = Page(1);

    QImage reference(page.size(), QImage::Format_RGB32);
    reference.fill(Qt::white);
    {
        QPainter painter(&reference);
        painter.scale(1.0 / kScale, 1.0 / kScale);
        QtPageCanvas canvas;
        canvas.Begin(painter);
        for (const TCall& c : calls) canvas.TextOut(c.x, c.y, c.font, ToBytes(c.text));
        canvas.End();
    }

    int cells = 0;
    QRegion drawn;
    for (const TCall& call : calls) {
        for (int i = 0; i < static_cast<int>(call.text.size()); ++i) {
            const QRect cell = ToRaster(CellOf(call, i));
            drawn += cell.adjusted(-1, -1, 1, 1);
            // Poppler and Qt anti-alias and hint differently: a pixel or so apart. A wrong
            // baseline, stretch or face is several pixels off.
            const TInk got = InkIn(page, cell);
            const TInk want = InkIn(reference, cell);
            SCOPED_TRACE(call.font.faceName + " '" + call.text[static_cast<std::size_t>(i)] + "'");
            ASSERT_GT(want.count, 0);
            ASSERT_GT(got.count, 0);
            EXPECT_NEAR(got.centerX, want.centerX, 1.5);
            EXPECT_NEAR(got.centerY, want.centerY, 1.5);
            EXPECT_NEAR(got.box.left(), want.box.left(), 2);
            EXPECT_NEAR(got.box.right(), want.box.right(), 2);
            EXPECT_NEAR(got.box.top(), want.box.top(), 2);
            EXPECT_NEAR(got.box.bottom(), want.box.bottom(), 2);
            EXPECT_NEAR(got.count, want.count, want.count * 0.35 + 3);
            ++cells;
        }
    }
    EXPECT_EQ(cells, 28);
    // Nothing is drawn outside the cells that QtPageCanvas does not draw there too (italic
    // letters may overhang their cell).
    const auto stray = [&](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 128 && !drawn.contains(QPoint(x, y))) ++count;
            }
        }
        return count;
    };
    EXPECT_LE(stray(page), stray(reference) + 3);
}

// A line drawn one character at a time is one text array; blanks are space glyphs, and a
// number moves the text on only where a cell is a pixel further than the font's width.
TEST_F(PlatformPdfOutput, LineOfSingleCharacterCallsIsOneTextArrayAdjustedOnlyAtWiderGaps) {
    const std::vector<std::string> lines = {"Faktura numer 12/2024 z dnia 9 marca",
                                            "Razem do zaplaty:   1234,56 zl", "uwagi: brak"};
    const TFontDesc font = Font("Liberation Mono", 101, 59);
    int expectedNumbers = 0;
    Print([&](QtPrinterPlatform& p) {
        for (std::size_t l = 0; l < lines.size(); ++l) {
            const std::string& line = lines[l];
            int lastGlyph = -1;
            for (int i = 0; i < static_cast<int>(line.size()); ++i) {
                const int x = static_cast<int>(118 + i * 59.05);
                p.TextOut(x, 118 + static_cast<int>(l) * 101, font, ToBytes(line.substr(i, 1)));
                if (line[static_cast<std::size_t>(i)] == ' ') continue;
                if (lastGlyph >= 0) {
                    const int lastX = static_cast<int>(118 + lastGlyph * 59.05);
                    if (x - lastX != 59 * (i - lastGlyph)) ++expectedNumbers;
                }
                lastGlyph = i;
            }
        }
    });

    const std::string content = TextContent(pdf());
    ASSERT_FALSE(content.empty());
    const TTextOperators ops = TextOperatorsOf(content);
    EXPECT_EQ(ops.arrays, 3);
    EXPECT_GT(expectedNumbers, 0);
    EXPECT_EQ(ops.numbers, expectedNumbers);
    const std::string text = test::PdfPageText(pdf(), 1);
    // (pdftotext splits a line at a wide gap.)
    for (const char* part : {"Faktura numer 12/2024 z dnia 9 marca",
                             "Razem do zaplaty:", "1234,56 zl", "uwagi: brak"}) {
        EXPECT_NE(text.find(part), std::string::npos) << text;
    }

    // The embedded font holds only what the page uses: the whole PDF is a fraction of the
    // font's outlines alone.
    QFont qfont("Liberation Mono");
    const auto outlines = QRawFont::fromFont(qfont).fontTable("glyf").size();
    EXPECT_LT(fs::file_size(pdf()), static_cast<std::uintmax_t>(outlines) / 10);
}

// Polish letters in Windows-1250 and code page 852, box drawing and symbols come out as text;
// a character Liberation Mono lacks is drawn, in its cell, from a fallback font embedded as
// another font.
TEST_F(PlatformPdfOutput, TextIsExtractedAndMissingCharactersComeFromAFallbackFont) {
    const TFontDesc symbol = Font("Liberation Mono", 400, 240, 2);
    const QRawFont raw = QRawFont::fromFont(SizeFontForCell(symbol).font);
    const auto& table = CodePageTable(CodePage::kAdobeSymbol);
    int missing = -1;
    for (int b = 0xA1; b < 256 && missing < 0; ++b) {
        const char32_t ch = table[static_cast<std::size_t>(b)];
        if (ch != 0xFFFD && raw.glyphIndexesForString(QString::fromUcs4(&ch, 1)).value(0) == 0) {
            missing = b;
        }
    }
    ASSERT_GE(missing, 0);
    Bytes symbols = ToBytes("abX");
    symbols[2] = static_cast<std::uint8_t>(missing);
    Bytes withMissing = ToBytes("A A");
    withMissing[1] = static_cast<std::uint8_t>(missing);

    Print(
        [&](QtPrinterPlatform& p) {
            p.TextOut(118, 118, Font("Liberation Mono", 101, 59, 238), test::kPolishCp1250);
            p.TextOut(118, 219, Font("Liberation Mono", 101, 59, 255), test::kPolishCp852);
            p.TextOut(118, 320, Font("Liberation Mono", 101, 59, 255),
                      ToBytes("\xC9\xCD\xCD\xBB \xB0\xB1\xB2\xDB"));
            p.TextOut(118, 421, Font("Liberation Mono", 101, 59, 2), symbols);
            p.TextOut(400, 1000, symbol, withMissing);
        },
        test::kPolishUtf8);

    const std::string text = test::PdfPageText(pdf(), 1);
    const auto first = text.find(test::kPolishUtf8);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find(test::kPolishUtf8, first + 1), std::string::npos) << text;
    EXPECT_NE(text.find("╔══╗ ░▒▓█"), std::string::npos) << text;
    std::string greek = "αβ";
    AppendUtf8(greek, table[static_cast<std::size_t>(missing)]);
    EXPECT_NE(text.find(greek), std::string::npos) << text;
    EXPECT_NE(test::PdfFonts(pdf()).find("DejaVuSans"), std::string::npos);
    EXPECT_NE(test::RunCommand("pdfinfo " + test::Quote(pdf()))
                  .find("Title:           " + test::kPolishUtf8),
              std::string::npos);

    const QImage page = Page(1);
    const auto cell = [&](int i) { return ToRaster(QRect(400 + i * 240, 1000, 240, 400)); };
    EXPECT_GT(InkIn(page, cell(1)).count, 20);
    const TInk a1 = InkIn(page, cell(0));
    const TInk a2 = InkIn(page, cell(2));
    EXPECT_NEAR(a2.centerX - a1.centerX, 2 * 240 / kScale, 0.5);
    EXPECT_NEAR(a2.centerY, a1.centerY, 0.5);
}

// Bold text uses the bold face; underline and strike-out run under blanks too, unbroken.
TEST_F(PlatformPdfOutput, BoldFaceAndUnbrokenUnderlineAndStrikeOut) {
    const TFontDesc plain = Font("Liberation Mono", 400, 240);
    TFontDesc bold = plain;
    bold.weight = 700;
    TFontDesc under = plain;
    under.underline = true;
    TFontDesc struck = plain;
    struck.strikeOut = true;
    Print([&](QtPrinterPlatform& p) {
        p.TextOut(400, 400, plain, ToBytes("HHHH"));
        p.TextOut(400, 1000, bold, ToBytes("HHHH"));
        p.TextOut(400, 1600, under, ToBytes("A  B"));
        p.TextOut(400, 2200, struck, ToBytes("A  B"));
    });
    EXPECT_NE(test::PdfFonts(pdf()).find("LiberationMono-Bold"), std::string::npos);

    const QImage page = Page(1);
    const QRect row = ToRaster(QRect(400, 0, 4 * 240, 400));
    const int regular = InkIn(page, row.translated(0, 400 / kScale)).count;
    EXPECT_GT(InkIn(page, row.translated(0, 1000 / kScale)).count, regular * 1.2);

    const int baseline = static_cast<int>(SizeFontForCell(plain).ascent) / kScale;
    const QRect blanks = ToRaster(QRect(400 + 240, 0, 2 * 240, 400));
    const TInk line = InkIn(page, blanks.translated(0, 1600 / kScale));
    ASSERT_GT(line.count, 0);
    EXPECT_GE(line.box.top(), 1600 / kScale + baseline);
    for (int col = row.left() + 1; col < row.right() - 1; ++col) {
        ASSERT_GT(InkIn(page, QRect(col, 1600 / kScale + baseline, 1, 50 - baseline)).count, 0)
            << col;
    }
    const TInk strike = InkIn(page, blanks.translated(0, 2200 / kScale));
    ASSERT_GT(strike.count, 0);
    EXPECT_LT(strike.box.bottom(), 2200 / kScale + baseline);
    EXPECT_GT(strike.box.top(), 2200 / kScale);
}

// A face is embedded once however many sizes and widths draw it, and each style keeps its own:
// regular and bold text at two cells, in turn, make two fonts, and the text reads back in order.
TEST_F(PlatformPdfOutput, EachFaceIsEmbeddedOnceAcrossCellSizes) {
    const TFontDesc regular = Font("Liberation Mono", 400, 240);
    TFontDesc bold = regular;
    bold.weight = 700;
    TFontDesc narrow = Font("Liberation Mono", 300, 120);
    TFontDesc narrowBold = narrow;
    narrowBold.weight = 700;
    Print([&](QtPrinterPlatform& p) {
        int y = 400;
        const TFontDesc* order[] = {&regular, &bold, &narrow, &narrowBold, &regular, &narrowBold};
        for (const TFontDesc* f : order) {
            p.TextOut(400, y, *f, ToBytes("Ab1"));
            y += 500;
        }
    });
    const std::string fonts = test::PdfFonts(pdf());
    std::vector<std::string> embedded;
    for (std::size_t at = fonts.find("+Liberation"); at != std::string::npos;
         at = fonts.find("+Liberation", at + 1)) {
        embedded.push_back(fonts.substr(at + 1, fonts.find(' ', at) - at - 1));
    }
    std::sort(embedded.begin(), embedded.end());
    EXPECT_EQ(embedded, (std::vector<std::string>{"LiberationMono", "LiberationMono-Bold"}))
        << fonts;
    const std::string text = test::PdfPageText(pdf(), 1);
    std::size_t lines = 0;
    for (std::size_t at = text.find("Ab1"); at != std::string::npos;
         at = text.find("Ab1", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 6u) << text;
}

// With the renderer's exact advance, one call per character at truncated positions needs
// position numbers only for real jumps (a tab past the blank glyphs, a backspace), and a line
// is one move of the text position across changes of style; every word starts within a pixel
// of where it was asked for. Underlines and strike-outs of neighbouring cells, touching or a
// pixel apart, are one rectangle each.
TEST_F(PlatformPdfOutput, RendererLinesNeedNumbersOnlyForJumpsAndStayWithinAPixel) {
    TFontDesc regular = Font("Liberation Mono", 101, 59);
    regular.advance = 59.05;
    TFontDesc bold = regular, under = regular, both = regular;
    bold.weight = 700;
    under.underline = both.underline = both.strikeOut = true;
    TFontDesc condensed = Font("Liberation Mono", 101, 34);
    condensed.advance = 34.735;
    TFontDesc wide = Font("Liberation Mono", 101, 118);
    wide.advance = 118.1;
    std::vector<std::pair<std::string, int>> words;  // as asked for: text, left
    std::vector<std::pair<int, int>> lines;          // left and right of the lined text
    double along = 118.11;
    int y = 118;
    Print([&](QtPrinterPlatform& p) {
        const auto text = [&](const std::string& s, const TFontDesc& f) {
            for (std::size_t i = 0; i < s.size(); ++i) {
                const int x = static_cast<int>(along);
                p.TextOut(x, y, f, ToBytes(s.substr(i, 1)));
                if (f.underline && i == 0) lines.emplace_back(x, 0);
                if (f.underline) lines.back().second = x + f.width;
                along += f.advance;
                if (s[i] == ' ' || s[i] == '_') continue;  // (the underscore overprints)
                if (i == 0 || s[i - 1] == ' ') words.emplace_back("", x);
                words.back().first += s[i];
            }
        };
        text("Faktura ", regular);
        text("numer 12/2024 z dnia", under);  // cells a pixel apart from the 18th on
        text(" 9 marca ", regular);
        text("Razem", bold);
        text(" do zaplaty: ", regular);
        text("1234,56 zl", condensed);
        text(" oraz ", regular);
        text("VAT", wide);
        text(" koniec", regular);
        along = 118.11;
        y += 101;
        text("Pozycja", regular);
        along += 20 * regular.advance;  // a tab
        text("uwagi", regular);
        along -= regular.advance;  // a backspace
        text("_ brak ", regular);
        text("konto", both);
        along = 118.11;
        y += 101;
        text("sprzedawca nabywca faktura brutto netto podatek razem termin zaplaty konto bank",
             regular);
    });

    const std::string content = TextContent(pdf());
    const TTextOperators ops = TextOperatorsOf(content);
    EXPECT_EQ(ops.numbers, 2);
    EXPECT_EQ(ops.moves, 3);
    const auto found = WordsOf(pdf());
    ASSERT_EQ(words.size(), 30u);
    for (std::size_t w = 0, i = 0; w < words.size(); ++w, ++i) {
        while (i < found.size() && found[i].first != words[w].first) ++i;
        ASSERT_LT(i, found.size()) << words[w].first;
        EXPECT_NEAR(found[i].second, words[w].second, 1.0) << words[w].first;
    }
    // Rectangles as "x y width height re", in the order drawn.
    std::vector<std::array<double, 4>> rects;
    std::istringstream in(content.substr(content.rfind("ET\n")));
    for (std::string line; std::getline(in, line);) {
        std::array<double, 4> r{};
        if (std::sscanf(line.c_str(), "%lf %lf %lf %lf re", &r[0], &r[1], &r[2], &r[3]) == 4) {
            rects.push_back(r);
        }
    }
    ASSERT_EQ(rects.size(), 3u) << content;
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t r = 0; r < rects.size(); ++r) {
        const auto [left, right] = lines[r == 0 ? 0 : 1];
        EXPECT_NEAR(rects[r][0], left, 0.01);
        EXPECT_NEAR(rects[r][0] + rects[r][2], right, 0.01);
    }
    EXPECT_NE((lines[0].second - lines[0].first) % 59, 0);  // some cells a pixel apart
}

// A face with more glyphs than one-byte codes is split into font resources that share one
// embedded subset and one CIDFont, whose widths cover every glyph their encodings name; glyph
// codes are never escaped, all text is extracted, and glyphs of a later resource are drawn
// just as in a document of their own.
TEST_F(PlatformPdfOutput, FaceWithMoreGlyphsThanCodesSharesOneSubsetAndStaysText) {
    std::vector<TCall> calls, greek;
    std::string expected;
    std::set<char32_t> before;  // drawn before the Greek lines: more than one resource holds
    int y = 118;
    for (const std::uint8_t charset : {238, 204, 161, 255}) {
        const auto& table = CodePageTable(CodePageForCharset(charset));
        std::string bytes;
        for (int b = charset == 238 ? 0x21 : 0x80; b < 256; ++b) {
            const char32_t ch = table[static_cast<std::size_t>(b)];
            if (ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0) || ch == 0xFFFD) continue;  // blanks
            bytes += static_cast<char>(b);
            AppendUtf8(expected, ch);
            if (charset == 238 || charset == 204) before.insert(ch);
        }
        for (std::size_t i = 0; i < bytes.size(); i += 64, y += 101) {
            calls.push_back(
                {118, y, Font("Liberation Mono", 101, 59, charset), bytes.substr(i, 64)});
            if (charset == 161) greek.push_back(calls.back());
        }
    }
    ASSERT_GT(before.size(), 256u);
    Print(calls);

    std::string text = test::PdfPageText(pdf(), 1);
    std::erase_if(text, [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
    EXPECT_EQ(text, expected);
    EXPECT_EQ(TextOperatorsOf(TextContent(pdf())).escapes, 0);
    const std::string fonts = test::PdfFonts(pdf());
    EXPECT_NE(fonts.find("+LiberationMono "), fonts.rfind("+LiberationMono "));
    std::string objects;
    for (const std::string& s : test::PdfStreams(pdf())) objects += s;
    const auto count = [](const std::string& in, const std::string& what) {
        int n = 0;
        for (std::size_t at = in.find(what); at != std::string::npos; at = in.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count(objects, "/Subtype/CIDFontType2"), 1);
    EXPECT_EQ(count(ToString(ReadWholeFile(pdf())), "/Length1 "), 1);
    std::set<unsigned> cids, widths;
    std::istringstream in(objects);
    for (std::string line; std::getline(in, line);) {
        unsigned code = 0, cid = 0;
        if (std::sscanf(line.c_str(), "<%2x> %u", &code, &cid) == 2) cids.insert(cid);
    }
    std::istringstream w(objects.substr(objects.find("/W[") + 3));
    double first = 0, last = 0, width = 0;
    while (w >> first >> last >> width) {
        for (auto g = static_cast<unsigned>(first); g <= last; ++g) widths.insert(g);
    }
    EXPECT_GT(cids.size(), 256u);
    EXPECT_TRUE(std::includes(widths.begin(), widths.end(), cids.begin(), cids.end()));

    const QImage page = Page(1);
    printer_.SetOutputFile(temp_ / "greek.pdf");
    Print(greek);
    const QImage alone = test::RasterisePage(temp_ / "greek.pdf", 1, kRasterDpi, temp_.path());
    const QRect area =
        ToRaster(QRect(118, greek[0].y, 64 * 59, 101 * static_cast<int>(greek.size())));
    ASSERT_GT(InkIn(alone, area).count, 500);
    EXPECT_EQ(alone.copy(area), page.copy(area));
}

// A face without TrueType outlines (a Type 1 or CFF font) is embedded as Type 3 fonts of its
// outlines: its text is drawn in its cells and extracted.
TEST_F(PlatformPdfOutput, FaceWithoutTrueTypeOutlinesIsDrawnFromItsOutlines) {
    QString family;
    for (const QString& f : QFontDatabase::families()) {
        QFont font(f);
        font.setPixelSize(100);
        const QRawFont raw = QRawFont::fromFont(font);
        if (raw.familyName() == f && raw.fontTable("glyf").isEmpty() &&
            raw.supportsCharacter(U'H') && raw.supportsCharacter(U'ż')) {
            family = f;
            break;
        }
    }
    if (family.isEmpty()) GTEST_SKIP() << "no font without TrueType outlines is installed";
    const TFontDesc font = Font(family.toStdString(), 400, 240);
    Print([&](QtPrinterPlatform& p) {
        p.TextOut(400, 400, font, test::kPolishCp1250);
        p.TextOut(400, 1000, font, ToBytes("H          H"));
    });

    EXPECT_NE(test::PdfFonts(pdf()).find("Type 3"), std::string::npos);
    EXPECT_NE(test::PdfPageText(pdf(), 1).find(test::kPolishUtf8), std::string::npos);
    const QImage page = Page(1);
    const TInk first = InkIn(page, ToRaster(QRect(400, 1000, 240, 400)));
    const TInk last = InkIn(page, ToRaster(QRect(400 + 11 * 240, 1000, 240, 400)));
    ASSERT_GT(first.count, 20);
    EXPECT_EQ(last.count, first.count);
    EXPECT_NEAR(last.centerX - first.centerX, 11 * 240 / kScale, 0.5);
    // (A wide letter may reach into the next cell.)
    EXPECT_EQ(InkIn(page, ToRaster(QRect(400 + 3 * 240, 1000, 6 * 240, 400))).count, 0);
}

// Sets a limit on the size of files this process writes, as a full disk would.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a signal
        const rlimit limit{bytes, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    sighandler_t oldHandler_ = SIG_DFL;
};

// A write that fails (a full disk) raises PrinterError and leaves no file under the final name
// nor a temporary one, and an older file of that name is kept.
TEST_F(PlatformPdfOutput, FullDiskRaisesPrinterErrorAndLeavesNoFile) {
    test::WriteFile(pdf(), std::string("older document"));
    const TFontDesc font = Font("Liberation Mono", 101, 59);
    {
        // Everything fits the buffer until EndDoc: EndDoc fails and ends the document.
        FileSizeLimit limit(2000);
        printer_.BeginDoc();
        printer_.TextOut(118, 118, font, ToBytes("one page"));
        try {
            printer_.EndDoc();
            FAIL() << "EndDoc succeeded";
        } catch (const PrinterError& e) {
            EXPECT_NE(std::string(e.what()).find("could not be written"), std::string::npos);
        }
        EXPECT_FALSE(printer_.Printing());
    }
    EXPECT_EQ(test::ReadText(pdf()), "older document");
    EXPECT_EQ(test::FileNames(temp_.path()), std::set<std::string>{"out.pdf"});

    {
        // Pages fill the disk while they are printed: NewPage fails, the caller aborts.
        FileSizeLimit limit(200000);
        printer_.BeginDoc();
        bool failed = false;
        for (int page = 0; page < 2000 && !failed; ++page) {
            for (int line = 0; line < 60; ++line) {
                const std::string text = std::to_string(page * 1000003 + line * 7919);
                printer_.TextOut(118, 118 + line * 101, font, ToBytes(text + text + text));
            }
            try {
                printer_.NewPage();
            } catch (const PrinterError&) {
                failed = true;
            }
        }
        EXPECT_TRUE(failed);
        EXPECT_TRUE(printer_.Printing());
        printer_.AbortDoc();
    }
    EXPECT_EQ(test::ReadText(pdf()), "older document");
    EXPECT_EQ(test::FileNames(temp_.path()), std::set<std::string>{"out.pdf"});

    // An output file that cannot be made: its folder is a file.
    printer_.SetOutputFile(pdf() / "inside.pdf");
    EXPECT_THROW(printer_.BeginDoc(), PrinterError);
    EXPECT_FALSE(printer_.Printing());
    EXPECT_EQ(test::ReadText(pdf()), "older document");
}

}  // namespace
}  // namespace quernel
