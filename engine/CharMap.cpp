#include "engine/CharMap.h"

#include <algorithm>

#include "host/FileUtil.h"

namespace quernel {

namespace {

constexpr std::array<TCharset, kCharsetCount> kCharsets = {{
    {"Domyślne", 1, CodePage::kCp1250},
    {"OEM (DOS)", 255, CodePage::kCp852},
    {"ANSI", 0, CodePage::kCp1252},
    {"Europa Wschodnia", 238, CodePage::kCp1250},
    {"Rosja", 204, CodePage::kCp1251},
    {"Kraje bałtyckie", 186, CodePage::kCp1257},
    {"Grecja", 161, CodePage::kCp1253},
    {"Macintosh", 77, CodePage::kMacRoman},
    {"Symbol", 2, CodePage::kAdobeSymbol},
}};

}  // namespace

const std::array<TCharset, kCharsetCount>& CharsetTable() {
    return kCharsets;
}

const TCharset& CharsetAt(std::uint8_t index) {
    return kCharsets[index < kCharsetCount ? index : 0];
}

CodePage CodePageForCharset(std::uint8_t charsetValue) {
    if (charsetValue == kCp437Charset) return CodePage::kCp437;
    for (const TCharset& c : kCharsets) {
        if (c.value == charsetValue) return c.codePage;
    }
    return CodePage::kCp1250;
}

TCharMapRecord TCharMapRecord::Identity() {
    TCharMapRecord record;
    for (int b = 0; b < 256; ++b) record.Map[b] = static_cast<std::uint8_t>(b);
    return record;
}

void ReadCharMapFile(const std::filesystem::path& path, TCharMapRecord& record) {
    const Bytes data = ReadFilePrefix(path, kCharMapFileSize);
    record.CharsetIndex = 0;
    const std::size_t mapBytes = std::min<std::size_t>(data.size(), 256);
    std::copy_n(data.begin(), mapBytes, record.Map.begin());
    if (data.size() == kCharMapFileSize)
        record.CharsetIndex = data[256] < kCharsetCount ? data[256] : 0;
}

Bytes EncodeCharMap(const TCharMapRecord& record) {
    Bytes out(record.Map.begin(), record.Map.end());
    out.push_back(record.CharsetIndex);
    return out;
}

void WriteCharMapFile(const std::filesystem::path& path, const TCharMapRecord& record) {
    WriteFileAtomic(path, EncodeCharMap(record));
}

}  // namespace quernel
