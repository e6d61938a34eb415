#include <gtest/gtest.h>

#include "engine/PageGeometry.h"
#include "support/PrintFixture.h"

namespace quernel::test {
namespace {

using namespace meaning;

struct Page {
    int mgLeft = 5, mgTop = 5, mgRight = 5, mgBottom = 5;
    int cpl = 80, lpp = 67, cplHor = 120, lppHor = 46;
    int orientation = 0, copies = 1;
};

class PrintEngineTest : public PrintFixture {
  protected:
    // A user table with the codes the tests use, laid over the built-in entries.
    static TEscapeSequences UserTable() {
        return {
            {ToBytes("\x1b"
                     "E"),
             kBoldOn},
            {ToBytes("\x1b"
                     "F"),
             kBoldOff},
            {ToBytes("\x1b"
                     "4"),
             kItalicOn},
            {ToBytes("\x1b"
                     "-1"),
             kUnderlineOn},
            {ToBytes("\x1b"
                     "@"),
             kReset},
            {ToBytes("\x1b"
                     "R"),
             kResetEject},
            {ToBytes("\x0f"), kCondensed},
            {ToBytes("\x12"), kCondensedOff},
            {ToBytes("\x1b"
                     "P"),
             kPica},
            {ToBytes("\x1b"
                     "M"),
             kElite},
            {ToBytes("\x1b"
                     "c10"),
             kCpi10},
            {ToBytes("\x1b"
                     "c12"),
             kCpi12},
            {ToBytes("\x1b"
                     "c17"),
             kCpi17},
            {ToBytes("\x1b"
                     "c20"),
             kCpi20},
            {ToBytes("\x1b"
                     "c24"),
             kCpi24},
            {ToBytes("\x1b"
                     "c05"),
             kCpi5},
            {ToBytes("\x0e"), kEnlargedLine},
            {ToBytes("\x14"), kEnlargedOff},
            {ToBytes("\x1b"
                     "W1"),
             kEnlargedMulti},
            {ToBytes("\x1b"
                     "S1"),
             kSubscript},
            {ToBytes("\x1b"
                     "S0"),
             kSuperscript},
            {ToBytes("\x1b"
                     "T"),
             kScriptOff},
            {ToBytes("\x1b"
                     "0"),
             kLpi8},
            {ToBytes("\x1b"
                     "&l1O"),
             kLandscape},
            {ToBytes("\x1b"
                     "&l0O"),
             kPortrait},
            {ToBytes("\x09"), kTab},
            {ToBytes("\x1b"
                     "r"),
             kCarriageReturn},
            {ToBytes("\x1b"
                     "\xa5"),
             kBoldOn},
        };
    }

    void Print(const std::string& data, TPrinterStatus& status, Page page = {},
               bool keepState = false, const TCharMapRecord* map = nullptr) {
        TPrintInterface job(services);
        job.SetPage(page.mgLeft, page.mgTop, page.mgRight, page.mgBottom, page.cpl, page.lpp,
                    page.cplHor, page.lppHor, page.orientation, page.copies);
        if (map != nullptr) job.SetFont("Liberation Mono", 2, *map);
        job.LoadDefaultSequences();
        job.AddSequences(UserTable());
        job.BeginJob("T");
        job.PrintData(ToBytes(data), 0, keepState, false, status);
        job.EndJob();
        lastAdvance = job.CharAdvance();
        lastLineHeight = job.LineHeight();
    }
    void Print(const std::string& data, Page page = {}) {
        TPrinterStatus status;
        Print(data, status, page);
    }
    int Pages() const { return printer.documents.back().pages; }
    const RecordingPrinter::Text& Text(std::size_t i) const { return printer.texts.at(i); }

    double lastAdvance = 0;
    int lastLineHeight = 0;
};

TEST_F(PrintEngineTest, WorkedExampleGeometry) {
    TPrintInterface job(services);
    job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, 1);
    EXPECT_EQ(job.LeftPx(), 118);
    EXPECT_EQ(job.TopPx(), 118);
    EXPECT_EQ(job.RightPx(), 118);
    EXPECT_EQ(job.BottomPx(), 118);
    EXPECT_EQ(job.LineHeight(), 101);

    Print(
        "ab\x1b"
        "S1x\x1b"
        "S0y");
    EXPECT_NEAR(lastAdvance, 59.05, 1e-9);
    EXPECT_EQ(Text(0).x, 118);
    EXPECT_EQ(Text(0).y, 118);
    EXPECT_EQ(Text(0).font.height, 101);
    EXPECT_EQ(Text(0).font.width, 59);
    EXPECT_EQ(Text(0).font.escapement, 0);
    EXPECT_EQ(Text(1).x, 177);  // Trunc(118 + 59.05)
    // Subscript: a 72-pixel cell sitting 33 pixels lower; superscript 5 pixels higher.
    EXPECT_EQ(Text(2).font.height, 72);
    EXPECT_EQ(Text(2).font.width, 42);
    EXPECT_EQ(Text(2).y, 151);
    EXPECT_EQ(Text(2).x, 236);  // Trunc(118 + 2 * 59.05)
    EXPECT_EQ(Text(3).y, 113);
}

TEST_F(PrintEngineTest, WorkedExampleLandscape) {
    Page landscape;
    landscape.orientation = 1;
    Print("ab\r\nc", landscape);
    EXPECT_EQ(lastLineHeight, 102);
    EXPECT_NEAR(lastAdvance, 56.48333333, 1e-6);
    // Tops of the first line touch the right margin, characters run down, lines go left.
    EXPECT_EQ(Text(0).x, 4960 - 118);
    EXPECT_EQ(Text(0).y, 118);
    EXPECT_EQ(Text(0).font.escapement, -900);
    EXPECT_EQ(Text(0).font.orientation, -900);
    EXPECT_EQ(Text(0).font.height, 102);
    EXPECT_EQ(Text(0).font.width, 56);
    EXPECT_EQ(Text(1).x, 4842);
    EXPECT_EQ(Text(1).y, 174);
    EXPECT_EQ(Text(2).x, 4842 - 102);
    EXPECT_EQ(Text(2).y, 118);
}

TEST_F(PrintEngineTest, OrientationZeroAndTwoArePortrait) {
    for (int orientation : {0, 2}) {
        TPrintInterface job(services);
        job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, orientation, 1);
        EXPECT_FALSE(job.Landscape());
        EXPECT_EQ(job.ActiveLinesPerPage(), 67);
    }
}

TEST_F(PrintEngineTest, MarginsNeverSmallerThanTheUnprintableStrip) {
    TPrintInterface job(services);
    job.SetPage(-10, 0, 50, 4, 80, 67, 120, 46, 0, 1);
    EXPECT_EQ(job.LeftPx(), 100);
    EXPECT_EQ(job.TopPx(), 100);
    EXPECT_EQ(job.RightPx(), 1181);
    EXPECT_EQ(job.BottomPx(), 100);  // 4 mm is 94 pixels
}

TEST_F(PrintEngineTest, PitchDecidesHowManyCharactersFillTheLine) {
    const double printable = 4960 - 236;
    Print(std::string(80, 'x'));
    EXPECT_NEAR(printer.texts.back().x + lastAdvance, 118 + printable, 1.0);
    printer.texts.clear();
    Print(
        "\x1b"
        "c17" +
        std::string(136, 'x'));
    EXPECT_NEAR(lastAdvance * 136, printable, 1e-6);
    EXPECT_EQ(printer.texts.back().font.width, 34);
    Print(
        "\x1b"
        "c05");
    EXPECT_NEAR(lastAdvance * 40, printable, 1e-6);
    Print(
        "\x1b"
        "c24");
    EXPECT_NEAR(lastAdvance * 192, printable, 1e-6);
}

TEST_F(PrintEngineTest, RelativePitchChanges) {
    struct Case {
        const char* start;
        const char* change;
        TSequenceMeaning expected;
    };
    const Case cases[] = {
        {"c10", "\x0f", kCpi17},
        {"c12", "\x0f", kCpi20},
        {"c05", "\x0f", kCpi5},
        {"c17", "\x0f", kCpi17},
        {"c17", "\x12", kCpi10},
        {"c20", "\x12", kCpi12},
        {"c24", "\x12", kCpi12},
        {"c10", "\x12", kCpi10},
        {"c12",
         "\x1b"
         "P",
         kCpi10},
        {"c20",
         "\x1b"
         "P",
         kCpi17},
        {"c24",
         "\x1b"
         "P",
         kCpi17},
        {"c17",
         "\x1b"
         "P",
         kCpi17},
        {"c10",
         "\x1b"
         "M",
         kCpi12},
        {"c17",
         "\x1b"
         "M",
         kCpi20},
        {"c05",
         "\x1b"
         "M",
         kCpi5},
    };
    for (const Case& c : cases) {
        TPrinterStatus status;
        Print(std::string("\x1b") + c.start + c.change + "x", status);
        EXPECT_EQ(status.Pitch, c.expected) << c.start << " " << int(c.change[0]);
        // A change that does nothing must not print its bytes.
        EXPECT_EQ(ToString(printer.texts.back().bytes), "x");
    }
}

TEST_F(PrintEngineTest, LongLineRunsOnPastTheRightMargin) {
    Print(std::string(100, 'x'));
    ASSERT_EQ(printer.texts.size(), 100u);
    EXPECT_EQ(printer.texts.back().y, 118);
    EXPECT_EQ(printer.texts.back().x, static_cast<int>(118 + 99 * 59.05));
    EXPECT_EQ(Pages(), 1);
}

// A line so long that its cells lie beyond what a device position can hold: those cells are
// not drawn (nothing there would show), and the next line starts where it should.
TEST_F(PrintEngineTest, CellsBeyondAnyDevicePositionAreNotDrawn) {
    printer.caps = {200'000'000, 7014, 1'000'000, 600, 100, 100};  // 2.5 million pixels a cell
    Print(std::string(400, 'x') + "\r\nnext");
    ASSERT_GT(printer.texts.size(), 100u);
    ASSERT_LT(printer.texts.size(), 400u);
    int lastX = -1;
    for (std::size_t i = 0; i + 4 < printer.texts.size(); ++i) {
        EXPECT_GT(printer.texts[i].x, lastX);
        lastX = printer.texts[i].x;
    }
    EXPECT_LT(lastX, 2147483647 / 2);
    EXPECT_EQ(printer.texts[printer.texts.size() - 4].x, 196850);
    EXPECT_EQ(ToString(printer.texts.back().bytes), "t");
}

TEST_F(PrintEngineTest, FullPageBreaksOnlyWhenSomethingFollows) {
    std::string page;
    for (int i = 0; i < 67; ++i) page += "x\r\n";
    Print(page);
    EXPECT_EQ(Pages(), 1);
    EXPECT_EQ(printer.texts.back().y, 118 + 66 * 101);
    Print(page + "y");
    EXPECT_EQ(Pages(), 2);
    EXPECT_EQ(printer.texts.back().page, 2);
    EXPECT_EQ(printer.texts.back().y, 118);
    // A blank line after a full page starts a new sheet too.
    Print(page + "\r\n");
    EXPECT_EQ(Pages(), 2);
}

TEST_F(PrintEngineTest, FormFeedsAreLazy) {
    Print(
        "a\x0c"
        "b");
    EXPECT_EQ(Pages(), 2);
    EXPECT_EQ(printer.PageTexts(), (std::vector<std::string>{"a", "b"}));
    Print("a\x0c");
    EXPECT_EQ(Pages(), 1);
    Print(
        "\x0c\x0c"
        "a");
    EXPECT_EQ(Pages(), 2);
    EXPECT_EQ(printer.PageTexts(), (std::vector<std::string>{"", "a"}));
    Print(
        "a\x1a"
        "b");  // the DOS end-of-file mark is a page end as well
    EXPECT_EQ(Pages(), 2);
}

TEST_F(PrintEngineTest, EightLinesPerInchFitsMoreLinesWithTheSameFont) {
    std::string lines =
        "\x1b"
        "0";
    for (int i = 0; i < 90; ++i) lines += "x\r\n";
    Print(lines);
    EXPECT_EQ(Pages(), 2);
    EXPECT_EQ(printer.TextsOnPage(1).size(), 89u);
    EXPECT_EQ(printer.TextsOnPage(1)[1].y, 118 + 75);  // Trunc(101 * 0.75)
    EXPECT_EQ(printer.texts.back().font.height, 101);
}

TEST_F(PrintEngineTest, DoubleWidth) {
    Print(
        "\x0e"
        "a\r\nb");
    EXPECT_EQ(Text(0).font.width, 118);
    EXPECT_EQ(Text(1).font.width, 59);
    printer.texts.clear();
    Print(
        "\x1b"
        "W1a\r\nb\x0c"
        "c\x14"
        "d");
    EXPECT_EQ(Text(0).font.width, 118);
    EXPECT_EQ(Text(1).font.width, 118);
    EXPECT_EQ(Text(2).font.width, 118);
    EXPECT_EQ(Text(2).page, 2);
    EXPECT_EQ(Text(3).font.width, 59);
    printer.texts.clear();
    Print(
        "\x1b"
        "W1a\x1b"
        "@b");  // a reset ends double width too
    EXPECT_EQ(Text(1).font.width, 59);
    // Double width for one line ends at a new sheet as well.
    printer.texts.clear();
    Print(
        "a\x0c\x0e"
        "b\x0c"
        "c");
    EXPECT_EQ(Text(1).font.width, 118);
    EXPECT_EQ(Text(2).font.width, 59);
}

TEST_F(PrintEngineTest, BackspaceOverprints) {
    Print(
        "\x08"
        "a\x08_");
    EXPECT_EQ(Text(0).x, 118);
    EXPECT_EQ(Text(1).x, 118);
    EXPECT_EQ(ToString(Text(1).bytes), "_");
}

TEST_F(PrintEngineTest, ResetRestartsTheSheetOrEjectsIt) {
    Print(
        "a\r\nb\x1b"
        "@c");
    EXPECT_EQ(Pages(), 1);
    EXPECT_EQ(Text(2).y, 118);
    EXPECT_EQ(Text(2).x, 118);
    Print(
        "a\r\nb\x1b"
        "Rc");
    EXPECT_EQ(Pages(), 2);
    EXPECT_EQ(printer.PageTexts(), (std::vector<std::string>{"ab", "c"}));
    // A form feed is not forgotten by a reset that follows it.
    Print(
        "a\x0c\x1b"
        "@b");
    EXPECT_EQ(Pages(), 2);
}

TEST_F(PrintEngineTest, ResetClearsAttributesButKeepsStrikeOut) {
    TPrinterStatus status;
    status.FontStyle = font_style::kStrikeOut;
    Print(
        "\x1b"
        "E\x1b"
        "4\x1b"
        "-1\x1b"
        "c17\x1b"
        "0\x1b"
        "S1a\x1b"
        "@b",
        status, {}, true);
    EXPECT_EQ(Text(0).font.weight, 700);
    EXPECT_TRUE(Text(0).font.italic);
    EXPECT_TRUE(Text(0).font.underline);
    EXPECT_TRUE(Text(0).font.strikeOut);
    EXPECT_EQ(Text(1).font.weight, 400);
    EXPECT_FALSE(Text(1).font.italic || Text(1).font.underline);
    EXPECT_TRUE(Text(1).font.strikeOut);
    EXPECT_EQ(Text(1).font.height, 101);
    EXPECT_EQ(status.Pitch, kCpi10);
    EXPECT_EQ(status.LineSpacing, 1.0);
    EXPECT_EQ(status.FontStyle, font_style::kStrikeOut);
}

TEST_F(PrintEngineTest, TabStopsEveryEightColumns) {
    // Column 0 goes to 8, column 9 to 16, column 23 to 24, and a tab at a stop to the next.
    Print("\tA\tB123456\tC1234567\tD");
    EXPECT_EQ(Text(0).x, static_cast<int>(118 + 8 * 59.05));
    EXPECT_EQ(Text(1).x, static_cast<int>(118 + 16 * 59.05));
    EXPECT_EQ(Text(8).x, static_cast<int>(118 + 24 * 59.05));
    // Positions accumulate as real numbers; after many steps the sum may sit a hair below.
    EXPECT_NEAR(Text(16).x, 118 + 40 * 59.05, 1.0);
    Print("1234567\tx");
    EXPECT_EQ(printer.texts.back().x, static_cast<int>(118 + 8 * 59.05));
}

TEST_F(PrintEngineTest, CarriageReturnGoesBackOnTheSameLine) {
    Print(
        "abc\x1b"
        "r_\r\nd");
    EXPECT_EQ(Text(3).x, 118);
    EXPECT_EQ(Text(3).y, 118);
    EXPECT_EQ(Text(4).y, 219);
}

TEST_F(PrintEngineTest, OrientationChangeMidPrintout) {
    Print(
        "a\x1b"
        "&l1Ob");
    EXPECT_EQ(Pages(), 2);
    EXPECT_EQ(Text(1).font.escapement, -900);
    EXPECT_EQ(Text(1).x, 4842);
    Print(
        "\x1b"
        "&l1Oa");  // nothing on the sheet yet: the same sheet turns
    EXPECT_EQ(Pages(), 1);
    EXPECT_EQ(printer.texts.back().font.escapement, -900);
}

TEST_F(PrintEngineTest, KeepStateCarriesAttributesButNotThePagePosition) {
    TPrinterStatus status;
    Print(
        "\x1b"
        "Ea\r\nb",
        status);
    Print("c", status, {}, true);
    EXPECT_EQ(printer.texts.back().font.weight, 700);
    EXPECT_EQ(printer.texts.back().y, 118);
    Print("c", status, {}, false);
    EXPECT_EQ(printer.texts.back().font.weight, 400);
}

TEST_F(PrintEngineTest, CharacterMapAndCharsetApplyToPrintedBytesOnly) {
    TCharMapRecord map = TCharMapRecord::Identity();
    map.Map[0xA5] = 0xB9;
    map.CharsetIndex = 3;
    TPrinterStatus status;
    Print("\xa5\x1b\xa5x", status, {}, false, &map);
    ASSERT_EQ(printer.texts.size(), 2u);
    EXPECT_EQ(Text(0).bytes, Bytes{0xB9});
    EXPECT_EQ(Text(0).font.charset, 238);
    EXPECT_EQ(Text(0).font.faceName, "Liberation Mono");
    EXPECT_EQ(Text(1).font.weight, 700);  // ESC 0xA5 matched as written
    // Without SetFont: the identity and the default charset.
    Print("\xa5");
    EXPECT_EQ(printer.texts.back().bytes, Bytes{0xA5});
    EXPECT_EQ(printer.texts.back().font.charset, 1);
    EXPECT_EQ(printer.texts.back().font.faceName, "Arial Narrow");
}

TEST_F(PrintEngineTest, DocumentTitleCopiesAndDiagnostics) {
    TPrintInterface job(services);
    job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, 0);
    EXPECT_EQ(job.Copies(), 1);
    job.LoadDefaultSequences();
    job.BeginJob("");
    TPrinterStatus status;
    job.PrintData(ToBytes("0123456789"), 4, false, false, status);
    job.EndJob();
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.documents[0].title, "Brackwood Quernel");
    EXPECT_EQ(printer.documents[0].copies, 1);
    EXPECT_TRUE(printer.documents[0].ended);
    EXPECT_EQ(printer.PageTexts(), (std::vector<std::string>{"456789"}));
    const std::string log = ReadText(dir / "quernel.log");
    EXPECT_NE(log.find(":Print Start Position:4\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(":Print Array Size:10\r\n"), std::string::npos) << log;
    EXPECT_EQ(ReadText(dir / "quernel.prn"), "456789");
}

TEST_F(PrintEngineTest, PrinterErrorsPropagateAndTheDocumentStaysOpen) {
    printer.failOn = "NewPage";
    TPrintInterface job(services);
    job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, 1);
    job.LoadDefaultSequences();
    job.BeginJob("T");
    TPrinterStatus status;
    EXPECT_THROW(job.PrintData(ToBytes("a\x0c"
                                       "b"),
                               0, false, false, status),
                 PrinterError);
    EXPECT_TRUE(printer.Printing());
}

// Margins inside their range can still leave nothing of the sheet (500 mm each on A4), and an
// absurd device can make the geometry overflow: the printout is refused with a message, in
// either orientation, instead of being drawn nowhere.
TEST_F(PrintEngineTest, MarginsThatLeaveNoPrintableAreaAreRefused) {
    for (const int orientation : {0, 1}) {
        SCOPED_TRACE(orientation);
        TPrintInterface job(services);
        job.SetPage(500, 5, 500, 5, 80, 67, 120, 46, orientation, 1);  // no throw yet
        job.LoadDefaultSequences();
        job.BeginJob("T");
        TPrinterStatus status;
        try {
            job.PrintData(ToBytes("text"), 0, false, false, status);
            FAIL() << "printed";
        } catch (const PrinterError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Marginesy (lewy 500, górny 5, prawy 500, dolny 5 mm) nie zostawiają "
                      "miejsca na wydruk na drukarce \"Laser\" (obszar drukowania 210 x 297 "
                      "mm).");
        }
        printer.AbortDoc();
    }
    EXPECT_TRUE(printer.texts.empty());

    printer.caps = {2147483647, 2147483647, 2147483647, 2147483647, 0, 0};
    TPrintInterface job(services);
    job.SetPage(500, 500, 500, 500, 80, 67, 120, 46, 0, 1);
    job.LoadDefaultSequences();
    job.BeginJob("T");
    TPrinterStatus status;
    EXPECT_THROW(job.PrintData(ToBytes("text"), 0, false, false, status), PrinterError);
    printer.AbortDoc();
    EXPECT_NE(NoPrintableAreaMessage(printer.caps, "Laser", 5, 5, 5, 5).find("poza zakresem"),
              std::string::npos);
    EXPECT_EQ(NoPrintableAreaMessage({4960, 7014, 600, 600, 100, 100}, "Laser", 5, 5, 5, 5), "");
}

TEST_F(PrintEngineTest, DegenerateGridsDoNotDivideByZero) {
    Page page;
    page.cpl = 0;
    page.lpp = 0;
    Print("ab\r\nc", page);
    EXPECT_EQ(lastLineHeight, 7014 - 236);
    EXPECT_NEAR(lastAdvance, 4724 / 0.01, 1e-6);
}

TEST_F(PrintEngineTest, BackgroundPictureOnEverySheetUnderTheText) {
    WriteFile(dir / "logo.bmp", std::string("PICTURE 10 20"));
    background.SetBackground(dir / "logo.bmp", 10, 20, 30, 40);
    ASSERT_TRUE(background.HasPicture());
    Print(
        "a\x0c"
        "b");
    ASSERT_EQ(printer.pictures.size(), 2u);
    EXPECT_EQ(printer.pictures[0].page, 1);
    EXPECT_EQ(printer.pictures[1].page, 2);
    // 10 mm = 236 px, 20 mm = 472 px, 30 mm = 708 px, 40 mm = 944 px at 600 dpi.
    EXPECT_EQ(printer.pictures[0].rect, (TRect{236, 708, 4960 - 472, 7014 - 944}));
    // Drawn before the sheet's text.
    const auto& calls = printer.calls;
    EXPECT_LT(std::find(calls.begin(), calls.end(), "StretchDraw"),
              std::find(calls.begin(), calls.end(), "NewPage"));

    // An empty printout still has its sheet with the picture.
    printer.pictures.clear();
    Print("");
    EXPECT_EQ(Pages(), 1);
    EXPECT_EQ(printer.pictures.size(), 1u);
}

TEST_F(PrintEngineTest, BackgroundClearedByAFileThatIsNoPicture) {
    WriteFile(dir / "logo.bmp", std::string("PICTURE 10 20"));
    WriteFile(dir / "notes.txt", std::string("hello"));
    EXPECT_TRUE(background.PictureFileUsable(dir / "logo.bmp"));
    EXPECT_FALSE(background.PictureFileUsable(dir / "notes.txt"));
    EXPECT_FALSE(background.PictureFileUsable(dir / "missing.bmp"));
    background.SetBackground(dir / "logo.bmp", 0, 0, 0, 0);
    background.SetBackground(dir / "notes.txt", 0, 0, 0, 0);
    EXPECT_FALSE(background.HasPicture());
    background.SetBackground(dir / "logo.bmp", -10, 0, 0, 0);
    Print("a");
    EXPECT_EQ(printer.pictures.back().rect, (TRect{100, 100, 4860, 6914}));
    background.ClearBackground();
    printer.pictures.clear();
    Print("a");
    EXPECT_TRUE(printer.pictures.empty());
}

TEST_F(PrintEngineTest, GeometryFollowsThePrinterTheDocumentIsOn) {
    // A job set up on one printer and printed on another (a monitored file with its own
    // printer) uses the second printer's resolution.
    printer.capsByPrinter["Quernel PDF"] = {2480, 3507, 300, 300, 0, 0};
    TPrintInterface job(services);
    printer.SetPrinterIndex(0);
    job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, 0, 1);
    printer.SetPrinterIndex(1);
    job.LoadDefaultSequences();
    job.BeginJob("T");
    TPrinterStatus status;
    job.PrintData(ToBytes("a"), 0, false, false, status);
    job.EndJob();
    EXPECT_EQ(Text(0).x, 59);  // 5 mm at 300 dpi
    EXPECT_EQ(Text(0).font.height, (3507 - 118) / 67);
}

}  // namespace
}  // namespace quernel::test
