#include <gtest/gtest.h>

#include <map>

#include "engine/CodePages.h"
#include "engine/DataFiles.h"
#include "fakes/FakeClock.h"
#include "fakes/RecordingHistoryView.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace meaning;

class DataFilesTest : public ::testing::Test {
  protected:
    FakeClock clock;
    RecordingHistoryView view;
    TbwLog log{clock, &view};
    TempDir dir;
};

TEST_F(DataFilesTest, NamesThatWouldLeaveTheirFolderAreRefused) {
    const std::string hostile[] = {
        "", ".", "..", "a/b", "../Quernel", "/etc/passwd", std::string("a\0b", 3)};
    for (const std::string& bad : hostile) {
        EXPECT_THROW(CheckDataName(bad), InvalidNameError) << bad;
        EXPECT_THROW(SaveSequencesByName(dir.path(), bad, {}, log), InvalidNameError);
        EXPECT_THROW(SaveCharMapByName(dir.path(), bad, {}, log), InvalidNameError);
        TEscapeSequences table;
        EXPECT_THROW(LoadSequencesByName(dir.path(), bad, table, log), InvalidNameError);
    }
    EXPECT_TRUE(view.lines.empty());
    for (const char* good : {"EPSON+HP", "Moja tabela", "..x", "a.b", "Łódź"}) {
        EXPECT_NO_THROW(CheckDataName(good)) << good;
    }
    EXPECT_EQ(SequenceFilePath(dir.path(), "EPSON+HP"), dir / "Seq/EPSON+HP.seq");
    EXPECT_EQ(CharMapFilePath(dir.path(), "LatinII"), dir / "CharMap/LatinII.cmap");
}

TEST_F(DataFilesTest, ListingCreatesTheFolderAndCutsTheExtension) {
    EXPECT_TRUE(ListSequenceTables(dir.path()).empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Seq"));
    WriteFile(dir / "Seq/b.seq", std::string());
    WriteFile(dir / "Seq/A.seq", std::string());
    WriteFile(dir / "Seq/notes.txt", std::string());
    WriteFile(dir / "Seq/old.seq.bak", std::string());
    WriteFile(dir / "Seq/.seq", std::string());
    EXPECT_EQ(ListSequenceTables(dir.path()), (std::vector<std::string>{"A", "b"}));
    WriteFile(dir / "CharMap/LatinII.cmap", std::string(257, 'x'));
    EXPECT_EQ(ListCharMaps(dir.path()), (std::vector<std::string>{"LatinII"}));
}

TEST_F(DataFilesTest, LoadingByNameLogsAndAMissingFileChangesNothing) {
    TEscapeSequences active{{ToBytes("x"), kIgnore}};
    EXPECT_FALSE(LoadSequencesByName(dir.path(), "Brak", active, log));
    EXPECT_EQ(active.size(), 1u);
    EXPECT_TRUE(view.lines.empty());

    const TEscapeSequences saved{{ToBytes("\x1b"
                                          "E"),
                                  kBoldOn},
                                 {ToBytes("\x0f"), kCondensed}};
    SaveSequencesByName(dir.path(), "Nowa", saved, log);
    EXPECT_EQ(ListSequenceTables(dir.path()), (std::vector<std::string>{"Nowa"}));
    EXPECT_TRUE(LoadSequencesByName(dir.path(), "Nowa", active, log));
    EXPECT_EQ(active, saved);

    TCharMapRecord map = TCharMapRecord::Identity();
    map.Map[0xA5] = 0xB9;
    map.CharsetIndex = 3;
    SaveCharMapByName(dir.path(), "Moja", map, log);
    TCharMapRecord loaded = TCharMapRecord::Identity();
    EXPECT_TRUE(LoadCharMapByName(dir.path(), "Moja", loaded, log));
    EXPECT_EQ(loaded, map);
    std::filesystem::remove(dir / "CharMap/Moja.cmap");
    loaded.Map[1] = 7;
    EXPECT_FALSE(LoadCharMapByName(dir.path(), "Moja", loaded, log));
    EXPECT_EQ(loaded.Map[1], 7);

    EXPECT_EQ(view.Messages(), (std::vector<std::string>{
                                   "Zapisane kody sterujące : Nowa",
                                   "Ustawione kody sterujące : Nowa",
                                   "Zapisane mapowanie : Moja",
                                   "Ustawione mapowanie : Moja",
                               }));
}

// The tables and maps shipped with the program.
class ShippedDataTest : public ::testing::Test {
  protected:
    static std::filesystem::path Shipped() { return QUERNEL_SHIPPED_DATA_DIR; }
    static TCharMapRecord Map(const char* name) {
        TCharMapRecord map = TCharMapRecord::Identity();
        ReadCharMapFile(CharMapFilePath(Shipped(), name), map);
        return map;
    }
};

TEST_F(ShippedDataTest, EpsonHpTableKnowsTheCommonCodes) {
    const TEscapeSequences table = ReadSequenceFile(SequenceFilePath(Shipped(), "EPSON+HP"));
    std::map<std::string, TSequenceMeaning> byText;
    for (const auto& e : table) {
        EXPECT_TRUE(byText.emplace(SequenceToText(e.Sequence), e.Meaning).second)
            << "duplicate " << SequenceToText(e.Sequence);
    }
    const std::map<std::string, TSequenceMeaning> expected = {
        {"#27 @", kReset},
        {"#27 E", kBoldOn},
        {"#27 F", kBoldOff},
        {"#27 G", kBoldOn},
        {"#27 H", kBoldOff},
        {"#27 4", kItalicOn},
        {"#27 5", kItalicOff},
        {"#27 - 1", kUnderlineOn},
        {"#27 - 0", kUnderlineOff},
        {"#27 -#1", kUnderlineOn},
        {"#27 -#0", kUnderlineOff},
        {"#15", kCondensed},
        {"#27#15", kCondensed},
        {"#18", kCondensedOff},
        {"#27 M", kElite},
        {"#27 P", kPica},
        {"#14", kEnlargedLine},
        {"#27#14", kEnlargedLine},
        {"#20", kEnlargedOff},
        {"#27 W 1", kEnlargedMulti},
        {"#27 W 0", kEnlargedOff},
        {"#27 W#1", kEnlargedMulti},
        {"#27 W#0", kEnlargedOff},
        {"#27 S 0", kSuperscript},
        {"#27 S 1", kSubscript},
        {"#27 T", kScriptOff},
        {"#27 0", kLpi8},
        {"#27 2", kLpi6},
        {"#27 x 0", kIgnore},
        {"#27 x#1", kIgnore},
        {"#17", kIgnore},
        {"#19", kIgnore},
        {"#9", kTab},
        {"#27 & l 1 O", kLandscape},
        {"#27 & l 0 O", kPortrait},
        {"#27 ( s 3 B", kBoldOn},
        {"#27 ( s 0 B", kBoldOff},
        {"#27 & d 0 D", kUnderlineOn},
        {"#27 & d @", kUnderlineOff},
        {"#27 ( s 1 S", kItalicOn},
        {"#27 ( s 0 S", kItalicOff},
        {"#27 ( s 1 0 H", kCpi10},
        {"#27 ( s 1 2 H", kCpi12},
        {"#27 ( s 1 6 . 6 7 H", kCpi17},
        {"#27 & l 6 D", kLpi6},
        {"#27 & l 8 D", kLpi8},
    };
    for (const auto& [text, m] : expected) {
        const auto it = byText.find(text);
        ASSERT_NE(it, byText.end()) << text;
        EXPECT_EQ(it->second, m) << text;
    }
}

// Every DOS character that Windows-1250 has must come out as that character.
void ExpectSameCharacters(const TCharMapRecord& map, const std::array<char32_t, 256>& dos) {
    const auto& win = CodePageTable(CodePage::kCp1250);
    int same = 0;
    for (int b = 0; b < 256; ++b) {
        const bool exists = std::find(win.begin(), win.end(), dos[b]) != win.end();
        if (!exists) continue;
        EXPECT_EQ(win[map.Map[b]], dos[b]) << "byte " << b;
        ++same;
    }
    EXPECT_GT(same, 128 + 40);
}

TEST_F(ShippedDataTest, LatinIIMapsCp852ToWindows1250) {
    const TCharMapRecord map = Map("LatinII");
    EXPECT_EQ(map.CharsetIndex, 3);
    ExpectSameCharacters(map, CodePageTable(CodePage::kCp852));
    EXPECT_EQ(map.Map[0xA5], 0xB9);  // ą
    EXPECT_EQ(map.Map[0xBD], 0xAF);  // Ż
    // Box drawing, which Windows-1250 lacks, becomes plain lines and crosses.
    EXPECT_EQ(map.Map[0xB3], '|');
    EXPECT_EQ(map.Map[0xBA], '|');
    EXPECT_EQ(map.Map[0xC4], '-');
    EXPECT_EQ(map.Map[0xCD], '=');
    EXPECT_EQ(map.Map[0xDA], '+');
    EXPECT_EQ(map.Map[0xCE], '+');
}

TEST_F(ShippedDataTest, MazowiaMapsThePolishLetters) {
    const TCharMapRecord map = Map("Mazowia");
    EXPECT_EQ(map.CharsetIndex, 3);
    const std::pair<std::uint8_t, const char*> letters[] = {
        {0x86, "ą"}, {0x8D, "ć"}, {0x91, "ę"}, {0x92, "ł"}, {0xA4, "ń"}, {0xA2, "ó"},
        {0x9E, "ś"}, {0xA6, "ź"}, {0xA7, "ż"}, {0x8F, "Ą"}, {0x95, "Ć"}, {0x90, "Ę"},
        {0x9C, "Ł"}, {0xA5, "Ń"}, {0xA3, "Ó"}, {0x98, "Ś"}, {0xA0, "Ź"}, {0xA1, "Ż"},
    };
    for (const auto& [dos, letter] : letters) {
        EXPECT_EQ(ToUtf8(CodePage::kCp1250, Bytes{map.Map[dos]}), letter) << int(dos);
    }
    EXPECT_EQ(map.Map[0xC9], '+');  // box drawing as in LatinII
}

TEST_F(ShippedDataTest, OemIsTheIdentityInTheOemCharset) {
    TCharMapRecord expected = TCharMapRecord::Identity();
    expected.CharsetIndex = 1;
    EXPECT_EQ(Map("OEM"), expected);
}

}  // namespace
}  // namespace quernel::test
