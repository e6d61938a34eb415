#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Bytes.h"

namespace quernel {

// What a control code does; 0..42. A stored value above 42 behaves like "ignore".
using TSequenceMeaning = std::uint8_t;

namespace meaning {
enum : TSequenceMeaning {
    kPrintable = 0,
    kIgnore = 1,
    kNewLine = 2,
    kBack = 3,
    kBoldOn = 4,
    kBoldOff = 5,
    kUnderlineOn = 6,
    kUnderlineOff = 7,
    kItalicOn = 8,
    kItalicOff = 9,
    kCondensed = 10,
    kCondensedOff = 11,
    kPica = 12,
    kElite = 13,
    kCpi10 = 14,
    kCpi12 = 15,
    kCpi17 = 16,
    kCpi20 = 17,
    kEnlargedLine = 18,
    kEnlargedOff = 19,
    kNewPage = 20,
    kReset = 21,
    kCarriageReturn = 22,
    kEnlargedMulti = 23,
    kSubscript = 24,
    kSuperscript = 25,
    kScriptOff = 26,
    kPortrait = 27,
    kLandscape = 28,
    kTab = 29,
    kResetEject = 30,
    kLpi1 = 31,
    kLpi2 = 32,
    kLpi3 = 33,
    kLpi4 = 34,
    kLpi6 = 35,
    kLpi8 = 36,
    kLpi12 = 37,
    kLpi16 = 38,
    kLpi24 = 39,
    kLpi48 = 40,
    kCpi24 = 41,
    kCpi5 = 42,
};
}  // namespace meaning

inline constexpr int kMeaningCount = 43;

// The Polish display name of a meaning; empty for values above 42.
std::string_view MeaningName(TSequenceMeaning m);

// The order in which lists offered to the user show the meanings, and its inverse
// (the list position of a meaning, -1 for values above 42).
const std::array<TSequenceMeaning, kMeaningCount>& MeaningDisplayOrder();
int MeaningDisplayPosition(TSequenceMeaning m);

// One control-code table entry: a byte string (1..255 bytes in a file) and its meaning.
struct TEscapeSequence {
    Bytes Sequence;
    TSequenceMeaning Meaning = meaning::kPrintable;

    bool operator==(const TEscapeSequence&) const = default;
};

struct TMatch {
    TSequenceMeaning meaning;
    std::size_t length;  // bytes consumed, at least 1

    bool operator==(const TMatch&) const = default;
};

// A control-code table. AddSequence keeps byte strings unique; a table read from a file may
// hold duplicates, which collapse when it is laid over another with AddSequences.
class TEscapeSequences {
  public:
    TEscapeSequences() = default;
    TEscapeSequences(std::initializer_list<TEscapeSequence> entries);

    // Replaces the table with the seven built-in entries.
    void LoadDefaultSequences();

    // Replaces the meaning of the entry with exactly these bytes, or appends a new entry.
    void AddSequence(ByteView sequence, TSequenceMeaning m);
    void AddSequences(const TEscapeSequences& table);

    // Appends without looking for duplicates (file reading, editors).
    void Append(TEscapeSequence entry);
    void Set(std::size_t index, TEscapeSequence entry);
    void Remove(std::size_t index);
    void Clear();

    // Moves the longest strings to the front (front-index swaps) and indexes the table by
    // first byte, so matching always tries the longest strings first.
    void SortSequences();

    // The meaning and length of what starts at data[p]. Unknown bytes are one printable
    // character; with ignorePcl an unknown ESC swallows everything up to and including the
    // next capital letter A..Z, however far.
    TMatch MatchSequence(ByteView data, std::size_t p, bool ignorePcl) const;
    // The entry at data[p] only: nothing when the table does not know what is there.
    std::optional<TMatch> MatchKnown(ByteView data, std::size_t p) const {
        return MatchTable(data, p);
    }

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const TEscapeSequence& operator[](std::size_t i) const { return entries_[i]; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    bool operator==(const TEscapeSequences& other) const { return entries_ == other.entries_; }

  private:
    friend class TSequenceMatcher;

    // The first table match at data[p], if any.
    std::optional<TMatch> MatchTable(ByteView data, std::size_t p) const;
    void Invalidate() { indexed_ = false; }

    std::vector<TEscapeSequence> entries_;
    // After SortSequences: entry indexes grouped by first byte, in table order.
    bool indexed_ = false;
    std::vector<std::uint32_t> byFirst_;
    std::array<std::uint32_t, 257> bucket_{};
};

// Walks one printout with a sorted table. Gives the same answers as MatchSequence, but
// remembers where the next capital letter is, so a long printout full of unknown ESC codes
// costs linear time under the HP-PCL rule.
class TSequenceMatcher {
  public:
    TSequenceMatcher(const TEscapeSequences& table, ByteView data, bool ignorePcl);
    TMatch Match(std::size_t p);
    // The table's entry at data[p] only: nothing when the table does not know what is there.
    std::optional<TMatch> MatchKnown(std::size_t p) const { return table_.MatchTable(data_, p); }

  private:
    const TEscapeSequences& table_;
    ByteView data_;
    bool ignorePcl_;
    std::size_t capitalFrom_ = 0;  // the search below was made from this position on
    std::size_t capitalAt_ = 0;    // first capital letter at or after capitalFrom_, or size
};

// Reads a ".seq" file: records of length byte, bytes, meaning byte. A last record cut short
// is dropped; droppedBytes, when given, receives the number of bytes it held. Throws
// FileError when the file cannot be read.
TEscapeSequences ReadSequenceFile(const std::filesystem::path& path,
                                  std::size_t* droppedBytes = nullptr);

// The table in ".seq" form; throws std::invalid_argument for a byte string longer than 255.
Bytes EncodeSequenceFile(const TEscapeSequences& table);

// Creates or replaces the file with the table; throws FileError or std::invalid_argument.
void WriteSequenceFile(const std::filesystem::path& path, const TEscapeSequences& table);

// "#27 E" notation: bytes 0..32 and 128..255 as "#" and the decimal value, others as a blank
// and the character.
std::string SequenceToText(ByteView bytes);

// Parses the notation: "#" and a decimal number is that byte, blanks separate, any other
// character stands for its Windows-1250 byte (a byte that is not UTF-8 stands for itself).
// Empty when the text is invalid or holds no byte; `error`, when given, then names a character
// that Windows-1250 lacks (and stays as it is for other faults).
std::optional<Bytes> TextToSequence(std::string_view text, std::string* error = nullptr);

}  // namespace quernel
