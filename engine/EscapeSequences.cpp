#include "engine/EscapeSequences.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "engine/CodePages.h"
#include "host/FileUtil.h"

namespace quernel {

namespace {

constexpr std::array<std::string_view, kMeaningCount> kNames = {
    "Znak drukowalny",
    "Ignoruj",
    "Nowa linia",
    "Cofnij",
    "Pogrubienie (Bold)",
    "Bez pogrubienia (Bold)",
    "Podkreślone (Underline)",
    "Bez podkreślenia (Underline)",
    "Pochylony (Italic)",
    "Bez pochylenia (Italic)",
    "Zageszczony (17/20CPI)",
    "Bez zagęszczenia (10/12CPI)",
    "Pica (10/17CPI)",
    "Elite (12/20CPI)",
    "10 CPI",
    "12 CPI",
    "17 CPI",
    "20 CPI",
    "Powiększony (1 linia)",
    "Bez powiększania",
    "Nowa strona",
    "Reset",
    "Do początku linii",
    "Powiększony (wiele linii)",
    "Sub Script",
    "Super Script",
    "Bez Sub/Super Script",
    "Pionowo",
    "Poziomo",
    "Tabulator",
    "Reset i wysuń stronę",
    "1 linia/cal",
    "2 linie/cal",
    "3 linie/cal",
    "4 linie/cal",
    "6 linii/cal",
    "8 linii/cal",
    "12 linii/cal",
    "16 linii/cal",
    "24 linie/cal",
    "48 linii/cal",
    "24 CPI",
    "5 CPI",
};

constexpr std::array<TSequenceMeaning, kMeaningCount> kDisplayOrder = {
    0,  1,  21, 30, 27, 28, 2,  20, 22, 3,  29, 4,  5,  6,  7,  8,  9,  18, 19, 23, 24, 25,
    26, 10, 11, 12, 13, 42, 14, 15, 16, 17, 41, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40,
};

constexpr std::array<int, kMeaningCount> InvertOrder() {
    std::array<int, kMeaningCount> inverse{};
    for (int i = 0; i < kMeaningCount; ++i) inverse[kDisplayOrder[i]] = i;
    return inverse;
}
constexpr std::array<int, kMeaningCount> kDisplayPosition = InvertOrder();

constexpr std::uint8_t kEsc = 0x1B;

bool IsCapital(std::uint8_t b) {
    return b >= 'A' && b <= 'Z';
}

std::size_t FindCapital(ByteView data, std::size_t from) {
    const auto it =
        std::find_if(data.begin() + static_cast<std::ptrdiff_t>(from), data.end(), IsCapital);
    return static_cast<std::size_t>(it - data.begin());
}

}  // namespace

std::string_view MeaningName(TSequenceMeaning m) {
    return m < kMeaningCount ? kNames[m] : "";
}

const std::array<TSequenceMeaning, kMeaningCount>& MeaningDisplayOrder() {
    return kDisplayOrder;
}

int MeaningDisplayPosition(TSequenceMeaning m) {
    return m < kMeaningCount ? kDisplayPosition[m] : -1;
}

TEscapeSequences::TEscapeSequences(std::initializer_list<TEscapeSequence> entries)
    : entries_(entries) {}

void TEscapeSequences::LoadDefaultSequences() {
    using namespace meaning;
    entries_ = {
        {{0x0D, 0x0A}, kNewLine}, {{0x0A}, kNewLine}, {{0x08}, kBack},   {{0x07}, kIgnore},
        {{0x0C}, kNewPage},       {{0x1A}, kNewPage}, {{0x0D}, kIgnore},
    };
    Invalidate();
}

void TEscapeSequences::AddSequence(ByteView sequence, TSequenceMeaning m) {
    for (auto& entry : entries_) {
        if (std::ranges::equal(entry.Sequence, sequence)) {
            entry.Meaning = m;
            return;
        }
    }
    entries_.push_back({Bytes(sequence.begin(), sequence.end()), m});
    Invalidate();
}

void TEscapeSequences::AddSequences(const TEscapeSequences& table) {
    for (const auto& entry : table.entries_) AddSequence(entry.Sequence, entry.Meaning);
}

void TEscapeSequences::Append(TEscapeSequence entry) {
    entries_.push_back(std::move(entry));
    Invalidate();
}

void TEscapeSequences::Remove(std::size_t index) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    Invalidate();
}

void TEscapeSequences::Clear() {
    entries_.clear();
    Invalidate();
}

void TEscapeSequences::Set(std::size_t index, TEscapeSequence entry) {
    entries_[index] = std::move(entry);
    Invalidate();
}

void TEscapeSequences::SortSequences() {
    std::size_t longest = 0;
    for (const auto& entry : entries_) longest = std::max(longest, entry.Sequence.size());
    if (longest > 1) {
        std::size_t front = 0;
        for (std::size_t length = longest; length >= 2; --length) {
            for (std::size_t k = front; k < entries_.size(); ++k) {
                if (entries_[k].Sequence.size() != length) continue;
                if (k != front) std::swap(entries_[k], entries_[front]);
                ++front;
            }
        }
    }
    // Index by first byte, keeping table order inside each group.
    std::array<std::uint32_t, 257> count{};
    for (const auto& entry : entries_) {
        if (!entry.Sequence.empty()) ++count[entry.Sequence[0] + 1];
    }
    for (std::size_t b = 1; b < count.size(); ++b) count[b] += count[b - 1];
    bucket_ = count;
    byFirst_.assign(count[256], 0);
    for (std::uint32_t i = 0; i < entries_.size(); ++i) {
        const Bytes& seq = entries_[i].Sequence;
        if (!seq.empty()) byFirst_[count[seq[0]]++] = i;
    }
    indexed_ = true;
}

std::optional<TMatch> TEscapeSequences::MatchTable(ByteView data, std::size_t p) const {
    const std::size_t remaining = data.size() - p;
    const auto matches = [&](const TEscapeSequence& entry) {
        const Bytes& seq = entry.Sequence;
        return !seq.empty() && seq.size() <= remaining && seq[0] == data[p] &&
               std::equal(seq.begin() + 1, seq.end(), data.begin() + p + 1);
    };
    if (indexed_) {
        for (std::uint32_t k = bucket_[data[p]]; k < bucket_[data[p] + 1]; ++k) {
            const TEscapeSequence& entry = entries_[byFirst_[k]];
            if (matches(entry)) return TMatch{entry.Meaning, entry.Sequence.size()};
        }
    } else {
        for (const auto& entry : entries_) {
            if (matches(entry)) return TMatch{entry.Meaning, entry.Sequence.size()};
        }
    }
    return std::nullopt;
}

TMatch TEscapeSequences::MatchSequence(ByteView data, std::size_t p, bool ignorePcl) const {
    if (auto hit = MatchTable(data, p)) return *hit;
    if (ignorePcl && data[p] == kEsc) {
        const std::size_t at = FindCapital(data, p + 1);
        if (at < data.size()) return {meaning::kIgnore, at - p + 1};
    }
    return {meaning::kPrintable, 1};
}

TSequenceMatcher::TSequenceMatcher(const TEscapeSequences& table, ByteView data, bool ignorePcl)
    : table_(table),
      data_(data),
      ignorePcl_(ignorePcl),
      capitalFrom_(std::numeric_limits<std::size_t>::max()) {}

TMatch TSequenceMatcher::Match(std::size_t p) {
    if (auto hit = table_.MatchTable(data_, p)) return *hit;
    if (ignorePcl_ && data_[p] == kEsc) {
        const std::size_t from = p + 1;
        // No capital lies in [capitalFrom_, capitalAt_), so the answer for any start inside
        // that range is capitalAt_ again.
        if (from < capitalFrom_ || from > capitalAt_) {
            capitalFrom_ = from;
            capitalAt_ = FindCapital(data_, from);
        }
        if (capitalAt_ < data_.size()) return {meaning::kIgnore, capitalAt_ - p + 1};
    }
    return {meaning::kPrintable, 1};
}

TEscapeSequences ReadSequenceFile(const std::filesystem::path& path, std::size_t* droppedBytes) {
    const Bytes data = ReadWholeFile(path);
    TEscapeSequences table;
    std::size_t pos = 0;
    if (droppedBytes != nullptr) *droppedBytes = 0;
    while (pos < data.size()) {
        const std::size_t length = data[pos];
        if (pos + length + 2 > data.size()) {  // a record cut short is dropped
            if (droppedBytes != nullptr) *droppedBytes = data.size() - pos;
            break;
        }
        const auto first = data.begin() + static_cast<std::ptrdiff_t>(pos + 1);
        table.Append(
            {Bytes(first, first + static_cast<std::ptrdiff_t>(length)), data[pos + 1 + length]});
        pos += length + 2;
    }
    return table;
}

Bytes EncodeSequenceFile(const TEscapeSequences& table) {
    Bytes out;
    for (const auto& entry : table) {
        if (entry.Sequence.size() > 255) {
            throw std::invalid_argument("Kod sterujący dłuższy niż 255 bajtów: " +
                                        SequenceToText(entry.Sequence).substr(0, 40) + "...");
        }
        out.push_back(static_cast<std::uint8_t>(entry.Sequence.size()));
        out.insert(out.end(), entry.Sequence.begin(), entry.Sequence.end());
        out.push_back(entry.Meaning);
    }
    return out;
}

void WriteSequenceFile(const std::filesystem::path& path, const TEscapeSequences& table) {
    WriteFileAtomic(path, EncodeSequenceFile(table));
}

std::string SequenceToText(ByteView bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b <= 32 || b >= 128) {
            text += '#';
            text += std::to_string(b);
        } else {
            text += ' ';
            text += static_cast<char>(b);
        }
    }
    return text;
}

std::optional<Bytes> TextToSequence(std::string_view text, std::string* error) {
    const auto Invalid = [] { return std::optional<Bytes>(); };
    Bytes bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ') {
            ++i;
        } else if (static_cast<std::uint8_t>(c) >= 0x80) {
            const std::size_t start = i;
            const std::optional<char32_t> cp = DecodeUtf8(text, i);
            if (!cp) {
                bytes.push_back(static_cast<std::uint8_t>(c));
                ++i;
                continue;
            }
            const std::optional<std::uint8_t> b = FromUnicode(CodePage::kCp1250, *cp);
            if (!b) {
                if (error) {
                    *error = "Znaku \"" + std::string(text.substr(start, i - start)) +
                             "\" nie ma w kodowaniu Windows-1250; wpisz jego kod jako #liczba";
                }
                return std::nullopt;
            }
            bytes.push_back(*b);
        } else if (c != '#') {
            bytes.push_back(static_cast<std::uint8_t>(c));
            ++i;
        } else if (++i < text.size()) {
            if (text[i] < '0' || text[i] > '9') return Invalid();
            long long value = 0;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
                value = value * 10 + (text[i] - '0');
                if (value > std::numeric_limits<std::int32_t>::max()) return Invalid();
                ++i;
            }
            bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        }
    }
    if (bytes.empty()) return Invalid();
    return bytes;
}

}  // namespace quernel
