#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "engine/Explain.h"
#include "engine/RenderCommand.h"
#include "host/FileUtil.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace meaning;

std::filesystem::path Data(const char* name) {
    return std::filesystem::path(QUERNEL_TEST_DATA_DIR) / name;
}

TEST(ExplainTest, ControlCodesByNameAndTextThroughTheMap) {
    const TEscapeSequences user{{ToBytes("\x1b"
                                         "E"),
                                 kBoldOn}};
    TCharMapRecord map = TCharMapRecord::Identity();
    map.Map[0xA5] = 0xB9;  // CP852 ą to Windows-1250 ą
    map.CharsetIndex = 3;
    const Bytes data = {'\x1b', 'E', 'a', 0xA5, 'b', '\r', '\n', 0x1B, 'E', '\x0c'};
    const auto items = ExplainPrintout(data, user, map, false);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].offset, 0u);
    EXPECT_EQ(items[0].meaning, kBoldOn);
    EXPECT_EQ(items[1].offset, 2u);
    EXPECT_EQ(items[1].text, "aąb");
    EXPECT_EQ(items[1].bytes, (Bytes{'a', 0xA5, 'b'}));
    EXPECT_EQ(items[2].meaning, kNewLine);
    EXPECT_EQ(items[3].offset, 7u);
    EXPECT_EQ(items[4].meaning, kNewPage);

    EXPECT_EQ(FormatExplainItem(items[0]),
              "       0  #27 E                     Pogrubienie (Bold)");
    EXPECT_EQ(FormatExplainItem(items[1]), "       2  \"aąb\"                     Znak drukowalny");
    EXPECT_EQ(FormatExplainItem({9, {0x0F}, 50, {}}),
              "       9  #15                       Ignoruj (nieznane znaczenie 50)");
    EXPECT_EQ(FormatExplainItem({0, {1, '"'}, kPrintable, "\x01\""}),
              "       0  \"\\x01\\\"\"                  Znak drukowalny");
}

// Items go out as they are found; a printable run without end comes in pieces, so nothing
// grows with the printout but the printout itself.
TEST(ExplainTest, ItemsStreamInOrderAndLongRunsComeInPieces) {
    Bytes data(2 * kMaxExplainRun + 10, 'x');
    data.push_back('\x0c');
    data.push_back('y');
    std::vector<ExplainItem> items;
    std::size_t itemsWhenFormFeedArrived = 0;
    ExplainPrintout(data, {}, TCharMapRecord::Identity(), {}, [&](const ExplainItem& item) {
        if (item.meaning == kNewPage) itemsWhenFormFeedArrived = items.size();
        items.push_back(item);
    });
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(itemsWhenFormFeedArrived, 3u);
    EXPECT_EQ(items[0].offset, 0u);
    EXPECT_EQ(items[1].offset, kMaxExplainRun);
    EXPECT_EQ(items[2].offset, 2 * kMaxExplainRun);
    EXPECT_EQ(items[2].text, std::string(10, 'x'));
    EXPECT_EQ(items[1].bytes.size(), kMaxExplainRun);
    EXPECT_EQ(items[3].offset, data.size() - 2);
    EXPECT_EQ(items[4].text, "y");
}

TEST(RenderArgsTest, OptionsAndErrors) {
    RenderArgs a = ParseRenderArgs(
        {"--explain", "--seq", "Moja", "--cmap", "x.cmap", "--ignore-pcl", "wydruk.prn"});
    EXPECT_TRUE(a.error.empty());
    EXPECT_TRUE(a.options.explain);
    EXPECT_EQ(a.options.seq, "Moja");
    EXPECT_EQ(a.options.cmap, "x.cmap");
    EXPECT_TRUE(a.options.ignorePcl);
    EXPECT_EQ(a.options.file, "wydruk.prn");

    a = ParseRenderArgs({"--explain", "f"});
    EXPECT_EQ(a.options.seq, "EPSON+HP");
    EXPECT_EQ(a.options.cmap, "LatinII");
    EXPECT_FALSE(ParseRenderArgs({"--explain"}).error.empty());
    EXPECT_FALSE(ParseRenderArgs({"--explain", "--seq"}).error.empty());
    EXPECT_FALSE(ParseRenderArgs({"--explain", "--bogus", "f"}).error.empty());
    EXPECT_FALSE(ParseRenderArgs({"--explain", "a", "b"}).error.empty());
    EXPECT_TRUE(ParseRenderArgs({"--help"}).help);

    EXPECT_EQ(ParseRenderArgs({"f"}).options.commands, TCommandSet::kTable);
    EXPECT_EQ(ParseRenderArgs({"--commands", "escp", "f"}).options.commands, TCommandSet::kEscP);
    EXPECT_EQ(ParseRenderArgs({"--commands", "pcl", "f"}).options.commands, TCommandSet::kPcl);
    EXPECT_EQ(ParseRenderArgs({"--commands", "auto", "--trace", "f"}).options.commands,
              TCommandSet::kAuto);
    EXPECT_NE(ParseRenderArgs({"--commands", "epson", "f"}).error.find("table, escp, pcl"),
              std::string::npos);
    EXPECT_FALSE(ParseRenderArgs({"f", "--commands"}).error.empty());
}

class RunExplainTest : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        const RenderArgs parsed = ParseRenderArgs(args);
        EXPECT_TRUE(parsed.error.empty()) << parsed.error;
        return RunExplain(parsed.options, QUERNEL_SHIPPED_DATA_DIR, out, err);
    }
    std::ostringstream out, err;
    TempDir dir;
};

TEST_F(RunExplainTest, ShippedDefaultsUnderstandADosPrintout) {
    ASSERT_EQ(Run({"--explain", Data("faktura_cp852.prn")}), 0) << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("#27 @                     Reset"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Faktura Zażółć gęślą jaźń\""), std::string::npos) << text;
    EXPECT_NE(text.find("#27 -#1                   Podkreślone (Underline)"), std::string::npos);
    EXPECT_NE(text.find("Nowa strona"), std::string::npos);
    // ESC j is not in the table: it prints, and shows up as text.
    EXPECT_NE(text.find("\"\\x1Bj\\x05\""), std::string::npos) << text;
    EXPECT_TRUE(err.str().empty());
}

// With a command set, its commands are named with their language, their data shown as a
// count; with the table alone the last line says which set knows the unknown sequences.
TEST_F(RunExplainTest, CommandSetItemsAreNamedAndTheTableAloneGivesAHint) {
    ASSERT_EQ(Run({"--explain", "--commands", "escp", Data("escp_invoice_logo.prn")}), 0)
        << err.str();
    std::string text = out.str();
    EXPECT_NE(text.find("       2  #27 * ' h#1 <1080 bytes>  Grafika 24-igłowa (ESC/P)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("#27 J#24                  Przesuw papieru (ESC/P)"), std::string::npos);
    EXPECT_NE(text.find("#27 E                     Pogrubienie (Bold)"), std::string::npos);
    EXPECT_NE(text.find("\"Grüße\""), std::string::npos);
    EXPECT_EQ(text.find("sequences unknown"), std::string::npos);

    // The table alone: the nine commands outside the shipped table, not the bytes of the logo.
    ASSERT_EQ(Run({"--explain", Data("escp_invoice_logo.prn")}), 0);
    text = out.str();
    EXPECT_TRUE(text.ends_with(
        "\n9 sequences unknown to the table are ESC/P commands: try --commands escp\n"))
        << text.substr(text.size() - 200);

    ASSERT_EQ(Run({"--explain", Data("pcl_pjl_lineprinter.pcl")}), 0);
    text = out.str();
    EXPECT_NE(text.find("sequences unknown to the table are PCL commands: try --commands pcl"),
              std::string::npos)
        << text;
    ASSERT_EQ(Run({"--explain", "--commands", "auto", Data("pcl_pjl_lineprinter.pcl")}), 0);
    text = out.str();
    EXPECT_NE(text.find("@ P J L <23 bytes>        Polecenie PJL (PCL)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("#27 % 1 B <27 bytes>      Grafika wektorowa HP-GL/2 (pominięta) (PCL)"),
              std::string::npos);

    const auto file = dir / "one.prn";
    WriteFileAtomic(file, ToBytes("A\x1bJ\x18"
                                  "B"));
    ASSERT_EQ(Run({"--explain", file.string()}), 0);
    EXPECT_TRUE(out.str().ends_with(
        "1 sequence unknown to the table is an ESC/P command: try --commands escp\n"))
        << out.str();
    WriteFileAtomic(file, ToBytes("plain text\r\n"));
    ASSERT_EQ(Run({"--explain", file.string()}), 0);
    EXPECT_EQ(out.str().find("unknown"), std::string::npos);
}

TEST_F(RunExplainTest, BadInputsGiveAMessageAndAFailure) {
    EXPECT_EQ(Run({"--explain", (dir / "missing.prn").string()}), 1);
    EXPECT_NE(err.str().find("Cannot open file"), std::string::npos) << err.str();

    EXPECT_EQ(Run({"--explain", "--seq", "NoSuchTable", Data("faktura_cp852.prn")}), 1);
    EXPECT_NE(err.str().find("NoSuchTable"), std::string::npos);

    EXPECT_EQ(Run({"--explain", "--cmap", "..", Data("faktura_cp852.prn")}), 1);
    EXPECT_NE(err.str().find("Nieprawidłowa nazwa"), std::string::npos) << err.str();

    std::filesystem::create_directory(dir / "dir.seq");
    EXPECT_EQ(Run({"--explain", "--seq", (dir / "dir.seq").string(), Data("faktura_cp852.prn")}),
              1);
    EXPECT_FALSE(err.str().empty());
}

TEST_F(RunExplainTest, DamagedFilesAreUsedAsFarAsTheyGoWithAWarning) {
    ASSERT_EQ(Run({"--explain", "--seq", Data("cut_record.seq"), "--cmap", Data("short.cmap"),
                   Data("faktura_cp852.prn")}),
              0);
    EXPECT_NE(err.str().find("4 B"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("100 B"), std::string::npos) << err.str();
}

// The built tools find the shipped data beside themselves; quernel hands --explain on.
TEST(RenderToolTest, ExplainsASampleFromTheCommandLine) {
    for (const char* program : {"quernel-render", "quernel"}) {
        const std::string command = std::string(QUERNEL_BIN_DIR) + "/" + program + " --explain '" +
                                    Data("faktura_cp852.prn").string() + "' 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
        EXPECT_EQ(::pclose(pipe), 0) << output;
        EXPECT_NE(output.find("Pogrubienie (Bold)"), std::string::npos) << program << output;
        EXPECT_NE(output.find("Zażółć gęślą jaźń"), std::string::npos) << program << output;
    }
}

// A printout that gets shorter while it is read ends the tool with a message and exit 1, not a
// bus error. The explanation is read slowly, so the tool is still at the file's start when the
// file is cut.
TEST(RenderToolTest, APrintoutCutWhileReadEndsWithAMessage) {
    TempDir dir;
    const std::filesystem::path printout = dir / "long.prn";
    WriteFile(printout, std::string(32 << 20, '\x0C'));  // one explained item per byte
    const std::string command =
        std::string(QUERNEL_BIN_DIR) + "/quernel-render --explain '" + printout.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buf[4096];
    std::string output(buf, std::fread(buf, 1, sizeof buf, pipe));
    std::filesystem::resize_file(printout, 0);
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) {
        // Only the end is kept: the items before it are many.
        output.append(buf, n);
        if (output.size() > 1 << 16) output.erase(0, output.size() - 4096);
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(output.find("skrócił się w trakcie czytania"), std::string::npos) << output;
}

}  // namespace
}  // namespace quernel::test
