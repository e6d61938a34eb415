#include <gtest/gtest.h>
#include <iconv.h>

#include "engine/CharMap.h"
#include "engine/CodePages.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

std::filesystem::path Data(const char* name) {
    return std::filesystem::path(QUERNEL_TEST_DATA_DIR) / name;
}

TCharMapRecord Reversed() {
    TCharMapRecord r;
    for (int b = 0; b < 256; ++b) r.Map[b] = static_cast<std::uint8_t>(255 - b);
    r.CharsetIndex = 5;
    return r;
}

TEST(CharsetTableTest, NineEntriesInTheirOrder) {
    const auto& t = CharsetTable();
    EXPECT_EQ(t[0].name, "Domyślne");
    EXPECT_EQ(t[1].value, 255);
    EXPECT_EQ(t[1].codePage, CodePage::kCp852);
    EXPECT_EQ(t[3].name, "Europa Wschodnia");
    EXPECT_EQ(t[3].value, 238);
    EXPECT_EQ(t[3].codePage, CodePage::kCp1250);
    EXPECT_EQ(t[5].name, "Kraje bałtyckie");
    EXPECT_EQ(t[8].value, 2);
    EXPECT_EQ(&CharsetAt(9), &t[0]);
    EXPECT_EQ(&CharsetAt(255), &t[0]);
}

TEST(CharMapFileTest, WholeFileReplacesMapAndCharset) {
    TCharMapRecord written = TCharMapRecord::Identity();
    written.CharsetIndex = 3;
    TempDir dir;
    WriteCharMapFile(dir / "m.cmap", written);
    Bytes expected(256);
    for (int b = 0; b < 256; ++b) expected[b] = static_cast<std::uint8_t>(b);
    expected.push_back(3);
    EXPECT_EQ(ReadWholeFile(dir / "m.cmap"), expected);

    TCharMapRecord read = Reversed();
    ReadCharMapFile(dir / "m.cmap", read);
    EXPECT_EQ(read, written);
}

TEST(CharMapFileTest, ShortFilesReadAsFarAsTheyGo) {
    TCharMapRecord r = Reversed();
    ReadCharMapFile(Data("map256.cmap"), r);  // 256 bytes: whole map, charset back to 0
    EXPECT_EQ(r.Map[0], 1);
    EXPECT_EQ(r.Map[255], 0);
    EXPECT_EQ(r.CharsetIndex, 0);

    r = TCharMapRecord::Identity();
    r.CharsetIndex = 5;
    ReadCharMapFile(Data("short.cmap"), r);  // 100 bytes: the rest keeps the earlier map
    EXPECT_EQ(r.Map[0], 255);
    EXPECT_EQ(r.Map[99], 156);
    EXPECT_EQ(r.Map[100], 100);
    EXPECT_EQ(r.Map[255], 255);
    EXPECT_EQ(r.CharsetIndex, 0);
}

TEST(CharMapFileTest, ExtraBytesIgnoredAndAnUnknownCharsetReadsAsZero) {
    TCharMapRecord r = TCharMapRecord::Identity();
    ReadCharMapFile(Data("long.cmap"), r);
    EXPECT_EQ(r.Map[3], 21);
    EXPECT_EQ(r.CharsetIndex, 5);
    ReadCharMapFile(Data("bad_charset.cmap"), r);
    EXPECT_EQ(r, TCharMapRecord::Identity());
}

TEST(CharMapFileTest, UnreadableFileRaisesAndLeavesTheMapAlone) {
    TCharMapRecord r = Reversed();
    EXPECT_THROW(ReadCharMapFile(Data("no-such.cmap"), r), FileError);
    EXPECT_EQ(r, Reversed());
}

// What the machine's iconv makes of a byte, or nothing when the byte is undefined there.
std::optional<char32_t> Iconv(const char* codePage, std::uint8_t byte) {
    iconv_t cd = iconv_open("UTF-32LE", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inp = in;
    char* outp = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || outLeft != 4) return std::nullopt;
    return static_cast<char32_t>(static_cast<std::uint8_t>(out[0]) |
                                 static_cast<std::uint8_t>(out[1]) << 8 |
                                 static_cast<std::uint8_t>(out[2]) << 16);
}

TEST(CodePageTest, TablesAgreeWithTheSystemIconv) {
    const std::pair<CodePage, const char*> pages[] = {
        {CodePage::kCp852, "CP852"},   {CodePage::kCp1250, "CP1250"}, {CodePage::kCp1251, "CP1251"},
        {CodePage::kCp1252, "CP1252"}, {CodePage::kCp1253, "CP1253"}, {CodePage::kCp1257, "CP1257"},
    };
    for (const auto& [page, name] : pages) {
        const auto& table = CodePageTable(page);
        int defined = 0;
        for (int b = 0; b < 256; ++b) {
            const auto expected = Iconv(name, static_cast<std::uint8_t>(b));
            if (!expected) {
                EXPECT_EQ(table[b], U'\uFFFD') << name << " byte " << b;
                continue;
            }
            ++defined;
            EXPECT_EQ(table[b], *expected) << name << " byte " << b;
        }
        EXPECT_GE(defined, 230) << name;  // iconv really knows the code page
    }
}

TEST(CodePageTest, PolishTextAndSymbols) {
    const Bytes cp852 = {0x5A, 0x61, 0xBE, 0xA2, 0x88, 0x86};  // "Zażółć" in CP852
    EXPECT_EQ(ToUtf8(CodePage::kCp852, cp852), "Zażółć");
    const Bytes cp1250 = {0x5A, 0x61, 0xBF, 0xF3, 0xB3, 0xE6};
    EXPECT_EQ(ToUtf8(CodePage::kCp1250, cp1250), "Zażółć");
    EXPECT_EQ(ToUtf8(CodePage::kAdobeSymbol, Bytes{0x61, 0x41, 0xA5, 0xE5}), "αΑ∞∑");
    EXPECT_EQ(ToUtf8(CodePage::kMacRoman, Bytes{0x8A, 0xA5}), "ä•");
}

}  // namespace
}  // namespace quernel::test
