// The shipped character maps, checked where a user sees them: printed by quernel-render into a
// PDF, every national letter of the DOS code page must come out as the same Unicode letter.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/FileUtil.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;

// Consecutive DOS bytes from `first` on, and the letters they stand for (UTF-8).
struct TLetters {
    std::uint8_t first;
    std::string letters;
};

struct TMapCase {
    const char* name;
    std::vector<TLetters> letters;
};

// From the published code page tables. The Greek letters and the micro sign of the
// mathematical block (0xE0..0xEF) of the code page 437 family are symbols there, and ı of code
// page 850 exists in no charset offered beside the other Western letters: those are left out.
const std::vector<TMapCase> kMaps = {
    {"LatinII",
     {{0x80, "ÇüéâäůćçłëŐőîŹÄĆÉĹĺôöĽľŚśÖÜŤťŁ"},
      {0x9F, "č"},
      {0xA0, "áíóúĄąŽžĘę"},
      {0xAB, "źČş"},
      {0xB5, "ÁÂĚŞ"},
      {0xBD, "Żż"},
      {0xC6, "Ăă"},
      {0xD0, "đĐĎËďŇÍÎě"},
      {0xDD, "ŢŮ"},
      {0xE0, "ÓßÔŃńňŠšŔÚŕŰýÝţ"}}},
    {"Kamenicky", {{0x80, "ČüéďäĎŤčěĚĹÍľĺÄÁÉžŽôöÓůÚýÖÜŠĽÝŘťáíóúňŇŮÔšřŕŔ"}, {0xE1, "ß"}}},
    {"CP437", {{0x80, "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ"}, {0x9F, "ƒáíóúñÑªº"}, {0xE1, "ß"}}},
    {"CP850",
     {{0x80, "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜø"},
      {0x9D, "Ø"},
      {0x9F, "ƒáíóúñÑªº"},
      {0xB5, "ÁÂÀ"},
      {0xC6, "ãÃ"},
      {0xD0, "ðÐÊËÈ"},
      {0xD6, "ÍÎÏ"},
      {0xDE, "Ì"},
      {0xE0, "ÓßÔÒõÕµþÞÚÛÙýÝ"}}},
    {"CP866",
     {{0x80, "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмноп"},
      {0xE0, "рстуфхцчшщъыьэюяЁёЄєЇїЎў"}}},
    {"CP737",
     {{0x80, "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩαβγδεζηθικλμνξοπρσςτυφχψ"},
      {0xE0, "ωάέήϊίόύϋώΆΈΉΊΌΎΏ"},
      {0xF4, "ΪΫ"}}},
    {"CP775",
     {{0x80, "ĆüéāäģåćłēŖŗīŹÄÅÉæÆōöĢ"},
      {0x97, "ŚśÖÜø"},
      {0x9D, "Ø"},
      {0xA0, "ĀĪóŻżź"},
      {0xAD, "Ł"},
      {0xB5, "ĄČĘĖ"},
      {0xBD, "ĮŠ"},
      {0xC6, "ŲŪ"},
      {0xCF, "Žąčęėįšųūž"},
      {0xE0, "ÓßŌŃõÕµńĶķĻļņĒŅ"}}},
};

// Splits UTF-8 text into its characters.
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

std::string WithoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != ' ' && c != '\n' && c != '\r' && c != '\f') out += c;
    }
    return out;
}

class ShippedCharMapTest : public ::testing::Test {
  protected:
    // quernel-render with a shipped map, into a PDF; answers the PDF's text. Box lines are
    // off unless asked for: the map alone decides what prints.
    std::string Render(const std::string& map, const Bytes& printout, bool boxLines = false) {
        const fs::path in = dir.path() / "printout.prn";
        const fs::path pdf = dir.path() / "out.pdf";
        test::WriteFile(in, printout);
        test::RunCommand(
            std::string(QUERNEL_BIN_DIR) + "/quernel-render --cmap " +
            test::Quote(fs::path(QUERNEL_SHIPPED_DATA_DIR) / "CharMap" / (map + ".cmap")) +
            " --box-lines " + (boxLines ? "1 " : "0 ") + test::Quote(in) + " -o " +
            test::Quote(pdf));
        return test::RunCommand("pdftotext -layout " + test::Quote(pdf) + " -");
    }

    test::TempDir dir;
};

// With box lines too: the letters that these code pages keep where code page 437 draws boxes
// (Á, Ż, ż, Ų, ...) stay letters.
TEST_F(ShippedCharMapTest, EveryNationalLetterPrintsAsItself) {
    for (const auto& [map, boxLines] : [] {
             std::vector<std::pair<TMapCase, bool>> cases;
             for (const TMapCase& map : kMaps) {
                 for (bool boxLines : {false, true}) cases.emplace_back(map, boxLines);
             }
             return cases;
         }()) {
        SCOPED_TRACE(std::string(map.name) + (boxLines ? " with box lines" : ""));
        // Each letter's byte on its own, 16 to a line, so a wrong one is easy to place.
        Bytes printout;
        std::string expected;
        int onLine = 0;
        for (const TLetters& run : map.letters) {
            int byte = run.first;
            for (const std::string& letter : Characters(run.letters)) {
                printout.push_back(static_cast<std::uint8_t>(byte++));
                printout.push_back(' ');
                expected += letter;
                if (++onLine == 16) {
                    printout.push_back('\r');
                    printout.push_back('\n');
                    onLine = 0;
                }
            }
        }
        const std::string text = WithoutBlanks(Render(map.name, printout, boxLines));
        const std::vector<std::string> got = Characters(text);
        const std::vector<std::string> want = Characters(expected);
        ASSERT_EQ(got.size(), want.size()) << text;
        for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "letter " << i;
    }
}

TEST_F(ShippedCharMapTest, BoxDrawingStaysLinesWhereTheCharsetHasThem) {
    // ┌─┬┐ │ ╔═╦╗ ║ ╚╩╝, at the same places in every one of these code pages.
    const Bytes boxes = {0xDA, 0xC4, 0xC2, 0xBF, 0xB3, 0xC9, 0xCD,
                         0xCB, 0xBB, 0xBA, 0xC8, 0xCA, 0xBC};
    // Kamenický prints through the DOS charset, which draws single and double lines; a corner
    // mixing both (╒) is missing there and becomes a cross.
    Bytes kamenicky = boxes;
    kamenicky.push_back(0xD5);
    EXPECT_EQ(WithoutBlanks(Render("Kamenicky", kamenicky)), "┌─┬┐│╔═╦╗║╚╩╝+");
    // The Windows charsets have no box drawing: plain characters keep the table's shape.
    for (const char* map : {"CP437", "CP850", "CP866", "CP737", "CP775"}) {
        EXPECT_EQ(WithoutBlanks(Render(map, boxes)), "+-++|+=++|+++") << map;
    }
}

// A Czech balance sheet written by a DOS program in Kamenický: letters and frames intact.
TEST_F(ShippedCharMapTest, CzechBalanceSheetInKamenicky) {
    const std::string text = Render(
        "Kamenicky", ReadWholeFile(fs::path(QUERNEL_TEST_DATA_DIR) / "rozvaha_kamenicky.prn"));
    for (const char* words : {"Označení položky", "Strojírny Žďár", "Řehoř Šťastný, účetní",
                              "ředitel Ďuriš", "╔═════", "┌──────", "╚═════"}) {
        EXPECT_NE(text.find(words), std::string::npos) << words << "\n" << text;
    }
}

}  // namespace
}  // namespace quernel
