#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "engine/RenderCommand.h"
#include "engine/TracePrinter.h"
#include "support/PrintFixture.h"

namespace quernel::test {
namespace {

std::filesystem::path Data(const char* name) {
    return std::filesystem::path(QUERNEL_TEST_DATA_DIR) / name;
}

TEST(RenderArgsTest, EveryOptionOfThePrintJob) {
    const RenderArgs a = ParseRenderArgs({"in.prn",
                                          "--printer",
                                          "Laser",
                                          "--font",
                                          "DejaVu Sans Mono",
                                          "--margins",
                                          "-10,0,20,500",
                                          "--grid",
                                          "136,88",
                                          "--grid-landscape",
                                          "200,60",
                                          "--orientation",
                                          "1",
                                          "--copies",
                                          "3",
                                          "--title",
                                          "Faktura",
                                          "--background",
                                          "logo.png,1,2,3,4",
                                          "--ignore-pcl",
                                          "--raw",
                                          "--raw-init",
                                          "#27 @",
                                          "--raw-fix-crlf",
                                          "0",
                                          "--raw-end-ff",
                                          "0",
                                          "--raw-charmap",
                                          "1"});
    ASSERT_EQ(a.error, "");
    const RenderOptions& o = a.options;
    EXPECT_EQ(o.file, "in.prn");
    EXPECT_EQ(o.printer, "Laser");
    EXPECT_EQ(o.font, "DejaVu Sans Mono");
    EXPECT_EQ(o.margins, (std::array<int, 4>{-10, 0, 20, 500}));
    EXPECT_EQ(o.charsPerLine, 136);
    EXPECT_EQ(o.linesPerPage, 88);
    EXPECT_EQ(o.charsPerLineHor, 200);
    EXPECT_EQ(o.linesPerPageHor, 60);
    EXPECT_EQ(o.orientation, 1);
    EXPECT_EQ(o.copies, 3);
    EXPECT_EQ(o.title, "Faktura");
    EXPECT_EQ(o.background, "logo.png");
    EXPECT_EQ(o.pictureMargins, (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_TRUE(o.ignorePcl);
    EXPECT_TRUE(o.raw.enabled);
    EXPECT_EQ(o.raw.initText, "#27 @");
    EXPECT_FALSE(o.raw.fixCrLf);
    EXPECT_FALSE(o.raw.endWithFormFeed);
    EXPECT_TRUE(o.raw.useCharMap);

    const RenderOptions d = ParseRenderArgs({"in.prn"}).options;
    EXPECT_EQ(d.font, "Liberation Mono");
    EXPECT_EQ(d.margins, (std::array<int, 4>{5, 5, 5, 5}));
    EXPECT_EQ(d.charsPerLine, 80);
    EXPECT_EQ(d.linesPerPage, 67);
    EXPECT_EQ(d.charsPerLineHor, 120);
    EXPECT_EQ(d.linesPerPageHor, 46);
    EXPECT_EQ(d.copies, 1);
    EXPECT_FALSE(d.raw.enabled);
    EXPECT_EQ(d.raw.initText, "#27 E");
    EXPECT_TRUE(d.raw.fixCrLf && d.raw.endWithFormFeed && !d.raw.useCharMap);

    const RenderOptions t =
        ParseRenderArgs({"in.prn", "--trace", "--device", "300,2480x3508,25x30"}).options;
    EXPECT_EQ(t.device, (TDeviceCaps{2480, 3508, 300, 300, 25, 30}));
}

TEST(RenderArgsTest, WrongValuesAreRefused) {
    const std::vector<std::vector<std::string>> wrong = {
        {"in", "--margins", "5,5,5"},
        {"in", "--margins", "5,5,5,501"},
        {"in", "--grid", "39,67"},
        {"in", "--grid", "80"},
        {"in", "--grid-landscape", "x,1"},
        {"in", "--orientation", "3"},
        {"in", "--copies", "0"},
        {"in", "--copies", "2x"},
        {"in", "--raw-fix-crlf", "yes"},
        {"in", "--device", "600,10x10"},
        {"in", "--device", "0,10x10,0x0"},
        // Values whose page or widest margins do not fit the renderer's arithmetic.
        {"in", "--device", "2147483647,4960x7014,0x0"},
        {"in", "--device", "600,2147483647x7014,0x0"},
        {"in", "--device", "600,4960x7014,2147483647x0"},
        {"in", "--background", ",1,2,3,4"},
        {"in", "-o", "a.pdf", "--printer", "P"},
        {"in", "--trace", "-o", "a.pdf"},
        {"in", "--font", ""},
        {"in", "--raw-init", "#27 ñ"},  // a character Windows-1250 lacks
        {},
    };
    for (const auto& args : wrong) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_NE(ParseRenderArgs(args).error, "") << joined;
    }
}

class RunRenderTest : public PrintFixture {
  protected:
    int Run(std::vector<std::string> args, IPrinterPlatform* target = nullptr) {
        err.str("");
        const RenderArgs parsed = ParseRenderArgs(args);
        EXPECT_EQ(parsed.error, "");
        return RunRender(parsed.options, target ? *target : printer, pictures,
                         QUERNEL_SHIPPED_DATA_DIR, err);
    }
    std::ostringstream err;
};

TEST_F(RunRenderTest, PrintsOneJobSetUpFromTheOptions) {
    printer.defaultIndex = 1;
    ASSERT_EQ(Run({Data("faktura_cp852.prn"), "--title", "Faktura", "--copies", "2"}), 0)
        << err.str();
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_EQ(printer.documents[0].printer, "Quernel PDF");  // the default printer
    EXPECT_EQ(printer.documents[0].title, "Faktura");
    EXPECT_EQ(printer.documents[0].copies, 2);
    EXPECT_TRUE(printer.documents[0].ended);
    // The shipped table and map: bold from ESC E, Polish letters into Windows-1250.
    const auto& bold = printer.texts.at(0);
    EXPECT_EQ(bold.font.weight, 700);
    EXPECT_EQ(bold.font.faceName, "Liberation Mono");
    EXPECT_EQ(bold.font.charset, 238);
    std::string text;
    for (const auto& t : printer.texts) text += ToString(t.bytes);
    EXPECT_NE(text.find("Faktura Za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1"), std::string::npos);
}

TEST_F(RunRenderTest, UnknownPrinterOrPictureIsAClearError) {
    EXPECT_EQ(Run({Data("faktura_cp852.prn"), "--printer", "laser"}), 1);
    EXPECT_NE(err.str().find("Nie ma drukarki \"laser\""), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("  Laser"), std::string::npos);
    EXPECT_EQ(Run({Data("faktura_cp852.prn"), "--background", Data("good.seq").string()}), 1);
    EXPECT_NE(err.str().find("Nie można wczytać obrazu"), std::string::npos);
    EXPECT_EQ(Run({(dir / "missing.prn").string()}), 1);
    EXPECT_NE(err.str().find("Cannot open file"), std::string::npos);
    EXPECT_TRUE(printer.documents.empty());
}

TEST_F(RunRenderTest, FailureAbortsTheDocument) {
    printer.failOn = "TextOut";
    EXPECT_EQ(Run({Data("faktura_cp852.prn"), "--printer", "Laser"}), 1);
    ASSERT_EQ(printer.documents.size(), 1u);
    EXPECT_TRUE(printer.documents[0].aborted);
    EXPECT_FALSE(printer.Printing());
    EXPECT_NE(err.str().find("simulated failure"), std::string::npos);
}

TEST_F(RunRenderTest, RawModeSendsTheBytesAndReportsQueueErrors) {
    ASSERT_EQ(Run({Data("faktura_cp852.prn"), "--raw", "--printer", "Laser"}), 0) << err.str();
    ASSERT_EQ(printer.rawJobs.size(), 1u);
    EXPECT_EQ(printer.rawJobs[0].printer, "Laser");
    EXPECT_EQ(printer.rawJobs[0].bytes.front(), 0x1B);
    EXPECT_TRUE(printer.documents.empty());
    printer.rawOpenError = 0x0506;
    EXPECT_EQ(Run({Data("faktura_cp852.prn"), "--raw"}), 1);
    EXPECT_NE(err.str().find("nie przyjmuje wydruków"), std::string::npos) << err.str();
}

TEST_F(RunRenderTest, TraceShowsTheWorkedExampleGeometry) {
    std::ostringstream out;
    TracePrinter trace(out, {4960, 7014, 600, 600, 100, 100});
    WriteFile(dir / "in.prn", std::string("A\x1b"
                                          "EB\r\n\x0c"
                                          "C"));
    ASSERT_EQ(Run({(dir / "in.prn").string(), "--trace"}, &trace), 0) << err.str();
    EXPECT_EQ(out.str(),
              "document \"Brackwood Quernel\" copies 1 device 600x600 dpi, page 4960x7014, "
              "offset 100,100\n"
              "page 1\n"
              "  text 118,118 cell 59x101 charset 238 \"A\"\n"
              "  text 177,118 cell 59x101 bold charset 238 \"B\"\n"
              "page 2\n"
              "  text 118,118 cell 59x101 bold charset 238 \"C\"\n"
              "end, 2 pages\n");
}

// The built quernel-render, run by the shell in the test's folder with a private home, PDF
// folder and a CUPS address where no scheduler listens; `redirections` are shell redirections
// of its standard streams, `env` more variables. Answers its exit code.
class RenderOutputTest : public ::testing::Test {
  protected:
    int Tool(const std::string& args, const std::string& redirections,
             const std::string& env = "") {
        const std::string command =
            "cd '" + dir.path().string() + "' && " + env + " HOME='" + dir.path().string() +
            "' QUERNEL_PDF_DIR='" + (dir / "pdf").string() + "' CUPS_SERVER='" +
            (dir / "no-cups.sock").string() + "' QT_QPA_PLATFORM=offscreen '" + QUERNEL_BIN_DIR +
            "/quernel-render' '" + Data("faktura_cp852.prn").string() + "' " + args + " " +
            redirections;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    TempDir dir;
};

// "-o -" and a link to the standard output write the PDF to standard output, whatever it is;
// a device that refuses the bytes is an error, not a success. The devices are reached through
// links in the test's folder, so that a faulty program replaces a link there, never a device.
TEST_F(RenderOutputTest, ToStandardOutputAndToDevices) {
    std::filesystem::create_symlink("/proc/self/fd/1", dir / "stdout");
    std::filesystem::create_symlink("/dev/full", dir / "full");
    for (const char* target : {"-", "stdout"}) {
        SCOPED_TRACE(target);
        std::filesystem::remove(dir / "out.pdf");
        EXPECT_EQ(Tool(std::string("-o ") + target, "> out.pdf 2> err.txt"), 0)
            << ReadText(dir / "err.txt");
        const std::string pdf = ReadText(dir / "out.pdf");
        EXPECT_TRUE(pdf.starts_with("%PDF-")) << pdf.substr(0, 40);
        EXPECT_TRUE(pdf.ends_with("%%EOF\n"));
        EXPECT_FALSE(std::filesystem::exists(dir / "-"));
    }
    // Through a pipe as well.
    EXPECT_EQ(Tool("-o stdout", "2> err.txt | cat > piped.pdf"), 0);
    EXPECT_TRUE(ReadText(dir / "piped.pdf").starts_with("%PDF-"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "stdout"));

    EXPECT_EQ(Tool("-o full", "2> err.txt"), 1);
    EXPECT_NE(ReadText(dir / "err.txt").find("\"full\""), std::string::npos)
        << ReadText(dir / "err.txt");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "full"));
}

// A system without any font (fontconfig finds none) is a clear error, not a crash.
TEST_F(RenderOutputTest, NoFontsIsAClearError) {
    WriteFile(dir / "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" +
                                      (dir / "cache").string() + "</cachedir></fontconfig>\n");
    EXPECT_EQ(
        Tool("-o out.pdf", "2> err.txt", "FONTCONFIG_FILE='" + (dir / "fonts.conf").string() + "'"),
        1);
    EXPECT_NE(ReadText(dir / "err.txt").find("No fonts are installed"), std::string::npos)
        << ReadText(dir / "err.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf"));
}

}  // namespace
}  // namespace quernel::test
