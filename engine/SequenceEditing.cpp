#include "engine/SequenceEditing.h"

#include <algorithm>

#include "host/Text.h"

namespace quernel {

namespace {

// The longest byte string a table file can hold (its length is one byte).
constexpr std::size_t kLongestSequence = 255;

}  // namespace

std::string MeaningText(TSequenceMeaning m) {
    const std::string_view name = MeaningName(m);
    if (!name.empty()) return std::string(name);
    return "(" + std::to_string(m) + ")";
}

std::vector<TSequenceRow> SequenceRows(const TEscapeSequences& table, int sortColumn) {
    std::vector<TSequenceRow> rows;
    rows.reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        rows.push_back({i, SequenceToText(table[i].Sequence), MeaningText(table[i].Meaning)});
    }
    const auto key = [sortColumn](const TSequenceRow& row) -> const std::string& {
        return sortColumn == kMeaningColumn ? row.meaning : row.code;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const TSequenceRow& a, const TSequenceRow& b) {
        return LessIgnoringCase(key(a), key(b));
    });
    return rows;
}

std::optional<std::string> AddTypedSequence(TEscapeSequences& table, std::string_view text,
                                            int position) {
    if (position <= 0 || position >= kMeaningCount) return std::string(kIncompleteDataMessage);
    std::string error;
    const std::optional<Bytes> bytes = TextToSequence(text, &error);
    if (!bytes) return error.empty() ? std::string(kIncompleteDataMessage) : error;
    if (bytes->size() > kLongestSequence) return std::string(kCodeTooLongMessage);
    const bool known = std::any_of(table.begin(), table.end(),
                                   [&](const TEscapeSequence& e) { return e.Sequence == *bytes; });
    if (known) return std::string(kCodeExistsMessage);
    table.Append({*bytes, MeaningDisplayOrder()[static_cast<std::size_t>(position)]});
    return std::nullopt;
}

}  // namespace quernel
