#include <signal.h>
#include <sys/resource.h>

#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>
#include <QRegion>

#include <cctype>
#include <functional>

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
    // One call per character, as the renderer makes them: cells 241 or 242 pixels apart.
    TFontDesc perChar = Font("Liberation Mono", 400, 241);
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

    std::string content;
    for (const std::string& s : test::PdfStreams(pdf())) {
        if (s.find("BT\n") != std::string::npos) content = s;
    }
    ASSERT_FALSE(content.empty());
    // Walk the content: literal strings (with their escapes) and the tokens between them.
    int arrays = 0, numbers = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '(') {
            for (++i; i < content.size() && content[i] != ')'; ++i) {
                if (content[i] == '\\') ++i;
            }
        } else if (c == 'T' && i + 1 < content.size() && content[i + 1] == 'J') {
            ++arrays;
        } else if ((c == '-' || std::isdigit(static_cast<unsigned char>(c))) && i > 0 &&
                   content[i - 1] == ')') {
            ++numbers;
        }
    }
    EXPECT_EQ(arrays, 3);
    EXPECT_GT(expectedNumbers, 0);
    EXPECT_EQ(numbers, expectedNumbers);
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
