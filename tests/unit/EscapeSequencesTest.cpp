#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/CodePages.h"
#include "engine/EscapeSequences.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace meaning;

// The meanings and lengths of a whole printout, as the renderer would walk it.
std::vector<TMatch> Walk(TEscapeSequences table, const std::string& text, bool ignorePcl = false) {
    table.SortSequences();
    const Bytes data = ToBytes(text);
    std::vector<TMatch> out;
    for (std::size_t p = 0; p < data.size();) {
        const TMatch m = table.MatchSequence(data, p, ignorePcl);
        out.push_back(m);
        p += m.length;
    }
    return out;
}

TEscapeSequences BuiltIn() {
    TEscapeSequences t;
    t.LoadDefaultSequences();
    return t;
}

TEST(MeaningTest, NamesAndDisplayOrder) {
    EXPECT_EQ(MeaningName(kPrintable), "Znak drukowalny");
    EXPECT_EQ(MeaningName(kCondensed), "Zageszczony (17/20CPI)");
    EXPECT_EQ(MeaningName(kResetEject), "Reset i wysuń stronę");
    EXPECT_EQ(MeaningName(kCpi5), "5 CPI");
    EXPECT_EQ(MeaningName(43), "");

    const auto& order = MeaningDisplayOrder();
    EXPECT_EQ(std::set<int>(order.begin(), order.end()).size(), 43u);
    EXPECT_EQ(order[2], kReset);
    EXPECT_EQ(order[27], kCpi5);
    for (int pos = 0; pos < kMeaningCount; ++pos)
        EXPECT_EQ(MeaningDisplayPosition(order[pos]), pos);
    EXPECT_EQ(MeaningDisplayPosition(200), -1);
}

TEST(MatchTest, BuiltInEntries) {
    EXPECT_EQ(
        Walk(BuiltIn(), "AB\r\nC"),
        (std::vector<TMatch>{{kPrintable, 1}, {kPrintable, 1}, {kNewLine, 2}, {kPrintable, 1}}));
    EXPECT_EQ(
        Walk(BuiltIn(), "AB\rC"),
        (std::vector<TMatch>{{kPrintable, 1}, {kPrintable, 1}, {kIgnore, 1}, {kPrintable, 1}}));
    EXPECT_EQ(Walk(BuiltIn(), "\n\b\a\f\x1a"),
              (std::vector<TMatch>{
                  {kNewLine, 1}, {kBack, 1}, {kIgnore, 1}, {kNewPage, 1}, {kNewPage, 1}}));
}

TEST(MatchTest, UserEntryReplacesBuiltInButLongerStringsStillWin) {
    TEscapeSequences t = BuiltIn();
    TEscapeSequences user{{{0x0D}, kCarriageReturn}};
    t.AddSequences(user);
    EXPECT_EQ(t.size(), 7u);
    EXPECT_EQ(Walk(t, "a\rb\r\n"),
              (std::vector<TMatch>{
                  {kPrintable, 1}, {kCarriageReturn, 1}, {kPrintable, 1}, {kNewLine, 2}}));
}

TEST(MatchTest, LongestEntryWinsAndAShorterOneTakesTheRest) {
    TEscapeSequences t{{ToBytes("\x1b"
                                "E"),
                        kReset},
                       {ToBytes("\x1b"
                                "Ex"),
                        kIgnore}};
    EXPECT_EQ(Walk(t,
                   "\x1b"
                   "Ex\x1b"
                   "Ey"),
              (std::vector<TMatch>{{kIgnore, 3}, {kReset, 2}, {kPrintable, 1}}));
}

TEST(MatchTest, EntryRunningPastTheEndDoesNotMatch) {
    TEscapeSequences t{{ToBytes("\x1b"
                                "(s3B"),
                        kBoldOn}};
    EXPECT_EQ(Walk(t, "x\x1b(s3"), (std::vector<TMatch>(5, TMatch{kPrintable, 1})));
}

TEST(MatchTest, MultiByteEntryWithMeaningZeroPrintsAllItsBytes) {
    TEscapeSequences t{{ToBytes("ab"), kPrintable}};
    EXPECT_EQ(Walk(t, "abc"), (std::vector<TMatch>{{kPrintable, 2}, {kPrintable, 1}}));
}

TEST(PclRuleTest, SwallowsUnknownCommandsUpToTheCapitalLetter) {
    EXPECT_EQ(Walk(BuiltIn(), "\x1b&l1Ox", true),
              (std::vector<TMatch>{{kIgnore, 5}, {kPrintable, 1}}));
    // The H of Hello ends the command; "ello" prints.
    const auto hello = Walk(BuiltIn(), "\x1b(s10hHello", true);
    ASSERT_EQ(hello.size(), 5u);
    EXPECT_EQ(hello[0], (TMatch{kIgnore, 7}));
    // No limit on the distance, and line ends in between are swallowed too.
    const std::string far = "\x1b" + std::string(100000, 'x') + "\r\n" + "Q" + "z";
    EXPECT_EQ(Walk(BuiltIn(), far, true),
              (std::vector<TMatch>{{kIgnore, 100004}, {kPrintable, 1}}));
}

TEST(PclRuleTest, EscWithoutCapitalOrWithTheRuleOffPrints) {
    EXPECT_EQ(Walk(BuiltIn(), "\x1bxyz", true), (std::vector<TMatch>(4, TMatch{kPrintable, 1})));
    EXPECT_EQ(Walk(BuiltIn(), "\x1b&l1O", false), (std::vector<TMatch>(5, TMatch{kPrintable, 1})));
}

TEST(PclRuleTest, TableEntryWinsOverTheRule) {
    TEscapeSequences t = BuiltIn();
    t.AddSequence(ToBytes("\x1b"
                          "4"),
                  kItalicOn);
    EXPECT_EQ(
        Walk(t,
             "\x1b"
             "4abC",
             true),
        (std::vector<TMatch>{{kItalicOn, 2}, {kPrintable, 1}, {kPrintable, 1}, {kPrintable, 1}}));
}

TEST(SortTest, FrontIndexSwapsPutLongerStringsFirst) {
    TEscapeSequences t{{ToBytes("A"), 0},
                       {ToBytes("BBB"), 0},
                       {ToBytes("CC"), 0},
                       {ToBytes("DDD"), 0},
                       {ToBytes("E"), 0}};
    t.SortSequences();
    std::vector<std::string> order;
    for (const auto& e : t) order.push_back(ToString(e.Sequence));
    EXPECT_EQ(order, (std::vector<std::string>{"BBB", "DDD", "CC", "A", "E"}));
}

TEST(SortTest, MatcherAgreesWithMatchSequenceOnRandomPrintouts) {
    TEscapeSequences t = BuiltIn();
    t.AddSequence(ToBytes("\x1b"
                          "E"),
                  kBoldOn);
    t.AddSequence(ToBytes("\x1b"
                          "-\x01"),
                  kUnderlineOn);
    t.AddSequence(ToBytes("\x1b"
                          "(s3B"),
                  kBoldOn);
    t.AddSequence({}, kReset);  // an empty string never matches
    t.SortSequences();
    const std::string alphabet =
        "\x1b\x1b\x1b"
        "E-(s3Bab\r\n\x0c\x01Z";
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        Bytes data(1 + rng() % 300);
        for (auto& b : data) b = static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]);
        for (bool pcl : {false, true}) {
            TSequenceMatcher matcher(t, data, pcl);
            for (std::size_t p = 0; p < data.size(); ++p) {
                ASSERT_EQ(matcher.Match(p), t.MatchSequence(data, p, pcl)) << "at " << p;
            }
        }
    }
}

TEST(TableTest, AddSequenceKeepsStringsUniqueAndTheLastMeaningWins) {
    TEscapeSequences fromFile;
    fromFile.Append({{0x0F}, kCondensed});
    fromFile.Append({{0x0F}, kCpi17});
    TEscapeSequences job = BuiltIn();
    job.AddSequences(fromFile);
    EXPECT_EQ(job.size(), 8u);
    EXPECT_EQ(Walk(job, "\x0f")[0], (TMatch{kCpi17, 1}));
}

TEST(NotationTest, Formatting) {
    EXPECT_EQ(SequenceToText(ToBytes("\x1b"
                                     "4")),
              "#27 4");
    EXPECT_EQ(SequenceToText(ToBytes("AB")), " A B");
    EXPECT_EQ(SequenceToText(Bytes{0x00, 0x20, 0x21, 0x7F, 0x80, 0xFF}), "#0#32 ! \x7f#128#255");
    EXPECT_EQ(SequenceToText(ToBytes("#")), " #");
}

TEST(NotationTest, Parsing) {
    EXPECT_EQ(TextToSequence("#27 4"), ToBytes("\x1b"
                                               "4"));
    EXPECT_EQ(TextToSequence("#27#52"), ToBytes("\x1b"
                                                "4"));
    EXPECT_EQ(TextToSequence("#27#"), ToBytes("\x1b"));
    EXPECT_EQ(TextToSequence("#299"), Bytes{43});
    EXPECT_EQ(TextToSequence("abc"), ToBytes("abc"));
    EXPECT_EQ(TextToSequence("#35"), ToBytes("#"));
    EXPECT_EQ(TextToSequence("#2147483647"), Bytes{0xFF});
    EXPECT_EQ(TextToSequence("# 27"), std::nullopt);
    EXPECT_EQ(TextToSequence(""), std::nullopt);
    EXPECT_EQ(TextToSequence("   "), std::nullopt);
    EXPECT_EQ(TextToSequence("#"), std::nullopt);
    EXPECT_EQ(TextToSequence(" #"), std::nullopt);  // how the byte # is shown: not parseable
    EXPECT_EQ(TextToSequence("#2147483648"), std::nullopt);
    EXPECT_EQ(TextToSequence("#99999999999999999999 A"), std::nullopt);
}

// Typed characters are the printer's 8-bit Windows-1250 bytes, not their UTF-8 form.
TEST(NotationTest, CharactersBecomeWindows1250Bytes) {
    EXPECT_EQ(TextToSequence("#27 ą Ż€"), (Bytes{0x1B, 0xB9, 0xAF, 0x80}));
    EXPECT_EQ(TextToSequence("#185"), Bytes{0xB9});  // numbers stay numbers
    // A byte that is not UTF-8 is already an 8-bit character and stands for itself.
    EXPECT_EQ(TextToSequence("a\xB9"
                             "b"),
              (Bytes{'a', 0xB9, 'b'}));
    EXPECT_EQ(TextToSequence("\xC5"), Bytes{0xC5});  // a UTF-8 lead byte cut short

    std::string error;
    EXPECT_EQ(TextToSequence("#27 ñ", &error), std::nullopt);
    EXPECT_EQ(error, "Znaku \"ñ\" nie ma w kodowaniu Windows-1250; wpisz jego kod jako #liczba");
    error.clear();
    EXPECT_EQ(TextToSequence("# 27", &error), std::nullopt);
    EXPECT_EQ(error, "");  // other faults are the caller's to word

    // Every character of the code page gives its byte.
    const auto& win = CodePageTable(CodePage::kCp1250);
    for (int b = 0x80; b < 256; ++b) {
        if (win[b] == 0xFFFD) continue;
        std::string text;
        AppendUtf8(text, win[b]);
        EXPECT_EQ(TextToSequence(text), Bytes{static_cast<std::uint8_t>(b)}) << b;
    }
}

TEST(NotationTest, EveryByteButTheHashSignRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        if (b == '#') continue;
        const Bytes one{static_cast<std::uint8_t>(b)};
        EXPECT_EQ(TextToSequence(SequenceToText(one)), one) << b;
    }
}

class SequenceFileTest : public ::testing::Test {
  protected:
    static std::filesystem::path Data(const char* name) {
        return std::filesystem::path(QUERNEL_TEST_DATA_DIR) / name;
    }
    TempDir dir;
};

TEST_F(SequenceFileTest, ReadsRecordsInFileOrder) {
    const TEscapeSequences t = ReadSequenceFile(Data("good.seq"));
    EXPECT_EQ(t, (TEscapeSequences{{ToBytes("\x1b"
                                            "E"),
                                    kReset},
                                   {ToBytes("\x1b"
                                            "4"),
                                    kItalicOn}}));
    EXPECT_TRUE(ReadSequenceFile(Data("empty.seq")).empty());
}

TEST_F(SequenceFileTest, RecordCutShortIsDroppedAndTheWholeOnesKept) {
    std::size_t dropped = 0;
    EXPECT_EQ(ReadSequenceFile(Data("cut_record.seq"), &dropped), (TEscapeSequences{{ToBytes("\x1b"
                                                                                             "E"),
                                                                                     kBoldOn}}));
    EXPECT_EQ(dropped, 4u);
    EXPECT_EQ(ReadSequenceFile(Data("cut_meaning.seq"), &dropped),
              (TEscapeSequences{{{0x0F}, kCondensed}}));
    EXPECT_EQ(dropped, 3u);
    // Every cut of a valid file keeps exactly the records that are whole.
    const Bytes whole = ReadWholeFile(Data("good.seq"));
    for (std::size_t n = 0; n <= whole.size(); ++n) {
        WriteFile(dir / "cut.seq", Bytes(whole.begin(), whole.begin() + n));
        EXPECT_EQ(ReadSequenceFile(dir / "cut.seq").size(), n / 4) << n;
    }
}

TEST_F(SequenceFileTest, ValuesAreTakenAsTheyAre) {
    const TEscapeSequences t = ReadSequenceFile(Data("odd_values.seq"));
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(t[0].Sequence.empty());
    EXPECT_EQ(t[0].Meaning, 7);
    EXPECT_EQ(t[1].Meaning, 99);
    EXPECT_EQ(t[2].Meaning, kCondensed);
}

TEST_F(SequenceFileTest, WritesTheRecordsBackToBack) {
    const TEscapeSequences t{{ToBytes("\x1b"
                                      "E"),
                              kReset},
                             {ToBytes("\x1b"
                                      "4"),
                              kItalicOn}};
    WriteSequenceFile(dir / "t.seq", t);
    EXPECT_EQ(ReadWholeFile(dir / "t.seq"), ReadWholeFile(Data("good.seq")));
    EXPECT_EQ(ReadSequenceFile(dir / "t.seq"), t);
}

TEST_F(SequenceFileTest, TooLongStringIsRefusedAndTheOldFileKept) {
    WriteSequenceFile(dir / "t.seq", TEscapeSequences{{ToBytes("x"), kIgnore}});
    const TEscapeSequences tooLong{{Bytes(256, 'a'), kIgnore}};
    EXPECT_THROW(WriteSequenceFile(dir / "t.seq", tooLong), std::invalid_argument);
    EXPECT_EQ(ReadSequenceFile(dir / "t.seq").size(), 1u);
}

TEST_F(SequenceFileTest, UnreadableOrUnwritableFileRaisesAnError) {
    std::filesystem::create_directory(dir / "folder.seq");
    EXPECT_THROW(ReadSequenceFile(dir / "folder.seq"), FileError);
    EXPECT_THROW(ReadSequenceFile(dir / "missing.seq"), FileError);
    EXPECT_THROW(WriteSequenceFile(dir / "no" / "such" / "t.seq", {}), FileError);
}

}  // namespace
}  // namespace quernel::test
